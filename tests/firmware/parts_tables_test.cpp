#include "firmware/parts_tables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

#include "base/gbk.h"
#include "firmware/chip_emulator.h"
#include "firmware/parts_model.h"
#include "firmware/six_key_record.h"
#include "firmware/table_image.h"

namespace klimavo::firmware {
namespace {

// Comments are GBK in the output; the expectations are written in UTF-8.
std::string G(const std::string& utf8) { return base::Utf8ToGbk(utf8).value(); }
Lines G(const std::vector<std::string>& utf8) {
  Lines out;
  for (const std::string& s : utf8) out.push_back(G(s));
  return out;
}

// A six-key record (Power, Temp, Mode, Fan, Swing, Vane) without code lines.
struct Record {
  store::TdiskAir rec;
  store::Tex_gssList formats;
  store::TBtnLines lines = store::TBtnLines(6);

  Record() {
    rec.KeyCount = 6;
    const char* names[] = {"Power", "Temp", "Mode", "Fan", "Swing", "Vane"};
    for (int k = 0; k < 6; ++k) {
      rec.Keys[k].Name.assign(names[k]);
      rec.Keys[k].StateCount = 2;
      rec.Keys[k].Slot = 0;
    }
  }
  void Format(int slot, const std::string& text, std::vector<std::uint8_t> keys,
              std::vector<std::uint8_t> code) {
    rec.Slots[slot].Text.assign(text);
    store::Tex_gsstrut f;
    f.Text = text;
    f.KeyIndexes = std::move(keys);
    f.CodeData.assign(64, 0);
    std::copy(code.begin(), code.end(), f.CodeData.begin());
    std::copy(code.begin(), code.end(), rec.Slots[slot].Code.begin());
    f.FrameIndex = slot;
    formats.push_back(f);
  }
  void Column(int key, int bit, int width, std::vector<int> values, int kind = 0) {
    for (auto& c : rec.Keys[key].Columns) {
      if (c.InUse()) continue;
      c.Frame = 0;
      c.BitPos = static_cast<std::uint16_t>(bit);
      c.Width = static_cast<std::uint8_t>(width);
      c.Kind = static_cast<std::uint8_t>(kind);
      c.Values.fill(255);
      for (std::size_t i = 0; i < values.size(); ++i) c.Values[i] = static_cast<std::uint8_t>(values[i]);
      return;
    }
  }
  int RunA(Lines& relation, Lines& table, std::uint8_t& control) const {
    return WritePartsTablesA({rec, formats, lines, false}, relation, control, table);
  }
  int RunB(Lines& relation, Lines& table, std::uint8_t& control) const {
    return WritePartsTablesB({rec, formats, lines, false}, relation, control, table);
  }
};

void ExpectLines(const Lines& actual, const Lines& expected) {
  for (std::size_t i = 0; i < std::min(actual.size(), expected.size()); ++i)
    ASSERT_EQ(actual[i], expected[i]) << "line " << i;
  EXPECT_EQ(actual.size(), expected.size());
}

// Six separate fields, none overlapping: every part is initialization data,
// written in the host key 1's section; every reference byte carries ClampKey.
TEST(PartsTablesA, SeparateFieldsBecomeInitializationData) {
  Record r;
  r.Format(0, "<0>[32]<1>", {0, 1, 2, 3, 4, 5, store::kPowerSecondFrameMarker}, {0x12, 0x34, 0x56, 0x78});
  r.rec.Keys[1].StateCount = 3;
  r.rec.Keys[2].StateCount = 3;
  r.Column(0, 3, 1, {0, 1});
  r.Column(1, 8, 4, {1, 2, 3});
  r.Column(2, 0, 3, {0, 1, 2});
  r.Column(3, 4, 2, {0, 1});
  r.Column(4, 6, 1, {0, 1});
  r.Column(5, 16, 2, {1, 2});
  Lines relation, table;
  std::uint8_t control = 0;
  ASSERT_EQ(r.RunA(relation, table, control), 0);
  ExpectLines(relation, G({
                            ";==基础数据0",
                            "\tDB $05\t;码数5",
                            "\tDB 00010010B\t;码值0",
                            "\tDB 00110100B\t;码值1",
                            "\tDB 01010110B\t;码值2",
                            "\tDB 01111000B\t;码值3",
                            "\tDB $17\t; 初始化字节数",
                            "\tDB 01000001B\t;格式初始化按键",
                            "\t ;====Power-------------------------",
                            "\tDB $00;byte count=0-1",
                            "\t ;Power的变化区域",
                            "\t ;====Temp-------------------------",
                            "\tDB $17;byte count=24-1",
                            "\t ;初始化数据",
                            "\t ;Power0初始化",
                            "\tDB $00\t;起始字节0",
                            "\tDB 11000011B\t;起位:3,位数:1",
                            "\tDB 00000000B\t",
                            "\tDB 00000000B\t",
                            "\t ;Temp0初始化",
                            "\tDB $01\t;起始字节1",
                            "\tDB 11011000B\t;起位:0,位数:4",
                            "\tDB 00010000B\t",
                            "\tDB 00010000B\t",
                            "\t ;Mode0初始化",
                            "\tDB $00\t;起始字节0",
                            "\tDB 11010000B\t;起位:0,位数:3",
                            "\tDB 00110000B\t",
                            "\tDB 00110000B\t",
                            "\t ;Fan0初始化",
                            "\tDB $00\t;起始字节0",
                            "\tDB 11001100B\t;起位:4,位数:2",
                            "\tDB 01000000B\t",
                            "\tDB 01000000B\t",
                            "\t ;Swing0初始化",
                            "\tDB $00\t;起始字节0",
                            "\tDB 11000110B\t;起位:6,位数:1",
                            "\tDB 01010000B\t",
                            "\tDB 01010000B\t",
                            "\t ;Vane0初始化",
                            "\tDB $02\t;起始字节2",
                            "\tDB 11001000B\t;起位:0,位数:2",
                            "\tDB 01100000B\t",
                            "\tDB 01100000B\t",
                            "\t ;Temp的变化区域",
                            "\t ;====Mode-------------------------",
                            "\tDB $00;byte count=0-1",
                            "\t ;Mode的变化区域",
                            "\t ;====Fan-------------------------",
                            "\tDB $00;byte count=0-1",
                            "\t ;Fan的变化区域",
                            "\t ;====Swing-------------------------",
                            "\tDB $00;byte count=0-1",
                            "\t ;Swing的变化区域",
                            "\t ;====Vane-------------------------",
                            "\tDB $00;byte count=0-1",
                            "\t ;Vane的变化区域",
                        }));
  ExpectLines(table, {"\tDB $02,$03,$03,$02,$02,$02 ;per group per count", "\tDB $00,$01 ;Power0",
                      "\tDB $01,$02,$03 ;Temp0", "\tDB $00,$01,$02 ;Mode0", "\tDB $00,$01 ;Fan0",
                      "\tDB $00,$01 ;Swing0", "\tDB $01,$02 ;Vane0"});
  EXPECT_EQ(control, 0x04);  // the vane part has one value per vane state
}

store::TGrdDataLine CodeLine(const std::string& bits) {
  store::TGrdDataLine l;
  l.Elements = {ir::TStrProtItem::Split(0), ir::TStrProtItem::Data(static_cast<std::uint16_t>(bits.size())),
                ir::TStrProtItem::Split(1)};
  for (char c : bits) l.Data.push_back(c == '1' ? 1 : 0);
  return l;
}

// Mode state 1 fixes the temperature: the mode key gets a bit map entry, the
// temperature's initialization runs it (176 + its entry index), and the power
// code's temperature field is taken from it too.
TEST(PartsTablesA, ModeDependentTemperature) {
  Record r;
  r.Format(0, "<0>[32]<1>", {0, 1, 2, 3, 4, 5, store::kPowerSecondFrameMarker}, {0, 0, 0, 0});
  r.rec.Keys[2].StateCount = 3;
  r.rec.Keys[2].Extra[0] = 0b010;
  r.rec.Keys[0].FixedFlags = 0b10;  // the power code fixes the temperature
  r.rec.Keys[0].Slot2 = 0;
  r.Column(0, 16, 1, {0, 1});
  r.Column(1, 8, 4, {5, 6});
  r.Column(2, 0, 2, {0, 1, 2});
  r.Column(3, 4, 2, {1, 2});
  const std::string zero(32, '0');
  r.lines[0] = {CodeLine("00000000"
                         "0110" +
                         std::string(20, '0')),
                CodeLine(zero)};
  r.lines[1] = {CodeLine(zero)};
  r.lines[2] = {CodeLine(zero),
                CodeLine("00000000"
                         "1001" +
                         std::string(20, '0')),
                CodeLine(zero)};
  Lines relation, table;
  std::uint8_t control = 0;
  ASSERT_EQ(r.RunA(relation, table, control), 0);
  std::vector<std::string> expected = {";==基础数据0",
                                       "\tDB $05\t;码数5",
                                       "\tDB 00000000B\t;码值0",
                                       "\tDB 00000000B\t;码值1",
                                       "\tDB 00000000B\t;码值2",
                                       "\tDB 00000000B\t;码值3",
                                       "\tDB $0F\t; 初始化字节数",
                                       "\tDB 01000001B\t;格式初始化按键",
                                       "\t ;====Power-------------------------",
                                       "\tDB $03;byte count=4-1",
                                       "\t ;Power的变化区域",
                                       "\t ;Power有Temp固定值",
                                       "\tDB $01\t;起始字节1",
                                       "\tDB 01011000B\t;起位:0,位数:4",
                                       "\tDB $06\t;status=0",
                                       "\tDB 10110000B\t转模式的第0组值",
                                       "\t ;====Temp-------------------------",
                                       "\tDB $0F;byte count=16-1",
                                       "\t ;初始化数据",
                                       "\t ;Power0初始化",
                                       "\tDB $02\t;起始字节2",
                                       "\tDB 11000000B\t;起位:0,位数:1",
                                       "\tDB 00000000B\t",
                                       "\tDB 00000000B\t",
                                       "\t ;Temp0初始化",
                                       "\tDB $01\t;起始字节1",
                                       "\tDB 11011000B\t;起位:0,位数:4",
                                       "\tDB 10110000B\t",
                                       "\tDB 10110000B\t",
                                       "\t ;Mode0初始化",
                                       "\tDB $00\t;起始字节0",
                                       "\tDB 11001000B\t;起位:0,位数:2",
                                       "\tDB 00110000B\t",
                                       "\tDB 00110000B\t",
                                       "\t ;Fan0初始化",
                                       "\tDB $00\t;起始字节0",
                                       "\tDB 11001100B\t;起位:4,位数:2",
                                       "\tDB 01000000B\t",
                                       "\tDB 01000000B\t",
                                       "\t ;Temp的变化区域",
                                       "\t ;====Mode-------------------------",
                                       "\tDB $05;byte count=6-1",
                                       "\t ;Mode的变化区域",
                                       "\t;Mode|Temp",
                                       "\tDB 101000B\t;从全局中取,=0从下面中取",
                                       "\tDB $01\t;起始字节1",
                                       "\tDB 00011000B\t;起位:0,位数:4",
                                       "\tDB 00010000B\t;status=0",
                                       "\tDB $09\t;status=1",
                                       "\tDB 00010000B\t;status=2"};
  for (const char* name : {"Fan", "Swing", "Vane"}) {
    expected.push_back(std::string("\t ;====") + name + "-------------------------");
    expected.push_back("\tDB $00;byte count=0-1");
    expected.push_back(std::string("\t ;") + name + "的变化区域");
  }
  ExpectLines(relation, G(expected));
  ExpectLines(table, {"\tDB $02,$02,$03,$02,$00,$00 ;per group per count", "\tDB $00,$01 ;Power0",
                      "\tDB $05,$06 ;Temp0", "\tDB $00,$01,$02 ;Mode0", "\tDB $01,$02 ;Fan0"});
}

// A fan that depends on the mode: the mode key carries one fan group per mode
// state; the fan part is initialized through that entry and owns no group.
TEST(PartsTablesA, ModeDependentFan) {
  Record r;
  r.Format(0, "<0>[16]<1>", {0, 1, 2, 3, 4, 5, store::kPowerSecondFrameMarker}, {0, 0});
  r.rec.Keys[3].StateCount = 3;
  r.rec.Keys[2].Extra[1] = 0b01;  // mode state 0 fixes the fan
  r.rec.Keys[2].StateNames[0].assign("Cool");
  r.rec.Keys[2].StateNames[1].assign("Heat");
  r.Column(0, 0, 1, {0, 1});
  r.Column(2, 4, 4, {5, 3});
  r.Column(3, 4, 4, {1, 2, 255}, 241);
  r.Column(4, 8, 1, {0, 1});
  const std::string zero(16, '0');
  r.lines[0] = {CodeLine(zero), CodeLine(zero)};
  r.lines[1] = {CodeLine(zero)};
  r.lines[2] = {CodeLine(zero), CodeLine(zero)};
  Lines relation, table;
  std::uint8_t control = 0;
  ASSERT_EQ(r.RunA(relation, table, control), 0);
  // Per mode state s and fan state j: the mode value when s fixes the fan, else
  // mode value - fan value + 16, or the complement for an unset fan value; cut to 4 bits.
  const Lines mode =
      G({"\t ;====Mode-------------------------", "\tDB $04;byte count=5-1", "\t ;Mode的变化区域",
         "\t;Mode|Fan", "\tDB 11111111B\t;从全局中取,=0从下面中取", "\tDB $00\t;起始字节0",
         "\tDB 11011100B\t;起位:4,位数:4", "\tDB 01000000B\t;Cool0组", "\tDB 01000001B\t;Heat1组"});
  EXPECT_NE(std::search(relation.begin(), relation.end(), mode.begin(), mode.end()), relation.end());
  const Lines fan_init = G({"\t ;Fan0初始化", "\tDB $00\t;起始字节0", "\tDB 11011100B\t;起位:4,位数:4",
                            "\tDB 10110000B\t", "\tDB 10110000B\t"});
  EXPECT_NE(std::search(relation.begin(), relation.end(), fan_init.begin(), fan_init.end()), relation.end());
  ExpectLines(table, {"\tDB $02,$00,$00,$13,$02,$00 ;per group per count", "\tDB $00,$01 ;Power0",
                      "\tDB $05,$05,$05 ;Fan0", "\tDB $02,$01,$0F ;Fan1", "\tDB $00,$01 ;Swing0"});
  EXPECT_EQ(control & 0x40, 0);
}

// A reference part that no other key covers is written in its key's table and
// run from the initialization data ("转到" its entry index).
TEST(PartsTablesA, UnresolvedReferenceIsRunFromTheInitializationData) {
  Record r;
  r.Format(0, "<0>[16]<1>", {0, 1, 2, 3, 4, 5, store::kPowerSecondFrameMarker}, {0, 0});
  r.Column(0, 0, 1, {0, 1});
  r.Column(3, 8, 2, {1, 2});
  r.Column(4, 4, 2, {3, 241});
  r.Column(4, 12, 2, {2, 241});
  Lines relation, table;
  std::uint8_t control = 0;
  ASSERT_EQ(r.RunA(relation, table, control), 0);
  const Lines gotos =
      G({"\tDB $00\t;起始字节0", "\tDB 11001100B\t;起位:4,位数:2", "\tDB 11010000B\t;转到Swing的0组值",
         "\tDB 11010000B\t;转到Swing的0组值", "\tDB $01\t;起始字节1", "\tDB 11001100B\t;起位:4,位数:2",
         "\tDB 11010001B\t;转到Swing的1组值", "\tDB 11010001B\t;转到Swing的1组值", "\t ;Temp的变化区域"});
  EXPECT_NE(std::search(relation.begin(), relation.end(), gotos.begin(), gotos.end()), relation.end());
  const Lines swing =
      G({"\t ;====Swing-------------------------", "\tDB $07;byte count=8-1", "\t ;Swing的变化区域",
         "\tDB $00\t;起始字节0", "\tDB 01001100B\t;起位:4,位数:2", "\tDB 00000011B\t;取这里值",
         "\tDB 00000000B\t;取的0组值", "\tDB $01\t;起始字节1", "\tDB 01001100B\t;起位:4,位数:2",
         "\tDB 00000010B\t;取这里值", "\tDB 00000000B\t;取的0组值"});
  EXPECT_NE(std::search(relation.begin(), relation.end(), swing.begin(), swing.end()), relation.end());
}

// Status, step, reference and power special entries in their keys' sections.
TEST(PartsTablesA, KeySectionsWriteTheirEntries) {
  Record r;
  r.Format(0, "<0>[32]<1>", {0, 1, 2, 3, 4, 5, store::kPowerSecondFrameMarker}, {0xA5, 0x0F, 0x01, 0x80});
  r.rec.Keys[2].StateCount = 3;
  r.rec.Keys[5].StateCount = 3;
  r.Column(0, 16, 1, {241, 0});    // power off sets the bit and its neighbour
  r.Column(1, 8, 4, {5, 6}, 241);  // temperature steps
  r.Column(2, 16, 1, {1, 0, 1});
  r.Column(2, 0, 3, {0, 1, 2});
  r.Column(3, 4, 2, {1, 2});
  r.Column(4, 4, 2, {0, 241});  // swing on takes the fan's value
  r.Column(5, 24, 2, {2, 2, 2});
  Lines relation, table;
  std::uint8_t control = 0;
  ASSERT_EQ(r.RunA(relation, table, control), 0);
  ExpectLines(relation, G({
                            ";==基础数据0",
                            "\tDB $05\t;码数5",
                            "\tDB 10100101B\t;码值0",
                            "\tDB 00001111B\t;码值1",
                            "\tDB 00000001B\t;码值2",
                            "\tDB 10000000B\t;码值3",
                            "\tDB $0B\t; 初始化字节数",
                            "\tDB 01000001B\t;格式初始化按键",
                            "\t ;====Power-------------------------",
                            "\tDB $07;byte count=8-1",
                            "\t ;Power的变化区域",
                            "\t ;关含有两边置1的特殊情况",
                            "\t;Power|Mode",
                            "\tDB $02\t;起始字节2",
                            "\tDB 01000000B\t;起位:0,位数:1",
                            "\tDB 00000001B\t;取这里值",
                            "\tDB 00110000B\t;取Mode的0组值",
                            "\tDB $02\t;起始字节2",
                            "\tDB 01000010B\t;起位:2,位数:1",
                            "\tDB 00000001B\t;取这里值",
                            "\tDB 00110010B\t;取Mode的2组值",
                            "\t ;====Temp-------------------------",
                            "\tDB $0F;byte count=16-1",
                            "\t ;初始化数据",
                            "\t ;Mode0初始化",
                            "\tDB $02\t;起始字节2",
                            "\tDB 11000000B\t;起位:0,位数:1",
                            "\tDB 00110000B\t",
                            "\tDB 00110000B\t",
                            "\t ;Mode1初始化",
                            "\tDB $00\t;起始字节0",
                            "\tDB 11010000B\t;起位:0,位数:3",
                            "\tDB 00110001B\t",
                            "\tDB 00110001B\t",
                            "\t ;Vane0初始化",
                            "\tDB $03\t;起始字节3",
                            "\tDB 11001000B\t;起位:0,位数:2",
                            "\tDB 01100000B\t",
                            "\tDB 01100000B\t",
                            "\t ;Temp的变化区域",
                            "\tDB $01\t;起始字节1",
                            "\tDB 00011000B\t;起位:0,位数:4",
                            "\tDB 00000110B\t;+",
                            "\tDB 00000101B\t;-",
                            "\t ;====Mode-------------------------",
                            "\tDB $00;byte count=0-1",
                            "\t ;Mode的变化区域",
                            "\t ;====Fan-------------------------",
                            "\tDB $04;byte count=5-1",
                            "\t ;Fan的变化区域",
                            "\tDB 00000000B\t;从全局中取,=0从下面中取",
                            "\tDB $00\t;起始字节0",
                            "\tDB 00001100B\t;起位:4,位数:2",
                            "\tDB $01\t;status=0",
                            "\tDB $02\t;status=1",
                            "\t ;====Swing-------------------------",
                            "\tDB $03;byte count=4-1",
                            "\t ;Swing的变化区域",
                            "\t;Swing|Fan",
                            "\tDB $00\t;起始字节0",
                            "\tDB 01001100B\t;起位:4,位数:2",
                            "\tDB 00000000B\t;取这里值",
                            "\tDB 01000000B\t;取Fan的0组值",
                            "\t ;====Vane-------------------------",
                            "\tDB $00;byte count=0-1",
                            "\t ;Vane的变化区域",
                        }));
  ExpectLines(
      table, {"\tDB $00,$00,$23,$02,$00,$01 ;per group per count", "\tDB $01,$00,$01 ;Mode0",
              "\tDB $00,$01,$02 ;Mode1", "\tDB $00,$00,$00 ;Mode2", "\tDB $01,$02 ;Fan0", "\tDB $02 ;Vane0"});
  EXPECT_EQ(control, 0x00);
}

TEST(PartsTablesA, SinglePowerCodeLineSetsControlBitAndFixesPowerInOtherKeys) {
  Record r;
  r.Format(0, "<0>[16]<1>", {0, 1, 2, 3, 4, 5, store::kPowerSecondFrameMarker}, {0, 0});
  r.Column(0, 0, 1, {0, 1});
  r.Column(3, 4, 2, {1, 2});
  r.Column(4, 8, 2, {1, 2});
  store::TGrdDataLine line;
  line.Elements = {ir::TStrProtItem::Split(0), ir::TStrProtItem::Data(16), ir::TStrProtItem::Split(1)};
  line.Data.assign(16, 0);
  r.lines[0].push_back(line);
  r.lines[3].push_back(line);  // power field 0: the power code's value
  line.Data[0] = 1;
  r.lines[4].push_back(line);  // power field 1: the swing code fixes power
  Lines relation, table;
  std::uint8_t control = 0;
  ASSERT_EQ(r.RunA(relation, table, control), 0);
  EXPECT_EQ(control & 0x80, 0x80);
  // The power column now sends its off value in both states; the swing code,
  // whose power field differs, fixes it. Power writes the fixed value twice.
  const Lines swing_fixed =
      G({"\t ;Swing有Power固定值", "\tDB $00\t;起始字节0", "\tDB 11000000B\t;起位:0,位数:1",
         "\tDB 00000000B\t;取Power的0组值", "\tDB 00000000B\t;取Power的0组值"});
  auto at = std::search(relation.begin(), relation.end(), swing_fixed.begin(), swing_fixed.end());
  EXPECT_NE(at, relation.end());
  EXPECT_EQ(std::count(relation.begin(), relation.end(), G("\t ;Fan有Power固定值")), 0);
  EXPECT_EQ(table[1], "\tDB $00,$00 ;Power0");
}

TEST(PartsTablesA, RefusesRecordsTheFirmwareWouldMisread) {
  struct Case {
    const char* name;
    int keys_with_parts;
    int extra_mode_columns;  // distinct mode fields, one value group each
    int fan_bit;
    const char* text;
    int result;
  } cases[] = {
      {"parts in only two keys", 2, 0, 4, "<0>[32]<1>", 1},
      {"parts in three keys", 3, 0, 4, "<0>[32]<1>", 0},
      {"byte index 65 does not fit 6 bits", 3, 0, 520, "<0>[32]<1>", kPartsResultByteIndex},
      {"a code of 65 bytes does not fit", 3, 0, 4, "<0>[520]<1>", kPartsResultByteIndex},
      {"sixteen mode groups fit", 3, 16, 4, "<0>[32]<1>", 0},
      {"group 16 does not fit 4 bits", 3, 17, 4, "<0>[32]<1>", kPartsResultReference},
  };
  for (const Case& c : cases) {
    Record r;
    r.Format(0, c.text, {0, 1, 2, 3, 4, 5, store::kPowerSecondFrameMarker}, {});
    r.Column(0, 0, 1, {0, 1});
    r.Column(3, c.fan_bit, 2, {1, 2});
    if (c.keys_with_parts > 2) r.Column(4, 8, 2, {1, 2});
    for (int i = 0; i < c.extra_mode_columns; ++i) r.Column(2, 16 + i, 1, {i, 0});
    Lines relation = {"kept"}, table;
    std::uint8_t control = 0;
    EXPECT_EQ(r.RunA(relation, table, control), c.result) << c.name;
    if (c.result > 1) {
      EXPECT_EQ(relation, Lines{"kept"}) << c.name;
      EXPECT_TRUE(table.empty()) << c.name;
    }
  }
}

// Two formats: every format gets its own initialization list after the key
// tables; the swing key's moving area takes the group of the mode key's second part.
TEST(PartsTablesB, EveryFormatGetsItsInitializationList) {
  Record r;
  r.Format(0, "<0>[16]<1>", {0, 2, 3, 4, 5}, {0x11, 0x22});
  r.Format(1, "<0>[8]<1>", {1}, {0x33});
  r.rec.Keys[1].Slot = 1;
  r.Column(0, 0, 1, {0, 1});
  r.Column(1, 0, 8, {20, 30});
  r.Column(2, 1, 2, {1, 2});
  r.Column(2, 12, 2, {3, 0});
  r.Column(3, 4, 2, {0, 3});
  r.Column(4, 8, 1, {1, 0}, 208 + 2);
  r.Column(5, 6, 2, {1, 2});
  Lines relation, table;
  std::uint8_t control = 0;
  ASSERT_EQ(r.RunB(relation, table, control), 0);
  std::vector<std::string> expected = {";==基础数据0",
                                       "\tDB $03\t;码数3",
                                       "\tDB 00010001B\t;码值0",
                                       "\tDB 00100010B\t;码值1",
                                       "\tDB $17\t; 初始化字节数",
                                       "\tDB 11000000B\t;初始化0",
                                       ";==基础数据1",
                                       "\tDB $02\t;码数2",
                                       "\tDB 00110011B\t;码值0",
                                       "\tDB $03\t; 初始化字节数",
                                       "\tDB 11001000B\t;初始化1"};
  for (const char* name : {"Power", "Temp", "Mode", "Fan", "Swing", "Vane"}) {
    expected.push_back(std::string("\t ;====") + name + "-------------------------");
    expected.push_back("\tDB $00 ;byte count=0-1");
    expected.push_back(std::string("\t ;") + name + "的变化区域");
  }
  const std::vector<std::string> lists = {"\t ;初始化数据0--------------------------------",
                                          "\tDB $17;byte count=23-1",
                                          "\t ;Power0初始化",
                                          "\tDB $00\t;起始字节0",
                                          "\tDB 11000000B\t;起位:0,位数:1",
                                          "\tDB 00000000B\t",
                                          "\tDB 00000000B\t",
                                          "\t ;Mode0初始化",
                                          "\tDB $00\t;起始字节0",
                                          "\tDB 11001001B\t;起位:1,位数:2",
                                          "\tDB 00110000B\t",
                                          "\tDB 00110000B\t",
                                          "\t ;Mode1初始化",
                                          "\tDB $01\t;起始字节1",
                                          "\tDB 11001100B\t;起位:4,位数:2",
                                          "\tDB 00110001B\t",
                                          "\tDB 00110001B\t",
                                          "\t ;Fan0初始化",
                                          "\tDB $00\t;起始字节0",
                                          "\tDB 11001100B\t;起位:4,位数:2",
                                          "\tDB 01000000B\t",
                                          "\tDB 01000000B\t",
                                          "\t ;Swing有移动区域Mode的变化",
                                          "\tDB $01\t;起始字节1",
                                          "\tDB 11000000B\t;起位:0,位数:1",
                                          "\tDB 00110001B\t",
                                          "\tDB 00110001B\t",
                                          "\t ;Vane0初始化",
                                          "\tDB $00\t;起始字节0",
                                          "\tDB 11001110B\t;起位:6,位数:2",
                                          "\tDB 01100000B\t",
                                          "\tDB 01100000B\t",
                                          "\t ;初始化数据1--------------------------------",
                                          "\tDB $03;byte count=3-1",
                                          "\t ;Temp0初始化",
                                          "\tDB $00\t;起始字节0",
                                          "\tDB 11111000B\t;起位:0,位数:8",
                                          "\tDB 00010000B\t",
                                          "\tDB 00010000B\t"};
  expected.insert(expected.end(), lists.begin(), lists.end());
  ExpectLines(relation, G(expected));
  ExpectLines(table, {"\tDB $02,$02,$12,$02,$00,$02 ;per group per count", "\tDB $00,$01 ;Power0",
                      "\tDB $14,$1E ;Temp0", "\tDB $01,$02 ;Mode0", "\tDB $03,$00 ;Mode1",
                      "\tDB $00,$03 ;Fan0", "\tDB $01,$02 ;Vane0"});
  EXPECT_EQ(control, 0x04);
}

// The power key's two frames in two formats: each power part goes into the
// list of its own format, with both state values, and never into a status entry.
TEST(PartsTablesB, PowerPartsOfTwoFormatsGoToTheirOwnLists) {
  Record r;
  r.Format(0, "<0>[16]<1>", {0, 2, 3, 4, 5}, {0, 0});
  r.Format(1, "<0>[8]<1>", {1, store::kPowerSecondFrameMarker}, {0});
  r.rec.Keys[0].Slot2 = 1;
  r.rec.Keys[1].Slot = 1;
  r.Column(0, 0, 1, {1, 255});  // only in the first frame
  r.Column(0, 1, 1, {255, 1});  // only in the second frame
  r.Column(1, 4, 4, {2, 3});
  r.Column(3, 4, 2, {0, 3});
  Lines relation, table;
  std::uint8_t control = 0;
  ASSERT_EQ(r.RunB(relation, table, control), 0);
  const Lines first =
      G({"\t ;初始化数据0--------------------------------", "\tDB $07;byte count=7-1", "\t ;Power0初始化",
         "\tDB $00\t;起始字节0", "\tDB 00000000B\t;起位:0,位数:1", "\tDB $01\t;status=0",
         "\tDB $FF\t;status=1", "\t ;Fan0初始化", "\tDB $00\t;起始字节0", "\tDB 11001100B\t;起位:4,位数:2",
         "\tDB 01000000B\t", "\tDB 01000000B\t"});
  const Lines second =
      G({"\t ;初始化数据1--------------------------------", "\tDB $07;byte count=7-1", "\t ;Power1初始化",
         "\tDB $00\t;起始字节0", "\tDB 00000001B\t;起位:1,位数:1", "\tDB $FF\t;status=0",
         "\tDB $01\t;status=1", "\t ;Temp0初始化", "\tDB $00\t;起始字节0", "\tDB 11011100B\t;起位:4,位数:4",
         "\tDB 00010000B\t", "\tDB 00010000B\t"});
  EXPECT_NE(std::search(relation.begin(), relation.end(), first.begin(), first.end()), relation.end());
  EXPECT_NE(std::search(relation.begin(), relation.end(), second.begin(), second.end()), relation.end());
  EXPECT_EQ(std::count(relation.begin(), relation.end(), G("\t ;Power0初始化")), 1);
  EXPECT_EQ(std::count(relation.begin(), relation.end(), G("\t ;Power1初始化")), 1);
  EXPECT_EQ(std::count(relation.begin(), relation.end(), "\tDB $01\t;status=0"), 1);
  const Lines power =
      G({"\t ;====Power-------------------------", "\tDB $00 ;byte count=0-1", "\t ;Power的变化区域"});
  EXPECT_NE(std::search(relation.begin(), relation.end(), power.begin(), power.end()), relation.end());
}

TEST(PartsTablesB, FormatWithoutInitializationDataIsSkippedInTheNumbering) {
  Record r;
  r.Format(0, "<0>[8]<1>", {1}, {0});
  r.Format(1, "<0>[16]<1>", {0, 2, 3, 4, 5, store::kPowerSecondFrameMarker}, {0, 0});
  for (int k = 0; k < 6; ++k) r.rec.Keys[k].Slot = k == 1 ? 0 : 1;
  r.Column(1, 0, 4, {5, 6}, 241);  // a step part needs no initialization
  r.Column(0, 0, 1, {0, 1});
  r.Column(3, 4, 2, {0, 3});
  Lines relation, table;
  std::uint8_t control = 0;
  ASSERT_EQ(r.RunB(relation, table, control), 0);
  ExpectLines(Lines(relation.begin(), relation.begin() + 9),
              G({";==基础数据0", "\tDB $02\t;码数2", "\tDB 00000000B\t;码值0", "\tDB $00\t; 初始化字节数",
                 "\tDB 00000000B\t;没有初始化", ";==基础数据1", "\tDB $03\t;码数3", "\tDB 00000000B\t;码值0",
                 "\tDB 00000000B\t;码值1"}));
  EXPECT_EQ(relation[9], G("\tDB $07\t; 初始化字节数"));
  EXPECT_EQ(relation[10], G("\tDB 11000000B\t;初始化0"));
  EXPECT_EQ(
      std::count(relation.begin(), relation.end(), G("\t ;初始化数据0--------------------------------")), 1);
  EXPECT_EQ(
      std::count(relation.begin(), relation.end(), G("\t ;初始化数据1--------------------------------")), 0);
}

// ---- What the firmware reads --------------------------------------------------
// The generated tables go through the table image into the chip emulator: a
// pressed key must put its state's value into its field of the frame bytes.

void TimingOf(store::TdiskAir& rec) {
  rec.Params.LogicCount = 2;
  rec.Params.SplitCount = 2;
  rec.Params.Logic[0] = {560, -560, ir::kUnusedDuration, ir::kUnusedDuration};
  rec.Params.Logic[1] = {560, -1690, ir::kUnusedDuration, ir::kUnusedDuration};
  rec.Params.Split[0] = {9000, -4500};
  rec.Params.Split[1] = {560, -20000};
}

std::int64_t Field(const base::Bytes& frame, int bit, int width) {
  std::int64_t v = 0;
  for (int i = 0; i < width; ++i)
    v |= static_cast<std::int64_t>((frame[static_cast<std::size_t>((bit + i) / 8)] >> ((bit + i) % 8)) & 1)
         << i;
  return v;
}

struct Press {
  int key;
  std::array<int, 6> states;
  int bit, width;
  std::int64_t value;
};

void ExpectPresses(const store::TdiskAir& rec, const store::TBtnLines& lines,
                   const std::vector<Press>& presses) {
  base::Bytes image;
  ASSERT_EQ(BuildTableImage(rec, lines, false, config::TimingAdjustments{}, image), 0);
  for (const Press& p : presses) {
    TACRusher rusher;
    StateBlock block{};
    for (int k = 0; k < 6; ++k) block[static_cast<std::size_t>(k)] = p.states[static_cast<std::size_t>(k)];
    block[6] = p.key;
    rusher.Load(true, image, block);
    ir::TIRIntegerArr durations;
    ASSERT_TRUE(rusher.Run(durations)) << "key " << p.key;
    EXPECT_EQ(rusher.ErrorCode(), 0) << "key " << p.key;
    EXPECT_EQ(Field(rusher.FrameBytes(), p.bit, p.width), p.value) << "key " << p.key;
  }
}

TEST(PartsTablesFirmware, GeneratorAStatusEntriesSetThePressedKeysField) {
  Record r;
  TimingOf(r.rec);
  r.rec.Slots[0].Text.assign("<0>[32]<1>");
  fixtures::SetSixKeyStateCounts(r.rec);
  std::vector<int> temps;
  for (int i = 0; i < 15; ++i) temps.push_back(16 + i);
  r.Column(0, 0, 1, {0, 1}, 1);
  r.Column(1, 8, 5, temps, 1);
  r.Column(2, 16, 3, {0, 1, 2, 3, 4}, 1);
  r.Column(3, 20, 2, {3, 2, 1, 0}, 1);
  r.Column(4, 22, 1, {1, 0}, 1);
  r.Column(5, 24, 3, {0, 1, 2, 3, 4, 5, 6}, 1);
  const std::array<int, 6> st = {1, 4, 2, 3, 1, 5};
  ExpectPresses(r.rec, r.lines,
                {{0, st, 0, 1, 1},
                 {1, st, 8, 5, 20},
                 {2, st, 16, 3, 2},
                 {3, st, 20, 2, 0},
                 {4, st, 22, 1, 0},
                 {5, st, 24, 3, 5}});
}

TEST(PartsTablesFirmware, GeneratorBInitializationListRunsForItsFormat) {
  Record r;
  TimingOf(r.rec);
  r.rec.Slots[0].Text.assign("<0>[32]<1>");
  r.rec.Slots[1].Text.assign("<0>[16]<1>");
  fixtures::SetSixKeyStateCounts(r.rec);
  r.rec.Keys[1].Slot = 1;
  std::vector<int> temps;
  for (int i = 0; i < 15; ++i) temps.push_back(30 - i);
  r.Column(0, 0, 1, {0, 1}, 1);
  r.Column(1, 3, 5, temps);  // not included: initialization data of format 1
  r.Column(2, 16, 3, {0, 1, 2, 3, 4}, 1);
  r.Column(3, 20, 2, {3, 2, 1, 0}, 1);
  r.Column(4, 22, 1, {1, 0}, 1);
  r.Column(5, 24, 3, {0, 1, 2, 3, 4, 5, 6}, 1);
  const std::array<int, 6> st = {1, 4, 2, 3, 1, 5};
  ExpectPresses(r.rec, r.lines, {{1, st, 3, 5, 26}, {2, st, 16, 3, 2}, {0, st, 0, 1, 1}});
}

TEST(PartsTablesFirmware, ModeStateThatFixesTheTemperatureWins) {
  Record r;
  TimingOf(r.rec);
  r.rec.Slots[0].Text.assign("<0>[32]<1>");
  fixtures::SetSixKeyStateCounts(r.rec);
  r.rec.Keys[2].Extra[0] = 0b00100;  // mode state 2 sends temperature 25
  std::vector<int> temps;
  for (int i = 0; i < 15; ++i) temps.push_back(16 + i);
  r.Column(0, 0, 1, {0, 1}, 1);
  r.Column(1, 8, 5, temps);
  r.Column(2, 16, 3, {0, 1, 2, 3, 4}, 1);
  r.Column(3, 20, 2, {3, 2, 1, 0}, 1);
  const std::string zero(32, '0');
  r.lines[0] = {CodeLine(zero), CodeLine(zero)};
  r.lines[1] = {CodeLine(zero)};
  r.lines[2] = std::vector<store::TGrdDataLine>(5, CodeLine(zero));
  r.lines[2][2] = CodeLine(
      "00000000"
      "10011" +
      std::string(19, '0'));
  ExpectPresses(r.rec, r.lines,
                {{1, {1, 4, 2, 0, 0, 0}, 8, 5, 25},
                 {1, {1, 4, 0, 0, 0, 0}, 8, 5, 20},
                 {2, {1, 6, 3, 0, 0, 0}, 16, 3, 3}});
}

TEST(PartsTablesB, PowerSpecialPartUsesOneGroupForBothBits) {
  Record r;
  r.Format(0, "<0>[16]<1>", {0, 1, 2, 3, 4, 5}, {0, 0});
  r.Format(1, "<0>[8]<1>", {store::kPowerSecondFrameMarker}, {0});
  r.rec.Keys[0].Slot2 = 1;
  r.Column(0, 8, 1, {241, 0});
  r.Column(3, 8, 1, {1, 0});
  r.Column(2, 0, 2, {1, 2});
  Lines relation, table;
  std::uint8_t control = 0;
  ASSERT_EQ(r.RunB(relation, table, control), 0);
  const Lines special =
      G({"\t ;====Power-------------------------", "\tDB $07;byte count=8-1", "\t ;Power的变化区域",
         "\t ;关含有两边置1的特殊情况", "\t;Power|Fan", "\tDB $01\t;起始字节1",
         "\tDB 01000000B\t;起位:0,位数:1", "\tDB 00000001B\t;取这里值", "\tDB 01000000B\t;取Fan的0组值",
         "\tDB $01\t;起始字节1", "\tDB 01000010B\t;起位:2,位数:1", "\tDB 00000001B\t;取这里值",
         "\tDB 01000000B\t;取Fan的0组值"});
  EXPECT_NE(std::search(relation.begin(), relation.end(), special.begin(), special.end()), relation.end());
}

// Arbitrary records (any state counts, kinds, values, masks, slots and code
// lines) never make a generator read outside its data; the results stay in range.
TEST(PartsTables, ArbitraryRecordsAreHandledSafely) {
  std::mt19937 rng(20261210);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  const int kinds[] = {0, 1, 241, 208, 209, 210, 212, 215, 255};
  const int values[] = {0, 1, 2, 5, 15, 241, 255};
  for (int round = 0; round < 150; ++round) {
    Record r;
    r.rec.KeyCount = static_cast<std::uint8_t>(pick(10));
    r.rec.LsbFirst = static_cast<std::uint8_t>(pick(2));
    r.lines.assign(static_cast<std::size_t>(pick(9)), {});
    const int format_count = 1 + pick(4);
    for (int f = 0; f < format_count; ++f) {
      std::vector<std::uint8_t> keys;
      for (int k = 0; k < 8; ++k)
        if (pick(2)) keys.push_back(static_cast<std::uint8_t>(k));
      r.Format(
          f,
          pick(5) ? "<0>[" + std::to_string(1 + pick(80)) + "]<1>[" + std::to_string(1 + pick(20)) + "]" : "",
          keys, {static_cast<std::uint8_t>(pick(256))});
    }
    for (int k = 0; k < 8; ++k) {
      store::TdiskKey& key = r.rec.Keys[static_cast<std::size_t>(k)];
      key.StateCount = static_cast<std::uint8_t>(pick(3) ? pick(17) : pick(256));
      key.Slot = static_cast<std::uint8_t>(pick(3) ? pick(format_count) : pick(256));
      key.Slot2 = static_cast<std::uint8_t>(pick(3) ? 255 : pick(10));
      key.FixedFlags = static_cast<std::uint8_t>(pick(256));
      key.Extra[0] = static_cast<std::uint8_t>(pick(256));
      key.Extra[1] = static_cast<std::uint8_t>(pick(256));
      for (int c = pick(6); c > 0; --c) {
        std::vector<int> v;
        for (int s = 0; s < 16; ++s) v.push_back(values[pick(7)]);
        r.Column(k, pick(100), 1 + pick(9), v, kinds[pick(9)]);
        r.rec.Keys[static_cast<std::size_t>(k)].Columns[0].Frame = static_cast<std::uint8_t>(pick(3));
      }
    }
    for (auto& key_lines : r.lines)
      for (int n = pick(7); n > 0; --n) {
        store::TGrdDataLine line = CodeLine(std::string(static_cast<std::size_t>(pick(90)), '1'));
        line.Repeat = static_cast<std::uint16_t>(pick(4));
        key_lines.push_back(line);
      }
    for (int which = 0; which < 3; ++which) {
      Lines relation, table;
      std::uint8_t control = 0;
      const PartsInput in{r.rec, r.formats, r.lines, pick(2) == 1, pick(2) == 1};
      const int rc = which == 0   ? WritePartsTablesA(in, relation, control, table)
                     : which == 1 ? WritePartsTablesB(in, relation, control, table)
                                  : WriteKeyTable(in, relation);
      EXPECT_TRUE(rc >= 0 && rc <= kPartsResultReference) << round << " " << which << " " << rc;
    }
  }
}

TEST(PartsTablesB, IncludedMovingAreaIsWrittenInItsKeySection) {
  Record r;
  r.Format(0, "<0>[16]<1>", {0, 2, 3, 4, 5}, {0, 0});
  r.Format(1, "<0>[8]<1>", {1}, {0});
  r.rec.Keys[1].Slot = 1;
  r.rec.Keys[2].Name.assign("ModeKeyWithALongName");
  r.Column(2, 8, 2, {1, 2});
  r.Column(3, 0, 2, {1, 2});
  r.Column(4, 0, 2, {0, 0}, 208 + 2);  // overlaps the fan field: included
  Lines relation, table;
  std::uint8_t control = 0;
  ASSERT_EQ(r.RunB(relation, table, control), 0);
  // Names hold at most 15 bytes, so the length limits of the name line never cut it.
  const Lines swing = {"\t ;====Swing-------------------------",
                       "\tDB $03;byte count=4-1",
                       G("\t ;Swing的变化区域"),
                       G("\t ;Swing有移动区域") + "ModeKeyWithALon" + G("的变化"),
                       G("\tDB $00\t;起始字节0"),
                       G("\tDB 11001000B\t;起位:0,位数:2"),
                       "\tDB 00110000B\t",
                       "\tDB 00110000B\t"};
  EXPECT_NE(std::search(relation.begin(), relation.end(), swing.begin(), swing.end()), relation.end());
}

TEST(PartsTables, ByteCountLineOfShortKeys) {
  struct Case {
    int count;
    bool blank;
    const char* expected;
  } cases[] = {
      {0, false, "\tDB $00;byte count=0-1"},   {1, false, "\tDB $00;byte count=1-1"},
      {1, true, "\tDB $00 ;byte count=1-1"},   {2, true, "\tDB $01;byte count=2-1"},
      {24, false, "\tDB $17;byte count=24-1"},
  };
  for (const Case& c : cases) EXPECT_EQ(ByteCountLine(c.count, c.blank), c.expected) << c.count;
}

TEST(PartsTables, FormatBaseData) {
  store::Tex_gsstrut f;
  f.Text = "<0>[16]<1><0>[16]<1>";
  f.CodeData = {0x81, 0x02, 0x81, 0x02};
  f.CodeData.resize(64);
  f.KeyField = 2;
  Lines out;
  EXPECT_EQ(WriteFormatBaseData(f, out, true, false), 5);
  EXPECT_EQ(out,
            G(std::vector<std::string>{"\tDB $05\t;码数5", "\tDB 10000001B\t;码值0", "\tDB 00000010B\t;码值1",
                                       "\tDB 10000001B\t;码值2", "\tDB 00000010B\t;码值3",
                                       "\tDB $00\t; init bytes count", "\tDB 01000011B\t;格式初始化按键"}));
  // Frames that share their data keep the bytes of one frame; generator B writes key byte 0.
  f.FramesShareData = 1;
  out.clear();
  EXPECT_EQ(WriteFormatBaseData(f, out, false, false), 3);
  EXPECT_EQ(out.front(), G("\tDB $03\t;码数3"));
  EXPECT_EQ(out.back(), G("\tDB 00000000B\t;格式初始化按键"));
  // The triple-frame records keep the first and the fourth data element.
  f.Text = "<0>[16]<1><0>[16]<1><0>[16]<1><2>[8]<3><2>[8]<3><2>[8]<3>";
  f.CodeData = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  f.CodeData.resize(64);
  f.FramesShareData = 0;
  out.clear();
  EXPECT_EQ(WriteFormatBaseData(f, out, false, true), 4);
  EXPECT_EQ(out[0], G("\tDB $04\t;码数4"));
  EXPECT_EQ(out[3], G("\tDB 00000111B\t;码值2"));
  // Nothing for a format without data.
  f.Text = "<0><1>";
  out.clear();
  EXPECT_EQ(WriteFormatBaseData(f, out, true, false), -1);
  EXPECT_TRUE(out.empty());
}

}  // namespace
}  // namespace klimavo::firmware
