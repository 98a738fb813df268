// The climate-code collections' JSON files (see climate_json.h for the layout).
//
// The file is parsed with SAX events straight from the line source, so it is
// never held whole: memory holds one line, the path of keys to the code being
// read and the lists of modes. Codes are Broadlink packets (base64 or hex),
// Pronto hex, or durations in µs (a string or an array of numbers, unsigned
// alternating from a mark or signed). Members outside "commands" other than
// the lists of modes are ignored.
#include <algorithm>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "capture/broadlink_packet.h"
#include "capture/capture_writer.h"
#include "capture/climate_json.h"
#include "capture/decode_report.h"
#include "capture/formats.h"
#include "capture/text_scan.h"

namespace klimavo::capture {
namespace {

constexpr std::string_view kCommandsKey = "commands";
constexpr std::size_t kMaxDepth = 32;

// The characters of the line source, each line followed by '\n', with the
// number of the line being read.
class LineChars {
 public:
  explicit LineChars(LineSource& lines) : lines_(lines) {}

  bool AtEnd() {
    Fill();
    return ended_;
  }
  char Get() {
    Fill();
    return at_ < text_.size() ? text_[at_] : '\n';
  }
  void Advance() {
    Fill();
    if (!ended_) ++at_;
  }
  int line() const { return line_; }

 private:
  void Fill() {
    while (!ended_ && at_ > text_.size()) {
      const auto next = lines_.Next();
      if (!next) {
        ended_ = true;
        break;
      }
      text_ = next->text;
      line_ = next->number;
      at_ = 0;
    }
  }

  LineSource& lines_;
  std::string_view text_;
  std::size_t at_ = 1;  // past the '\n' of the empty line before the first
  int line_ = 0;
  bool ended_ = false;
};

// An input iterator over LineChars for the JSON parser; the default one is the end.
class CharIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = char;

  CharIterator() = default;
  explicit CharIterator(LineChars& chars) : chars_(&chars) {}
  char operator*() const { return chars_->Get(); }
  CharIterator& operator++() {
    chars_->Advance();
    return *this;
  }
  CharIterator operator++(int) {
    CharIterator before = *this;
    chars_->Advance();
    return before;
  }
  bool operator==(const CharIterator& other) const { return Done() == other.Done(); }
  bool operator!=(const CharIterator& other) const { return !(*this == other); }

