#include "ir/protocol.h"

#include <gtest/gtest.h>

namespace klimavo::ir {
namespace {

TStrProt_Listbase L(std::string_view text) { return ParseProtocol(text).Elements; }

struct ParseCase {
  const char* text;
  const char* printed;  // PrintElements of the parsed list
  std::int32_t repeat;
};

TEST(ParseProtocol, ReadsTheTextForm) {
  const ParseCase cases[] = {
      {"<0>[32]<1>", "<0>[32]<1>", 1},
      {" ( <0> [16] <1> ) * 3 ", "<0>[16]<1>", 3},
      {"(<0>[16]<1>", "", 1},              // no closing parenthesis
      {"<0>[16]<1>)*3", "<0>[16]<1>", 1},  // trailing characters are skipped
      {"(<0>[16]<1>)*x", "", 1},           // unreadable repeat count
      {"(<0>[16])junk", "<0>[16]", 1},     // a part after ")" without "*" is ignored
      {"<0>[8][0]", "", 1},                // a zero group empties the whole list
      {"<0>[]", "", 1},
      {"<0>[4*x]", "", 1},
      {"<0>[2*3*4]", "", 1},  // three factors
      {"<a>[8]", "[8]", 1},
      {"<0>[8", "<0>", 1},
      {"<0", "", 1},
      {"<0>[8*4+3]<1>", "<0>[35]<1>", 1},
      {"[ 8 + + 2 ]", "[10]", 1},  // empty terms vanish
      {"x<2>y[5]z", "<2>[5]", 1},
      {"[65535]", "[65535]", 1},
      {"[65536]", "", 1},  // a group a 16-bit count cannot hold is refused
      {"[-3]", "", 1},
      {"<70000>[8]", "[8]", 1},  // a split number beyond 16 bits does not read
      {"<-1>[8]", "[8]", 1},
  };
  for (const ParseCase& c : cases) {
    const TStrProt_Stru parsed = ParseProtocol(c.text);
    EXPECT_EQ(PrintElements(parsed.Elements), c.printed) << c.text;
    EXPECT_EQ(parsed.Repeat, c.repeat) << c.text;
  }
}

TEST(ParseProtocol, EmptyTextKeepsTheRepeatOfTheTarget) {
  TStrProt_Stru into;
  into.Repeat = 5;
  into.Elements = L("<0>");
  ParseProtocol("   ", into);
  EXPECT_TRUE(into.Elements.empty());
  EXPECT_EQ(into.Repeat, 5);
  ParseProtocol("<1>", into);
  EXPECT_EQ(into.Repeat, 1);
}

TEST(ParseProtocolExpanded, ProductsBecomeSeparateGroups) {
  const ParseCase cases[] = {
      {"<0>[8*4+3]<1>", "<0>[8][8][8][8][3]<1>", 1},
      {"([2*3])*2", "[2][2][2]", 2},
      {"[0]", "[0]", 1},  // the zero total is not checked here
      {"[4*0]", "", 1},
      {"[4*x]", "", 1},
      {"[70000*1]", "", 1},
  };
  for (const ParseCase& c : cases) {
    const TStrProt_Stru parsed = ParseProtocolExpanded(c.text);
    EXPECT_EQ(PrintElements(parsed.Elements), c.printed) << c.text;
    EXPECT_EQ(parsed.Repeat, c.repeat) << c.text;
  }
}

TEST(ParseProtocol, StoresAtMost512Elements) {
  std::string text;
  for (int i = 0; i < 600; ++i) text += "<1>[8]";
  EXPECT_EQ(ParseProtocol(text).Elements.size(), kMaxProtocolElements);
  EXPECT_EQ(ParseProtocolExpanded("[1*1000]").Elements.size(), kMaxProtocolElements);
  text += "[0]";  // an invalid group after the cap still empties the list
  EXPECT_TRUE(ParseProtocol(text).Elements.empty());
}

TEST(PrintProtocol, MergesAndWrapsRepeats) {
  EXPECT_EQ(PrintProtocol(ParseProtocol("[8][8]<0>")), "[16]<0>");
  EXPECT_EQ(PrintElements(L("[8][8]<0>")), "[8][8]<0>");
  EXPECT_EQ(PrintProtocol(ParseProtocol(" ( <0> [16] <1> ) * 3 ")), "(<0>[16]<1>)*3");
  EXPECT_EQ(PrintProtocol(ParseProtocol("(<0>[16])*1")), "<0>[16]");
  EXPECT_EQ(PrintProtocol(TStrProt_Stru{}), "");
}

TEST(MergeElements, JoinsAdjacentGroupsOnly) {
  EXPECT_EQ(PrintElements(MergeElements(L("[1][2]<0>[3][4][5]<1><1>[6]"))), "[3]<0>[12]<1><1>[6]");
  EXPECT_EQ(PrintElements(MergeElements(L("<3>"))), "<3>");
  EXPECT_TRUE(MergeElements({}).empty());
  // Bits are never lost to a 16-bit overflow: such groups stay apart.
  EXPECT_EQ(PrintElements(MergeElements(L("[40000][40000]"))), "[40000][40000]");
}

TEST(SameProtocol, ComparesMergedListsAndRepeat) {
  EXPECT_TRUE(SameProtocol(ParseProtocol("[8][8]<0>"), ParseProtocol("[16]<0>")));
  EXPECT_FALSE(SameProtocol(ParseProtocol("(<0>[8])*2"), ParseProtocol("<0>[8]")));
  EXPECT_FALSE(SameProtocol(ParseProtocol("<0>[8]"), ParseProtocol("<1>[8]")));
  EXPECT_FALSE(SameProtocol(ParseProtocol("<0>[8]"), ParseProtocol("<0>[8]<0>")));
  EXPECT_TRUE(
      SameElement(TStrProtItem::Data(8), TStrProtItem{1, 7, 8}));  // the reserved byte is not compared
}

TEST(ElementLists, CountOffsetsAndRuns) {
  const TStrProt_Listbase e = L("[12]<1>[4]");
  EXPECT_EQ(TotalBytes(e), 3);
  EXPECT_EQ(DataRunCount(e), 2);
  EXPECT_EQ(BitOffsetOfRun(e, 1, 0), 12);
  EXPECT_EQ(BitOffsetOfRun(e, 1, 3), 15);
  EXPECT_EQ(BitsInRun(e, 1), 4);
  EXPECT_EQ(BitsInRun(e, 2), 0);
  EXPECT_EQ(TotalBits(e), 16);

  const TStrProt_Listbase unmerged = L("[4][4]<0>[3]");
  EXPECT_EQ(TotalBytes(unmerged), 2);             // merged first: 8 bits and 3 bits
  EXPECT_EQ(ByteOffsetOfRun(unmerged, 1, 9), 3);  // per element: 1 + 1, plus 9 div 8
  EXPECT_EQ(BitsInRun(unmerged, 0), 8);
  TStrProt_Listbase dropped = unmerged;
  DropSplitElements(dropped);
  EXPECT_EQ(PrintElements(dropped), "[4][4][3]");
}

TEST(BitsToBytes, PacksEachGroupInEitherOrder) {
  const TSSByteArray bits{1, 0, 0, 0, 0, 0, 0, 0, 1, 1};
  TSSByteArray lsb;
  TSSByteArray msb;
  ASSERT_TRUE(BitsToBytes(L("[10]"), bits, true, lsb));
  ASSERT_TRUE(BitsToBytes(L("[10]"), bits, false, msb));
  EXPECT_EQ(lsb, (TSSByteArray{0x01, 0x03}));
  EXPECT_EQ(msb, (TSSByteArray{0x80, 0x03}));
  // Groups pack separately; split elements produce nothing; only the value 1 counts.
  TSSByteArray out;
  ASSERT_TRUE(BitsToBytes(L("<0>[3]<1>[2]"), TSSByteArray{1, 0, 2, 0, 1}, false, out));
  EXPECT_EQ(out, (TSSByteArray{0x04, 0x01}));
}

// Whole bytes are packed eight bits at once: any byte value but 1 is a zero,
// including values whose low or high bit is set.
TEST(BitsToBytes, WholeBytesCountOnlyTheValueOne) {
  struct Case {
    const char* groups;
    TSSByteArray bits;
    TSSByteArray lsb;
    TSSByteArray msb;
  };
  const Case cases[] = {
      {"[8]", {2, 1, 0xFF, 1, 0x81, 0, 1, 3}, {0x4A}, {0x52}},
      {"[8]", {1, 0xFE, 0x80, 0x7F, 0, 0x10, 1, 2}, {0x41}, {0x82}},
      {"[16]", {1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 1}, {0xFF, 0x80}, {0xFF, 0x01}},
  };
  for (const Case& c : cases) {
    const TStrProt_Listbase groups = L(c.groups);
    TSSByteArray lsb;
    TSSByteArray msb;
    ASSERT_TRUE(BitsToBytes(groups, c.bits, true, lsb));
    ASSERT_TRUE(BitsToBytes(groups, c.bits, false, msb));
    EXPECT_EQ(lsb, c.lsb);
    EXPECT_EQ(msb, c.msb);
  }
}

TEST(BitsToBytes, FailsWithoutTouchingTheOutput) {
  TSSByteArray out{0xEE};
  EXPECT_FALSE(BitsToBytes(L("[8]"), TSSByteArray{}, true, out));
  EXPECT_FALSE(BitsToBytes({}, TSSByteArray{1}, true, out));
  EXPECT_FALSE(BitsToBytes(L("<0><1>"), TSSByteArray{1}, true, out));      // no byte produced
  EXPECT_FALSE(BitsToBytes(L("[16]"), TSSByteArray{1, 0, 1}, true, out));  // too few bits for the groups
  EXPECT_EQ(out, (TSSByteArray{0xEE}));
}

TEST(BytesToBits, UnpacksAndFailsWhenBytesRunOut) {
  TSSByteArray bits;
  ASSERT_TRUE(BytesToBits(L("[2]"), TSSByteArray{0x03}, true, bits));
  EXPECT_EQ(bits, (TSSByteArray{1, 1}));
  ASSERT_TRUE(BytesToBits(L("[2]"), TSSByteArray{0x03}, false, bits));
  EXPECT_EQ(bits, (TSSByteArray{1, 1}));
  EXPECT_FALSE(BytesToBits(L("[16]"), TSSByteArray{0x03}, true, bits));
  ASSERT_TRUE(BytesToBits(L("[10]"), TSSByteArray{0x80, 0x02}, false, bits));
  EXPECT_EQ(bits, (TSSByteArray{1, 0, 0, 0, 0, 0, 0, 0, 1, 0}));
  // At most 2048 bits come out.
  ASSERT_TRUE(BytesToBits(L("[4000]"), TSSByteArray(500, 0xFF), true, bits));
  EXPECT_EQ(bits.size(), kMaxUnpackedBits);
}

TEST(BytesToBitsFixed, StopsAtTheHighestIndex) {
  std::array<std::uint8_t, 64> code{};
  code[0] = 0xA5;
  code[63] = 0x01;
  TSSByteArray bits;
  EXPECT_TRUE(BytesToBitsFixed(L("[512]"), code, 63, true, bits));
  EXPECT_EQ(bits.size(), 512u);
  EXPECT_EQ(bits[504], 1);
  EXPECT_FALSE(BytesToBitsFixed(L("[513]"), code, 63, true, bits));
  EXPECT_FALSE(BytesToBitsFixed(L("[16]"), code, 0, true, bits));
  EXPECT_FALSE(BytesToBitsFixed(L("[8]"), code, -1, true, bits));
}

TEST(BitsAndBytes, RoundTripInBothOrders) {
  const TStrProt_Listbase e = L("<0>[13]<1>[8][3]<2>[1]");
  TSSByteArray bits;
  for (int i = 0; i < 25; ++i) bits.push_back(static_cast<std::uint8_t>((i * 7 + i / 3) % 2));
  for (bool lsb : {true, false}) {
    TSSByteArray bytes;
    TSSByteArray back;
    ASSERT_TRUE(BitsToBytes(e, bits, lsb, bytes));
    EXPECT_EQ(bytes.size(), 5u);
    ASSERT_TRUE(BytesToBits(e, bytes, lsb, back));
    EXPECT_EQ(back, bits);
  }
}

}  // namespace
}  // namespace klimavo::ir
