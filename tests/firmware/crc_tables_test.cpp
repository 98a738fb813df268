// Checksum tables: ranges of the items, the blocks of every kind, and whole
// tables line for line, with the failures that make a table untranslatable.
#include "firmware/crc_tables.h"

#include <gtest/gtest.h>

#include <string>

namespace klimavo::firmware {
namespace {

// A record with one 72-bit format (64 data bits and the checksum byte) sent by keys 0 to 5.
struct CrcFixture {
  store::TdiskAir record;
  CrcFixture(const char* text = "<0>[72]<1>") {
    record.KeyCount = 6;
    for (auto& key : record.Keys) key.Slot = store::kNoSlot;
    for (std::size_t k = 0; k < 6; ++k) record.Keys[k].Slot = 0;
    record.Slots[0].Text.assign(text);
    record.Slots[0].Crc.HasChecksum = 1;
    record.Slots[0].Crc.Count = 1;
    record.HasChecksum = 1;
    ir::TCrcItem& item = Item();
    item.TargetFrame = 0;
    item.TargetBit = 64;
    item.TargetWidth = 8;
    item.ZoneCount = 1;
    item.Zones[0] = {0, 0, 0, 63};
    item.Kind = 0;
    item.OperandWidth = 8;
  }
  ir::TCrcItem& Item(std::size_t slot = 0, std::size_t j = 0) { return record.Slots[slot].Crc.Items[j]; }
  int Write(Lines& lines) { return WriteCrcTable(record, lines, store::BuildFormatList(record)); }
};

Lines BlockLines(const char* start, const char* end_and_kind, const std::string& names, const char* op,
                 const char* constant) {
  return {std::string("\tDB ") + start, std::string("\tDB ") + end_and_kind,
          std::string("\tDB $") + op + "\t;" + names, "\tDB $00\t;",
          std::string("\tDB $") + constant + "\t" + ToGbk(";常数")};
}

TEST(WriteCrcTable, SumOverEightBytesLineForLine) {
  CrcFixture f;
  Lines lines;
  ASSERT_EQ(f.Write(lines), 0);
  Lines expected = {
      "\tDB $00\t" + ToGbk(";校验1-1个"),
      ToGbk("\t;    ###########################校验0"),
      "\tDB $07\t" + ToGbk("; 字节长度"),
      "\tDB 01111111B\t" + ToGbk(";指明哪个按键有校验"),
      "\tDB $08\t" + ToGbk(";校验目标字节号8"),
      "\tDB 00111000B\t" + ToGbk(";校验目标起始位D0-D2=0,宽D3-D5=8-1"),
      "\t;caculte 0",
  };
  Lines block =
      BlockLines(("01000000B\t" + ToGbk(" ;起始字节=0,0位开始,操作8位")).c_str(),
                 ("11000111B\t" + ToGbk(" ;结束字节=7,8位结束,内部运算")).c_str(), ToGbk("加"), "00", "00");
  expected.insert(expected.end(), block.begin(), block.end());
  EXPECT_EQ(lines, expected);
}

TEST(WriteCrcTable, ConstantInTheBlockOrInAnExternalBlock) {
  CrcFixture f;
  f.Item().Const = 0x0A;
  f.Item().ConstOp = 0;  // "+"
  Lines lines;
  ASSERT_EQ(f.Write(lines), 0);
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[9], "\tDB $00\t;" + ToGbk("加加"));
  EXPECT_EQ(lines[11], "\tDB $0A\t" + ToGbk(";常数"));

