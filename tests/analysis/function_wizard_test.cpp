// The function analysis wizard's logic, driven as the dialog drives it:
// captures in, rows in the grid, auto extraction, key switching and saving,
// the 0/1 swap, the remote without display, and the firmware simulation.
#include "analysis/function_wizard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "analysis/format_slots.h"
#include "analysis/signal_support.h"
#include "analysis/table_image_problem.h"
#include "analysis/wizard_fixtures.h"
#include "ir/checksum.h"
#include "ir/protocol.h"

namespace klimavo::analysis {
namespace {

using fixtures::CodeWithField;
using fixtures::NecCapture;

constexpr double kTolerance = 0.21;
constexpr std::int32_t kCarrier = 38000;

struct Recorder : FunctionWizardEvents {
  std::vector<WizardEvent> events;
  std::vector<WizardMessage> messages;
  void Changed(WizardEvent e) override { events.push_back(e); }
  void Message(WizardMessage m) override { messages.push_back(m); }
  bool Saw(WizardEvent e) const { return std::find(events.begin(), events.end(), e) != events.end(); }
};

// The value of key k's 4-bit field (bit 4k) in a grid row.
std::int64_t FieldOfRow(const CompareGridModel& grid, int row, int key) {
  store::TGrdDataLine line;
  if (!grid.GetLine(row, line)) return -1;
  return ir::GetCodeFieldValue(line.Data, line.Elements, 0, 4 * key, 4, true);
}

class FunctionWizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    record_ = fixtures::NecRecord();
    wizard_.SetEvents(&recorder_);
    FunctionWizard::KeyStates() = kInitialKeyStates;
  }

  void Capture(int key, int value) {
    wizard_.CaptureReceived(NecCapture(CodeWithField(key, value)), kCarrier);
  }

  store::TdiskAir record_;
  store::TBtnLines lines_ = store::TBtnLines(3);  // fewer lists than keys: the wizard sizes them
  lang::Language language_ = fixtures::SourceLanguage();
  FunctionWizard wizard_{record_, lines_, language_, kTolerance, config::TimingAdjustments{}};
  Recorder recorder_;
};

TEST_F(FunctionWizardTest, OpensOnKeyZeroWithTheLinesSizedToTheKeys) {
  wizard_.Show();
  EXPECT_EQ(lines_.size(), 6u);
  EXPECT_EQ(wizard_.SelectedKey(), 0);
  EXPECT_EQ(wizard_.Grid().MaxRunWidth(), kWizardMaxRunWidth);
  EXPECT_TRUE(wizard_.Grid().LowPre());
  EXPECT_EQ(wizard_.FormatLabel(), "<0>[32]<1>");
  ASSERT_NE(wizard_.FormatTree(), nullptr);
  EXPECT_EQ(wizard_.FieldBytes(), (ir::TSSByteArray{0x12, 0x34, 0x56, 0x78}));  // the slot's stored code
  EXPECT_EQ(wizard_.Caption(), language_.Text(45) + "[0123]");
  EXPECT_FALSE(wizard_.RecordChanged());
}

TEST_F(FunctionWizardTest, CapturesBecomeRowsAndAutoExtractionWritesTheKeysColumns) {
  wizard_.Show();
  wizard_.SwitchKey(1);  // temperature: 15 states
  for (int value : {0, 9, 2, 11, 4}) Capture(1, value);
  ASSERT_EQ(wizard_.Grid().LineCount(), 5);
  EXPECT_TRUE(wizard_.LinesChanged());
  EXPECT_TRUE(recorder_.Saw(WizardEvent::CaptureShown));
  EXPECT_EQ(wizard_.LastCapture(), NecCapture(CodeWithField(1, 4)));

  wizard_.AutoExtract();
  const store::TdiskKey& key = record_.Keys[1];
  EXPECT_EQ(key.Columns[0].Frame, 0);
  EXPECT_EQ(key.Columns[0].BitPos, 4);
  EXPECT_EQ(key.Columns[0].Width, 4);
  EXPECT_EQ(std::vector<int>(key.Columns[0].Values.begin(), key.Columns[0].Values.begin() + 6),
            (std::vector<int>{0, 9, 2, 11, 4, 255}));
  EXPECT_FALSE(key.Columns[1].InUse());
  EXPECT_TRUE(wizard_.RecordChanged());
  EXPECT_EQ(wizard_.States(0).cells[kFirstStateRow + 3][0], "B");
  EXPECT_EQ(wizard_.Grid().LettersOf(0, 4).first, 'T');  // the new field is marked
}

