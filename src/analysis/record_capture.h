#pragma once
// Reading a capture with the timing and the frame formats of a protocol
// record, as the function analysis wizard and `klimavo-cli analyse compare
// --record` do: the record's format slots are tried in order, and when none
// describes the capture its structure is read pair by pair, its tail fixed and
// its repetitions found.

#include <array>
#include <cstdint>

#include "ir/ir_types.h"
#include "store/protocol_record.h"

namespace klimavo::analysis {

/// What a capture read as.
struct RecordCapture {
  bool decoded = false;
  ir::TSSByteArray bits;         ///< one logic-code index per bit, one repetition
  ir::TStrProt_Stru structure;   ///< merged elements and the repeat count
  int slot = -1;                 ///< the format slot that described it, or -1
  bool repeat_mismatch = false;  ///< the bits do not divide by the repeat count: all were kept
  bool params_changed = false;   ///< reading the tail added a split code to the timing
};

/// Reads a capture (0.1 µs ticks, marks positive) with `params` and the format
/// slots: a capture that ends on a mark gets its first space once more, then
/// every duration is divided by 10. Slots are tried in order up to the first
/// empty text; failing them all, the capture is read pair by pair and its tail
/// and repetitions worked out. That reading may add an end-pulse split code to
/// `params` (so the structure's split numbers stay valid), which
/// `params_changed` reports.
RecordCapture ReadRecordCapture(const ir::TIRIntegerArr& durations, ir::TIRGsPara& params,
                                const std::array<store::TdiskFormatSlot, store::kFormatSlots>& slots,
                                double decode_tolerance);

}  // namespace klimavo::analysis
