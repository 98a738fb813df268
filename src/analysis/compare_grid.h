#pragma once
// The code comparison grid: the data bits of several codes of one key laid side
// by side, one code per row and one frame per group of columns, so that the
// bits that change between codes stand out. The model marks the bits that
// differ, cuts them into numbered runs, gives the value of a run in every row,
// knows which bits other keys' function fields already claim (letters P, T, M,
// F, S, V) and where the checksum values sit (letter C), and in checksum mode
// computes every checksum item of the format for every row.
//
// A row is a code line: its bits in signal order (one byte per bit), its
// element list (each data element is one frame of the grid, its value the
// frame's bit count), its repeat count and, in the line's marker word, the
// number of empty frame positions shown before its first frame.
//
// Every operation that changes rows or settings rebuilds the derived tables
// (cell texts, same-bit table, runs, columns) and tells the listener, so a view
// only has to repaint.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ir/crc_item.h"
#include "ir/ir_types.h"
#include "store/protocol_record.h"

namespace klimavo::analysis {

/// Longest run in bits when a grid is made.
inline constexpr int kDefaultMaxRunWidth = 16;
/// Bits per column outside checksum mode, and the other width checksum mode knows.
inline constexpr int kWideColumnBits = 8;
inline constexpr int kNarrowColumnBits = 4;
/// Value of a run in a row where the run covers a blank (missing bits).
inline constexpr std::int32_t kNoRunValue = -1;
/// Keys 0..5 carry a field letter: power, temperature, mode, fan, swing, vane.
inline constexpr char kFieldLetters[] = {'P', 'T', 'M', 'F', 'S', 'V'};
inline constexpr char kChecksumLetter = 'C';

/// One differing run with its value in each row (kNoRunValue where the row
/// has missing bits). Values are the full run values, not cut to a byte.
struct TSameInfoResult {
  std::int32_t Frame = 0;
  std::int32_t Bit = 0;
  std::int32_t Width = 0;
  std::vector<std::int32_t> Values;
};
using TSameInfoResultArr = std::vector<TSameInfoResult>;

/// What one grid column shows.
enum class GridColumnKind { RowNumber, Bits, Value, Checksum };

struct GridColumn {
  GridColumnKind kind = GridColumnKind::RowNumber;
  int frame = -1;      ///< bit columns: the frame position
  int first_char = 0;  ///< bit columns: position of the column's first character in the frame's text
  int item = -1;       ///< checksum columns: the checksum item
};

/// How a bit cell character is coloured.
enum class BitMark {
  Plain,    ///< all rows agree and no other key claims the bit
  Differs,  ///< rows differ here (checksum mode: the bit lies in a checksum target)
  Claimed,  ///< the field of another key
};

/// The field letters of a bit: up to two keys that claim it, or 'C' for a
/// checksum target no key claims; 0 where there is no letter.
struct BitLetters {
  char first = 0;
  char second = 0;
};

/// One checksum item computed for one row.
struct ChecksumCell {
  std::int32_t computed = -1;  ///< -1 for a checksum kind the engine does not know
  std::int32_t stored = 0;     ///< the value the row carries at the target (0 where blank)
  int width = 0;               ///< the target width
  bool Matches() const { return computed == stored; }
};

/// What a change did, for the listener.
enum class GridChange {
  Rebuilt,    ///< rows or settings changed; everything may look different
  RowAdded,   ///< a row was appended (a view scrolls to it)
  RunChosen,  ///< only the selected run changed (the value column)
  Repaint,    ///< a setting that needs no rebuild (checksum mode)
};

class CompareGridModel {
 public:
  using Listener = std::function<void(GridChange)>;

  CompareGridModel();

  /// Called after every change; one listener (the view).
  void SetListener(Listener listener) { listener_ = std::move(listener); }

  // Rows.
  /// Appends a row (copies of the bits and of the structure's elements, its
  /// repeat count, no frame shift); ignored when either is empty.
  void AddLine(const ir::TSSByteArray& bits, const ir::TStrProt_Stru& structure);
  void Clear();
  /// Removes the given rows (any order, duplicates and rows past the end ignored).
  void DeleteLines(std::vector<int> rows);
  void DeleteLine(int row);
  /// Copies row i; false when i is past the end.
  bool GetLine(int row, store::TGrdDataLine& line) const;
  const store::TGrdLines& GetLines() const { return lines_; }
  /// Replaces all rows and selects run 0.
  void SetLines(const store::TGrdLines& lines);
  int LineCount() const { return static_cast<int>(lines_.size()); }
  /// Removes every row equal to an earlier row; returns how many went.
  int RemoveDuplicates();
  /// Orders the rows by the selected run's value (rows with missing bits, -1, first when ascending).
  void SortByRunValue(bool ascending);
  void ReverseLines();
  /// Replaces every bit of every row by its complement.
  void InvertBits();

  // Settings.
  /// The function fields found so far, one list per key, and the key whose rows are shown.
  void SetKeyZones(const ir::TBtnBitsInfo& zones, int current_key);
  void SetMaxRunWidth(int width);
  void SetIgnoreZoned(bool ignore);
  void SetHexMode(bool hex);
  /// Bit texts are read least significant bit first.
  void SetLowPre(bool lsb_first);
  /// Stores the flag only; the next rebuild lays out the checksum columns.
  void SetChecksumMode(bool on);
  /// Stores the block; in checksum mode an item 0 of operand width 4 makes the
  /// columns 4 bits wide, anything else 8. Rebuilds when asked.
  void SetChecksumBlock(const ir::TCrcBlock& block, bool rebuild);
  void SetHasChecksum(bool has);
  /// Chooses the run whose values the value column shows.
  void SelectRun(int run);

