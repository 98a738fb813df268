#pragma once
// Records of the analysis tests: a six-key record with NEC timing, one 4-bit
// column per key (key k at bits 4k of one frame) and a byte-sum checksum, and
// the bits of a press of it in given states.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "checksum_item_builder.h"
#include "firmware/six_key_record.h"
#include "ir/checksum.h"
#include "ir/ir_types.h"
#include "ir/protocol.h"
#include "store/protocol_record.h"

namespace klimavo::testing {

inline constexpr std::size_t kKeys = 6;
inline constexpr const auto& kStateCounts = firmware::fixtures::kSixKeyStateCounts;

/// A byte sum of `bytes` bytes from (zone frame, 0), written at (target frame, target bit).
inline ir::TCrcItem ByteSum(int zone_frame, int bytes, int target_frame, int target_bit) {
  return CrcItem(static_cast<int>(ir::CrcKind::Sum), {Zone(zone_frame, 0, 8 * bytes - 1)})
      .Target(target_frame, target_bit);
}

/// NEC timing (the last split code differs from the others by its mark); key k
/// has one 4-bit column at bit 4k of frame `field_frame` with the values
/// (state + k) & 15; slot 0 holds `text` and the checksum.
inline store::TdiskAir DisplayRecord(const std::string& text, int field_frame, const ir::TCrcItem& checksum) {
  store::TdiskAir r;
  r.KeyCount = kKeys;
  r.Params.LogicCount = 2;
  r.Params.Logic[0] = {560, -560, ir::kUnusedDuration, ir::kUnusedDuration};
  r.Params.Logic[1] = {560, -1690, ir::kUnusedDuration, ir::kUnusedDuration};
  r.Params.SplitCount = 3;
  r.Params.Split[0] = {9000, -4500};
  r.Params.Split[1] = {4000, -20000};
  r.Params.Split[2] = {560, -20000};
  r.Slots[0].Text.assign(text);
  r.HasChecksum = 1;
  r.Slots[0].Crc.HasChecksum = 1;
  r.Slots[0].Crc.Count = 1;
  r.Slots[0].Crc.Items[0] = checksum;
  const char* names[kKeys] = {"Power", "Temp", "Mode", "Fan", "Swing", "Vane"};
  for (std::size_t k = 0; k < kKeys; ++k) {
    store::TdiskKey& key = r.Keys[k];
    key.Name.assign(names[k]);
    key.Slot = 0;
    key.StateCount = kStateCounts[k];
    for (std::size_t s = 0; s < key.StateCount; ++s) key.StateNames[s].assign("s" + std::to_string(s));
    store::TdiskBitColumn& c = key.Columns[0];
    c.Frame = static_cast<std::uint8_t>(field_frame);
    c.BitPos = static_cast<std::uint16_t>(4 * k);
    c.Width = 4;
    for (std::size_t s = 0; s < key.StateCount; ++s) c.Values[s] = static_cast<std::uint8_t>((s + k) & 15);
  }
  return r;
}

/// The bits (LSB first) of a press in the given states: every used column of
/// every key carries its state's value (a later column on the same bits wins),
/// and the checksum of slot 0, when it has one, computes.
inline ir::TSSByteArray PressBits(const store::TdiskAir& r, const std::vector<int>& states) {
  const ir::TStrProt_Stru protocol = ir::ParseProtocol(r.Slots[0].Text.str());
  ir::TSSByteArray bits(static_cast<std::size_t>(ir::TotalBits(protocol.Elements)), 0);
  for (std::size_t k = 0; k < std::min<std::size_t>(r.KeyCount, states.size()); ++k) {
    for (const store::TdiskBitColumn& c : r.Keys[k].Columns) {
      if (!c.InUse()) continue;
      const int value = c.Values[static_cast<std::size_t>(states[k])];
      const auto at = static_cast<std::size_t>(ir::BitOffsetOfRun(protocol.Elements, c.Frame, c.BitPos));
      for (std::size_t i = 0; i < c.Width && at + i < bits.size(); ++i)
        bits[at + i] = static_cast<std::uint8_t>((value >> i) & 1);
    }
  }
  if (r.Slots[0].Crc.HasChecksum == 0) return bits;
  const ir::TCrcItem& item = r.Slots[0].Crc.Items[0];
  const std::int32_t sum = ir::CrcCalculate(bits, item, protocol.Elements, true);
  const auto target =
      static_cast<std::size_t>(ir::BitOffsetOfRun(protocol.Elements, item.TargetFrame, item.TargetBit));
  for (std::size_t i = 0; i < item.TargetWidth && target + i < bits.size(); ++i)
    bits[target + i] = static_cast<std::uint8_t>((sum >> i) & 1);
  return bits;
}

}  // namespace klimavo::testing
