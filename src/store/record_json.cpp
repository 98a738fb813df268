#include "store/record_json.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <set>

#include "base/date_time.h"
#include "base/gbk.h"
#include "base/text.h"
#include "ir/protocol.h"
#include "store/library.h"

namespace klimavo::store {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::size_t kCrcItems = 4;
constexpr std::size_t kExtraBytes = 5;
constexpr std::size_t kMaxZones = 2;
constexpr std::int64_t kMaxU8 = 255;
constexpr std::int64_t kMaxU16 = 65535;
constexpr long double kSecondsPerDay = 86400.0L;
constexpr int kMaxSecondDigits = 18;
// Date-times further from 1899-12-30 than this are not dates (the converter gives up).
constexpr double kMaxDateTimeDays = 3e6;

// ---- writing ---------------------------------------------------------------

// Flags are booleans when they hold 0 or 1, else the byte as a number.
Json Flag(std::uint8_t v) { return v <= 1 ? Json(v == 1) : Json(v); }

template <std::size_t N>
std::string Utf8(const base::ShortString<N>& s) {
  return base::GbkToUtf8(s.str());
}

std::string HexBytes(std::span<const std::uint8_t> bytes) {
  std::size_t n = bytes.size();
  while (n > 0 && bytes[n - 1] == 0) --n;  // trailing zero bytes are left out
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < n; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

Json Durations(std::span<const std::int32_t> durations) {
  std::size_t n = durations.size();
  while (n > 0 && durations[n - 1] == ir::kUnusedDuration) --n;
  return Json(
      std::vector<std::int32_t>(durations.begin(), durations.begin() + static_cast<std::ptrdiff_t>(n)));
}

Json ParamsToJson(const ir::TIRGsPara& p) {
  Json logic = Json::array();
  for (std::size_t k = 0; k < std::min<std::size_t>(p.LogicCount, p.Logic.size()); ++k)
    logic.push_back(Durations(p.Logic[k]));
  Json split = Json::array();
  for (std::size_t k = 0; k < std::min<std::size_t>(p.SplitCount, p.Split.size()); ++k)
    split.push_back(Json::array({p.Split[k][0], p.Split[k][1]}));
  return Json{{"carrier", p.Carrier}, {"logic", logic}, {"split", split}};
}

Json ItemToJson(std::size_t index, const ir::TCrcItem& item) {
  Json zones = Json::array();
  for (std::size_t z = 0; z < std::min<std::size_t>(item.ZoneCount, kMaxZones); ++z) {
    const ir::TCrcZone& zone = item.Zones[z];
    zones.push_back(Json::array({zone.StartFrame, zone.StartBit, zone.EndFrame, zone.EndBit}));
  }
  return Json{{"index", index},
              {"target", Json::array({item.TargetFrame, item.TargetBit, item.TargetWidth})},
              {"zones", zones},
              {"kind", item.Kind},
              {"width", item.OperandWidth},
              {"const", item.Const},
              {"const_op", item.ConstOp},
              {"aux_const", item.AuxConst},
              {"aux_op", item.AuxOp}};
}

Json SlotToJson(std::size_t index, const TdiskFormatSlot& slot) {
  Json items = Json::array();
  for (std::size_t i = 0; i < kCrcItems; ++i) {
    if (!(slot.Crc.Items[i] == ir::TCrcItem{})) items.push_back(ItemToJson(i, slot.Crc.Items[i]));
  }
  return Json{
      {"index", index},
      {"text", Utf8(slot.Text)},
      {"code", HexBytes(slot.Code)},
      {"code_stored", Flag(slot.CodeStored)},
      {"crc", Json{{"enabled", Flag(slot.Crc.HasChecksum)}, {"count", slot.Crc.Count}, {"items", items}}}};
}

TdiskBitColumn DefaultColumn() {
  TdiskBitColumn c;
  c.Values.fill(kUnsetValue);
  return c;
}

Json ColumnToJson(std::size_t index, const TdiskBitColumn& c) {
  std::size_t n = c.Values.size();
  while (n > 0 && c.Values[n - 1] == kUnsetValue) --n;
  return Json{{"index", index},
              {"frame", c.Frame},
              {"bit", c.BitPos},
              {"width", c.Width},
              {"kind", c.Kind},
              {"values", std::vector<std::uint8_t>(c.Values.begin(),
                                                   c.Values.begin() + static_cast<std::ptrdiff_t>(n))}};
}

Json LineToJson(const TGrdDataLine& line) {
  std::string bits;
  bits.reserve(line.Data.size());
  for (std::uint8_t b : line.Data) bits += b == 1 ? '1' : '0';
  return Json{{"bits", bits},
              {"elements", ir::PrintElements(line.Elements)},
              {"repeat", line.Repeat},
              {"marker", line.Marker}};
}

Json KeyToJson(const TdiskKey& key, const TGrdLines* lines) {
  Json states = Json::array();
  for (std::size_t s = 0; s < std::min<std::size_t>(key.StateCount, kMaxStates); ++s)
    states.push_back(Utf8(key.StateNames[s]));
  Json columns = Json::array();
  const TdiskBitColumn unused = DefaultColumn();
  for (std::size_t c = 0; c < kColumnsPerKey; ++c) {
    if (!(key.Columns[c] == unused)) columns.push_back(ColumnToJson(c, key.Columns[c]));
  }
  Json json_lines = Json::array();
  if (lines != nullptr)
    for (const auto& line : *lines) json_lines.push_back(LineToJson(line));
  return Json{{"name", Utf8(key.Name)},
              {"states", states},
              {"fixed_flags", key.FixedFlags},
              {"slot", key.Slot},
              {"slot2", key.Slot2},
              {"extra", std::vector<std::uint8_t>(key.Extra.begin(), key.Extra.end())},
              {"columns", columns},
              {"lines", json_lines}};
}

// ---- reading ---------------------------------------------------------------

// At most kMaxQuotedValueChars characters (not bytes) of a text, "..." when cut.
class BoundedText {
 public:
  bool Full() const { return full_; }
  void Add(std::string_view text) {
    for (std::size_t i = 0; i < text.size() && !full_; ++i) {
      const auto byte = static_cast<unsigned char>(text[i]);
      const bool starts_character = (byte & 0xC0) != 0x80;
      if (starts_character && characters_ == kMaxQuotedValueChars) {
        out_ += "...";
        full_ = true;
        break;
      }
      characters_ += starts_character ? 1 : 0;
      out_ += text[i];
    }
  }
  std::string Take() { return std::move(out_); }

 private:
  std::string out_;
  std::size_t characters_ = 0;
  bool full_ = false;
};

std::string Dumped(const Json& value) {
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

// The value's JSON text, written only as far as it is shown: a long text or a
// large list costs no more than what fits, and the depth followed is bounded
// by the characters shown.
void Quote(const Json& value, BoundedText& out) {
  if (out.Full()) return;
  if (value.is_string()) {
    // A cut text needs at most four bytes per character shown and its quote.
    const std::string& text = value.get_ref<const std::string&>();
    out.Add(Dumped(Json(text.substr(0, 4 * kMaxQuotedValueChars + 4))));
    return;
  }
  if (value.is_array()) {
    out.Add("[");
    bool first = true;
    for (const Json& item : value) {
      if (out.Full()) return;
      if (!first) out.Add(",");
      first = false;
      Quote(item, out);
    }
    out.Add("]");
    return;
  }
  if (value.is_object()) {
    out.Add("{");
    bool first = true;
    for (const auto& [name, item] : value.items()) {
      if (out.Full()) return;
      if (!first) out.Add(",");
      first = false;
      Quote(Json(name), out);
      out.Add(":");
      Quote(item, out);
    }
    out.Add("}");
    return;
  }
  out.Add(Dumped(value));
}

std::string Shown(const Json& value) {
  BoundedText out;
  Quote(value, out);
  return out.Take();
}

// A name as a field path shows it: at most kMaxQuotedValueChars characters.
std::string ShownName(std::string_view name) {
  BoundedText out;
  out.Add(name);
  return out.Take();
}

// nlohmann's syntax errors end in "last read: '<the token>'", and a token may
// be a text of many megabytes: only its start is kept.
std::string CutLastRead(const std::string& problem) {
  constexpr std::string_view kLastRead = "last read: '";
  const std::size_t at = problem.find(kLastRead);
  if (at == std::string::npos) return problem;
  const std::size_t start = at + kLastRead.size();
  const std::size_t end = problem.rfind('\'');
  std::string_view token(problem);
  token = token.substr(start, end == std::string::npos || end < start ? std::string_view::npos : end - start);
  BoundedText out;
  out.Add(token);
  return problem.substr(0, start) + out.Take() + "'";
}

// Follows a JSON text as it is parsed: where the parser stands (as a field
// path) and how deep it is. Stops at the first fault with its position, so
// that the real parse only ever sees a well-formed text of bounded depth.
class TextCheck : public nlohmann::json_sax<Json> {
 public:
  explicit TextCheck(std::string_view text) : text_(text) {}

  /// Throws RecordJsonError for a text that is not JSON or nests too deep.
  void Run() {
    Json::sax_parse(text_.begin(), text_.end(), this);
    if (too_deep_)
      throw RecordJsonError(
          field_, "",
          "nests lists and objects deeper than " + std::to_string(kMaxRecordJsonDepth) + " levels");
    if (!refusal_.empty()) throw RecordJsonError(field_, "", refusal_);
    if (failed_) throw RecordJsonError::Syntax(field_, line_, column_, problem_);
  }

  bool null() override { return Value(); }
  bool boolean(bool) override { return Value(); }
  bool number_integer(number_integer_t) override { return Value(); }
  bool number_unsigned(number_unsigned_t) override { return Value(); }
  bool number_float(number_float_t, const string_t&) override { return Value(); }
  bool string(string_t&) override { return Value(); }
  bool binary(binary_t&) override { return Value(); }
  bool start_object(std::size_t) override { return Enter(false); }
  bool end_object() override { return Leave(); }
  bool start_array(std::size_t) override { return Enter(true); }
  bool end_array() override { return Leave(); }
  bool key(string_t& name) override {
    frames_.back().key = ShownName(name);
    if (++frames_.back().names > kMaxRecordJsonObjectNames)
      return Refuse("has more than " + std::to_string(kMaxRecordJsonObjectNames) + " names");
    return true;
  }
  // `position` counts the bytes read up to the end of the token at fault.
  bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& ex) override {
    failed_ = true;
    field_ = Path();
    Locate(position);
    // nlohmann's text starts with its own code and position; keep what follows.
    std::string what = ex.what();
    const std::size_t column_at = what.find("column ");
    const std::size_t detail_at =
        column_at == std::string::npos ? std::string::npos : what.find(": ", column_at);
    problem_ = CutLastRead(detail_at == std::string::npos ? what : what.substr(detail_at + 2));
    return false;
  }

 private:
  struct Frame {
    bool array = false;
    std::size_t index = 0;
    std::string key;
    std::size_t names = 0;
  };

  bool Refuse(std::string why) {
    refusal_ = std::move(why);
    field_ = Path();
    return false;
  }
  // Counts a value; the bounds are checked before the value is taken, so a
  // text of many tiny values is refused as soon as it passes them.
  bool Count() {
    if (++values_ > kMaxRecordJsonValues)
      return Refuse("holds more than " + std::to_string(kMaxRecordJsonValues) + " values");
    if (!frames_.empty() && frames_.back().array && frames_.back().index >= kMaxRecordJsonListEntries)
      return Refuse("is a list of more than " + std::to_string(kMaxRecordJsonListEntries) + " entries");
    return true;
  }
  bool Value() {
    if (!Count()) return false;
    if (frames_.empty()) return Refuse("is not an object");
    if (frames_.back().array) ++frames_.back().index;
    return true;
  }
  bool Enter(bool array) {
    if (frames_.size() == kMaxRecordJsonDepth) {
      too_deep_ = true;
      field_ = Path();
      return false;
    }
    if (!Count()) return false;
    if (frames_.empty() && array) return Refuse("is not an object");
    frames_.push_back(Frame{array, 0, {}, 0});
    return true;
  }
  bool Leave() {
    frames_.pop_back();
    if (!frames_.empty() && frames_.back().array) ++frames_.back().index;
    return true;
  }
  // The field the parser stands in: each list adds its entry, each object the
  // name read last.
  std::string Path() const {
    std::string path;
    for (const Frame& frame : frames_) {
      if (frame.array)
        path += base::Concat({"[", std::to_string(frame.index), "]"});
      else if (!frame.key.empty())
        path += (path.empty() ? "" : ".") + frame.key;
    }
    return path.empty() ? "record" : path;
  }
  // Line and column (from 1) of the byte at `position` (counted from 1).
  void Locate(std::size_t position) {
    line_ = 1;
    column_ = 1;
    const std::size_t end = std::min(position == 0 ? 0 : position - 1, text_.size());
    for (std::size_t i = 0; i < end; ++i) {
      if (text_[i] == '\n') {
        ++line_;
        column_ = 1;
      } else if ((static_cast<unsigned char>(text_[i]) & 0xC0) != 0x80) {
        ++column_;
      }
    }
  }

  std::string_view text_;
  std::vector<Frame> frames_;
  bool too_deep_ = false;
  bool failed_ = false;
  std::string refusal_;
  std::size_t values_ = 0;
  std::string field_;
  std::string problem_;
  std::size_t line_ = 0;
  std::size_t column_ = 0;
};

[[noreturn]] void Fail(const std::string& field, const Json& value, const std::string& problem) {
  throw RecordJsonError(field, Shown(value), problem);
}

std::string At(const std::string& field, std::size_t i) { return field + "[" + std::to_string(i) + "]"; }
std::string Dot(const std::string& field, const char* name) {
  return field.empty() ? name : field + "." + name;
}

// Walks the names of an object: every name must be one of `allowed`.
void CheckNames(const Json& object, const std::string& field, std::initializer_list<const char*> allowed) {
  if (!object.is_object()) Fail(field.empty() ? "record" : field, object, "is not an object");
  for (const auto& [name, value] : object.items()) {
    bool known = false;
    for (const char* a : allowed) known = known || name == a;
    if (!known) Fail(Dot(field, ShownName(name).c_str()), value, "is not a name of the record form");
  }
}

std::int64_t Integer(const Json& value, const std::string& field, std::int64_t low, std::int64_t high) {
  if (!value.is_number_integer()) Fail(field, value, "is not an integer");
  std::int64_t v = value.is_number_unsigned() && value.get<std::uint64_t>() > static_cast<std::uint64_t>(high)
                       ? high + 1
                       : value.get<std::int64_t>();
  if (v < low || v > high)
    Fail(field, value, "is outside " + std::to_string(low) + ".." + std::to_string(high));
  return v;
}

std::uint8_t Byte(const Json& value, const std::string& field) {
  return static_cast<std::uint8_t>(Integer(value, field, 0, kMaxU8));
}
std::uint16_t Word(const Json& value, const std::string& field) {
  return static_cast<std::uint16_t>(Integer(value, field, 0, kMaxU16));
}
std::uint8_t FlagByte(const Json& value, const std::string& field) {
  if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
  return Byte(value, field);
}

const Json& Array(const Json& value, const std::string& field, std::size_t max_size) {
  if (!value.is_array()) Fail(field, value, "is not a list");
  if (value.size() > max_size) Fail(field, value, "has more than " + std::to_string(max_size) + " entries");
  return value;
}

template <std::size_t N>
void Text(const Json& value, const std::string& field, base::ShortString<N>& out) {
  if (!value.is_string()) Fail(field, value, "is not a text");
  std::optional<std::string> gbk = base::Utf8ToGbk(value.get<std::string>());
  if (!gbk) Fail(field, value, "has a character without a GBK form");
  if (gbk->size() > N)
    Fail(field, value,
         "is " + std::to_string(gbk->size()) + " GBK bytes; the field holds " + std::to_string(N));
  out.assign(*gbk);
}

// The position an entry of slots, items or columns names; each at most once.
std::size_t EntryIndex(const Json& entry, const std::string& field, std::size_t count,
                       std::set<std::size_t>& seen) {
  if (!entry.is_object() || !entry.contains("index")) Fail(field, entry, "has no index");
  auto index = static_cast<std::size_t>(
      Integer(entry["index"], Dot(field, "index"), 0, static_cast<std::int64_t>(count) - 1));
  if (!seen.insert(index).second) Fail(Dot(field, "index"), entry["index"], "names an entry given before");
  return index;
}

void HexCode(const Json& value, const std::string& field, std::array<std::uint8_t, kSlotCodeBytes>& out) {
  if (!value.is_string()) Fail(field, value, "is not a text of hexadecimal digits");
  std::string digits;
  for (char c : value.get<std::string>()) {
    if (c == ' ') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c)))
      Fail(field, value, "holds a character that is not a hexadecimal digit");
    digits += c;
  }
  if (digits.size() % 2 != 0) Fail(field, value, "has an odd number of hexadecimal digits");
  if (digits.size() / 2 > kSlotCodeBytes) Fail(field, value, "has more than 64 bytes");
  out.fill(0);
  for (std::size_t i = 0; i < digits.size() / 2; ++i)
    out[i] = static_cast<std::uint8_t>(std::stoi(digits.substr(2 * i, 2), nullptr, 16));
}

