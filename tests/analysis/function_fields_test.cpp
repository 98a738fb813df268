// The fields of the other keys that the grid marks, and auto extraction.
#include "analysis/function_fields.h"

#include <gtest/gtest.h>

#include "analysis/wizard_fixtures.h"
#include "ir/protocol.h"

namespace klimavo::analysis {
namespace {

store::TdiskBitColumn Column(std::uint8_t frame, std::uint16_t bit, std::uint8_t width,
                             std::uint8_t kind = 0) {
  store::TdiskBitColumn c = UnusedColumn();
  c.Frame = frame;
  c.BitPos = bit;
  c.Width = width;
  c.Kind = kind;
  return c;
}

std::string ZonesText(const ir::TBtnBitsInfo& zones) {
  std::string text;
  for (std::size_t k = 0; k < zones.size(); ++k) {
    text += std::to_string(k) + ":";
    for (const ir::TSameInfo& z : zones[k])
      text += std::to_string(z.Frame) + "." + std::to_string(z.Bit) + "." + std::to_string(z.Width) + " ";
    text += "|";
  }
  return text;
}

TEST(FunctionFieldsTest, KeyZonesHoldTheKeysThatShareASlot) {
  store::TdiskAir record = fixtures::NecRecord();
  for (auto& key : record.Keys) key.Columns.fill(UnusedColumn());
  record.Keys[0].Slot = 0;
  record.Keys[0].Slot2 = 1;  // the power key sends a second format
  record.Keys[1].Slot = 0;
  record.Keys[2].Slot = 1;
  record.Keys[3].Slot = 2;
  record.Keys[4].Slot = store::kNoSlot;
  record.Keys[5].Slot = store::kNoSlot;
  record.Keys[0].Columns[0] = Column(0, 0, 1);
  record.Keys[1].Columns[0] = Column(0, 8, 4);
  record.Keys[1].Columns[1] =
      Column(0, 20, 2, kKindOfKeyBase + 3);  // the fan's value, inside the temperature's code
  record.Keys[2].Columns[0] = Column(0, 4, 3);
  record.Keys[3].Columns[0] = Column(0, 12, 2);
  record.Keys[4].Columns[0] = Column(0, 16, 1);
  record.Keys[5].Columns[0] = Column(0, 18, 1);

  struct Case {
    int key;
    const char* zones;
  };
  const Case cases[] = {
      // Temperature shares slot 0 with power; its fan-valued column counts as the fan's.
      {1, "0:0.0.1 |1:0.8.4 |2:|3:0.20.2 |4:|5:|"},
      // Power uses slots 0 and 1: temperature and mode share one of them each.
      {0, "0:0.0.1 |1:0.8.4 |2:0.4.3 |3:|4:|5:|"},
      // The fan alone in slot 2; a column of another key taking the fan's value does not count.
      {3, "0:|1:|2:|3:0.12.2 |4:|5:|"},
      // Keys without a slot share nothing with each other.
      {4, "0:|1:|2:|3:|4:0.16.1 |5:|"},
  };
  for (const Case& c : cases) EXPECT_EQ(ZonesText(KeyZonesOf(record, c.key)), c.zones) << "key " << c.key;
}

TEST(FunctionFieldsTest, ExtractionTakesRowSAsStateSAndAtMost32Runs) {
  struct Case {
    const char* what;
    int rows;
    int states;
    int runs;
    std::vector<std::uint8_t> values_of_run_0;
  };
  // Odd rows set the even bits 0, 2, 4, ..., even rows none: every even bit is a
  // run of its own whose value is the row's parity.
  const Case cases[] = {
      {"more rows than states: only the first state-count rows", 4, 2, 3, {0, 1}},
      {"fewer rows than states: the rest stays 255", 2, 5, 3, {0, 1, 255, 255, 255}},
      {"forty runs keep 32 columns", 2, 2, 40, {0, 1}},
  };
  for (const Case& c : cases) {
    CompareGridModel grid;
    grid.SetMaxRunWidth(6);
    const int bits = 2 * c.runs;
    for (int r = 0; r < c.rows; ++r) {
      ir::TSSByteArray row(static_cast<std::size_t>(bits), 0);
      for (int i = 0; i < c.runs; ++i)
        row[static_cast<std::size_t>(2 * i)] = static_cast<std::uint8_t>(r % 2);
      grid.AddLine(row, ir::ParseProtocol("[" + std::to_string(bits) + "]"));
    }
    std::array<store::TdiskBitColumn, store::kColumnsPerKey> columns{};
    const int taken = ExtractColumns(grid, c.states, columns);
    EXPECT_EQ(taken, std::min(c.runs, 32)) << c.what;
    EXPECT_EQ(columns[0].Frame, 0) << c.what;
    EXPECT_EQ(columns[0].Width, 1) << c.what;
    EXPECT_EQ(columns[0].Kind, kKindPublic) << c.what;
    EXPECT_EQ(std::vector<std::uint8_t>(columns[0].Values.begin(), columns[0].Values.begin() + c.states),
              c.values_of_run_0)
        << c.what;
    EXPECT_EQ(columns[0].Values[static_cast<std::size_t>(c.states)], store::kUnsetValue) << c.what;
    EXPECT_EQ(columns[1].BitPos, 2) << c.what;
    if (taken < 32) {
      EXPECT_FALSE(columns[static_cast<std::size_t>(taken)].InUse()) << c.what;
    }
  }
}

TEST(FunctionFieldsTest, ExtractionWithoutRunsLeavesNoColumnAndMissingBitsGive255) {
  CompareGridModel grid;
  grid.AddLine(fixtures::BitsOf("[8]", {0x0F}), ir::ParseProtocol("[8]"));
  std::array<store::TdiskBitColumn, store::kColumnsPerKey> columns{};
  columns[3].Frame = 0;
  EXPECT_EQ(ExtractColumns(grid, 2, columns), 0);
  for (const auto& c : columns) EXPECT_FALSE(c.InUse());

  grid.SetMaxRunWidth(4);
  grid.AddLine(fixtures::BitsOf("[4]", {0x01}), ir::ParseProtocol("[4]"));
  grid.AddLine(fixtures::BitsOf("[8]", {0xF0}), ir::ParseProtocol("[8]"));
  EXPECT_EQ(ExtractColumns(grid, 3, columns), 2);  // bits 0..3 differ, and 4..7 (row 1 lacks them)
  EXPECT_EQ(std::vector<std::uint8_t>(columns[1].Values.begin(), columns[1].Values.begin() + 3),
            (std::vector<std::uint8_t>{0, 255, 15}));
}

TEST(FunctionFieldsTest, StateValuesAreReadAnewWithinTheirWidth) {
  store::TdiskAir record = fixtures::NecRecord();
  store::TdiskBitColumn& c = record.Keys[2].Columns[0];
  c.Width = 3;
  const std::array<std::uint8_t, 5> values{0b001, 0b110, kValueSpecial, store::kUnsetValue, 0b011};
  std::copy(values.begin(), values.end(), c.Values.begin());
  record.Keys[2].StateCount = 5;
  c.Values[5] = 0b001;  // beyond the states: not a value of the key
  struct Case {
    BitReading reading;
    std::array<std::uint8_t, 6> expected;
  };
  for (const Case& t : {Case{{.invert = true, .reverse_order = false}, {0b110, 0b001, 241, 255, 0b100, 1}},
                        Case{{.invert = false, .reverse_order = true}, {0b100, 0b011, 241, 255, 0b110, 1}},
                        Case{{.invert = true, .reverse_order = true}, {0b011, 0b100, 241, 255, 0b001, 1}}}) {
    store::TdiskAir copy = record;
    RereadFieldValues(copy, t.reading);
    for (std::size_t s = 0; s < t.expected.size(); ++s)
      EXPECT_EQ(copy.Keys[2].Columns[0].Values[s], t.expected[s]) << s;
  }
}

}  // namespace
}  // namespace klimavo::analysis
