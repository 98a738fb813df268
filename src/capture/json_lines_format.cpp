// JSON Lines of the capture corpus, one capture per line:
//
//   {"source": "...", "name": "POWER", "carrier_hz": 38000, "durations_us": [9000, -4500, ...]}
//
// `durations_us` is required (signed integers in µs); `carrier_hz` and `name`
// are optional; a string `source` is kept as the capture's origin; an object
// `label` gives the state of the remote ({"mode": "cool", "temp": 24}: strings
// and numbers, numbers kept as written, names in the order written); other keys
// are ignored, and of a key given twice the last counts. Blank lines are skipped.
//
// A line is parsed with SAX events, without building a document: the durations
// go straight into the capture, so a line takes little more memory than its
// text and its durations (a document of a million numbers would take 16 bytes
// each and more). Nesting costs one bit per level, so deep nesting is an error
// like any other, not a crash.
#include <algorithm>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>

#include "base/text.h"
#include "capture/capture_writer.h"
#include "capture/decode_report.h"
#include "capture/formats.h"
#include "capture/text_scan.h"

namespace klimavo::capture {
namespace {

constexpr std::string_view kDurationsKey = "durations_us";
constexpr std::string_view kCarrierKey = "carrier_hz";
constexpr std::string_view kNameKey = "name";
constexpr std::string_view kSourceKey = "source";
constexpr std::string_view kLabelKey = "label";

int Probe(std::string_view head) {
  const auto lines = scan::FirstMeaningfulLines(head, 1);
  if (lines.empty() || lines[0].front() != '{') return kProbeNo;
  return 90;
}

// One value as the handler sees it: an integer (saturated at the int64 range),
// a string, or anything else (fraction, bool, null, array, object).
struct Value {
  enum class Kind { kInteger, kString, kOther } kind = Kind::kOther;
  std::int64_t integer = 0;
  std::string* text = nullptr;
  const std::string* number_text = nullptr;  ///< a fraction as written

  bool IntegerIn(std::int64_t low, std::int64_t high) const {
    return kind == Kind::kInteger && integer >= low && integer <= high;
  }
};

// What one line holds, gathered from the parser's events. Only the members of
// the outer object count; the elements of `durations_us` are kept as they come.
class LineHandler final : public nlohmann::json_sax<nlohmann::json> {
 public:
  enum class Durations { kAbsent, kNotArray, kArray };

  LineHandler(std::size_t max_durations, std::int64_t default_carrier)
      : max_durations_(max_durations), default_carrier_(default_carrier), carrier_(default_carrier) {}

  bool null() override { return Take(Value{}); }
  bool boolean(bool) override { return Take(Value{}); }
  bool number_integer(number_integer_t v) override { return Take(Value{Value::Kind::kInteger, v}); }
  bool number_unsigned(number_unsigned_t v) override {
    constexpr auto kMax = static_cast<number_unsigned_t>(std::numeric_limits<std::int64_t>::max());
    return Take(Value{Value::Kind::kInteger, static_cast<std::int64_t>(v > kMax ? kMax : v)});
  }
  bool number_float(number_float_t, const string_t& s) override {
    return Take(Value{Value::Kind::kOther, 0, nullptr, &s});
  }
  bool string(string_t& s) override { return Take(Value{Value::Kind::kString, 0, &s}); }
  bool binary(binary_t&) override { return Take(Value{}); }
  bool start_object(std::size_t) override { return Open(false); }
  bool start_array(std::size_t) override { return Open(true); }
  bool end_object() override { return Close(); }
  bool end_array() override { return Close(); }
  bool key(string_t& k) override {
    if (depth_ == 1) Begin(k);
    if (depth_ == 2 && in_label_) label_key_ = k;
    return true;
  }
  bool parse_error(std::size_t position, const std::string&, const nlohmann::json::exception&) override {
    syntax_error_at_ = position;
    return false;
  }

  bool is_object() const { return is_object_; }
  std::size_t syntax_error_at() const { return syntax_error_at_; }
  Durations durations() const { return durations_; }
  std::size_t count() const { return count_; }
  std::optional<std::size_t> first_bad() const { return first_bad_; }
  ir::TIRIntegerArr& values() { return values_; }
  bool carrier_bad() const { return carrier_bad_; }
  std::int64_t carrier() const { return carrier_; }
  bool name_bad() const { return name_bad_; }
  std::optional<std::string>& name() { return name_; }
  std::optional<std::string>& source() { return source_; }
  CaptureLabel& label() { return label_; }
  /// The label's fault: the field at fault ("label" or "label.NAME"), empty when none.
  const std::string& label_bad() const { return label_bad_; }

 private:
  enum class Member { kOther, kDurations, kCarrier, kName, kSource, kLabel };

