#pragma once
// The states table of the function analysis wizard: one column per bit-field
// column of a key (frame, bit position, width, kind, then one value per state)
// and, for the mode key, two columns of per-state flags. Builds the texts the
// table shows and applies what the user types into a cell. Texts are GBK.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/compare_grid.h"
#include "analysis/function_fields.h"
#include "firmware/parts_model.h"
#include "lang/language.h"
#include "store/protocol_record.h"

namespace klimavo::analysis {

/// Rows of the table before the state rows.
enum StatesTableRow { kRowFrame = 0, kRowBit = 1, kRowWidth = 2, kRowKind = 3, kFirstStateRow = 4 };
/// Language texts of the row headings and of the mode key's flag columns.
inline constexpr int kTextKind = 42;
inline constexpr int kTextModeFixesTemp = 46;
inline constexpr int kTextModeFixesFan = 47;
inline constexpr int kTextFrame = 48;
inline constexpr int kTextBit = 49;
inline constexpr int kTextWidth = 50;
/// Keys with a special role in the table: their roles are fixed by index.
using firmware::kKeyFan;
using firmware::kKeyMode;
using firmware::kKeyPower;
using firmware::kKeySwing;
inline constexpr int kKeyTemperature = firmware::kKeyTemp;

struct StatesTable {
  std::vector<std::string> column_headings;
  std::vector<std::string> row_headings;
  std::vector<std::vector<std::string>> cells;  ///< [row][column]
  int key_columns = 0;                          ///< columns "Z1".. (then the mode key's flag columns)
};

/// The texts of the table of `key`; `cursor_column` is the column under the
/// cursor (the temperature key names its first two states after it).
StatesTable BuildStatesTable(const store::TdiskAir& record, int key, int cursor_column,
                             const lang::Language& language);

/// The text a state value shows in a column of `key` (empty for 255).
std::string StateValueText(const store::TdiskAir& record, int key, const store::TdiskBitColumn& column,
                           int state, int language_no);
/// The text of a column's kind.
std::string KindText(const store::TdiskAir& record, int key, std::uint8_t kind, int language_no);

/// Reads a typed state value: empty 255, "M±n" in a MODE/FAN column 16 − n,
/// the names of "corresponding" and "set side" 241, else hexadecimal.
std::optional<std::uint8_t> ParseStateValue(std::string_view text, bool mode_fan_column);
/// Reads a typed kind: the key's special kind name 241, "public" 0, "private"
/// 1, another key's name 208 + its index, empty 0.
std::optional<std::uint8_t> ParseKind(const store::TdiskAir& record, int key, std::string_view text,
                                      int language_no);

/// Applies a typed cell of the table of `key`; false when the text is refused
/// (the column is left as it was). A new frame, bit position or width reads
/// the column's values again from the grid rows, row s giving state s.
bool EditStatesCell(store::TdiskAir& record, int key, int row, int column, std::string_view text,
                    const CompareGridModel& grid, int language_no);

/// The value of a column read from a grid row: its characters at the column's
/// frame, bit position and width, trimmed, read in the record's bit order;
/// nullopt when that text is empty.
std::optional<std::int64_t> ReadColumnFromRow(const CompareGridModel& grid, int row,
                                              const store::TdiskBitColumn& column, bool lsb_first);

/// The temperature a grid row holds, for the mode key's label: the first used
/// column of the temperature key read from the row; the last temperature state
/// with that value gives "s + 16 ℃" (GBK). Empty when nothing matches.
std::string TemperatureOfRow(const store::TdiskAir& record, const CompareGridModel& grid, int row);

/// Clears a column of a key: frame 255 and every state value 255.
void ClearKeyColumn(store::TdiskAir& record, int key, int column);

}  // namespace klimavo::analysis
