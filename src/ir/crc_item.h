#pragma once
// The checksum description stored in every format slot of a protocol record:
// checksum items with their zones, and the per-format block of up to four items.

#include <array>
#include <cstdint>

#include "base/byte_io.h"

namespace klimavo::ir {

/// A range of code bits: from (start frame, start bit) to (end frame, end bit),
/// inclusive. 6 bytes.
struct TCrcZone {
  static constexpr std::size_t kSize = 6;
  std::uint8_t StartFrame = 0;
  std::uint16_t StartBit = 0;
  std::uint8_t EndFrame = 0;
  std::uint16_t EndBit = 0;

  void Read(base::ByteReader& in);
  void Write(base::ByteWriter& out) const;
  friend bool operator==(const TCrcZone&, const TCrcZone&) = default;
};

/// One checksum: where its value sits, the bits it covers, how they combine.
/// 25 bytes, packed.
struct TCrcItem {
  static constexpr std::size_t kSize = 25;
  std::uint8_t TargetFrame = 0;
  std::uint16_t TargetBit = 0;
  std::uint8_t TargetWidth = 8;
  std::uint8_t ZoneCount = 0;
  std::array<TCrcZone, 2> Zones{};
  std::uint16_t AuxConst = 0;  ///< reserved: shown by the summary, used by no calculation
  std::uint8_t AuxOp = 0;
  std::uint8_t Kind = 0;  ///< checksum kind 0..10
  std::uint8_t OperandWidth = 8;
  std::uint16_t Const = 0;   ///< constant of the final operation; 0 = none
  std::uint8_t ConstOp = 0;  ///< 0..6: + - xor * / and or

  void Read(base::ByteReader& in);
  void Write(base::ByteWriter& out) const;
  friend bool operator==(const TCrcItem&, const TCrcItem&) = default;
};

/// The checksum block of one format slot: 102 bytes.
struct TCrcBlock {
  static constexpr std::size_t kSize = 102;
  std::uint8_t HasChecksum = 0;
  std::uint8_t Count = 1;
  std::array<TCrcItem, 4> Items{};

  void Read(base::ByteReader& in);
  void Write(base::ByteWriter& out) const;
  friend bool operator==(const TCrcBlock&, const TCrcBlock&) = default;
};

}  // namespace klimavo::ir
