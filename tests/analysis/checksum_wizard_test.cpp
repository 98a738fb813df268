// The checksum analysis wizard's logic, driven as the dialog drives it: the
// formats, both flags and the item count, editing the items and zones with
// their limits, the presets, captures becoming rows whose checksums the grid
// checks, and finding the checksum.
#include "analysis/checksum_wizard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "analysis/wizard_fixtures.h"
#include "ir/checksum.h"
#include "ir/protocol.h"
#include "store/library.h"

namespace klimavo::analysis {
namespace {

using fixtures::BitsOf;
using fixtures::NecCapture;

constexpr double kTolerance = 0.21;
constexpr std::int32_t kCarrier = 38000;

struct Recorder : ChecksumWizardEvents {
  std::vector<ChecksumWizardEvent> events;
  std::vector<ChecksumWizardMessage> messages;
  void Changed(ChecksumWizardEvent e) override { events.push_back(e); }
  void Message(ChecksumWizardMessage m) override { messages.push_back(m); }
  bool Saw(ChecksumWizardEvent e) const { return std::find(events.begin(), events.end(), e) != events.end(); }
};

// The NEC code b0 b1 b2 and their sum in byte 3.
ir::TSSByteArray SumCode(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
  return BitsOf("<0>[32]<1>", {b0, b1, b2, static_cast<std::uint8_t>(b0 + b1 + b2)});
}

ir::TCrcItem SumOfBytes0To2() {
  ir::TCrcItem item;
  item.TargetFrame = 0;
  item.TargetBit = 24;
  item.TargetWidth = 8;
  item.ZoneCount = 1;
  item.Zones[0] = {0, 0, 0, 23};
  return item;
}

class ChecksumWizardTest : public ::testing::Test {
 protected:
  void SetUp() override { wizard_.SetEvents(&recorder_); }

  // Opens with both flags set, as an engineer does first.
  void OpenWithChecksums() {
    wizard_.Open();
    wizard_.SetRecordHasChecksum(true);
    wizard_.SetFormatHasChecksum(true);
  }

  // The rows whose item 0 matches the value the code carries.
  int GreenRows() const {
    int green = 0;
    for (int row = 0; row < wizard_.Grid().LineCount(); ++row)
      green += wizard_.Grid().ChecksumOf(row, 0).Matches();
    return green;
  }

  void CaptureSums(int count, std::uint32_t seed = 1) {
    std::mt19937 random(seed);
    for (int i = 0; i < count; ++i)
      wizard_.CaptureReceived(
          NecCapture(SumCode(static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                             static_cast<std::uint8_t>(random()))),
          kCarrier);
  }

