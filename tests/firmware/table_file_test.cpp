// The main table file: record preparation, the record sections and index
// sections line for line, the error lines, and the file on disk (GBK, CR LF).
#include "firmware/table_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "base/atomic_file.h"
#include "firmware/crc_tables.h"
#include "firmware/record_preparation.h"
#include "firmware/six_key_record.h"

namespace klimavo::firmware {
namespace {

store::TdiskAir SixKeyRecord(const std::string& brand = "Acme", const std::string& code = "0001") {
  return fixtures::SixKeyRecord(brand, code);
}

using fixtures::LibraryOf;

Lines FileFor(const std::vector<store::TdiskAir>& records, std::vector<std::string>* messages = nullptr) {
  store::ProtocolLibrary library = LibraryOf(records);
  std::vector<int> indices(records.size());
  for (std::size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<int>(i);
  return TableFileLines(library, indices, config::TimingAdjustments{}, [&](const std::string& m) {
    if (messages) messages->push_back(m);
  });
}

bool Has(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

TEST(TableFile, NoRecords) {
  const Lines expected = {"SEND_FRAME_INDEX:",
                          "",
                          "SEND_FRAME_CRC_TABLE:",
                          "",
                          "SEND_DATA_TABLE:",
                          "",
                          "SEND_DATA_FRAME_RELATION:",
                          "",
                          "SEND_FRAME_TABLE:",
                          ";================================table ini start ",
                          "",
                          ";================================table ini stop ",
                          "; frame table"};
  EXPECT_EQ(FileFor({}), expected);
}

TEST(TableFile, OneRecordLineForLine) {
  // Remote without display: the key table generator, no parts table.
  store::TdiskAir record = SixKeyRecord("A-B C", "0012");
  record.RemoteType = 1;
  record.LsbFirst = 0;
  store::TdiskAir copy = record;
  PreparedFormats prepared = PrepareRecordForTables(copy);
  ASSERT_EQ(prepared.status, PrepareStatus::kOk);
  std::uint8_t control = 0;
  Lines relation;
  Lines table;
  ASSERT_EQ(
      RunPartsGenerator(copy, prepared.formats, store::TBtnLines(6), false, false, relation, control, table),
      0);
  ASSERT_TRUE(table.empty());
  Lines frame;
  GeneratorSettings settings;
  FrameFormatList frames;
  ASSERT_EQ(frames.AddFrameFormat(copy, "<0>[32]<1>", 0, settings), 0);
  frames.WriteFrameTables(frame, settings);

  Lines expected = {
      "SEND_FRAME_INDEX:",
      "\tDW A_B_C_0012_RELATION_INI",
      "",
      "SEND_FRAME_CRC_TABLE:",
      "",
      "SEND_DATA_TABLE:",
      "",
      "SEND_DATA_FRAME_RELATION:",
      "\tDW A_B_C_0012_RELATION",
      "",
      "SEND_FRAME_TABLE:",
      "\tDW pub_frame_table0",
      ";================================table ini start ",
      "A_B_C_0012_RELATION_INI:",
      "\tDB " + BinByte(0x20 + control + 192) + "B\t" + ToGbk(";控制字节"),  // MSB first, raised by 192
      "\tDW $0000\t; table",
      "\tDW $0000\t; _RELATION",
      "\tDW $0000\t; pub_frame_table0",
      "",
      "",
      ";================================table ini stop ",
      ToGbk(";*******空调:A-B C 编号0012*****************************start"),
      "A_B_C_0012_RELATION:"};
  expected.insert(expected.end(), relation.begin(), relation.end());
  expected.push_back("");
  expected.push_back("; frame table");
  expected.insert(expected.end(), frame.begin(), frame.end());
  EXPECT_EQ(FileFor({record}), expected);
}

TEST(TableFile, ChecksumAndPartsSections) {
  store::TdiskAir record = SixKeyRecord();
  record.Slots[0].Text.assign("<0>[40]<1>");
  record.HasChecksum = 1;
  record.Slots[0].Crc.HasChecksum = 1;
  record.Slots[0].Crc.Count = 1;
  ir::TCrcItem& item = record.Slots[0].Crc.Items[0];
  item.TargetBit = 32;
  item.ZoneCount = 1;
  item.Zones[0] = {0, 0, 0, 31};
  Lines lines = FileFor({record, record});
  EXPECT_TRUE(Has(lines, "\tDW Acme_0001_CRC"));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "\tDW Acme_0001_TABLE"), 2);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "Acme_0001_CRC:"), 2);
  EXPECT_TRUE(Has(lines, "\tDW $0000\t;crc index"));
  EXPECT_TRUE(Has(lines, "\tDW $0001\t;crc index"));  // indexes count the references before the record
  EXPECT_TRUE(Has(lines, "\tDW $0001\t; table"));
  EXPECT_TRUE(Has(lines, "\tDW $0001\t; _RELATION"));
  // Both records send the same format: one frame table, named twice.
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "\tDW $0000\t; pub_frame_table0"), 2);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "pub_frame_table0:"), 1);
  EXPECT_FALSE(Has(lines, "\tDW pub_frame_table1"));
  auto crc = std::find(lines.begin(), lines.end(), "Acme_0001_CRC:");
  ASSERT_NE(crc, lines.end());
  Lines crc_lines;
  store::TdiskAir copy = record;
  PreparedFormats prepared = PrepareRecordForTables(copy);
  ASSERT_EQ(WriteCrcTable(copy, crc_lines, prepared.formats), 0);
  EXPECT_TRUE(std::equal(crc_lines.begin(), crc_lines.end(), crc + 1));
  EXPECT_EQ(*(crc + 1 + static_cast<std::ptrdiff_t>(crc_lines.size())), "");
  EXPECT_EQ(*(crc + 2 + static_cast<std::ptrdiff_t>(crc_lines.size())), "Acme_0001_RELATION:");
}

