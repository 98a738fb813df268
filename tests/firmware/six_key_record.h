#pragma once
// Fixtures of the firmware tests: a six-key record with NEC timing, one 32-bit
// format in slot 0 sent by every key and one 4-bit column per key, and a
// library made of records.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ir/ir_types.h"
#include "store/library.h"
#include "store/protocol_record.h"

namespace klimavo::firmware::fixtures {

/// The state counts of the six keys: power, temperature, mode, fan, swing, vane.
inline constexpr std::uint8_t kSixKeyStateCounts[6] = {2, 15, 5, 4, 2, 7};

/// Gives the six keys of `r` their state counts.
inline void SetSixKeyStateCounts(store::TdiskAir& r) {
  for (std::size_t k = 0; k < 6; ++k) r.Keys[k].StateCount = kSixKeyStateCounts[k];
}

inline store::TdiskAir SixKeyRecord(const std::string& brand, const std::string& code) {
  store::TdiskAir r;
  r.Brand.assign(brand);
  r.CodeNo.assign(code);
  r.KeyCount = 6;
  r.Params.Carrier = 38000;
  r.Params.LogicCount = 2;
  r.Params.Logic[0] = {560, -560, ir::kUnusedDuration, ir::kUnusedDuration};
  r.Params.Logic[1] = {560, -1690, ir::kUnusedDuration, ir::kUnusedDuration};
  r.Params.SplitCount = 2;
  r.Params.Split[0] = {9000, -4500};
  r.Params.Split[1] = {560, -20000};
  r.Slots[0].Text.assign("<0>[32]<1>");
  r.Slots[0].Code = {0x12, 0x34, 0x56, 0x78};
  const auto& states = kSixKeyStateCounts;
  const char* names[6] = {"Power", "Temp", "Mode", "Fan", "Swing", "Vane"};
  for (std::size_t k = 0; k < 6; ++k) {
    store::TdiskKey& key = r.Keys[k];
    key.Name.assign(names[k]);
    key.Slot = 0;
    key.StateCount = states[k];
    store::TdiskBitColumn& c = key.Columns[0];
    c.Frame = 0;
    c.BitPos = static_cast<std::uint16_t>(4 * k);
    c.Width = 4;
    for (std::size_t s = 0; s < states[k]; ++s) c.Values[s] = static_cast<std::uint8_t>((s + k) & 15);
  }
  return r;
}

/// A library held in memory only (its file is never written by these tests).
inline store::ProtocolLibrary LibraryOf(const std::vector<store::TdiskAir>& records) {
  store::ProtocolLibrary library("/nonexistent/acprotocl.dat");
  for (const auto& r : records) library.MutableRecords().push_back({r, store::TBtnLines(r.KeyCount)});
  return library;
}

}  // namespace klimavo::firmware::fixtures
