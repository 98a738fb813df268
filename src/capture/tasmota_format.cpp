// Tasmota raw IR strings, one capture a line:
//
//   IRsend 0,8570,4240,550,1580,550,510,...        frequency, then µs from a mark
//   IRsend raw,38,+8570-4240+550-1580C-510+565-1565F-505Fh...
//   +8570-4240+550-1580C-510+565-1565F-505Fh...    the compact form on its own
//
// The frequency is 0 for 38 kHz, in kHz below 1000, else in Hz. In the compact
// form each new duration is written with its sign ('+' mark, '-' space) and
// gets the next letter; a letter repeats the duration it names, upper case as
// a mark, lower case as a space. `#` starts a comment line.
#include <string>
#include <vector>

#include "capture/capture_writer.h"
#include "capture/formats.h"
#include "capture/text_scan.h"

namespace klimavo::capture {
namespace {

constexpr std::string_view kCommand = "IRsend";
constexpr std::string_view kRawWord = "raw";
constexpr std::size_t kLetters = 26;

// The line after "IRsend " (nullopt when it does not start with it).
std::optional<std::string_view> AfterCommand(std::string_view line) {
  if (!scan::StartsWithNoCase(line, kCommand)) return std::nullopt;
  std::string_view rest = line.substr(kCommand.size());
  if (rest.empty() || (rest.front() != ' ' && rest.front() != '\t')) return std::nullopt;
  return scan::Trimmed(rest);
}

bool IsCompact(std::string_view text) {
  return text.size() > 1 && text.front() == '+' && text[1] >= '0' && text[1] <= '9';
}

int Probe(std::string_view head) {
  const auto lines = scan::FirstMeaningfulLines(head, 1);
  if (lines.empty()) return kProbeNo;
  const std::string_view line = scan::Trimmed(lines[0]);
  if (const auto rest = AfterCommand(line)) {
    if (!rest->empty() && (rest->front() == '{' || rest->front() == '"')) return kProbeNo;  // protocol form
    return 90;
  }
  if (IsCompact(line) && line.find_first_of(" \t,") == std::string_view::npos &&
      line.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-") != std::string_view::npos)
    return 80;
  return kProbeNo;
}

class TasmotaReader {
 public:
  TasmotaReader(const ReadOptions& options, const CaptureSink& sink)
      : options_(options), errors_(options), collector_(options, DurationUnit::kMicroseconds, sink) {}

  std::optional<CaptureError> Read(LineSource& lines) {
    while (const auto line = lines.Next()) {
      if (scan::IsBlank(line->text) || scan::IsComment(line->text)) continue;
      const std::string_view trimmed = scan::Trimmed(line->text);
      if (auto fault = errors_.ControlByte(line->number, trimmed, true)) return fault;
      if (auto fault = ReadLine(trimmed, line->number)) return fault;
    }
    return lines.Error();
  }

 private:
  std::optional<CaptureError> ReadLine(std::string_view text, int line) {
    std::int32_t carrier = options_.default_carrier;
    std::string_view body = text;
    if (const auto rest = AfterCommand(text)) {
      body = *rest;
      if (scan::StartsWithNoCase(body, kRawWord) && body.size() > kRawWord.size() &&
          body[kRawWord.size()] == ',')
        body.remove_prefix(kRawWord.size() + 1);
      const std::size_t comma = body.find(',');
      if (comma == std::string_view::npos)
        return errors_.Fail(line, body.substr(0, kMaxQuotedToken), "expected 'frequency,durations'");
      const std::string_view frequency = scan::Trimmed(body.substr(0, comma));
      std::int64_t hz = 0;
      const auto status = scan::ParseDecimal(frequency, false, kMaxCarrierHz, hz);
      if (status != scan::NumberStatus::kOk)
        return errors_.FailNumber(line, frequency, status, "a frequency");
      if (hz > 0) carrier = static_cast<std::int32_t>(hz < 1000 ? hz * 1000 : hz);
      body = scan::Trimmed(body.substr(comma + 1));
    } else if (!IsCompact(text)) {
      return errors_.Fail(line, text.substr(0, kMaxQuotedToken), "expected 'IRsend frequency,durations'");
    }
    collector_.SetNextCarrier(carrier);
    collector_.Open(line);
    auto fault = IsCompact(body) ? Compact(body, line) : Durations(body, line);
    if (fault) return fault;
    collector_.Close();
    return std::nullopt;
  }

  std::optional<CaptureError> Durations(std::string_view body, int line) {
    scan::TokenScanner tokens(body, true);
    bool mark = true;
    while (const auto token = tokens.Next()) {
      if (token->size() > 8 && token->find_first_not_of("01") == std::string_view::npos)
        return errors_.Fail(line, *token, "the bit-stream form of raw strings is not read; give durations");
      std::int64_t v = 0;
      const auto status = scan::ParseDecimal(*token, false, kMaxMicros, v);
      if (status != scan::NumberStatus::kOk)
        return errors_.FailNumber(line, *token, status, "a duration in µs");
      if (auto fault = collector_.AppendMerging(static_cast<std::int32_t>(mark ? v : -v)); !fault.empty())
        return errors_.Fail(line, *token, std::string(fault));
      mark = !mark;
    }
    return std::nullopt;
  }

  std::optional<CaptureError> Compact(std::string_view body, int line) {
    std::vector<std::int32_t> letters;
    std::size_t i = 0;
    while (i < body.size()) {
      const char c = body[i];
      std::int32_t value = 0;
      const std::size_t start = i;
      if (c == '+' || c == '-') {
        std::size_t end = i + 1;
        while (end < body.size() && body[end] >= '0' && body[end] <= '9') ++end;
        std::int64_t v = 0;
        const std::string_view number = body.substr(i + 1, end - i - 1);
        const auto status = scan::ParseDecimal(number, false, kMaxMicros, v);
        if (status != scan::NumberStatus::kOk)
          return errors_.FailNumber(line, body.substr(i, end - i), status, "a duration in µs");
        if (letters.size() < kLetters) letters.push_back(static_cast<std::int32_t>(v));
        value = static_cast<std::int32_t>(c == '+' ? v : -v);
        i = end;
      } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
        const bool upper = c <= 'Z';
        const auto index = static_cast<std::size_t>(upper ? c - 'A' : c - 'a');
        if (index >= letters.size())
          return errors_.Fail(
              line, body.substr(i, 1),
              "the letter names no duration (only " + std::to_string(letters.size()) + " so far)");
        value = upper ? letters[index] : -letters[index];
        ++i;
      } else {
        return errors_.Fail(line, body.substr(i, 1), "not part of a compact raw string");
      }
      if (value == 0) continue;
      if (auto fault = collector_.AppendMerging(value); !fault.empty())
        return errors_.Fail(line, body.substr(start, i - start), std::string(fault));
    }
    return std::nullopt;
  }

  const ReadOptions& options_;
  scan::ErrorSink errors_;
  scan::CaptureCollector collector_;
};

std::optional<CaptureError> Read(LineSource& lines, const ReadOptions& options, const CaptureSink& sink) {
  return TasmotaReader(options, sink).Read(lines);
}

// One uncompressed "IRsend HZ,durations" line per capture; the name goes into a comment.
std::optional<WriteError> Write(std::span<const CaptureRead> captures, std::string& out) {
  std::string text;
  for (std::size_t i = 0; i < captures.size(); ++i) {
    const CaptureRead& c = captures[i];
    const ir::TIRIntegerArr signal = write::SignalOf(c);
    if (signal.empty()) return write::Fault(c, i, "holds no mark");
    if (c.name) text += "# " + write::LineSafe(*c.name) + "\n";
    text += write::LabelComment(c.label) + std::string(kCommand) + " " + std::to_string(write::CarrierOf(c)) +
            "," + write::JoinDurations(signal, ",", true) + "\n";
  }
  out += text;
  return std::nullopt;
}

}  // namespace

const CaptureFormat& TasmotaFormat() {
  static const CaptureFormat format{
      "tasmota", "Tasmota raw IR strings: 'IRsend FREQ,durations' and the compact '+N-N' form",
      80,        &Probe,
      &Read,     &Write};
  return format;
}

}  // namespace klimavo::capture
