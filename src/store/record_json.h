#pragma once
// The JSON form of a protocol record (docs/record-json.md): what the CLI shows,
// takes and the sample library is written in. Texts are UTF-8 in JSON and GBK
// in the record; code lines appear as bits, one character per bit, with their
// element list as text. Reading a record back gives the same record image and
// the same lines for every field that carries meaning.

#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <string_view>

#include "store/protocol_record.h"

namespace klimavo::store {

/// Largest JSON record text read, in bytes.
inline constexpr std::size_t kMaxRecordJsonBytes = 64 * 1024 * 1024;
/// Deepest nesting of lists and objects a JSON record may have (the record
/// form itself needs eight).
inline constexpr std::size_t kMaxRecordJsonDepth = 32;
/// An error text quotes at most this many characters of the value at fault
/// (and of a name or of the text a syntax error stopped at).
inline constexpr std::size_t kMaxQuotedValueChars = 80;
/// Most values (texts, numbers, lists, objects) a JSON record may hold in all,
/// most entries of one list and most names of one object: far more than the
/// record form needs, and checked while the text is read, before it is held
/// in memory, so a text of many tiny values cannot take many times its size.
inline constexpr std::size_t kMaxRecordJsonValues = 1'000'000;
inline constexpr std::size_t kMaxRecordJsonListEntries = 65535;
inline constexpr std::size_t kMaxRecordJsonObjectNames = 256;

/// A JSON record that cannot become a record: names the field (a path such
/// as "keys[2].states[0]"), the value at fault and what is wrong with it. A
/// text that is not JSON names the line and column (and the field, when the
/// fault lies inside one); its value is empty.
class RecordJsonError : public std::runtime_error {
 public:
  RecordJsonError(std::string field, std::string value, const std::string& problem);
  /// A fault of the JSON text itself at `line` and `column` (both from 1).
  static RecordJsonError Syntax(std::string field, std::size_t line, std::size_t column,
                                const std::string& problem);
  const std::string& field() const { return field_; }
  const std::string& value() const { return value_; }

 private:
  struct Prepared {};
  RecordJsonError(Prepared, std::string field, const std::string& message);
  std::string field_;
  std::string value_;
};

/// A record as the editor holds it: its image and its code lines one byte per bit.
struct EditableRecord {
  TdiskAir record;
  TBtnLines bit_lines;
};

/// The JSON form of checksum item `index` of a slot: {"index", "target",
/// "zones", "kind", "width", "const", "const_op", "aux_const", "aux_op"}.
nlohmann::ordered_json CrcItemToJson(std::size_t index, const ir::TCrcItem& item);

/// The JSON form of a record whose lines are held one byte per bit.
nlohmann::ordered_json RecordToJson(const TdiskAir& record, const TBtnLines& bit_lines);
/// The JSON form of a library entry (lines packed as stored).
nlohmann::ordered_json LibraryRecordToJson(const LibraryRecord& entry);
/// Pretty-printed JSON text (two-space indent, ending in a newline).
std::string LibraryRecordToJsonText(const LibraryRecord& entry);

/// Reads a JSON record; throws RecordJsonError.
EditableRecord RecordFromJson(const nlohmann::ordered_json& json);
/// Parses JSON text and reads the record; throws RecordJsonError, also for a
/// text above kMaxRecordJsonBytes, nested deeper than kMaxRecordJsonDepth,
/// that is not an object, or holds more values than the bounds above.
EditableRecord RecordFromJsonText(std::string_view text);
/// RecordFromJsonText with the lines packed as the library stores them.
LibraryRecord LibraryRecordFromJsonText(std::string_view text);

/// "YYYY-MM-DDTHH:MM:SS[.fff]" local time of a date-time double; more second
/// digits are written when needed for the text to read back to the same double.
std::string ChangeTimeToIso(double value);
/// Reads what ChangeTimeToIso writes (seconds and their fraction optional).
bool ChangeTimeFromIso(std::string_view text, double& value);

}  // namespace klimavo::store
