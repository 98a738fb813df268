#pragma once
// The making of a new record, shared by the New command of the workbench and
// `klimavo-cli library new --from-capture`: the template it starts from, the
// defaults every new record gets, the format taken from an accepted decode, and
// the brand and code number it is given.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "ir/ir_types.h"
#include "store/library.h"
#include "store/protocol_record.h"

namespace klimavo::workflow {

inline constexpr std::string_view kNewRecordBrand = "New File";
/// Longest code number a record holds, in bytes.
inline constexpr std::size_t kCodeNumberBytes = 6;
inline constexpr std::size_t kBrandBytes = 32;

/// The record New starts from: the template file; without one library record 0
/// (which then becomes the template when `write_template` is set); without
/// either a record with no keys.
store::TdiskAir LoadNewRecordTemplate(const store::ProtocolLibrary& library,
                                      const std::filesystem::path& data_dir, bool write_template);
/// Keys, key names and state counts and names of `edited_template` survive;
/// everything else takes the new-record defaults.
store::TdiskAir PrepareNewRecord(const store::TdiskAir& edited_template, double now);
/// The accepted decode becomes the record's format: timing, the protocol text
/// as format slot 0 (cut to 128 bytes), the bit order and the code bytes of
/// slot 0 (at most 64, the rest 0), marked as stored.
void ApplyDecodedFormat(store::TdiskAir& record, const ir::Tcomp_aval& result, bool lsb_first);
/// Brand "New File" and the next free code number (cut to 6 bytes).
void NameNewRecord(store::TdiskAir& record, const store::ProtocolLibrary& library);
/// Finishes the record New made from the template once the format chooser
/// accepted `decode`: the decode becomes its format, the power key uses that
/// format (slot 0) until the function wizard learns otherwise, and the record
/// is named. A format no key uses is dropped when the wizard closes, so without
/// the power key's reference the record would lose its format there. The one
/// place both New and `library new` make their record. False (the record
/// without a format) when the decode has no protocol text.
bool FinishNewRecord(store::TdiskAir& record, const ir::Tcomp_aval& decode, bool lsb_first,
                     const store::ProtocolLibrary& library);

/// Why `NewRecordFromCapture` made no record.
enum class NewRecordRefusal {
  None,
  NoDecoding,        ///< the capture does not decode
  TooFewLogicCodes,  ///< it decodes with fewer than two logic codes
  CodeEmpty,         ///< the code number given is empty
  CodeTooLong,       ///< the code number given is longer than 6 bytes
  CodeInUse,         ///< another record has that code number
  NextCodeTooLong,   ///< the next free code number is longer than 6 bytes
  BrandTooLong,      ///< the brand given is longer than 32 bytes
  KeyNameEmpty,      ///< a template key has no name
  TooFewStates,      ///< a template key has fewer than 2 (or more than 16) states
  StateNameEmpty,    ///< a template key has an empty state name
};

struct NewRecordRequest {
  ir::Capture capture;  ///< durations in 0.1 µs
  double decode_tolerance = 0.21;
  bool lsb_first = true;
  std::optional<std::string> brand;  ///< GBK; default "New File"
  std::optional<std::string> code;   ///< GBK; default the next free code number
  double now = 0.0;
};

struct NewRecordResult {
  NewRecordRefusal refusal = NewRecordRefusal::None;
  int key = -1;            ///< the template key at fault
  int state = -1;          ///< the state at fault
  std::string code;        ///< the code number at fault or given (GBK)
  store::TdiskAir record;  ///< the new record; the template when a template key is at fault
  ir::Tcomp_aval decode;
  bool ok() const { return refusal == NewRecordRefusal::None; }
};

/// A record made from the template as New makes it when the format chooser
/// accepts `request.capture`. Writes nothing.
NewRecordResult NewRecordFromCapture(const store::ProtocolLibrary& library,
                                     const std::filesystem::path& data_dir, const NewRecordRequest& request);

}  // namespace klimavo::workflow
