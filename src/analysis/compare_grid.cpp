#include "analysis/compare_grid.h"

#include <algorithm>
#include <array>

#include "ir/checksum.h"

namespace klimavo::analysis {
namespace {

constexpr char kBlank = ' ';
/// Runs longer than this would not fit a 32-bit run value.
constexpr int kLongestRunWidth = 31;
constexpr std::size_t kMaxChecksumItems = 4;
constexpr char kHexDigits[] = "0123456789ABCDEF";

const std::string kNoText;

/// The bit counts of a row's frames: one per data element, in order.
std::vector<int> FrameBitCounts(const store::TGrdDataLine& line) {
  std::vector<int> counts;
  for (const ir::TStrProtItem& e : line.Elements)
    if (e.IsData()) counts.push_back(e.Value);
  return counts;
}

char CharAt(const std::string& text, int position) {
  if (position < 0 || position >= static_cast<int>(text.size())) return kBlank;
  return text[static_cast<std::size_t>(position)];
}

bool SameRow(const store::TGrdDataLine& a, const store::TGrdDataLine& b) {
  if (a.Data != b.Data || a.Elements.size() != b.Elements.size()) return false;
  for (std::size_t i = 0; i < a.Elements.size(); ++i) {
    const ir::TStrProtItem& x = a.Elements[i];
    const ir::TStrProtItem& y = b.Elements[i];
    if (x.IsData() != y.IsData()) return false;
    if (x.IsData() && x.Value != y.Value) return false;
  }
  return true;
}

std::string Hex(std::uint64_t value, int digits) {
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4)
    text[static_cast<std::size_t>(i)] = kHexDigits[value & 15];
  return text;
}

}  // namespace

CompareGridModel::CompareGridModel() { Rebuild(); }

void CompareGridModel::Notify(GridChange change) const {
  if (listener_) listener_(change);
}

// ----- Rows -----

void CompareGridModel::AddLine(const ir::TSSByteArray& bits, const ir::TStrProt_Stru& structure) {
  if (bits.empty() || structure.Elements.empty()) return;
  store::TGrdDataLine line;
  line.Data = bits;
  line.Elements = structure.Elements;
  line.Repeat = static_cast<std::uint16_t>(structure.Repeat);
  line.Marker = 0;
  lines_.push_back(std::move(line));
  Rebuild();
  Notify(GridChange::RowAdded);
}

void CompareGridModel::Clear() {
  lines_.clear();
  Rebuild();
  Notify(GridChange::Rebuilt);
}

void CompareGridModel::DeleteLines(std::vector<int> rows) {
  std::sort(rows.begin(), rows.end(), std::greater<>());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (int row : rows)
    if (row >= 0 && row < LineCount()) lines_.erase(lines_.begin() + row);
  Rebuild();
  Notify(GridChange::Rebuilt);
}

void CompareGridModel::DeleteLine(int row) { DeleteLines({row}); }

bool CompareGridModel::GetLine(int row, store::TGrdDataLine& line) const {
  if (row < 0 || row >= LineCount()) return false;
  line = lines_[static_cast<std::size_t>(row)];
  return true;
}

void CompareGridModel::SetLines(const store::TGrdLines& lines) {
  lines_ = lines;
  selected_run_ = 0;
  Rebuild();
  Notify(GridChange::Rebuilt);
}

int CompareGridModel::RemoveDuplicates() {
  int removed = 0;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    for (std::size_t j = i + 1; j < lines_.size();) {
      if (SameRow(lines_[i], lines_[j])) {
        lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(j));
        ++removed;
      } else {
        ++j;
      }
    }
  }
  Rebuild();
  Notify(GridChange::Rebuilt);
  return removed;
}

