// What Edit keys and Modify format write back into a record.
#include "workflow/record_edits.h"

#include <gtest/gtest.h>

#include "workflow/key_editor_model.h"
#include "workflow_test_support.h"

namespace klimavo::workflow {
namespace {

using testing::RecordWithKeys;

store::TdiskAir AnalysedRecord() {
  store::TdiskAir record =
      RecordWithKeys({{"Power", {"Off", "On"}}, {"Mode", {"Cool", "Heat"}}, {"Fan", {"1", "2"}}});
  for (auto& key : record.Keys) {
    key.Columns[0].Frame = 0;
    key.Columns[0].BitPos = 9;
    key.Slot = 0;
  }
  return record;
}

TEST(CopyBackKeys, TakesNamesAndStatesAndKeepsTheAnalysis) {
  store::TdiskAir record = AnalysedRecord();
  record.KeyCount = 2;  // key 2 was removed earlier; its analysis is still in the image
  store::TdiskAir edited =
      RecordWithKeys({{"Power!", {"Off", "On", "Auto"}}, {"Mode", {"Cool", "Heat"}}, {"Swing", {"a", "b"}}});
  CopyBackKeys(record, edited);
  EXPECT_EQ(record.KeyCount, 3);
  EXPECT_EQ(record.Keys[0].Name.str(), "Power!");
  EXPECT_EQ(record.Keys[0].StateCount, 3);
  EXPECT_EQ(record.Keys[0].StateNames[2].str(), "Auto");
  EXPECT_TRUE(record.Keys[0].Columns[0].InUse()) << "an existing key keeps its bit fields";
  EXPECT_EQ(record.Keys[0].Slot, 0);
  EXPECT_EQ(record.Keys[2].Name.str(), "Swing");
  EXPECT_FALSE(record.Keys[2].Columns[0].InUse()) << "a key beyond the old count starts new";
  EXPECT_EQ(record.Keys[2].Slot, store::kNoSlot);

  CopyBackKeys(record, RecordWithKeys({{"Power", {"Off", "On"}}}));
  EXPECT_EQ(record.KeyCount, 1);
}

TEST(ApplyEditedFormat, RowsWriteTheirOwnSlots) {
  ir::TIRGsPara params;
  params.Carrier = 40000;
  params.LogicCount = 2;
  struct Case {
    const char* what;
    std::vector<ProtocolRow> rows;
    std::vector<std::string> texts;  // slots 0..3
  } cases[] = {
      {"a frame replaced", {{0, " <0>[40]<1> "}, {2, "<0>[16]"}}, {"<0>[40]<1>", "", "<0>[16]", ""}},
      {"a row emptied empties only its slot", {{0, ""}, {2, "<0>[16]"}}, {"", "", "<0>[16]", ""}},
      {"an added row takes the first free slot",
       {{0, "<0>[32]"}, {2, "<0>[16]"}, {-1, "<1>[8]"}},
       {"<0>[32]", "<1>[8]", "<0>[16]", ""}},
      {"a slot no row names is emptied", {{2, "<0>[16]"}}, {"", "", "<0>[16]", ""}},
  };
  for (const Case& c : cases) {
    store::TdiskAir record;
    record.Slots[0].Text.assign("<0>[32]");
    record.Slots[0].Code[0] = 0x5A;
    record.Slots[2].Text.assign("<0>[16]");
    record.Slots[2].Crc.HasChecksum = 1;
    record.LsbFirst = 0;
    ApplyEditedFormat(record, params, c.rows);
    for (std::size_t s = 0; s < c.texts.size(); ++s)
      EXPECT_EQ(record.Slots[s].Text.str(), c.texts[s]) << c.what << s;
    EXPECT_EQ(record.Params, params) << c.what;
    EXPECT_EQ(record.Slots[0].Code[0], 0x5A) << c.what;
    EXPECT_EQ(record.Slots[2].Crc.HasChecksum, 1) << c.what;
    EXPECT_EQ(record.LsbFirst, 0) << c.what;
  }
}

}  // namespace
}  // namespace klimavo::workflow