TEST_F(FunctionWizardTest, AutoExtractionTakesNoMoreRowsThanStates) {
  wizard_.Show();  // power: 2 states
  for (int value : {1, 0, 1}) Capture(0, value);
  wizard_.AutoExtract();
  const auto& values = record_.Keys[0].Columns[0].Values;
  EXPECT_EQ(std::vector<int>(values.begin(), values.begin() + 3), (std::vector<int>{1, 0, 255}));
}

TEST_F(FunctionWizardTest, SwitchingKeysSavesTheRowsAndANewStructureTakesASlot) {
  wizard_.Show();
  wizard_.SwitchKey(2);
  Capture(2, 5);
  const ir::TSSByteArray short_code = fixtures::BitsOf("<0>[16]<1>", {0xAB, 0xCD});
  wizard_.CaptureReceived(NecCapture(short_code), kCarrier);
  EXPECT_EQ(wizard_.FormatLabel(), "<0>[16]<1>");
  wizard_.SwitchKey(3);
  ASSERT_EQ(lines_[2].size(), 2u);
  EXPECT_EQ(lines_[2][1].Data, short_code);
  EXPECT_EQ(record_.Keys[2].Slot, 0);  // the first row decides
  EXPECT_EQ(wizard_.Grid().LineCount(), 0);

  wizard_.SwitchKey(2);
  EXPECT_EQ(wizard_.Grid().LineCount(), 2);
  wizard_.DeleteRows({0});
  wizard_.SwitchKey(0);
  EXPECT_EQ(record_.Keys[2].Slot, 1);
  EXPECT_EQ(record_.Slots[1].Text.str(), "<0>[16]<1>");
  EXPECT_EQ(record_.Slots[1].Code[0], 0xAB);
  EXPECT_TRUE(wizard_.FormatsChanged());
  EXPECT_TRUE(wizard_.RecordChanged());

  // Key 2's slot goes when its rows go; closing squeezes it out.
  wizard_.SwitchKey(2);
  wizard_.ClearRows();
  EXPECT_TRUE(wizard_.Close());
  EXPECT_EQ(record_.Keys[2].Slot, store::kNoSlot);
  EXPECT_EQ(record_.Slots[1].Text.str(), "");
  EXPECT_EQ(record_.Slots[0].Text.str(), "<0>[32]<1>");
}

TEST_F(FunctionWizardTest, SwitchingKeysWithoutChangesLeavesTheRecordAndItsSlotsAlone) {
  // Every key of the record sends slot 0 but has no code lines.
  wizard_.Show();
  wizard_.SwitchKey(1);
  wizard_.SwitchKey(2);
  EXPECT_FALSE(wizard_.Close());
  for (int k = 0; k < 6; ++k) EXPECT_EQ(record_.Keys[static_cast<std::size_t>(k)].Slot, 0) << k;
}

TEST_F(FunctionWizardTest, AFarCarrierBecomesTheRecordsCarrier) {
  struct Case {
    std::int32_t carrier;
    std::uint16_t record_carrier;
  };
  for (const Case& c :
       {Case{ir::kUnusedDuration, 38000}, Case{0, 38000}, Case{39000, 38000}, Case{56000, 56000}}) {
    store::TdiskAir record = fixtures::NecRecord();
    store::TBtnLines lines;
    FunctionWizard wizard(record, lines, language_, kTolerance, {});
    wizard.Show();
    wizard.CaptureReceived(NecCapture(CodeWithField(0, 1)), c.carrier);
    EXPECT_EQ(record.Params.Carrier, c.record_carrier) << c.carrier;
    EXPECT_EQ(wizard.RecordChanged(), c.record_carrier != 38000) << c.carrier;
  }
}

TEST_F(FunctionWizardTest, ACaptureThatDoesNotReadIsOnlyShown) {
  wizard_.Show();
  wizard_.CaptureReceived({90000, -10000, 90000, -10000}, kCarrier);
  EXPECT_EQ(wizard_.Grid().LineCount(), 0);
  EXPECT_TRUE(recorder_.Saw(WizardEvent::CaptureShown));
  EXPECT_FALSE(wizard_.LinesChanged());
}

