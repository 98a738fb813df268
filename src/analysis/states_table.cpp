#include "analysis/states_table.h"

#include <algorithm>

#include "base/text.h"
#include "ir/checksum.h"
#include "lang/name_tables.h"

namespace klimavo::analysis {
namespace {

constexpr std::string_view kPublic = "public";
constexpr std::string_view kPrivate = "private";
constexpr std::string_view kPublicCn = "\xB9\xAB\xB9\xB2";   // 公共
constexpr std::string_view kPrivateCn = "\xCB\xBD\xD3\xD0";  // 私有
constexpr std::string_view kDegree = "\xA1\xE6";             // ℃ in GBK
constexpr std::string_view kTempDown = "Temp-";
constexpr std::string_view kTempUp = "Temp+";
/// The relative steps of a MODE/FAN column are stored as 16 - n.
constexpr int kRelativeZero = 16;
constexpr int kLowestTemperature = 16;
constexpr int kFlagStates = 8;  ///< the mode key's flag bytes hold states 0..7
constexpr std::uint16_t kMaxBitPosition = 65535;

int KeyCount(const store::TdiskAir& record) { return static_cast<int>(record.UsedKeys()); }

const store::TdiskKey& KeyOf(const store::TdiskAir& record, int key) {
  return record.Keys[static_cast<std::size_t>(key)];
}

int StateCount(const store::TdiskAir& record, int key) {
  return std::min<int>(KeyOf(record, key).StateCount, static_cast<int>(store::kMaxStates));
}

// Columns "Z1".. : up to the last used column, plus one empty column.
int KeyColumnCount(const store::TdiskAir& record, int key) {
  const auto& columns = KeyOf(record, key).Columns;
  int last = -1;
  for (int c = 0; c < static_cast<int>(columns.size()); ++c)
    if (columns[static_cast<std::size_t>(c)].InUse()) last = c;
  return std::min(last + 2, static_cast<int>(columns.size()));
}

std::string Hex(int value) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[value & 15]);
    value >>= 4;
  } while (value > 0);
  return text;
}

bool IsModeFanColumn(int key, const store::TdiskBitColumn& column) {
  return key == kKeyFan && column.Kind == kKindRelative;
}

std::optional<long long> ParseNumber(std::string_view text, long long low, long long high) {
  long long value = 0;
  if (!base::ParseInteger(text, value) || value < low || value > high) return std::nullopt;
  return value;
}

std::optional<int> ParseHexByte(std::string_view text) {
  if (text.empty() || text.size() > 2) return std::nullopt;
  int value = 0;
  for (char c : text) {
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (digit < 0) return std::nullopt;
    value = value * 16 + digit;
  }
  return value;
}

bool NamesSpecialValue(std::string_view text) {
  for (int language_no : {1, lang::kChineseLanguageNo})
    if (base::EqualsIgnoreCaseAscii(text, lang::CorrespondingText(language_no)) ||
        base::EqualsIgnoreCaseAscii(text, lang::SetSideText(language_no)))
      return true;
  return false;
}

void ReadValuesFromGrid(store::TdiskBitColumn& column, int states, const CompareGridModel& grid,
                        bool lsb_first) {
  for (int s = 0; s < states; ++s) {
    const std::optional<std::int64_t> value = ReadColumnFromRow(grid, s, column, lsb_first);
    if (!value) break;  // no more rows, or the row has no bits there
    column.Values[static_cast<std::size_t>(s)] =
        *value >= 0 && *value <= 0xFF ? static_cast<std::uint8_t>(*value) : store::kUnsetValue;
  }
}

bool EditFlagColumn(store::TdiskAir& record, int flag, int state, std::string_view text) {
  if (state < 0 || state >= std::min(StateCount(record, kKeyMode), kFlagStates)) return false;
  std::uint8_t& mask = record.Keys[kKeyMode].Extra[static_cast<std::size_t>(flag)];
  const auto bit = static_cast<std::uint8_t>(1u << state);
  mask = text == "1" ? static_cast<std::uint8_t>(mask | bit) : static_cast<std::uint8_t>(mask & ~bit);
  return true;
}

}  // namespace

std::string KindText(const store::TdiskAir& record, int key, std::uint8_t kind, int language_no) {
  const bool chinese = language_no == lang::kChineseLanguageNo;
  if (kind == kKindPublic) return std::string(chinese ? kPublicCn : kPublic);
  if (kind == kKindPrivate) return std::string(chinese ? kPrivateCn : kPrivate);
  const int other = kind - kKindOfKeyBase;
  if (kind >= kKindOfKeyBase && other < KeyCount(record) && other != key)
    return lang::TranslateKeyName(KeyOf(record, other).Name.str(), language_no);
  if (kind == kKindRelative && key >= 0 && key < static_cast<int>(lang::KeyKindNames.size()) &&
      !lang::KeyKindNames[static_cast<std::size_t>(key)].empty())
    return std::string(lang::KeyKindNames[static_cast<std::size_t>(key)]);
  return std::to_string(kind);
}

