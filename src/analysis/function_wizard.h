#pragma once
// The function analysis wizard's logic: it finds out which bits of an
// air-conditioner code carry which function. The engineer presses one key of
// the remote in every state; each capture is read with the record's timing and
// formats and becomes a row of the comparison grid; the bits that differ become
// the key's bit-field columns with one value per state. It works in place on
// the record being edited and its code lines, and simulates the firmware built
// from the result by feeding the emulated signal back into its capture path.
//
// The dialog binds widgets to this class: it calls the operations below and
// redraws what the events name. Nothing here knows a widget.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/compare_grid.h"
#include "analysis/key_simulation.h"
#include "analysis/states_table.h"
#include "config/config.h"
#include "ir/format_tree.h"
#include "lang/language.h"
#include "store/protocol_record.h"

namespace klimavo::analysis {

/// The wizard's longest run when it opens (its spin box: 0 to 8).
inline constexpr int kWizardMaxRunWidth = 6;
inline constexpr int kWizardMaxRunWidthLimit = 8;
/// Remote types of a record.
inline constexpr std::uint8_t kRemoteWithDisplay = 0;
inline constexpr std::uint8_t kRemoteWithoutDisplay = 1;
/// The fixed-value check boxes: functions 0..5 and the temperature up/down fields.
inline constexpr int kFixedValueBoxes = 7;
/// The two simulation buttons: on the main panel and on the no-display panel.
enum class SimulationButton { Main = 0, NoDisplay = 1 };

/// What the dialog has to show again after an operation.
enum class WizardEvent {
  KeyChanged,          ///< another key is selected: tabs, fixed-value boxes, the states table
  CaptureShown,        ///< the capture view shows LastCapture()
  CaptureCleared,      ///< the capture view is empty
  FormatTreeChanged,   ///< rebuild the tree control and the format view from FormatTree() and FieldBytes()
  FieldValuesChanged,  ///< only the field values of the format view changed (FieldBytes())
  FormatLabelChanged,  ///< FormatLabel()
  StatesTableChanged,  ///< refill the states table
  NoDisplayChanged,    ///< refill the no-display table and select NoDisplayRow()
  TemperatureChanged,  ///< TemperatureLabel()
  RemoteTypeChanged,   ///< show the panel of RemoteType()
  KeyZonesChanged,     ///< the grid's letters changed
  StoredCodesChanged,  ///< the main window refreshes the record summary
  SimulationCaption,   ///< SimulationCaption() of the main panel's button
};

/// A message the dialog shows (and then goes on).
enum class WizardMessage {
  RepeatMismatch,  ///< "重复性判断错误！": the bits do not divide by the repeat count; all were kept
  TooManyFormats,  ///< "格式太多了": the rows of the key were not given a format slot
  CodeTooLong,     ///< the code does not fit a slot's 64 bytes and was not stored
  ChecksumKeepsTheBits,  ///< 0/1 swap or bit order refused: a checksum is defined on the present bits
  SimulationFailed,      ///< Simulate sent nothing: SimulationProblem() says why
};

class FunctionWizardEvents {
 public:
  virtual ~FunctionWizardEvents() = default;
  virtual void Changed(WizardEvent event) = 0;
  virtual void Message(WizardMessage message) = 0;
};

class FunctionWizard {
 public:
  /// Opens the wizard on the record and its code lines (one byte per bit),
  /// which it changes in place; the lines are sized to the record's key count.
  FunctionWizard(store::TdiskAir& record, store::TBtnLines& lines, const lang::Language& language,
                 double decode_tolerance, config::TimingAdjustments timing);

  void SetEvents(FunctionWizardEvents* events) { events_ = events; }

  /// Showing: the grid takes the record's bit order and the longest run, and
  /// key 0 is selected.
  void Show(int max_run_width = kWizardMaxRunWidth);
  /// Closing: saves the rows when they changed and squeezes the format slots
  /// (those of a remote with display: a remote without display keeps a code
  /// per key in slots that only hold bytes).
  /// Returns whether the record changed.
  bool Close();

  // Captures.
  /// A capture in 0.1 µs ticks (marks positive) and its carrier in Hz.
  void CaptureReceived(const ir::TIRIntegerArr& durations, std::int32_t carrier);
  bool HandlingCapture() const { return handling_capture_; }

  // Keys.
  int KeyCount() const { return static_cast<int>(record_.UsedKeys()); }
  int SelectedKey() const { return selected_key_; }
  void SwitchKey(int key);
  /// The key names as the tabs show them (GBK).
  std::vector<std::string> KeyNames() const;

