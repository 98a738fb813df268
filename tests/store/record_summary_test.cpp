#include "store/record_summary.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "store/library.h"

namespace klimavo::store {
namespace {

namespace fs = std::filesystem;

// A home whose language file gives short, recognisable texts.
class SummaryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "klimavo-summary-XXXXXX").string();
    home_ = ::mkdtemp(pattern.data());
    fs::create_directories(home_ / "data");
    std::ofstream ini(home_ / "data" / "Language.ini", std::ios::binary);
    ini << "[1]\r\ncon_str048=.\r\ncon_str049=/\r\ncon_str050=bits\r\ncon_str053=Carrier\r\n"
           "con_str054=Logic:\r\ncon_str055=Split:\r\ncon_str056=Format\r\ncon_str057=Code:\r\n"
           "con_str058=CRC\r\n";
  }
  void TearDown() override { fs::remove_all(home_); }
  fs::path home_;
};

TEST_F(SummaryTest, NewRecordIsFourLines) {
  TdiskAir r;
  InitRecord(r, 0);
  EXPECT_EQ(RecordSummaryText(r, lang::Language(home_, 1)), "Carrier:38000 LSB\r\nLogic:\r\nSplit:\r\n\r\n");
}

TdiskAir RecordWithChecksums() {
  TdiskAir r;
  InitRecord(r, 0);
  r.LsbFirst = 0;
  r.Params.LogicCount = 3;  // the third code has no durations and adds nothing
  r.Params.Logic[0] = {560, -560, ir::kUnusedDuration, ir::kUnusedDuration};
  r.Params.Logic[1] = {560, -1690, ir::kUnusedDuration, ir::kUnusedDuration};
  r.Params.SplitCount = 1;
  r.Params.Split[0] = {9000, -4500};
  r.Slots[0].Text.assign("<0>[32]<1>");
  r.Slots[0].Code = {0x01, 0x02, 0x03, 0x04, 0xEE};
  r.Slots[3].Text.assign("[12]");
  r.Slots[3].Code = {0xAB, 0xCD};
  r.HasChecksum = 1;
  ir::TCrcBlock& crc = r.Slots[0].Crc;
  crc.HasChecksum = 1;
  crc.Count = 2;
  crc.Items[0].TargetBit = 24;
  crc.Items[0].ZoneCount = 1;
  crc.Items[0].Zones[0] = {0, 0, 0, 23};
  crc.Items[0].Const = 5;
  crc.Items[1].TargetFrame = 1;
  crc.Items[1].TargetWidth = 4;
  crc.Items[1].ZoneCount = 2;
  crc.Items[1].Zones = {ir::TCrcZone{0, 0, 0, 7}, ir::TCrcZone{1, 4, 1, 7}};
  crc.Items[1].AuxConst = 0x1A;
  crc.Items[1].AuxOp = 2;
  crc.Items[1].Kind = 9;
  crc.Items[1].OperandWidth = 4;
  crc.Items[2].Kind = 1;  // beyond the item count
  r.Slots[3].Crc.HasChecksum = 0;
  r.Slots[3].Crc.Items[0].Kind = 2;  // the slot has no checksums
  return r;
}

TEST_F(SummaryTest, TimingSlotsAndChecksums) {
  EXPECT_EQ(RecordSummaryText(RecordWithChecksums(), lang::Language(home_, 1)),
            "Carrier:38000MSB\r\n"
            "Logic:(560,-560)(560,-1690)\r\n"
            "Split:(9000,-4500)\r\n"
            "Format0: <0>[32]<1>\r\nCode:01 02 03 04 \r\n"
            "Format3: [12]\r\nCode:AB CD \r\n"
            "\r\n"
            "CRC00.24/8bits=From0.0/To0.23/;CheckSum(8)+05\r\n"
            "CRC01.0/4bits=From0.0/To0.7/;From1.4/To1.7/;xor1AGREE's Kinds(4)\r\n");
}

TEST_F(SummaryTest, RemoteWithoutDisplayShowsNoCodeAndNoFlagHidesChecksums) {
  TdiskAir r = RecordWithChecksums();
  r.RemoteType = 1;
  r.HasChecksum = 0;
  EXPECT_EQ(RecordSummaryText(r, lang::Language(home_, 1)),
            "Carrier:38000MSB\r\nLogic:(560,-560)(560,-1690)\r\nSplit:(9000,-4500)\r\n"
            "Format0: <0>[32]<1>\r\nFormat3: [12]\r\n\r\n");
}

TEST_F(SummaryTest, CodeBytesStopAtTheStoredSixtyFour) {
  TdiskAir r;
  InitRecord(r, 0);
  r.Slots[0].Text.assign("[800]");  // 100 bytes described, 64 stored
  std::string text = RecordSummaryText(r, lang::Language(home_, 1));
  std::size_t code = text.find("Code:");
  ASSERT_NE(code, std::string::npos);
  std::string line = text.substr(code + 5, text.find("\r\n", code) - code - 5);
  EXPECT_EQ(line.size(), 64u * 3);
}

}  // namespace
}  // namespace klimavo::store