 private:
  bool Done() const { return chars_ == nullptr || chars_->AtEnd(); }
  LineChars* chars_ = nullptr;
};

bool IsNumberKey(std::string_view key) {
  std::size_t i = 0;
  while (i < key.size() && key[i] >= '0' && key[i] <= '9') ++i;
  if (i == 0) return false;
  if (i == key.size()) return true;
  if (key[i] != '.' || i + 1 == key.size()) return false;
  for (++i; i < key.size(); ++i)
    if (key[i] < '0' || key[i] > '9') return false;
  return true;
}

bool Contains(const std::vector<std::string>& list, std::string_view item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

struct ModeLists {
  std::vector<std::string> fans;
  std::vector<std::string> swings;
};

// The label of a code from its keys below "commands": "off" / "on" as the
// power, then the mode, and below it the fan, the swing and the temperature
// (a number), told apart by the file's lists where it has them.
CaptureLabel LabelOfPath(const std::vector<std::string>& path, const ModeLists& lists) {
  if (path.size() == 1) {
    if (path[0] == "off" || path[0] == "on") return {{"power", path[0]}};
    return {};
  }
  std::optional<std::string> fan, swing, temp;
  CaptureLabel extra;
  for (std::size_t i = 1; i < path.size(); ++i) {
    const std::string& key = path[i];
    const bool last = i + 1 == path.size();
    if (last && IsNumberKey(key) && !temp) {
      temp = key;
    } else if (!fan && (lists.fans.empty() || Contains(lists.fans, key)) &&
               !(Contains(lists.swings, key) && !Contains(lists.fans, key))) {
      fan = key;
    } else if (!swing) {
      swing = key;
    } else {
      extra.push_back({"level" + std::to_string(i + 1), key});
    }
  }
  CaptureLabel label{{"mode", path[0]}};
  if (fan) label.push_back({"fan", *fan});
  if (temp) label.push_back({"temp", *temp});
  if (swing) label.push_back({"swing", *swing});
  label.insert(label.end(), extra.begin(), extra.end());
  return label;
}

// a < b for two texts that IsNumberKey accepts, without a locale's decimal point.
bool NumberBelow(std::string_view a, std::string_view b) {
  auto split = [](std::string_view t) {
    const std::size_t dot = t.find('.');
    std::string_view whole = t.substr(0, dot);
    while (whole.size() > 1 && whole.front() == '0') whole.remove_prefix(1);
    std::string_view fraction = dot == std::string_view::npos ? std::string_view() : t.substr(dot + 1);
    while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
    return std::pair{whole, fraction};
  };
  const auto [wa, fa] = split(a);
  const auto [wb, fb] = split(b);
  if (wa.size() != wb.size()) return wa.size() < wb.size();
  if (wa != wb) return wa < wb;
  return fa < fb;
}

// A temperature key as a JSON number: no leading zeros ("04" is 4), no
// trailing zeros of a fraction.
std::string JsonNumber(std::string_view key) {
  const std::size_t dot = key.find('.');
  std::string_view whole = key.substr(0, dot);
  while (whole.size() > 1 && whole.front() == '0') whole.remove_prefix(1);
  std::string_view fraction = dot == std::string_view::npos ? std::string_view() : key.substr(dot + 1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  return std::string(whole) + (fraction.empty() ? "" : "." + std::string(fraction));
}

std::string PathName(const std::vector<std::string>& path) {
  std::string out;
  for (std::size_t i = 0; i < path.size(); ++i) out += (i ? "/" : "") + path[i];
  return out;
}

// Durations in µs from a list of numbers: unsigned ones alternate from a
// mark, signed ones keep their signs.
std::string DurationsOfNumbers(const std::vector<std::int64_t>& numbers, std::size_t max,
                               ir::TIRIntegerArr& out) {
  const bool is_signed = std::any_of(numbers.begin(), numbers.end(), [](std::int64_t v) { return v < 0; });
  if (numbers.size() > max) return "more than " + std::to_string(max) + " durations in one capture";
  out.clear();
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (numbers[i] > kMaxMicros || numbers[i] < -kMaxMicros)
      return "duration " + std::to_string(numbers[i]) + " out of range";
    const auto v = static_cast<std::int32_t>(numbers[i]);
    if (v != 0) out.push_back(is_signed || i % 2 == 0 ? v : -v);
  }
  if (out.empty()) return "the code holds no duration";
  return {};
}

// A code written as text: a Broadlink packet, a Pronto code or durations.
std::string DurationsOfText(std::string_view text, const ReadOptions& options, std::int32_t& carrier,
                            ir::TIRIntegerArr& out) {
  text = scan::Trimmed(text);
  if (text.size() >= 2 && text.front() == '[' && text.back() == ']')  // a list written as a string
    text = scan::Trimmed(text.substr(1, text.size() - 2));
  if (text.substr(0, 5) == "0000 ") {
    ReadOptions pronto = options;
    const ReadResult r = ReadWithFormat(ProntoFormat(), text, pronto);
    if (!r.ok()) return r.error->message + (r.error->token.empty() ? "" : ": '" + r.error->token + "'");
    if (r.captures.size() != 1) return "a code must be one Pronto code";
    carrier = r.captures[0].carrier;
    out = r.captures[0].durations;
    return {};
  }
  // A packet in hex may be all digits too: a list of durations needs separators.
  const auto packet = broadlink::PacketBytes(text);
  const bool is_packet = packet && !packet->empty() && (*packet)[0] == broadlink::kInfraredType;
  const bool numbers = !is_packet && text.find_first_not_of("0123456789+-, \t") == std::string_view::npos &&
                       text.find_first_of(", \t") != std::string_view::npos;
  if (numbers) {
    std::vector<std::int64_t> values;
    scan::TokenScanner tokens(text, true);
    while (const auto token = tokens.Next()) {
      std::int64_t v = 0;
      if (scan::ParseDecimal(*token, true, kMaxMicros, v) != scan::NumberStatus::kOk)
        return "not a duration: '" + std::string(token->substr(0, kMaxQuotedToken)) + "'";
      if (values.size() > options.limits.durations)
        return "more than " + std::to_string(options.limits.durations) + " durations in one capture";
      values.push_back(v);
    }
    return DurationsOfNumbers(values, options.limits.durations, out);
  }
  if (!packet) return "not a Broadlink packet (base64 or hex), a Pronto code or a list of durations";
  return broadlink::ReadPacket(*packet, options.limits.durations, out);
}

class ClimateHandler final : public nlohmann::json_sax<nlohmann::json> {
 public:
  ClimateHandler(const LineChars& chars, const ReadOptions& options, const scan::ErrorSink& errors,
                 scan::CaptureCollector& collector)
      : chars_(chars), options_(options), errors_(errors), collector_(collector) {}

  bool null() override { return Scalar(); }
  bool boolean(bool) override { return Scalar(); }
  bool number_integer(number_integer_t v) override { return Number(v); }
  bool number_unsigned(number_unsigned_t v) override {
    return Number(v > static_cast<number_unsigned_t>(kMaxTicks) ? kMaxTicks : static_cast<std::int64_t>(v));
  }
  bool number_float(number_float_t, const string_t&) override {
    if (in_raw_array_) return Fail("durations must be whole µs");
    return Scalar();
  }
  bool binary(binary_t&) override { return Scalar(); }
  bool string(string_t& s) override {
    if (in_raw_array_) return Fail("durations must be numbers");
    if (stack_.size() == 2 && !stack_[0].array && IsList(stack_[0].key)) {
      if (stack_[0].key == "fanModes") lists_.fans.push_back(s);
      if (stack_[0].key == "swingModes") lists_.swings.push_back(s);
    } else if (stack_.size() == 1 && stack_[0].key == "commandsEncoding") {
      encoding_ = s;
    } else if (InCommands()) {
      if (stack_.back().array) return Fail("a list of codes is not read; give each code its own key");
      return Emit(s, {});
    }
    return true;
  }
  bool start_object(std::size_t) override {
    if (in_raw_array_) return Fail("durations must be numbers");
    if (InCommands() && stack_.back().array)
      return Fail("a list of codes is not read; give each code its own key");
    return Push(false);
  }
  bool start_array(std::size_t) override {
    if (in_raw_array_) return Fail("durations must be numbers");
    if (InCommands()) {
      if (stack_.back().array) return Fail("a list of codes is not read; give each code its own key");
      in_raw_array_ = true;
      numbers_.clear();
    }
    return Push(true);
  }
  bool end_object() override {
    stack_.pop_back();
    return true;
  }
  bool end_array() override {
    stack_.pop_back();
    if (!in_raw_array_) return true;
    in_raw_array_ = false;
    ir::TIRIntegerArr durations;
    const std::string fault = DurationsOfNumbers(numbers_, options_.limits.durations, durations);
    if (!fault.empty()) return Fail(fault);
    return Emit({}, std::move(durations));
  }
  bool key(string_t& k) override {
    if (stack_.size() == 1 && k == kCommandsKey) seen_commands_ = true;
    stack_.back().key = std::move(k);
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception& e) override {
    syntax_error_ = e.what();
    return false;
  }

  std::optional<CaptureError>& fault() { return fault_; }
  const std::string& syntax_error() const { return syntax_error_; }
  bool seen_commands() const { return seen_commands_; }

 private:
  struct Frame {
    bool array;
    std::string key;
  };

  static bool IsList(std::string_view key) { return key == "fanModes" || key == "swingModes"; }

  bool InCommands() const { return stack_.size() >= 2 && !stack_[0].array && stack_[0].key == kCommandsKey; }

  bool Push(bool array) {
    if (stack_.empty() && array) return Fail("a climate-code file is one JSON object");
    if (stack_.size() >= kMaxDepth)
      return Fail("nested deeper than " + std::to_string(kMaxDepth) + " levels");
    stack_.push_back(Frame{array, {}});
    return true;
  }

  bool Scalar() {
    if (in_raw_array_) return Fail("durations must be numbers");
    if (InCommands()) return Fail("not a code (a string or a list of durations)");
    return true;
  }

  bool Number(std::int64_t v) {
    if (in_raw_array_) {
      if (numbers_.size() > options_.limits.durations)
        return Fail("more than " + std::to_string(options_.limits.durations) + " durations in one capture");
      numbers_.push_back(v);
      return true;
    }
    return Scalar();
  }

  // The keys below "commands" to the value being read.
  std::vector<std::string> Path() const {
    std::vector<std::string> path;
    for (std::size_t i = 1; i < stack_.size(); ++i)
      if (!stack_[i].array) path.push_back(stack_[i].key);
    return path;
  }

  bool Emit(std::string_view text, ir::TIRIntegerArr durations) {
    const std::vector<std::string> path = Path();
    std::int32_t carrier = options_.default_carrier;
    if (!text.empty() || durations.empty()) {
      if (!encoding_.empty() && encoding_ != "Base64" && encoding_ != "Raw" && encoding_ != "Pronto" &&
          encoding_ != "Hex")
        return Fail("codes encoded as '" + encoding_ + "' are not read (Base64, Hex, Pronto or Raw)");
      const std::string fault = DurationsOfText(text, options_, carrier, durations);
      if (!fault.empty()) return Fail(fault);
    }
    collector_.SetNextCarrier(carrier);
    CaptureRead& capture = collector_.Open(chars_.line());
    capture.name = PathName(path);
    capture.label = LabelOfPath(path, lists_);
    capture.durations = std::move(durations);
    collector_.Close();
    return true;
  }

  bool Fail(std::string message) {
    fault_ = errors_.Fail(chars_.line(), PathName(Path()), std::move(message));
    return false;
  }

  const LineChars& chars_;
  const ReadOptions& options_;
  const scan::ErrorSink& errors_;
  scan::CaptureCollector& collector_;
  std::vector<Frame> stack_;
  ModeLists lists_;
  std::string encoding_;
  bool in_raw_array_ = false;
  std::vector<std::int64_t> numbers_;
  bool seen_commands_ = false;
  std::optional<CaptureError> fault_;
  std::string syntax_error_;
};

// True when `key` appears in the text as a member name: quoted and followed by a colon.
bool HasMember(std::string_view text, std::string_view key) {
  for (std::size_t at = text.find(key); at != std::string_view::npos; at = text.find(key, at + 1)) {
    std::size_t next = at + key.size();
    while (next < text.size() &&
           (text[next] == ' ' || text[next] == '\t' || text[next] == '\n' || text[next] == '\r'))
      ++next;
    if (next < text.size() && text[next] == ':') return true;
  }
  return false;
}

int Probe(std::string_view head) {
  const auto lines = scan::FirstMeaningfulLines(head, 1);
  if (lines.empty() || scan::Trimmed(lines[0]).front() != '{') return kProbeNo;
  // A line of captures (JSON Lines) is never a climate-code file.
  if (lines[0].find("\"durations_us\"") != std::string_view::npos) return kProbeNo;
  if (!HasMember(head, "\"commands\"")) return kProbeNo;
  const bool described = HasMember(head, "\"commandsEncoding\"") || HasMember(head, "\"operationModes\"") ||
                         HasMember(head, "\"supportedController\"");
  return described ? kProbeCertain : 95;
}

std::optional<CaptureError> Read(LineSource& lines, const ReadOptions& options, const CaptureSink& sink) {
  const scan::ErrorSink errors(options);
  scan::CaptureCollector collector(options, DurationUnit::kMicroseconds, sink);
  LineChars chars(lines);
  ClimateHandler handler(chars, options, errors, collector);
  const bool ok = nlohmann::json::sax_parse(CharIterator(chars), CharIterator(), &handler);
  if (lines.Error()) return lines.Error();
  if (handler.fault()) return handler.fault();
  if (!ok) {
    std::string message = "not a JSON file";
    if (!handler.syntax_error().empty()) message += " (" + handler.syntax_error() + ")";
    return errors.Fail(chars.line(), "", message);
  }
  if (!handler.seen_commands()) return errors.Fail(0, "commands", "the file has no \"commands\" object");
  return std::nullopt;
}

// ---- Writing -------------------------------------------------------------

// A level of the commands tree: codes in the order their keys first came.
struct Node {
  std::string key;
  std::string code;  // a leaf's base64 packet
  std::vector<Node> children;
};

Node& Child(Node& node, const std::string& key) {
  for (Node& c : node.children)
    if (c.key == key) return c;
  node.children.push_back(Node{key, {}, {}});
  return node.children.back();
}

void AddOnce(std::vector<std::string>& list, const std::string& item) {
  if (!Contains(list, item)) list.push_back(item);
}

std::string Indent(std::size_t level) { return std::string(2 * level, ' '); }

void WriteNode(const Node& node, std::size_t level, std::string& out) {
  out += Indent(level) + JsonString(node.key) + ": ";
  if (node.children.empty()) {
    out += JsonString(node.code);
    return;
  }
  out += "{\n";
  for (std::size_t i = 0; i < node.children.size(); ++i) {
    WriteNode(node.children[i], level + 1, out);
    out += i + 1 < node.children.size() ? ",\n" : "\n";
  }
  out += Indent(level) + "}";
}

std::string StringList(const std::vector<std::string>& items) {
  std::string out = "[";
  for (std::size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + JsonString(items[i]);
  return out + "]";
}

std::optional<std::string> LabelValue(const CaptureLabel& label, std::string_view function) {
  for (const LabelEntry& e : label)
    if (e.function == function) return e.value;
  return std::nullopt;
}

std::optional<WriteError> WriteRegistered(std::span<const CaptureRead> captures, std::string& out) {
  return WriteClimateJson(captures, ClimateFileInfo{}, out);
}

}  // namespace

std::optional<WriteError> WriteClimateJson(std::span<const CaptureRead> captures, const ClimateFileInfo& info,
                                           std::string& out) {
  Node commands{std::string(kCommandsKey), {}, {}};
  std::vector<std::string> modes, fans, swings;
  std::optional<std::string> min_temp, max_temp;
  bool halves = false;
  for (std::size_t i = 0; i < captures.size(); ++i) {
    const CaptureRead& c = captures[i];
    const ir::TIRIntegerArr signal = write::SignalOf(c);
    if (signal.empty()) return write::Fault(c, i, "holds no mark");
    std::vector<std::uint8_t> packet;
    if (std::string fault = broadlink::WritePacket(signal, packet); !fault.empty())
      return write::Fault(c, i, fault);
    std::vector<std::string> path;
    if (LabelValue(c.label, "power") == "off" && !LabelValue(c.label, "mode")) {
      path = {"off"};
    } else {
      const auto mode = LabelValue(c.label, "mode");
      const auto temp = LabelValue(c.label, "temp");
      if (!mode || !temp)
        return write::Fault(c, i, "a climate-code file needs a label with mode and temp, or power=off");
      if (!IsNumberKey(*temp)) return write::Fault(c, i, "temp '" + *temp + "' is not a number");
      const std::string fan = LabelValue(c.label, "fan").value_or("auto");
      const auto swing = LabelValue(c.label, "swing");
      path = {*mode, fan};
      if (swing) path.push_back(*swing);
      path.push_back(*temp);
      AddOnce(modes, *mode);
      AddOnce(fans, fan);
      if (swing) AddOnce(swings, *swing);
      if (!min_temp || NumberBelow(*temp, *min_temp)) min_temp = temp;
      if (!max_temp || NumberBelow(*max_temp, *temp)) max_temp = temp;
      halves = halves || temp->find('.') != std::string::npos;
    }
    Node* node = &commands;
    for (const std::string& key : path) {
      if (!node->code.empty())
        return write::Fault(c, i, "its place " + PathName(path) + " is a code already");
      node = &Child(*node, key);
    }
    if (!node->code.empty() || !node->children.empty())
      return write::Fault(c, i, "a second code for " + PathName(path));
    node->code = broadlink::Base64(packet);
  }
  std::string text = "{\n";
  text += "  \"manufacturer\": " + JsonString(info.manufacturer) + ",\n";
  text += "  \"supportedModels\": " + StringList(info.models) + ",\n";
  text += "  \"supportedController\": \"Broadlink\",\n";
  text += "  \"commandsEncoding\": \"Base64\",\n";
  if (min_temp) {
    text += "  \"minTemperature\": " + JsonNumber(*min_temp) + ",\n";
    text += "  \"maxTemperature\": " + JsonNumber(*max_temp) + ",\n";
  }
  text += "  \"precision\": " + std::string(halves ? "0.5" : "1.0") + ",\n";
  text += "  \"operationModes\": " + StringList(modes) + ",\n";
  text += "  \"fanModes\": " + StringList(fans) + ",\n";
  if (!swings.empty()) text += "  \"swingModes\": " + StringList(swings) + ",\n";
  WriteNode(commands, 1, text);
  text += "\n}\n";
  out += text;
  return std::nullopt;
}

const CaptureFormat& ClimateJsonFormat() {
  static const CaptureFormat format{
      "climate-json",
      "climate-code collection JSON: commands by mode, fan, [swing,] temperature",
      15,
      &Probe,
      &Read,
      &WriteRegistered};
  return format;
}

}  // namespace klimavo::capture