template <std::size_t N>
void Durations(const Json& value, const std::string& field, std::array<std::int32_t, N>& out) {
  Array(value, field, N);
  out.fill(ir::kUnusedDuration);
  for (std::size_t i = 0; i < value.size(); ++i)
    out[i] = static_cast<std::int32_t>(Integer(value[i], At(field, i), INT32_MIN, INT32_MAX));
}

void ParamsFromJson(const Json& j, ir::TIRGsPara& p) {
  CheckNames(j, "params", {"carrier", "logic", "split"});
  p.Reset();
  if (j.contains("carrier")) p.Carrier = Word(j["carrier"], "params.carrier");
  if (j.contains("logic")) {
    const Json& logic = Array(j["logic"], "params.logic", ir::TIRGsPara::kMaxLogic);
    for (std::size_t k = 0; k < logic.size(); ++k) Durations(logic[k], At("params.logic", k), p.Logic[k]);
    p.LogicCount = static_cast<std::uint8_t>(logic.size());
  }
  if (j.contains("split")) {
    const Json& split = Array(j["split"], "params.split", ir::TIRGsPara::kMaxSplit);
    for (std::size_t k = 0; k < split.size(); ++k) Durations(split[k], At("params.split", k), p.Split[k]);
    p.SplitCount = static_cast<std::uint8_t>(split.size());
  }
}

