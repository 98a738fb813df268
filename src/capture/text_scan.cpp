#include "capture/text_scan.h"

#include <algorithm>
#include <limits>

namespace klimavo::capture::scan {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kMergedTooLong = "duration out of range when joined to the one before";
constexpr char kHex[] = "0123456789ABCDEF";

bool IsBlankByte(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool IsControlByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u < 0x20 || u == 0x7F) && !IsBlankByte(c);
}

std::string HexByte(unsigned char u) { return {kHex[u >> 4], kHex[u & 0xF]}; }

// Quotes a token for a message: cut to kMaxQuotedToken bytes, control bytes as \xNN.
std::string Quote(std::string_view token) {
  std::string out;
  const bool cut = token.size() > kMaxQuotedToken;
  if (cut) token = token.substr(0, kMaxQuotedToken);
  for (char c : token) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F)
      out += "\\x" + HexByte(u);
    else
      out += c;
  }
  if (cut) out += "...";
  return out;
}

}  // namespace

std::string_view Trimmed(std::string_view line) {
  while (!line.empty() && IsBlankByte(line.front())) line.remove_prefix(1);
  while (!line.empty() && IsBlankByte(line.back())) line.remove_suffix(1);
  return line;
}

bool IsBlank(std::string_view line) { return Trimmed(line).empty(); }

std::optional<CaptureLabel> LabelComment(std::string_view line, std::string_view& bad) {
  bad = {};
  std::string_view t = Trimmed(line);
  if (t.empty() || t.front() != '#') return std::nullopt;
  TokenScanner tokens(t.substr(1), false);
  if (tokens.Next() != std::string_view("label")) return std::nullopt;
  CaptureLabel label;
  while (const auto token = tokens.Next()) {
    const std::size_t eq = token->find('=');
    if (eq == 0 || eq == std::string_view::npos || eq + 1 == token->size()) {
      bad = *token;
      return CaptureLabel{};
    }
    LabelEntry entry{std::string(token->substr(0, eq)), std::string(token->substr(eq + 1))};
    auto same = std::find_if(label.begin(), label.end(),
                             [&](const LabelEntry& e) { return e.function == entry.function; });
    if (same != label.end())
      same->value = std::move(entry.value);
    else
      label.push_back(std::move(entry));
  }
  return label;
}

bool IsComment(std::string_view line) {
  const std::string_view t = Trimmed(line);
  return !t.empty() && t.front() == '#';
}

std::optional<std::string_view> TokenScanner::Next() {
  auto separator = [this](char c) { return IsBlankByte(c) || (commas_ && c == ','); };
  while (at_ < line_.size() && separator(line_[at_])) ++at_;
  const std::size_t start = at_;
  while (at_ < line_.size() && !separator(line_[at_])) ++at_;
  if (at_ == start) return std::nullopt;
  return line_.substr(start, at_ - start);
}

std::vector<std::string_view> Tokens(std::string_view line, bool commas) {
  std::vector<std::string_view> out;
  TokenScanner scanner(line, commas);
  while (const auto token = scanner.Next()) out.push_back(*token);
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

CaptureError ErrorSink::Fail(int line, std::string_view token, std::string message) const {
  return CaptureError{source_, line, Quote(token), std::move(message)};
}

CaptureError ErrorSink::FailNumber(int line, std::string_view token, NumberStatus status,
                                   std::string_view what) const {
  const std::string message =
      status == NumberStatus::kOutOfRange ? std::string(what) + " out of range" : "not " + std::string(what);
  return Fail(line, token, message);
}

std::optional<CaptureError> ErrorSink::ControlByte(int line, std::string_view text, bool commas) const {
  std::size_t at = 0;
  while (at < text.size() && !IsControlByte(text[at])) ++at;
  if (at == text.size()) return std::nullopt;
  auto separator = [commas](char c) { return IsBlankByte(c) || (commas && c == ','); };
  std::size_t start = at, end = at + 1;
  while (start > 0 && !separator(text[start - 1])) --start;
  while (end < text.size() && !separator(text[end])) ++end;
  return Fail(line, text.substr(start, end - start),
              "control byte 0x" + HexByte(static_cast<unsigned char>(text[at])) + " is not a separator");
}

CaptureCollector::CaptureCollector(const ReadOptions& options, DurationUnit unit, const CaptureSink& sink)
    : sink_(sink),
      default_carrier_(options.default_carrier),
      unit_(unit),
      max_durations_(options.limits.durations),
      too_many_("more than " + std::to_string(options.limits.durations) + " durations in one capture") {}

CaptureRead& CaptureCollector::Open(int line) {
  if (!open_) {
    current_ = CaptureRead{};
    current_.carrier = next_carrier_.value_or(default_carrier_);
    current_.unit = unit_;
    current_.line = line;
    next_carrier_.reset();
    current_.label = std::move(next_label_);
    next_label_.clear();
    open_ = true;
  }
  return current_;
}

std::string_view CaptureCollector::Append(std::int32_t value) {
  auto& d = current_.durations;
  if (d.size() >= max_durations_) return too_many_;
  d.push_back(value);
  return {};
}

std::string_view CaptureCollector::AppendMerging(std::int32_t value) {
  auto& d = current_.durations;
  if (!d.empty() && value != 0 && d.back() != 0 && (d.back() > 0) == (value > 0)) {
    const std::int64_t sum = static_cast<std::int64_t>(d.back()) + value;
    if (sum > MaxMagnitude(unit_) || sum < -MaxMagnitude(unit_)) return kMergedTooLong;
    d.back() = static_cast<std::int32_t>(sum);
    return {};
  }
  return Append(value);
}

void CaptureCollector::Close() {
  if (!open_) return;
  open_ = false;
  if (!current_.durations.empty()) sink_(std::move(current_));
}

}  // namespace klimavo::capture::scan