  f.Item().ZoneCount = 2;
  f.Item().Zones[0] = {0, 0, 0, 31};
  f.Item().Zones[1] = {0, 32, 0, 63};
  ASSERT_EQ(f.Write(lines), 0);
  ASSERT_EQ(lines.size(), 24u);
  EXPECT_EQ(lines[2], "\tDB $11\t" + ToGbk("; 字节长度"));  // 3 + 3 blocks of 5, minus 1
  EXPECT_EQ(lines[9], "\tDB $00\t;" + ToGbk("加"));         // no constant in the range blocks
  EXPECT_EQ(lines[11], "\tDB $00\t" + ToGbk(";常数"));
  EXPECT_EQ(lines[18], "\t;caculte 2");
  EXPECT_EQ(lines[19], "\tDB 10000111B \t" + ToGbk(";无效数据"));
  EXPECT_EQ(lines[20], "\tDB 10000111B\t" + ToGbk(" ;结束字节=7,8位结束,外部运算"));
  EXPECT_EQ(lines[21], "\tDB $00\t;");
  EXPECT_EQ(lines[22], "\tDB $00\t;" + ToGbk("加"));
  EXPECT_EQ(lines[23], "\tDB $0A\t" + ToGbk(";常数"));
}

struct KindCase {
  int kind;
  std::uint16_t constant;
  std::uint8_t const_op;
  const char* op_line;     // the operation byte line of the range block
  const char* const_line;  // its constant
  int blocks;              // blocks of the item
  const char* external;    // the external byte of a trailing external-only block, or nullptr
};

TEST(WriteCrcTable, BlocksOfEveryKind) {
  const KindCase cases[] = {
      {0, 0, 0, "$00", "$00", 1, nullptr}, {1, 0, 0, "$50", "$FF", 1, nullptr},  // add, then xor 255
      {1, 3, 1, "$50", "$FF", 2, "$01"},    // and then "-" 3 in its own block
      {2, 2, 2, "$54", "$02", 1, nullptr},  // count of ones, xor 2
      {3, 0, 0, "$54", "$FF", 1, nullptr}, {6, 0, 0, "$03", "$00", 1, nullptr},
      {7, 0, 0, "$70", "$00", 1, nullptr},  // exchange
      {7, 5, 5, "$70", "$00", 2, "$03"},    // "and" -> external 3
      {8, 0, 0, "$00", "$00", 1, nullptr}, {10, 0, 0, "$53", "$FF", 1, nullptr},
      {0, 4, 3, "$F0", "$04", 1, nullptr},  // "*" has no firmware operation: 255
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kind * 100 + c.constant);
    CrcFixture f;
    f.Item().Kind = static_cast<std::uint8_t>(c.kind);
    f.Item().Const = c.constant;
    f.Item().ConstOp = c.const_op;
    Lines lines;
    ASSERT_EQ(f.Write(lines), 0);
    ASSERT_EQ(lines.size(), 7u + 5u * static_cast<std::size_t>(c.blocks));
    EXPECT_EQ(lines[9].substr(0, 7), std::string("\tDB ") + c.op_line);
    EXPECT_EQ(lines[11].substr(0, 7), std::string("\tDB ") + c.const_line);
    if (c.external) {
      EXPECT_EQ(lines[15].substr(0, 7), std::string("\tDB ") + c.external);
      EXPECT_EQ(lines[16].substr(0, 7), "\tDB $" + HexByte(c.constant));
    }
  }
}

TEST(WriteCrcTable, CountKindWithTargetAtBitFourUsesNibbles) {
  CrcFixture f;
  f.Item().Kind = 3;
  f.Item().TargetBit = 68;
  f.Item().TargetWidth = 4;
  Lines lines;
  ASSERT_EQ(f.Write(lines), 0);
  EXPECT_EQ(lines[5], "\tDB 00011100B\t" + ToGbk(";校验目标起始位D0-D2=4,宽D3-D5=4-1"));
  EXPECT_EQ(lines[7], "\tDB 00000000B\t" + ToGbk(" ;起始字节=0,0位开始,操作4位"));
}

TEST(WriteCrcTable, KeyMaskOfTwoFormats) {
  CrcFixture f;
  f.record.Keys[2].Slot = 1;
  f.record.Keys[0].Slot2 = 1;
  f.record.Slots[1] = f.record.Slots[0];
  Lines lines;
  ASSERT_EQ(f.Write(lines), 0);
  ASSERT_EQ(lines.size(), 1u + 2u * 11u);
  EXPECT_EQ(lines[0], "\tDB $01\t" + ToGbk(";校验2-1个"));
  EXPECT_EQ(lines[3],
            "\tDB 01110111B\t" + ToGbk(";指明哪个按键有校验"));  // keys 0, 1, 3, 4, 5 and the first format
  EXPECT_EQ(lines[14], "\tDB 00001000B\t" +
                           ToGbk(";指明哪个按键有校验"));  // key 2; the power key's second frame is not a key
  EXPECT_EQ(lines[12], ToGbk("\t;    ###########################校验1"));
}

TEST(WriteCrcTable, NoChecksumItemGivesTheCountLineOnly) {
  CrcFixture f;
  f.record.Slots[0].Crc.HasChecksum = 0;
  Lines lines = {"old"};
  ASSERT_EQ(f.Write(lines), 0);
  EXPECT_EQ(lines, Lines{"\tDB $FF\t" + ToGbk(";校验0-1个")});
}