void ItemFromJson(const Json& j, const std::string& field, ir::TCrcItem& item) {
  CheckNames(j, field,
             {"index", "target", "zones", "kind", "width", "const", "const_op", "aux_const", "aux_op"});
  if (j.contains("target")) {
    const Json& t = Array(j["target"], Dot(field, "target"), 3);
    if (t.size() != 3) Fail(Dot(field, "target"), t, "is not [frame, bit, width]");
    item.TargetFrame = Byte(t[0], Dot(field, "target") + "[0]");
    item.TargetBit = Word(t[1], Dot(field, "target") + "[1]");
    item.TargetWidth = Byte(t[2], Dot(field, "target") + "[2]");
  }
  if (j.contains("zones")) {
    std::string zf = Dot(field, "zones");
    const Json& zones = Array(j["zones"], zf, kMaxZones);
    for (std::size_t z = 0; z < zones.size(); ++z) {
      const Json& zone = Array(zones[z], At(zf, z), 4);
      if (zone.size() != 4) Fail(At(zf, z), zone, "is not [start frame, start bit, end frame, end bit]");
      item.Zones[z] = {Byte(zone[0], At(zf, z) + "[0]"), Word(zone[1], At(zf, z) + "[1]"),
                       Byte(zone[2], At(zf, z) + "[2]"), Word(zone[3], At(zf, z) + "[3]")};
    }
    item.ZoneCount = static_cast<std::uint8_t>(zones.size());
  }
  if (j.contains("kind")) item.Kind = Byte(j["kind"], Dot(field, "kind"));
  if (j.contains("width")) item.OperandWidth = Byte(j["width"], Dot(field, "width"));
  if (j.contains("const")) item.Const = Word(j["const"], Dot(field, "const"));
  if (j.contains("const_op")) item.ConstOp = Byte(j["const_op"], Dot(field, "const_op"));
  if (j.contains("aux_const")) item.AuxConst = Word(j["aux_const"], Dot(field, "aux_const"));
  if (j.contains("aux_op")) item.AuxOp = Byte(j["aux_op"], Dot(field, "aux_op"));
}

