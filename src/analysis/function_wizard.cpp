#include "analysis/function_wizard.h"

#include <algorithm>

#include "analysis/format_slots.h"
#include "analysis/function_fields.h"
#include "analysis/record_capture.h"
#include "analysis/table_image_problem.h"
#include "base/text.h"
#include "ir/protocol.h"
#include "ir/tolerance.h"

namespace klimavo::analysis {
namespace {

constexpr int kTextCaption = 45;
constexpr int kTextFixesPrefix = 51;
constexpr int kTextFixesSuffix = 52;
constexpr int kTextOnlyFunctionKeys = 255;
constexpr int kTextNoSignal = 256;
constexpr std::string_view kTemperatureUpDown = " Temp+-";
constexpr std::int32_t kNoCarrier = ir::kUnusedDuration;
constexpr std::int32_t kSimulatedCarrier = 38000;
constexpr int kBitsPerByte = 8;

std::string HexByte(std::uint8_t b) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[b >> 4], kDigits[b & 15]};
}

// Sets a flag for the time a capture is being handled, also when it unwinds.
class CaptureGuard {
 public:
  explicit CaptureGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~CaptureGuard() { flag_ = false; }
  CaptureGuard(const CaptureGuard&) = delete;
  CaptureGuard& operator=(const CaptureGuard&) = delete;

 private:
  bool& flag_;
};

}  // namespace

FunctionWizard::FunctionWizard(store::TdiskAir& record, store::TBtnLines& lines,
                               const lang::Language& language, double decode_tolerance,
                               config::TimingAdjustments timing)
    : record_(record), lines_(lines), language_(language), tolerance_(decode_tolerance), timing_(timing) {
  lines_.resize(record_.UsedKeys());  // existing lines are kept
}

store::TGrdLines& FunctionWizard::KeyLines(int key) {
  // The owner may have replaced the lines since the wizard sized them.
  if (lines_.size() < record_.UsedKeys()) lines_.resize(record_.UsedKeys());
  return lines_[static_cast<std::size_t>(key)];
}

void FunctionWizard::Emit(WizardEvent event) {
  if (events_ != nullptr) events_->Changed(event);
}

void FunctionWizard::Say(WizardMessage message) {
  if (events_ != nullptr) events_->Message(message);
}

std::array<std::int32_t, firmware::kFunctionKeys>& FunctionWizard::KeyStates() {
  static std::array<std::int32_t, firmware::kFunctionKeys> states = kInitialKeyStates;
  return states;
}

std::string FunctionWizard::Caption() const {
  return language_.Text(kTextCaption) + "[" + base::Trim(record_.CodeNo.str()) + "]";
}

std::vector<std::string> FunctionWizard::KeyNames() const {
  std::vector<std::string> names;
  for (int k = 0; k < KeyCount(); ++k)
    names.push_back(
        lang::TranslateKeyName(record_.Keys[static_cast<std::size_t>(k)].Name.str(), language_.LanguageNo()));
  return names;
}

// ----- Opening and closing -----

void FunctionWizard::Show(int max_run_width) {
  grid_.SetLowPre(record_.LsbFirst != 0);
  SetMaxRunWidth(max_run_width);
  selected_key_ = -1;
  if (KeyCount() > 0) SwitchKey(0);
  Emit(WizardEvent::RemoteTypeChanged);
  if (record_.RemoteType == kRemoteWithoutDisplay) Emit(WizardEvent::NoDisplayChanged);
}

bool FunctionWizard::Close() {
  if (lines_changed_ && selected_key_ >= 0) {
    SaveRows();
    lines_changed_ = false;
    MarkRecordChanged();
  }
  if (record_.RemoteType == kRemoteWithDisplay) {
    const store::TdiskAir before = record_;
    CompactFormatSlots(record_);
    if (!(record_ == before)) MarkRecordChanged();
  }
  return record_changed_;
}

// ----- Captures -----

