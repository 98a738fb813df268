// Fuzzes the three learner packet formats. The first input byte picks the
// format; the rest is the packet. Besides never crashing, a decoder must not
// raise a capture its rules would not raise: every raised capture is checked
// against the packet's own header (completeness, value counts, the shape of the
// durations), and truncations of a raising packet stay silent while they are
// incomplete.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "device/learner_packets.h"

namespace {

using klimavo::device::DecodedPacket;

void Require(bool condition) {
  if (!condition) std::abort();
}

std::size_t CeilDiv(std::size_t a, std::size_t b) { return (a + b - 1) / b; }

/// Marks positive, spaces negative, alternating from a mark.
void CheckAlternation(const klimavo::ir::TIRIntegerArr& d, bool zero_allowed) {
  for (std::size_t i = 0; i < d.size(); ++i) {
    if (i % 2 == 0) Require(d[i] > 0 || (zero_allowed && d[i] == 0));
    if (i % 2 == 1) Require(d[i] <= 0);
  }
}

void CheckTable(std::span<const std::uint8_t> p, const DecodedPacket& d) {
  if (!d.capture) return;
  Require(d.complete && p.size() >= 8);
  const std::size_t k = p[2];
  const std::size_t n = p[3];
  Require(p.size() >= 8 * (1 + k + CeilDiv(CeilDiv(n, 2), 8)));
  Require(n >= 3 && d.capture->Durations.size() == 2 * n + 1);
  Require(d.capture->Carrier >= 0);
  CheckAlternation(d.capture->Durations, true);
}

void CheckPulse(std::span<const std::uint8_t> p, const DecodedPacket& d) {
  if (!d.capture) return;
  Require(d.complete && p.size() >= 6);
  const std::size_t total = p[4] | (p[5] << 8);
  Require(p.size() >= total);
  const std::size_t count = p[2] | (p[3] << 8);
  // Mark assembly emits at most two values per interval (the mark sum and the
  // space that ends it) plus the final mark; a zero-length "mark" counts as a
  // gap, so a packet with zero intervals may give more than count + 1 values.
  Require(d.capture->Durations.size() <= 2 * count + 1);
  if (p[1] == 2) Require(d.capture->Carrier == 38000);
  Require(d.capture->Carrier >= 0);
}

void CheckBigEndian(std::span<const std::uint8_t> p, const DecodedPacket& d) {
  if (!d.capture) return;
  Require(d.complete && p.size() >= 8);
  const std::size_t n = (p[2] << 8) | p[3];
  const std::size_t k = p[4];
  Require(n >= 3 && p.size() >= 8 * (k + 1 + CeilDiv(CeilDiv(n, 2), 8)));
  Require(d.capture->Durations.size() == 2 * n - 1);
  CheckAlternation(d.capture->Durations, true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int format = data[0] % 3;
  const std::span<const std::uint8_t> packet(data + 1, size - 1);
  const int model = format == 0   ? 0
                    : format == 1 ? klimavo::device::kPulseModel
                                  : klimavo::device::kBigEndianModel;
  const DecodedPacket decoded = klimavo::device::DecodePacket(model, packet);
  if (format == 0) CheckTable(packet, decoded);
  if (format == 1) CheckPulse(packet, decoded);
  if (format == 2) CheckBigEndian(packet, decoded);
  if (decoded.capture) {
    // A truncated packet that is no longer complete never raises a capture.
    const std::size_t n = packet.size();
    for (std::size_t cut : {std::size_t{0}, std::size_t{5}, std::size_t{7}, n / 2, n - 1}) {
      if (cut >= n) continue;
      const DecodedPacket shorter = klimavo::device::DecodePacket(model, packet.first(cut));
      if (!shorter.complete) Require(!shorter.capture);
    }
  }
  return 0;
}
