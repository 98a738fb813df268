// Frame tables: duration encoding, the merging of near-equal formats, the
// structure bytes in every mode, and whole tables line for line.
#include "firmware/frame_tables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace klimavo::firmware {
namespace {

const config::TimingAdjustments kDefaultTiming{};  // LogicL and WaveL absent: spaces -40 / -60

TACTmpGs NecEntry() {
  TACTmpGs e;
  e.Carrier = 38000;
  e.LogicCodes = {{560, -560}, {560, -1690}};
  e.SplitCodes = {{9000, -4500}, {560, -20000}};
  e.FormatText = "<0>[32]<1>";
  return e;
}

store::TdiskAir NecRecord(int logic_count = 2) {
  store::TdiskAir r;
  r.Params.Carrier = 38000;
  r.Params.LogicCount = static_cast<std::uint8_t>(logic_count);
  for (int i = 0; i < logic_count; ++i)
    r.Params.Logic[static_cast<std::size_t>(i)] = {560, -560 - 100 * i, ir::kUnusedDuration,
                                                   ir::kUnusedDuration};
  r.Params.SplitCount = 2;
  r.Params.Split[0] = {9000, -4500};
  r.Params.Split[1] = {560, -20000};
  return r;
}

std::string Bytes(const EncodedDuration& e) {
  std::string s;
  for (int i = 0; i < e.count; ++i) s += (i ? " " : "") + HexByte(e.bytes[static_cast<std::size_t>(i)]);
  return s;
}

struct EncodeCase {
  std::int32_t duration;
  bool split;
  bool three;
  config::TimingAdjustments timing;
  const char* bytes;
};

TEST(EncodeDuration, BytesOfTheTwoAndThreeByteForms) {
  config::TimingAdjustments mark_plus_10;
  mark_plus_10.LogicHighComp = 10;
  const EncodeCase cases[] = {
      {560, false, false, kDefaultTiming, "30 05"},      // logic mark
      {-560, false, false, kDefaultTiming, "FF 02"},     // 520: low byte 8 -> 511
      {-1690, false, false, kDefaultTiming, "72 0C"},    // 1650
      {9000, true, false, kDefaultTiming, "28 47"},      // split mark
      {261, false, false, kDefaultTiming, "FF 01"},      // low byte 5 loses 6 -> 255
      {256, false, false, kDefaultTiming, "FF 01"},      // low byte 0 -> 255
      {264, false, false, kDefaultTiming, "FF 01"},      // low byte 8 is still moved
      {265, false, false, kDefaultTiming, "10 03"},      // low byte 9 stays, raised to $10
      {-20, false, false, kDefaultTiming, "10 00"},      // negative after adjustment -> 1 -> $10
      {0, true, false, kDefaultTiming, "10 00"},         // zero is a space
      {-4500, true, true, kDefaultTiming, "58 11 00"},   // 4440 in three bytes
      {-70000, true, true, kDefaultTiming, "34 11 02"},  // 69940 = $11134
      {70000, true, true, kDefaultTiming, "70 11 03"},   // mark: bit 0 of the high byte
      {560, false, false, mark_plus_10, "3A 05"},        // LogicH 10
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.duration);
    EXPECT_EQ(Bytes(EncodeDurationBytes(c.duration, c.split, c.three, c.timing)), c.bytes);
  }
  EXPECT_EQ(EncodeDuration(560, false, false, kDefaultTiming), " $30, $05,");
}

struct NearCase {
  std::uint16_t carrier_b;
  std::int32_t logic_b;
  bool same;
};

TEST(SameFrameFormat, CarriersAndDurations) {
  const NearCase cases[] = {
      {39500, 590, true},   // within 2000 Hz and 10 %
      {40000, 560, true},   // exactly 2000 Hz apart
      {40100, 560, false},  // carriers too far apart
      {38000, 640, false},  // 80 us and above 10 % of 640
      {38000, 605, true},   // below the absolute 50
  };
  for (const auto& c : cases) {
    TACTmpGs a = NecEntry();
    TACTmpGs b = NecEntry();
    b.Carrier = c.carrier_b;
    b.LogicCodes[0][0] = c.logic_b;
    EXPECT_EQ(SameFrameFormat(a, b), c.same) << c.carrier_b << " " << c.logic_b;
  }
}