  // A member of the outer object starts: it replaces one of the same key before it.
  void Begin(std::string_view k) {
    member_ = k == kDurationsKey ? Member::kDurations
              : k == kCarrierKey ? Member::kCarrier
              : k == kNameKey    ? Member::kName
              : k == kSourceKey  ? Member::kSource
              : k == kLabelKey   ? Member::kLabel
                                 : Member::kOther;
    if (member_ == Member::kDurations) {
      durations_ = Durations::kAbsent;
      count_ = 0;
      first_bad_.reset();
      values_.clear();
    } else if (member_ == Member::kCarrier) {
      carrier_ = default_carrier_;
      carrier_bad_ = false;
    } else if (member_ == Member::kName) {
      name_.reset();
      name_bad_ = false;
    } else if (member_ == Member::kSource) {
      source_.reset();
    } else if (member_ == Member::kLabel) {
      label_.clear();
      label_bad_.clear();
    }
  }

  // One entry of the label object: a string, or a number kept as written.
  void TakeLabelValue(const Value& v) {
    std::string value;
    if (v.kind == Value::Kind::kString)
      value = std::move(*v.text);
    else if (v.kind == Value::Kind::kInteger)
      value = std::to_string(v.integer);
    else if (v.number_text != nullptr)
      value = *v.number_text;
    else if (label_bad_.empty())
      label_bad_ = std::string(kLabelKey) + "." + label_key_;
    auto same = std::find_if(label_.begin(), label_.end(),
                             [&](const LabelEntry& e) { return e.function == label_key_; });
    if (same != label_.end())
      same->value = std::move(value);
    else
      label_.push_back(LabelEntry{label_key_, std::move(value)});
  }

  bool Open(bool array) {
    if (depth_ == 0) {
      is_object_ = !array;
      depth_ = 1;
      return is_object_;  // anything but an object stops here
    }
    if (depth_ == 1 && array && member_ == Member::kDurations) {
      durations_ = Durations::kArray;
      in_durations_ = true;
    } else if (depth_ == 1 && !array && member_ == Member::kLabel) {
      in_label_ = true;
    } else {
      Take(Value{});
    }
    ++depth_;
    return true;
  }

  bool Close() {
    --depth_;
    if (depth_ == 1) in_durations_ = in_label_ = false;
    return true;
  }

  // A value (a container counts as it opens) at the current depth.
  bool Take(const Value& v) {
    if (depth_ == 0) return false;  // a line that is a lone value: not an object
    if (depth_ == 1) {
      if (member_ == Member::kDurations) {
        durations_ = Durations::kNotArray;
      } else if (member_ == Member::kCarrier) {
        carrier_bad_ = !v.IntegerIn(0, kMaxCarrierHz);
        if (!carrier_bad_) carrier_ = v.integer;
      } else if (member_ == Member::kName) {
        name_bad_ = v.kind != Value::Kind::kString;
        if (!name_bad_) name_ = std::move(*v.text);
      } else if (member_ == Member::kSource && v.kind == Value::Kind::kString) {
        source_ = std::move(*v.text);  // only a string names a file; anything else is ignored
      } else if (member_ == Member::kLabel) {
        label_bad_ = kLabelKey;  // a label that is not an object
      }
    } else if (depth_ == 2 && in_label_) {
      TakeLabelValue(v);
    } else if (depth_ == 2 && in_durations_) {
      if (!v.IntegerIn(-kMaxMicros, kMaxMicros)) {
        if (!first_bad_) first_bad_ = count_;
      } else if (count_ < max_durations_) {
        values_.push_back(static_cast<std::int32_t>(v.integer));
      }
      ++count_;
    }
    return true;
  }

