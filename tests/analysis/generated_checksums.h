#pragma once
// Checksum items of a generated format: targets first (so that key fields keep
// off them), then zones that the firmware can cut into operands and that hold
// no target of the item itself or of a later item of the format.

#include <algorithm>
#include <cstdint>
#include <vector>

#include "generated_record.h"
#include "ir/checksum.h"
#include "ir/crc_item.h"

namespace klimavo::testing {

/// What kind of checksum items a format gets.
struct ChecksumWish {
  int items = 1;
  bool zero_count = false;  ///< item 0 counts zeros (the tables refuse it)
};

namespace checksum_detail {

// The constant operations the firmware has: +, -, xor, and, or.
inline const std::vector<int> kFirmwareConstOps = {0, 1, 2, 5, 6};
// Kinds, weighted as remotes use them: sums and xors most.
inline const std::vector<int> kKinds = {0, 0, 0, 0, 0, 1, 1, 2, 3, 6, 6, 6, 10, 10};
// A nibble-exchanged sum of at most 16 nibbles stays below 256.
inline constexpr int kMostNibbleSwapBits = 64;

inline bool PlaceTarget(Dice& dice, FormatPlan& plan, ir::TCrcItem& item) {
  item.TargetWidth = static_cast<std::uint8_t>(dice.Chance(75) ? 8 : 4);
  for (int attempt = 0; attempt < 40; ++attempt) {
    const int frame = dice.Chance(60) ? plan.Frames() - 1 : dice.Between(0, plan.Frames() - 1);
    const int last_start = plan.Bits(frame) - item.TargetWidth;
    if (last_start < 0) continue;
    const int step = dice.Chance(60) ? 8 : dice.Chance(60) ? 4 : 1;
    const int bit = dice.Chance(50) ? last_start / step * step : dice.Between(0, last_start / step) * step;
    if (!plan.Free(frame, bit, item.TargetWidth)) continue;
    item.TargetFrame = static_cast<std::uint8_t>(frame);
    item.TargetBit = static_cast<std::uint16_t>(bit);
    plan.Take(frame, bit, item.TargetWidth);
    return true;
  }
  return false;
}

inline bool ValidEnd(int end, int width) { return width == 8 ? end % 8 == 7 || end % 8 == 3 : end % 4 == 3; }

// True when no bit of the zone lies in one of the targets.
inline bool ZoneAvoids(const ir::TCrcZone& zone, const FormatPlan& plan,
                       const std::vector<ir::TCrcItem>& targets) {
  for (int f = zone.StartFrame; f <= zone.EndFrame; ++f) {
    const int from = f == zone.StartFrame ? zone.StartBit : 0;
    const int to = f == zone.EndFrame ? zone.EndBit : plan.Bits(f) - 1;
    for (const ir::TCrcItem& t : targets)
      if (t.TargetFrame == f && from < t.TargetBit + t.TargetWidth && to >= t.TargetBit) return false;
  }
  return true;
}

inline int ZoneBits(const ir::TCrcZone& zone, const FormatPlan& plan) {
  int bits = 0;
  for (int f = zone.StartFrame; f <= zone.EndFrame; ++f)
    bits +=
        (f == zone.EndFrame ? zone.EndBit + 1 : plan.Bits(f)) - (f == zone.StartFrame ? zone.StartBit : 0);
  return bits;
}

inline bool Overlap(const ir::TCrcZone& a, const ir::TCrcZone& b) {
  const auto key = [](int frame, int bit) { return frame * 100000 + bit; };
  return key(a.StartFrame, a.StartBit) <= key(b.EndFrame, b.EndBit) &&
         key(b.StartFrame, b.StartBit) <= key(a.EndFrame, a.EndBit);
}

// A zone from the start of a frame to the bit before the target (the common
// "sum of every byte before it"), or anywhere.
inline bool PickZone(Dice& dice, const FormatPlan& plan, const ir::TCrcItem& item, ir::TCrcZone& zone) {
  const int width = item.OperandWidth;
  if (dice.Chance(50) && item.TargetBit > 0) {
    zone.StartFrame = zone.EndFrame = item.TargetFrame;
    zone.StartBit = 0;
    zone.EndBit = static_cast<std::uint16_t>(item.TargetBit - 1);
    if (item.TargetFrame > 0 && dice.Chance(30)) zone.StartFrame = 0;
    return ValidEnd(zone.EndBit, width);
  }
  const int start_frame = dice.Between(0, plan.Frames() - 1);
  const int end_frame = start_frame + 1 < plan.Frames() && dice.Chance(20) ? start_frame + 1 : start_frame;
  const int start = dice.Between(0, (plan.Bits(start_frame) - 1) / width) * width;
  std::vector<int> ends;
  for (int e = end_frame == start_frame ? start : 0; e < plan.Bits(end_frame); ++e)
    if (ValidEnd(e, width)) ends.push_back(e);
  if (ends.empty()) return false;
  zone = {static_cast<std::uint8_t>(start_frame), static_cast<std::uint16_t>(start),
          static_cast<std::uint8_t>(end_frame), static_cast<std::uint16_t>(dice.Pick(ends))};
  return true;
}

}  // namespace checksum_detail

/// Plans the checksum items of one format: returns them (fewer than wished
/// when a target or zone does not fit).
inline std::vector<ir::TCrcItem> PlanChecksums(Dice& dice, FormatPlan& plan, const ChecksumWish& wish) {
  using namespace checksum_detail;
  std::vector<ir::TCrcItem> items;
  for (int i = 0; i < wish.items; ++i) {
    ir::TCrcItem item;
    if (!PlaceTarget(dice, plan, item)) break;
    items.push_back(item);
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    ir::TCrcItem& item = items[i];
    item.Kind = static_cast<std::uint8_t>(dice.Pick(kKinds));
    if (wish.zero_count && i == 0) item.Kind = static_cast<std::uint8_t>(dice.Chance(50) ? 4 : 5);
    const bool nibble_swap = item.Kind == static_cast<int>(ir::CrcKind::SumNibbleSwap);
    const bool nibble_sum = item.Kind == static_cast<int>(ir::CrcKind::NibbleSum);
    item.OperandWidth = static_cast<std::uint8_t>(nibble_sum || (!nibble_swap && dice.Chance(70)) ? 8 : 4);
    // Zones keep off the item's own target and the targets of later items.
    const std::vector<ir::TCrcItem> later(items.begin() + static_cast<std::ptrdiff_t>(i), items.end());
    const int zones = dice.Chance(70) ? 1 : 2;
    item.ZoneCount = 0;
    int zone_bits = 0;
    for (int attempt = 0; attempt < 40 && item.ZoneCount < zones; ++attempt) {
      ir::TCrcZone zone;
      if (!PickZone(dice, plan, item, zone) || !ZoneAvoids(zone, plan, later)) continue;
      if (item.ZoneCount == 1 && Overlap(zone, item.Zones[0])) continue;
      if (nibble_swap && zone_bits + ZoneBits(zone, plan) > kMostNibbleSwapBits) continue;
      zone_bits += ZoneBits(zone, plan);
      item.Zones[item.ZoneCount++] = zone;
    }
    if (item.Kind != static_cast<int>(ir::CrcKind::SumNibbleSwap) && dice.Chance(35)) {
      item.ConstOp = static_cast<std::uint8_t>(dice.Pick(kFirmwareConstOps));
      item.Const = static_cast<std::uint16_t>(dice.Between(1, 255));
    }
  }
  // An item without a zone is no checksum: it and the items after it go.
  const auto zoneless =
      std::find_if(items.begin(), items.end(), [](const ir::TCrcItem& c) { return c.ZoneCount == 0; });
  items.erase(zoneless, items.end());
  return items;
}

}  // namespace klimavo::testing