TEST(SameFrameFormat, FlagsTextAndShape) {
  TACTmpGs a = NecEntry();
  auto differs = [&](auto change) {
    TACTmpGs b = NecEntry();
    change(b);
    return !SameFrameFormat(a, b);
  };
  EXPECT_TRUE(differs([](TACTmpGs& b) { b.FormatText = "<0>[32]<0>"; }));
  EXPECT_TRUE(differs([](TACTmpGs& b) { b.SevenBitFirst = 1; }));
  EXPECT_TRUE(differs([](TACTmpGs& b) { b.FramesShareData = 1; }));
  EXPECT_TRUE(differs([](TACTmpGs& b) { b.TripleFrames = 1; }));
  EXPECT_TRUE(differs([](TACTmpGs& b) { b.LogicCodes[1].push_back(100); }));
  EXPECT_TRUE(differs([](TACTmpGs& b) { b.SplitCodes.pop_back(); }));
  EXPECT_TRUE(differs([](TACTmpGs& b) { b.LogicCodes[0][0] = -560; }));    // opposite signs
  EXPECT_FALSE(differs([](TACTmpGs& b) { b.SplitCodes[0][0] = 10700; }));  // split tolerance 0.2
  EXPECT_TRUE(differs([](TACTmpGs& b) { b.SplitCodes[0][0] = 11500; }));
}

struct StructureCase {
  const char* name;
  const char* text;
  bool seven_bit_first;
  bool share;
  bool triple;
  bool image;
  std::vector<std::uint8_t> bytes;
  std::uint8_t width_byte;
  bool width_error;
};