  std::size_t max_durations_;
  std::int64_t default_carrier_;
  int depth_ = 0;
  bool is_object_ = false;
  std::size_t syntax_error_at_ = 0;
  Member member_ = Member::kOther;
  bool in_durations_ = false;
  Durations durations_ = Durations::kAbsent;
  std::size_t count_ = 0;
  std::optional<std::size_t> first_bad_;
  ir::TIRIntegerArr values_;
  std::int64_t carrier_;
  bool carrier_bad_ = false;
  std::optional<std::string> name_;
  bool name_bad_ = false;
  std::optional<std::string> source_;
  bool in_label_ = false;
  std::string label_key_;
  CaptureLabel label_;
  std::string label_bad_;
};

std::optional<CaptureError> ReadLine(const Line& line, const ReadOptions& options,
                                     const scan::ErrorSink& errors, scan::CaptureCollector& collector) {
  const std::string_view trimmed = scan::Trimmed(line.text);
  LineHandler h(options.limits.durations, options.default_carrier);
  if (!nlohmann::json::sax_parse(trimmed.data(), trimmed.data() + trimmed.size(), &h) || !h.is_object()) {
    std::string message = "not a JSON object";
    if (h.syntax_error_at() > 0) {
      const auto column = h.syntax_error_at() + static_cast<std::size_t>(trimmed.data() - line.text.data());
      message += " (syntax error at byte " + std::to_string(column) + ")";
    }
    return errors.Fail(line.number, trimmed, message);
  }
  if (h.durations() != LineHandler::Durations::kArray)
    return errors.Fail(line.number, kDurationsKey, "missing or not an array");
  if (h.count() > options.limits.durations)
    return errors.Fail(line.number, kDurationsKey,
                       "more than " + std::to_string(options.limits.durations) + " durations in one capture");
  if (h.carrier_bad()) return errors.Fail(line.number, kCarrierKey, "not a carrier in Hz (0 to 1000000)");
  if (h.name_bad()) return errors.Fail(line.number, kNameKey, "not a string");
  if (!h.label_bad().empty())
    return errors.Fail(line.number, h.label_bad(),
                       h.label_bad() == kLabelKey ? "not an object" : "not a string or a number");
  if (h.first_bad())
    return errors.Fail(line.number, std::string(kDurationsKey) + "[" + std::to_string(*h.first_bad()) + "]",
                       "not a duration in µs (an integer of at most 214748364)");
  collector.SetNextCarrier(static_cast<std::int32_t>(h.carrier()));
  CaptureRead& capture = collector.Open(line.number);
  capture.name = std::move(h.name());
  capture.origin = std::move(h.source());
  capture.label = std::move(h.label());
  capture.durations = std::move(h.values());
  collector.Close();
  return std::nullopt;
}

std::optional<CaptureError> Read(LineSource& lines, const ReadOptions& options, const CaptureSink& sink) {
  const scan::ErrorSink errors(options);
  scan::CaptureCollector collector(options, DurationUnit::kMicroseconds, sink);
  while (const auto line = lines.Next()) {
    if (scan::IsBlank(line->text)) continue;
    if (auto fault = errors.ControlByte(line->number, scan::Trimmed(line->text), false)) return fault;
    if (auto fault = ReadLine(*line, options, errors, collector)) return fault;
  }
  return lines.Error();
}

// A label value written the way a JSON number prints ("24", "24.5", "-3") is
// written as a JSON number, every other value ("024", "24.50", "-0", "cool") as
// a string, so that reading the number back gives the same text.
bool IsPlainNumber(std::string_view v) {
  std::size_t i = v.empty() || v.front() != '-' ? 0 : 1;
  const std::size_t digits_from = i;
  while (i < v.size() && v[i] >= '0' && v[i] <= '9') ++i;
  if (i == digits_from || (v[digits_from] == '0' && i - digits_from > 1)) return false;
  if (digits_from == 1 && v.substr(1) == "0") return false;
  if (i == v.size()) return true;
  if (v[i] != '.' || i + 1 == v.size() || v.back() == '0') return false;
  for (++i; i < v.size(); ++i)
    if (v[i] < '0' || v[i] > '9') return false;
  return true;
}

std::string LabelObject(const CaptureLabel& label) {
  std::string out = "{";
  for (std::size_t i = 0; i < label.size(); ++i) {
    out += (i ? ", " : "") + JsonString(label[i].function) + ": ";
    out += IsPlainNumber(label[i].value) ? label[i].value : JsonString(label[i].value);
  }
  return out + "}";
}

// One line per capture: name and label when it has them, then carrier and durations.
std::optional<WriteError> Write(std::span<const CaptureRead> captures, std::string& out) {
  std::string text;
  for (std::size_t i = 0; i < captures.size(); ++i) {
    const CaptureRead& c = captures[i];
    const ir::TIRIntegerArr signal = write::SignalOf(c);
    if (signal.empty()) return write::Fault(c, i, "holds no mark");
    text += "{";
    if (c.name) text += base::Concat({"\"", kNameKey, "\": ", JsonString(*c.name), ", "});
    if (!c.label.empty()) text += base::Concat({"\"label\": ", LabelObject(c.label), ", "});
    if (c.basis) text += base::Concat({"\"basis\": ", JsonString(*c.basis), ", "});
    text += "\"carrier_hz\": " + std::to_string(write::CarrierOf(c)) + ", \"durations_us\": [" +
            write::JoinDurations(signal, ", ", false) + "]}\n";
  }
  out += text;
  return std::nullopt;
}

}  // namespace

const CaptureFormat& JsonLinesFormat() {
  static const CaptureFormat format{
      "jsonl", "JSON Lines: durations_us, carrier_hz, optional name (the capture corpus)", 20, &Probe, &Read,
      &Write};
  return format;
}

}  // namespace klimavo::capture
