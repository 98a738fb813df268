// Format slots as the function analysis wizard keeps them: finding and taking
// slots, saving a key's rows, squeezing unused slots, rewriting stored codes.
#include "analysis/format_slots.h"

#include <gtest/gtest.h>

#include "analysis/wizard_fixtures.h"
#include "ir/protocol.h"

namespace klimavo::analysis {
namespace {

store::TdiskAir RecordWithSlots(const std::vector<std::string>& texts) {
  store::TdiskAir record = fixtures::NecRecord();
  for (std::size_t s = 0; s < store::kFormatSlots; ++s) {
    record.Slots[s].Text.assign(s < texts.size() ? texts[s] : "");
    record.Slots[s].CodeStored = s < texts.size() && !texts[s].empty() ? 1 : 0;
    record.Slots[s].Code.fill(static_cast<std::uint8_t>(s));
  }
  return record;
}

store::TGrdDataLine Row(const std::string& protocol, const ir::TSSByteArray& bits) {
  const ir::TStrProt_Stru s = ir::ParseProtocol(protocol);
  return {bits, s.Elements, static_cast<std::uint16_t>(s.Repeat), 0};
}

TEST(FormatSlotsTest, FindOrAddMatchesByStructureAndTakesTheFirstEmptySlot) {
  struct Case {
    const char* text;
    int slot;
    bool changed;
  };
  const Case cases[] = {
      {" <0> [32] <1>", 0, false},
      {"<0>[16][16]<1>", 0, false},  // the same structure once merged
      {"(<0>[8]<1>)*2", 2, false},
      {"<0>[8]<1>", 1, true},  // another repeat count is another structure
  };
  for (const Case& c : cases) {
    store::TdiskAir record = RecordWithSlots({"<0>[32]<1>", "", "(<0>[8]<1>)*2"});
    bool changed = false;
    EXPECT_EQ(FindOrAddFormatSlot(record, c.text, changed), c.slot) << c.text;
    EXPECT_EQ(changed, c.changed) << c.text;
    if (c.changed) {
      EXPECT_EQ(record.Slots[static_cast<std::size_t>(c.slot)].Text.str(), c.text);
      EXPECT_EQ(record.Slots[static_cast<std::size_t>(c.slot)].CodeStored, 0);
    }
  }
  store::TdiskAir full = RecordWithSlots(std::vector<std::string>(9, "<0>[32]<1>"));
  bool changed = false;
  EXPECT_EQ(FindOrAddFormatSlot(full, "<1>[8]", changed), -1);
  EXPECT_FALSE(changed);
}

TEST(FormatSlotsTest, SavingRowsSetsTheKeysSlotsAndStoresTheFirstCodeOnce) {
  const ir::TSSByteArray code = fixtures::BitsOf("<0>[32]<1>", {0xA1, 0xB2, 0xC3, 0xD4});
  const ir::TSSByteArray short_code = fixtures::BitsOf("<0>[16]<1>", {0x55, 0x66});
  struct Case {
    const char* what;
    int key;
    store::TGrdLines rows;
    std::uint8_t slot;
    std::uint8_t slot2;
    std::uint8_t first_code_byte;  // of the key's slot afterwards
  };
  const std::vector<Case> cases = {
      {"no rows: no slot", 2, {}, store::kNoSlot, store::kNoSlot, 0},
      {"a row without a structure: no slot", 2, {{code, {}, 1, 0}}, store::kNoSlot, store::kNoSlot, 0},
      {"the known structure keeps slot 0 and its stored code",
       2,
       {Row("<0>[32]<1>", code)},
       0,
       store::kNoSlot,
       0},
      {"a new structure takes slot 1 and stores the row's code",
       2,
       {Row("<0>[16]<1>", short_code)},
       1,
       store::kNoSlot,
       0x55},
      {"the power key's second row of another structure takes a second slot",
       0,
       {Row("<0>[32]<1>", code), Row("<0>[16]<1>", short_code)},
       0,
       1,
       0},
      {"the power key's two rows of one structure use one slot",
       0,
       {Row("<0>[32]<1>", code), Row("<0>[32]<1>", code)},
       0,
       0,
       0},
      {"only the power key has a second slot",
       3,
       {Row("<0>[32]<1>", code), Row("<0>[16]<1>", short_code)},
       0,
       store::kNoSlot,
       0},
  };
  for (const Case& c : cases) {
    store::TdiskAir record = RecordWithSlots({"<0>[32]<1>"});
    record.Keys[static_cast<std::size_t>(c.key)].Slot2 = 7;
    store::TBtnLines lines(6);
    const SlotSaveResult result = SaveKeyRows(record, lines, c.key, c.rows);
    const store::TdiskKey& key = record.Keys[static_cast<std::size_t>(c.key)];
    EXPECT_FALSE(result.too_many_formats) << c.what;
    EXPECT_EQ(lines[static_cast<std::size_t>(c.key)], c.rows) << c.what;
    EXPECT_EQ(key.Slot, c.slot) << c.what;
    if (c.key == 0 || c.rows.empty() || c.slot == store::kNoSlot) {
      EXPECT_EQ(key.Slot2, c.slot2) << c.what;
    }
    if (c.slot < store::kFormatSlots) {
      EXPECT_EQ(record.Slots[c.slot].CodeStored, 1) << c.what;
      EXPECT_EQ(record.Slots[c.slot].Code[0], c.first_code_byte) << c.what;
    }
  }
}

TEST(FormatSlotsTest, ASecondCodeIsStoredOnlyWhenItsSlotHasNone) {
  store::TdiskAir record = RecordWithSlots({"<0>[32]<1>"});
  store::TBtnLines lines(6);
  const ir::TSSByteArray code = fixtures::BitsOf("<0>[32]<1>", {1, 2, 3, 4});
  const ir::TSSByteArray second = fixtures::BitsOf("<0>[16]<1>", {0x77, 0x88});
  SaveKeyRows(record, lines, 0, {Row("<0>[32]<1>", code), Row("<0>[16]<1>", second)});
  EXPECT_EQ(record.Keys[0].Slot2, 1);
  EXPECT_EQ(record.Slots[1].Code[0], 0x77);
  EXPECT_EQ(record.Slots[1].CodeStored, 1);
}

TEST(FormatSlotsTest, ACodeOf64BytesOrMoreIsNotStoredButTheSlotCountsAsStored) {
  store::TdiskAir record = RecordWithSlots({"<0>[32]<1>"});
  store::TBtnLines lines(6);
  const ir::TSSByteArray long_code(512, 1);
  SaveKeyRows(record, lines, 2, {Row("<0>[512]<1>", long_code)});
  EXPECT_EQ(record.Keys[2].Slot, 1);
  EXPECT_EQ(record.Slots[1].CodeStored, 1);
  EXPECT_EQ(record.Slots[1].Code[0], 1);  // as it was
}

TEST(FormatSlotsTest, TooManyFormatsKeepsTheOldSlotsAndTheRows) {
  std::vector<std::string> texts;
  for (int s = 0; s < 9; ++s) texts.push_back("<0>[" + std::to_string(8 + s) + "]<1>");
  store::TdiskAir record = RecordWithSlots(texts);
  record.Keys[0].Slot = 3;
  const store::TdiskAir before = record;
  store::TBtnLines lines(6);
  const store::TGrdLines rows{Row("<0>[8]<1>", fixtures::BitsOf("[8]", {1})),
                              Row("<0>[99]<1>", ir::TSSByteArray(99, 0))};
  const SlotSaveResult result = SaveKeyRows(record, lines, 0, rows);
  EXPECT_TRUE(result.too_many_formats);
  EXPECT_EQ(record, before);
  EXPECT_EQ(lines[0], rows);
}

// A change users will notice: a checksum belongs to its format, so each
// checksum block moves down with its format text; it does not stay at its
// slot number.
TEST(FormatSlotsTest, ChangeForUsersCompactingMovesEachChecksumBlockWithItsFormat) {
  store::TdiskAir record =
      RecordWithSlots({"<0>[8]<1>", "<0>[9]<1>", "<0>[10]<1>", "<0>[11]<1>", "<0>[12]<1>", "<0>[13]<1>"});
  for (std::size_t s = 0; s < 6; ++s)
    record.Slots[s].Crc.Items[0].TargetBit = static_cast<std::uint16_t>(100 + s);
  const std::uint8_t uses[6] = {0, 1, 2, 4, 5, 4};  // nobody uses slot 3 any more
  for (std::size_t k = 0; k < 6; ++k) record.Keys[k].Slot = uses[k];
  record.Keys[0].Slot2 = 5;
  record.Keys[2].Slot2 = 3;  // only the power key's second slot counts
  CompactFormatSlots(record);

  const char* texts[] = {"<0>[8]<1>", "<0>[9]<1>", "<0>[10]<1>", "<0>[12]<1>", "<0>[13]<1>", "", "", "", ""};
  const int crc_of[] = {100, 101, 102, 104, 105};
  for (std::size_t s = 0; s < store::kFormatSlots; ++s) {
    EXPECT_EQ(record.Slots[s].Text.str(), texts[s]) << s;
    if (s < 5) {
      EXPECT_EQ(record.Slots[s].Crc.Items[0].TargetBit, crc_of[s]) << s;
      EXPECT_EQ(record.Slots[s].Code[0], s < 3 ? s : s + 1) << s;
    } else {
      EXPECT_EQ(record.Slots[s].CodeStored, 0) << s;
      EXPECT_EQ(record.Slots[s].Crc, ir::TCrcBlock{}) << s;
    }
  }
  const std::uint8_t now[6] = {0, 1, 2, 3, 4, 3};
  for (std::size_t k = 0; k < 6; ++k) EXPECT_EQ(record.Keys[k].Slot, now[k]) << k;
  EXPECT_EQ(record.Keys[0].Slot2, 4);
  EXPECT_EQ(record.Keys[2].Slot2, store::kNoSlot);
}

TEST(FormatSlotsTest, StoredCodesAreRewrittenBitForBit) {
  store::TdiskAir record = RecordWithSlots({"<0>[12]<1>"});
  record.Slots[0].Code.fill(0);
  record.Slots[0].Code[0] = 0x01;  // LSB first: bit 0 set
  record.Slots[0].Code[1] = 0x03;  // the last 4 bits: bits 8 and 9 set
  RewriteSlotCodes(record, true, false, false);
  EXPECT_EQ(record.Slots[0].Code[0], 0x80);
  EXPECT_EQ(record.Slots[0].Code[1], 0x0C);
  RewriteSlotCodes(record, false, false, true);
  EXPECT_EQ(record.Slots[0].Code[0], 0x7F);
  EXPECT_EQ(record.Slots[0].Code[1], 0x03);  // only the 4 bits of the group are inverted
  EXPECT_EQ(record.Slots[1].Code[0], 1);     // a slot without text is left alone
}

TEST(FormatSlotsTest, StoreSlotCodeRefusesWhatDoesNotFit) {
  store::TdiskAir record = RecordWithSlots({"<0>[32]<1>"});
  EXPECT_FALSE(StoreSlotCode(record, 9, std::vector<std::uint8_t>{1}));
  EXPECT_FALSE(StoreSlotCode(record, 0, std::vector<std::uint8_t>(65, 1)));
  EXPECT_EQ(record.Slots[0].Code[0], 0);
  EXPECT_TRUE(StoreSlotCode(record, 0, std::vector<std::uint8_t>(64, 9)));
  EXPECT_EQ(record.Slots[0].Code[63], 9);
}

}  // namespace
}  // namespace klimavo::analysis
