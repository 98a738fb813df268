#include "ir/checksum.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "base/gbk.h"
#include "checksum_item_builder.h"
#include "ir/known_format.h"
#include "ir/protocol.h"

namespace klimavo::ir {
namespace {

using testing::CrcItem;
using testing::Zone;

// Code bits from a text of "0"/"1" (blanks are ignored, for readability).
TSSByteArray Bits(std::string_view text) {
  TSSByteArray bits;
  for (char c : text) {
    if (c == '0' || c == '1') bits.push_back(static_cast<std::uint8_t>(c - '0'));
  }
  return bits;
}

TSSByteArray BitsOfBytes(std::string_view protocol, const TSSByteArray& bytes, bool lsb_first) {
  TSSByteArray bits;
  EXPECT_TRUE(ExpandCodeBytes(bytes, ParseProtocol(protocol).Elements, lsb_first, bits));
  return bits;
}

struct CalculateCase {
  const char* what;
  const char* protocol;
  const char* bits;
  bool lsb_first;
  TCrcItem item;
  std::int32_t expected;
};

class CrcCalculateTable : public ::testing::TestWithParam<CalculateCase> {};

TEST_P(CrcCalculateTable, ComputesTheItem) {
  const CalculateCase& c = GetParam();
  EXPECT_EQ(CrcCalculate(Bits(c.bits), c.item, ParseProtocol(c.protocol).Elements, c.lsb_first), c.expected)
      << c.what;
}

// Bytes of the cases, LSB-first: 0x37 = 11101100, 0xFF = 11111111, 0xA4 = 00100101.
INSTANTIATE_TEST_SUITE_P(
    Kinds, CrcCalculateTable,
    ::testing::Values(
        CalculateCase{"12 bits, width 8: one byte and a 4-bit operand", "[12]", "10000000 1011", true,
                      CrcItem(0, {Zone(0, 0, 11)}), 1 + 13},
        CalculateCase{"the 4-bit operand read MSB-first", "[12]", "10000000 1011", false,
                      CrcItem(0, {Zone(0, 0, 11)}), 128 + 11},
        CalculateCase{"sum cut to a 4-bit target", "[16]", "11111111 11111111", true,
                      CrcItem(0, {Zone(0, 0, 15)}).TargetWidth(4), 0xE},
        CalculateCase{"inverted sum of $37", "[8]", "11101100", true, CrcItem(1, {Zone(0, 0, 7)}), 0xC8},
        CalculateCase{"inverted sum of $37, then + 2", "[8]", "11101100", true,
                      CrcItem(1, {Zone(0, 0, 7)}).Constant(2, 0), 0xCA},
        CalculateCase{"count of ones ignores the operand width", "[12]", "10110000 0111", true,
                      CrcItem(2, {Zone(0, 0, 11)}), 6},
        CalculateCase{"inverted count of ones", "[4]", "1011", true, CrcItem(3, {Zone(0, 0, 3)}), 0xFC},
        CalculateCase{"count of zeros over a padded segment counts real bits only", "[12]", "10110000 0111",
                      true, CrcItem(4, {Zone(0, 0, 11)}), 6},
        CalculateCase{"inverted count of zeros", "[4]", "1011", true, CrcItem(5, {Zone(0, 0, 3)}), 0xFE},
        CalculateCase{"xor of operands", "[16]", "11101100 00100101", true, CrcItem(6, {Zone(0, 0, 15)}),
                      0x37 ^ 0xA4},
        CalculateCase{"inverted xor", "[16]", "11101100 00100101", true, CrcItem(10, {Zone(0, 0, 15)}),
                      (~(0x37 ^ 0xA4)) & 0xFF},
        CalculateCase{"nibble exchange of the sum $1A3", "[16]", "11111111 00100101", true,
                      CrcItem(7, {Zone(0, 0, 15)}), 0x4A},
        CalculateCase{"shifted sum: a leading 0, bit 15 falls away", "[16]", "10000001 10000001", false,
                      CrcItem(8, {Zone(0, 0, 15)}).TargetWidth(16), 0x40 + 0xC0},
        CalculateCase{"width 4 cuts nibbles", "[8]", "1011 0001", false,
                      CrcItem(0, {Zone(0, 0, 7)}).Operands(4), 0xB + 0x1},
        CalculateCase{"end before start contributes nothing", "[16]", "11111111 11111111", true,
                      CrcItem(0, {Zone(0, 9, 3)}), 0},
        CalculateCase{"inverted kinds over nothing give all ones", "[16]", "11111111 11111111", true,
                      CrcItem(1, {Zone(0, 9, 3)}), 0xFF},
        CalculateCase{"an end bit beyond the frame reads the next frame", "[8]<0>[8]", "10000000 01000000",
                      true, CrcItem(0, {Zone(0, 0, 15)}), 1 + 2},
        CalculateCase{"a zone over two frames: start bit in the first, end bit in the last", "[8]<0>[8]",
                      "10001111 11110001", true, CrcItem(0, {TCrcZone{0, 4, 1, 3}}).Operands(4), 15 + 15},
        CalculateCase{"a zone over two frames, the full frame in between", "[8]<0>[4]<0>[8]",
                      "00001111 1000 11110000", true, CrcItem(0, {TCrcZone{0, 4, 2, 3}}).Operands(4),
                      15 + 1 + 15},
        CalculateCase{"a zone past the end drops its short last piece", "[16]", "10000000 111", true,
                      CrcItem(0, {Zone(0, 0, 15)}), 1},
        CalculateCase{"count kinds still count the bits before the end", "[16]", "10000000 111", true,
                      CrcItem(2, {Zone(0, 0, 15)}), 4},
        CalculateCase{"two zones feed one value", "[8]<0>[8]", "10000000 01000000", true,
                      CrcItem(0, {Zone(0, 0, 7), Zone(1, 0, 7)}), 3},
        CalculateCase{"zone count 0 reads no zone", "[8]", "10000000", true,
                      CrcItem(0, {Zone(0, 0, 7), Zone(0, 0, 7)}).ZoneCount(0), 0},
        CalculateCase{"a zone count above 2 reads two zones", "[8]<0>[8]", "10000000 01000000", true,
                      CrcItem(0, {Zone(0, 0, 7), Zone(1, 0, 7)}).ZoneCount(7), 3},
        CalculateCase{"a start frame after the end frame reads nothing", "[8]<0>[8]", "10000000 01000000",
                      true, CrcItem(0, {TCrcZone{1, 0, 0, 7}}), 0},
        CalculateCase{"a constant of 0 with 'and' leaves the value", "[8]", "11101100", true,
                      CrcItem(0, {Zone(0, 0, 7)}).Constant(0, 5), 0x37},
        CalculateCase{"target width 0 gives 0", "[8]", "11101100", true,
                      CrcItem(0, {Zone(0, 0, 7)}).TargetWidth(0), 0},
        CalculateCase{"target width 32 keeps the whole value", "[8]", "11101100", true,
                      CrcItem(1, {Zone(0, 0, 7)}).TargetWidth(32), static_cast<std::int32_t>(~0x37u)},
        CalculateCase{"constant before the nibble exchange", "[8]", "11101100", true,
                      CrcItem(7, {Zone(0, 0, 7)}).Constant(1, 0), 0x83},
        CalculateCase{"kind above 10 is refused", "[8]", "11101100", true, CrcItem(11, {Zone(0, 0, 7)}), -1},
        CalculateCase{"operand width 0 cannot cut operands", "[8]", "11101100", true,
                      CrcItem(0, {Zone(0, 0, 7)}).Operands(0), -1},
        CalculateCase{"operand width 0 does not matter to counting", "[8]", "11101100", true,
                      CrcItem(2, {Zone(0, 0, 7)}).Operands(0), 5}));

TEST(CrcCalculate, SumsByteOperandsOfCodeBytes) {
  const TSSByteArray bits = BitsOfBytes("[32]", {0x01, 0x02, 0x03, 0x04}, true);
  EXPECT_EQ(CrcCalculate(bits, CrcItem(0, {Zone(0, 0, 31)}), ParseProtocol("[32]").Elements, true), 10);
}

TEST(CrcCalculate, NibbleSumTakesLowNibblesOfTheFirstFourOperands) {
  const auto elements = ParseProtocol("[40]").Elements;
  const TSSByteArray bits = BitsOfBytes("[40]", {0x12, 0x34, 0x56, 0x78, 0x9A}, false);
  EXPECT_EQ(CrcCalculate(bits, CrcItem(9, {Zone(0, 0, 39)}), elements, false), 0x1D);
  EXPECT_EQ(CrcCalculate(bits, CrcItem(9, {Zone(0, 0, 39)}).TargetWidth(4), elements, false), 0xD);
  // The operand counter runs across zones: the fifth operand is in zone 2.
  TCrcItem split = CrcItem(9, {Zone(0, 0, 31), Zone(0, 32, 39)});
  EXPECT_EQ(CrcCalculate(bits, split, elements, false), 0x1D);
}

// The nibble checksum of a real remote: frame 0 holds bytes 0..3 (then three
// fixed bits), frame 1 bytes 4..7, and the upper nibble of byte 7 is the low
// nibbles of bytes 0..3 plus the upper nibbles of bytes 4..6, plus 10.
TEST(CrcCalculate, RealCapturesCarryTheirNibbleChecksum) {
  const std::string corpus = KLIMAVO_CORPUS_FILE;
  std::ifstream in(corpus);
  TIRGsPara params;
  params.LogicCount = 2;
  params.Logic[0] = {650, -550, kUnusedDuration, kUnusedDuration};
  params.Logic[1] = {650, -1650, kUnusedDuration, kUnusedDuration};
  params.SplitCount = 2;
  params.Split[0] = {9000, -4500};
  params.Split[1] = {650, -20000};
  const auto elements = ParseProtocol("<0>[35]<1>[32]<1>").Elements;
  TCrcItem item = CrcItem(9, {Zone(0, 0, 31), Zone(1, 0, 23)}).TargetWidth(4).Constant(10, 0);
  item.TargetFrame = 1;
  item.TargetBit = 28;
  int checked = 0;
  for (std::string line; std::getline(in, line);) {
    const auto capture = nlohmann::json::parse(line);
    if (capture["source"] != "ACs/GREE/Gree_airco.ir") continue;
    auto durations = capture["durations_us"].get<TIRIntegerArr>();
    durations.push_back(-20000);  // the gap after the final mark
    TSSByteArray bits;
    TStrProt_Listbase read;
    ASSERT_EQ(MatchCapture(durations, KnownFormat{params, 0.21}, bits, read), 67) << capture["name"];
    const std::int32_t stored = CrcReadTarget(bits, item, elements, true);
    EXPECT_GE(stored, 0);
    EXPECT_EQ(CrcCalculate(bits, item, elements, true), stored) << capture["name"];
    ++checked;
  }
  EXPECT_EQ(checked, 6);
}

TEST(CrcReadTarget, ReadsTheTargetByTheBitOrder) {
  const auto elements = ParseProtocol("<0>[8]<1>[8]").Elements;
  const TSSByteArray bits = Bits("00000000 1101 0000");
  TCrcItem item;
  item.TargetFrame = 1;
  item.TargetBit = 0;
  item.TargetWidth = 4;
  EXPECT_EQ(CrcReadTarget(bits, item, elements, true), 0xB);
  EXPECT_EQ(CrcReadTarget(bits, item, elements, false), 0xD);
  item.TargetWidth = 0;
  EXPECT_EQ(CrcReadTarget(bits, item, elements, true), 0);
  item.TargetWidth = 8;
  item.TargetBit = 1;  // one bit past the end
  EXPECT_EQ(CrcReadTarget(bits, item, elements, true), -1);
  item.TargetFrame = 5;  // no such frame: past the end
  item.TargetBit = 0;
  item.TargetWidth = 1;
  EXPECT_EQ(CrcReadTarget(bits, item, elements, true), -1);
}

struct FieldCase {
  const char* what;
  int frame;
  int bit;
  int count;
  bool lsb_first;
  std::int64_t expected;
};

TEST(GetCodeFieldValue, ReadsFieldsAndRefusesThePastTheEnd) {
  const auto elements = ParseProtocol("[4]<0>[8]").Elements;
  const TSSByteArray bits = Bits("1000 01100000");
  const FieldCase cases[] = {
      {"first frame", 0, 0, 4, true, 1},
      {"first frame MSB-first", 0, 0, 4, false, 8},
      {"second frame", 1, 1, 2, true, 3},
      {"a bit beyond the frame reads the next frame", 0, 4, 3, false, 3},
      {"count 0", 1, 99, 0, true, 0},
      {"negative count", 0, 0, -3, true, 0},
      {"the last bit", 1, 7, 1, true, 0},
      {"past the end", 1, 7, 2, true, -1},
      {"negative frame", -1, 0, 1, true, -1},
      {"before the start", 0, -1, 2, true, -1},
  };
  for (const FieldCase& c : cases) {
    EXPECT_EQ(GetCodeFieldValue(bits, elements, c.frame, c.bit, c.count, c.lsb_first), c.expected) << c.what;
  }
}

TEST(GetCodeFieldValueOfBytes, ReadsMissingBitsAsZero) {
  const auto elements = ParseProtocol("[8]<0>[16]").Elements;
  const TSSByteArray complete{0x81, 0x02, 0x40};
  EXPECT_EQ(GetCodeFieldValueOfBytes(complete, elements, 0, 0, 8, true), 0x81);
  EXPECT_EQ(GetCodeFieldValueOfBytes(complete, elements, 1, 0, 16, true), 0x4002);
  EXPECT_EQ(GetCodeFieldValueOfBytes(complete, elements, 1, 0, 16, false), 0x0240);
  EXPECT_EQ(GetCodeFieldValueOfBytes(complete, elements, 1, 8, 9, true),
            -1);  // a complete code ends at its bits

  const TSSByteArray short_code{0x81, 0x02};  // the third byte is missing
  EXPECT_EQ(GetCodeFieldValueOfBytes(short_code, elements, 1, 0, 16, true), 0x0002);
  EXPECT_EQ(GetCodeFieldValueOfBytes(short_code, elements, 1, 100, 8, true), 0);
  EXPECT_EQ(GetCodeFieldValueOfBytes(short_code, elements, 0, 2047, 1, true), 0);
  EXPECT_EQ(GetCodeFieldValueOfBytes(short_code, elements, 0, 2047, 2, true), -1);  // beyond the 2048 bits
}

TEST(ExpandCodeBytes, TakesTheLowBitsOfAPartialByte) {
  TSSByteArray bits;
  ASSERT_TRUE(ExpandCodeBytes(TSSByteArray{0xF1, 0x06}, ParseProtocol("[11]").Elements, true, bits));
  EXPECT_EQ(bits, Bits("10001111 011"));
  ASSERT_TRUE(ExpandCodeBytes(TSSByteArray{0xF1, 0x06}, ParseProtocol("[11]").Elements, false, bits));
  EXPECT_EQ(bits, Bits("11110001 110"));
  EXPECT_FALSE(ExpandCodeBytes(TSSByteArray{0xF1}, ParseProtocol("[11]").Elements, true, bits));
  EXPECT_EQ(bits.size(), kMaxCodeBits);
}

TEST(GetZoneBitText, PadsToTheOperandWidthButNotAtTheEnd) {
  const auto elements = ParseProtocol("[12]<0>[4]").Elements;
  const TSSByteArray bits = Bits("101100001111 0110");
  EXPECT_EQ(GetZoneBitText(bits, elements, 0, 0, -1, 8), "101100001111    ");
  EXPECT_EQ(GetZoneBitText(bits, elements, 0, 8, 11, 8), "1111    ");
  EXPECT_EQ(GetZoneBitText(bits, elements, 0, 0, 3, 4), "1011");
  EXPECT_EQ(GetZoneBitText(bits, elements, 1, 0, -1, 8), "0110    ");
  EXPECT_EQ(GetZoneBitText(bits, elements, 1, 1, 20, 8), "110");  // stopped at the end: not padded
  EXPECT_EQ(GetZoneBitText(bits, elements, 0, 5, 4, 8), "");
  EXPECT_EQ(GetZoneBitText(bits, elements, 3, 0, -1, 8), "");    // no such frame: length 0
  EXPECT_EQ(GetZoneBitText(bits, elements, 0, 0, 2, 0), "101");  // width 0: no padding
}

TEST(BitTextValue, ReadsByTheBitOrderAndSkipsBlanks) {
  EXPECT_EQ(BitTextValue("0011", true), 12);
  EXPECT_EQ(BitTextValue("0011", false), 3);
  EXPECT_EQ(BitTextValue("1 1  ", false), 3);
  EXPECT_EQ(BitTextValue("", true), 0);
}

TEST(ApplyConstOp, AppliesEachOperation) {
  struct Case {
    std::uint32_t value;
    std::uint8_t op;
    std::uint32_t constant;
    std::uint32_t expected;
  };
  const Case cases[] = {
      {5, 0, 3, 8},          {5, 1, 7, 0xFFFFFFFEu}, {0xF0, 2, 0xFF, 0x0F}, {0x80000001u, 3, 2, 2},
      {7, 4, 2, 4},          {5, 4, 2, 2},           {6, 4, 4, 2},          {0xFFFFFFFFu, 4, 2, 0x80000000u},
      {0xF0, 5, 0x3C, 0x30}, {0xF0, 6, 0x0F, 0xFF},  {42, 7, 1, 42},        {42, 255, 1, 42},
      {42, 4, 0, 42},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ApplyConstOp(c.value, c.op, c.constant), c.expected)
        << c.value << " op " << int{c.op} << " " << c.constant;
  }
}

TEST(ConstOps, NamesAndFirmwareCodes) {
  const char* names[] = {"+", "-", "xor", "*", "/", "and", "or"};
  const std::uint8_t outer[] = {0, 1, 5, 255, 255, 3, 4};
  for (int op = 0; op < kCrcConstOpCount; ++op) {
    EXPECT_EQ(ConstOpName(op), names[op]);
    EXPECT_EQ(MapConstOpToOuter(static_cast<std::uint8_t>(op)), outer[op]);
  }
  EXPECT_EQ(ConstOpName(7), "");
  EXPECT_EQ(ConstOpName(-1), "");
  EXPECT_EQ(MapConstOpToOuter(7), kNoFirmwareOp);
}

TEST(FirmwareOps, NamesAreGbkAndEmptyOutsideTheTables) {
  const char* inner[] = {"加", "与", "或", "异或", "1个数", "奇偶校验"};
  const char* outer[] = {"加", "减", "被减", "与", "或", "异或", "保存当前", "高低字节对调"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(CrcInnerOpName(i), base::Utf8ToGbk(inner[i]).value()) << i;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(CrcOuterOpName(i), base::Utf8ToGbk(outer[i]).value()) << i;
  EXPECT_EQ(CrcInnerOpName(6), "");
  EXPECT_EQ(CrcInnerOpName(-1), "");
  EXPECT_EQ(CrcOuterOpName(8), "");
}

TEST(CrcKinds, RegistryHoldsElevenKindsInCodeOrder) {
  const char* cn[] = {"求和", "求和取反",       "1的个数",      "1的个数取反", "0的个数", "0的个数取反",
                      "异或", "求和后高低交换", "首加一位求和", "GREE校验",    "异或取反"};
  const char* en[] = {"CheckSum",
                      "Flips of CheckSum",
                      "Count of one",
                      "Flips of Count of one",
                      "Count of zero",
                      "Flips of Count of zero",
                      "xor",
                      "Exchange of CheckSum",
                      "Append one bit,CheckSum",
                      "GREE's Kinds",
                      "Flips of xor"};
  ASSERT_EQ(CrcKinds().size(), static_cast<std::size_t>(kCrcKindCount));
  for (int code = 0; code < kCrcKindCount; ++code) {
    const CrcKindInfo* info = FindCrcKind(code);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(static_cast<int>(info->kind), code);
    EXPECT_EQ(info->name_cn, base::Utf8ToGbk(cn[code]).value()) << code;
    EXPECT_STREQ(info->name_en, en[code]);
    EXPECT_EQ(info->complement, code == 1 || code == 3 || code == 5 || code == 10) << code;
  }
  EXPECT_EQ(FindCrcKind(11), nullptr);
  EXPECT_EQ(FindCrcKind(-1), nullptr);
}

}  // namespace
}  // namespace klimavo::ir