void FunctionWizard::CaptureReceived(const ir::TIRIntegerArr& durations, std::int32_t carrier) {
  if (handling_capture_) return;
  CaptureGuard busy(handling_capture_);
  // A carrier far from the record's becomes the record's; an unknown one (0)
  // or none given leaves it alone.
  if (carrier != kNoCarrier && carrier > 0 && carrier <= UINT16_MAX &&
      !ir::IsNear(carrier, record_.Params.Carrier, tolerance_, tolerance_)) {
    record_.Params.Carrier = static_cast<std::uint16_t>(carrier);
    MarkRecordChanged();
  }
  last_capture_ = durations;
  last_carrier_ = carrier;

  const RecordCapture read = ReadRecordCapture(durations, record_.Params, record_.Slots, tolerance_);
  if (read.params_changed) MarkRecordChanged();
  if (!read.decoded || read.bits.empty()) {
    Emit(WizardEvent::CaptureShown);
    return;
  }
  if (read.repeat_mismatch) Say(WizardMessage::RepeatMismatch);

  if (!format_tree_ || !ir::SameProtocol(read.structure, current_)) {
    ShowStructure(read.structure);
    format_label_ = ir::PrintProtocol(current_);
    Emit(WizardEvent::FormatLabelChanged);
    if (record_.RemoteType == kRemoteWithoutDisplay) {
      const std::string text = format_label_.substr(0, std::min(format_label_.size(), kSlotTextCapacity));
      if (record_.Slots[0].Text.str() != text) {
        record_.Slots[0].Text.assign(text);
        MarkRecordChanged();
      }
    }
  }
  ShowFieldBits(read.bits, read.structure.Elements);
  Emit(WizardEvent::CaptureShown);

  if (record_.RemoteType == kRemoteWithDisplay) {
    grid_.AddLine(read.bits, read.structure);
    lines_changed_ = true;
    RefreshKeyZones();
  } else {
    StoreNoDisplayCode(read.bits, read.structure.Elements);
  }
}

void FunctionWizard::ShowStructure(const ir::TStrProt_Stru& structure) {
  current_ = structure;
  format_tree_.emplace(ir::BuildFormatTree(record_.Params, structure, record_.LsbFirst != 0));
  Emit(WizardEvent::FormatTreeChanged);
}

void FunctionWizard::ShowFieldBits(const ir::TSSByteArray& bits, const ir::TStrProt_Listbase& elements) {
  field_bits_ = bits;
  field_elements_ = elements;
  field_bytes_.clear();
  ir::BitsToBytes(elements, bits, record_.LsbFirst != 0, field_bytes_);
  Emit(WizardEvent::FieldValuesChanged);
}

void FunctionWizard::StoreNoDisplayCode(const ir::TSSByteArray& bits, const ir::TStrProt_Listbase& elements) {
  ir::TSSByteArray bytes;
  if (!ir::BitsToBytes(elements, bits, record_.LsbFirst != 0, bytes)) return;
  if (!StoreSlotCode(record_, no_display_row_, bytes)) {
    Say(WizardMessage::CodeTooLong);
    return;
  }
  MarkRecordChanged();
  if (no_display_row_ + 1 < NoDisplayRows()) ++no_display_row_;
  Emit(WizardEvent::NoDisplayChanged);
}

// ----- Keys -----