void CrcFromJson(const Json& j, const std::string& field, ir::TCrcBlock& crc) {
  CheckNames(j, field, {"enabled", "count", "items"});
  if (j.contains("enabled")) crc.HasChecksum = FlagByte(j["enabled"], Dot(field, "enabled"));
  if (j.contains("count")) crc.Count = Byte(j["count"], Dot(field, "count"));
  if (!j.contains("items")) return;
  std::string itf = Dot(field, "items");
  const Json& items = Array(j["items"], itf, kCrcItems);
  std::set<std::size_t> seen;
  for (std::size_t i = 0; i < items.size(); ++i) {
    std::size_t index = EntryIndex(items[i], At(itf, i), kCrcItems, seen);
    ItemFromJson(items[i], At(itf, i), crc.Items[index]);
  }
}

void SlotFromJson(const Json& j, const std::string& field, TdiskFormatSlot& slot) {
  CheckNames(j, field, {"index", "text", "code", "code_stored", "crc"});
  if (j.contains("text")) Text(j["text"], Dot(field, "text"), slot.Text);
  if (j.contains("code")) HexCode(j["code"], Dot(field, "code"), slot.Code);
  if (j.contains("code_stored")) slot.CodeStored = FlagByte(j["code_stored"], Dot(field, "code_stored"));
  if (j.contains("crc")) CrcFromJson(j["crc"], Dot(field, "crc"), slot.Crc);
}