std::string StateValueText(const store::TdiskAir& /*record*/, int key, const store::TdiskBitColumn& column,
                           int state, int language_no) {
  const std::uint8_t v = column.Values[static_cast<std::size_t>(state)];
  if (v == store::kUnsetValue) return {};
  if (IsModeFanColumn(key, column)) {
    const int step = kRelativeZero - v;
    return (v < kRelativeZero + 1 ? "M+" : "M") + std::to_string(step);
  }
  if (v == kValueSpecial) {
    if (key == kKeyPower && state == 0) return std::string(lang::SetSideText(language_no));
    if ((key == kKeyPower || key == kKeySwing) && state == 1)
      return std::string(lang::CorrespondingText(language_no));
  }
  return Hex(v);
}

StatesTable BuildStatesTable(const store::TdiskAir& record, int key, int cursor_column,
                             const lang::Language& language) {
  StatesTable table;
  if (key < 0 || key >= KeyCount(record)) return table;
  const store::TdiskKey& k = KeyOf(record, key);
  const int language_no = language.LanguageNo();
  table.key_columns = KeyColumnCount(record, key);
  for (int c = 0; c < table.key_columns; ++c)
    table.column_headings.push_back(base::Concat({"Z", std::to_string(c + 1)}));
  if (key == kKeyMode) {
    table.column_headings.push_back(language.Text(kTextModeFixesTemp));
    table.column_headings.push_back(language.Text(kTextModeFixesFan));
  }
  for (int text : {kTextFrame, kTextBit, kTextWidth, kTextKind})
    table.row_headings.push_back(language.Text(text));
  const int states = StateCount(record, key);
  for (int s = 0; s < states; ++s)
    table.row_headings.push_back(
        lang::TranslateStateName(k.StateNames[static_cast<std::size_t>(s)].str(), language_no));
  if (key == kKeyTemperature && states >= 2) {
    const bool relative = cursor_column >= 0 && cursor_column < table.key_columns &&
                          k.Columns[static_cast<std::size_t>(cursor_column)].Kind == kKindRelative;
    table.row_headings[kFirstStateRow] = relative ? std::string(kTempDown) : "16" + std::string(kDegree);
    table.row_headings[kFirstStateRow + 1] = relative ? std::string(kTempUp) : "17" + std::string(kDegree);
  }

  const std::size_t columns = table.column_headings.size();
  table.cells.assign(table.row_headings.size(), std::vector<std::string>(columns));
  for (int c = 0; c < table.key_columns; ++c) {
    const store::TdiskBitColumn& column = k.Columns[static_cast<std::size_t>(c)];
    if (!column.InUse()) continue;
    const auto col = static_cast<std::size_t>(c);
    table.cells[kRowFrame][col] = std::to_string(column.Frame);
    table.cells[kRowBit][col] = std::to_string(column.BitPos);
    table.cells[kRowWidth][col] = std::to_string(column.Width);
    table.cells[kRowKind][col] = KindText(record, key, column.Kind, language_no);
    for (int s = 0; s < states; ++s)
      table.cells[static_cast<std::size_t>(kFirstStateRow + s)][col] =
          StateValueText(record, key, column, s, language_no);
  }
  if (key == kKeyMode) {
    for (int flag = 0; flag < 2; ++flag) {
      const std::uint8_t mask = k.Extra[static_cast<std::size_t>(flag)];
      for (int s = 0; s < std::min(states, kFlagStates); ++s)
        if ((mask >> s) & 1)
          table
              .cells[static_cast<std::size_t>(kFirstStateRow + s)]
                    [static_cast<std::size_t>(table.key_columns + flag)]
              .assign(1, '1');
    }
  }
  return table;
}

std::optional<std::uint8_t> ParseStateValue(std::string_view raw, bool mode_fan_column) {
  const std::string text = base::Trim(raw);
  if (text.empty()) return store::kUnsetValue;
  if (mode_fan_column && (text[0] == 'M' || text[0] == 'm')) {
    const auto step = ParseNumber(std::string_view(text).substr(1), kRelativeZero - 254, kRelativeZero);
    if (!step) return std::nullopt;
    return static_cast<std::uint8_t>(kRelativeZero - *step);
  }
  if (NamesSpecialValue(text)) return kValueSpecial;
  const auto value = ParseHexByte(text);
  if (!value) return std::nullopt;
  return static_cast<std::uint8_t>(*value);
}

