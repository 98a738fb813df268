#include "analysis/checksum_discovery/checksum_operands.h"

#include <gtest/gtest.h>

#include <random>

#include "ir/checksum.h"
#include "ir/protocol.h"

namespace klimavo::analysis {
namespace {

struct FormatCase {
  const char* protocol;
  bool lsb_first;
};

class OperandSumsAgainstEngine : public ::testing::TestWithParam<FormatCase> {};

// A random item whose zones lie in the frames (a zone may end before it
// starts), with any kind, operand width 4 or 8, constant and target width.
ir::TCrcItem RandomItem(const FrameLayout& layout, std::mt19937& random) {
  auto pick = [&](int below) { return static_cast<int>(random() % static_cast<unsigned>(below)); };
  ir::TCrcItem item;
  item.Kind = static_cast<std::uint8_t>(pick(ir::kCrcKindCount));
  item.OperandWidth = pick(2) == 0 ? 8 : 4;
  item.ZoneCount = static_cast<std::uint8_t>(1 + pick(2));
  for (auto& zone : item.Zones) {
    const int f1 = pick(layout.Frames());
    const int f2 = f1 + pick(layout.Frames() - f1);
    zone = {static_cast<std::uint8_t>(f1),
            static_cast<std::uint16_t>(pick(layout.length[static_cast<std::size_t>(f1)])),
            static_cast<std::uint8_t>(f2),
            static_cast<std::uint16_t>(pick(layout.length[static_cast<std::size_t>(f2)]))};
  }
  item.TargetWidth = static_cast<std::uint8_t>(1 + pick(16));
  if (pick(2) == 0) {
    item.Const = static_cast<std::uint16_t>(random());
    item.ConstOp = static_cast<std::uint8_t>(pick(ir::kCrcConstOpCount));
  }
  return item;
}

TEST_P(OperandSumsAgainstEngine, EvaluateItemComputesWhatTheEngineDoes) {
  const auto elements = ir::ParseProtocol(GetParam().protocol).Elements;
  const FrameLayout layout(elements);
  std::mt19937 random(7);
  for (int n = 0; n < 3000; ++n) {
    ir::TSSByteArray bits(static_cast<std::size_t>(layout.total));
    for (auto& b : bits) b = static_cast<std::uint8_t>(random() & 1u);
    const ir::TCrcItem item = RandomItem(layout, random);
    ASSERT_EQ(static_cast<std::int32_t>(EvaluateItem(bits, layout, item, GetParam().lsb_first)),
              ir::CrcCalculate(bits, item, elements, GetParam().lsb_first))
        << "kind " << int(item.Kind) << " width " << int(item.OperandWidth) << " zones "
        << int(item.ZoneCount) << " const " << item.Const << " op " << int(item.ConstOp);
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, OperandSumsAgainstEngine,
                         ::testing::Values(FormatCase{"<0>[64]<1>", true}, FormatCase{"<0>[64]<1>", false},
                                           FormatCase{"<0>[35]<1>[32]<2>", true},
                                           FormatCase{"<0>[13]<1>[6]<2>[21]<1>", false},
                                           FormatCase{"[3]<0>[9]", true}));

TEST(SegmentBuilder, SumsAfterEachBitAreThoseOfTheSegmentSoFar) {
  // MSB-first bits 1000 0001 1000 0001: after 16 bits the shifted sum reads
  // "0" + bits 0..14 (0x40 + 0xC0); after 13 bits the last piece is padded, so
  // its real bits all count.
  const ir::TSSByteArray bits{1, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 1};
  SegmentBuilder builder(false);
  std::vector<OperandSums> after;
  for (std::uint8_t b : bits) {
    builder.Push(b);
    after.push_back(builder.Sums());
  }
  EXPECT_EQ(after[15].shifted[0], 0x40u + 0xC0u);
  EXPECT_EQ(after[15].sum[0], 0x81u + 0x81u);
  EXPECT_EQ(after[15].sum[1], 0x8u + 0x1u + 0x8u + 0x1u);
  EXPECT_EQ(after[12].shifted[0], 0x40u + 0x30u);  // "0" + bits 0..6, then bits 7..12 read as 6 bits
  EXPECT_EQ(after[12].ones, 3u);
  EXPECT_EQ(after[12].zeros, 10u);
  EXPECT_EQ(after[11].xr[1], 0x8u ^ 0x1u ^ 0x8u);
}

TEST(NibbleOperands, CountsOperandsAcrossAppendedRuns) {
  NibbleOperands a;
  a.count = 3;
  a.first = {0x12, 0x34, 0x56, 0};
  a.high_total = 1 + 3 + 5;
  NibbleOperands b;
  b.count = 2;
  b.first = {0x78, 0x9A, 0, 0};
  b.high_total = 7 + 9;
  a.Append(b);
  EXPECT_EQ(a.Value(0), 2u + 4u + 6u + 8u + 9u);  // the engine's own example: $12 $34 $56 $78 $9A
  EXPECT_EQ(b.Value(3), 8u + 9u);                 // after three operands only one more gives its low nibble
  EXPECT_EQ(b.Value(4), 7u + 9u);
}

}  // namespace
}  // namespace klimavo::analysis
