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

}  // namespace
}  // namespace klimavo::base
