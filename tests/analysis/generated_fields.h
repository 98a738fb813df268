#pragma once
// The pieces of a generated record besides its checksums: timing, format
// texts, key fields and their values, and the code bits of a slot.

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "generated_record.h"
#include "ir/checksum.h"
#include "ir/protocol.h"
#include "store/protocol_record.h"

namespace klimavo::testing {

namespace generator_detail {

inline constexpr const char* kKeyNames[kGeneratedKeys] = {"Power", "Temp", "Mode", "Fan", "Swing", "Vane"};
inline const std::vector<int> kWholeFrames = {16, 24, 32, 40, 48, 56, 64, 72, 80, 96, 104, 112};
inline const std::vector<int> kOddFrames = {12, 20, 28, 35, 42, 44, 50, 67};

inline std::array<std::int32_t, 4> Code(std::int32_t a, std::int32_t b) {
  return {a, b, ir::kUnusedDuration, ir::kUnusedDuration};
}

// Logic codes 0 and 1, split 0 a leader, split 1 the gap and end of a frame,
// split 2 an end of its own (a mark no other code has).
inline void MakeTiming(Dice& dice, Timing timing, ir::TIRGsPara& p) {
  p.Carrier = static_cast<std::uint16_t>(dice.Pick(std::vector<int>{36000, 38000, 38000, 40000}));
  p.LogicCount = 2;
  p.SplitCount = 3;
  if (timing == Timing::kPulseDistance) {
    const int mark = dice.Between(350, 650);
    const int space0 = dice.Between(mark * 8 / 10, mark * 12 / 10);
    p.Logic[0] = Code(mark, -space0);
    p.Logic[1] = Code(mark, -dice.Between(space0 * 26 / 10, space0 * 32 / 10));
    p.Split[0] = {dice.Between(3000, 9000), -dice.Between(1500, 4500)};
    p.Split[1] = {mark, -dice.Between(6000, 40000)};
    p.Split[2] = {dice.Between(mark * 17 / 10, mark * 22 / 10), -dice.Between(20000, 40000)};
  } else {
    const int space = dice.Between(400, 650);
    const int mark0 = dice.Between(350, 600);
    const int mark1 = dice.Between(mark0 * 2, mark0 * 26 / 10);
    const int end_mark = dice.Between(mark1 * 15 / 10, mark1 * 18 / 10);
    p.Logic[0] = Code(mark0, -space);
    p.Logic[1] = Code(mark1, -space);
    p.Split[0] = {dice.Between(std::max(3000, end_mark * 16 / 10), 9000), -dice.Between(1500, 4500)};
    p.Split[1] = {end_mark, -dice.Between(6000, 40000)};
    p.SplitCount = 2;
  }
}

inline int FrameBits(Dice& dice) { return dice.Chance(20) ? dice.Pick(kOddFrames) : dice.Pick(kWholeFrames); }

// One format's text: one frame, two frames (one gap, a leader each, or an end
// of their own) or one frame sent twice.
inline std::string FormatText(Dice& dice, const GeneratedRecord& g) {
  const auto n = [&] { return std::to_string(FrameBits(dice)); };
  const int layout = dice.Between(0, 5);
  const std::string a = n();
  std::string b = n();
  while (b == a) b = n();
  switch (layout) {
    case 1:
      return "<0>[" + a + "]<1>[" + b + "]<1>";
    case 2:
      return "<0>[" + a + "]<1><0>[" + b + "]<1>";
    case 3:
      if (g.timing == Timing::kPulseDistance) return "<0>[" + a + "]<1>[" + b + "]<2>";
      return "<0>[" + a + "]<1>";
    case 4:
      return "(<0>[" + a + "]<1>)*2";
    default:
      return "<0>[" + a + "]<1>";
  }
}

// The values of a key's first field in each state: distinct, or for the
// temperature often a run of steps of one.
inline std::vector<int> FieldValues(Dice& dice, int key, int states, int width) {
  std::vector<int> values;
  const int limit = 1 << width;
  if (key == 1 && dice.Chance(60)) {
    const int base = dice.Between(0, limit - states);
    for (int s = 0; s < states; ++s) values.push_back(base + s);
    if (dice.Chance(30)) std::reverse(values.begin(), values.end());
    return values;
  }
  std::vector<int> all(static_cast<std::size_t>(limit));
  for (int v = 0; v < limit; ++v) all[static_cast<std::size_t>(v)] = v;
  for (int i = limit - 1; i > 0; --i)
    std::swap(all[static_cast<std::size_t>(i)], all[static_cast<std::size_t>(dice.Between(0, i))]);
  values.assign(all.begin(), all.begin() + states);
  return values;
}

inline int FieldWidth(Dice& dice, int key) {
  switch (key) {
    case 0:
      return dice.Chance(80) ? 1 : 2;
    case 1:
      return dice.Chance(70) ? 4 : 5;
    case 2:
      return dice.Chance(80) ? 3 : 4;
    case 3:
      return dice.Chance(70) ? 2 : 3;
    case 4:
      return dice.Chance(70) ? 1 : 2;
    default:
      return dice.Chance(70) ? 3 : 4;
  }
}

// Puts a column of `width` bits on free bits of the plan; false when none fit.
inline bool PlaceColumn(Dice& dice, FormatPlan& plan, int width, const std::vector<int>& values,
                        store::TdiskBitColumn& column) {
  for (int attempt = 0; attempt < 60; ++attempt) {
    const int frame = dice.Between(0, plan.Frames() - 1);
    const int last = plan.Bits(frame) - width;
    if (last < 0) continue;
    const int bit = dice.Between(0, last);
    if (!plan.Free(frame, bit, width)) continue;
    plan.Take(frame, bit, width);
    column.Frame = static_cast<std::uint8_t>(frame);
    column.BitPos = static_cast<std::uint16_t>(bit);
    column.Width = static_cast<std::uint8_t>(width);
    column.Kind = 0;
    column.Values.fill(store::kUnsetValue);
    for (std::size_t s = 0; s < values.size(); ++s) column.Values[s] = static_cast<std::uint8_t>(values[s]);
    return true;
  }
  return false;
}

// Writes `value` at (frame, bit) of code bits, read back by the bit order.
inline void WriteField(ir::TSSByteArray& bits, const ir::TStrProt_Listbase& elements, int frame, int bit,
                       int width, std::uint32_t value, bool lsb_first) {
  const auto start = static_cast<std::size_t>(ir::BitOffsetOfRun(elements, frame, bit));
  for (int i = 0; i < width; ++i) {
    const int shift = lsb_first ? i : width - 1 - i;
    bits[start + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((value >> shift) & 1u);
  }
}

// The bits of a code of a slot with each key of the slot in `states`, and its
// checksums computed in order.
inline ir::TSSByteArray CodeBits(const store::TdiskAir& r, std::size_t slot, const ir::TSSByteArray& base,
                                 const std::vector<int>& states) {
  const bool lsb = r.LsbFirst != 0;
  const ir::TStrProt_Listbase elements = ir::ParseProtocol(r.Slots[slot].Text.str()).Elements;
  ir::TSSByteArray bits = base;
  for (std::size_t k = 0; k < r.KeyCount; ++k) {
    if (r.Keys[k].Slot != slot) continue;
    for (const store::TdiskBitColumn& c : r.Keys[k].Columns)
      if (c.InUse())
        WriteField(bits, elements, c.Frame, c.BitPos, c.Width, c.Values[static_cast<std::size_t>(states[k])],
                   lsb);
  }
  const ir::TCrcBlock& crc = r.Slots[slot].Crc;
  if (r.HasChecksum == 0 || crc.HasChecksum == 0) return bits;
  for (std::size_t i = 0; i < crc.Count; ++i) {
    const ir::TCrcItem& item = crc.Items[i];
    const std::int32_t value = ir::CrcCalculate(bits, item, elements, lsb);
    WriteField(bits, elements, item.TargetFrame, item.TargetBit, item.TargetWidth,
               static_cast<std::uint32_t>(value), lsb);
  }
  return bits;
}

inline ir::TSSByteArray RandomBits(Dice& dice, std::size_t n) {
  ir::TSSByteArray bits(n);
  for (auto& b : bits) b = static_cast<std::uint8_t>(dice.Between(0, 1));
  return bits;
}

inline void NameKeys(store::TdiskAir& r, const std::vector<int>& state_counts) {
  r.KeyCount = kGeneratedKeys;
  for (std::size_t k = 0; k < kGeneratedKeys; ++k) {
    store::TdiskKey& key = r.Keys[k];
    key.Name.assign(kKeyNames[k]);
    key.StateCount = static_cast<std::uint8_t>(state_counts[k]);
    for (std::size_t s = 0; s < key.StateCount; ++s) key.StateNames[s].assign("s" + std::to_string(s));
    key.Slot = 0;
  }
}

}  // namespace generator_detail

}  // namespace klimavo::testing