void ColumnFromJson(const Json& j, const std::string& field, TdiskBitColumn& c) {
  CheckNames(j, field, {"index", "frame", "bit", "width", "kind", "values"});
  if (j.contains("frame")) c.Frame = Byte(j["frame"], Dot(field, "frame"));
  if (j.contains("bit")) c.BitPos = Word(j["bit"], Dot(field, "bit"));
  if (j.contains("width")) c.Width = Byte(j["width"], Dot(field, "width"));
  if (j.contains("kind")) c.Kind = Byte(j["kind"], Dot(field, "kind"));
  if (j.contains("values")) {
    const Json& values = Array(j["values"], Dot(field, "values"), kMaxStates);
    for (std::size_t s = 0; s < values.size(); ++s)
      c.Values[s] = Byte(values[s], At(Dot(field, "values"), s));
  }
}

// The element list text: "<n>" split codes and "[n]" data groups, nothing else.
ir::TStrProt_Listbase ElementsFromText(const Json& value, const std::string& field) {
  if (!value.is_string()) Fail(field, value, "is not a text");
  const std::string text = value.get<std::string>();
  ir::TStrProt_Listbase elements;
  std::size_t i = 0;
  auto skip_blanks = [&] {
    while (i < text.size() && text[i] == ' ') ++i;
  };
  for (skip_blanks(); i < text.size(); skip_blanks()) {
    char open = text[i];
    char close = open == '<' ? '>' : open == '[' ? ']' : '\0';
    std::size_t end = close ? text.find(close, i) : std::string::npos;
    if (end == std::string::npos) Fail(field, value, "is not a list of <split> and [bits] elements");
    long long n = 0;
    std::string inner = text.substr(i + 1, end - i - 1);
    if (!base::ParseInteger(inner, n) || n < 0 || n > kMaxU16 ||
        inner.find_first_of("+-") != std::string::npos)
      Fail(field, value, "has an element whose number is not 0..65535");
    auto v = static_cast<std::uint16_t>(n);
    elements.push_back(open == '<' ? ir::TStrProtItem::Split(v) : ir::TStrProtItem::Data(v));
    if (elements.size() > kMaxLineElements) Fail(field, value, "has more than 64 elements");
    i = end + 1;
  }
  return elements;
}