TEST_F(FunctionWizardTest, ZeroOneSwapInvertsEveryCodeAndExchangesTheLogicCodes) {
  const ir::TSSByteArray other = CodeWithField(3, 1);
  lines_.resize(6);
  lines_[3] = {{other, ir::ParseProtocol("<0>[32]<1>").Elements, 1, 0}};
  wizard_.Show();
  Capture(0, 1);
  const auto logic0 = record_.Params.Logic[0];
  const auto logic1 = record_.Params.Logic[1];
  wizard_.SwapZeroOne();
  EXPECT_EQ(record_.Params.Logic[0], logic1);
  EXPECT_EQ(record_.Params.Logic[1], logic0);
  EXPECT_EQ(wizard_.Grid().CellText(0, 0)[0], '0');  // bit 0 of 0x11 was 1
  EXPECT_EQ(lines_[3][0].Data[0], other[0] == 1 ? 0 : 1);
  EXPECT_EQ(record_.Slots[0].Code[0], 0xED);  // 0x12 inverted
  EXPECT_EQ(wizard_.FieldBytes()[0], 0xEE);   // the row's 0x11 inverted
  EXPECT_TRUE(wizard_.LinesChanged());
  // The same capture now reads as the inverted code.
  Capture(0, 1);
  EXPECT_EQ(wizard_.Grid().CellText(1, 0), wizard_.Grid().CellText(0, 0));
}

TEST_F(FunctionWizardTest, AKeyWithoutASlotMarksTheFieldsOfTheSlotItsRowsTake) {
  // As in a new record: the mode key has neither a slot nor rows yet.
  record_.Keys[kKeyMode].Slot = store::kNoSlot;
  lines_.resize(6);
  lines_[kKeyMode].clear();
  wizard_.Show();
  Capture(0, 1);
  Capture(0, 2);
  wizard_.AutoExtract();
  wizard_.SwitchKey(kKeyMode);
  EXPECT_TRUE(wizard_.Grid().KeyZones()[0].empty());  // no rows: no slot to share
  Capture(kKeyMode, 5);
  // The first row takes slot 0, the power key's: its field is marked at once.
  ASSERT_FALSE(wizard_.Grid().KeyZones()[0].empty());
  EXPECT_EQ(wizard_.Grid().KeyZones()[0][0].Bit, 0);
  EXPECT_EQ(wizard_.Grid().LettersOf(0, 0).first, 'P');
  wizard_.ClearRows();
  EXPECT_TRUE(wizard_.Grid().KeyZones()[0].empty());
}

TEST_F(FunctionWizardTest, FlippingTheBitOrderKeepsTheStoredCodesSending) {
  wizard_.Show();
  ASSERT_TRUE(wizard_.SetLsbFirst(false));
  EXPECT_EQ(record_.LsbFirst, 0);
  EXPECT_FALSE(wizard_.Grid().LowPre());
  EXPECT_EQ(record_.Slots[0].Code[0], 0x48);  // 0x12 with its bits in the other order
  EXPECT_EQ(wizard_.FieldBytes()[0], 0x48);
}

TEST_F(FunctionWizardTest, SetAsInitialStoresTheSelectedRowsCode) {
  wizard_.Show();
  Capture(0, 7);
  Capture(0, 9);
  wizard_.SelectRow(1);
  wizard_.SetAsInitialCode();  // the power key's second row goes to its second slot: it has none
  EXPECT_EQ(record_.Slots[0].Code[0], 0x12);
  EXPECT_FALSE(recorder_.Saw(WizardEvent::StoredCodesChanged));

  wizard_.SwitchKey(2);
  Capture(2, 7);
  Capture(2, 9);
  wizard_.SelectRow(1);
  wizard_.SetAsInitialCode();
  EXPECT_EQ(record_.Slots[0].Code[1], 0x39);
  EXPECT_TRUE(recorder_.Saw(WizardEvent::StoredCodesChanged));
  EXPECT_TRUE(wizard_.RecordChanged());
}

