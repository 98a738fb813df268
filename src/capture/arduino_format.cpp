// Arduino-style C arrays of durations, as IR libraries print them for sending:
//
//   uint16_t rawData[279] = {3066, 1648,  494, 1106, ...};  // DAIKIN
//   const unsigned int kCool24[] PROGMEM = {
//     8950, 4450, 600, 1650,
//     ...};
//
// Each array of 16-bit or wider integers is one capture named after the array:
// unsigned durations in µs alternating mark and space from a mark, or signed
// ones (marks positive). Arrays of bytes (uint8_t, byte, char: the state bytes
// these dumps print beside the durations) and everything outside arrays
// (code, `//` and `/* */` comments) are skipped.
#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "base/text.h"
#include "capture/capture_writer.h"
#include "capture/formats.h"
#include "capture/text_scan.h"

namespace klimavo::capture {
namespace {

/// Text kept before a '{' to recognise a declaration.
constexpr std::size_t kMaxDeclaration = 512;
constexpr std::array<std::string_view, 10> kDurationTypes = {
    "uint16_t", "uint32_t", "int16_t", "int32_t", "int", "short", "long", "unsigned", "word", "uint64_t"};
constexpr std::array<std::string_view, 6> kByteTypes = {"uint8_t", "int8_t", "byte", "char", "bool", "float"};

bool IsIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

enum class ArrayKind { kNone, kDurations, kSkipped };

struct Declaration {
  ArrayKind kind = ArrayKind::kNone;
  std::string name;
  std::optional<std::size_t> size;
};

// Words and single punctuation marks of a declaration.
std::vector<std::string_view> DeclarationTokens(std::string_view text) {
  std::vector<std::string_view> tokens;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r') {
      ++i;
    } else if (IsIdentifierChar(text[i])) {
      const std::size_t start = i;
      while (i < text.size() && IsIdentifierChar(text[i])) ++i;
      tokens.push_back(text.substr(start, i - start));
    } else {
      tokens.push_back(text.substr(i, 1));
      ++i;
    }
  }
  return tokens;
}

bool IsNumber(std::string_view t) {
  return !t.empty() && t.find_first_not_of("0123456789") == std::string_view::npos;
}

// `type... name [ N? ] attributes... =` at the end of the text before a '{'.
Declaration Recognise(std::string_view text) {
  const auto t = DeclarationTokens(text);
  if (t.empty() || t.back() != "=") return {};
  std::size_t i = t.size() - 1;
  while (i > 0 && t[i - 1] != "]" && IsIdentifierChar(t[i - 1].front())) --i;  // PROGMEM, const, ...
  if (i == 0 || t[i - 1] != "]") return {};
  --i;
  Declaration d;
  if (i > 0 && IsNumber(t[i - 1])) {
    std::int64_t n = 0;
    if (scan::ParseDecimal(t[i - 1], false, kMaxTicks, n) != scan::NumberStatus::kOk) return {};
    d.size = static_cast<std::size_t>(n);
    --i;
  }
  if (i < 2 || t[i - 1] != "[" || !IsIdentifierChar(t[i - 2].front()) || IsNumber(t[i - 2])) return {};
  d.name = std::string(t[i - 2]);
  bool durations = false;
  bool bytes = false;
  for (std::size_t j = i - 2; j-- > 0;) {
    if (!IsIdentifierChar(t[j].front())) break;
    for (auto type : kDurationTypes) durations = durations || t[j] == type;
    for (auto type : kByteTypes) bytes = bytes || t[j] == type;
  }
  d.kind = bytes || !durations ? ArrayKind::kSkipped : ArrayKind::kDurations;
  return d;
}

int Probe(std::string_view head) {
  // A recognised duration array before the first 64 KiB are out.
  std::string_view text = head.substr(0, 64 * 1024);
  for (std::size_t brace = text.find('{'); brace != std::string_view::npos;
       brace = text.find('{', brace + 1)) {
    const std::size_t from = brace > kMaxDeclaration ? brace - kMaxDeclaration : 0;
    std::string_view before = text.substr(from, brace - from);
    const std::size_t cut = before.find_last_of(";}{");
    if (cut != std::string_view::npos) before.remove_prefix(cut + 1);
    if (Recognise(before).kind == ArrayKind::kDurations) return 85;
  }
  return kProbeNo;
}

class ArduinoReader {
 public:
  ArduinoReader(const ReadOptions& options, const CaptureSink& sink)
      : options_(options), errors_(options), collector_(options, DurationUnit::kMicroseconds, sink) {}

  std::optional<CaptureError> Read(LineSource& lines) {
    while (const auto line = lines.Next()) {
      if (auto fault = errors_.ControlByte(line->number, line->text, true)) return fault;
      if (auto fault = Scan(line->text, line->number)) return fault;
      if (array_ == ArrayKind::kNone) Keep("\n");
    }
    if (lines.Error()) return lines.Error();
    if (array_ != ArrayKind::kNone) return errors_.Fail(array_line_, name_, "the array has no closing '}'");
    return std::nullopt;
  }