TEST(WriteCrcTable, Failures) {
  struct Case {
    const char* name;
    void (*change)(CrcFixture&);
    int code;
  };
  const Case cases[] = {
      {"width 8 from bit 4", [](CrcFixture& f) { f.Item().Zones[0].StartBit = 4; }, kCrcUntranslatable},
      {"width 4 from bit 2",
       [](CrcFixture& f) {
         f.Item().OperandWidth = 4;
         f.Item().Zones[0].StartBit = 2;
       },
       kCrcUntranslatable},
      {"width 6", [](CrcFixture& f) { f.Item().OperandWidth = 6; }, kCrcUntranslatable},
      {"end bit 5", [](CrcFixture& f) { f.Item().Zones[0].EndBit = 61; }, kCrcUntranslatable},
      {"kind 4", [](CrcFixture& f) { f.Item().Kind = 4; }, kCrcUntranslatable},
      {"kind 5", [](CrcFixture& f) { f.Item().Kind = 5; }, kCrcUntranslatable},
      {"kind 11", [](CrcFixture& f) { f.Item().Kind = 11; }, kCrcUntranslatable},
      {"byte 64 in a descriptor",
       [](CrcFixture& f) {
         f.record.Slots[0].Text.assign("<0>[600]<1>");
         f.Item().Zones[0] = {0, 512, 0, 519};
       },
       kErrDescriptorIndex},
  };
  for (const auto& c : cases) {
    CrcFixture f;
    c.change(f);
    Lines lines;
    EXPECT_EQ(f.Write(lines), c.code) << c.name;
    EXPECT_GE(lines.size(), 5u) << c.name;  // the lines before the failure stay
  }
  CrcFixture f;
  store::Tex_gssList five(5, store::BuildFormatList(f.record)[0]);
  for (auto& format : five) format.FrameIndex = 1;  // no checksums in these slots
  Lines lines;
  EXPECT_EQ(WriteCrcTable(f.record, lines, five), kCrcUntranslatable);
}

TEST(CrcRangesOfItem, SplitsAtTheNibble) {
  ir::TCrcItem item;
  item.OperandWidth = 8;
  item.ZoneCount = 1;
  item.Zones[0] = {0, 0, 0, 11};
  auto ranges = CrcRangesOfItem(item);
  ASSERT_TRUE(ranges);
  EXPECT_EQ(*ranges, (TexCrc_zones{{0, 0, 0, 7, 8}, {0, 8, 0, 11, 4}}));
  item.Zones[0] = {1, 8, 1, 11};  // one nibble: no byte range before it
  EXPECT_EQ(*CrcRangesOfItem(item), (TexCrc_zones{{1, 8, 1, 11, 4}}));
  item.OperandWidth = 4;
  item.Zones[0] = {0, 4, 1, 6};
  EXPECT_EQ(*CrcRangesOfItem(item), (TexCrc_zones{{0, 4, 1, 6, 4}}));
  item.ZoneCount = 3;  // never more than the two stored zones
  EXPECT_EQ(CrcRangesOfItem(item)->size(), 2u);
}

TEST(WriteCrcTable, NibbleRangeDescriptors) {
  CrcFixture f;
  f.Item().Zones[0] = {0, 0, 0, 11};
  Lines lines;
  ASSERT_EQ(f.Write(lines), 0);
  EXPECT_EQ(lines[13], "\tDB 00000001B\t" + ToGbk(" ;起始字节=1,0位开始,操作4位"));
  EXPECT_EQ(lines[14], "\tDB 01000001B\t" + ToGbk(" ;结束字节=1,4位结束,内部运算"));
}

TEST(GreeRangesOfItem, LowNibblesThenHighNibbles) {
  ir::TCrcItem item;
  item.Kind = 9;
  item.OperandWidth = 8;
  item.ZoneCount = 1;
  item.Zones[0] = {0, 0, 0, 39};
  ir::TStrProt_Listbase elements = {ir::TStrProtItem::Split(0), ir::TStrProtItem::Data(40),
                                    ir::TStrProtItem::Split(1)};
  EXPECT_EQ(GreeRangesOfItem(item, elements),
            (TexCrc_zones{
                {0, 0, 0, 3, 4}, {0, 8, 0, 11, 4}, {0, 16, 0, 19, 4}, {0, 24, 0, 27, 4}, {0, 36, 0, 39, 4}}));
  item.Zones[0] = {0, 0, 0, 43};  // the last piece holds padding: it counts but yields nothing
  ir::TStrProt_Listbase longer = {ir::TStrProtItem::Split(0), ir::TStrProtItem::Data(44)};
  EXPECT_EQ(GreeRangesOfItem(item, longer).size(), 5u);
  EXPECT_EQ(GreeRangesOfItem(item, elements).size(), 5u);  // the text ends with the code: no padding
  item.OperandWidth = 0;
  EXPECT_TRUE(GreeRangesOfItem(item, elements).empty());
}

TEST(WriteCrcTable, GreeStartDescriptorFollowsTheEnd) {
  CrcFixture f("<0>[48]<1>");
  f.Item().Kind = 9;
  f.Item().Zones[0] = {0, 0, 0, 39};
  f.Item().TargetBit = 40;
  Lines lines;
  ASSERT_EQ(f.Write(lines), 0);
  ASSERT_EQ(lines.size(), 6u + 5u * 6u);
  EXPECT_EQ(lines[7], "\tDB 00000000B\t" + ToGbk(" ;起始字节=0,0位开始,操作4位"));
  EXPECT_EQ(lines[31], "\tDB 10000100B\t" + ToGbk(" ;起始字节=4,4位开始,操作4位"));  // bits 36-39
  EXPECT_EQ(lines[32], "\tDB 11000100B\t" + ToGbk(" ;结束字节=4,8位结束,内部运算"));
}

}  // namespace
}  // namespace klimavo::firmware