TEST_F(FunctionWizardTest, ARemoteWithoutDisplayStoresEachCaptureInTheSlotOfTheTablesRow) {
  record_.RemoteType = kRemoteWithoutDisplay;
  wizard_.Show();
  ASSERT_EQ(wizard_.NoDisplayRows(), 7);
  EXPECT_EQ(wizard_.NoDisplayName(1), "Temp+");
  EXPECT_EQ(wizard_.NoDisplayName(6), "Temp-");
  wizard_.SelectNoDisplayRow(2);
  Capture(2, 6);
  EXPECT_EQ(wizard_.Grid().LineCount(), 0);
  EXPECT_EQ(wizard_.NoDisplayRow(), 3);
  EXPECT_EQ(wizard_.NoDisplayBytes(2), (std::vector<std::string>{"12", "36", "56", "78"}));
  EXPECT_EQ(record_.Slots[2].Code[1], 0x36);
  Capture(2, 6);
  EXPECT_EQ(record_.Slots[3].Code[0], 0x12);
  EXPECT_TRUE(wizard_.RecordChanged());
  const store::TdiskAir before = record_;
  wizard_.Close();
  EXPECT_EQ(record_.Slots, before.Slots);  // its code slots are not squeezed away
}

TEST_F(FunctionWizardTest, TheNoDisplayTableShowsEveryByteOfALongCode) {
  record_.RemoteType = kRemoteWithoutDisplay;
  record_.Slots[0].Text.assign("<0>[72]<1>");
  const std::vector<std::uint8_t> code{1, 2, 3, 4, 5, 6, 7, 8, 0xA9};
  ASSERT_TRUE(StoreSlotCode(record_, 0, code));
  wizard_.Show();
  EXPECT_EQ(wizard_.NoDisplayBytes(0),
            (std::vector<std::string>{"01", "02", "03", "04", "05", "06", "07", "08", "A9"}));
}

TEST_F(FunctionWizardTest, SimulationSendsTheCodeTheRecordDescribesForTheNextState) {
  wizard_.Show();
  wizard_.SwitchKey(3);  // fan: 4 states, field at bit 12 with (s + 3) & 15
  ASSERT_TRUE(wizard_.Simulate(SimulationButton::Main));
  EXPECT_EQ(FunctionWizard::KeyStates()[3], 1);
  ASSERT_EQ(wizard_.Grid().LineCount(), 1);
  EXPECT_EQ(FieldOfRow(wizard_.Grid(), 0, 3), 4);
  EXPECT_EQ(wizard_.SimulationCaption().size(), 6u);
  EXPECT_EQ(wizard_.SimulationCaption()[3], '1');

  for (int press = 0; press < 3; ++press) ASSERT_TRUE(wizard_.Simulate(SimulationButton::Main));
  EXPECT_EQ(FunctionWizard::KeyStates()[3], 0);  // 2, 3, then back to 0
  EXPECT_EQ(FieldOfRow(wizard_.Grid(), 3, 3), 3);
  // The other button counts on its own.
  ASSERT_TRUE(wizard_.Simulate(SimulationButton::NoDisplay));
  EXPECT_EQ(FunctionWizard::KeyStates()[3], 1);
}

TEST_F(FunctionWizardTest, ASimulationThatSendsNothingSaysWhy) {
  // Only two keys keep their fields: the image has too few keys with parts.
  for (std::size_t k = 2; k < 6; ++k)
    for (store::TdiskBitColumn& c : record_.Keys[k].Columns) c.Frame = store::kUnusedFrame;
  wizard_.Show();
  const int lines = wizard_.Grid().LineCount();
  EXPECT_FALSE(wizard_.Simulate(SimulationButton::Main));
  EXPECT_EQ(recorder_.messages, std::vector<WizardMessage>{WizardMessage::SimulationFailed});
  EXPECT_EQ(wizard_.SimulationProblem(), TableImageProblem(-499, language_));
  EXPECT_NE(wizard_.SimulationProblem().find(language_.Text(247)), std::string::npos);
  EXPECT_EQ(wizard_.Grid().LineCount(), lines);
}

TEST_F(FunctionWizardTest, FixedValueBoxesFollowTheSelectedKey) {
  wizard_.Show();
  wizard_.SwitchKey(1);
  struct Case {
    int box;
    bool visible;
  };
  for (const Case& c : {Case{0, true}, Case{1, false}, Case{5, true}, Case{6, false}})
    EXPECT_EQ(wizard_.FixedValueBoxVisible(c.box), c.visible) << c.box;
  EXPECT_EQ(wizard_.FixedValueCaption(3), language_.Text(51) + " Fan " + language_.Text(52));
  EXPECT_EQ(wizard_.FixedValueCaption(6), language_.Text(51) + " Temp+- " + language_.Text(52));
  wizard_.SetFixedValue(3, true);
  EXPECT_EQ(record_.Keys[1].FixedFlags, 0b1000);
  EXPECT_TRUE(wizard_.FixedValue(3));
  wizard_.SwitchKey(0);
  EXPECT_TRUE(wizard_.FixedValueBoxVisible(6));
  EXPECT_FALSE(wizard_.FixedValue(3));
}

