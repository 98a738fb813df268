#pragma once
// The logic of the format chooser: every capture that reaches it is decoded
// without prior knowledge of its protocol; the latest decode is the result the
// opener takes. In edit mode the chooser shows the record's timing and frame
// texts in editable grids and returns the timing read back from them. The
// chooser works on its own copy of the record, so the opener's record changes
// only when the opener takes the result.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "capture/decode_report.h"
#include "ir/assisted_decode.h"
#include "ir/ir_types.h"
#include "store/protocol_record.h"
#include "workflow/text_fields.h"

namespace klimavo::workflow {

/// Language texts of the chooser.
inline constexpr int kTextTooFewLogicCodes = 59;
inline constexpr int kTextNoDecoding = 77;
/// What "Try harder" did: nothing to try, the first reading kept, read again,
/// nothing fits.
inline constexpr int kTextAssistSound = 350;
inline constexpr int kTextAssistKept = 351;
inline constexpr int kTextAssistImproved = 352;
inline constexpr int kTextAssistFailed = 353;
/// A capture carrying this carrier value is shown and decoded but not kept as the last capture.
inline constexpr std::int32_t kUnkeptCaptureCarrier = 39234;
/// Columns of the edit grids.
inline constexpr int kLogicGridColumns = 4;
inline constexpr int kSplitGridColumns = 2;

/// One row of the protocol grid: the frame text and the format slot it came
/// from (-1 for a row typed in by the user).
struct ProtocolRow {
  int slot = -1;
  std::string text;
  friend bool operator==(const ProtocolRow&, const ProtocolRow&) = default;
};

/// The edit grids as texts, cell by cell (the carrier edit, the logic-code
/// rows of four cells, the split-code rows of two cells, the protocol rows).
struct ChooserGrids {
  std::string carrier;
  std::vector<std::vector<std::string>> logic;
  std::vector<std::vector<std::string>> split;
  std::vector<ProtocolRow> protocols;
  friend bool operator==(const ChooserGrids&, const ChooserGrids&) = default;
};

/// The grid cell at fault when reading the grids fails.
enum class GridName { Carrier, Logic, Split };
struct GridFault {
  int text = 0;  ///< language text: 59 too few logic codes, 76 a cell that is not a number in range
  GridName grid = GridName::Carrier;
  int row = 0;     ///< 1-based; 0 for the carrier
  int column = 0;  ///< 1-based; 0 for the carrier
  std::string value;
};

class FormatChooserModel {
 public:
  /// `record` is copied: its timing and frame texts fill the edit grids.
  FormatChooserModel(const store::TdiskAir& record, double decode_tolerance);

  void SetBothOrders(bool on) { both_orders_ = on; }
  bool BothOrders() const { return both_orders_; }
  void SetLsbFirst(bool on) { lsb_first_ = on; }
  bool LsbFirst() const { return lsb_first_; }
  /// Edit mode: going on is possible at once and reads the timing from the grids.
  void SetEditMode(bool on);
  bool EditMode() const { return edit_mode_; }

  /// What a capture did.
  struct Arrival {
    bool decoded = false;
    /// A successful decode in both-orders mode: the opener runs the library search.
    bool filter_decoded = false;
  };
  /// Decodes a capture (durations in 0.1 µs, carrier in Hz). A successful
  /// decode becomes the result and the timing and first frame of the working
  /// record; a failed one leaves the result as it was and, outside edit mode,
  /// stops going on.
  Arrival CaptureArrived(const ir::TIRIntegerArr& durations, std::int32_t carrier);

  /// "Try harder": the assisted decode of the latest capture. A reading that
  /// improves on the blind one becomes the result as a decode does (timing and
  /// first frame of the working record); either way the summary then lists
  /// what the assisted decode changed, or what it tried. Nothing happens before
  /// a capture has arrived.
  Arrival TryHarder();
  /// A capture has arrived that "Try harder" can read again.
  bool CanTryHarder() const { return !latest_.empty(); }
  /// The assisted decode of the latest capture, once "Try harder" ran on it.
  const std::optional<ir::AssistedDecode>& Assisted() const { return assisted_; }
  /// The language text of one line on what "Try harder" did (kTextAssist...);
  /// 0 before it ran on this capture.
  int AssistVerdictText() const;

  bool Decoded() const { return decoded_; }
  bool NextEnabled() const { return next_enabled_; }
  const ir::Tcomp_aval& Result() const { return result_; }
  const ir::TIRIntegerArr& LastCapture() const { return last_capture_; }
  const store::TdiskAir& WorkingRecord() const { return record_; }
  /// The last reading as a report (a failed one when nothing was read).
  capture::DecodeReport Report() const;
  /// The summary of the latest capture (lines ended by "\n"); empty when it did
  /// not decode. After "Try harder" it ends with one "assist:" line per change.
  std::string Summary(const capture::SummaryLabels& labels) const;

  /// The edit grids filled from the working record.
  ChooserGrids Grids() const;
  /// Reads the carrier, logic and split grids into the result's timing;
  /// nullopt on success.
  std::optional<GridFault> ReadGrids(const ChooserGrids& grids);
  /// "Next": outside edit mode at least two logic codes are needed; in edit
  /// mode the grids must read. Nullopt when the chooser may close with OK.
  std::optional<GridFault> Next(const ChooserGrids& grids);

 private:
  store::TdiskAir record_;
  double tolerance_;
  bool both_orders_ = false;
  bool lsb_first_ = true;
  bool edit_mode_ = false;
  bool decoded_ = false;
  bool next_enabled_ = false;
  bool last_ok_ = false;
  void TakeResult(ir::Tcomp_aval result, Arrival& arrival);
  ir::Tcomp_aval result_;
  ir::TIRIntegerArr last_capture_;
  ir::TIRIntegerArr latest_;  ///< the capture shown now, whatever its carrier
  std::int32_t latest_carrier_ = 0;
  std::optional<ir::AssistedDecode> assisted_;
};

}  // namespace klimavo::workflow