  // The grid and its menu.
  CompareGridModel& Grid() { return grid_; }
  const CompareGridModel& Grid() const { return grid_; }
  void SelectRow(int row);
  int SelectedRow() const { return selected_row_; }
  void RemoveDuplicateRows();
  void SortRows(bool ascending);
  void ReverseRows();
  void ClearRows();
  void DeleteRows(const std::vector<int>& rows);
  /// The selected row's code becomes the stored code of the key's format slot.
  void SetAsInitialCode();
  void SetMaxRunWidth(int width);
  void SetIgnoreZoned(bool ignore);
  /// The record's bit order; only while a format tree exists (false otherwise).
  /// The stored codes and the keys' state values are re-read so that the
  /// record sends what it sent; refused with a message while a checksum is in
  /// use, as the checksum cannot follow the bits.
  bool SetLsbFirst(bool lsb_first);
  /// Exchanges the logic codes of 0 and 1 and inverts every code and state
  /// value with them, so that the record sends what it sent; refused (false)
  /// like SetLsbFirst.
  bool SwapZeroOne();
  void AutoExtract();

  // The states table.
  StatesTable States(int cursor_column) const;
  bool EditState(int row, int column, std::string_view text_gbk);
  void DeleteColumn(int column);

  // Fixed values and the remote type.
  /// Caption of fixed-value box i (GBK); empty while the box is hidden.
  std::string FixedValueCaption(int box) const;
  bool FixedValueBoxVisible(int box) const;
  bool FixedValue(int box) const;
  void SetFixedValue(int box, bool on);
  std::uint8_t RemoteType() const { return record_.RemoteType; }
  void SetRemoteType(std::uint8_t type);

  // The no-display table: one row per key, then temperature down.
  int NoDisplayRows() const;
  /// Name of a row (GBK) and every code byte of its slot along the shown format
  /// (two hex digits each).
  std::string NoDisplayName(int row) const;
  std::vector<std::string> NoDisplayBytes(int row) const;
  int NoDisplayRow() const { return no_display_row_; }
  void SelectNoDisplayRow(int row);

  // Firmware simulation.
  bool Simulate(SimulationButton button);
  std::string SimulationCaption() const { return simulation_caption_; }
  /// Why the last Simulate sent nothing (GBK), empty after one that sent.
  std::string SimulationProblem() const { return simulation_problem_; }
  static std::array<std::int32_t, firmware::kFunctionKeys>& KeyStates();

  // What the views show.
  const ir::TMyTeeView* FormatTree() const { return format_tree_ ? &*format_tree_ : nullptr; }
  const ir::TSSByteArray& FieldBytes() const { return field_bytes_; }
  int RepeatCount() const { return current_.Repeat; }
  const ir::TStrProt_Stru& CurrentStructure() const { return current_; }
  const ir::TIRIntegerArr& LastCapture() const { return last_capture_; }
  std::int32_t LastCarrier() const { return last_carrier_; }
  std::string FormatLabel() const { return format_label_; }
  std::string TemperatureLabel() const { return temperature_label_; }
  std::string Caption() const;

  bool RecordChanged() const { return record_changed_; }
  bool LinesChanged() const { return lines_changed_; }
  bool FormatsChanged() const { return formats_changed_; }

 private:
  store::TGrdLines& KeyLines(int key);
  void Emit(WizardEvent event);
  void Say(WizardMessage message);
  void SaveRows();
  void RebuildKeyZones();
  /// Sets the grid's key zones again when the rows changed the slot they take.
  void RefreshKeyZones();
  ir::TBtnBitsInfo ZonesOfShownKey() const;
  void ShowStructure(const ir::TStrProt_Stru& structure);
  void ShowFieldBits(const ir::TSSByteArray& bits, const ir::TStrProt_Listbase& elements);
  void StoreNoDisplayCode(const ir::TSSByteArray& bits, const ir::TStrProt_Listbase& elements);
  void UpdateFormatLabel();
  std::string SimulationProblemText(const SimulationFailure& failure) const;
  void MarkRecordChanged() { record_changed_ = true; }

  store::TdiskAir& record_;
  store::TBtnLines& lines_;
  const lang::Language& language_;
  double tolerance_;
  config::TimingAdjustments timing_;
  FunctionWizardEvents* events_ = nullptr;

  CompareGridModel grid_;
  int selected_key_ = -1;
  int selected_row_ = -1;
  ir::TStrProt_Stru current_;
  std::optional<ir::TMyTeeView> format_tree_;
  ir::TSSByteArray field_bits_;  // the code the format view shows, bit by bit
  ir::TStrProt_Listbase field_elements_;
  ir::TSSByteArray field_bytes_;
  ir::TIRIntegerArr last_capture_;
  std::int32_t last_carrier_ = 0;
  std::string format_label_;
  std::string temperature_label_;
  bool handling_capture_ = false;
  bool lines_changed_ = false;
  bool formats_changed_ = false;
  bool record_changed_ = false;
  int no_display_row_ = 0;
  std::array<int, 2> simulation_counters_{};
  std::string simulation_caption_;
  std::string simulation_problem_;
};

}  // namespace klimavo::analysis
