#include "firmware/chip_emulator.h"

#include <gtest/gtest.h>

#include <vector>

namespace klimavo::firmware {
namespace {

using base::Bytes;

constexpr config::TimingAdjustments kNoAdjustment{0, 0, 0, 0};

// Builds a table image in the layout the firmware reads: a header of five
// address words (+48), one pointer table per block kind, then the blocks.
struct TestImage {
  Bytes relation_block{0x00, 0, 0, 0, 0, 0, 0};  // control byte, 2 words, key format word
  std::vector<Bytes> frame_tables;               // each with its length byte
  Bytes value_tables{0, 0, 0, 0, 0, 0};
  Bytes key_table_block;
  Bytes checksum_block;

  Bytes Build() const {
    std::vector<std::vector<Bytes>> tables = {
        {relation_block}, frame_tables, {value_tables}, {key_table_block}};
    if (!checksum_block.empty()) tables.push_back({checksum_block});
    std::size_t pointers = 12;
    for (const auto& t : tables) pointers += 2 * t.size();
    if (checksum_block.empty()) pointers += 0;
    Bytes image(12, 0);
    std::size_t table_offset = 12;
    std::size_t data_offset = pointers;
    Bytes pointer_bytes, data;
    for (std::size_t i = 0; i < 5; ++i) {
      std::size_t at = i < tables.size() ? table_offset : table_offset;
      base::WriteU16Le(&image[2 * i], static_cast<std::uint16_t>(at + 48));
      if (i < tables.size()) {
        for (const auto& block : tables[i]) {
          pointer_bytes.push_back(static_cast<std::uint8_t>((data_offset + 48) & 0xFF));
          pointer_bytes.push_back(static_cast<std::uint8_t>((data_offset + 48) >> 8));
          data.insert(data.end(), block.begin(), block.end());
          data_offset += block.size();
        }
        table_offset += 2 * tables[i].size();
      }
    }
    image.insert(image.end(), pointer_bytes.begin(), pointer_bytes.end());
    image.insert(image.end(), data.begin(), data.end());
    return image;
  }
};

// Frame table: no odd widths, carrier $68, two logic codes 560/-560 and
// 560/-1690, the given structure, split codes 9000/-4500 and 560/-20000.
Bytes FrameTable(const Bytes& structure) {
  Bytes t{0x00, 0x68, static_cast<std::uint8_t>(0x40 | (structure.size() - 1)),
          0x30, 0x05, 0x30,
          0x04, 0x30, 0x05,
          0x9A, 0x0C};
  t.insert(t.end(), structure.begin(), structure.end());
  Bytes splits{0x28, 0x47, 0x94, 0x11, 0x00, 0x30, 0x05, 0x20, 0x4E, 0x00};
  t.insert(t.end(), splits.begin(), splits.end());
  t.insert(t.begin(), static_cast<std::uint8_t>(t.size()));
  return t;
}

// Key-table block for one format with the given initial frame bytes and key tables.
Bytes KeyTableBlock(const Bytes& frame_bytes, const std::vector<Bytes>& key_tables, std::uint8_t g = 0,
                    std::uint8_t flags = 0) {
  Bytes b{static_cast<std::uint8_t>(frame_bytes.size() + 1)};
  b.insert(b.end(), frame_bytes.begin(), frame_bytes.end());
  b.push_back(g);
  b.push_back(flags);
  for (std::size_t k = 0; k < 6; ++k) {
    const Bytes& t = k < key_tables.size() ? key_tables[k] : Bytes{};
    b.push_back(t.empty() ? 0 : static_cast<std::uint8_t>(t.size() - 1));
    b.insert(b.end(), t.begin(), t.end());
  }
  return b;
}

ir::TIRIntegerArr Bits(std::uint8_t byte, bool lsb_first) {
  ir::TIRIntegerArr out;
  for (int j = 0; j < 8; ++j) {
    int bit = lsb_first ? (byte >> j) & 1 : (byte >> (7 - j)) & 1;
    out.push_back(560);
    out.push_back(bit ? -1690 : -560);
  }
  return out;
}

TEST(ChipEmulator, PowerEntryWritesTheValueOfThePressedStateAndBuildsTheSignal) {
  TestImage img;
  img.frame_tables = {FrameTable({0x00, 0x40, 0x41, 0x01})};
  // Power key entry: target byte 0, 8 bits from bit 0, $11 for state 0, $22 otherwise.
  img.key_table_block = KeyTableBlock({0x00, 0x00}, {{0x00, 0x38, 0x11, 0x22}});
  for (bool lsb : {true, false}) {
    for (int state : {0, 1}) {
      TACRusher rusher(kNoAdjustment);
      rusher.Load(lsb, img.Build(), {state, 0, 0, 0, 0, 0, 0, 0});
      ir::TIRIntegerArr out;
      ASSERT_TRUE(rusher.Run(out));
      EXPECT_EQ(rusher.ErrorCode(), 0);
      ir::TIRIntegerArr expected{9000, -4500};
      for (auto d : Bits(state == 0 ? 0x11 : 0x22, lsb)) expected.push_back(d);
      for (auto d : Bits(0x00, lsb)) expected.push_back(d);
      expected.push_back(560);
      expected.push_back(-20000);
      EXPECT_EQ(out, expected) << "lsb " << lsb << " state " << state;
    }
  }
}

TEST(ChipEmulator, WritesFieldsInTheRecordsBitOrder) {
  struct Case {
    bool lsb;
    Bytes expected;
  };
  for (const Case& c : {Case{true, {0x40, 0x01}}, Case{false, {0x02, 0x80}}}) {
    TestImage img;
    img.frame_tables = {FrameTable({0x40})};
    // Value 5 into 3 bits from bit 6 of byte 0.
    img.key_table_block = KeyTableBlock({0x00, 0x00}, {{0x00, 0x16, 0x05, 0x05}});
    TACRusher rusher(kNoAdjustment);
    rusher.Load(c.lsb, img.Build(), {0, 0, 0, 0, 0, 0, 0, 0});
    ir::TIRIntegerArr out;
    ASSERT_TRUE(rusher.Run(out));
    EXPECT_EQ(rusher.FrameBytes(), c.expected);
  }
}

TEST(ChipEmulator, TemperatureListOfTwoCountsFromItsFirstValue) {
  struct Case {
    Bytes list;
    std::uint8_t expected;
  };
  for (const Case& c : {Case{{16, 30}, 20}, Case{{30, 16}, 26}}) {
    TestImage img;
    img.frame_tables = {FrameTable({0x40})};
    img.value_tables = {0x00, 0x02, 0x00, 0x00, 0x00, 0x00, c.list[0], c.list[1]};
    // Temperature entry: both values refer to list 0 of key 1 (code 1).
    img.key_table_block = KeyTableBlock({0x00}, {{}, {0x00, 0xF8, 0x10, 0x10}});
    TACRusher rusher(kNoAdjustment);
    rusher.Load(true, img.Build(), {0, 4, 0, 0, 0, 0, 1, 0});
    ir::TIRIntegerArr out;
    ASSERT_TRUE(rusher.Run(out));
    EXPECT_EQ(rusher.FrameBytes()[0], c.expected);
  }
}

TEST(ChipEmulator, FanEntrySetsTheModeStateFromItsLiteralValue) {
  TestImage img;
  img.frame_tables = {FrameTable({0x40})};
  // Mode key: one list of five values 0,1,2,3,4 (header byte: 5 bytes, 1 list).
  img.value_tables = {0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0, 1, 2, 3, 4};
  // Fan entry: state 3 refers to list 0 of the mode key (code 3 = key 2); the
  // other states are literals; in state 1 the literal is 2.
  Bytes fan{0x10, 0x00, 0x38, 0x07, 0x02, 0x09, 0x30};
  img.key_table_block = KeyTableBlock({0x00}, {{}, {}, {}, fan});
  TACRusher rusher(kNoAdjustment);
  rusher.Load(true, img.Build(), {0, 0, 0, 1, 0, 0, 3, 0});
  ir::TIRIntegerArr out;
  ASSERT_TRUE(rusher.Run(out));
  EXPECT_EQ(rusher.FrameBytes()[0], 0x02);
  EXPECT_EQ(rusher.KeyStates()[2], 2);  // the position of value 2 in the mode list
}

TEST(ChipEmulator, RepeatGroupSendsItsDataUnitTwice) {
  TestImage img;
  img.frame_tables = {FrameTable({0x22, 0x41, 0x20})};
  img.key_table_block = KeyTableBlock({0x00, 0xFF}, {});
  TACRusher rusher(kNoAdjustment);
  rusher.Load(true, img.Build(), {0, 0, 0, 0, 0, 0, 0, 0});
  ir::TIRIntegerArr out;
  ASSERT_TRUE(rusher.Run(out));
  ir::TIRIntegerArr expected;
  for (int r = 0; r < 2; ++r)
    for (auto d : Bits(0xFF, true)) expected.push_back(d);
  EXPECT_EQ(out, expected);
}

TEST(ChipEmulator, LogicTimingLosesTheAdjustmentOfTheGenerator) {
  TestImage img;
  img.frame_tables = {FrameTable({0x40})};
  img.key_table_block = KeyTableBlock({0x00}, {});
  TACRusher rusher;  // default adjustments: spaces of logic codes were shortened by 40
  rusher.Load(true, img.Build(), {0, 0, 0, 0, 0, 0, 0, 0});
  ir::TIRIntegerArr out;
  ASSERT_TRUE(rusher.Run(out));
  ASSERT_GE(out.size(), 2u);
  EXPECT_EQ(out[0], 560);   // $30 $05
  EXPECT_EQ(out[1], -600);  // $30 $04 = -560, and the -40 space adjustment undone
}

TEST(ChipEmulator, ChecksumEntrySumsTheFrameBytesIntoItsTarget) {
  TestImage img;
  img.relation_block[0] = 0x10;  // checksums present: one more word in the relation block
  img.relation_block.insert(img.relation_block.end(), {0, 0});
  img.frame_tables = {FrameTable({0x40, 0x41, 0x42})};
  img.key_table_block = KeyTableBlock({0x12, 0x34, 0x00}, {});
  // One entry for every key: target byte 2, 8 bits; add bytes 0..1 whole.
  img.checksum_block = {0x00, 0x07, 0x7F, 0x02, 0x38, 0x40, 0xC1, 0x00, 0x00, 0x00};
  TACRusher rusher(kNoAdjustment);
  rusher.Load(true, img.Build(), {1, 0, 0, 0, 0, 0, 0, 0});
  ir::TIRIntegerArr out;
  ASSERT_TRUE(rusher.Run(out));
  EXPECT_EQ(rusher.FrameBytes()[2], 0x46);
}

TEST(ChipEmulator, MalformedImagesFailWithoutReadingOutside) {
  TestImage good;
  good.frame_tables = {FrameTable({0x40})};
  good.key_table_block = KeyTableBlock({0x00}, {});
  Bytes image = good.Build();
  for (std::size_t cut = 0; cut < image.size(); ++cut) {
    Bytes truncated(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(cut));
    TACRusher rusher(kNoAdjustment);
    rusher.Load(true, truncated, {0, 0, 0, 0, 0, 0, 0, 0});
    ir::TIRIntegerArr out;
    EXPECT_FALSE(rusher.Run(out)) << "cut at " << cut;
  }
  TACRusher rusher(kNoAdjustment);
  rusher.Load(true, image, {0, 0, 0, 0, 0, 0, 6, 0});  // no key 6
  ir::TIRIntegerArr out;
  EXPECT_FALSE(rusher.Run(out));
}

TEST(ChipEmulator, ReferenceLoopsEndTheRunInsteadOfRecursingForever) {
  TestImage img;
  img.frame_tables = {FrameTable({0x40})};
  // Power entry 0 refers to entry 0 of key 0 (bit 7: run entry), which is itself.
  img.key_table_block = KeyTableBlock({0x00}, {{0x00, 0xF8, 0x80, 0x80}});
  TACRusher rusher(kNoAdjustment);
  rusher.Load(true, img.Build(), {0, 0, 0, 0, 0, 0, 0, 0});
  ir::TIRIntegerArr out;
  EXPECT_FALSE(rusher.Run(out));
}

}  // namespace
}  // namespace klimavo::firmware
