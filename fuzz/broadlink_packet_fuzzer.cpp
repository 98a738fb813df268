// Broadlink packets from arbitrary bytes: the raw bytes as a packet, and the
// bytes as a text of packets. A packet that reads must be written back within
// one unit; the text reader must keep to its limits.
#include <cstddef>
#include <cstdint>

#include "capture/broadlink_packet.h"
#include "format_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace klimavo;
  const std::span<const std::uint8_t> bytes(data, size);
  for (std::size_t max : {std::size_t{8}, std::size_t{1'000'000}}) {
    ir::TIRIntegerArr signal;
    const std::string fault = capture::broadlink::ReadPacket(bytes, max, signal);
    fuzz::Require(fault.empty() != signal.empty() && signal.size() <= max);
    if (!fault.empty() || max == 8) continue;
    std::vector<std::uint8_t> packet;
    capture::CaptureRead read;
    read.durations = signal;
    const ir::TIRIntegerArr alternating = capture::write::SignalOf(read);
    if (!capture::broadlink::WritePacket(alternating, packet).empty()) continue;
    ir::TIRIntegerArr back;
    fuzz::Require(capture::broadlink::ReadPacket(packet, max, back).empty() &&
                  back.size() == alternating.size());
    for (std::size_t i = 0; i < back.size(); ++i)
      fuzz::Require(std::abs(std::int64_t{back[i]} - alternating[i]) <= 31);
  }
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  (void)capture::broadlink::PacketBytes(text);
  fuzz::FuzzFormat("broadlink", text, 31);
  return 0;
}