  const ir::TBtnBitsInfo& KeyZones() const { return key_zones_; }
  int CurrentKey() const { return current_key_; }
  int MaxRunWidth() const { return max_run_width_; }
  bool IgnoreZoned() const { return ignore_zoned_; }
  bool HexMode() const { return hex_mode_; }
  bool LowPre() const { return low_pre_; }
  bool ChecksumMode() const { return checksum_mode_; }
  const ir::TCrcBlock& Checksums() const { return checksums_; }
  int ColumnBits() const { return column_bits_; }

  // Derived tables.
  int MaxFrames() const { return max_frames_; }
  const std::vector<int>& FrameWidths() const { return frame_widths_; }
  /// Characters of each frame position's texts (its columns times ColumnBits).
  int FrameTextWidth(int frame) const;
  /// Per frame position, per character position: 1 when all rows agree.
  const std::vector<std::vector<std::uint8_t>>& SameBits() const { return same_bits_; }
  const ir::TSameInfos& Runs() const { return runs_; }
  int SelectedRun() const { return selected_run_; }
  /// Per row, per frame position: '0', '1' or blank per bit position.
  const std::vector<std::vector<std::string>>& CellTexts() const { return cell_texts_; }
  /// The text of one cell; empty past the rows or frames.
  const std::string& CellText(int row, int frame) const;
  /// The grid's columns in order (row numbers, bits, value or checksums).
  const std::vector<GridColumn>& Columns() const { return columns_; }
  /// Number of bit columns plus 1.
  int BitColumnCount() const { return bit_column_count_; }
  /// True when the checksum columns replace the value column.
  bool ShowsChecksums() const { return checksum_mode_ && checksums_.HasChecksum != 0; }
  /// Number of checksum items of the block (0 without checksums).
  int ChecksumItemCount() const;

  // Values.
  /// Value of the selected run in a row; -1 when it has missing bits or there are no runs.
  std::int32_t RunValue(int row) const;
  /// Value of any run in a row; -1 for missing bits or a run past the end.
  std::int32_t RunValueOf(int run, int row) const;
  /// The runs with their values in the first min(max_rows, rows) rows; runs
  /// that start or end in a checksum target are left out when the block has checksums.
  TSameInfoResultArr GetDifferences(int max_rows) const;

  // Drawing.
  /// Colour class of the character at (frame, position) of a row.
  BitMark MarkOf(int frame, int position) const;
  /// True when any bit of the column differs (checksum mode: touches a target).
  bool ColumnMarked(const GridColumn& column) const;
  /// Number of other keys whose fields hold the bit.
  int ZoneCount(int frame, int position) const;
  BitLetters LettersOf(int frame, int position) const;
  /// True when the bit lies in the target of a checksum item of the block.
  bool InChecksumTarget(int frame, int position) const;
  /// True when a range (frame, first bit, width) starts or ends in a checksum target.
  bool TouchesChecksumTarget(int frame, int first_bit, int width) const;
  /// The text of a bit column of a row: its bits ("0"/"1"/blank), or one or
  /// two hexadecimal digits in hex mode (empty when the column is all blank).
  std::string ColumnText(int row, const GridColumn& column) const;
  /// Checksum item `item` computed over a row's cell texts.
  ChecksumCell ChecksumOf(int row, int item) const;
  /// The text a checksum cell shows: two hexadecimal digits, or the binary
  /// text of the target's width in the grid's bit order.
  std::string ChecksumText(const ChecksumCell& cell) const;

 private:
  void Rebuild();
  void Notify(GridChange change) const;
  void ComputeLayout();
  void ComputeCellTexts();
  void ComputeZones();
  void ComputeSameBits();
  void ComputeRuns();
  void ComputeColumns();
  bool ClaimedByOtherKey(int frame, int position) const;
  bool AnyTargetContains(int frame, int bit) const;
  std::int32_t ReadTarget(int row, const ir::TCrcItem& item) const;

  store::TGrdLines lines_;
  ir::TBtnBitsInfo key_zones_;
  int current_key_ = -1;
  int max_run_width_ = kDefaultMaxRunWidth;
  bool ignore_zoned_ = false;
  bool hex_mode_ = false;
  bool low_pre_ = false;
  bool checksum_mode_ = false;
  ir::TCrcBlock checksums_;
  int column_bits_ = kWideColumnBits;
  int selected_run_ = 0;

  int max_frames_ = 0;
  std::vector<int> frame_widths_;
  std::vector<int> text_widths_;
  std::vector<std::vector<std::string>> cell_texts_;
  std::vector<std::vector<std::uint8_t>> same_bits_;
  // Per frame position, per character position: zone count of other keys, and the letters.
  std::vector<std::vector<std::uint8_t>> zone_counts_;
  std::vector<std::vector<BitLetters>> letters_;
  ir::TSameInfos runs_;
  std::vector<GridColumn> columns_;
  int bit_column_count_ = 1;
  Listener listener_;
};

}  // namespace klimavo::analysis
