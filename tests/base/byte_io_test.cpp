#include "base/byte_io.h"

#include <gtest/gtest.h>

namespace klimavo::base {
namespace {

TEST(ByteReader, ReadsLittleEndianAndFailsPastTheEnd) {
  const Bytes data{0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xFF};
  ByteReader in(data);
  EXPECT_EQ(in.u16(), 0x1234);
  EXPECT_EQ(in.u32(), 0x12345678u);
  EXPECT_TRUE(in.ok());
  EXPECT_EQ(in.u16(), 0);  // only one byte left
  EXPECT_FALSE(in.ok());
  EXPECT_EQ(in.position(), 6u);  // a failed read consumes nothing
}

TEST(ByteWriter, WritesLittleEndianAndPatchesLengths) {
  ByteWriter out;
  out.u64(0);
  out.u16(0xBEEF);
  out.patch_u64(0, 10);
  EXPECT_EQ(out.data(), (Bytes{10, 0, 0, 0, 0, 0, 0, 0, 0xEF, 0xBE}));
}

TEST(ByteWriter, ARegionWriterFillsItsRegionAndRefusesWhatPassesItsEnd) {
  Bytes region(16, 0xAA);
  ByteWriter out(std::span<std::uint8_t>(region.data() + 1, 13));
  out.u8(1);
  out.u16(0x0302);
  out.u32(0x07060504);
  out.zeros(2);
  out.bytes(Bytes{9, 10});
  EXPECT_EQ(out.size(), 11u);
  EXPECT_FALSE(out.overflowed());
  out.u32(0xFFFFFFFF);  // three bytes left: nothing written
  EXPECT_TRUE(out.overflowed());
  out.u16(0x0D0C);  // still fits
  EXPECT_EQ(out.size(), 13u);
  EXPECT_EQ(region, (Bytes{0xAA, 1, 2, 3, 4, 5, 6, 7, 0, 0, 9, 10, 0x0C, 0x0D, 0xAA, 0xAA}));
}

}  // namespace
}  // namespace klimavo::base
