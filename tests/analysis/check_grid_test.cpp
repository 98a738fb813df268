// The remote check's grid: columns of 8 bits per data element, as wide as the
// widest press; digits coloured by error flag and bit field; hexadecimal cells
// read in the record's bit order; heading letters of the field lists.

#include "analysis/check_grid.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ir/protocol.h"
#include "record_fixtures.h"

namespace klimavo::analysis {
namespace {

TAcChkedLine Line(const std::string& text, const std::string& bits, std::vector<int> flagged = {}) {
  TAcChkedLine line;
  line.Protocol = ir::ParseProtocol(text);
  for (char c : bits) line.Bits.push_back(static_cast<std::uint8_t>(c - '0'));
  line.Errors.assign(line.Bits.size(), 0);
  for (int i : flagged) line.Errors[static_cast<std::size_t>(i)] = 1;
  return line;
}

using C = CellColour;

CheckGridModel TwoLines(bool lsb_first) {
  CheckGridModel grid;
  grid.SetLsbFirst(lsb_first);
  std::vector<CheckFieldList> lists(3);
  lists[0] = {{0, 0, 4, {}}};   // power: element 0, bits 0-3
  lists[2] = {{1, 14, 4, {}}};  // mode: element 1, bits 14-17 (the checksum target covers 16, 17 too)
  grid.SetFieldLists(lists, {{1, 16, 4, {}}});  // checksum target: element 1, bits 16-19
  grid.AddLine(Line("<0>[12]<1>[20]<2>",
                    "101100001111"
                    "10000000"
                    "11111111"
                    "0110",
                    {13 + 12}));
  grid.AddLine(Line("<0>[16]<1>[8]<2>",
                    "0000000011111111"
                    "00000001"));
  return grid;
}

TEST(CheckGrid, ElementsTakeTheWidestPressRoundedToWholeBytes) {
  const CheckGridModel grid = TwoLines(true);
  EXPECT_EQ(grid.ElementWidths(), (std::vector<int>{16, 24}));
  EXPECT_EQ(grid.CellColumns(), 5);
  EXPECT_EQ(grid.ColumnAt(1).element, 0);
  EXPECT_EQ(grid.ColumnAt(1).byte, 1);
  EXPECT_EQ(grid.ColumnAt(2).element, 1);
  EXPECT_EQ(grid.ColumnAt(4).byte, 2);
  EXPECT_EQ(grid.ColumnAt(5).element, -1);

  struct Cell {
    int line;
    int column;
    std::string binary;
  };
  for (const Cell& c : {Cell{0, 0, "10110000"}, Cell{0, 1, "1111    "}, Cell{0, 4, "0110    "},
                        Cell{1, 1, "11111111"}, Cell{1, 3, "        "}, Cell{1, 4, "        "}}) {
    SCOPED_TRACE(std::to_string(c.line) + "," + std::to_string(c.column));
    EXPECT_EQ(grid.BinaryText(c.line, c.column), c.binary);
  }
}

TEST(CheckGrid, DigitsAreRedWhenFlaggedAndBlueInsideAField) {
  const CheckGridModel grid = TwoLines(true);
  // Line 0, element 1 byte 1 holds element bits 8-15: bit 13 is flagged, 14
  // and 15 lie in the mode field.
  EXPECT_EQ(grid.BinaryColours(0, 3), (std::vector<C>{C::kBlack, C::kBlack, C::kBlack, C::kBlack, C::kBlack,
                                                      C::kRed, C::kBlue, C::kBlue}));
  EXPECT_EQ(grid.BinaryColours(0, 0), (std::vector<C>{C::kBlue, C::kBlue, C::kBlue, C::kBlue, C::kBlack,
                                                      C::kBlack, C::kBlack, C::kBlack}));
  EXPECT_EQ(grid.BinaryColours(1, 4), std::vector<C>(8, C::kBlack));  // no bits there
  EXPECT_TRUE(grid.HexRed(0, 3));
  EXPECT_FALSE(grid.HexRed(1, 3));
  EXPECT_EQ(grid.HeadingLetters(0), "PPPP    ");
  EXPECT_EQ(grid.HeadingLetters(4), "MMCC    ");
}

// A record of n keys, key k with a 4-bit field at bit 4k, and (when `checksum`)
// a byte sum at bits 32-39, checked as the remote check prepares it.
TEST(CheckGrid, TheChecksumLetterHeadsTheChecksumBitsWhateverTheNumberOfKeys) {
  struct Case {
    std::size_t keys;
    bool checksum;
    std::vector<std::string> letters;  // columns 0..4: bits 0-7, ..., 32-39
  };
  const std::string blank(8, ' ');
  const Case cases[] = {
      {1, true, {"PPPP    ", blank, blank, blank, "CCCCCCCC"}},
      {3, true, {"PPPPTTTT", "MMMM    ", blank, blank, "CCCCCCCC"}},
      {6, true, {"PPPPTTTT", "MMMMFFFF", "SSSSVVVV", blank, "CCCCCCCC"}},
      {8, true, {"PPPPTTTT", "MMMMFFFF", "SSSSVVVV", blank, "CCCCCCCC"}},  // keys 6 and 7 have no letter
      {6, false, {"PPPPTTTT", "MMMMFFFF", "SSSSVVVV", blank, blank}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.keys) + (c.checksum ? " keys with a checksum" : " keys"));
    store::TdiskAir record = testing::DisplayRecord("<0>[40]<1>", 0, testing::ByteSum(0, 4, 0, 32));
    record.HasChecksum = c.checksum ? 1 : 0;
    for (std::size_t k = testing::kKeys; k < c.keys; ++k) {
      record.Keys[k] = record.Keys[0];
      record.Keys[k].Columns[0].BitPos = static_cast<std::uint16_t>(4 * k);
    }
    record.KeyCount = static_cast<std::uint8_t>(c.keys);
    CheckGridModel grid;
    grid.Prepare(RemoteCheck(record, 0.21));
    grid.AddLine(Line("<0>[40]<1>", std::string(40, '0')));
    ASSERT_EQ(grid.CellColumns(), 5);
    for (int column = 0; column < 5; ++column)
      EXPECT_EQ(grid.HeadingLetters(column), c.letters[static_cast<std::size_t>(column)]) << column;
    // The fields of keys 6 and 7 are still shown as known bits.
    EXPECT_EQ(grid.BinaryColours(0, 3), std::vector<C>(8, c.keys > 6 ? C::kBlue : C::kBlack));
  }
}

TEST(CheckGrid, HexadecimalCellsReadTheBitsInTheRecordsOrder) {
  struct Case {
    bool lsb_first;
    int line;
    int column;
    std::string hex;
  };
  for (const Case& c :
       {Case{true, 0, 0, "0D"}, Case{false, 0, 0, "B0"}, Case{true, 0, 1, "0F"}, Case{false, 0, 1, "0F"},
        Case{true, 1, 2, "80"}, Case{false, 1, 2, "01"}, Case{true, 1, 3, ""}}) {
    SCOPED_TRACE(std::to_string(c.line) + "," + std::to_string(c.column));
    EXPECT_EQ(TwoLines(c.lsb_first).HexText(c.line, c.column), c.hex);
  }
  EXPECT_EQ(TwoLines(true).HeadingBitNumbers(), "01234567");
  EXPECT_EQ(TwoLines(false).HeadingBitNumbers(), "76543210");
}

TEST(CheckGrid, ClearingEmptiesRowsAndColumns) {
  CheckGridModel grid = TwoLines(true);
  grid.Clear();
  EXPECT_TRUE(grid.Lines().empty());
  EXPECT_EQ(grid.CellColumns(), 0);
}

}  // namespace
}  // namespace klimavo::analysis
