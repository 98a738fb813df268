#pragma once
// The model of the remote check's grid: one row per checked key press, one
// column per 8 bits of each data element. Element e of every row gets the width
// of the widest row's element e, rounded up to a whole byte, so the same bits
// of different presses stand one above the other. Cells show the bits in binary
// (each digit red when flagged, blue inside a known bit field) or a byte in
// hexadecimal (red when one of its bits is flagged).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/remote_check.h"

namespace klimavo::analysis {

inline constexpr int kBitsPerCell = 8;

enum class CellColour { kBlack, kBlue, kRed };

/// Where a grid column lies: data element `element`, byte `byte` of it.
struct CheckGridColumn {
  int element = 0;
  int byte = 0;
};

class CheckGridModel {
 public:
  /// Heading letters of the fields of keys 0..5 (power, temperature, mode,
  /// fan, swing, vane); the fields of later keys have none.
  static constexpr std::string_view kKeyLetters = "PTMFSV";
  /// Heading letter of the checksum targets, whatever the number of keys.
  static constexpr char kChecksumLetter = 'C';

  /// The fields of each key in key order, and the checksum targets (empty
  /// when the record checks no checksum).
  void SetFieldLists(std::vector<CheckFieldList> key_lists, CheckFieldList checksum_targets);
  /// The bit order and the field lists of a prepared check.
  void Prepare(const RemoteCheck& check);
  void SetLsbFirst(bool lsb_first) { lsb_first_ = lsb_first; }
  bool LsbFirst() const { return lsb_first_; }

  void AddLine(TAcChkedLine line);
  void Clear();
  const TAcChkedLines& Lines() const { return lines_; }

  /// Bit width of data element position e: the widest row's, rounded up to 8.
  const std::vector<int>& ElementWidths() const { return widths_; }
  /// Number of cell columns (without the row-number column).
  int CellColumns() const;
  /// Cell column c (0-based) in element and byte terms.
  CheckGridColumn ColumnAt(int column) const;

  /// The 8 characters of a cell in binary mode: the bits, blank past the element.
  std::string BinaryText(int line, int column) const;
  /// The colour of each of the 8 characters in binary mode.
  std::vector<CellColour> BinaryColours(int line, int column) const;
  /// Two hexadecimal digits of a cell (the bits read in the grid's bit order),
  /// empty when the line has no bits there.
  std::string HexText(int line, int column) const;
  /// True when a bit of the cell is flagged.
  bool HexRed(int line, int column) const;

  /// "01234567" for LSB-first grids, "76543210" otherwise.
  std::string HeadingBitNumbers() const;
  /// Per bit of a column, the letter of the first key whose field covers it,
  /// else "C" when a checksum target covers it, else blank.
  std::string HeadingLetters(int column) const;

 private:
  /// The index in the line's bit list of bit `position` of data element e; -1 past it.
  static int BitIndex(const TAcChkedLine& line, int element, int position);
  /// The key whose field covers the bit, -1 when none.
  int KeyCovering(int element, int position) const;
  bool ChecksumCovers(int element, int position) const;

  std::vector<CheckFieldList> key_lists_;
  CheckFieldList checksum_targets_;
  bool lsb_first_ = true;
  TAcChkedLines lines_;
  std::vector<int> widths_;
};

}  // namespace klimavo::analysis