TGrdDataLine LineFromJson(const Json& j, const std::string& field, bool lsb_first) {
  CheckNames(j, field, {"bits", "elements", "repeat", "marker"});
  TGrdDataLine line;
  if (j.contains("elements")) line.Elements = ElementsFromText(j["elements"], Dot(field, "elements"));
  if (j.contains("repeat")) line.Repeat = Byte(j["repeat"], Dot(field, "repeat"));
  if (j.contains("marker")) line.Marker = Byte(j["marker"], Dot(field, "marker"));
  if (!j.contains("bits")) return line;
  const Json& bits = j["bits"];
  std::string bf = Dot(field, "bits");
  if (!bits.is_string()) Fail(bf, bits, "is not a text of 0 and 1");
  for (char c : bits.get<std::string>()) {
    if (c != '0' && c != '1') Fail(bf, bits, "holds a character other than 0 and 1");
    line.Data.push_back(static_cast<std::uint8_t>(c - '0'));
  }
  if (line.Data.empty()) return line;
  std::int64_t wanted = ir::TotalBits(line.Elements);
  if (static_cast<std::int64_t>(line.Data.size()) != wanted)
    Fail(bf, bits,
         "has " + std::to_string(line.Data.size()) + " bits; the elements hold " + std::to_string(wanted));
  ir::TSSByteArray packed;
  if (!ir::BitsToBytes(line.Elements, line.Data, lsb_first, packed) || packed.size() > kMaxLineCodeBytes)
    Fail(bf, bits, "packs into more than 129 code bytes");
  return line;
}

void KeyFromJson(const Json& j, const std::string& field, TdiskKey& key, TGrdLines& lines, bool lsb_first) {
  CheckNames(j, field, {"name", "states", "fixed_flags", "slot", "slot2", "extra", "columns", "lines"});
  if (j.contains("name")) Text(j["name"], Dot(field, "name"), key.Name);
  if (j.contains("states")) {
    std::string sf = Dot(field, "states");
    const Json& states = Array(j["states"], sf, kMaxStates);
    for (std::size_t s = 0; s < states.size(); ++s) Text(states[s], At(sf, s), key.StateNames[s]);
    key.StateCount = static_cast<std::uint8_t>(states.size());
  }
  if (j.contains("fixed_flags")) key.FixedFlags = Byte(j["fixed_flags"], Dot(field, "fixed_flags"));
  if (j.contains("slot")) key.Slot = Byte(j["slot"], Dot(field, "slot"));
  if (j.contains("slot2")) key.Slot2 = Byte(j["slot2"], Dot(field, "slot2"));
  if (j.contains("extra")) {
    const Json& extra = Array(j["extra"], Dot(field, "extra"), kExtraBytes);
    for (std::size_t b = 0; b < extra.size(); ++b) key.Extra[b] = Byte(extra[b], At(Dot(field, "extra"), b));
  }
  if (j.contains("columns")) {
    std::string cf = Dot(field, "columns");
    const Json& columns = Array(j["columns"], cf, kColumnsPerKey);
    std::set<std::size_t> seen;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      std::size_t index = EntryIndex(columns[c], At(cf, c), kColumnsPerKey, seen);
      ColumnFromJson(columns[c], At(cf, c), key.Columns[index]);
    }
  }
  if (j.contains("lines")) {
    std::string lf = Dot(field, "lines");
    const Json& json_lines = Array(j["lines"], lf, kMaxU16);
    for (std::size_t i = 0; i < json_lines.size(); ++i)
      lines.push_back(LineFromJson(json_lines[i], At(lf, i), lsb_first));
  }
}