void CompareGridModel::SortByRunValue(bool ascending) {
  if (lines_.size() < 2 || runs_.empty()) return;
  std::vector<std::int32_t> keys;
  for (int r = 0; r < LineCount(); ++r) keys.push_back(RunValue(r));
  // An exchange sort: for each row, every later row with a smaller key is swapped in.
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    for (std::size_t j = i + 1; j < lines_.size(); ++j) {
      if (keys[j] < keys[i]) {
        std::swap(keys[i], keys[j]);
        std::swap(lines_[i], lines_[j]);
      }
    }
  }
  if (!ascending) std::reverse(lines_.begin(), lines_.end());
  Rebuild();
  Notify(GridChange::Rebuilt);
}

void CompareGridModel::ReverseLines() {
  std::reverse(lines_.begin(), lines_.end());
  Rebuild();
  Notify(GridChange::Rebuilt);
}

void CompareGridModel::InvertBits() {
  for (store::TGrdDataLine& line : lines_)
    for (std::uint8_t& bit : line.Data) bit = bit == 1 ? 0 : 1;
  Rebuild();
  Notify(GridChange::Rebuilt);
}

// ----- Settings -----

void CompareGridModel::SetKeyZones(const ir::TBtnBitsInfo& zones, int current_key) {
  key_zones_ = zones;
  current_key_ = current_key;
  Rebuild();
  Notify(GridChange::Rebuilt);
}

void CompareGridModel::SetMaxRunWidth(int width) {
  width = std::clamp(width, 0, kLongestRunWidth);
  if (width == max_run_width_) return;
  max_run_width_ = width;
  Rebuild();
  Notify(GridChange::Rebuilt);
}

void CompareGridModel::SetIgnoreZoned(bool ignore) {
  if (ignore == ignore_zoned_) return;
  ignore_zoned_ = ignore;
  Rebuild();
  Notify(GridChange::Rebuilt);
}

void CompareGridModel::SetHexMode(bool hex) {
  if (hex == hex_mode_) return;
  hex_mode_ = hex;
  Rebuild();
  Notify(GridChange::Rebuilt);
}

void CompareGridModel::SetLowPre(bool lsb_first) {
  if (lsb_first == low_pre_) return;
  low_pre_ = lsb_first;
  Rebuild();
  Notify(GridChange::Rebuilt);
}

void CompareGridModel::SetChecksumMode(bool on) {
  checksum_mode_ = on;
  Notify(GridChange::Repaint);
}

void CompareGridModel::SetChecksumBlock(const ir::TCrcBlock& block, bool rebuild) {
  checksums_ = block;
  const int width = block.Items[0].OperandWidth;
  column_bits_ =
      checksum_mode_ && (width == kNarrowColumnBits || width == kWideColumnBits) ? width : kWideColumnBits;
  if (!rebuild) return;
  Rebuild();
  Notify(GridChange::Rebuilt);
}

void CompareGridModel::SetHasChecksum(bool has) {
  checksums_.HasChecksum = has ? 1 : 0;
  Rebuild();
  Notify(GridChange::Rebuilt);
}

void CompareGridModel::SelectRun(int run) {
  if (run < 0 || run >= static_cast<int>(runs_.size())) run = 0;
  selected_run_ = run;
  Notify(GridChange::RunChosen);
}

int CompareGridModel::ChecksumItemCount() const {
  if (checksums_.HasChecksum == 0) return 0;
  return std::min<int>(checksums_.Count, static_cast<int>(kMaxChecksumItems));
}

// ----- Rebuild -----

void CompareGridModel::Rebuild() {
  const std::size_t old_run_count = runs_.size();
  ComputeLayout();
  ComputeCellTexts();
  ComputeZones();
  ComputeSameBits();
  ComputeRuns();
  ComputeColumns();
  // The run chooser is refilled when the number of runs changed, and then
  // its first item is chosen.
  if (runs_.size() != old_run_count || selected_run_ >= static_cast<int>(runs_.size())) selected_run_ = 0;
}