void FunctionWizard::SwitchKey(int key) {
  if (key < 0 || key >= KeyCount()) return;
  // The rows of the key left are saved when they changed. Rows that did not
  // change are the key's code lines already, and saving them would take the
  // format slot away from a key that has a slot but no code lines.
  if (selected_key_ >= 0 && lines_changed_) {
    SaveRows();
    MarkRecordChanged();
  }
  selected_key_ = key;
  selected_row_ = -1;
  const store::TdiskKey& k = record_.Keys[static_cast<std::size_t>(key)];

  const std::uint8_t slot = k.Slot != store::kNoSlot ? k.Slot : k.Slot2;
  if (slot < store::kFormatSlots) {
    const store::TdiskFormatSlot& s = record_.Slots[slot];
    const std::string text = base::Trim(s.Text.str());
    if (!text.empty()) {
      format_tree_.emplace(ir::BuildFormatTreeFromText(record_.Params, text, record_.LsbFirst != 0));
      current_ = ir::ParseProtocol(text);
      // The fields show the slot's stored code.
      ir::TSSByteArray bits;
      const ir::TStrProt_Listbase elements = ir::ParseProtocolExpanded(text).Elements;
      if (ir::BytesToBitsFixed(elements, s.Code, static_cast<int>(store::kSlotCodeBytes) - 1,
                               record_.LsbFirst != 0, bits))
        ShowFieldBits(bits, elements);
      Emit(WizardEvent::FormatTreeChanged);
    }
  }
  UpdateFormatLabel();

  grid_.SetChecksumBlock(k.Slot < store::kFormatSlots ? record_.Slots[k.Slot].Crc : ir::TCrcBlock{}, true);
  grid_.SetLines(KeyLines(key));
  lines_changed_ = false;
  RebuildKeyZones();
  temperature_label_.clear();
  Emit(WizardEvent::KeyChanged);
  Emit(WizardEvent::StatesTableChanged);
  Emit(WizardEvent::TemperatureChanged);
}

void FunctionWizard::UpdateFormatLabel() {
  format_label_.clear();
  if (selected_key_ < 0) return;
  const store::TdiskKey& k = record_.Keys[static_cast<std::size_t>(selected_key_)];
  if (k.Slot < store::kFormatSlots) format_label_ = base::Trim(record_.Slots[k.Slot].Text.str());
  if (selected_key_ == 0 && k.Slot2 < store::kFormatSlots && k.Slot2 != k.Slot)
    format_label_ += "--" + base::Trim(record_.Slots[k.Slot2].Text.str());
  Emit(WizardEvent::FormatLabelChanged);
}

void FunctionWizard::SaveRows() {
  if (selected_key_ < 0 || record_.RemoteType != kRemoteWithDisplay) return;
  const SlotSaveResult result = SaveKeyRows(record_, lines_, selected_key_, grid_.GetLines());
  if (result.too_many_formats) Say(WizardMessage::TooManyFormats);
  formats_changed_ = formats_changed_ || result.formats_changed;
}

void FunctionWizard::RebuildKeyZones() {
  if (selected_key_ < 0) return;
  grid_.SetKeyZones(ZonesOfShownKey(), selected_key_);
}

ir::TBtnBitsInfo FunctionWizard::ZonesOfShownKey() const {
  // Rows not saved yet decide the slot the key will have: a key that has no
  // slot yet (a new record's) already shares the slot of its rows' format, so
  // the fields of the keys in that slot are marked from the first row on.
  if (!lines_changed_ || record_.RemoteType != kRemoteWithDisplay || grid_.LineCount() == 0)
    return KeyZonesOf(record_, selected_key_);
  store::TdiskAir saved = record_;
  store::TBtnLines saved_lines = lines_;
  SaveKeyRows(saved, saved_lines, selected_key_, grid_.GetLines());
  return KeyZonesOf(saved, selected_key_);
}

void FunctionWizard::RefreshKeyZones() {
  if (selected_key_ < 0) return;
  const ir::TBtnBitsInfo zones = ZonesOfShownKey();
  const auto same = [](const ir::TSameInfo& a, const ir::TSameInfo& b) {
    return a.Frame == b.Frame && a.Bit == b.Bit && a.Width == b.Width;
  };
  const ir::TBtnBitsInfo& shown = grid_.KeyZones();
  const bool unchanged = zones.size() == shown.size() &&
                         std::equal(zones.begin(), zones.end(), shown.begin(),
                                    [&](const ir::TSameInfos& a, const ir::TSameInfos& b) {
                                      return std::equal(a.begin(), a.end(), b.begin(), b.end(), same);
                                    });
  if (!unchanged) grid_.SetKeyZones(zones, selected_key_);
}

// ----- The grid -----

