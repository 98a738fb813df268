#pragma once
// The checksum analysis wizard's logic: the engineer defines the checksums of
// each format of the record being edited and sees at once, row by row, whether
// the definition holds for real codes. Captures are read with the record's
// timing and formats and become rows of a comparison grid in checksum mode,
// which computes every item of the selected format for every row and compares
// it with the value the code carries. The items are edited in two tables (the
// items, and the zones of the current item); two presets put the checksum at
// the end of the last frame; "Find checksum" searches the definition that
// explains the rows and fills the current item with the best one.
//
// It works in place on the record; the dialog binds widgets to the operations
// below and redraws what the events name. Nothing here knows a widget.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/checksum_discovery/checksum_discovery.h"
#include "analysis/compare_grid.h"
#include "ir/format_tree.h"
#include "store/protocol_record.h"

namespace klimavo::analysis {

/// The item count choices the wizard offers: 1 to 3.
inline constexpr int kMaxChosenItems = 3;

/// The columns of the items table, in order.
enum class ItemColumn {
  TargetFrame,
  TargetBit,
  TargetWidth,
  ZoneCount,
  Kind,
  OperandWidth,
  Constant,
  ConstOp
};
inline constexpr int kItemColumns = 8;
/// The columns of the zones table, in order.
enum class ZoneColumn { StartFrame, StartBit, EndFrame, EndBit };
inline constexpr int kZoneColumns = 4;

/// The items table's presets: the checksum in the last 8 or 4 bits of the last
/// frame, over everything before it.
enum class ChecksumPreset { Last8, Last4 };

enum class ChecksumWizardEvent {
  FormatsChanged,      ///< the format combo box: FormatTexts(), SelectedFormat()
  FlagsChanged,        ///< both check boxes, the item count and the enabling of controls
  ItemsChanged,        ///< the items table, and with it the zones table
  ZonesChanged,        ///< the zones table only
  FormatTreeChanged,   ///< the tree control and the format view: FormatTree(), FieldBytes()
  FieldValuesChanged,  ///< only the field values of the format view changed
  FormatLabelChanged,  ///< FormatLabel()
  DiscoveryChanged,    ///< the candidates of the last search: Discovery()
};

enum class ChecksumWizardMessage {
  RepeatMismatch,  ///< the bits do not divide by the repeat count; all were kept
};

class ChecksumWizardEvents {
 public:
  virtual ~ChecksumWizardEvents() = default;
  virtual void Changed(ChecksumWizardEvent event) = 0;
  virtual void Message(ChecksumWizardMessage message) = 0;
};

/// What one row of the items table shows.
struct ItemRow {
  int target_frame = 0;
  int target_bit = 0;
  int target_width = 8;
  int zone_choice = 0;  ///< 0 for "1" zone, 1 for "2"
  int kind_choice = 0;  ///< 0..10 (a stored kind above 10 shows 10)
  int operand_width = 8;
  std::string constant;  ///< hexadecimal, at least two digits
  int op_choice = 0;     ///< 0..6: + - xor * / and or (a stored code above 6 shows 6)
};

/// What one row of the zones table shows.
struct ZoneRow {
  int start_frame = 0;
  int start_bit = 0;
  int end_frame = 0;
  int end_bit = 0;
};

class ChecksumWizard {
 public:
  /// Works on `record` in place; captures are read with `decode_tolerance`.
  ChecksumWizard(store::TdiskAir& record, double decode_tolerance);

  void SetEvents(ChecksumWizardEvents* events) { events_ = events; }

  /// Opening: the format list with entry 0 selected, the grid in checksum and
  /// hex mode with the record's bit order and every key's fields.
  void Open();
  /// Returns whether the record changed.
  bool Close() const { return record_changed_; }
  bool RecordChanged() const { return record_changed_; }

  // Formats.
  /// The record's formats (GBK texts), one per slot with a text, in slot order.
  const std::vector<std::string>& FormatTexts() const { return format_texts_; }
  int SelectedFormat() const { return selected_format_; }
  /// The slot of the selected format, or -1.
  int SelectedSlot() const;
  void SelectFormat(int index);

  // Check boxes and the item count.
  bool RecordHasChecksum() const { return record_.HasChecksum != 0; }
  /// The record-wide flag; switched on it gives every slot at least one item
  /// and every item at least one zone.
  void SetRecordHasChecksum(bool on);
  bool FormatHasChecksum() const;
  void SetFormatHasChecksum(bool on);
  /// The combo's choice: count - 1, or -1 when the stored count is not 1..3.
  int ItemCountChoice() const;
  /// Stores an item count of 1..3 for the selected format.
  void SetItemCount(int count);
  /// The format combo, the format's check box and the count label follow the record flag.
  bool FormatControlsEnabled() const { return RecordHasChecksum(); }
  /// The item count and both tables need both flags.
  bool ItemControlsEnabled() const { return RecordHasChecksum() && FormatHasChecksum(); }

