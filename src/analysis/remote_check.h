#pragma once
// The remote check: verifies a real remote control against a stored record.
// Every key press is read with the record's timing, matched against the
// record's frame formats, named (the key of a remote without display, the state
// of each function of a remote with display) and marked bit by bit where it
// contradicts the record: every bit of a frame that matches no format, and the
// target bits of a checksum that does not compute.
//
// Error flags and bit-field positions share one convention: a bit of a line is
// addressed by its index in the line's bit list, and a field (frame f, bit b)
// starts at the number of bits of data runs 0 .. f-1 plus b, the address every
// field reader of the checksum engine uses. So a red mark always falls on the
// bits the checksum's target names, in single and multi-frame codes alike.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ir/ir_types.h"
#include "lang/language.h"
#include "store/format_list.h"
#include "store/protocol_record.h"

namespace klimavo::analysis {

/// State values a bit-field entry keeps (states 0..14).
inline constexpr std::size_t kCheckedStateValues = 15;
/// Keys whose state has a value label (power, temperature, mode, fan, swing, vane).
inline constexpr std::size_t kLabelledKeys = 6;
/// Checksums are checked only for the first four formats of a record.
inline constexpr int kLastCheckedFormat = 3;
/// Tolerance of the carrier comparison, either way.
inline constexpr double kCarrierTolerance = 0.15;
/// Text of the information label when a carrier differs from the record's.
inline constexpr int kTextCarrierDiffers = 60;

/// One bit field the check knows: where it lies and the values of states 0..14.
struct CheckField {
  int frame = 0;
  int bit = 0;
  int width = 0;
  std::array<std::uint8_t, kCheckedStateValues> values{};
};
using CheckFieldList = std::vector<CheckField>;

/// One checked key press: its bits (one byte per bit), one error flag per bit
/// and its protocol structure.
struct TAcChkedLine {
  ir::TSSByteArray Bits;
  ir::TSSByteArray Errors;  ///< `TAcchkBoolArr`: 1 = the bit contradicts the record
  ir::TStrProt_Stru Protocol;
};
using TAcChkedLines = std::vector<TAcChkedLine>;

/// How far a capture got.
enum class CheckOutcome {
  kUnread,       ///< the record's timing does not read it: nothing is shown
  kRepeatError,  ///< its bits are not a whole number of repetitions
  kNoFormat,     ///< read, but its structure is none of the record's formats
  kChecked,      ///< matched a format and was checked
};

/// The key a remote without display sent: key `key`, or the "-" press of key 1
/// (the slot after the last key holds the temperature-down code).
struct KeyHit {
  int key = 0;
  bool minus = false;
};

struct RemoteCheckResult {
  CheckOutcome outcome = CheckOutcome::kUnread;
  bool carrier_differs = false;
  std::int32_t carrier = 0;
  int format = -1;  ///< position of the matched format in the format list
  std::optional<KeyHit> key;
  /// Identified state of keys 0 .. min(6, key count) - 1; -1 = none. All -1 for
  /// a remote without display.
  std::vector<int> states;
  /// One entry per checksum item checked: true when it computes.
  std::vector<bool> checksums;
  /// The line added to the grid (kNoFormat and kChecked).
  TAcChkedLine line;

  bool HasLine() const { return outcome == CheckOutcome::kNoFormat || outcome == CheckOutcome::kChecked; }
  /// Indexes of the flagged bits of the line.
  std::vector<int> ErrorBits() const;
  /// A format matched and no bit is flagged.
  bool Ok() const;
};

/// `TfrmCheckAc`'s logic: prepared from a record once, then checks captures.
class RemoteCheck {
 public:
  /// The preparation: format list, one bit-field list per key and, with the
  /// record-wide checksum flag, one list of checksum targets.
  RemoteCheck(const store::TdiskAir& record, double decode_tolerance);

  /// `CheckCapture`: durations in 0.1 µs, carrier in Hz (0 or -1 = unknown).
  RemoteCheckResult Check(const ir::TIRIntegerArr& durations, std::int32_t carrier) const;

  const store::TdiskAir& Record() const { return record_; }
  bool LsbFirst() const { return record_.LsbFirst != 0; }
  bool HasDisplay() const { return record_.RemoteType != 1; }
  const store::Tex_gssList& Formats() const { return formats_; }
  /// Lists 0 .. key count - 1 are the keys'; a last one the checksum targets.
  const std::vector<CheckFieldList>& FieldLists() const { return field_lists_; }
  /// True when the last field list holds checksum targets.
  bool HasChecksumList() const { return has_checksum_list_; }

  /// `IdentifyStates`: the state of each key the bits carry, -1 when none.
  std::vector<int> IdentifyStates(const ir::TSSByteArray& bits, const ir::TStrProt_Listbase& elements) const;

 private:
  void CheckWithoutDisplay(RemoteCheckResult& result) const;
  void CheckWithDisplay(RemoteCheckResult& result) const;

  store::TdiskAir record_;
  double tolerance_;
  store::Tex_gssList formats_;
  std::vector<ir::TStrProt_Stru> parsed_formats_;
  std::vector<CheckFieldList> field_lists_;
  bool has_checksum_list_ = false;
};

/// The texts of the window's labels for one result (GBK).
struct RemoteCheckTexts {
  std::string information;
  std::string key;
  std::array<std::string, kLabelledKeys> values;
};
RemoteCheckTexts DescribeResult(const RemoteCheck& check, const RemoteCheckResult& result,
                                const lang::Language& language);

}  // namespace klimavo::analysis