void FunctionWizard::SelectRow(int row) {
  if (handling_capture_) return;
  store::TGrdDataLine line;
  if (!grid_.GetLine(row, line)) {
    selected_row_ = -1;
    return;
  }
  selected_row_ = row;
  format_tree_.emplace(ir::BuildFormatTreeFromElements(record_.Params, line.Elements, record_.LsbFirst != 0));
  ShowFieldBits(line.Data, line.Elements);
  Emit(WizardEvent::FormatTreeChanged);
  Emit(WizardEvent::CaptureCleared);
  temperature_label_ = selected_key_ == kKeyMode ? TemperatureOfRow(record_, grid_, row) : std::string();
  Emit(WizardEvent::TemperatureChanged);
}

void FunctionWizard::RemoveDuplicateRows() {
  if (grid_.RemoveDuplicates() > 0) lines_changed_ = true;
  selected_row_ = -1;
  RefreshKeyZones();
}

void FunctionWizard::SortRows(bool ascending) {
  grid_.SortByRunValue(ascending);
  lines_changed_ = true;
  selected_row_ = -1;
  RefreshKeyZones();
}

void FunctionWizard::ReverseRows() {
  grid_.ReverseLines();
  selected_row_ = -1;
}

void FunctionWizard::ClearRows() {
  grid_.Clear();
  lines_changed_ = true;
  selected_row_ = -1;
  RefreshKeyZones();
}

void FunctionWizard::DeleteRows(const std::vector<int>& rows) {
  grid_.DeleteLines(rows);
  lines_changed_ = true;
  selected_row_ = -1;
  RefreshKeyZones();
}

void FunctionWizard::SetAsInitialCode() {
  store::TGrdDataLine line;
  if (record_.RemoteType != kRemoteWithDisplay || selected_key_ < 0 || !grid_.GetLine(selected_row_, line))
    return;
  const store::TdiskKey& k = record_.Keys[static_cast<std::size_t>(selected_key_)];
  const std::uint8_t slot = selected_key_ == 0 && selected_row_ > 0 ? k.Slot2 : k.Slot;
  if (slot >= store::kFormatSlots) return;
  ir::TSSByteArray bytes;
  if (!ir::BitsToBytes(line.Elements, line.Data, record_.LsbFirst != 0, bytes)) return;
  if (!StoreSlotCode(record_, slot, bytes)) {
    Say(WizardMessage::CodeTooLong);
    return;
  }
  Emit(WizardEvent::StoredCodesChanged);
  MarkRecordChanged();
}

void FunctionWizard::SetMaxRunWidth(int width) {
  grid_.SetMaxRunWidth(std::clamp(width, 0, kWizardMaxRunWidthLimit));
}

void FunctionWizard::SetIgnoreZoned(bool ignore) { grid_.SetIgnoreZoned(ignore); }

bool FunctionWizard::SetLsbFirst(bool lsb_first) {
  if (!format_tree_) return false;
  const bool old = record_.LsbFirst != 0;
  if (old != lsb_first) {
    if (HasChecksumInUse(record_)) {
      Say(WizardMessage::ChecksumKeepsTheBits);
      return false;
    }
    // Stored codes and state values keep the bits they send: read in the old
    // order, packed in the new.
    RewriteSlotCodes(record_, old, lsb_first, false);
    RereadFieldValues(record_, {.invert = false, .reverse_order = true});
    record_.LsbFirst = lsb_first ? 1 : 0;
  }
  grid_.SetLowPre(lsb_first);
  if (auto* root = format_tree_->Root().RecordAs<ir::FormatRootRecord>()) root->BitOrder = lsb_first ? 1 : 0;
  ShowFieldBits(field_bits_, field_elements_);
  Emit(WizardEvent::FormatTreeChanged);
  Emit(WizardEvent::StatesTableChanged);
  lines_changed_ = true;
  MarkRecordChanged();
  return true;
}