TEST_F(FunctionWizardTest, SelectingARowShowsItsCodeAndForTheModeKeyItsTemperature) {
  wizard_.Show();
  wizard_.SwitchKey(2);
  wizard_.CaptureReceived(NecCapture(CodeWithField(1, 9)), kCarrier);  // temperature state 8: 24 degrees
  recorder_.events.clear();
  wizard_.SelectRow(0);
  EXPECT_EQ(wizard_.SelectedRow(), 0);
  EXPECT_TRUE(recorder_.Saw(WizardEvent::FormatTreeChanged));
  EXPECT_TRUE(recorder_.Saw(WizardEvent::CaptureCleared));
  EXPECT_EQ(wizard_.TemperatureLabel(), "24\xA1\xE6");
  EXPECT_EQ(wizard_.FieldBytes()[0], 0x92);
}

// Every function key of a record pressed in its first, second and last state,
// as the record's table image sends it.
std::vector<ir::TIRIntegerArr> SignalsOf(const store::EditableRecord& editable) {
  std::vector<ir::TIRIntegerArr> signals;
  for (int key = 0; key < 6; ++key) {
    const int last = editable.record.Keys[static_cast<std::size_t>(key)].StateCount - 1;
    for (int state : {0, 1, last})
      signals.push_back(testing::EmulatePress(editable.record, editable.bit_lines, key, state));
  }
  return signals;
}

store::EditableRecord SampleRecord0101() {
  return testing::LoadSampleRecord(std::filesystem::path(KLIMAVO_SOURCE_DIR) / "data/library/01-gree.json");
}

struct BitChange {
  const char* name;
  std::function<bool(FunctionWizard&)> apply;
};

const std::vector<BitChange>& BitChanges() {
  static const std::vector<BitChange> changes{
      {"0/1 swap", [](FunctionWizard& w) { return w.SwapZeroOne(); }},
      {"MSB first", [](FunctionWizard& w) { return w.SetLsbFirst(false); }},
      {"both", [](FunctionWizard& w) { return w.SwapZeroOne() && w.SetLsbFirst(false); }},
  };
  return changes;
}

TEST(FunctionWizardBitReading, SwapAndBitOrderKeepWhatTheRecordSends) {
  const lang::Language language = fixtures::SourceLanguage();
  store::EditableRecord sample = SampleRecord0101();
  ASSERT_EQ(sample.record.LsbFirst, 1);
  // Without its checksum the record's fields and stored code are all there is to follow the bits.
  sample.record.HasChecksum = 0;
  for (store::TdiskFormatSlot& slot : sample.record.Slots) slot.Crc.HasChecksum = 0;
  const std::vector<ir::TIRIntegerArr> sent = SignalsOf(sample);
  for (std::size_t i = 0; i < sent.size(); ++i) ASSERT_FALSE(sent[i].empty()) << i;
  for (const BitChange& change : BitChanges()) {
    store::EditableRecord editable = sample;
    FunctionWizard wizard(editable.record, editable.bit_lines, language, kTolerance, {});
    wizard.Show();
    ASSERT_TRUE(change.apply(wizard)) << change.name;
    wizard.Close();
    EXPECT_NE(editable.record.Keys, sample.record.Keys) << change.name;  // the state values were re-read
    EXPECT_EQ(SignalsOf(editable), sent) << change.name;
  }
}

TEST(FunctionWizardBitReading, AChecksumInUseRefusesBothWithAMessage) {
  const lang::Language language = fixtures::SourceLanguage();
  const store::EditableRecord sample = SampleRecord0101();
  for (const BitChange& change : BitChanges()) {
    store::EditableRecord editable = sample;
    Recorder recorder;
    FunctionWizard wizard(editable.record, editable.bit_lines, language, kTolerance, {});
    wizard.SetEvents(&recorder);
    wizard.Show();
    EXPECT_FALSE(change.apply(wizard)) << change.name;
    EXPECT_EQ(recorder.messages, std::vector<WizardMessage>{WizardMessage::ChecksumKeepsTheBits})
        << change.name;
    EXPECT_FALSE(wizard.Close()) << change.name;
    EXPECT_EQ(editable.record, sample.record) << change.name;
  }
}

}  // namespace
}  // namespace klimavo::analysis