// A record with every field at its new-record default and no keys.
TdiskAir BlankRecord() {
  TdiskAir r = TdiskAir::FromImage(base::Bytes(TdiskAir::kSize, 0));
  InitRecord(r, 0.0);
  return r;
}

void HeaderFromJson(const Json& j, TdiskAir& r) {
  if (j.contains("brand")) Text(j["brand"], "brand", r.Brand);
  if (j.contains("code")) Text(j["code"], "code", r.CodeNo);
  if (j.contains("memo_cn")) Text(j["memo_cn"], "memo_cn", r.MemoCn);
  if (j.contains("memo_en")) Text(j["memo_en"], "memo_en", r.MemoEn);
  if (j.contains("lsb_first")) r.LsbFirst = FlagByte(j["lsb_first"], "lsb_first");
  if (j.contains("remote_type")) r.RemoteType = Byte(j["remote_type"], "remote_type");
  if (j.contains("has_checksum")) r.HasChecksum = FlagByte(j["has_checksum"], "has_checksum");
  if (j.contains("change_time")) {
    const Json& t = j["change_time"];
    if (!t.is_string() || !ChangeTimeFromIso(t.get<std::string>(), r.ChangeTime))
      Fail("change_time", t, "is not an ISO 8601 local time YYYY-MM-DDTHH:MM:SS");
  }
}

}  // namespace

nlohmann::ordered_json CrcItemToJson(std::size_t index, const ir::TCrcItem& item) {
  return ItemToJson(index, item);
}

RecordJsonError::RecordJsonError(std::string field, std::string value, const std::string& problem)
    : std::runtime_error("field " + field + (value.empty() ? "" : ": value " + value) + " " + problem),
      field_(std::move(field)),
      value_(std::move(value)) {}

RecordJsonError::RecordJsonError(Prepared, std::string field, const std::string& message)
    : std::runtime_error(message), field_(std::move(field)) {}

RecordJsonError RecordJsonError::Syntax(std::string field, std::size_t line, std::size_t column,
                                        const std::string& problem) {
  std::string where = "line " + std::to_string(line) + ", column " + std::to_string(column);
  if (field != "record") where += " (field " + field + ")";
  return RecordJsonError(Prepared{}, std::move(field), where + ": not valid JSON: " + problem);
}

std::string ChangeTimeToIso(double value) {
  std::string text = base::FormatIsoDateTime(value);
  double back = 0;
  if (!std::isfinite(value) || std::fabs(value) > kMaxDateTimeDays ||
      (ChangeTimeFromIso(text, back) && back == value))
    return text;
  // Not a whole millisecond: write the time of day with as many second digits
  // as it takes, cut (not rounded) so that the seconds never reach 60.
  long double whole = std::trunc(static_cast<long double>(value));
  long double seconds_of_day = std::fabs(static_cast<long double>(value) - whole) * kSecondsPerDay;
  base::LocalDateTime day = base::FromDateTime(static_cast<double>(whole));
  auto minutes = static_cast<long long>(seconds_of_day / 60);
  long double seconds = seconds_of_day - static_cast<long double>(minutes) * 60;
  char head[40];
  std::snprintf(head, sizeof head, "%04d-%02d-%02dT%02lld:%02lld:%02d.", day.year, day.month, day.day,
                minutes / 60, minutes % 60, static_cast<int>(seconds));
  std::string digits;
  long double rest = seconds - std::floor(seconds);
  for (int n = 1; n <= kMaxSecondDigits; ++n) {
    rest *= 10;
    int digit = std::clamp(static_cast<int>(rest), 0, 9);
    digits += static_cast<char>('0' + digit);
    rest -= digit;
    if (n < 4) continue;
    std::string candidate = head + digits;
    if (ChangeTimeFromIso(candidate, back) && back == value) return candidate;
  }
  return text;
}