struct ErrorCase {
  const char* name;
  void (*change)(store::TdiskAir&);
  int code;
};

TEST(TableFile, FailingRecordsLeaveAnErrorLine) {
  const ErrorCase cases[] = {
      {"five keys", [](store::TdiskAir& r) { r.KeyCount = 5; }, kFileErrKeyCount},
      {"seven keys", [](store::TdiskAir& r) { r.KeyCount = 7; }, kFileErrTooManyKeys},
      {"format without key", [](store::TdiskAir& r) { r.Slots[1].Text.assign("<0>[32]<1>"); },
       kFileErrFormatWithoutKey},
      {"five formats",
       [](store::TdiskAir& r) {
         for (std::size_t k = 1; k < 5; ++k) {
           r.Slots[k].Text.assign("<0>[32]<1>");
           r.Keys[k].Slot = static_cast<std::uint8_t>(k);
         }
       },
       kFileErrTooManyFormats},
      {"no format", [](store::TdiskAir& r) { r.Slots[0].Text.assign(""); }, kFileErrNoFormat},
      {"parts in two keys",
       [](store::TdiskAir& r) {
         for (std::size_t k = 2; k < 6; ++k) r.Keys[k].Columns[0].Frame = store::kUnusedFrame;
       },
       1 - kPartsErrorBase},
      {"four logic codes", [](store::TdiskAir& r) { r.Params.LogicCount = 4; }, kFileErrTables},
      {"untranslatable checksum",
       [](store::TdiskAir& r) {
         r.HasChecksum = 1;
         r.Slots[0].Crc.HasChecksum = 1;
         r.Slots[0].Crc.Items[0].ZoneCount = 1;
         r.Slots[0].Crc.Items[0].Kind = 4;
       },
       kFileErrTables},
      {"structure above 64 bytes", [](store::TdiskAir& r) { r.Slots[0].Text.assign("(<0>[32]<1>)*11"); },
       kErrStructureOverflow},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    store::TdiskAir record = SixKeyRecord("A-B C", "0012");
    c.change(record);
    std::vector<std::string> messages;
    Lines lines = FileFor({record}, &messages);
    const std::string code = std::to_string(c.code);
    EXPECT_EQ(messages, std::vector<std::string>{"A_B_C_0012:" + code});
    auto header = std::find(lines.begin(), lines.end(),
                            ToGbk(";*******空调:A-B C 编号0012*****************************start"));
    ASSERT_NE(header, lines.end());
    EXPECT_EQ(*(header + 1), "\tA_B_C_0012 err:" + code);
    EXPECT_FALSE(Has(lines, "A_B_C_0012_RELATION_INI:"));
  }
}

TEST(TableFile, KeyFormatWordOfTwoFormats) {
  store::TdiskAir record = SixKeyRecord();
  record.Slots[1] = record.Slots[0];
  record.Keys[1].Slot = 1;
  record.Keys[0].Slot2 = 1;
  store::Tex_gssList formats = store::BuildFormatList(record);
  EXPECT_EQ(KeyFormatWord(record, formats), 0b0000000000010100);
  Lines lines = FileFor({record});
  EXPECT_TRUE(Has(lines, "\tDW 0000000000010100B\t" + ToGbk("; 每个按键对应格式")));
  EXPECT_TRUE(Has(lines, "\tDW $0000\t; pub_frame_table0"));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "\tDW $0000\t; pub_frame_table0"),
            2);  // both formats alike
}