std::optional<std::uint8_t> ParseKind(const store::TdiskAir& record, int key, std::string_view raw,
                                      int language_no) {
  const std::string text = base::Trim(raw);
  // The kinds are taken in either language, whichever the table shows.
  if (text.empty() || base::EqualsIgnoreCaseAscii(text, kPublic) || text == kPublicCn) return kKindPublic;
  if (base::EqualsIgnoreCaseAscii(text, kPrivate) || text == kPrivateCn) return kKindPrivate;
  if (key >= 0 && key < static_cast<int>(lang::KeyKindNames.size())) {
    const std::string_view special = lang::KeyKindNames[static_cast<std::size_t>(key)];
    if (!special.empty() && base::EqualsIgnoreCaseAscii(text, special)) return kKindRelative;
  }
  for (int k = 0; k < KeyCount(record); ++k) {
    if (k == key) continue;
    const std::string name = KeyOf(record, k).Name.str();
    if (base::EqualsIgnoreCaseAscii(text, lang::TranslateKeyName(name, language_no)) ||
        base::EqualsIgnoreCaseAscii(text, base::Trim(name)))
      return static_cast<std::uint8_t>(kKindOfKeyBase + k);
  }
  return std::nullopt;
}

bool EditStatesCell(store::TdiskAir& record, int key, int row, int column, std::string_view text,
                    const CompareGridModel& grid, int language_no) {
  if (key < 0 || key >= KeyCount(record) || row < 0 || column < 0) return false;
  const int key_columns = KeyColumnCount(record, key);
  if (column >= key_columns) {
    if (key != kKeyMode || column >= key_columns + 2) return false;
    return EditFlagColumn(record, column - key_columns, row - kFirstStateRow, base::Trim(text));
  }
  store::TdiskBitColumn& c =
      record.Keys[static_cast<std::size_t>(key)].Columns[static_cast<std::size_t>(column)];
  const std::string trimmed = base::Trim(text);
  const bool lsb_first = record.LsbFirst != 0;
  switch (row) {
    case kRowFrame: {
      if (trimmed.empty()) {
        c.Frame = store::kUnusedFrame;
        return true;
      }
      const auto frame = ParseNumber(trimmed, 0, store::kUnusedFrame - 1);
      if (!frame) return false;
      c.Frame = static_cast<std::uint8_t>(*frame);
      ReadValuesFromGrid(c, StateCount(record, key), grid, lsb_first);
      return true;
    }
    case kRowBit:
    case kRowWidth: {
      const auto value =
          row == kRowBit ? ParseNumber(trimmed, 0, kMaxBitPosition) : ParseNumber(trimmed, 1, 0xFF);
      if (!value) return false;
      if (row == kRowBit)
        c.BitPos = static_cast<std::uint16_t>(*value);
      else
        c.Width = static_cast<std::uint8_t>(*value);
      ReadValuesFromGrid(c, StateCount(record, key), grid, lsb_first);
      return true;
    }
    case kRowKind: {
      const auto kind = ParseKind(record, key, trimmed, language_no);
      if (!kind) return false;
      c.Kind = *kind;
      return true;
    }
    default: {
      const int state = row - kFirstStateRow;
      if (state >= StateCount(record, key)) return false;
      const auto value = ParseStateValue(trimmed, IsModeFanColumn(key, c));
      if (!value) return false;
      c.Values[static_cast<std::size_t>(state)] = *value;
      return true;
    }
  }
}

std::optional<std::int64_t> ReadColumnFromRow(const CompareGridModel& grid, int row,
                                              const store::TdiskBitColumn& column, bool lsb_first) {
  if (!column.InUse()) return std::nullopt;
  const std::string& text = grid.CellText(row, column.Frame);
  if (column.BitPos >= text.size()) return std::nullopt;
  const std::string bits = base::Trim(text.substr(column.BitPos, column.Width));
  if (bits.empty()) return std::nullopt;
  return ir::BitTextValue(bits, lsb_first);
}

std::string TemperatureOfRow(const store::TdiskAir& record, const CompareGridModel& grid, int row) {
  if (KeyCount(record) <= kKeyTemperature) return {};
  const store::TdiskKey& temperature = KeyOf(record, kKeyTemperature);
  const auto column = std::find_if(temperature.Columns.begin(), temperature.Columns.end(),
                                   [](const store::TdiskBitColumn& c) { return c.InUse(); });
  if (column == temperature.Columns.end()) return {};
  const std::optional<std::int64_t> value = ReadColumnFromRow(grid, row, *column, record.LsbFirst != 0);
  if (!value) return {};
  std::string label;
  for (int s = 0; s < StateCount(record, kKeyTemperature); ++s)
    if (column->Values[static_cast<std::size_t>(s)] == *value)
      label = std::to_string(s + kLowestTemperature) + std::string(kDegree);
  return label;
}

void ClearKeyColumn(store::TdiskAir& record, int key, int column) {
  if (key < 0 || key >= KeyCount(record) || column < 0 || column >= static_cast<int>(store::kColumnsPerKey))
    return;
  store::TdiskBitColumn& c =
      record.Keys[static_cast<std::size_t>(key)].Columns[static_cast<std::size_t>(column)];
  c.Frame = store::kUnusedFrame;
  c.Values.fill(store::kUnsetValue);
}

}  // namespace klimavo::analysis
