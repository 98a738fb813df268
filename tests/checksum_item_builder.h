#pragma once
// Checksum items for tests: the kind and the zones first, the rest by name.
//   CrcItem(0, {Zone(0, 0, 55)}).Target(0, 56)              sum of bytes 0..6 into byte 7
//   CrcItem(6, {Zone(0, 0, 15)}).Operands(4).Constant(9, 2)   nibble xor, then xor 9
// Unnamed fields keep the item's defaults: 8-bit operands, an 8-bit target
// at frame 0, bit 0, and no constant.

#include <algorithm>
#include <cstdint>
#include <initializer_list>

#include "ir/crc_item.h"

namespace klimavo::testing {

/// A zone from `start` to `end` (inclusive bit numbers) within one frame.
inline ir::TCrcZone Zone(int frame, int start, int end) {
  return {static_cast<std::uint8_t>(frame), static_cast<std::uint16_t>(start),
          static_cast<std::uint8_t>(frame), static_cast<std::uint16_t>(end)};
}

class CrcItemBuilder {
 public:
  /// Up to two zones; the zone count is the number given.
  CrcItemBuilder(int kind, std::initializer_list<ir::TCrcZone> zones) {
    item_.Kind = static_cast<std::uint8_t>(kind);
    item_.ZoneCount = static_cast<std::uint8_t>(zones.size());
    std::copy_n(zones.begin(), std::min(zones.size(), item_.Zones.size()), item_.Zones.begin());
  }
  // Each setter returns a changed copy, so a shared base item can be varied.
  CrcItemBuilder Operands(int width) const {
    CrcItemBuilder b = *this;
    b.item_.OperandWidth = static_cast<std::uint8_t>(width);
    return b;
  }
  CrcItemBuilder Target(int frame, int bit, int width = 8) const {
    CrcItemBuilder b = *this;
    b.item_.TargetFrame = static_cast<std::uint8_t>(frame);
    b.item_.TargetBit = static_cast<std::uint16_t>(bit);
    b.item_.TargetWidth = static_cast<std::uint8_t>(width);
    return b;
  }
  CrcItemBuilder TargetWidth(int width) const {
    CrcItemBuilder b = *this;
    b.item_.TargetWidth = static_cast<std::uint8_t>(width);
    return b;
  }
  /// The final operation: `op` 0..6 (+ - xor * / and or) with `value`.
  CrcItemBuilder Constant(int value, int op) const {
    CrcItemBuilder b = *this;
    b.item_.Const = static_cast<std::uint16_t>(value);
    b.item_.ConstOp = static_cast<std::uint8_t>(op);
    return b;
  }
  /// A zone count that differs from the zones given (for counts out of range).
  CrcItemBuilder ZoneCount(int count) const {
    CrcItemBuilder b = *this;
    b.item_.ZoneCount = static_cast<std::uint8_t>(count);
    return b;
  }
  operator ir::TCrcItem() const { return item_; }  // NOLINT(google-explicit-constructor): reads as an item

 private:
  ir::TCrcItem item_;
};

inline CrcItemBuilder CrcItem(int kind, std::initializer_list<ir::TCrcZone> zones) { return {kind, zones}; }

}  // namespace klimavo::testing