TEST(RecordLabel, BlanksAndDashes) {
  struct Case {
    const char* brand;
    const char* label;
  };
  const Case cases[] = {{"A-B C", "A_B_C_0012"}, {"  Acme ", "Acme_0012"}, {"A  B", "A__B_0012"}};
  for (const auto& c : cases) {
    store::TdiskAir r;
    r.Brand.assign(c.brand);
    r.CodeNo.assign(" 0012 ");
    EXPECT_EQ(RecordLabel(r), c.label);
  }
  store::TdiskAir r;
  r.Brand.assign(ToGbk("格力-1"));
  r.CodeNo.assign("0-7");
  EXPECT_EQ(RecordLabel(r), ToGbk("格力_1") + "_0_7");
}

TEST(PrepareRecordForTables, MsbFirstPartialBytesMoveToTheTop) {
  store::TdiskAir r = SixKeyRecord();
  r.LsbFirst = 0;
  r.Slots[0].Text.assign("<0>[12]<1>[8][4]");
  r.Slots[0].Code = {0xAB, 0x0C, 0x11, 0x05};
  ASSERT_EQ(PrepareRecordForTables(r).status, PrepareStatus::kOk);
  EXPECT_EQ(r.Slots[0].Code[0], 0xAB);
  EXPECT_EQ(r.Slots[0].Code[1], 0xC0);
  EXPECT_EQ(r.Slots[0].Code[2], 0x11);
  EXPECT_EQ(r.Slots[0].Code[3], 0x50);
}

TEST(PrepareRecordForTables, AppendOneBitShiftsCodesAndPositions) {
  for (int lsb = 0; lsb <= 1; ++lsb) {
    store::TdiskAir r = SixKeyRecord();
    r.LsbFirst = static_cast<std::uint8_t>(lsb);
    r.Slots[0].Code = {0x03, 0x80};
    r.Slots[0].Crc.HasChecksum = 1;
    r.Slots[0].Crc.Count = 1;
    ir::TCrcItem& item = r.Slots[0].Crc.Items[0];
    item.Kind = 8;
    item.TargetBit = 24;
    item.Zones[0].EndBit = 15;
    item.Zones[1].EndBit = 7;
    PreparedFormats p = PrepareRecordForTables(r);
    ASSERT_EQ(p.status, PrepareStatus::kOk);
    EXPECT_TRUE(p.seven_bit_first);
    EXPECT_EQ(r.Slots[0].Code[0], 0x01);
    EXPECT_EQ(r.Slots[0].Code[1], lsb ? 0x01 : 0xC0);
    EXPECT_EQ(item.TargetBit, 25);
    EXPECT_EQ(item.Zones[0].EndBit, 16);
    EXPECT_EQ(item.Zones[1].EndBit, 8);
    EXPECT_EQ(r.Keys[3].Columns[0].BitPos, 13);
    EXPECT_EQ(r.Keys[3].Columns[1].BitPos, 1);  // unused columns keep their position
    EXPECT_TRUE(p.formats[0].FramesShareData == 0);
  }
}

// Two 16-bit frames with the same bytes; every key has a column in both.
store::TdiskAir RepeatedFramesRecord() {
  store::TdiskAir r = SixKeyRecord();
  r.Slots[0].Text.assign("<0>[16]<1>[16]<2>");
  r.Slots[0].Code = {0x12, 0x34, 0x12, 0x34};
  for (std::size_t k = 0; k < 6; ++k) {
    auto& cols = r.Keys[k].Columns;
    cols[1] = cols[0];
    cols[1].Frame = 1;
  }
  return r;
}

TEST(FoldRepeatedFrames, FoldsAndRenumbersValueReferences) {
  store::TdiskAir r = RepeatedFramesRecord();
  r.Keys[2].Columns[2] = r.Keys[2].Columns[0];
  r.Keys[2].Columns[2].BitPos = 0;
  r.Keys[2].Columns[3] = r.Keys[2].Columns[2];
  r.Keys[2].Columns[3].Frame = 1;
  r.Keys[4].Columns[2].Frame = 0;    // the value of key 2's third used column
  r.Keys[4].Columns[2].BitPos = 24;  // outside the repeated frames
  r.Keys[4].Columns[2].Kind = 208 + 2;
  r.Keys[4].Columns[2].Values[0] = 2;
  PreparedFormats p = PrepareRecordForTables(r);
  ASSERT_EQ(p.status, PrepareStatus::kOk);
  EXPECT_EQ(p.formats[0].FramesShareData, 1);
  for (std::size_t k = 0; k < 6; ++k) {
    EXPECT_EQ(r.Keys[k].Columns[0].Frame, 0) << k;
    // Columns at bit 16 and above lie outside the 16-bit frames and stay.
    EXPECT_EQ(r.Keys[k].Columns[1].Frame, k < 4 ? store::kUnusedFrame : 1) << k;
  }
  EXPECT_EQ(r.Keys[2].Columns[3].Frame, store::kUnusedFrame);
  EXPECT_EQ(r.Keys[4].Columns[2].Values[0], 1);
}