bool FunctionWizard::SwapZeroOne() {
  if (!format_tree_ || handling_capture_) return false;
  if (HasChecksumInUse(record_)) {
    Say(WizardMessage::ChecksumKeepsTheBits);
    return false;
  }
  std::swap(record_.Params.Logic[0], record_.Params.Logic[1]);
  for (store::TGrdLines& key_lines : lines_)
    for (store::TGrdDataLine& line : key_lines)
      for (std::uint8_t& bit : line.Data) bit = bit == 1 ? 0 : 1;
  grid_.InvertBits();
  if (auto* root = format_tree_->Root().RecordAs<ir::FormatRootRecord>())
    std::swap(root->LogicTexts[0], root->LogicTexts[1]);
  // Stored codes keep what they send: their bits are inverted too.
  RewriteSlotCodes(record_, record_.LsbFirst != 0, record_.LsbFirst != 0, true);
  RereadFieldValues(record_, {.invert = true, .reverse_order = false});
  for (std::uint8_t& bit : field_bits_) bit = bit == 1 ? 0 : 1;
  ShowFieldBits(field_bits_, field_elements_);
  Emit(WizardEvent::FormatTreeChanged);
  Emit(WizardEvent::StatesTableChanged);
  lines_changed_ = true;
  MarkRecordChanged();
  return true;
}

void FunctionWizard::AutoExtract() {
  if (selected_key_ < 0) return;
  store::TdiskKey& key = record_.Keys[static_cast<std::size_t>(selected_key_)];
  const auto before = key.Columns;
  ExtractColumns(grid_, std::min<int>(key.StateCount, store::kMaxStates), key.Columns);
  if (key.Columns != before) {
    MarkRecordChanged();
    RebuildKeyZones();
  }
  Emit(WizardEvent::StatesTableChanged);
}

// ----- The states table -----

StatesTable FunctionWizard::States(int cursor_column) const {
  return BuildStatesTable(record_, selected_key_, cursor_column, language_);
}

bool FunctionWizard::EditState(int row, int column, std::string_view text_gbk) {
  const bool applied =
      EditStatesCell(record_, selected_key_, row, column, text_gbk, grid_, language_.LanguageNo());
  if (applied) {
    RebuildKeyZones();
    MarkRecordChanged();
  }
  Emit(WizardEvent::StatesTableChanged);
  return applied;
}

void FunctionWizard::DeleteColumn(int column) {
  if (selected_key_ < 0 || column < 0 || column >= static_cast<int>(store::kColumnsPerKey)) return;
  ClearKeyColumn(record_, selected_key_, column);
  MarkRecordChanged();
  RebuildKeyZones();
  Emit(WizardEvent::StatesTableChanged);
}

// ----- Fixed values and the remote type -----

bool FunctionWizard::FixedValueBoxVisible(int box) const {
  if (box < 0 || box >= kFixedValueBoxes || selected_key_ < 0) return false;
  if (box == kFixedValueBoxes - 1) return selected_key_ != kKeyTemperature;
  return box != selected_key_ && box < KeyCount();
}

std::string FunctionWizard::FixedValueCaption(int box) const {
  if (box < 0 || box >= kFixedValueBoxes) return {};
  std::string name;
  if (box == kFixedValueBoxes - 1)
    name = std::string(kTemperatureUpDown);
  else if (box < KeyCount())
    name = base::Concat({" ", lang::TranslateKeyName(record_.Keys[static_cast<std::size_t>(box)].Name.str(),
                                                     language_.LanguageNo())});
  // Chinese runs the words together; other languages need a blank before the last one.
  const std::string gap = language_.IsChinese() ? "" : " ";
  return language_.Text(kTextFixesPrefix) + name + gap + language_.Text(kTextFixesSuffix);
}

bool FunctionWizard::FixedValue(int box) const {
  if (selected_key_ < 0 || box < 0 || box >= kFixedValueBoxes) return false;
  return ((record_.Keys[static_cast<std::size_t>(selected_key_)].FixedFlags >> box) & 1) != 0;
}

