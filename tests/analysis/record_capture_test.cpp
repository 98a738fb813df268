// Reading captures with a record's timing and formats: the slots first, then
// pair by pair with the tail fixed and the repetitions found.
#include "analysis/record_capture.h"

#include <gtest/gtest.h>

#include "analysis/wizard_fixtures.h"
#include "config/config.h"
#include "ir/protocol.h"

namespace klimavo::analysis {
namespace {

using fixtures::BitsOf;
using fixtures::NecCapture;

constexpr double kTolerance = config::kDefaultErrorOfDecodePercent / 100.0;

const ir::TSSByteArray kCode = BitsOf("<0>[32]<1>", {0x12, 0x34, 0x56, 0x78});
const ir::TSSByteArray kOtherCode = BitsOf("<0>[32]<1>", {0x9A, 0xBC, 0xDE, 0xF0});

struct ReadCase {
  const char* what;
  const char* slot0;  // "" leaves the record without formats
  ir::TIRIntegerArr capture;
  bool decoded;
  const char* structure;
  int slot;
  ir::TSSByteArray bits;
};

class RecordCaptureTable : public ::testing::TestWithParam<ReadCase> {};

TEST_P(RecordCaptureTable, ReadsWithTheRecordsTimingAndFormats) {
  const ReadCase& c = GetParam();
  store::TdiskAir record = fixtures::NecRecord();
  record.Slots[0].Text.assign(c.slot0);
  const RecordCapture read = ReadRecordCapture(c.capture, record.Params, record.Slots, kTolerance);
  EXPECT_EQ(read.decoded, c.decoded) << c.what;
  if (!c.decoded) return;
  EXPECT_EQ(ir::PrintProtocol(read.structure), c.structure) << c.what;
  EXPECT_EQ(read.slot, c.slot) << c.what;
  EXPECT_EQ(read.bits, c.bits) << c.what;
  EXPECT_FALSE(read.repeat_mismatch) << c.what;
}

ir::TIRIntegerArr WithoutLastSpace(ir::TIRIntegerArr d) {
  d.pop_back();
  return d;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordCaptureTable,
    ::testing::Values(
        ReadCase{"the slot's structure reads the code", "<0>[32]<1>", NecCapture(kCode), true, "<0>[32]<1>",
                 0, kCode},
        ReadCase{"a slot describing the first repetition keeps its repeat count", "(<0>[32]<1>)*2",
                 NecCapture({kCode, kCode}), true, "(<0>[32]<1>)*2", 0, kCode},
        ReadCase{"without formats the structure emerges pair by pair", "", NecCapture(kCode), true,
                 "<0>[32]<1>", -1, kCode},
        ReadCase{"a slot that does not fit is passed over", "<0>[40]<1>", NecCapture(kOtherCode), true,
                 "<0>[32]<1>", -1, kOtherCode},
        ReadCase{"two equal frames read pair by pair give a repeat count and one frame's bits", "",
                 NecCapture({kCode, kCode}), true, "(<0>[32]<1>)*2", -1, kCode},
        ReadCase{"a capture cut after its last mark gets its first gap again", "",
                 WithoutLastSpace(NecCapture(kCode)), true, "<0>[32]<1>", -1, kCode},
        ReadCase{"noise does not decode", "<0>[32]<1>", {30000, -1000, 30000, -1000}, false, "", -1, {}}));

}  // namespace
}  // namespace klimavo::analysis