void CompareGridModel::ComputeLayout() {
  max_frames_ = 0;
  std::vector<std::vector<int>> counts;
  counts.reserve(lines_.size());
  for (const store::TGrdDataLine& line : lines_) {
    counts.push_back(FrameBitCounts(line));
    max_frames_ = std::max(max_frames_, static_cast<int>(counts.back().size()));
  }
  frame_widths_.assign(static_cast<std::size_t>(max_frames_), 0);
  for (std::size_t r = 0; r < lines_.size(); ++r) {
    store::TGrdDataLine& line = lines_[r];
    const int frames = static_cast<int>(counts[r].size());
    if (line.Marker + frames > max_frames_) line.Marker = static_cast<std::uint16_t>(max_frames_ - frames);
    // A frame position is as wide as the widest frame any row has there, by
    // its own numbering and as shifted; so a shifted row's text always fits.
    for (int f = 0; f < frames; ++f) {
      const int bits = counts[r][static_cast<std::size_t>(f)];
      int& own = frame_widths_[static_cast<std::size_t>(f)];
      int& shown = frame_widths_[static_cast<std::size_t>(f + line.Marker)];
      own = std::max(own, bits);
      shown = std::max(shown, bits);
    }
  }
  text_widths_.resize(frame_widths_.size());
  for (std::size_t f = 0; f < frame_widths_.size(); ++f) {
    const int columns = (frame_widths_[f] + column_bits_ - 1) / column_bits_;
    text_widths_[f] = columns * column_bits_;
  }
}

void CompareGridModel::ComputeCellTexts() {
  cell_texts_.assign(lines_.size(), {});
  for (std::size_t r = 0; r < lines_.size(); ++r) {
    const store::TGrdDataLine& line = lines_[r];
    const std::vector<int> counts = FrameBitCounts(line);
    std::vector<std::string>& texts = cell_texts_[r];
    texts.resize(static_cast<std::size_t>(max_frames_));
    std::size_t cursor = 0;
    for (int f = line.Marker; f < max_frames_; ++f) {
      std::string& text = texts[static_cast<std::size_t>(f)];
      text.assign(static_cast<std::size_t>(text_widths_[static_cast<std::size_t>(f)]), kBlank);
      const std::size_t own = static_cast<std::size_t>(f - line.Marker);
      const int bits = own < counts.size() ? counts[own] : 0;
      for (int b = 0; b < bits && cursor < line.Data.size(); ++b, ++cursor)
        text[static_cast<std::size_t>(b)] = line.Data[cursor] == 1 ? '1' : '0';
    }
  }
}

void CompareGridModel::ComputeZones() {
  zone_counts_.assign(static_cast<std::size_t>(max_frames_), {});
  letters_.assign(static_cast<std::size_t>(max_frames_), {});
  for (std::size_t f = 0; f < zone_counts_.size(); ++f) {
    zone_counts_[f].assign(static_cast<std::size_t>(text_widths_[f]), 0);
    letters_[f].assign(static_cast<std::size_t>(text_widths_[f]), BitLetters{});
  }
  for (std::size_t k = 0; k < key_zones_.size(); ++k) {
    // A key counts once per bit, however many of its fields hold it.
    std::vector<std::vector<std::uint8_t>> claimed(zone_counts_.size());
    for (std::size_t f = 0; f < claimed.size(); ++f) claimed[f].assign(zone_counts_[f].size(), 0);
    for (const ir::TSameInfo& field : key_zones_[k]) {
      if (field.Frame < 0 || field.Frame >= max_frames_) continue;
      auto& row = claimed[static_cast<std::size_t>(field.Frame)];
      const int first = std::max(field.Bit, 0);
      const int last = std::min<int>(field.Bit + field.Width - 1, static_cast<int>(row.size()) - 1);
      for (int p = first; p <= last; ++p) row[static_cast<std::size_t>(p)] = 1;
    }
    const bool other = static_cast<int>(k) != current_key_;
    const bool lettered = k < std::size(kFieldLetters);
    for (std::size_t f = 0; f < claimed.size(); ++f) {
      for (std::size_t p = 0; p < claimed[f].size(); ++p) {
        if (claimed[f][p] == 0) continue;
        if (other) ++zone_counts_[f][p];
        if (!lettered) continue;
        BitLetters& l = letters_[f][p];
        if (l.first == 0)
          l.first = kFieldLetters[k];
        else if (l.second == 0)
          l.second = kFieldLetters[k];
      }
    }
  }
}

