// `ir-ctl -r` raw output: signed durations with an explicit sign on each.
//
//   +9000 -4500 +560 -560 ... +560 # timeout 125000
//
// '#' starts a comment that runs to the end of the line; a comment that
// reports a timeout ends the capture, as does a blank line. A line that
// starts with a pulse while the capture so far ends with a pulse starts a new
// capture (ir-ctl prints one message per line). Spaces before the first pulse
// are dropped, and successive durations of the same sign are joined.
// `carrier N` lines set the carrier as in mode2 files.
#include <string>

#include "capture/formats.h"
#include "capture/text_scan.h"

namespace klimavo::capture {
namespace {

constexpr std::string_view kTimeoutWord = "timeout";
constexpr std::string_view kCarrierWord = "carrier";

bool IsSignedToken(std::string_view token) {
  std::int64_t v = 0;
  return (token.front() == '+' || token.front() == '-') &&
         scan::ParseDecimal(token, true, kMaxTicks, v) != scan::NumberStatus::kNotANumber;
}

// Signed "+N -N" lines are also a valid plain duration list, which joins lines
// differently. The probe is therefore sure only when it sees what ir-ctl writes
// and a plain list does not hold: a "# timeout" comment anywhere in the head
// (the first kDetectBytes of the file) or a "carrier N" line among the first lines.
int Probe(std::string_view head) {
  bool own_mark = head.find("# timeout") != std::string_view::npos;
  for (std::string_view line : scan::FirstMeaningfulLines(head, 4)) {
    const std::string_view body = scan::Trimmed(line.substr(0, line.find('#')));
    const auto tokens = scan::Tokens(body, false);
    if (tokens.size() == 2 && tokens[0] == kCarrierWord) {
      own_mark = true;
      continue;
    }
    if (tokens.empty() || tokens[0].front() != '+') return kProbeNo;
    for (std::string_view t : tokens)
      if (!IsSignedToken(t)) return kProbeNo;
    return own_mark ? 70 : 40;  // 70 beats the plain list (50); 40 leaves the text to it
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
    const std::size_t hash = line->text.find('#');
    const std::string_view body = line->text.substr(0, hash);
    if (auto fault = errors.ControlByte(line->number, body, false)) return fault;
    scan::TokenScanner tokens(body, false);
    const auto first = tokens.Next();
    if (first == kCarrierWord) {
      const auto value = tokens.Next();
      const bool one_value = value && !tokens.Next();
      std::int64_t hz = 0;
      const auto status =
          one_value ? scan::ParseDecimal(*value, false, kMaxCarrierHz, hz) : scan::NumberStatus::kNotANumber;
      if (status != scan::NumberStatus::kOk)
        return errors.FailNumber(line->number, one_value ? *value : *first, status, "a carrier in Hz");
      if (collector.IsOpen())
        collector.Current().carrier = static_cast<std::int32_t>(hz);
      else
        collector.SetNextCarrier(static_cast<std::int32_t>(hz));
      continue;
    }
    bool line_start = true;
    for (auto token = first; token; token = tokens.Next(), line_start = false) {
      std::int64_t v = 0;
      const auto status = token->front() == '+' || token->front() == '-'
                              ? scan::ParseDecimal(*token, true, kMaxMicros, v)
                              : scan::NumberStatus::kNotANumber;
      if (status != scan::NumberStatus::kOk)
        return errors.FailNumber(line->number, *token, status, "a '+N' or '-N' duration");
      const bool pulse = token->front() == '+';
      if (line_start && pulse && collector.IsOpen() && !collector.Current().durations.empty() &&
          collector.Current().durations.back() > 0)
        collector.Close();
      if (!pulse && !collector.IsOpen()) continue;  // idle time before the first pulse
      collector.Open(line->number);
      if (auto fault = collector.AppendMerging(static_cast<std::int32_t>(v)); !fault.empty())
        return errors.Fail(line->number, *token, std::string(fault));
    }
    if (hash != std::string_view::npos &&
        scan::StartsWithNoCase(scan::Trimmed(line->text.substr(hash + 1)), kTimeoutWord))
      collector.Close();
  }
  if (lines.Error()) return lines.Error();
  collector.Close();
  return std::nullopt;
}

}  // namespace

const CaptureFormat& IrCtlFormat() {
  static const CaptureFormat format{
      "ir-ctl", "ir-ctl -r raw lines: '+N -N ...', '# timeout N' ends a capture", 50, &Probe, &Read, nullptr};
  return format;
}

}  // namespace klimavo::capture
