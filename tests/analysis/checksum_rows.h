#pragma once
// Codes for checksum tests: random code bits of a format with checksum items
// written at their targets by the checksum engine.

#include <cstdint>
#include <random>
#include <string_view>
#include <vector>

#include "ir/checksum.h"
#include "ir/protocol.h"

namespace klimavo::testing {

/// Writes `value` into the item's target, read back by the bit order.
inline void WriteTarget(ir::TSSByteArray& bits, const ir::TStrProt_Listbase& elements,
                        const ir::TCrcItem& item, std::uint32_t value, bool lsb_first) {
  const auto start = static_cast<std::size_t>(ir::BitOffsetOfRun(elements, item.TargetFrame, item.TargetBit));
  for (int i = 0; i < item.TargetWidth; ++i) {
    const int shift = lsb_first ? i : item.TargetWidth - 1 - i;
    bits[start + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>((value >> shift) & 1u);
  }
}

/// Random bits of the format's length; then each item's value, in order.
inline ir::TSSByteArray RandomCode(const ir::TStrProt_Listbase& elements,
                                   const std::vector<ir::TCrcItem>& items, bool lsb_first,
                                   std::mt19937& random) {
  ir::TSSByteArray bits(static_cast<std::size_t>(ir::TotalBits(elements)));
  for (auto& b : bits) b = static_cast<std::uint8_t>(random() & 1u);
  for (const ir::TCrcItem& item : items)
    WriteTarget(bits, elements, item,
                static_cast<std::uint32_t>(ir::CrcCalculate(bits, item, elements, lsb_first)), lsb_first);
  return bits;
}

inline std::vector<ir::TSSByteArray> RandomCodes(const ir::TStrProt_Listbase& elements,
                                                 const std::vector<ir::TCrcItem>& items, bool lsb_first,
                                                 int count, std::uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<ir::TSSByteArray> codes;
  for (int i = 0; i < count; ++i) codes.push_back(RandomCode(elements, items, lsb_first, random));
  return codes;
}

}  // namespace klimavo::testing
