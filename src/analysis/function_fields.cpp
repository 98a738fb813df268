#include "analysis/function_fields.h"

#include <algorithm>

namespace klimavo::analysis {

std::array<std::uint8_t, 2> KeySlots(const store::TdiskAir& record, int key) {
  const store::TdiskKey& k = record.Keys[static_cast<std::size_t>(key)];
  std::array<std::uint8_t, 2> slots{k.Slot, store::kNoSlot};
  if (key == 0 && k.Slot != store::kNoSlot && k.Slot2 != store::kNoSlot && k.Slot2 != k.Slot)
    slots[1] = k.Slot2;
  return slots;
}

namespace {

bool ShareASlot(const std::array<std::uint8_t, 2>& a, const std::array<std::uint8_t, 2>& b) {
  for (std::uint8_t x : a)
    for (std::uint8_t y : b)
      if (x != store::kNoSlot && x == y) return true;
  return false;
}

}  // namespace

ir::TBtnBitsInfo KeyZonesOf(const store::TdiskAir& record, int key) {
  const int keys = static_cast<int>(record.UsedKeys());
  ir::TBtnBitsInfo zones(static_cast<std::size_t>(keys));
  if (key < 0 || key >= keys) return zones;
  const auto selected = KeySlots(record, key);
  for (int j = 0; j < keys; ++j) {
    if (j != key && !ShareASlot(KeySlots(record, j), selected)) continue;
    for (const store::TdiskBitColumn& c : record.Keys[static_cast<std::size_t>(j)].Columns) {
      if (!c.InUse()) continue;
      const ir::TSameInfo field{c.Frame, c.BitPos, c.Width};
      const int other = c.Kind - kKindOfKeyBase;
      if (c.Kind >= kKindOfKeyBase && other < keys && other != j) {
        if (j == key) zones[static_cast<std::size_t>(other)].push_back(field);
        continue;
      }
      zones[static_cast<std::size_t>(j)].push_back(field);
    }
  }
  return zones;
}

store::TdiskBitColumn UnusedColumn() {
  store::TdiskBitColumn c;
  c.Frame = store::kUnusedFrame;
  c.BitPos = 1;
  c.Width = 1;
  c.Kind = kKindPublic;
  c.Values.fill(store::kUnsetValue);
  return c;
}

int ExtractColumns(const CompareGridModel& grid, int state_count,
                   std::array<store::TdiskBitColumn, store::kColumnsPerKey>& columns) {
  const TSameInfoResultArr runs = grid.GetDifferences(state_count);
  columns.fill(UnusedColumn());
  const std::size_t taken = std::min(runs.size(), columns.size());
  for (std::size_t i = 0; i < taken; ++i) {
    const TSameInfoResult& run = runs[i];
    store::TdiskBitColumn& c = columns[i];
    c.Frame = static_cast<std::uint8_t>(run.Frame);
    c.BitPos = static_cast<std::uint16_t>(run.Bit);
    c.Width = static_cast<std::uint8_t>(run.Width);
    const std::size_t values = std::min(run.Values.size(), c.Values.size());
    for (std::size_t s = 0; s < values; ++s) {
      const std::int32_t v = run.Values[s];
      c.Values[s] = v >= 0 && v <= 0xFF ? static_cast<std::uint8_t>(v) : store::kUnsetValue;
    }
  }
  return static_cast<int>(taken);
}

namespace {

std::uint8_t RereadValue(std::uint8_t value, int width, BitReading reading) {
  const unsigned mask = (1u << width) - 1;
  if (value == kValueSpecial || value == store::kUnsetValue || value > mask) return value;
  unsigned v = value;
  if (reading.reverse_order) {
    unsigned reversed = 0;
    for (int i = 0; i < width; ++i) reversed |= ((v >> i) & 1u) << (width - 1 - i);
    v = reversed;
  }
  if (reading.invert) v = ~v & mask;
  return static_cast<std::uint8_t>(v);
}

}  // namespace

void RereadFieldValues(store::TdiskAir& record, BitReading reading) {
  constexpr int kBitsPerValue = 8;
  for (std::size_t k = 0; k < record.UsedKeys(); ++k) {
    store::TdiskKey& key = record.Keys[k];
    const std::size_t states = std::min<std::size_t>(key.StateCount, store::kMaxStates);
    for (store::TdiskBitColumn& c : key.Columns) {
      if (!c.InUse() || c.Width < 1 || c.Width > kBitsPerValue) continue;
      for (std::size_t s = 0; s < states; ++s) c.Values[s] = RereadValue(c.Values[s], c.Width, reading);
    }
  }
}

bool HasChecksumInUse(const store::TdiskAir& record) {
  for (const store::TdiskFormatSlot& slot : record.Slots)
    if (!slot.Text.empty() && slot.Crc.HasChecksum != 0 && slot.Crc.Count > 0) return true;
  return false;
}

}  // namespace klimavo::analysis
