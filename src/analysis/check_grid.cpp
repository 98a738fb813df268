#include "analysis/check_grid.h"

#include <algorithm>

namespace klimavo::analysis {
namespace {

std::vector<int> DataElementBits(const ir::TStrProt_Listbase& elements) {
  std::vector<int> bits;
  for (const ir::TStrProtItem& e : elements)
    if (e.IsData()) bits.push_back(e.Value);
  return bits;
}

int RoundUpToCell(int bits) { return (bits + kBitsPerCell - 1) / kBitsPerCell * kBitsPerCell; }

const char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

void CheckGridModel::SetFieldLists(std::vector<CheckFieldList> key_lists, CheckFieldList checksum_targets) {
  key_lists_ = std::move(key_lists);
  checksum_targets_ = std::move(checksum_targets);
}

void CheckGridModel::Prepare(const RemoteCheck& check) {
  SetLsbFirst(check.LsbFirst());
  std::vector<CheckFieldList> lists = check.FieldLists();
  CheckFieldList targets;
  if (check.HasChecksumList() && !lists.empty()) {
    targets = std::move(lists.back());
    lists.pop_back();
  }
  SetFieldLists(std::move(lists), std::move(targets));
}

void CheckGridModel::AddLine(TAcChkedLine line) {
  const std::vector<int> bits = DataElementBits(line.Protocol.Elements);
  if (widths_.size() < bits.size()) widths_.resize(bits.size(), 0);
  for (std::size_t e = 0; e < bits.size(); ++e) widths_[e] = std::max(widths_[e], RoundUpToCell(bits[e]));
  lines_.push_back(std::move(line));
}

void CheckGridModel::Clear() {
  lines_.clear();
  widths_.clear();
}

int CheckGridModel::CellColumns() const {
  int columns = 0;
  for (int w : widths_) columns += w / kBitsPerCell;
  return columns;
}

CheckGridColumn CheckGridModel::ColumnAt(int column) const {
  for (std::size_t e = 0; e < widths_.size(); ++e) {
    const int cells = widths_[e] / kBitsPerCell;
    if (column < cells) return {static_cast<int>(e), column};
    column -= cells;
  }
  return {-1, 0};
}

int CheckGridModel::BitIndex(const TAcChkedLine& line, int element, int position) {
  int offset = 0;
  int e = 0;
  for (const ir::TStrProtItem& item : line.Protocol.Elements) {
    if (!item.IsData()) continue;
    if (e == element) {
      if (position >= item.Value) return -1;
      const int index = offset + position;
      return index < static_cast<int>(line.Bits.size()) ? index : -1;
    }
    offset += item.Value;
    ++e;
  }
  return -1;
}

namespace {

bool Covers(const CheckField& f, int element, int position) {
  return f.frame == element && position >= f.bit && position < f.bit + f.width;
}

}  // namespace

int CheckGridModel::KeyCovering(int element, int position) const {
  for (std::size_t k = 0; k < key_lists_.size(); ++k)
    for (const CheckField& f : key_lists_[k])
      if (Covers(f, element, position)) return static_cast<int>(k);
  return -1;
}

bool CheckGridModel::ChecksumCovers(int element, int position) const {
  return std::any_of(checksum_targets_.begin(), checksum_targets_.end(),
                     [&](const CheckField& f) { return Covers(f, element, position); });
}

std::string CheckGridModel::BinaryText(int line, int column) const {
  std::string text(kBitsPerCell, ' ');
  const CheckGridColumn at = ColumnAt(column);
  if (line < 0 || line >= static_cast<int>(lines_.size()) || at.element < 0) return text;
  const TAcChkedLine& l = lines_[static_cast<std::size_t>(line)];
  for (int i = 0; i < kBitsPerCell; ++i) {
    const int index = BitIndex(l, at.element, at.byte * kBitsPerCell + i);
    if (index >= 0)
      text[static_cast<std::size_t>(i)] = static_cast<char>('0' + l.Bits[static_cast<std::size_t>(index)]);
  }
  return text;
}

std::vector<CellColour> CheckGridModel::BinaryColours(int line, int column) const {
  std::vector<CellColour> colours(kBitsPerCell, CellColour::kBlack);
  const CheckGridColumn at = ColumnAt(column);
  if (line < 0 || line >= static_cast<int>(lines_.size()) || at.element < 0) return colours;
  const TAcChkedLine& l = lines_[static_cast<std::size_t>(line)];
  for (int i = 0; i < kBitsPerCell; ++i) {
    const int position = at.byte * kBitsPerCell + i;
    const int index = BitIndex(l, at.element, position);
    if (index < 0) continue;
    if (static_cast<std::size_t>(index) < l.Errors.size() && l.Errors[static_cast<std::size_t>(index)] != 0)
      colours[static_cast<std::size_t>(i)] = CellColour::kRed;
    else if (KeyCovering(at.element, position) >= 0 || ChecksumCovers(at.element, position))
      colours[static_cast<std::size_t>(i)] = CellColour::kBlue;
  }
  return colours;
}

std::string CheckGridModel::HexText(int line, int column) const {
  const std::string bits = BinaryText(line, column);
  int value = 0;
  int count = 0;
  for (char c : bits) {
    if (c == ' ') continue;
    const int bit = c == '1' ? 1 : 0;
    value |= lsb_first_ ? bit << count : 0;
    if (!lsb_first_) value = (value << 1) | bit;
    ++count;
  }
  if (count == 0) return {};
  return {kHexDigits[(value >> 4) & 15], kHexDigits[value & 15]};
}

bool CheckGridModel::HexRed(int line, int column) const {
  const std::vector<CellColour> colours = BinaryColours(line, column);
  return std::find(colours.begin(), colours.end(), CellColour::kRed) != colours.end();
}

std::string CheckGridModel::HeadingBitNumbers() const { return lsb_first_ ? "01234567" : "76543210"; }

std::string CheckGridModel::HeadingLetters(int column) const {
  std::string letters(kBitsPerCell, ' ');
  const CheckGridColumn at = ColumnAt(column);
  if (at.element < 0) return letters;
  for (int i = 0; i < kBitsPerCell; ++i) {
    const int position = at.byte * kBitsPerCell + i;
    const int key = KeyCovering(at.element, position);
    char& letter = letters[static_cast<std::size_t>(i)];
    if (key >= 0) {
      if (key < static_cast<int>(kKeyLetters.size())) letter = kKeyLetters[static_cast<std::size_t>(key)];
    } else if (ChecksumCovers(at.element, position)) {
      letter = kChecksumLetter;
    }
  }
  return letters;
}

}  // namespace klimavo::analysis