void CompareGridModel::ComputeSameBits() {
  same_bits_.assign(static_cast<std::size_t>(max_frames_), {});
  for (int f = 0; f < max_frames_; ++f) {
    std::vector<std::uint8_t>& same = same_bits_[static_cast<std::size_t>(f)];
    same.assign(static_cast<std::size_t>(text_widths_[static_cast<std::size_t>(f)]), 1);
    for (int p = 0; p < static_cast<int>(same.size()); ++p) {
      if (ignore_zoned_ && ClaimedByOtherKey(f, p)) continue;
      char seen = kBlank;
      for (const std::vector<std::string>& row : cell_texts_) {
        const char c = CharAt(row[static_cast<std::size_t>(f)], p);
        if (c == kBlank) continue;
        if (seen == kBlank) {
          seen = c;
        } else if (c != seen) {
          same[static_cast<std::size_t>(p)] = 0;
          break;
        }
      }
    }
  }
}

void CompareGridModel::ComputeRuns() {
  runs_.clear();
  for (int f = 0; f < max_frames_; ++f) {
    const std::vector<std::uint8_t>& same = same_bits_[static_cast<std::size_t>(f)];
    for (int p = 0; p < static_cast<int>(same.size()); ++p) {
      if (same[static_cast<std::size_t>(p)] != 0) continue;
      if (!runs_.empty()) {
        ir::TSameInfo& run = runs_.back();
        if (run.Frame == f && run.Bit + run.Width == p && run.Width < max_run_width_) {
          ++run.Width;
          continue;
        }
      }
      runs_.push_back({f, p, 1});
    }
  }
}

void CompareGridModel::ComputeColumns() {
  columns_.clear();
  columns_.push_back({GridColumnKind::RowNumber});
  for (int f = 0; f < max_frames_; ++f) {
    const int width = text_widths_[static_cast<std::size_t>(f)];
    for (int first = 0; first < width; first += column_bits_)
      columns_.push_back({GridColumnKind::Bits, f, first});
  }
  bit_column_count_ = static_cast<int>(columns_.size());
  if (ShowsChecksums()) {
    for (int j = 0; j < ChecksumItemCount(); ++j) columns_.push_back({GridColumnKind::Checksum, -1, 0, j});
  } else {
    columns_.push_back({GridColumnKind::Value});
  }
}

// ----- Queries -----

int CompareGridModel::FrameTextWidth(int frame) const {
  if (frame < 0 || frame >= max_frames_) return 0;
  return text_widths_[static_cast<std::size_t>(frame)];
}

const std::string& CompareGridModel::CellText(int row, int frame) const {
  if (row < 0 || row >= LineCount() || frame < 0 || frame >= max_frames_) return kNoText;
  return cell_texts_[static_cast<std::size_t>(row)][static_cast<std::size_t>(frame)];
}

int CompareGridModel::ZoneCount(int frame, int position) const {
  if (frame < 0 || frame >= max_frames_) return 0;
  const auto& counts = zone_counts_[static_cast<std::size_t>(frame)];
  if (position < 0 || position >= static_cast<int>(counts.size())) return 0;
  return counts[static_cast<std::size_t>(position)];
}

bool CompareGridModel::ClaimedByOtherKey(int frame, int position) const {
  return ZoneCount(frame, position) > 0;
}

