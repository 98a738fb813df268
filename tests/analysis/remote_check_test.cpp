// The remote check reads key presses with a record's timing: a matching press
// is named and its checksums checked, a contradicting bit is flagged where the
// checksum's target lies, and a press of another structure is flagged whole.

#include "analysis/remote_check.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/gbk.h"
#include "ir/checksum.h"
#include "ir/protocol.h"
#include "record_fixtures.h"
#include "signal_support.h"

namespace klimavo::analysis {
namespace {

using testing::ByteSum;
using testing::DisplayRecord;
using testing::kKeys;
using testing::PressBits;

constexpr double kTolerance = 0.25;
std::vector<int> Range(int first, int count) {
  std::vector<int> v;
  for (int i = 0; i < count; ++i) v.push_back(first + i);
  return v;
}

const std::vector<int> kStates{1, 8, 2, 1, 0, 3};

struct DisplayCase {
  const char* name;
  std::string text;
  int field_frame;
  ir::TCrcItem checksum;
  std::function<void(ir::TSSByteArray&)> change;  // applied after the checksum was computed
  CheckOutcome outcome;
  std::vector<int> states;
  std::vector<bool> checksums;
  std::vector<int> error_bits;
};

TEST(RemoteCheck, NamesStatesAndFlagsTheTargetOfAChecksumThatFails) {
  const ir::TCrcItem one_frame = ByteSum(0, 3, 0, 24);
  // Two frames: fields in frame 1 (bits 16.. of the code), sum in frame 1 byte 3.
  const ir::TCrcItem two_frames = ByteSum(1, 3, 1, 24);
  const std::vector<DisplayCase> cases{
      {"press as recorded", "<0>[32]<2>", 0, one_frame, {}, CheckOutcome::kChecked, kStates, {true}, {}},
      {"mode field bit changed",
       "<0>[32]<2>",
       0,
       one_frame,
       [](auto& b) { b[9] ^= 1; },
       CheckOutcome::kChecked,
       {1, 8, 4, 1, 0, 3},
       {false},
       Range(24, 8)},
      {"checksum bit changed",
       "<0>[32]<2>",
       0,
       one_frame,
       [](auto& b) { b[26] ^= 1; },
       CheckOutcome::kChecked,
       kStates,
       {false},
       Range(24, 8)},
      {"target in the second frame",
       "<0>[16]<1>[32]<2>",
       1,
       two_frames,
       [](auto& b) { b[16] ^= 1; },
       CheckOutcome::kChecked,
       {0, 8, 2, 1, 0, 3},
       {false},
       Range(16 + 24, 8)},
      {"value of no state",
       "<0>[32]<2>",
       0,
       one_frame,
       [](auto& b) { b[20] = b[21] = b[22] = b[23] = 1; },
       CheckOutcome::kChecked,
       {1, 8, 2, 1, 0, -1},
       {false},
       Range(24, 8)},
  };
  for (const DisplayCase& c : cases) {
    SCOPED_TRACE(c.name);
    const store::TdiskAir record = DisplayRecord(c.text, c.field_frame, c.checksum);
    ir::TSSByteArray bits = PressBits(record, kStates);
    if (c.change) c.change(bits);
    const ir::TStrProt_Stru protocol = ir::ParseProtocol(c.text);
    const RemoteCheck check(record, kTolerance);
    const RemoteCheckResult result =
        check.Check(testing::SynthesiseBits(record.Params, protocol.Elements, bits), 38000);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.format, 0);
    EXPECT_EQ(result.states, c.states);
    EXPECT_EQ(result.checksums, c.checksums);
    EXPECT_EQ(result.ErrorBits(), c.error_bits);
    EXPECT_EQ(result.Ok(), c.error_bits.empty());
    EXPECT_EQ(result.line.Bits, bits);
  }
}

TEST(RemoteCheck, APressOfAnotherStructureIsFlaggedWhole) {
  const store::TdiskAir record = DisplayRecord("<0>[32]<2>", 0, ByteSum(0, 3, 0, 24));
  const RemoteCheck check(record, kTolerance);
  const ir::TIRIntegerArr capture =
      testing::Synthesise(record.Params, "<0>[24]<2>", {0x12, 0x34, 0x56}, true);
  const RemoteCheckResult result = check.Check(capture, 38000);
  EXPECT_EQ(result.outcome, CheckOutcome::kNoFormat);
  EXPECT_EQ(result.format, -1);
  EXPECT_EQ(result.ErrorBits(), Range(0, 24));
  EXPECT_FALSE(result.Ok());
  const lang::Language english(std::filesystem::path(KLIMAVO_SOURCE_DIR) / "data/home", 1);
  EXPECT_EQ(DescribeResult(check, result, english).information, "<0>[24]<2>error!");
}

TEST(RemoteCheck, ACaptureTheTimingDoesNotReadShowsNothing) {
  const store::TdiskAir record = DisplayRecord("<0>[32]<2>", 0, ByteSum(0, 3, 0, 24));
  const RemoteCheck check(record, kTolerance);
  const RemoteCheckResult result = check.Check({90000, -45000, 3000, -3000, 5600}, 38000);
  EXPECT_EQ(result.outcome, CheckOutcome::kUnread);
  EXPECT_FALSE(result.HasLine());
  EXPECT_TRUE(result.ErrorBits().empty());
}

TEST(RemoteCheck, AMeasuredCarrierFarFromTheRecordsIsReportedAndThePressStillChecked) {
  const store::TdiskAir record = DisplayRecord("<0>[32]<2>", 0, ByteSum(0, 3, 0, 24));
  const RemoteCheck check(record, kTolerance);
  const lang::Language english(std::filesystem::path(KLIMAVO_SOURCE_DIR) / "data/home", 1);
  const ir::TIRIntegerArr capture = testing::SynthesiseBits(
      record.Params, ir::ParseProtocol("<0>[32]<2>").Elements, PressBits(record, kStates));
  struct Case {
    std::int32_t carrier;
    bool differs;
  };
  for (const Case c : {Case{45000, true}, Case{31000, true}, Case{43000, false}, Case{36000, false},
                       Case{0, false}, Case{-1, false}}) {
    SCOPED_TRACE(c.carrier);
    const RemoteCheckResult result = check.Check(capture, c.carrier);
    EXPECT_EQ(result.carrier_differs, c.differs);
    EXPECT_TRUE(result.Ok());
    const std::string info = DescribeResult(check, result, english).information;
    const std::string carrier_text = english.Text(kTextCarrierDiffers) + ":" + std::to_string(c.carrier);
    EXPECT_EQ(info, (c.differs ? carrier_text : "") + "<0>[32]<2>");
  }
}

TEST(RemoteCheck, AColumnWhoseStatesShareAValueDoesNotNameTheState) {
  store::TdiskAir record = DisplayRecord("<0>[32]<2>", 0, ByteSum(0, 3, 0, 24));
  // Mode: a first column on the same bits whose states 1 and 2 share a value,
  // then the column with distinct values. Fan: only a column with a shared value.
  store::TdiskKey& mode = record.Keys[2];
  mode.Columns[1] = mode.Columns[0];
  mode.Columns[0].Values = {4, 5, 5, 7, 8};
  record.Keys[3].Columns[0].Values[3] = record.Keys[3].Columns[0].Values[0];
  const RemoteCheck check(record, kTolerance);
  const ir::TIRIntegerArr capture = testing::SynthesiseBits(
      record.Params, ir::ParseProtocol("<0>[32]<2>").Elements, PressBits(record, {1, 3, 4, 2, 1, 6}));
  EXPECT_EQ(check.Check(capture, 38000).states, (std::vector<int>{1, 3, 4, -1, 1, 6}));
}

// A remote without display: slot q holds the code of key q, the slot after
// the last key the temperature-down code.
store::TdiskAir NoDisplayRecord(bool lsb_first) {
  store::TdiskAir r = DisplayRecord("<0>[16]<2>", 0, ByteSum(0, 1, 0, 8));
  r.RemoteType = 1;
  r.LsbFirst = lsb_first ? 1 : 0;
  r.HasChecksum = 0;
  r.Slots[0].Crc.HasChecksum = 0;
  for (std::size_t q = 0; q <= kKeys; ++q) r.Slots[q].Code = {0xA5, static_cast<std::uint8_t>(0x10 + q)};
  return r;
}

TEST(RemoteCheck, ARemoteWithoutDisplayNamesTheKeyWhoseStoredCodeItSends) {
  struct Case {
    bool lsb_first;
    std::uint8_t second_byte;
    std::optional<KeyHit> key;
    std::string key_label;
  };
  const std::vector<Case> cases{
      {true, 0x10, KeyHit{0, false}, "Power"}, {true, 0x13, KeyHit{3, false}, "Fan"},
      {true, 0x16, KeyHit{1, true}, "Temp-"},  {false, 0x15, KeyHit{5, false}, "Vane"},
      {true, 0x17, std::nullopt, ""},
  };
  const lang::Language english(std::filesystem::path(KLIMAVO_SOURCE_DIR) / "data/home", 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.second_byte);
    const store::TdiskAir record = NoDisplayRecord(c.lsb_first);
    const RemoteCheck check(record, kTolerance);
    const RemoteCheckResult result = check.Check(
        testing::Synthesise(record.Params, "<0>[16]<2>", {0xA5, c.second_byte}, c.lsb_first), 38000);
    EXPECT_EQ(result.outcome, CheckOutcome::kChecked);
    EXPECT_TRUE(result.Ok());
    ASSERT_EQ(result.key.has_value(), c.key.has_value());
    if (c.key) {
      EXPECT_EQ(result.key->key, c.key->key);
      EXPECT_EQ(result.key->minus, c.key->minus);
    }
    EXPECT_EQ(result.states, std::vector<int>(kKeys, -1));
    EXPECT_EQ(DescribeResult(check, result, english).key, c.key_label);
  }
}

TEST(RemoteCheck, PreparationListsEveryUsedColumnAndTheChecksumTargets) {
  store::TdiskAir record = DisplayRecord("<0>[32]<2>", 0, ByteSum(0, 3, 0, 24));
  record.Keys[4].Columns[3] = record.Keys[4].Columns[0];
  record.Keys[4].Columns[3].BitPos = 30;
  const RemoteCheck check(record, kTolerance);
  ASSERT_EQ(check.FieldLists().size(), kKeys + 1);
  EXPECT_TRUE(check.HasChecksumList());
  EXPECT_EQ(check.FieldLists()[4].size(), 2u);
  EXPECT_EQ(check.FieldLists()[4][1].bit, 30);
  ASSERT_EQ(check.FieldLists()[kKeys].size(), 1u);
  EXPECT_EQ(check.FieldLists()[kKeys][0].bit, 24);
  EXPECT_EQ(check.FieldLists()[kKeys][0].width, 8);

  record.HasChecksum = 0;
  EXPECT_EQ(RemoteCheck(record, kTolerance).FieldLists().size(), kKeys);
}

}  // namespace
}  // namespace klimavo::analysis
