// The items and zones tables of the checksum wizard: what they show, the
// limits of every edit, and the two presets.
#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>

#include "analysis/checksum_wizard.h"
#include "base/text.h"
#include "ir/checksum.h"
#include "ir/protocol.h"

namespace klimavo::analysis {
namespace {

constexpr int kLastKind = ir::kCrcKindCount - 1;
constexpr int kLastConstOp = ir::kCrcConstOpCount - 1;
/// A negative width typed into the table stores this.
constexpr int kDefaultWidth = 8;
constexpr int kPresetWidth8 = 8;
constexpr int kPresetWidth4 = 4;

std::optional<long long> Decimal(std::string_view text) {
  long long value = 0;
  if (!base::ParseInteger(text, value)) return std::nullopt;
  return value;
}

// The constant is typed in hexadecimal digits only (no sign, no prefix). An
// item stores 16 bits of it: a wider number keeps its low 16 bits, which the
// table then shows, rather than being refused.
std::optional<long long> Hexadecimal16(std::string_view text) {
  const std::string digits = base::Trim(text);
  if (digits.empty()) return std::nullopt;
  long long value = 0;
  for (char c : digits) {
    int d = 0;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return std::nullopt;
    value = (value * 16 + d) & 0xFFFF;
  }
  return value;
}

// Stores a value when it fits the field; a value outside it changes nothing.
template <typename Field>
bool StoreIfFits(Field& field, std::optional<long long> value) {
  if (!value || *value < 0 || *value > std::numeric_limits<Field>::max()) return false;
  field = static_cast<Field>(*value);
  return true;
}

// Widths: a negative number stores 8.
bool StoreWidth(std::uint8_t& field, std::optional<long long> value) {
  if (value && *value < 0) value = kDefaultWidth;
  return StoreIfFits(field, value);
}

}  // namespace

ir::TCrcItem* ChecksumWizard::ItemAt(int row) {
  ir::TCrcBlock* block = Block();
  if (block == nullptr || row < 0 || row >= ItemRows()) return nullptr;
  return &block->Items[static_cast<std::size_t>(row)];
}

int ChecksumWizard::ItemRows() const {
  const ir::TCrcBlock* block = Block();
  if (block == nullptr || !ItemControlsEnabled()) return 0;
  return std::min<int>(block->Count, static_cast<int>(block->Items.size()));
}

ItemRow ChecksumWizard::Item(int row) const {
  ItemRow shown;
  const ir::TCrcBlock* block = Block();
  if (block == nullptr || row < 0 || row >= static_cast<int>(block->Items.size())) return shown;
  const ir::TCrcItem& item = block->Items[static_cast<std::size_t>(row)];
  shown.target_frame = item.TargetFrame;
  shown.target_bit = item.TargetBit;
  shown.target_width = item.TargetWidth;
  shown.zone_choice = item.ZoneCount >= 2 ? 1 : 0;
  shown.kind_choice = std::min<int>(item.Kind, kLastKind);
  shown.operand_width = item.OperandWidth;
  char hex[8];
  std::snprintf(hex, sizeof hex, "%02X", item.Const);
  shown.constant = hex;
  shown.op_choice = std::min<int>(item.ConstOp, kLastConstOp);
  return shown;
}

void ChecksumWizard::SelectItem(int row) {
  if (row < 0 || row >= ItemRows() || row == current_item_) return;
  current_item_ = row;
  Emit(ChecksumWizardEvent::ZonesChanged);
}

bool ChecksumWizard::StoreInItem(ir::TCrcItem& item, ItemColumn column, std::string_view text) {
  switch (column) {
    case ItemColumn::TargetFrame:
      return StoreIfFits(item.TargetFrame, Decimal(text));
    case ItemColumn::TargetBit:
      return StoreIfFits(item.TargetBit, Decimal(text));
    case ItemColumn::TargetWidth:
      return StoreWidth(item.TargetWidth, Decimal(text));
    case ItemColumn::ZoneCount: {
      // The engine reads at most two zones, so the table offers one or two.
      const auto value = Decimal(text);
      if (!value || *value < 1 || *value > ir::kMaxCrcZones) return false;
      item.ZoneCount = static_cast<std::uint8_t>(*value);
      return true;
    }
    case ItemColumn::Kind: {
      const auto value = Decimal(text);
      if (!value || *value < 0 || *value > kLastKind) return false;
      item.Kind = static_cast<std::uint8_t>(*value);
      return true;
    }
    case ItemColumn::OperandWidth:
      return StoreWidth(item.OperandWidth, Decimal(text));
    case ItemColumn::Constant:
      return StoreIfFits(item.Const, Hexadecimal16(text));
    case ItemColumn::ConstOp: {
      const auto value = Decimal(text);
      if (!value || *value < 0 || *value > kLastConstOp) return false;
      item.ConstOp = static_cast<std::uint8_t>(*value);
      return true;
    }
  }
  return false;
}

bool ChecksumWizard::EditItem(int row, ItemColumn column, std::string_view text) {
  ir::TCrcItem* item = ItemAt(row);
  if (item == nullptr || switching_) return false;
  const ir::TCrcItem before = *item;
  if (!StoreInItem(*item, column, text)) return false;
  if (!(*item == before)) Changed();
  SyncGrid();
  if (column == ItemColumn::ZoneCount && row == current_item_) Emit(ChecksumWizardEvent::ZonesChanged);
  return true;
}

bool ChecksumWizard::ChooseItem(int row, ItemColumn column, int choice) {
  if (column == ItemColumn::ZoneCount) return EditItem(row, column, std::to_string(choice + 1));
  if (column != ItemColumn::Kind && column != ItemColumn::ConstOp) return false;
  return EditItem(row, column, std::to_string(choice));
}

int ChecksumWizard::ZoneRows() const {
  const ir::TCrcBlock* block = Block();
  if (block == nullptr || current_item_ < 0 || current_item_ >= ItemRows()) return 0;
  return std::min<int>(block->Items[static_cast<std::size_t>(current_item_)].ZoneCount, ir::kMaxCrcZones);
}

ZoneRow ChecksumWizard::Zone(int row) const {
  ZoneRow shown;
  const ir::TCrcBlock* block = Block();
  if (block == nullptr || row < 0 || row >= ir::kMaxCrcZones || current_item_ < 0 ||
      current_item_ >= static_cast<int>(block->Items.size()))
    return shown;
  const ir::TCrcZone& zone =
      block->Items[static_cast<std::size_t>(current_item_)].Zones[static_cast<std::size_t>(row)];
  return {zone.StartFrame, zone.StartBit, zone.EndFrame, zone.EndBit};
}

bool ChecksumWizard::EditZone(int row, ZoneColumn column, std::string_view text) {
  ir::TCrcItem* item = ItemAt(current_item_);
  if (item == nullptr || switching_ || row < 0 || row >= ZoneRows()) return false;
  ir::TCrcZone& zone = item->Zones[static_cast<std::size_t>(row)];
  const ir::TCrcZone before = zone;
  bool stored = false;
  switch (column) {
    case ZoneColumn::StartFrame:
      stored = StoreIfFits(zone.StartFrame, Decimal(text));
      break;
    case ZoneColumn::StartBit:
      stored = StoreIfFits(zone.StartBit, Decimal(text));
      break;
    case ZoneColumn::EndFrame:
      stored = StoreIfFits(zone.EndFrame, Decimal(text));
      break;
    case ZoneColumn::EndBit:
      stored = StoreIfFits(zone.EndBit, Decimal(text));
      break;
  }
  if (!stored) return false;
  if (!(zone == before)) Changed();
  SyncGrid();
  return true;
}

bool ChecksumWizard::ApplyPreset(ChecksumPreset preset) {
  ir::TCrcBlock* block = Block();
  if (block == nullptr) return false;
  const auto elements = ir::ParseProtocol(format_texts_[static_cast<std::size_t>(selected_format_)]).Elements;
  const int frames = ir::DataRunCount(elements);
  const int width = preset == ChecksumPreset::Last8 ? kPresetWidth8 : kPresetWidth4;
  if (frames < 1) return false;
  const auto last = static_cast<int>(ir::BitsInRun(elements, frames - 1));
  // The zone ends just before the target; when the target fills the last
  // frame, with the frame before it. A last frame shorter than the target,
  // or a single frame the target fills, leaves no such zone.
  if (last < width || (last == width && frames < 2)) return false;
  const int end_frame = last > width ? frames - 1 : frames - 2;
  const auto end_bit =
      static_cast<int>(last > width ? last - width - 1 : ir::BitsInRun(elements, end_frame) - 1);
  const ir::TCrcZone zone{0, 0, static_cast<std::uint8_t>(end_frame), static_cast<std::uint16_t>(end_bit)};
  ir::TCrcItem& item = block->Items[0];
  const ir::TCrcItem before = item;
  item.TargetFrame = static_cast<std::uint8_t>(frames - 1);
  item.TargetBit = static_cast<std::uint16_t>(last - width);
  item.TargetWidth = static_cast<std::uint8_t>(width);
  item.ZoneCount = 1;
  item.Zones[0] = zone;
  if (!(item == before)) Changed();
  SyncGrid();
  Emit(ChecksumWizardEvent::ItemsChanged);
  return true;
}

}  // namespace klimavo::analysis
