// The plain duration list: the workbench's own capture text.
//
//   # comment lines start with '#'
//   carrier: 36000          (carrier of the capture that follows)
//   9000, -4500, 560 -560   (signed durations, blanks and/or commas)
//
//   (a blank line ends a capture)
//
// A `carrier:` line ends a capture in progress. Its value holds for the next
// capture only; the capture after that takes the default carrier again.
#include <string>

#include "capture/capture_writer.h"
#include "capture/formats.h"
#include "capture/text_scan.h"

namespace klimavo::capture {
namespace {

constexpr std::string_view kCarrierWord = "carrier";

// The value text of a "carrier: N" line, or nullopt when the line is not one.
std::optional<std::string_view> CarrierValue(std::string_view line) {
  if (!scan::StartsWithNoCase(line, kCarrierWord)) return std::nullopt;
  std::string_view rest = scan::Trimmed(line.substr(kCarrierWord.size()));
  if (rest.empty() || rest.front() != ':') return std::nullopt;
  return scan::Trimmed(rest.substr(1));
}

bool IsDurationLine(std::string_view line) {
  const auto tokens = scan::Tokens(line, true);
  if (tokens.empty()) return false;
  for (std::string_view t : tokens) {
    std::int64_t v = 0;
    if (scan::ParseDecimal(t, true, kMaxTicks, v) == scan::NumberStatus::kNotANumber) return false;
  }
  return true;
}

int Probe(std::string_view text) {
  const auto lines = scan::FirstMeaningfulLines(text, 1);
  if (lines.empty()) return kProbeFallback;
  if (CarrierValue(lines[0]) || IsDurationLine(lines[0])) return kProbeLikely;
  return kProbeFallback;
}

std::optional<CaptureError> Read(LineSource& lines, const ReadOptions& options, const CaptureSink& sink) {
  const scan::ErrorSink errors(options);
  scan::CaptureCollector collector(options, options.unit, sink);
  const std::int64_t max = scan::MaxMagnitude(options.unit);
  while (const auto line = lines.Next()) {
    if (scan::IsBlank(line->text)) {
      collector.Close();
      continue;
    }
    std::string_view bad;
    if (auto label = scan::LabelComment(line->text, bad)) {
      if (!bad.empty()) return errors.Fail(line->number, bad, "not name=value in a label comment");
      collector.Close();  // a label starts the capture it names
      collector.SetNextLabel(std::move(*label));
      continue;
    }
    if (scan::IsComment(line->text)) continue;
    const std::string_view trimmed = scan::Trimmed(line->text);
    if (auto fault = errors.ControlByte(line->number, trimmed, true)) return fault;
    if (auto value = CarrierValue(trimmed)) {
      collector.Close();
      std::int64_t carrier = 0;
      const auto status = scan::ParseDecimal(*value, false, kMaxCarrierHz, carrier);
      if (status != scan::NumberStatus::kOk)
        return errors.FailNumber(line->number, value->empty() ? trimmed : *value, status, "a carrier in Hz");
      collector.SetNextCarrier(static_cast<std::int32_t>(carrier));
      continue;
    }
    scan::TokenScanner tokens(trimmed, true);
    while (const auto token = tokens.Next()) {
      std::int64_t v = 0;
      const auto status = scan::ParseDecimal(*token, true, max, v);
      if (status != scan::NumberStatus::kOk)
        return errors.FailNumber(line->number, *token, status, "a duration");
      collector.Open(line->number);
      if (auto fault = collector.Append(static_cast<std::int32_t>(v)); !fault.empty())
        return errors.Fail(line->number, *token, std::string(fault));
    }
  }
  if (lines.Error()) return lines.Error();
  collector.Close();
  return std::nullopt;
}

// Each capture as a `carrier:` line and one line of signed durations in µs,
// captures separated by a blank line; the name goes into a comment.
std::optional<WriteError> Write(std::span<const CaptureRead> captures, std::string& out) {
  std::string text;
  for (std::size_t i = 0; i < captures.size(); ++i) {
    const CaptureRead& c = captures[i];
    const ir::TIRIntegerArr signal = write::SignalOf(c);
    if (signal.empty()) return write::Fault(c, i, "holds no mark");
    if (i) text += "\n";
    if (c.name) text += "# " + write::LineSafe(*c.name) + "\n";
    text += write::LabelComment(c.label) + "carrier: " + std::to_string(write::CarrierOf(c)) + "\n" +
            write::JoinDurations(signal, ", ", false) + "\n";
  }
  out += text;
  return std::nullopt;
}

}  // namespace

const CaptureFormat& PlainTextFormat() {
  static const CaptureFormat format{
      "text", "signed durations separated by blanks or commas; 'carrier: N'; '#' comments",
      100,    &Probe,
      &Read,  &Write};
  return format;
}

}  // namespace klimavo::capture
