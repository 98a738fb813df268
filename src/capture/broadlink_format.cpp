// Broadlink IR packets as text, one packet a line, base64 or hex, each
// optionally named:
//
//   # living room
//   cool/low/24: JgBQAAABKJMUEhQ2FBEUERQRFBEUERQ2FDYU...AA0F
//   26005000000128931412...
//
// A name is everything before the line's last colon (neither base64 nor hex
// holds one). See broadlink_packet.h for the packet itself.
#include <string>

#include "capture/broadlink_packet.h"
#include "capture/capture_writer.h"
#include "capture/formats.h"
#include "capture/text_scan.h"

namespace klimavo::capture {
namespace {

struct NamedPacket {
  std::optional<std::string_view> name;
  std::string_view packet;
};

NamedPacket SplitName(std::string_view line) {
  const std::size_t colon = line.rfind(':');
  if (colon == std::string_view::npos) return {std::nullopt, scan::Trimmed(line)};
  return {scan::Trimmed(line.substr(0, colon)), scan::Trimmed(line.substr(colon + 1))};
}

int Probe(std::string_view head) {
  const auto lines = scan::FirstMeaningfulLines(head, 1);
  if (lines.empty()) return kProbeNo;
  const auto bytes = broadlink::PacketBytes(SplitName(lines[0]).packet);
  if (!bytes || bytes->size() < 4 || (*bytes)[0] != broadlink::kInfraredType) return kProbeNo;
  return 95;
}

std::optional<CaptureError> Read(LineSource& lines, const ReadOptions& options, const CaptureSink& sink) {
  const scan::ErrorSink errors(options);
  scan::CaptureCollector collector(options, DurationUnit::kMicroseconds, sink);
  while (const auto line = lines.Next()) {
    if (scan::IsBlank(line->text) || scan::IsComment(line->text)) continue;
    const std::string_view trimmed = scan::Trimmed(line->text);
    if (auto fault = errors.ControlByte(line->number, trimmed, false)) return fault;
    const NamedPacket named = SplitName(trimmed);
    const auto bytes = broadlink::PacketBytes(named.packet);
    if (!bytes) return errors.Fail(line->number, named.packet, "not a Broadlink packet in base64 or hex");
    ir::TIRIntegerArr durations;
    const std::string fault = broadlink::ReadPacket(*bytes, options.limits.durations, durations);
    if (!fault.empty()) return errors.Fail(line->number, named.packet, fault);
    collector.Open(line->number);
    if (named.name) collector.Current().name = std::string(*named.name);
    collector.Current().durations = std::move(durations);
    collector.Close();
  }
  return lines.Error();
}

// One base64 packet a line, after the capture's name. Broadlink packets carry
// no carrier: they are sent at 38 kHz.
std::optional<WriteError> Write(std::span<const CaptureRead> captures, std::string& out) {
  std::string text;
  for (std::size_t i = 0; i < captures.size(); ++i) {
    const CaptureRead& c = captures[i];
    const ir::TIRIntegerArr signal = write::SignalOf(c);
    if (signal.empty()) return write::Fault(c, i, "holds no mark");
    std::vector<std::uint8_t> packet;
    if (std::string fault = broadlink::WritePacket(signal, packet); !fault.empty())
      return write::Fault(c, i, fault);
    text += write::LabelComment(c.label) + write::NameOf(c, i) + ": " + broadlink::Base64(packet) + "\n";
  }
  out += text;
  return std::nullopt;
}

}  // namespace

const CaptureFormat& BroadlinkFormat() {
  static const CaptureFormat format{
      "broadlink", "Broadlink IR packets, base64 or hex, one a line ('name: packet')", 60, &Probe, &Read,
      &Write};
  return format;
}

}  // namespace klimavo::capture
