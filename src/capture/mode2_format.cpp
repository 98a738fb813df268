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

ReadResult Read(std::string_view text, const ReadOptions& options) {
  const scan::ErrorSink errors(options);
  scan::CaptureCollector collector(options, DurationUnit::kMicroseconds);
  for (const scan::Line& line : scan::SplitLines(text)) {
    if (scan::IsBlank(line.text)) {
      collector.Close();
      continue;
    }
    if (scan::IsComment(line.text)) continue;
    const auto tokens = scan::Tokens(line.text, false);
    if (!IsMode2Word(tokens[0]))
      return errors.Fail(line.number, tokens[0], "expected pulse, space, timeout or carrier");
    if (tokens.size() != 2) return errors.Fail(line.number, tokens[0], "expected one number after the word");
    const std::string_view word = tokens[0];
    const bool is_carrier = word == "carrier";
    std::int64_t v = 0;
    const auto status = scan::ParseDecimal(tokens[1], false, is_carrier ? kMaxCarrierHz : kMaxMicros, v);
    if (status != scan::NumberStatus::kOk)
      return errors.FailNumber(line.number, tokens[1], status, is_carrier ? "a carrier in Hz" : "a duration");
    if (is_carrier) {
      if (collector.IsOpen())
        collector.Current().carrier = static_cast<std::int32_t>(v);
      else
        collector.SetNextCarrier(static_cast<std::int32_t>(v));
    } else if (word == "timeout") {
      collector.Close();
    } else if (word == "pulse") {
      collector.Open(line.number);
      if (auto fault = collector.AppendMerging(static_cast<std::int32_t>(v)); !fault.empty())
        return errors.Fail(line.number, tokens[1], std::string(fault));
    } else if (collector.IsOpen()) {  // a space inside a capture
      if (auto fault = collector.AppendMerging(static_cast<std::int32_t>(-v)); !fault.empty())
        return errors.Fail(line.number, tokens[1], std::string(fault));
    }
  }
  ReadResult r;
  r.captures = collector.Finish();
  return r;
}

}  // namespace

const CaptureFormat& Mode2Format() {
  static const CaptureFormat format{
      "mode2", "LIRC mode2 / ir-ctl --mode2: 'pulse N', 'space N', 'carrier N', 'timeout N'", 40, &Probe,
      &Read};
  return format;
}

}  // namespace klimavo::capture