TEST(FoldRepeatedFrames, LeavesFormatsThatDoNotRepeat) {
  struct Case {
    const char* name;
    void (*change)(store::TdiskAir&);
  };
  const Case cases[] = {
      {"bytes differ", [](store::TdiskAir& r) { r.Slots[0].Code[3] = 0x35; }},
      {"repeat count", [](store::TdiskAir& r) { r.Slots[0].Text.assign("(<0>[16]<1>[16]<2>)*2"); }},
      {"widths differ", [](store::TdiskAir& r) { r.Slots[0].Text.assign("<0>[16]<1>[8]<2>"); }},
      {"one run", [](store::TdiskAir& r) { r.Slots[0].Text.assign("<0>[32]<1>"); }},
      {"values differ", [](store::TdiskAir& r) { r.Keys[0].Columns[1].Values[1] = 9; }},
      {"column count", [](store::TdiskAir& r) { r.Keys[0].Columns[2] = r.Keys[0].Columns[0]; }},
      {"power key's second frame",
       [](store::TdiskAir& r) {
         r.Slots[1] = r.Slots[0];
         r.Keys[0].Slot2 = 1;
       }},
      {"seven bit first",
       [](store::TdiskAir& r) {
         r.Slots[0].Crc.HasChecksum = 1;
         r.Slots[0].Crc.Items[0].Kind = 8;
       }},
      {"remote without display", [](store::TdiskAir& r) { r.RemoteType = 1; }},
  };
  for (const auto& c : cases) {
    store::TdiskAir r = RepeatedFramesRecord();
    c.change(r);
    PreparedFormats p = PrepareRecordForTables(r);
    ASSERT_EQ(p.status, PrepareStatus::kOk) << c.name;
    EXPECT_EQ(p.formats[0].FramesShareData, 0) << c.name;
    EXPECT_EQ(r.Keys[1].Columns[1].Frame, 1) << c.name;
  }
}

TEST(SpecialCodeNumbers, TripleFrameRecordsKeepFrameZero) {
  store::TdiskAir r = RepeatedFramesRecord();
  r.HasChecksum = 1;
  r.Slots[0].Crc.HasChecksum = 1;
  r.Slots[0].Crc.Count = 3;
  r.CodeNo.assign(" 0149 ");
  EXPECT_TRUE(ApplySpecialCodeNumbers(r));
  EXPECT_EQ(r.Keys[2].Columns[0].Frame, 0);
  EXPECT_EQ(r.Keys[2].Columns[1].Frame, store::kUnusedFrame);
  EXPECT_EQ(r.Slots[0].Crc.Count, 1);
  const char* others[] = {"0146", "0151", "149", "01490"};
  for (const char* code : others) {
    store::TdiskAir o = RepeatedFramesRecord();
    o.CodeNo.assign(code);
    EXPECT_FALSE(ApplySpecialCodeNumbers(o)) << code;
    EXPECT_EQ(o.Keys[2].Columns[1].Frame, 1);
  }
}

TEST(WriteTableFile, WritesGbkWithCrLf) {
  auto dir = std::filesystem::temp_directory_path() / ("klimavo-table-file-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  store::ProtocolLibrary library = LibraryOf({SixKeyRecord(ToGbk("格力").c_str(), "0007")});
  std::vector<std::string> messages;
  EXPECT_EQ(WriteTableFile(dir / "acwn.txt", library, {0, 5}, config::TimingAdjustments{},
                           [&](const std::string& m) { messages.push_back(m); }),
            0);
  auto bytes = base::ReadWholeFile(dir / "acwn.txt");
  ASSERT_TRUE(bytes);
  std::string text(bytes->begin(), bytes->end());
  EXPECT_EQ(text, JoinCrLf(TableFileLines(library, {0}, config::TimingAdjustments{}, nullptr)));
  EXPECT_EQ(text.substr(0, 19), "SEND_FRAME_INDEX:\r\n");
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_NE(text.find(ToGbk(";*******空调:格力 编号0007")), std::string::npos);
  EXPECT_EQ(text.find("\n\n"), std::string::npos);  // every line end is CR LF
  EXPECT_TRUE(messages.empty());
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace klimavo::firmware
