#include "ir/ir_text.h"

#include <gtest/gtest.h>

namespace klimavo::ir {
namespace {

struct IntArrCase {
  const char* text;
  char separator;
  bool ok;
  TIRIntegerArr values;  // checked only when ok
};

TEST(TryStrToIntArr, CutsConvertsAndReportsFailure) {
  const IntArrCase cases[] = {
      {"560,-560, x ,-x", ',', true, {560, -560, kUnusedDuration, -kUnusedDuration}},
      {"X,-X", ',', true, {kUnusedDuration, -kUnusedDuration}},
      {"1,2,", ',', true, {1, 2}},
      {" 7 ", ',', true, {7}},
      {"+5;-6", ';', true, {5, -6}},
      {",1", ',', false, {}},  // the empty first piece leaves ",1" as the remainder
      {"1,,2", ',', false, {}},
      {"1,a", ',', false, {}},
      {"   ", ',', false, {}},
      {"99999999999", ',', false, {}},  // beyond 32 bits
      {"1 2", ',', false, {}},
  };
  for (const IntArrCase& c : cases) {
    TIRIntegerArr out;
    EXPECT_EQ(TryStrToIntArr(c.text, c.separator, out), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(out, c.values) << c.text;
    }
  }
}

TEST(TryStrToIntArr, BarFailsWithoutTouchingTheOutputAndEmptyTextEmptiesIt) {
  TIRIntegerArr out{9, 9};
  EXPECT_FALSE(TryStrToIntArr("1|2", ',', out));
  EXPECT_EQ(out, (TIRIntegerArr{9, 9}));
  EXPECT_FALSE(TryStrToIntArr(" ", ',', out));
  EXPECT_TRUE(out.empty());
}

TEST(StrToIntArr, AnyFailureGivesTheEmptyArray) {
  EXPECT_TRUE(StrToIntArr("1,a", ',').empty());
  EXPECT_TRUE(StrToIntArr("", ',').empty());
  EXPECT_EQ(StrToIntArr("1|2", '|'), (TIRIntegerArr{1, 2}));  // no bar check here
  EXPECT_EQ(StrToIntArr("3, x", ','), (TIRIntegerArr{3, kUnusedDuration}));
}

TEST(TryStrToRange, OrdersTheBoundsAndRejectsThreeItems) {
  struct Case {
    const char* text;
    bool ok;
    std::int32_t low;
    std::int32_t high;
  };
  const Case cases[] = {{"7-3", true, 3, 7},    {"5", true, 5, 5},    {"-5", true, -5, -5},
                        {"1-2-3", false, 0, 0}, {"", false, 0, 0},    {"2-9", true, 2, 9},
                        {"5--3", true, -3, 5},  {"a-1", false, 0, 0}, {"1|2", false, 0, 0}};
  for (const Case& c : cases) {
    std::int32_t low = 0;
    std::int32_t high = 0;
    EXPECT_EQ(TryStrToRange(c.text, low, high), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(low, c.low) << c.text;
      EXPECT_EQ(high, c.high) << c.text;
    }
  }
}

TEST(SplitStr, TrimsItemsAndDropsEmptyOnes) {
  EXPECT_EQ(SplitStr(" a | | b ", '|'), (TStrArray{"a", "b"}));
  EXPECT_TRUE(SplitStr("", ',').empty());
  EXPECT_EQ(SplitStr("x,", ','), (TStrArray{"x"}));
  EXPECT_EQ(SplitStr("8*4", '*'), (TStrArray{"8", "4"}));
}

TEST(RadixReaders, SumDigitsWhateverTheirValue) {
  EXPECT_EQ(RadixStrToInt("1f", 16), 31);
  EXPECT_EQ(RadixStrToIntRev("F1", 16), 31);
  EXPECT_EQ(RadixStrToInt("1G", 16), 32);  // G counts 16 even in radix 16
  EXPECT_EQ(RadixStrToInt("1-", 10), 9);   // outside the alphabet: -1
  EXPECT_EQ(RadixStrToInt("", 16), 0);
  EXPECT_EQ(RadixStrToInt("zz", 36), 35 * 36 + 35);
  EXPECT_EQ(RadixStrToInt("101", 2), 5);
  EXPECT_EQ(BinStrToInt("1101"), 13);
  EXPECT_EQ(BinStrToInt("1a01"), 1);
  EXPECT_EQ(BinStrToInt("12"), 4);  // a "2" adds twice its weight
  EXPECT_EQ(BinStrToInt(""), 0);
}

TEST(RadixReaders, LongTextsWrapInsteadOfOverflowing) {
  const std::string long_text(300, 'Z');
  // Any value is acceptable; the point is a defined result (no overflow fault).
  EXPECT_EQ(RadixStrToInt(long_text, 36), RadixStrToInt(long_text, 36));
  EXPECT_EQ(BinStrToInt(std::string(100, '1')), -1);  // every bit of 64 set, the rest wrapped away
}

TEST(RadixWriters, KeepTheLowDigitsAndPad) {
  struct Case {
    std::uint8_t radix;
    int width;
    std::uint32_t value;
    const char* forward;
    const char* reversed;
  };
  const Case cases[] = {
      {16, 2, 5, "05", "50"},
      {16, 2, 427, "AB", "BA"},
      {2, 0, 5, "101", "101"},
      {16, 0, 0, "0", "0"},
      {16, 4, 26, "001A", "A100"},
      {36, 0, 35, "Z", "Z"},
      {10, 0, 4294967295u, "4294967295", "5927694924"},
      {16, 3, 0x1AB0, "AB0", "0BA"},
      {1, 0, 7, "0", "0"},
      {0, 3, 7, "000", "000"},  // no positional digits: no endless loop
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IntToRadixStr(c.radix, c.width, c.value), c.forward) << int(c.radix) << "/" << c.value;
    EXPECT_EQ(IntToRadixStrRev(c.radix, c.width, c.value), c.reversed) << int(c.radix) << "/" << c.value;
  }
  EXPECT_EQ(IntToRadixStr(40, 0, 39), "?");  // a digit the alphabet lacks
}

TEST(IntToBinStr, PadsOrKeepsTheRightmostDigits) {
  EXPECT_EQ(IntToBinStr(8, 5), "00000101");
  EXPECT_EQ(IntToBinStr(2, 5), "01");
  EXPECT_EQ(IntToBinStr(0, 5), "");
  EXPECT_EQ(IntToBinStr(1, 0), "0");
  EXPECT_EQ(IntToBinStr(3, 8), "000");
}

TEST(SymbolsToHexStr, WidthFollowsTheBitsOfTheSymbols) {
  struct Case {
    int count;
    int range;
    bool even;
    std::uint32_t value;
    const char* expected;
  };
  const Case cases[] = {
      {8, 2, false, 165, "A5"},  {5, 2, false, 1, "01"},       {5, 2, true, 1, "01"},
      {4, 2, false, 1, "1"},     {4, 2, true, 1, "01"},        {3, 4, false, 0, "00"},
      {2, 8, false, 0x3F, "3F"}, {3, 16, false, 0xABC, "ABC"}, {3, 16, true, 0xABC, "0ABC"},
      {0, 2, false, 0, "0"},     {4, 17, false, 0xF, "F"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SymbolsToHexStr(c.count, c.range, c.even, c.value), c.expected) << c.count << "x" << c.range;
}

TEST(BitHelpers, MasksSetsAndTests) {
  EXPECT_EQ(LowBits(-1, 4), 15);
  EXPECT_EQ(LowBits(-1, 0), 0);
  EXPECT_EQ(LowBits(-1, 40), (std::int64_t{1} << 40) - 1);  // sign-extended first
  EXPECT_EQ(LowBits(0x1234, 8), 0x34);
  std::uint8_t byte = 0;
  SetBitOfByte(byte, 3, true);
  EXPECT_EQ(byte, 0x08);
  SetBitOfByte(byte, 8, true);
  EXPECT_EQ(byte, 0x08);
  SetBitOfByte(byte, 3, false);
  EXPECT_EQ(byte, 0x00);
  EXPECT_TRUE(VarBitSet(5, 2));
  EXPECT_FALSE(VarBitSet(5, 1));
  EXPECT_FALSE(VarBitSet(5, 64));
  EXPECT_TRUE(VarBitSet(-1, 63));
  EXPECT_TRUE(IsMultipleOf(12, 4));
  EXPECT_FALSE(IsMultipleOf(13, 4));
  EXPECT_FALSE(IsMultipleOf(13, 0));  // defined instead of a division fault
  EXPECT_TRUE(IsMultipleOf(std::numeric_limits<std::int64_t>::min(), -1));
  EXPECT_TRUE(WithinOne(5, 6));
  EXPECT_TRUE(WithinOne(5, 4));
  EXPECT_FALSE(WithinOne(5, 7));
}

TEST(TextHelpers, StripParensAndMergeSameSign) {
  EXPECT_EQ(StripParens(" (<0>[8])*2 "), "<0>[8] *2");
  EXPECT_EQ(MergeSameSign(TIRIntegerArr{5, 3, -2, -4, 6}), (TIRIntegerArr{8, -6, 6}));
  EXPECT_EQ(MergeSameSign(TIRIntegerArr{-1, -1}), (TIRIntegerArr{-2}));
  EXPECT_EQ(MergeSameSign(TIRIntegerArr{0, 3, 0, 0, -2}), (TIRIntegerArr{0, 3, 0, 0, -2}));
  TIRIntegerArr out{42};
  MergeSameSign(TIRIntegerArr{1, 2}, 0, out);
  EXPECT_EQ(out, (TIRIntegerArr{42}));  // n = 0 leaves the output as it was
  MergeSameSign(TIRIntegerArr{1, 2, -3, 4}, 3, out);
  EXPECT_EQ(out, (TIRIntegerArr{3, -3}));
}

}  // namespace
}  // namespace klimavo::ir