bool ChangeTimeFromIso(std::string_view text, double& value) {
  std::string s(text);
  std::size_t dot = s.find('.');
  if (dot == std::string::npos || s.size() - dot - 1 <= 3) return base::ParseIsoDateTime(s, value);
  // Finer than milliseconds: the whole computation in long double, rounded once.
  std::string digits = s.substr(dot + 1);
  if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > kMaxSecondDigits)
    return false;
  double check = 0;
  if (!base::ParseIsoDateTime(s.substr(0, dot), check)) return false;
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, used = 0;
  if (std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &sec, &used) != 6 ||
      static_cast<std::size_t>(used) != dot)
    return false;
  long double day = base::ToDateTime(base::LocalDateTime{y, mo, d, 0, 0, 0, 0});
  long double fraction = (h * 3600.0L + mi * 60.0L + sec + std::stold("0." + digits)) / kSecondsPerDay;
  value = static_cast<double>(day >= 0 ? day + fraction : day - fraction);
  return true;
}

Json RecordToJson(const TdiskAir& record, const TBtnLines& bit_lines) {
  Json slots = Json::array();
  const TdiskFormatSlot unused_slot;
  for (std::size_t i = 0; i < kFormatSlots; ++i) {
    if (!(record.Slots[i] == unused_slot)) slots.push_back(SlotToJson(i, record.Slots[i]));
  }
  Json keys = Json::array();
  for (std::size_t k = 0; k < record.UsedKeys(); ++k)
    keys.push_back(KeyToJson(record.Keys[k], k < bit_lines.size() ? &bit_lines[k] : nullptr));
  return Json{{"brand", Utf8(record.Brand)},
              {"code", Utf8(record.CodeNo)},
              {"memo_cn", Utf8(record.MemoCn)},
              {"memo_en", Utf8(record.MemoEn)},
              {"lsb_first", Flag(record.LsbFirst)},
              {"remote_type", record.RemoteType},
              {"change_time", ChangeTimeToIso(record.ChangeTime)},
              {"has_checksum", Flag(record.HasChecksum)},
              {"params", ParamsToJson(record.Params)},
              {"slots", slots},
              {"keys", keys}};
}

Json LibraryRecordToJson(const LibraryRecord& entry) {
  return RecordToJson(entry.Record, UnpackLines(entry.Lines, IsLsbFirst(entry.Record)));
}

std::string LibraryRecordToJsonText(const LibraryRecord& entry) {
  return LibraryRecordToJson(entry).dump(2) + "\n";
}

EditableRecord RecordFromJson(const Json& j) {
  CheckNames(j, "",
             {"brand", "code", "memo_cn", "memo_en", "lsb_first", "remote_type", "change_time",
              "has_checksum", "params", "slots", "keys"});
  EditableRecord out{BlankRecord(), {}};
  TdiskAir& r = out.record;
  HeaderFromJson(j, r);
  if (j.contains("params")) ParamsFromJson(j["params"], r.Params);
  if (j.contains("slots")) {
    const Json& slots = Array(j["slots"], "slots", kFormatSlots);
    std::set<std::size_t> seen;
    for (std::size_t i = 0; i < slots.size(); ++i) {
      std::size_t index = EntryIndex(slots[i], At("slots", i), kFormatSlots, seen);
      SlotFromJson(slots[i], At("slots", i), r.Slots[index]);
    }
  }
  if (j.contains("keys")) {
    const Json& keys = Array(j["keys"], "keys", kMaxKeys);
    out.bit_lines.resize(keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k)
      KeyFromJson(keys[k], At("keys", k), r.Keys[k], out.bit_lines[k], IsLsbFirst(r));
    r.KeyCount = static_cast<std::uint8_t>(keys.size());
  }
  return out;
}

EditableRecord RecordFromJsonText(std::string_view text) {
  if (text.size() > kMaxRecordJsonBytes)
    throw RecordJsonError("record", "",
                          "has " + std::to_string(text.size()) + " bytes; a JSON record may have at most " +
                              std::to_string(kMaxRecordJsonBytes));
  TextCheck(text).Run();
  Json j = Json::parse(text.begin(), text.end(), nullptr, false);
  if (j.is_discarded()) throw RecordJsonError("record", "", "is not valid JSON");
  return RecordFromJson(j);
}

LibraryRecord LibraryRecordFromJsonText(std::string_view text) {
  EditableRecord e = RecordFromJsonText(text);
  return LibraryRecord{e.record, PackLines(e.bit_lines, IsLsbFirst(e.record))};
}

}  // namespace klimavo::store
