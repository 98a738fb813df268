// The comparison grid model: which bits differ, how they are cut into runs,
// the value of a run in each row, the row operations, the key zones and the
// checksums computed over the cell texts.
#include "analysis/compare_grid.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ir/checksum.h"
#include "ir/protocol.h"
#include "store/record_json.h"

namespace klimavo::analysis {
namespace {

// Bits from a text of "0"/"1"; blanks are for readability only.
ir::TSSByteArray Bits(std::string_view text) {
  ir::TSSByteArray bits;
  for (char c : text)
    if (c == '0' || c == '1') bits.push_back(static_cast<std::uint8_t>(c - '0'));
  return bits;
}

struct Row {
  const char* protocol;
  const char* bits;
};

CompareGridModel GridOf(const std::vector<Row>& rows, int max_run_width = kDefaultMaxRunWidth,
                        bool lsb_first = false) {
  CompareGridModel grid;
  grid.SetMaxRunWidth(max_run_width);
  grid.SetLowPre(lsb_first);
  for (const Row& r : rows) grid.AddLine(Bits(r.bits), ir::ParseProtocol(r.protocol));
  return grid;
}

// "frame:bit:width" of every run, joined by blanks.
std::string RunsText(const CompareGridModel& grid) {
  std::string text;
  for (const ir::TSameInfo& r : grid.Runs()) {
    if (!text.empty()) text += ' ';
    text += std::to_string(r.Frame) + ":" + std::to_string(r.Bit) + ":" + std::to_string(r.Width);
  }
  return text;
}

struct RunsCase {
  const char* what;
  std::vector<Row> rows;
  int max_run_width;
  const char* runs;
};

class GridRunsTable : public ::testing::TestWithParam<RunsCase> {};

TEST_P(GridRunsTable, MarksTheDifferingBitsAndCutsThemIntoRuns) {
  const RunsCase& c = GetParam();
  const CompareGridModel grid = GridOf(c.rows, c.max_run_width);
  EXPECT_EQ(RunsText(grid), c.runs) << c.what;
  // Every bit outside the runs is the same in all rows that have it, every
  // bit inside differs.
  for (int f = 0; f < grid.MaxFrames(); ++f) {
    for (int p = 0; p < grid.FrameTextWidth(f); ++p) {
      bool in_run = false;
      for (const ir::TSameInfo& r : grid.Runs())
        in_run = in_run || (r.Frame == f && p >= r.Bit && p < r.Bit + r.Width);
      EXPECT_EQ(grid.SameBits()[static_cast<std::size_t>(f)][static_cast<std::size_t>(p)], in_run ? 0 : 1)
          << c.what << " frame " << f << " bit " << p;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GridRunsTable,
    ::testing::Values(
        RunsCase{
            "identical rows have no run", {{"<0>[8]<1>", "10100000"}, {"<0>[8]<1>", "10100000"}}, 16, ""},
        RunsCase{"a longer row's extra frame is blank in the shorter one and not a difference",
                 {{"<0>[8]<1>", "10100000"}, {"<0>[8]<1>[4]<2>", "10100000 1111"}},
                 16,
                 ""},
        RunsCase{"a frame position where every row is blank counts as equal",
                 {{"[4]", "1010"}, {"[4]", "1010"}},
                 16,
                 ""},
        RunsCase{"ten adjacent differing bits with width 6 give runs of 6 and 4",
                 {{"[16]", "0000000000 000000"}, {"[16]", "1111111111 000000"}},
                 6,
                 "0:0:6 0:6:4"},
        RunsCase{"width 1 gives one run per bit", {{"[4]", "0000"}, {"[4]", "0110"}}, 1, "0:1:1 0:2:1"},
        RunsCase{"width 0 gives one run per bit too", {{"[4]", "0000"}, {"[4]", "0110"}}, 0, "0:1:1 0:2:1"},
        RunsCase{"a gap starts a new run", {{"[8]", "00000000"}, {"[8]", "11011000"}}, 16, "0:0:2 0:3:2"},
        RunsCase{"runs never cross a frame",
                 {{"<0>[4]<1>[4]", "0000 0000"}, {"<0>[4]<1>[4]", "0011 1100"}},
                 16,
                 "0:2:2 1:0:2"},
        RunsCase{"only rows that have the bit are compared",
                 {{"[4]", "0001"}, {"[2]", "00"}, {"[4]", "0011"}},
                 16,
                 "0:2:1"},
        RunsCase{"a difference in any later row counts",
                 {{"[8]", "00000000"}, {"[8]", "00000000"}, {"[8]", "00000001"}},
                 16,
                 "0:7:1"}));

TEST(CompareGridModelTest, CellTextsArePaddedToWholeColumnsAndShiftedRowsStartLater) {
  CompareGridModel grid;
  grid.AddLine(Bits("101 11110000"), ir::ParseProtocol("<0>[3]<1>[8]<2>"));
  store::TGrdLines lines = grid.GetLines();
  store::TGrdDataLine shifted;
  shifted.Data = Bits("0000 1111");
  shifted.Elements = ir::ParseProtocol("[8]").Elements;
  shifted.Marker = 1;  // shown one frame later
  lines.push_back(shifted);
  store::TGrdDataLine too_far = shifted;
  too_far.Marker = 5;  // would reach past the last frame position: moved back
  lines.push_back(too_far);
  grid.SetLines(lines);

  ASSERT_EQ(grid.MaxFrames(), 2);
  EXPECT_EQ(grid.FrameWidths(), (std::vector<int>{8, 8}));
  EXPECT_EQ(grid.CellText(0, 0), "101     ");
  EXPECT_EQ(grid.CellText(0, 1), "11110000");
  EXPECT_EQ(grid.CellText(1, 0), "");
  EXPECT_EQ(grid.CellText(1, 1), "00001111");
  EXPECT_EQ(grid.GetLines()[2].Marker, 1);
  EXPECT_EQ(grid.CellText(2, 0), "");
  // Frame 0 differs nowhere (row 0 alone has it); frame 1 differs in all eight bits.
  EXPECT_EQ(RunsText(grid), "1:0:8");
}

TEST(CompareGridModelTest, ColumnsFollowTheFramesAndTheMode) {
  CompareGridModel grid = GridOf({{"<0>[12]<1>[8]", "000000000000 00000000"}});
  auto kinds = [&] {
    std::string text;
    for (const GridColumn& c : grid.Columns()) {
      switch (c.kind) {
        case GridColumnKind::RowNumber:
          text += 'N';
          break;
        case GridColumnKind::Bits:
          text += std::to_string(c.frame);
          break;
        case GridColumnKind::Value:
          text += 'V';
          break;
        case GridColumnKind::Checksum:
          text += 'C';
          break;
      }
    }
    return text;
  };
  EXPECT_EQ(kinds(), "N001V");
  EXPECT_EQ(grid.BitColumnCount(), 4);
  EXPECT_EQ(grid.Columns()[2].first_char, 8);

  ir::TCrcBlock block;
  block.HasChecksum = 1;
  block.Count = 2;
  block.Items[0].OperandWidth = 4;
  grid.SetChecksumMode(true);
  grid.SetChecksumBlock(block, true);
  EXPECT_EQ(grid.ColumnBits(), 4);
  EXPECT_EQ(kinds(), "N00011CC");
}

struct ColumnBitsCase {
  bool checksum_mode;
  std::uint8_t operand_width;
  int column_bits;
};

TEST(CompareGridModelTest, ChecksumModeTakesItsColumnWidthFromItemZero) {
  const ColumnBitsCase cases[] = {{true, 4, 4}, {true, 8, 8}, {true, 6, 8}, {true, 0, 8}, {false, 4, 8}};
  for (const ColumnBitsCase& c : cases) {
    CompareGridModel grid = GridOf({{"[16]", "0000000000000000"}});
    grid.SetChecksumMode(c.checksum_mode);
    ir::TCrcBlock block;
    block.Items[0].OperandWidth = c.operand_width;
    grid.SetChecksumBlock(block, true);
    EXPECT_EQ(grid.ColumnBits(), c.column_bits)
        << int{c.operand_width} << " in checksum mode " << c.checksum_mode;
    EXPECT_EQ(grid.FrameTextWidth(0), 16);
  }
}

TEST(CompareGridModelTest, RunValuesReadByBitOrderAndMissingBitsGiveMinusOne) {
  struct Case {
    bool lsb_first;
    std::vector<std::int32_t> values;
  };
  for (const Case& c : {Case{false, {1, 2, -1}}, Case{true, {2, 1, -1}}}) {
    CompareGridModel grid = GridOf({{"[8]", "00100000"}, {"[8]", "01000000"}, {"[1]", "0"}}, 16, c.lsb_first);
    ASSERT_EQ(RunsText(grid), "0:1:2") << c.lsb_first;
    std::vector<std::int32_t> values;
    for (int r = 0; r < grid.LineCount(); ++r) values.push_back(grid.RunValue(r));
    EXPECT_EQ(values, c.values) << "lsb first " << c.lsb_first;
  }
  EXPECT_EQ(GridOf({{"[4]", "0000"}}).RunValue(0), kNoRunValue);  // no runs
}

TEST(CompareGridModelTest, SortByRunValuePutsMissingBitsFirstAndDescendingIsTheReverse) {
  const std::vector<Row> rows = {{"[4]", "0110"}, {"[4]", "0010"}, {"[1]", "0"}, {"[4]", "0100"}};
  CompareGridModel up = GridOf(rows);
  up.SortByRunValue(true);
  std::vector<std::int32_t> values;
  for (int r = 0; r < up.LineCount(); ++r) values.push_back(up.RunValue(r));
  EXPECT_EQ(values, (std::vector<std::int32_t>{-1, 1, 2, 3}));

  CompareGridModel down = GridOf(rows);
  down.SortByRunValue(false);
  values.clear();
  for (int r = 0; r < down.LineCount(); ++r) values.push_back(down.RunValue(r));
  EXPECT_EQ(values, (std::vector<std::int32_t>{3, 2, 1, -1}));
}

TEST(CompareGridModelTest, TheSelectedRunDrivesValueAndSortAndResetsWhenRunsChange) {
  CompareGridModel grid = GridOf({{"[8]", "00000001"}, {"[8]", "10000000"}});
  ASSERT_EQ(RunsText(grid), "0:0:1 0:7:1");
  grid.SelectRun(1);
  EXPECT_EQ(grid.RunValue(0), 1);
  grid.SortByRunValue(true);
  EXPECT_EQ(grid.CellText(0, 0), "10000000");
  grid.AddLine(Bits("00010000"), ir::ParseProtocol("[8]"));  // a third run appears
  EXPECT_EQ(grid.SelectedRun(), 0);
  grid.SelectRun(7);  // past the end: the first run
  EXPECT_EQ(grid.SelectedRun(), 0);
}

TEST(CompareGridModelTest, RemoveDuplicatesComparesBitsAndDataElementsOnly) {
  store::TGrdLines lines(5);
  lines[0].Data = Bits("0101");
  lines[0].Elements = ir::ParseProtocol("<0>[4]<1>").Elements;
  lines[1] = lines[0];
  lines[1].Elements = ir::ParseProtocol("<2>[4]<3>").Elements;  // other split codes: still equal
  lines[2] = lines[0];
  lines[2].Elements = ir::ParseProtocol("<0>[2][2]").Elements;  // other data groups: different
  lines[3] = lines[0];
  lines[3].Data = Bits("0111");
  lines[4] = lines[3];
  CompareGridModel grid;
  grid.SetLines(lines);
  EXPECT_EQ(grid.RemoveDuplicates(), 2);
  ASSERT_EQ(grid.LineCount(), 3);
  EXPECT_EQ(grid.GetLines()[1].Elements[1].Value, 2);
  EXPECT_EQ(grid.GetLines()[2].Data, Bits("0111"));
  EXPECT_EQ(grid.RemoveDuplicates(), 0);
}

TEST(CompareGridModelTest, RowOperations) {
  CompareGridModel grid = GridOf({{"[4]", "0001"}, {"[4]", "0010"}, {"[4]", "0100"}});
  grid.AddLine({}, ir::ParseProtocol("[4]"));
  grid.AddLine(Bits("1"), {});
  EXPECT_EQ(grid.LineCount(), 3);  // empty bits or structure are ignored

  grid.ReverseLines();
  EXPECT_EQ(grid.CellText(0, 0), "0100    ");
  grid.InvertBits();
  EXPECT_EQ(grid.CellText(0, 0), "1011    ");
  grid.DeleteLines({2, 0, 2, 9});
  ASSERT_EQ(grid.LineCount(), 1);
  EXPECT_EQ(grid.CellText(0, 0), "1101    ");
  store::TGrdDataLine line;
  EXPECT_TRUE(grid.GetLine(0, line));
  EXPECT_FALSE(grid.GetLine(1, line));
  grid.Clear();
  EXPECT_EQ(grid.LineCount(), 0);
  EXPECT_EQ(grid.MaxFrames(), 0);
  EXPECT_EQ(grid.Runs().size(), 0u);
}

TEST(CompareGridModelTest, KeyZonesGiveLettersZoneCountsAndCanBeIgnored) {
  CompareGridModel grid = GridOf({{"[8]", "00000000"}, {"[8]", "11110011"}});
  ir::TBtnBitsInfo zones(7);
  zones[0] = {{0, 0, 2}};             // power: bits 0, 1
  zones[1] = {{0, 1, 2}, {0, 1, 1}};  // temperature, the current key: bits 1, 2
  zones[6] = {{0, 3, 1}};             // a seventh key: no letter
  grid.SetKeyZones(zones, 1);

  struct Expect {
    int bit;
    char first;
    char second;
    int zones;
    BitMark mark;
  };
  const Expect expected[] = {{0, 'P', 0, 1, BitMark::Differs}, {1, 'P', 'T', 1, BitMark::Differs},
                             {2, 'T', 0, 0, BitMark::Differs}, {3, 0, 0, 1, BitMark::Differs},
                             {4, 0, 0, 0, BitMark::Plain},     {6, 0, 0, 0, BitMark::Differs}};
  for (const Expect& e : expected) {
    EXPECT_EQ(grid.LettersOf(0, e.bit).first, e.first) << e.bit;
    EXPECT_EQ(grid.LettersOf(0, e.bit).second, e.second) << e.bit;
    EXPECT_EQ(grid.ZoneCount(0, e.bit), e.zones) << e.bit;
    EXPECT_EQ(grid.MarkOf(0, e.bit), e.mark) << e.bit;
  }
  EXPECT_EQ(RunsText(grid), "0:0:4 0:6:2");
  grid.SetIgnoreZoned(true);  // bits 0, 1 and 3 belong to other keys
  EXPECT_EQ(RunsText(grid), "0:2:1 0:6:2");
  EXPECT_EQ(grid.MarkOf(0, 3), BitMark::Claimed);
}

TEST(CompareGridModelTest, GetDifferencesLeavesOutChecksumTargetsAndLimitsTheRows) {
  CompareGridModel grid = GridOf(
      {{"[16]", "0000 0000 0000 0000"}, {"[16]", "1000 0000 0010 0001"}, {"[16]", "0100 0000 0000 0011"}}, 4);
  ASSERT_EQ(RunsText(grid), "0:0:2 0:10:1 0:14:2");
  ir::TCrcBlock block;
  block.Count = 1;
  block.Items[0].TargetFrame = 0;
  block.Items[0].TargetBit = 12;
  block.Items[0].TargetWidth = 4;
  grid.SetChecksumBlock(block, true);
  EXPECT_EQ(grid.GetDifferences(10).size(), 3u);  // no has-checksum flag: targets do not count
  grid.SetHasChecksum(true);
  const TSameInfoResultArr results = grid.GetDifferences(2);
  ASSERT_EQ(results.size(), 2u);
  EXPECT_EQ(results[0].Values, (std::vector<std::int32_t>{0, 2}));
  EXPECT_EQ(results[1].Bit, 10);
  EXPECT_EQ(results[1].Values, (std::vector<std::int32_t>{0, 1}));
  EXPECT_EQ(grid.LettersOf(0, 13).first, kChecksumLetter);
  EXPECT_TRUE(grid.GetDifferences(-1)[0].Values.empty());
}

TEST(CompareGridModelTest, HexModeShowsEachColumnAsDigits) {
  CompareGridModel grid = GridOf({{"[12]", "1010 0101 0011"}});
  grid.SetHexMode(true);
  const auto& columns = grid.Columns();
  EXPECT_EQ(grid.ColumnText(0, columns[1]), "A5");
  EXPECT_EQ(grid.ColumnText(0, columns[2]), "03");  // the blanks are trimmed away
  grid.SetLowPre(true);
  EXPECT_EQ(grid.ColumnText(0, columns[1]), "A5");  // 10100101 read LSB first is 0xA5 too
  EXPECT_EQ(grid.ColumnText(0, columns[2]), "0C");
  ir::TCrcBlock block;
  block.Items[0].OperandWidth = 4;
  grid.SetChecksumMode(true);
  grid.SetChecksumBlock(block, true);
  EXPECT_EQ(grid.ColumnText(0, grid.Columns()[1]), "5");
}

// ----- Checksums over the cell texts -----

ir::TCrcItem Item(std::uint8_t kind, std::vector<ir::TCrcZone> zones, std::uint8_t target_frame,
                  std::uint16_t target_bit, std::uint8_t target_width) {
  ir::TCrcItem item;
  item.Kind = kind;
  item.ZoneCount = static_cast<std::uint8_t>(zones.size());
  for (std::size_t i = 0; i < zones.size(); ++i) item.Zones[i] = zones[i];
  item.TargetFrame = target_frame;
  item.TargetBit = target_bit;
  item.TargetWidth = target_width;
  return item;
}

struct ChecksumCase {
  const char* what;
  Row row;
  ir::TCrcItem item;
  int column_bits;
  std::int32_t computed;
  std::int32_t stored;
};

class GridChecksumTable : public ::testing::TestWithParam<ChecksumCase> {};

TEST_P(GridChecksumTable, ComputesOverTheCellTexts) {
  const ChecksumCase& c = GetParam();
  CompareGridModel grid = GridOf({c.row});
  ir::TCrcBlock block;
  block.HasChecksum = 1;
  block.Count = 1;
  block.Items[0] = c.item;
  block.Items[0].OperandWidth = static_cast<std::uint8_t>(c.column_bits);
  grid.SetChecksumMode(true);
  grid.SetChecksumBlock(block, true);
  const ChecksumCell cell = grid.ChecksumOf(0, 0);
  EXPECT_EQ(cell.computed, c.computed) << c.what;
  EXPECT_EQ(cell.stored, c.stored) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GridChecksumTable,
    ::testing::Values(ChecksumCase{"byte sum of frame 0 stored in frame 1",
                                   {"<0>[16]<1>[8]", "00000001 00000010 00000011"},
                                   Item(0, {{0, 0, 0, 15}}, 1, 0, 8),
                                   8,
                                   3,
                                   3},
                      ChecksumCase{"a piece holding the target is skipped",
                                   {"[24]", "00000001 00000010 00000011"},
                                   Item(0, {{0, 0, 0, 23}}, 0, 16, 8),
                                   8,
                                   3,
                                   3},
                      ChecksumCase{"the padding blank ends the segment (12 bits give one operand)",
                                   {"[12]<0>[8]", "00000001 1111 00000001"},
                                   Item(0, {{0, 0, 0, 11}}, 1, 0, 8),
                                   8,
                                   1,
                                   1},
                      ChecksumCase{"a zone reaching into the padding stops there too",
                                   {"[12]<0>[8]", "00000001 1111 00000001"},
                                   Item(0, {{0, 0, 0, 15}}, 1, 0, 8),
                                   8,
                                   1,
                                   1},
                      ChecksumCase{"nibble pieces in 4-bit columns",
                                   {"[12]<0>[4]", "0001 0010 0100 0111"},
                                   Item(0, {{0, 0, 0, 11}}, 1, 0, 4),
                                   4,
                                   7,
                                   7},
                      ChecksumCase{
                          "the nibble sum counts skipped pieces as positions",
                          {"[48]", "00010001 00010001 11111111 00010001 00100001 00000000"},
                          // pieces 0..3 add low nibbles (piece 2 is the target: skipped), then high nibbles
                          Item(9, {{0, 0, 0, 47}}, 0, 16, 8),
                          8,
                          1 + 1 + 1 + 2 + 0,
                          255},
                      ChecksumCase{"count of ones includes the target bits",
                                   {"[16]", "01100000 00000011"},
                                   Item(2, {{0, 0, 0, 15}}, 0, 8, 8),
                                   8,
                                   4,
                                   3},
                      ChecksumCase{"shifted sum reads one leading 0 bit",
                                   {"[16]<0>[8]", "10000000 00000001 01000000"},
                                   Item(8, {{0, 0, 0, 15}}, 1, 0, 8),
                                   8,
                                   0x40,
                                   0x40},
                      ChecksumCase{"a target in the padding reads as 0",
                                   {"[12]", "00000001 0001"},
                                   Item(0, {{0, 0, 0, 7}}, 0, 12, 4),
                                   8,
                                   1,
                                   0},
                      ChecksumCase{"an unknown kind computes -1",
                                   {"[8]", "00000001"},
                                   Item(11, {{0, 0, 0, 7}}, 0, 0, 8),
                                   8,
                                   -1,
                                   1}));

// Records of the sample library carry correct checksums in every code line;
// the grid, computing over its cell texts, must agree with each of them.
TEST(CompareGridModelTest, SampleLibraryLinesCarryMatchingChecksums) {
  const std::filesystem::path dir = std::filesystem::path(KLIMAVO_SOURCE_DIR) / "data" / "library";
  int checked = 0;
  for (const char* file : {"01-gree.json", "02-mitsubishi.json", "06-black-decker.json"}) {
    std::ifstream in(dir / file);
    ASSERT_TRUE(in) << file;
    std::stringstream text;
    text << in.rdbuf();
    const store::EditableRecord e = store::RecordFromJsonText(text.str());
    for (std::size_t k = 0; k < e.record.UsedKeys(); ++k) {
      const std::uint8_t slot = e.record.Keys[k].Slot;
      if (slot >= store::kFormatSlots || e.bit_lines[k].empty()) continue;
      CompareGridModel grid;
      grid.SetLowPre(e.record.LsbFirst != 0);
      grid.SetChecksumMode(true);
      grid.SetChecksumBlock(e.record.Slots[slot].Crc, true);
      grid.SetLines(e.bit_lines[k]);
      ASSERT_TRUE(grid.ShowsChecksums()) << file;
      for (int r = 0; r < grid.LineCount(); ++r) {
        for (int j = 0; j < grid.ChecksumItemCount(); ++j) {
          const ChecksumCell cell = grid.ChecksumOf(r, j);
          EXPECT_TRUE(cell.Matches()) << file << " key " << k << " row " << r << " item " << j << ": "
                                      << cell.computed << " != " << cell.stored;
          // The engine, reading the code bits, agrees where the frames are whole bytes.
          const store::TGrdDataLine& line = e.bit_lines[k][static_cast<std::size_t>(r)];
          const ir::TCrcItem& item = e.record.Slots[slot].Crc.Items[static_cast<std::size_t>(j)];
          EXPECT_EQ(cell.stored, ir::CrcReadTarget(line.Data, item, line.Elements, e.record.LsbFirst != 0));
          ++checked;
        }
      }
    }
  }
  EXPECT_GT(checked, 10);
}

TEST(CompareGridModelTest, ChecksumTextFollowsHexModeAndBitOrder) {
  CompareGridModel grid = GridOf({{"[8]", "00000000"}});
  const ChecksumCell cell{0x0B, 0x0B, 4};
  EXPECT_EQ(grid.ChecksumText(cell), "1011");
  grid.SetLowPre(true);
  EXPECT_EQ(grid.ChecksumText(cell), "1101");
  grid.SetHexMode(true);
  EXPECT_EQ(grid.ChecksumText(cell), "0B");
  EXPECT_EQ(grid.ChecksumText({-1, 0, 8}), "?");
}

TEST(CompareGridModelTest, TellsItsListenerWhatChanged) {
  CompareGridModel grid;
  std::vector<GridChange> seen;
  grid.SetListener([&](GridChange c) { seen.push_back(c); });
  grid.AddLine(Bits("01"), ir::ParseProtocol("[2]"));
  grid.SelectRun(0);
  grid.SetChecksumMode(true);
  grid.SetHexMode(true);
  grid.SetHexMode(true);  // no change, no rebuild
  EXPECT_EQ(seen, (std::vector<GridChange>{GridChange::RowAdded, GridChange::RunChosen, GridChange::Repaint,
                                           GridChange::Rebuilt}));
}

}  // namespace
}  // namespace klimavo::analysis