TEST(FrameStructure, BytesInEveryMode) {
  const char* triple_text = "<0>[16]<1><2>[8]<1><2>[8]<1><0>[24]<1>";
  const StructureCase cases[] = {
      {"nec", "<0>[32]<1>", false, false, false, false, {0x00, 0x40, 0x41, 0x42, 0x43, 0x01}, 0, false},
      {"12 bits: 8 and 4", "[12]", false, false, false, false, {0x40, 0x81}, 3, false},
      {"seven bit first",
       "<0>[16]<1>[16]",
       true,
       false,
       false,
       false,
       {0x00, 0x80, 0x41, 0x01, 0x82, 0x43},
       6,
       false},
      {"three odd widths",
       "<0>[3]<1>[5]<1>[6]",
       false,
       false,
       false,
       false,
       {0x00, 0x80, 0x01, 0xC1, 0x01},
       2 + 8 * 4,
       true},
      {"repeat, assembler",
       "(<0>[16]<1>)*2",
       false,
       false,
       false,
       false,
       {0x00, 0x40, 0x41, 0x01, 0x00, 0x40, 0x41, 0x01},
       0,
       false},
      {"repeat, image",
       "(<0>[16]<1>)*2",
       false,
       false,
       false,
       true,
       {0x22, 0x00, 0x40, 0x41, 0x01, 0x20},
       0,
       false},
      {"frames share data",
       "<0>[16]<1>[16]<1>",
       false,
       true,
       false,
       false,
       {0x00, 0x40, 0x41, 0x01, 0x40, 0x41, 0x01},
       0,
       false},
      {"triple, assembler",
       triple_text,
       false,
       false,
       true,
       false,
       {0x00, 0x40, 0x41, 0x01, 0x00, 0x40, 0x41, 0x01, 0x00, 0x40, 0x41, 0x01, 0x00, 0x42,
        0x43, 0x44, 0x01, 0x00, 0x42, 0x43, 0x44, 0x01, 0x00, 0x42, 0x43, 0x44, 0x01},
       0,
       false},
      {"triple, image",
       triple_text,
       false,
       false,
       true,
       true,
       {0x23, 0x00, 0x40, 0x41, 0x01, 0x20, 0x23, 0x00, 0x42, 0x43, 0x44, 0x01, 0x20},
       0,
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TACTmpGs e = NecEntry();
    e.FormatText = c.text;
    e.SevenBitFirst = c.seven_bit_first;
    e.FramesShareData = c.share;
    e.TripleFrames = c.triple;
    FrameStructure s = BuildFrameStructure(e, c.image);
    EXPECT_EQ(s.bytes, c.bytes);
    EXPECT_EQ(s.width_byte, c.width_byte);
    EXPECT_EQ(s.width_error, c.width_error);
    EXPECT_FALSE(s.overflow);
  }
}

struct FitCase {
  const char* text;
  bool triple;
  bool image;
  int code;
};

TEST(FrameStructure, FieldsThatDoNotFitAreRefused) {
  const FitCase cases[] = {
      {"[512]", false, false, 0},                         // 64 units, indexes 0..63
      {"<0>[512]", false, false, kErrStructureOverflow},  // 65 structure bytes
      {"[520]", false, false, kErrStructureOverflow},     // unit index 64
      {"<31>[8]", false, false, 0},
      {"<32>[8]", false, false, kErrStructureOverflow},  // would read as a repeat marker
      {"(<0>[8])*15", false, true, 0},
      {"(<0>[8])*16", false, true, kErrStructureOverflow},  // repeat count beyond the nibble
      {"(<0>[8])*16", false, false, 0},                     // 32 bytes written out
      {"<0>[16]<1>", true, false, kErrTripleTooShort},
      {"<0>[280]<1>", false, false, 0},  // units 32-34 in a row stand for themselves
      {"<0>[280]<1>", false, true, 0},
      {"<0>[272]<1>[8]", false, false, kErrStructureOverflow},  // $61 $01 $62 would repeat the split
      {"(<0>[264]<1>)*2", false, true, kErrStructureOverflow},  // unit 32 ($60) ends the repeat group early
      {"<0>[3]<1>[5]<1>[6]", false, false, 0},                  // the file keeps "errorframe!"
      {"<0>[3]<1>[5]<1>[6]", false, true, kErrDataWidth},       // an image would send a cut frame
  };
  for (const auto& c : cases) {
    TACTmpGs e = NecEntry();
    e.FormatText = c.text;
    e.TripleFrames = c.triple;
    EXPECT_EQ(CheckFrameFormat(e, c.image), c.code) << c.text << (c.image ? " image" : "");
  }
}

TEST(WriteFrameTable, NecTableLineForLine) {
  Lines lines;
  GeneratorSettings settings;
  ASSERT_TRUE(WriteFrameTable(lines, NecEntry(), 0, settings));
  const Lines expected = {
      "pub_frame_table0:",
      "\tDB $1B\t" + ToGbk("; 字节长度"),
      "\tDB 00000000B\t",
      "\tDB $68\t" + ToGbk(";载波"),
      "\tDB 01000101B\t" + ToGbk(";高2位逻辑数2-1,低6位结构数6-1"),
      "\tDB  $30, $05, $FF, $02\t;logic0",
      "\tDB  $30, $05, $72, $0C\t;logic1",
      "\tDB $00,$40,$41,$42,$43,$01" + ToGbk(";发码结构"),
      ToGbk("\t ;===波形数据"),
      "\tDB  $28, $47, $58, $11, $00\t;wav 0",
      "\tDB  $30, $05, $E4, $4D, $00\t;wav 1",
  };
  EXPECT_EQ(lines, expected);
}

TEST(WriteFrameTable, ErrorframeLineAndSplitHalves) {
  TACTmpGs e = NecEntry();
  e.FormatText = "<0>[3]<1>[5]<1>[6]";
  e.Carrier = 0;
  e.SplitCodes = {{0, -40000}, {9001, 0}};
  Lines lines;
  ASSERT_TRUE(WriteFrameTable(lines, e, 7, GeneratorSettings{}));
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0], "pub_frame_table7:");
  EXPECT_EQ(lines[1], "\tDB $1A\t" + ToGbk("; 字节长度"));  // 3 + 8 + 5 + 10 = 26
  EXPECT_EQ(lines[2], "\tDB 00100010B\t");                  // widths 3 and 5: 2 + 8 * 4
  EXPECT_EQ(lines[3], "\tDB $00\t" + ToGbk(";载波"));
  EXPECT_EQ(lines[4], "\tDB 01000100B\t" + ToGbk(";高2位逻辑数2-1,低6位结构数5-1"));
  EXPECT_EQ(lines[7], "errorframe!");
  EXPECT_EQ(lines[8], "\tDB $00,$80,$01,$C1,$01" + ToGbk(";发码结构"));
  EXPECT_EQ(lines[10], "\tDB  $E4, $9A, $E4, $4D, $00\t;wav 0");  // two spaces of -20000
  EXPECT_EQ(lines[11], "\tDB  $94, $23, $95, $11, $01\t;wav 1");  // marks 4500 and 4501
}

TEST(WriteFrameTable, SevenBitFirstWidthLines) {
  TACTmpGs e = NecEntry();
  e.SevenBitFirst = 1;
  Lines lines;
  ASSERT_TRUE(WriteFrameTable(lines, e, 0, GeneratorSettings{}));
  EXPECT_EQ(lines[2], "\tDB 00000110B\t");
  EXPECT_EQ(lines[7], "\tDB $00,$80,$41,$42,$43,$01" + ToGbk(";发码结构"));
}