 private:
  std::optional<CaptureError> Scan(std::string_view text, int line) {
    std::size_t i = 0;
    while (i < text.size()) {
      if (in_comment_) {
        const std::size_t end = text.find("*/", i);
        if (end == std::string_view::npos) return std::nullopt;
        in_comment_ = false;
        i = end + 2;
        continue;
      }
      const char c = text[i];
      if (c == '/' && i + 1 < text.size() && text[i + 1] == '/') return std::nullopt;
      if (c == '/' && i + 1 < text.size() && text[i + 1] == '*') {
        in_comment_ = true;
        i += 2;
        continue;
      }
      if (array_ == ArrayKind::kNone) {
        if (c == '{') {
          if (auto fault = Open(line)) return fault;
        } else if (c == ';' || c == '}') {
          declaration_.clear();
        } else {
          Keep(text.substr(i, 1));
        }
        ++i;
      } else if (array_ == ArrayKind::kSkipped) {
        if (c == '}') array_ = ArrayKind::kNone;
        ++i;
      } else {
        std::size_t end = i;
        if (c == '}') {
          if (auto fault = Close(line)) return fault;
          ++i;
          continue;
        }
        if (c == ',' || c == ' ' || c == '\t') {
          ++i;
          continue;
        }
        while (end < text.size() && text[end] != ',' && text[end] != '}' && text[end] != ' ' &&
               text[end] != '\t' && text[end] != '/')
          ++end;
        if (end == i) end = i + 1;
        if (auto fault = Value(text.substr(i, end - i), line)) return fault;
        i = end;
      }
    }
    return std::nullopt;
  }

  void Keep(std::string_view text) {
    declaration_ += text;
    if (declaration_.size() > kMaxDeclaration) declaration_.erase(0, declaration_.size() - kMaxDeclaration);
  }

  std::optional<CaptureError> Open(int line) {
    const Declaration d = Recognise(declaration_);
    declaration_.clear();
    if (d.kind == ArrayKind::kNone) return std::nullopt;  // a function body, a struct, ...
    array_ = d.kind;
    name_ = d.name;
    size_ = d.size;
    array_line_ = line;
    values_.clear();
    return std::nullopt;
  }

  std::optional<CaptureError> Value(std::string_view token, int line) {
    std::string_view digits = token;
    while (!digits.empty() &&
           (digits.back() == 'u' || digits.back() == 'U' || digits.back() == 'l' || digits.back() == 'L'))
      digits.remove_suffix(1);
    std::int64_t v = 0;
    const auto status = scan::ParseDecimal(digits, true, kMaxMicros, v);
    if (status != scan::NumberStatus::kOk) return errors_.FailNumber(line, token, status, "a duration in µs");
    if (values_.size() >= options_.limits.durations)
      return errors_.Fail(
          line, token,
          "more than " + std::to_string(options_.limits.durations) + " durations in one capture");
    values_.push_back(v);
    return std::nullopt;
  }

  std::optional<CaptureError> Close(int line) {
    array_ = ArrayKind::kNone;
    if (size_ && values_.size() > *size_)
      return errors_.Fail(
          line, name_, std::to_string(values_.size()) + " values in an array of " + std::to_string(*size_));
    bool is_signed = false;
    for (std::int64_t v : values_) is_signed = is_signed || v < 0;
    collector_.Open(array_line_).name = name_;
    for (std::size_t i = 0; i < values_.size(); ++i) {
      const auto v = static_cast<std::int32_t>(values_[i]);
      if (v == 0) continue;
      if (auto fault = collector_.AppendMerging(is_signed || i % 2 == 0 ? v : -v); !fault.empty())
        return errors_.Fail(line, name_, std::string(fault));
    }
    collector_.Close();
    return std::nullopt;
  }

  const ReadOptions& options_;
  scan::ErrorSink errors_;
  scan::CaptureCollector collector_;
  std::string declaration_;
  bool in_comment_ = false;
  ArrayKind array_ = ArrayKind::kNone;
  std::string name_;
  std::optional<std::size_t> size_;
  int array_line_ = 0;
  std::vector<std::int64_t> values_;
};

std::optional<CaptureError> Read(LineSource& lines, const ReadOptions& options, const CaptureSink& sink) {
  return ArduinoReader(options, sink).Read(lines);
}

// A C identifier from a capture's name: other characters become '_'.
std::string Identifier(const CaptureRead& c, std::size_t index) {
  std::string id = write::NameOf(c, index);
  for (char& ch : id)
    if (!IsIdentifierChar(ch)) ch = '_';
  if (id.front() >= '0' && id.front() <= '9') id = base::Concat({"_", id});
  return id;
}

// One array per capture: unsigned µs from a mark, 16-bit where every duration fits.
std::optional<WriteError> Write(std::span<const CaptureRead> captures, std::string& out) {
  std::string text;
  std::vector<std::string> used;
  for (std::size_t i = 0; i < captures.size(); ++i) {
    const CaptureRead& c = captures[i];
    const ir::TIRIntegerArr signal = write::SignalOf(c);
    if (signal.empty()) return write::Fault(c, i, "holds no mark");
    std::string id = Identifier(c, i);
    const std::string base = id;
    for (int n = 2; std::find(used.begin(), used.end(), id) != used.end(); ++n)
      id = base + "_" + std::to_string(n);
    used.push_back(id);
    bool wide = false;
    for (std::int32_t d : signal) wide = wide || d > 0xFFFF || d < -0xFFFF;
    if (c.name) text += "// " + write::LineSafe(*c.name) + "\n";
    text += "// carrier " + std::to_string(write::CarrierOf(c)) + " Hz\n";
    text += std::string(wide ? "uint32_t " : "uint16_t ") + id + "[" + std::to_string(signal.size()) +
            "] = {" + write::JoinDurations(signal, ", ", true) + "};\n";
  }
  out += text;
  return std::nullopt;
}

}  // namespace

const CaptureFormat& ArduinoFormat() {
  static const CaptureFormat format{
      "arduino", "Arduino C arrays of durations: 'uint16_t rawData[N] = {...};'", 70, &Probe, &Read, &Write};
  return format;
}

}  // namespace klimavo::capture