  store::TdiskAir record_ = fixtures::NecRecord();
  ChecksumWizard wizard_{record_, kTolerance};
  Recorder recorder_;
};

TEST_F(ChecksumWizardTest, OpensOnTheFirstFormatWithTheGridInChecksumAndHexMode) {
  record_.Slots[2].Text.assign("<0>[48]<1>");
  wizard_.Open();
  EXPECT_EQ(wizard_.FormatTexts(), (std::vector<std::string>{"<0>[32]<1>", "<0>[48]<1>"}));
  EXPECT_EQ(wizard_.SelectedFormat(), 0);
  EXPECT_EQ(wizard_.SelectedSlot(), 0);
  EXPECT_TRUE(wizard_.Grid().ChecksumMode());
  EXPECT_TRUE(wizard_.Grid().HexMode());
  EXPECT_TRUE(wizard_.Grid().LowPre());
  EXPECT_EQ(wizard_.Grid().KeyZones().size(), 6u);  // every key's field counts
  EXPECT_EQ(wizard_.ItemRows(), 0);                 // no checksums yet: the tables are empty
  EXPECT_FALSE(wizard_.FormatControlsEnabled());
  EXPECT_FALSE(wizard_.ItemControlsEnabled());
  EXPECT_FALSE(wizard_.RecordChanged());
  wizard_.SelectFormat(1);
  EXPECT_EQ(wizard_.SelectedSlot(), 2);
}

TEST_F(ChecksumWizardTest, TheRecordFlagGivesEveryFormatAnItemWithAZone) {
  store::InitRecord(record_, 0);
  record_.Slots[0].Text.assign("<0>[32]<1>");
  record_.Slots[4].Crc.Count = 0;
  wizard_.Open();
  wizard_.SetRecordHasChecksum(true);
  EXPECT_EQ(record_.HasChecksum, 1);
  for (const store::TdiskFormatSlot& slot : record_.Slots) {
    EXPECT_EQ(slot.Crc.Count, 1);
    for (const ir::TCrcItem& item : slot.Crc.Items) EXPECT_EQ(item.ZoneCount, 1);
  }
  EXPECT_TRUE(wizard_.RecordChanged());
  EXPECT_TRUE(wizard_.FormatControlsEnabled());
  EXPECT_EQ(wizard_.ItemRows(), 0);  // the format's own flag is still off
  wizard_.SetFormatHasChecksum(true);
  EXPECT_EQ(wizard_.ItemRows(), 1);
  EXPECT_EQ(wizard_.ZoneRows(), 1);
  EXPECT_TRUE(wizard_.Grid().ShowsChecksums());
  wizard_.SetItemCount(3);
  EXPECT_EQ(wizard_.ItemRows(), 3);
  EXPECT_EQ(wizard_.ItemCountChoice(), 2);
  wizard_.SetRecordHasChecksum(false);  // the items stay, the tables empty
  EXPECT_EQ(wizard_.ItemRows(), 0);
  EXPECT_FALSE(wizard_.Grid().ShowsChecksums());
  EXPECT_EQ(record_.Slots[0].Crc.Count, 3);
}

TEST_F(ChecksumWizardTest, ARecordWithoutFormatsHasNothingToEdit) {
  store::TdiskAir empty;
  ChecksumWizard wizard(empty, kTolerance);
  wizard.Open();
  EXPECT_TRUE(wizard.FormatTexts().empty());
  EXPECT_EQ(wizard.SelectedFormat(), -1);
  wizard.SetRecordHasChecksum(true);
  wizard.SetFormatHasChecksum(true);
  wizard.SetItemCount(2);
  EXPECT_EQ(empty.HasChecksum, 0);
  EXPECT_EQ(wizard.ItemRows(), 0);
  EXPECT_FALSE(wizard.ApplyPreset(ChecksumPreset::Last8));
  EXPECT_FALSE(wizard.FindChecksum());
  EXPECT_FALSE(wizard.RecordChanged());
}

struct EditCase {
  const char* what;
  ItemColumn column;
  const char* text;
  bool stored;
  void (*check)(const ir::TCrcItem& item);
};

class ItemEdits : public ChecksumWizardTest, public ::testing::WithParamInterface<EditCase> {};

TEST_P(ItemEdits, StoreWithinTheFieldsLimits) {
  const EditCase& c = GetParam();
  OpenWithChecksums();
  record_.Slots[0].Crc.Items[0] = SumOfBytes0To2();
  record_.Slots[0].Crc.Items[0].Const = 0x12;
  const ir::TCrcItem before = record_.Slots[0].Crc.Items[0];
  EXPECT_EQ(wizard_.EditItem(0, c.column, c.text), c.stored) << c.what;
  if (c.stored)
    c.check(record_.Slots[0].Crc.Items[0]);
  else
    EXPECT_EQ(record_.Slots[0].Crc.Items[0], before) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Limits, ItemEdits,
    ::testing::Values(
        EditCase{"a negative target width stores 8", ItemColumn::TargetWidth, "-1", true,
                 [](const ir::TCrcItem& i) { EXPECT_EQ(i.TargetWidth, 8); }},
        EditCase{"a target width", ItemColumn::TargetWidth, "4", true,
                 [](const ir::TCrcItem& i) { EXPECT_EQ(i.TargetWidth, 4); }},
        EditCase{"a negative operand width stores 8", ItemColumn::OperandWidth, "-5", true,
                 [](const ir::TCrcItem& i) { EXPECT_EQ(i.OperandWidth, 8); }},
        EditCase{"the constant is hexadecimal", ItemColumn::Constant, "1F", true,
                 [](const ir::TCrcItem& i) { EXPECT_EQ(i.Const, 31); }},
        EditCase{"the largest constant", ItemColumn::Constant, "ffff", true,
                 [](const ir::TCrcItem& i) { EXPECT_EQ(i.Const, 0xFFFF); }},
        EditCase{"G is no hexadecimal digit", ItemColumn::Constant, "G", false, nullptr},
        EditCase{"an empty constant", ItemColumn::Constant, "", false, nullptr},
        EditCase{"a constant wider than 16 bits keeps its low 16 bits", ItemColumn::Constant, "10000", true,
                 [](const ir::TCrcItem& i) { EXPECT_EQ(i.Const, 0); }},
        EditCase{"a sign is no hexadecimal digit", ItemColumn::Constant, "-1", false, nullptr},
        EditCase{"a target frame, blanks around it", ItemColumn::TargetFrame, " 2 ", true,
                 [](const ir::TCrcItem& i) { EXPECT_EQ(i.TargetFrame, 2); }},
        EditCase{"a target frame past 255 does not fit", ItemColumn::TargetFrame, "300", false, nullptr},
        EditCase{"a negative target frame", ItemColumn::TargetFrame, "-1", false, nullptr},
        EditCase{"a word is no number", ItemColumn::TargetBit, "ten", false, nullptr},
        EditCase{"the last target bit a field holds", ItemColumn::TargetBit, "65535", true,
                 [](const ir::TCrcItem& i) { EXPECT_EQ(i.TargetBit, 65535); }},
        EditCase{"one past it", ItemColumn::TargetBit, "65536", false, nullptr},
        EditCase{"two zones", ItemColumn::ZoneCount, "2", true,
                 [](const ir::TCrcItem& i) { EXPECT_EQ(i.ZoneCount, 2); }},
        EditCase{"three zones: the engine reads two", ItemColumn::ZoneCount, "3", false, nullptr},
        EditCase{"no zone", ItemColumn::ZoneCount, "0", false, nullptr},
        EditCase{"the last kind", ItemColumn::Kind, "10", true,
                 [](const ir::TCrcItem& i) { EXPECT_EQ(i.Kind, 10); }},
        EditCase{"no kind 11", ItemColumn::Kind, "11", false, nullptr},
        EditCase{"the last operation", ItemColumn::ConstOp, "6", true,
                 [](const ir::TCrcItem& i) { EXPECT_EQ(i.ConstOp, 6); }},
        EditCase{"no operation 7", ItemColumn::ConstOp, "7", false, nullptr}));

// A checksum item stores 16 bits of constant: a wider one typed is cut to
// them, and the table shows what was stored.
TEST_F(ChecksumWizardTest, AWiderConstantIsCutTo16BitsAndShownAsStored) {
  OpenWithChecksums();
  struct Case {
    const char* typed;
    std::uint16_t stored;
    const char* shown;
  };
  for (const Case& c : {Case{"12345", 0x2345, "2345"}, Case{"FFFFFFFF", 0xFFFF, "FFFF"},
                        Case{"00000000000000000000ab", 0xAB, "AB"}, Case{"123456789ABCDEF0", 0xDEF0, "DEF0"},
                        Case{"0x10", 0, ""}}) {
    SCOPED_TRACE(c.typed);
    record_.Slots[0].Crc.Items[0].Const = 7;
    const bool stored = *c.shown != '\0';
    EXPECT_EQ(wizard_.EditItem(0, ItemColumn::Constant, c.typed), stored);
    EXPECT_EQ(record_.Slots[0].Crc.Items[0].Const, stored ? c.stored : 7);
    EXPECT_EQ(wizard_.Item(0).constant, stored ? c.shown : "07");
  }
}

TEST_F(ChecksumWizardTest, TheItemsTableShowsStoredValuesWithinTheCombos) {
  OpenWithChecksums();
  ir::TCrcItem& item = record_.Slots[0].Crc.Items[0];
  item.Kind = 14;
  item.ConstOp = 9;
  item.Const = 0xA;
  item.ZoneCount = 2;
  const ItemRow row = wizard_.Item(0);
  EXPECT_EQ(row.kind_choice, 10);
  EXPECT_EQ(row.op_choice, 6);
  EXPECT_EQ(row.constant, "0A");
  EXPECT_EQ(row.zone_choice, 1);
  EXPECT_TRUE(wizard_.ChooseItem(0, ItemColumn::Kind, 6));
  EXPECT_EQ(item.Kind, 6);
  EXPECT_TRUE(wizard_.ChooseItem(0, ItemColumn::ZoneCount, 0));
  EXPECT_EQ(item.ZoneCount, 1);
  EXPECT_FALSE(wizard_.ChooseItem(0, ItemColumn::TargetBit, 3));
}

TEST_F(ChecksumWizardTest, ZonesFollowTheCurrentItem) {
  OpenWithChecksums();
  wizard_.SetItemCount(2);
  record_.Slots[0].Crc.Items[1].ZoneCount = 2;
  wizard_.SelectItem(1);
  EXPECT_TRUE(recorder_.Saw(ChecksumWizardEvent::ZonesChanged));
  EXPECT_EQ(wizard_.ZoneRows(), 2);
  EXPECT_TRUE(wizard_.EditZone(1, ZoneColumn::EndBit, "31"));
  EXPECT_TRUE(wizard_.EditZone(1, ZoneColumn::StartFrame, "1"));
  EXPECT_FALSE(wizard_.EditZone(1, ZoneColumn::EndFrame, "256"));
  EXPECT_FALSE(wizard_.EditZone(2, ZoneColumn::EndBit, "1"));  // no third zone
  EXPECT_EQ(record_.Slots[0].Crc.Items[1].Zones[1], (ir::TCrcZone{1, 0, 0, 31}));
  EXPECT_EQ(wizard_.Zone(1).end_bit, 31);
  EXPECT_TRUE(wizard_.RecordChanged());
}

struct PresetCase {
  const char* what;
  const char* format;
  ChecksumPreset preset;
  bool applies;
  ir::TCrcItem expected;  // target, zone count and zone 1
};

ir::TCrcItem Expected(int frame, int bit, int width, ir::TCrcZone zone) {
  ir::TCrcItem item;
  item.TargetFrame = static_cast<std::uint8_t>(frame);
  item.TargetBit = static_cast<std::uint16_t>(bit);
  item.TargetWidth = static_cast<std::uint8_t>(width);
  item.ZoneCount = 1;
  item.Zones[0] = zone;
  return item;
}

class Presets : public ChecksumWizardTest, public ::testing::WithParamInterface<PresetCase> {};

TEST_P(Presets, PutTheChecksumAtTheEndOfTheLastFrame) {
  const PresetCase& c = GetParam();
  record_.Slots[0].Text.assign(c.format);
  OpenWithChecksums();
  ir::TCrcItem& item = record_.Slots[0].Crc.Items[0];
  item.Kind = 9;
  item.OperandWidth = 4;
  item.Const = 3;
  const ir::TCrcItem before = item;
  EXPECT_EQ(wizard_.ApplyPreset(c.preset), c.applies) << c.what;
  if (!c.applies) {
    EXPECT_EQ(item, before) << c.what;
    return;
  }
  ir::TCrcItem expected = c.expected;
  expected.Kind = 9;  // kind, operand width and constant stay
  expected.OperandWidth = 4;
  expected.Const = 3;
  EXPECT_EQ(item, expected) << c.what;
  EXPECT_TRUE(wizard_.RecordChanged()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Presets,
    ::testing::Values(
        PresetCase{"last 8 bits of a last frame of 48 bits", "<0>[35]<1>[48]<2>", ChecksumPreset::Last8, true,
                   Expected(1, 40, 8, {0, 0, 1, 39})},
        PresetCase{"last 4 bits", "<0>[35]<1>[48]<2>", ChecksumPreset::Last4, true,
                   Expected(1, 44, 4, {0, 0, 1, 43})},
        PresetCase{"one frame", "<0>[32]<1>", ChecksumPreset::Last8, true, Expected(0, 24, 8, {0, 0, 0, 23})},
        PresetCase{"a last frame of exactly 8 bits: the zone ends with the frame before", "<0>[32]<1>[8]<2>",
                   ChecksumPreset::Last8, true, Expected(1, 0, 8, {0, 0, 0, 31})},
        PresetCase{"a single frame of 4 bits leaves no zone", "<0>[4]<1>", ChecksumPreset::Last4, false, {}},
        PresetCase{
            "a last frame shorter than the target", "<0>[32]<1>[6]<2>", ChecksumPreset::Last8, false, {}}));

TEST_F(ChecksumWizardTest, CapturesBecomeRowsThatTheGridChecksAgainstEveryEdit) {
  OpenWithChecksums();
  record_.Slots[0].Crc.Items[0] = SumOfBytes0To2();
  wizard_.EditItem(0, ItemColumn::Kind, "0");  // gives the block to the grid again
  CaptureSums(5);
  wizard_.CaptureReceived(NecCapture(BitsOf("<0>[32]<1>", {1, 2, 3, 7})), kCarrier);  // a wrong checksum
  ASSERT_EQ(wizard_.Grid().LineCount(), 6);
  EXPECT_EQ(GreenRows(), 5);
  EXPECT_FALSE(wizard_.Grid().ChecksumOf(5, 0).Matches());
  EXPECT_EQ(wizard_.FormatLabel(), "<0>[32]<1>");
  ASSERT_NE(wizard_.FormatTree(), nullptr);
  EXPECT_EQ(wizard_.FieldBytes(), (ir::TSSByteArray{1, 2, 3, 7}));
  // Every edit checks every row again.
  wizard_.EditItem(0, ItemColumn::Kind, "6");
  EXPECT_LT(GreenRows(), 5);
  wizard_.EditItem(0, ItemColumn::Kind, "0");
  EXPECT_EQ(GreenRows(), 5);
  wizard_.EditZone(0, ZoneColumn::EndBit, "15");
  EXPECT_LT(GreenRows(), 5);
  // A chosen row shows its code in the format view.
  wizard_.SelectRow(5);
  wizard_.SelectRow(0);
  EXPECT_NE(wizard_.FieldBytes(), (ir::TSSByteArray{1, 2, 3, 7}));
}

struct CarrierCase {
  std::int32_t carrier;
  std::uint16_t kept;
};

class CaptureCarriers : public ChecksumWizardTest, public ::testing::WithParamInterface<CarrierCase> {};

TEST_P(CaptureCarriers, AFarCarrierBecomesTheRecords) {
  wizard_.Open();
  wizard_.CaptureReceived(NecCapture(SumCode(1, 2, 3)), GetParam().carrier);
  EXPECT_EQ(record_.Params.Carrier, GetParam().kept);
  EXPECT_EQ(wizard_.RecordChanged(), GetParam().kept != 38000);
  EXPECT_EQ(wizard_.Grid().LineCount(), 1);
}

INSTANTIATE_TEST_SUITE_P(Carriers, CaptureCarriers,
                         ::testing::Values(CarrierCase{38000, 38000}, CarrierCase{40000, 38000},
                                           CarrierCase{56000, 56000}, CarrierCase{-1, 38000},
                                           CarrierCase{0, 38000}));

TEST_F(ChecksumWizardTest, ACaptureThatDoesNotReadAddsNothing) {
  wizard_.Open();
  wizard_.CaptureReceived({90000, -10000, 90000, -10000}, kCarrier);
  EXPECT_EQ(wizard_.Grid().LineCount(), 0);
  EXPECT_EQ(wizard_.FormatTree(), nullptr);
}

TEST_F(ChecksumWizardTest, FindChecksumFillsTheCurrentItemAndEveryRowTurnsGreen) {
  wizard_.Open();  // no checksums yet: finding one switches both flags on
  CaptureSums(8, 3);
  ASSERT_TRUE(wizard_.FindChecksum());
  EXPECT_EQ(wizard_.Discovery().note, DiscoveryNote::Ok);
  EXPECT_EQ(record_.HasChecksum, 1);
  EXPECT_EQ(record_.Slots[0].Crc.HasChecksum, 1);
  EXPECT_EQ(record_.Slots[0].Crc.Items[0], SumOfBytes0To2());
  EXPECT_EQ(wizard_.ItemRows(), 1);
  EXPECT_EQ(GreenRows(), 8);
  EXPECT_TRUE(wizard_.RecordChanged());
  EXPECT_TRUE(recorder_.Saw(ChecksumWizardEvent::DiscoveryChanged));
}

// Byte 2 is 0 in every code: the sum may or may not take it in. Each rival
// the search names goes into the item as a candidate does and fits every row;
// an index beyond the rivals changes nothing.
TEST_F(ChecksumWizardTest, ARivalGoesIntoTheItemAsACandidateDoes) {
  OpenWithChecksums();
  std::mt19937 random(5);
  for (int i = 0; i < 8; ++i)
    wizard_.CaptureReceived(
        NecCapture(SumCode(static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()), 0)),
        kCarrier);
  ASSERT_TRUE(wizard_.FindChecksum());
  const ChecksumDiscovery& found = wizard_.Discovery();
  EXPECT_EQ(found.note, DiscoveryNote::Ambiguous);
  ASSERT_FALSE(found.rivals.empty());
  for (int index = 0; index < static_cast<int>(found.rivals.size()); ++index) {
    SCOPED_TRACE(index);
    ASSERT_TRUE(wizard_.ApplyRival(index));
    EXPECT_EQ(record_.Slots[0].Crc.Items[0], found.rivals[static_cast<std::size_t>(index)].item);
    EXPECT_EQ(GreenRows(), 8);
  }
  const ir::TCrcItem last = record_.Slots[0].Crc.Items[0];
  for (int beyond : {-1, static_cast<int>(found.rivals.size())}) EXPECT_FALSE(wizard_.ApplyRival(beyond));
  EXPECT_EQ(record_.Slots[0].Crc.Items[0], last);
  ASSERT_TRUE(wizard_.ApplyCandidate(0));
  EXPECT_EQ(record_.Slots[0].Crc.Items[0], found.candidates[0]);
}

TEST_F(ChecksumWizardTest, FindChecksumFillsTheSelectedItemAndKeepsItsReservedFields) {
  OpenWithChecksums();
  wizard_.SetItemCount(2);
  wizard_.SelectItem(1);
  record_.Slots[0].Crc.Items[1].AuxConst = 0x55;
  CaptureSums(8, 4);
  ASSERT_TRUE(wizard_.FindChecksum());
  ir::TCrcItem expected = SumOfBytes0To2();
  expected.AuxConst = 0x55;
  EXPECT_EQ(record_.Slots[0].Crc.Items[1], expected);
  EXPECT_EQ(record_.Slots[0].Crc.Count, 2);
}

TEST_F(ChecksumWizardTest, FindChecksumUsesTheRowsOfTheSelectedFormatOnly) {
  record_.Slots[1].Text.assign("<0>[16]<1>");
  OpenWithChecksums();
  CaptureSums(8, 5);
  wizard_.SelectFormat(1);  // no row has its 16 bits
  const ir::TCrcItem before = record_.Slots[1].Crc.Items[0];
  EXPECT_TRUE(wizard_.FormatRows().empty());
  EXPECT_FALSE(wizard_.FindChecksum());
  EXPECT_EQ(wizard_.Discovery().note, DiscoveryNote::TooFewRows);
  EXPECT_EQ(record_.Slots[1].Crc.Items[0], before);
  wizard_.SelectFormat(0);
  EXPECT_EQ(wizard_.FormatRows().size(), 8u);
}

TEST_F(ChecksumWizardTest, EveryFormatEntryShowsAndEditsItsOwnBlock) {
  // Six formats: the later entries are edited like the first ones.
  for (int s = 1; s < 6; ++s)
    record_.Slots[static_cast<std::size_t>(s)].Text.assign("<0>[" + std::to_string(8 * (s + 1)) + "]<1>");
  for (auto& slot : record_.Slots) {
    slot.Crc.HasChecksum = 1;
    slot.Crc.Count = 1;
  }
  record_.Slots[5].Crc.Items[0].TargetBit = 40;
  record_.HasChecksum = 1;
  wizard_.Open();
  wizard_.SelectFormat(5);
  EXPECT_EQ(wizard_.SelectedSlot(), 5);
  EXPECT_EQ(wizard_.Item(0).target_bit, 40);
  EXPECT_EQ(wizard_.Grid().Checksums().Items[0].TargetBit, 40);
  EXPECT_TRUE(wizard_.EditItem(0, ItemColumn::TargetBit, "41"));
  EXPECT_EQ(record_.Slots[5].Crc.Items[0].TargetBit, 41);
  EXPECT_EQ(record_.Slots[0].Crc.Items[0].TargetBit, 0);
}

}  // namespace
}  // namespace klimavo::analysis
