#pragma once
// The protocol comparison behind "Filter by learning": which records of the
// library describe the remote in the user's hand? A freshly decoded capture
// (normally of the power key) fits a record when it has the same logic codes,
// the frame structure of the record's power-key format, one of the stored key
// codes where the remote has no display, checksums that compute, and in every function
// field a value the record knows. Records that fail late leave a diagnostic
// pair (library index, reason code) for the summary memo.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "ir/ir_types.h"
#include "store/protocol_record.h"

namespace klimavo::analysis {

// Zone kinds.
inline constexpr int kZoneColumn = 0;       ///< an ordinary column
inline constexpr int kZonePowerBoth = 1;    ///< power key (two codes): states 0 and 1 set
inline constexpr int kZonePowerSecond = 2;  ///< power key (two codes): state 0 value unset
inline constexpr int kZonePowerFirst = 3;   ///< power key (two codes): state 0 set, state 1 unset
inline constexpr int kZoneFromKey = 4;      ///< a column that takes its value from another key

// Reason codes of the diagnostics (besides bit positions and zone numbers + 1).
inline constexpr int kReasonStoredCodeUnreadable = 1;
inline constexpr int kReasonBitCountDiffers = 2;
inline constexpr int kReasonCaptureTooShort = 3;

/// A field of the code with the values it may carry.
struct ComparisonZone {
  int frame = 0;
  int bit = 0;
  int width = 0;
  int kind = kZoneColumn;
  std::vector<std::int64_t> allowed;
};
using ComparisonZones = std::vector<ComparisonZone>;

/// The step of `MatchRecord` at which a record failed.
enum class ComparisonStep { kLogic, kStructure, kStoredCode, kChecksum, kCodeBits };
/// The name of a step in the CLI's JSON: "logic", "structure", "stored_code", "checksum", "code_bits".
std::string_view StepName(ComparisonStep step);

/// One 0x404 pair: library index and reason code.
struct ComparisonDiagnostic {
  int index = 0;
  int reason = 0;
  friend bool operator==(const ComparisonDiagnostic&, const ComparisonDiagnostic&) = default;
};

/// Why a record did not fit: its step, and the result of `CheckCodeBits` when
/// the test got that far.
struct ComparisonRejection {
  int index = 0;
  ComparisonStep step = ComparisonStep::kLogic;
  std::optional<int> code;
};

struct ComparisonSettings {
  double decode_tolerance = 0.25;
  bool skip_base_data = false;  ///< `SkipBaseData`: only fields and checksums decide
};

/// Called after each record with (records done, record count); false cancels.
using ComparisonProgress = std::function<bool(int done, int total)>;

/// True when the record's power key sends two different format slots.
bool HasTwoPowerCodes(const store::TdiskAir& record);
/// Same repeat count, merged lists of the same length, the same element kinds
/// and the same data bit counts; split elements match whatever code they name.
bool SameStructureLoose(const ir::TStrProt_Stru& a, const ir::TStrProt_Stru& b);
/// The function zones of a record for one format slot (before the stored code
/// adds its values). `lines` are the record's code lines as the library holds
/// them (packed bytes); `elements` the capture's element list.
ComparisonZones BuildFunctionZones(const store::TdiskAir& record, const store::TBtnLines& lines, int slot,
                                   const ir::TStrProt_Listbase& elements, bool lsb_first);

/// `TTheAcComp`: compares one decode result with the records of a library.
class TTheAcComp {
 public:
  TTheAcComp(const store::TdiskAirList& library, ComparisonSettings settings);

  /// Indices of every record that fits, in library order. A cancelled search
  /// returns what it found so far and sets Cancelled().
  std::vector<int> CompareWithLibrary(const ir::Tcomp_aval& capture, const ComparisonProgress& progress = {});
  /// Tests one record (false for an index outside the library).
  bool CompareWithRecord(const ir::Tcomp_aval& capture, int index);

  /// The diagnostic pairs of the last comparison, in the order they arose.
  const std::vector<ComparisonDiagnostic>& Diagnostics() const { return diagnostics_; }
  /// Every record that did not fit in the last comparison, in library order.
  const std::vector<ComparisonRejection>& Rejections() const { return rejections_; }
  bool Cancelled() const { return cancelled_; }

 private:
  bool MatchRecord(int index);
  bool LogicCodesMatch(const store::TdiskAir& record) const;
  bool StructureMatches(const store::TdiskAir& record);
  bool StoredCodeMatches(const store::TdiskAir& record);
  bool ChecksumsCompute(const store::TdiskAir& record) const;
  int CheckCodeBits(const store::LibraryRecord& entry, int index);
  int BaseBitsDiffer(const ir::TSSByteArray& stored, const ComparisonZones& zones, int index);
  void Post(int index, int reason) { diagnostics_.push_back({index, reason}); }
  void Reject(int index, ComparisonStep step, std::optional<int> code = std::nullopt) {
    rejections_.push_back({index, step, code});
  }

  const store::TdiskAirList& library_;
  ComparisonSettings settings_;
  ir::Tcomp_aval capture_;
  int slot_ = store::kNoSlot;         ///< the format slot under test
  int stored_slot_ = store::kNoSlot;  ///< the slot whose code the capture is compared with
  std::vector<ComparisonDiagnostic> diagnostics_;
  std::vector<ComparisonRejection> rejections_;
  bool cancelled_ = false;
};

}  // namespace klimavo::analysis
