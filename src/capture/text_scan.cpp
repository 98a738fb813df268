#include "capture/text_scan.h"

#include <limits>

namespace klimavo::capture::scan {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kTooManyDurations = "more than 1000000 durations in one capture";
static_assert(kMaxDurationsPerCapture == 1000000, "keep the message above in step with the limit");
constexpr std::string_view kMergedTooLong = "duration out of range when joined to the one before";

bool IsSpace(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Quotes a token for a message: cut to kMaxQuotedToken bytes, control bytes as \xNN.
std::string Quote(std::string_view token) {
  std::string out;
  const bool cut = token.size() > kMaxQuotedToken;
  if (cut) token = token.substr(0, kMaxQuotedToken);
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : token) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F) {
      out += "\\x";
      out += kHex[u >> 4];
      out += kHex[u & 0xF];
    } else {
      out += c;
    }
  }
  if (cut) out += "...";
  return out;
}

}  // namespace

std::vector<Line> SplitLines(std::string_view text) {
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  std::vector<Line> lines;
  int number = 1;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(Line{line, number++});
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::string_view Trimmed(std::string_view line) {
  while (!line.empty() && IsSpace(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsSpace(line.back())) line.remove_suffix(1);
  return line;
}

bool IsBlank(std::string_view line) { return Trimmed(line).empty(); }

bool IsComment(std::string_view line) {
  const std::string_view t = Trimmed(line);
  return !t.empty() && t.front() == '#';
}

std::vector<std::string_view> Tokens(std::string_view line, bool commas) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  auto separator = [commas](char c) { return IsSpace(c) || (commas && c == ','); };
  while (i < line.size()) {
    while (i < line.size() && separator(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !separator(line[i])) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

std::vector<std::string_view> FirstMeaningfulLines(std::string_view text, std::size_t count) {
  std::vector<std::string_view> out;
  if (text.starts_with(kUtf8Bom)) text.remove_prefix(kUtf8Bom.size());
  while (!text.empty() && out.size() < count) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trimmed(text.substr(0, end));
    if (!line.empty() && line.front() != '#') out.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return out;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char a = text[i], b = prefix[i];
    if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
    if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

NumberStatus ParseDecimal(std::string_view token, bool signed_ok, std::int64_t max_magnitude,
                          std::int64_t& value) {
  bool negative = false;
  if (!token.empty() && (token.front() == '+' || token.front() == '-')) {
    if (!signed_ok) return NumberStatus::kNotANumber;
    negative = token.front() == '-';
    token.remove_prefix(1);
  }
  if (token.empty()) return NumberStatus::kNotANumber;
  std::int64_t magnitude = 0;
  bool too_large = false;
  for (char c : token) {
    if (c < '0' || c > '9') return NumberStatus::kNotANumber;
    // Digits keep being checked after the limit is passed, so "99999x" is
    // reported as not a number rather than as out of range.
    if (!too_large) {
      magnitude = magnitude * 10 + (c - '0');
      too_large = magnitude > max_magnitude;
    }
  }
  if (too_large) return NumberStatus::kOutOfRange;
  value = negative ? -magnitude : magnitude;
  return NumberStatus::kOk;
}

std::int64_t MaxMagnitude(DurationUnit unit) {
  return unit == DurationUnit::kMicroseconds ? kMaxMicros : kMaxTicks;
}

ReadResult ErrorSink::Fail(int line, std::string_view token, std::string message) const {
  ReadResult r;
  r.error = CaptureError{source_, line, Quote(token), std::move(message)};
  return r;
}

ReadResult ErrorSink::FailNumber(int line, std::string_view token, NumberStatus status,
                                 std::string_view what) const {
  const std::string message =
      status == NumberStatus::kOutOfRange ? std::string(what) + " out of range" : "not " + std::string(what);
  return Fail(line, token, message);
}

CaptureCollector::CaptureCollector(const ReadOptions& options, DurationUnit unit)
    : default_carrier_(options.default_carrier), unit_(unit) {}

CaptureRead& CaptureCollector::Open(int line) {
  if (!open_) {
    CaptureRead c;
    c.carrier = next_carrier_.value_or(default_carrier_);
    c.unit = unit_;
    c.line = line;
    next_carrier_.reset();
    captures_.push_back(std::move(c));
    open_ = true;
  }
  return captures_.back();
}

std::string_view CaptureCollector::Append(std::int32_t value) {
  auto& d = captures_.back().durations;
  if (d.size() >= kMaxDurationsPerCapture) return kTooManyDurations;
  d.push_back(value);
  return {};
}

std::string_view CaptureCollector::AppendMerging(std::int32_t value) {
  auto& d = captures_.back().durations;
  if (!d.empty() && value != 0 && d.back() != 0 && (d.back() > 0) == (value > 0)) {
    const std::int64_t sum = static_cast<std::int64_t>(d.back()) + value;
    if (sum > MaxMagnitude(unit_) || sum < -MaxMagnitude(unit_)) return kMergedTooLong;
    d.back() = static_cast<std::int32_t>(sum);
    return {};
  }
  return Append(value);
}

void CaptureCollector::Close() {
  if (open_ && captures_.back().durations.empty()) captures_.pop_back();
  open_ = false;
}

std::vector<CaptureRead> CaptureCollector::Finish() {
  Close();
  return std::move(captures_);
}

}  // namespace klimavo::capture::scan