TEST(WriteFrameTable, LogicBiggerStopsAfterTheCarrier) {
  TACTmpGs e = NecEntry();
  e.LogicCodes.assign(4, {560, -560});
  Lines lines;
  EXPECT_FALSE(WriteFrameTable(lines, e, 3, GeneratorSettings{}));
  const Lines expected = {
      "pub_frame_table3:",
      "\tDB $00\t; byte count",
      "\tDB 00111111B\t" + ToGbk(";第1个数据的位数=8-1,非8位数1"),
      "\tDB $68\t" + ToGbk(";载波"),
      "logicBigger",
  };
  EXPECT_EQ(lines, expected);
  e.SevenBitFirst = 1;
  lines.clear();
  WriteFrameTable(lines, e, 3, GeneratorSettings{});
  EXPECT_EQ(lines[2], "\tDB 00111110B\t" + ToGbk(";第1个数据的位数=7-1,最后一个数据位数BIT3-BIT5=8-1"));
}

TEST(WriteFrameTable, FiveLogicCodesFillTheTopBitsWithZero) {
  TACTmpGs e = NecEntry();
  e.LogicCodes.assign(5, {560});
  Lines lines;
  ASSERT_TRUE(WriteFrameTable(lines, e, 0, GeneratorSettings{}));
  EXPECT_EQ(lines[4], "\tDB 00000101B\t" + ToGbk(";高2位逻辑数5-1,低6位结构数6-1"));
  EXPECT_EQ(lines[5], "\tDB  $30, $05\t;logic0");
}

TEST(FrameFormatList, AddMergesAndRefuses) {
  FrameFormatList list;
  GeneratorSettings settings;
  store::TdiskAir a = NecRecord();
  EXPECT_EQ(list.AddFrameFormat(a, " <0> [16] [16] <1> ", 0, settings), 0);
  EXPECT_EQ(list.At(0).FormatText, "<0>[32]<1>");  // parsed and printed merged
  EXPECT_EQ(list.At(0).LogicCodes[1], (std::vector<std::int32_t>{560, -660}));
  store::TdiskAir b = NecRecord();
  b.Params.Carrier = 39500;
  b.Params.Logic[0][0] = 590;
  EXPECT_EQ(list.AddFrameFormat(b, "<0>[32]<1>", 0, settings), 0);
  b.Params.Carrier = 40100;
  EXPECT_EQ(list.AddFrameFormat(b, "<0>[32]<1>", 0, settings), 1);
  EXPECT_EQ(list.AddFrameFormat(a, "<0>[32]<1>", 1, settings), 2);  // frames share data
  settings.SevenBitFirst = true;
  EXPECT_EQ(list.AddFrameFormat(a, "<0>[32]<1>", 0, settings), 3);
  EXPECT_EQ(list.Count(), 4);

  const int refused_counts[] = {0, 4, 6, 8};
  for (int count : refused_counts)
    EXPECT_EQ(list.AddFrameFormat(NecRecord(count), "<0>[32]<1>", 0, settings), kRefusedLogicCount) << count;
  EXPECT_GE(list.AddFrameFormat(NecRecord(5), "<0>[32]<1>", 0, settings), 0);
  EXPECT_EQ(list.AddFrameFormat(a, "<0>[520]", 0, settings), kErrStructureOverflow);
  settings.TripleFrames = true;
  EXPECT_EQ(list.AddFrameFormat(a, "<0>[32]<1>", 0, settings), kErrTripleTooShort);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(FrameFormatList, WriteFrameTablesInIndexOrder) {
  FrameFormatList list;
  GeneratorSettings settings;
  list.AddFrameFormat(NecRecord(), "<0>[32]<1>", 0, settings);
  list.AddFrameFormat(NecRecord(), "<0>[16]<1>", 0, settings);
  Lines lines;
  list.WriteFrameTables(lines, settings);
  ASSERT_EQ(lines.size(), 22u);
  EXPECT_EQ(lines[0], "pub_frame_table0:");
  EXPECT_EQ(lines[11], "pub_frame_table1:");
}

TEST(TextForms, HexAndBinary) {
  EXPECT_EQ(HexByte(0x1AB), "AB");
  EXPECT_EQ(HexByte(-1), "FF");
  EXPECT_EQ(HexWord(0x12345), "2345");
  EXPECT_EQ(BinByte(62), "00111110");
  EXPECT_EQ(BinByte(-64), "11000000");
  EXPECT_EQ(BinWord(0x14), "0000000000010100");
}

}  // namespace
}  // namespace klimavo::firmware