  // The items and zones tables.
  /// As many rows as the selected format's items while both flags are set.
  int ItemRows() const;
  ItemRow Item(int row) const;
  int CurrentItem() const { return current_item_; }
  /// The items table's current row; the zones table shows its zones.
  void SelectItem(int row);
  /// Stores a typed text into an item: decimal numbers, hexadecimal for the
  /// constant (of which the low 16 bits are stored), a negative width stores
  /// 8. A text that is not a number, or does not fit the field, changes
  /// nothing; returns whether it stored.
  bool EditItem(int row, ItemColumn column, std::string_view text);
  /// Stores a combo's choice (kind 0..10, constant operation 0..6, zone count
  /// choice 0..1).
  bool ChooseItem(int row, ItemColumn column, int choice);
  /// As many rows as the current item's zones (1 or 2).
  int ZoneRows() const;
  ZoneRow Zone(int row) const;
  bool EditZone(int row, ZoneColumn column, std::string_view text);
  /// Sets item 0 of the selected format to the preset; false when the last
  /// frame is too short for it or no format is selected.
  bool ApplyPreset(ChecksumPreset preset);

  // Captures and the grid.
  /// A capture in 0.1 µs ticks and its carrier in Hz (-1 or 0: unknown).
  void CaptureReceived(const ir::TIRIntegerArr& durations, std::int32_t carrier);
  bool HandlingCapture() const { return handling_capture_; }
  CompareGridModel& Grid() { return grid_; }
  const CompareGridModel& Grid() const { return grid_; }
  /// A row chosen in the grid: the format view shows its code.
  void SelectRow(int row);
  void SetHexMode(bool hex) { grid_.SetHexMode(hex); }
  void RemoveDuplicateRows() { grid_.RemoveDuplicates(); }
  void SortRows(bool ascending) { grid_.SortByRunValue(ascending); }
  void ClearRows() { grid_.Clear(); }
  void DeleteRows(const std::vector<int>& rows) { grid_.DeleteLines(rows); }

  // Finding the checksum.
  /// Searches the definitions that explain the rows of the selected format
  /// and fills the current item with the best; false when none was found.
  bool FindChecksum();
  /// The last search's result (empty before the first).
  const ChecksumDiscovery& Discovery() const { return discovery_; }
  bool Searched() const { return searched_; }
  /// Fills the current item with candidate `index` of the last search.
  bool ApplyCandidate(int index);
  /// Fills the current item with rival `index` of the last search: a
  /// definition that fits the rows as well as the candidate it rivals, which
  /// the engineer may know to be the right one.
  bool ApplyRival(int index);
  /// The rows of the grid that have the selected format's frames.
  std::vector<ir::TSSByteArray> FormatRows() const;

  // What the views show.
  const ir::TMyTeeView* FormatTree() const { return format_tree_ ? &*format_tree_ : nullptr; }
  const ir::TSSByteArray& FieldBytes() const { return field_bytes_; }
  int RepeatCount() const { return current_.Repeat; }
  const ir::TStrProt_Stru& CurrentStructure() const { return current_; }
  /// The text of the current structure, shown above the tables.
  const std::string& FormatLabel() const { return format_label_; }

 private:
  ir::TCrcBlock* Block();
  const ir::TCrcBlock* Block() const;
  ir::TCrcItem* ItemAt(int row);
  void Emit(ChecksumWizardEvent event);
  void Changed() { record_changed_ = true; }
  /// Gives the selected block to the grid and sets its has-checksum flag.
  void SyncGrid();
  /// Refills tables and grid after a flag or count change.
  void RefreshAfterFlags();
  void ShowStructure(const ir::TStrProt_Stru& structure);
  void ShowFieldBits(const ir::TSSByteArray& bits, const ir::TStrProt_Listbase& elements);
  bool StoreInItem(ir::TCrcItem& item, ItemColumn column, std::string_view text);
  /// Puts a found definition into the current item (switching both flags on).
  bool PutIntoItem(const ir::TCrcItem& found);

  store::TdiskAir& record_;
  double tolerance_;
  ChecksumWizardEvents* events_ = nullptr;

  CompareGridModel grid_;
  std::vector<std::string> format_texts_;
  std::vector<int> format_slots_;
  int selected_format_ = -1;
  int current_item_ = 0;
  bool switching_ = false;
  bool handling_capture_ = false;
  bool record_changed_ = false;

  ir::TStrProt_Stru current_;
  std::optional<ir::TMyTeeView> format_tree_;
  ir::TSSByteArray field_bytes_;
  std::string format_label_;
  ChecksumDiscovery discovery_;
  bool searched_ = false;
};

}  // namespace klimavo::analysis