bool CompareGridModel::AnyTargetContains(int frame, int bit) const {
  for (int j = 0; j < ChecksumItemCount(); ++j) {
    const ir::TCrcItem& item = checksums_.Items[static_cast<std::size_t>(j)];
    if (item.TargetFrame == frame && bit >= item.TargetBit && bit < item.TargetBit + item.TargetWidth)
      return true;
  }
  return false;
}

bool CompareGridModel::InChecksumTarget(int frame, int position) const {
  return AnyTargetContains(frame, position);
}

bool CompareGridModel::TouchesChecksumTarget(int frame, int first_bit, int width) const {
  return AnyTargetContains(frame, first_bit) || AnyTargetContains(frame, first_bit + width - 1);
}

BitLetters CompareGridModel::LettersOf(int frame, int position) const {
  BitLetters letters;
  if (frame >= 0 && frame < max_frames_) {
    const auto& row = letters_[static_cast<std::size_t>(frame)];
    if (position >= 0 && position < static_cast<int>(row.size()))
      letters = row[static_cast<std::size_t>(position)];
  }
  if (letters.first == 0 && InChecksumTarget(frame, position)) letters.first = kChecksumLetter;
  return letters;
}

BitMark CompareGridModel::MarkOf(int frame, int position) const {
  if (frame < 0 || frame >= max_frames_) return BitMark::Plain;
  const auto& same = same_bits_[static_cast<std::size_t>(frame)];
  const bool differs = checksum_mode_ ? InChecksumTarget(frame, position)
                                      : position >= 0 && position < static_cast<int>(same.size()) &&
                                            same[static_cast<std::size_t>(position)] == 0;
  if (differs) return BitMark::Differs;
  return ZoneCount(frame, position) > 0 ? BitMark::Claimed : BitMark::Plain;
}

bool CompareGridModel::ColumnMarked(const GridColumn& column) const {
  if (column.kind != GridColumnKind::Bits) return false;
  for (int i = 0; i < column_bits_; ++i)
    if (MarkOf(column.frame, column.first_char + i) == BitMark::Differs) return true;
  return false;
}

std::string CompareGridModel::ColumnText(int row, const GridColumn& column) const {
  if (column.kind != GridColumnKind::Bits) return {};
  const std::string& text = CellText(row, column.frame);
  std::string bits;
  for (int i = 0; i < column_bits_; ++i) bits.push_back(CharAt(text, column.first_char + i));
  if (!hex_mode_) return bits;
  const std::size_t first = bits.find_first_not_of(kBlank);
  if (first == std::string::npos) return {};
  const std::size_t last = bits.find_last_not_of(kBlank);
  const std::string trimmed = bits.substr(first, last - first + 1);
  const std::uint64_t value = static_cast<std::uint64_t>(ir::BitTextValue(trimmed, low_pre_));
  return Hex(value, column_bits_ == kNarrowColumnBits ? 1 : 2);
}

std::int32_t CompareGridModel::RunValueOf(int run, int row) const {
  if (run < 0 || run >= static_cast<int>(runs_.size())) return kNoRunValue;
  const ir::TSameInfo& info = runs_[static_cast<std::size_t>(run)];
  const std::string& text = CellText(row, info.Frame);
  std::string bits;
  for (int i = 0; i < info.Width; ++i) {
    const char c = CharAt(text, info.Bit + i);
    if (c == kBlank) return kNoRunValue;
    bits.push_back(c);
  }
  return static_cast<std::int32_t>(ir::BitTextValue(bits, low_pre_));
}

std::int32_t CompareGridModel::RunValue(int row) const { return RunValueOf(selected_run_, row); }

TSameInfoResultArr CompareGridModel::GetDifferences(int max_rows) const {
  TSameInfoResultArr results;
  const int rows = std::clamp(max_rows, 0, LineCount());
  for (int i = 0; i < static_cast<int>(runs_.size()); ++i) {
    const ir::TSameInfo& run = runs_[static_cast<std::size_t>(i)];
    if (TouchesChecksumTarget(run.Frame, run.Bit, run.Width)) continue;
    TSameInfoResult result{run.Frame, run.Bit, run.Width, {}};
    for (int r = 0; r < rows; ++r) result.Values.push_back(RunValueOf(i, r));
    results.push_back(std::move(result));
  }
  return results;
}

