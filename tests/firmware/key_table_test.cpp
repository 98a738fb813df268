#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/gbk.h"
#include "firmware/parts_tables.h"

namespace klimavo::firmware {
namespace {

// Comments are GBK in the output; the expectations are written in UTF-8.
std::string G(const std::string& utf8) { return base::Utf8ToGbk(utf8).value(); }

// A remote without display: six keys (2, 2, 5, 4, 2 and 3 states) whose codes
// sit in slots 0 to 6, all equal to `code` unless changed by the test.
store::TdiskAir KeyTableRecord(const std::string& text, const std::vector<std::uint8_t>& code) {
  store::TdiskAir r;
  r.RemoteType = 1;
  r.KeyCount = 6;
  const char* names[] = {"Power", "Temp", "Mode", "Fan", "Swing", "Vane"};
  const std::uint8_t states[] = {2, 2, 5, 4, 2, 3};
  for (int k = 0; k < 6; ++k) {
    r.Keys[k].Name.assign(names[k]);
    r.Keys[k].StateCount = states[k];
  }
  r.Slots[0].Text.assign(text);
  for (int s = 0; s <= 6; ++s)
    for (std::size_t i = 0; i < code.size(); ++i) r.Slots[s].Code[i] = code[i];
  return r;
}

Lines RunKeyTable(const store::TdiskAir& r, int* result = nullptr) {
  store::Tex_gssList formats;
  store::TBtnLines lines;
  Lines out;
  const int rc = WriteKeyTable({r, formats, lines, false}, out);
  if (result) *result = rc;
  return out;
}

Lines BaseBlock(const std::vector<std::uint8_t>& code) {
  Lines l = {G(";==基础数据0"), "\tDB $" + std::string(code.size() + 1 < 16 ? "0" : "") +
                                    std::to_string(code.size() + 1) + "\t" + G(";码值数") +
                                    std::to_string(code.size() + 1)};
  for (std::size_t i = 0; i < code.size(); ++i) {
    std::string bin;
    for (int b = 7; b >= 0; --b) bin += ((code[i] >> b) & 1) ? '1' : '0';
    l.push_back("\tDB " + bin + "B\t" + G(";码值") + std::to_string(i));
  }
  l.push_back("\tDB 00000000B\t");
  l.push_back("\tDB 00000000B\t" + G(";无屏无效"));
  return l;
}

TEST(KeyTable, SlotsDifferingInOneByteWriteOneEntryPerKey) {
  const std::vector<std::uint8_t> code = {0x10, 0x20, 0x30, 0x40, 0x50, 0x60};
  store::TdiskAir r = KeyTableRecord("<0>[48]<1>", code);
  for (int s = 0; s <= 6; ++s) r.Slots[s].Code[5] = static_cast<std::uint8_t>(0xA0 + s);
  int rc = -1;
  Lines expected = BaseBlock({0x10, 0x20, 0x30, 0x40, 0x50, 0xA0});  // slot 0's bytes
  const std::string start = "\tDB $05\t" + G(";起始字节5");
  const std::string layout = "\tDB 00111000B\t" + G(";起位:0,位数:8");
  const std::string global = "\tDB 00000000B\t" + G(";从全局中取,=0从下面中取");
  auto status = [](int slot, int n) {
    Lines l;
    for (int i = 0; i < n; ++i)
      l.push_back("\tDB $A" + std::to_string(slot) + "\t;status=" + std::to_string(i));
    return l;
  };
  auto add = [&](const Lines& l) { expected.insert(expected.end(), l.begin(), l.end()); };
  add({"\t ;====Power-------------------------", "\tDB $03;byte count=4-1", start, layout});
  add(status(0, 2));
  // Temperature: "+" from slot 1, "-" from the last slot (the key count).
  add({"\t ;====Temp-------------------------", "\tDB $03;byte count=4-1", start, layout, "\tDB $A1\t;temp+",
       "\tDB $A6\t;temp-"});
  add({"\t ;====Mode-------------------------", "\tDB $07;byte count=8-1", global, start, layout});
  add(status(2, 5));
  add({"\t ;====Fan-------------------------", "\tDB $06;byte count=7-1", global, start, layout});
  add(status(3, 4));
  add({"\t ;====Swing-------------------------", "\tDB $03;byte count=4-1", start, layout});
  add(status(4, 2));
  // Vane writes one state whatever its state count.
  add({"\t ;====Vane-------------------------", "\tDB $02;byte count=3-1", start, layout});
  add(status(5, 1));
  EXPECT_EQ(RunKeyTable(r, &rc), expected);
  EXPECT_EQ(rc, 0);
}

TEST(KeyTable, EqualSlotsWriteOnlyTitlesWithCountFF) {
  const std::vector<std::uint8_t> code = {0xC3, 0x01};
  int rc = -1;
  Lines expected = BaseBlock(code);
  for (const char* name : {"Power", "Temp", "Mode", "Fan", "Swing", "Vane"}) {
    expected.push_back(std::string("\t ;====") + name + "-------------------------");
    expected.push_back("\tDB $FF;byte count=0-1");
  }
  EXPECT_EQ(RunKeyTable(KeyTableRecord("<0>[16]<1>", code), &rc), expected);
  EXPECT_EQ(rc, 0);
}

TEST(KeyTable, LastByteCarriesTheRemainingBitsAndTitleIsTrimmed) {
  store::TdiskAir r = KeyTableRecord("<0>[12]<1>", {0x00, 0x05});
  r.KeyCount = 1;
  r.Keys[0].Name.assign(" Power ");
  r.Slots[1].Code[1] = 0x0A;
  const Lines out = RunKeyTable(r);
  const Lines tail(out.end() - 6, out.end());
  EXPECT_EQ(tail, (Lines{"\t ;====Power-------------------------", "\tDB $03;byte count=4-1",
                         "\tDB $01\t" + G(";起始字节1"), "\tDB 00011000B\t" + G(";起位:0,位数:4"),
                         "\tDB $05\t;status=0", "\tDB $05\t;status=1"}));
}

// Most significant bit first, prepared: slot 0 carries the format text, so its
// 4 bits of the partial byte were moved to the top (0x50); slots without text
// keep them low (0x0A). A part writes the low bits of its value, so key 0 must
// write 5, not the moved byte's low bits 0.
TEST(KeyTable, PartialByteOfAPreparedMsbFirstSlotIsWrittenWithItsBitsLow) {
  store::TdiskAir r = KeyTableRecord("<0>[12]<1>", {0x00, 0x05});
  r.LsbFirst = 0;
  r.KeyCount = 1;
  r.Slots[0].Code[1] = 0x50;
  r.Slots[1].Code[1] = 0x0A;
  const Lines out = RunKeyTable(r);
  const Lines tail(out.end() - 6, out.end());
  EXPECT_EQ(tail, (Lines{"\t ;====Power-------------------------", "\tDB $03;byte count=4-1",
                         "\tDB $01\t" + G(";起始字节1"), "\tDB 00011000B\t" + G(";起位:0,位数:4"),
                         "\tDB $05\t;status=0", "\tDB $05\t;status=1"}));
  // The base code stays as the frame sends it.
  EXPECT_EQ(out[3], "\tDB 01010000B\t" + G(";码值1"));
}

TEST(KeyTable, Refusals) {
  struct Case {
    const char* name;
    const char* text;
    int keys;
    int result;
  } cases[] = {
      {"no format in slot 0", "", 6, 1},
      {"no keys", "<0>[16]<1>", 0, 1},
      // 65 bytes do not fit the 64 stored code bytes nor the 6-bit byte index.
      {"code longer than 64 bytes", "<0>[520]<1>", 6, kPartsResultByteIndex},
  };
  for (const Case& c : cases) {
    store::TdiskAir r = KeyTableRecord(c.text, {});
    r.KeyCount = static_cast<std::uint8_t>(c.keys);
    int rc = -1;
    EXPECT_TRUE(RunKeyTable(r, &rc).empty()) << c.name;
    EXPECT_EQ(rc, c.result) << c.name;
  }
}

}  // namespace
}  // namespace klimavo::firmware
