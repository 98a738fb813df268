// LIRC `mode2` and `ir-ctl --mode2` output:
//
//   carrier 38000
//   pulse 9000
//   space 4500
//   ...
//   timeout 125000
//
// Spaces before the first pulse of a capture (the idle time before the signal)
// are dropped; successive pulses or successive spaces are joined. A `timeout`
// line or a blank line ends a capture; the timeout itself is not kept, so a
// capture ends on its last mark like the other formats. `carrier N` sets the
// carrier of the capture in progress, or of the next one when none is.
#include <string>

#include "capture/capture_writer.h"
#include "capture/formats.h"
#include "capture/text_scan.h"

namespace klimavo::capture {
namespace {

bool IsMode2Word(std::string_view word) {
  return word == "pulse" || word == "space" || word == "timeout" || word == "carrier";
}

int Probe(std::string_view text) {
  for (std::string_view line : scan::FirstMeaningfulLines(text, 4)) {
    const auto tokens = scan::Tokens(line, false);
    if (tokens.size() != 2 || !IsMode2Word(tokens[0])) return kProbeNo;
    if (tokens[0] == "pulse" || tokens[0] == "space") return 90;
  }
  return kProbeNo;
}

std::optional<CaptureError> Read(LineSource& lines, const ReadOptions& options, const CaptureSink& sink) {
  const scan::ErrorSink errors(options);
  scan::CaptureCollector collector(options, DurationUnit::kMicroseconds, sink);
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
    if (auto fault = errors.ControlByte(line->number, line->text, false)) return fault;
    scan::TokenScanner tokens(line->text, false);
    const std::string_view word = tokens.Next().value_or(std::string_view());
    if (!IsMode2Word(word))
      return errors.Fail(line->number, word, "expected pulse, space, timeout or carrier");
    const auto number = tokens.Next();
    if (!number || tokens.Next())
      return errors.Fail(line->number, word, "expected one number after the word");
    const bool is_carrier = word == "carrier";
    std::int64_t v = 0;
    const auto status = scan::ParseDecimal(*number, false, is_carrier ? kMaxCarrierHz : kMaxMicros, v);
    if (status != scan::NumberStatus::kOk)
      return errors.FailNumber(line->number, *number, status, is_carrier ? "a carrier in Hz" : "a duration");
    if (is_carrier) {
      if (collector.IsOpen())
        collector.Current().carrier = static_cast<std::int32_t>(v);
      else
        collector.SetNextCarrier(static_cast<std::int32_t>(v));
    } else if (word == "timeout") {
      collector.Close();
    } else if (word == "pulse") {
      collector.Open(line->number);
      if (auto fault = collector.AppendMerging(static_cast<std::int32_t>(v)); !fault.empty())
        return errors.Fail(line->number, *number, std::string(fault));
    } else if (collector.IsOpen()) {  // a space inside a capture
      if (auto fault = collector.AppendMerging(static_cast<std::int32_t>(-v)); !fault.empty())
        return errors.Fail(line->number, *number, std::string(fault));
    }
  }
  if (lines.Error()) return lines.Error();
  collector.Close();
  return std::nullopt;
}

// Each capture as its carrier, pulses and spaces, ended by a blank line; the
// name goes into a comment, as mode2 has no place for it.
std::optional<WriteError> Write(std::span<const CaptureRead> captures, std::string& out) {
  std::string text;
  for (std::size_t i = 0; i < captures.size(); ++i) {
    const CaptureRead& c = captures[i];
    const ir::TIRIntegerArr signal = write::SignalOf(c);
    if (signal.empty()) return write::Fault(c, i, "holds no mark");
    if (c.name) text += "# " + write::LineSafe(*c.name) + "\n";
    text += write::LabelComment(c.label) + "carrier " + std::to_string(write::CarrierOf(c)) + "\n";
    for (std::int32_t d : signal)
      text += (d > 0 ? "pulse " : "space ") + std::to_string(d > 0 ? d : -d) + "\n";
    text += "\n";
  }
  out += text;
  return std::nullopt;
}

}  // namespace

const CaptureFormat& Mode2Format() {
  static const CaptureFormat format{
      "mode2", "LIRC mode2 / ir-ctl --mode2: 'pulse N', 'space N', 'carrier N', 'timeout N'",
      40,      &Probe,
      &Read,   &Write};
  return format;
}

}  // namespace klimavo::capture