// ----- Checksums over the cell texts -----

std::int32_t CompareGridModel::ReadTarget(int row, const ir::TCrcItem& item) const {
  const std::string& text = CellText(row, item.TargetFrame);
  std::string bits;
  for (int i = 0; i < item.TargetWidth; ++i) {
    const char c = CharAt(text, item.TargetBit + i);
    if (c == kBlank) return 0;  // a target with a blank, or no text, reads as 0
    bits.push_back(c);
  }
  return static_cast<std::int32_t>(ir::BitTextValue(bits, low_pre_));
}

ChecksumCell CompareGridModel::ChecksumOf(int row, int item_index) const {
  ChecksumCell cell;
  if (item_index < 0 || item_index >= static_cast<int>(kMaxChecksumItems)) return cell;
  const ir::TCrcItem& item = checksums_.Items[static_cast<std::size_t>(item_index)];
  cell.width = item.TargetWidth;
  cell.stored = ReadTarget(row, item);
  const ir::CrcKindInfo* info = ir::FindCrcKind(item.Kind);
  if (info == nullptr) return cell;

  ir::CrcAccumulator acc(*info);
  const int width = column_bits_;
  const int zones = std::min<int>(item.ZoneCount, ir::kMaxCrcZones);
  for (int z = 0; z < zones; ++z) {
    const ir::TCrcZone& zone = item.Zones[static_cast<std::size_t>(z)];
    for (int frame = zone.StartFrame; frame <= zone.EndFrame; ++frame) {
      const std::string& text = CellText(row, frame);
      const int start = frame == zone.StartFrame ? zone.StartBit : 0;
      int end = frame == zone.EndFrame ? zone.EndBit : static_cast<int>(text.size()) - 1;
      end = std::min(end, static_cast<int>(text.size()) - 1);
      if (start > end) continue;
      std::string segment =
          text.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start + 1));
      if (acc.Counts()) {
        acc.AddCount(segment);
        continue;
      }
      // The shifted sum reads one leading 0 bit, so its pieces start one bit earlier.
      int base = start;
      if (info->shifted) {
        segment.insert(segment.begin(), '0');
        --base;
      }
      bool ended = false;
      for (std::size_t at = 0; at < segment.size(); at += static_cast<std::size_t>(width)) {
        const std::string piece = segment.substr(at, static_cast<std::size_t>(width));
        const int first = base + static_cast<int>(at);
        if (ended || TouchesChecksumTarget(frame, first, width)) {
          acc.SkipOperand();  // still a position of the nibble sum
          continue;
        }
        if (static_cast<int>(piece.size()) < width || piece.find(kBlank) != std::string::npos) {
          ended = true;  // the first piece with a blank ends the segment
          acc.SkipOperand();
          continue;
        }
        acc.AddOperand(static_cast<std::uint32_t>(ir::BitTextValue(piece, low_pre_)));
      }
    }
  }
  cell.computed = acc.Finish(item);
  return cell;
}

std::string CompareGridModel::ChecksumText(const ChecksumCell& cell) const {
  if (cell.computed < 0) return "?";
  const auto value = static_cast<std::uint32_t>(cell.computed);
  if (hex_mode_) return Hex(value, std::max(2, (std::min(cell.width, 32) + 3) / 4));
  std::string text;
  for (int i = 0; i < cell.width && i < 32; ++i) {
    // Bit i of the value sits first when the grid reads least significant bit first.
    const int shift = low_pre_ ? i : cell.width - 1 - i;
    text.push_back(shift < 32 && ((value >> shift) & 1) != 0 ? '1' : '0');
  }
  return text;
}

}  // namespace klimavo::analysis