void FunctionWizard::SetFixedValue(int box, bool on) {
  if (selected_key_ < 0 || box < 0 || box >= kFixedValueBoxes || FixedValue(box) == on) return;
  std::uint8_t& flags = record_.Keys[static_cast<std::size_t>(selected_key_)].FixedFlags;
  flags = static_cast<std::uint8_t>(on ? flags | (1u << box) : flags & ~(1u << box));
  MarkRecordChanged();
}

void FunctionWizard::SetRemoteType(std::uint8_t type) {
  if (type == record_.RemoteType || type > kRemoteWithoutDisplay) return;
  record_.RemoteType = type;
  MarkRecordChanged();
  Emit(WizardEvent::RemoteTypeChanged);
  if (type == kRemoteWithoutDisplay) Emit(WizardEvent::NoDisplayChanged);
}

// ----- The no-display table -----

int FunctionWizard::NoDisplayRows() const {
  return std::min<int>(KeyCount() + 1, static_cast<int>(store::kFormatSlots));
}

std::string FunctionWizard::NoDisplayName(int row) const {
  if (row < 0 || row >= NoDisplayRows() || KeyCount() <= kKeyTemperature) return {};
  const int key = row < KeyCount() ? row : kKeyTemperature;
  std::string name =
      lang::TranslateKeyName(record_.Keys[static_cast<std::size_t>(key)].Name.str(), language_.LanguageNo());
  if (row == kKeyTemperature) name += "+";
  if (row == KeyCount()) name += "-";
  return name;
}

std::vector<std::string> FunctionWizard::NoDisplayBytes(int row) const {
  std::vector<std::string> bytes;
  if (row < 0 || row >= NoDisplayRows()) return bytes;
  const auto bits = static_cast<std::size_t>(ir::TotalBits(current_.Elements));
  const std::size_t shown = std::min((bits + kBitsPerByte - 1) / kBitsPerByte, store::kSlotCodeBytes);
  const auto& code = record_.Slots[static_cast<std::size_t>(row)].Code;
  for (std::size_t i = 0; i < shown; ++i) bytes.push_back(HexByte(code[i]));
  return bytes;
}

void FunctionWizard::SelectNoDisplayRow(int row) {
  if (row >= 0 && row < NoDisplayRows()) no_display_row_ = row;
}

// ----- Firmware simulation -----

std::string FunctionWizard::SimulationProblemText(const SimulationFailure& failure) const {
  if (failure.not_a_function_key) return language_.Text(kTextOnlyFunctionKeys);
  if (failure.image_error != 0) return TableImageProblem(failure.image_error, language_);
  return language_.Text(kTextNoSignal) + " " + std::to_string(failure.emulator_error);
}

bool FunctionWizard::Simulate(SimulationButton button) {
  if (selected_key_ < 0 || handling_capture_) return false;
  int& counter = simulation_counters_[static_cast<std::size_t>(button)];
  ++counter;
  if (counter >= record_.Keys[static_cast<std::size_t>(selected_key_)].StateCount) counter = 0;
  auto& states = KeyStates();
  if (selected_key_ < firmware::kFunctionKeys) states[static_cast<std::size_t>(selected_key_)] = counter;
  // The image is built from the rows as the grid holds them.
  if (lines_changed_) {
    SaveRows();
    lines_changed_ = false;
    MarkRecordChanged();
  }
  SimulationFailure failure;
  const std::optional<SimulatedPress> press =
      SimulateKeyPress(record_, lines_, states, selected_key_, timing_, &failure);
  if (!press) {
    simulation_problem_ = SimulationProblemText(failure);
    Say(WizardMessage::SimulationFailed);
    return false;
  }
  simulation_problem_.clear();
  simulation_caption_.clear();
  for (std::int32_t s : press->key_states) simulation_caption_ += std::to_string(s);
  Emit(WizardEvent::SimulationCaption);
  CaptureReceived(press->durations, kSimulatedCarrier);
  return true;
}

}  // namespace klimavo::analysis
