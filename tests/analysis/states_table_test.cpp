// The states table: what its cells show, and what typing into them does.
#include "analysis/states_table.h"

#include <gtest/gtest.h>

#include "analysis/wizard_fixtures.h"
#include "ir/protocol.h"
#include "lang/name_tables.h"

namespace klimavo::analysis {
namespace {

constexpr std::string_view kCorrespondingCn = "\xCF\xE0\xD3\xA6\xD6\xB5";  // 相应值
constexpr std::string_view kSetSideCn = "\xC1\xBD\xB1\xDF\xD6\xC3\x31";    // 两边置1

TEST(StatesTableTest, TypedStateValues) {
  struct Case {
    std::string text;
    bool mode_fan;
    std::optional<std::uint8_t> value;
  };
  const Case cases[] = {
      {"", false, 255},
      {"  ", true, 255},
      {"1f", false, 0x1F},
      {"A", false, 10},
      {"M-2", true, 18},
      {"m+1", true, 15},
      {"M0", true, 16},
      {"M-2", false, std::nullopt},  // not a MODE/FAN column: not hexadecimal either
      {"M", true, std::nullopt},
      {std::string(kCorrespondingCn), false, 241},
      {std::string(kSetSideCn), false, 241},
      {"set side", true, 241},
      {"Corresponding", false, 241},
      {"100", false, std::nullopt},
      {"xyz", false, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseStateValue(c.text, c.mode_fan), c.value) << "'" << c.text << "'";
}

TEST(StatesTableTest, StateValueTexts) {
  store::TdiskAir record = fixtures::NecRecord();
  store::TdiskBitColumn column;
  column.Values = {241, 241, 0x1F, 255, 15, 17, 16};
  struct Case {
    int key;
    std::uint8_t kind;
    int state;
    int language_no;
    std::string text;
  };
  const Case cases[] = {
      {0, 0, 0, 1, "Set Side"},
      {0, 0, 1, 1, "Corresponding"},
      {0, 0, 1, 2, std::string(kCorrespondingCn)},
      {4, 0, 1, 1, "Corresponding"},
      {4, 0, 0, 1, "F1"},  // 241 has no name in state 0 of the swing key
      {1, 0, 2, 1, "1F"},
      {1, 0, 3, 1, ""},
      {3, kKindRelative, 4, 1, "M+1"},
      {3, kKindRelative, 5, 1, "M-1"},
      {3, kKindRelative, 6, 1, "M+0"},
      {3, 0, 4, 1, "F"},
  };
  for (const Case& c : cases) {
    column.Kind = c.kind;
    EXPECT_EQ(StateValueText(record, c.key, column, c.state, c.language_no), c.text)
        << "key " << c.key << " state " << c.state;
  }
}

TEST(StatesTableTest, KindsShowAndParseByName) {
  store::TdiskAir record = fixtures::NecRecord();  // keys Power, Temp, Mode, Fan, Swing, Vane
  struct Case {
    int key;
    std::string text;
    std::optional<std::uint8_t> kind;
  };
  const Case cases[] = {
      {2, "", 0},
      {2, "Public", 0},
      {2, "PRIVATE", 1},
      {2, "\xB9\xAB\xB9\xB2", 0},  // 公共, as the Chinese table shows it
      {2, "\xCB\xBD\xD3\xD0", 1},  // 私有
      {2, "fan", 208 + 3},
      {1, "TEMP+-", 241},
      {3, "mode/fan", 241},
      {2, "TEMP+-", std::nullopt},
      {2, "Mode", std::nullopt},
      {2, "nothing", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseKind(record, c.key, c.text, 1), c.kind) << c.key << " " << c.text;
  EXPECT_EQ(KindText(record, 2, 208 + 3, 1), "Fan");
  EXPECT_EQ(KindText(record, 1, 241, 1), "TEMP+-");
  EXPECT_EQ(KindText(record, 2, 1, 1), "private");
  EXPECT_EQ(KindText(record, 2, 0, 2), "\xB9\xAB\xB9\xB2");
  EXPECT_EQ(KindText(record, 2, 1, 2), "\xCB\xBD\xD3\xD0");
}

class StatesTableWithGrid : public ::testing::Test {
 protected:
  void SetUp() override {
    record_ = fixtures::NecRecord();
    for (int value : {3, 9, 12})
      grid_.AddLine(fixtures::CodeWithField(1, value), ir::ParseProtocol("<0>[32]<1>"));
  }
  store::TdiskAir record_;
  CompareGridModel grid_;
  lang::Language language_ = fixtures::SourceLanguage();
};

TEST_F(StatesTableWithGrid, LaysOutTheKeysColumnsAndStates) {
  record_.Keys[2].Columns[2] = record_.Keys[2].Columns[0];  // columns 0 and 2 used, 1 not
  record_.Keys[2].Extra[0] = 0b101;
  const StatesTable table = BuildStatesTable(record_, 2, 0, language_);
  EXPECT_EQ(table.key_columns, 4);
  ASSERT_EQ(table.column_headings.size(), 6u);
  EXPECT_EQ(table.column_headings[0], "Z1");
  EXPECT_EQ(table.column_headings[4], language_.Text(kTextModeFixesTemp));
  ASSERT_EQ(table.row_headings.size(), 4u + 5u);
  EXPECT_EQ(table.row_headings[kRowFrame], language_.Text(kTextFrame));
  EXPECT_EQ(table.row_headings[kRowKind], language_.Text(kTextKind));
  EXPECT_EQ(table.cells[kRowBit][0], "8");
  EXPECT_EQ(table.cells[kRowWidth][2], "4");
  EXPECT_EQ(table.cells[kRowKind][0], "public");
  EXPECT_EQ(table.cells[kRowFrame][1], "");
  EXPECT_EQ(table.cells[kFirstStateRow + 4][0], "6");  // (4 + 2) & 15
  EXPECT_EQ(table.cells[kFirstStateRow + 0][4], "1");
  EXPECT_EQ(table.cells[kFirstStateRow + 1][4], "");
  EXPECT_EQ(table.cells[kFirstStateRow + 2][4], "1");
}

TEST_F(StatesTableWithGrid, TheTemperatureKeyNamesItsFirstStatesAfterTheColumnUnderTheCursor) {
  record_.Keys[1].Columns[1] = record_.Keys[1].Columns[0];
  record_.Keys[1].Columns[1].Kind = kKindRelative;
  const std::string degree = "\xA1\xE6";
  EXPECT_EQ(BuildStatesTable(record_, 1, 0, language_).row_headings[kFirstStateRow], "16" + degree);
  EXPECT_EQ(BuildStatesTable(record_, 1, 1, language_).row_headings[kFirstStateRow], "Temp-");
  EXPECT_EQ(BuildStatesTable(record_, 1, 1, language_).row_headings[kFirstStateRow + 1], "Temp+");
}

TEST_F(StatesTableWithGrid, EditingAFieldReadsItsValuesAgainFromTheRows) {
  // Key 1's column moved onto bits 4..7, where the rows carry 3, 9 and 12.
  ASSERT_TRUE(EditStatesCell(record_, 1, kRowBit, 0, "4", grid_, 1));
  const auto& c = record_.Keys[1].Columns[0];
  EXPECT_EQ(std::vector<int>(c.Values.begin(), c.Values.begin() + 4), (std::vector<int>{3, 9, 12, 4}));
  ASSERT_TRUE(EditStatesCell(record_, 1, kRowWidth, 0, "2", grid_, 1));
  EXPECT_EQ(std::vector<int>(c.Values.begin(), c.Values.begin() + 3), (std::vector<int>{3, 1, 0}));

  EXPECT_FALSE(EditStatesCell(record_, 1, kRowWidth, 0, "0", grid_, 1));
  EXPECT_FALSE(EditStatesCell(record_, 1, kRowFrame, 0, "x", grid_, 1));
  EXPECT_EQ(c.Width, 2);
  ASSERT_TRUE(EditStatesCell(record_, 1, kFirstStateRow + 1, 0, "7", grid_, 1));
  EXPECT_EQ(c.Values[1], 7);
  EXPECT_FALSE(EditStatesCell(record_, 1, kFirstStateRow + 15, 0, "7", grid_, 1));  // 15 states: rows 4..18
  ASSERT_TRUE(EditStatesCell(record_, 1, kRowKind, 0, "temp+-", grid_, 1));
  EXPECT_EQ(c.Kind, kKindRelative);
  ASSERT_TRUE(EditStatesCell(record_, 1, kRowFrame, 0, "", grid_, 1));
  EXPECT_FALSE(c.InUse());
}

TEST_F(StatesTableWithGrid, ModeFanStepsAndModeFlags) {
  store::TdiskBitColumn& fan = record_.Keys[3].Columns[0];
  fan.Kind = kKindRelative;
  ASSERT_TRUE(EditStatesCell(record_, 3, kFirstStateRow + 2, 0, "M-2", grid_, 1));
  EXPECT_EQ(fan.Values[2], 18);
  EXPECT_EQ(BuildStatesTable(record_, 3, 0, language_).cells[kFirstStateRow + 2][0], "M-2");

  const int flags_column = BuildStatesTable(record_, 2, 0, language_).key_columns + 1;
  ASSERT_TRUE(EditStatesCell(record_, 2, kFirstStateRow + 3, flags_column, "1", grid_, 1));
  EXPECT_EQ(record_.Keys[2].Extra[1], 0b1000);
  ASSERT_TRUE(EditStatesCell(record_, 2, kFirstStateRow + 3, flags_column, "", grid_, 1));
  EXPECT_EQ(record_.Keys[2].Extra[1], 0);
  EXPECT_FALSE(EditStatesCell(record_, 2, kFirstStateRow + 5, flags_column, "1", grid_, 1));  // 5 states
}

TEST_F(StatesTableWithGrid, TheModeKeysLabelNamesTheTemperatureOfARow) {
  // Key 1's field (bits 4..7) holds (s + 1) & 15 in state s: the rows' 3, 9 and
  // 12 are states 2, 8 and 11, that is 18, 24 and 27 degrees.
  const std::string degree = "\xA1\xE6";
  EXPECT_EQ(TemperatureOfRow(record_, grid_, 0), "18" + degree);
  EXPECT_EQ(TemperatureOfRow(record_, grid_, 2), "27" + degree);
  EXPECT_EQ(TemperatureOfRow(record_, grid_, 5), "");
  record_.Keys[1].Columns[0].Values[13] = 3;  // a later state with the same value wins
  EXPECT_EQ(TemperatureOfRow(record_, grid_, 0), "29" + degree);
}

}  // namespace
}  // namespace klimavo::analysis
