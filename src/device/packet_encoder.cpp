#include "device/packet_encoder.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "device/learner_packets.h"

namespace klimavo::device {
namespace {

constexpr std::size_t kBlock = 8;
constexpr std::size_t kMaxTablePairs = 255;
constexpr std::size_t kMaxPulseBytes = 65535;
constexpr std::size_t kMaxPulseIntervals = 65535;
constexpr double kClusterTolerance = 0.15;  ///< pairs this close share a table entry
constexpr std::int64_t kClusterFloorUs = 60;
constexpr std::uint8_t kKindComputedCarrier = 4;
constexpr int kTenths = 10;

struct Pair {
  std::int64_t mark_us;
  std::int64_t space_us;
};

/// The capture in µs, cut to an odd length (ending with a mark).
std::vector<std::int64_t> OddMicroseconds(const ir::Capture& capture, std::size_t max_pairs) {
  std::vector<std::int64_t> us;
  for (std::int32_t v : capture.Durations) us.push_back(std::llabs(std::int64_t{v}) / kTenths);
  if (us.size() % 2 == 0 && !us.empty()) us.pop_back();
  if (us.size() > 2 * max_pairs + 1) us.resize(2 * max_pairs + 1);
  return us;
}

bool Close(std::int64_t a, std::int64_t b) {
  return std::llabs(a - b) <=
         std::max<std::int64_t>(kClusterFloorUs, static_cast<std::int64_t>(b * kClusterTolerance));
}

/// Assigns every pair to a table entry, adding entries up to the limit.
std::vector<int> Cluster(const std::vector<Pair>& pairs, std::vector<Pair>& entries) {
  std::vector<int> indexes;
  for (const Pair& p : pairs) {
    int best = -1;
    std::int64_t best_distance = std::numeric_limits<std::int64_t>::max();
    for (std::size_t j = 0; j < entries.size(); ++j) {
      const std::int64_t d =
          std::llabs(entries[j].mark_us - p.mark_us) + std::llabs(entries[j].space_us - p.space_us);
      const bool close = Close(p.mark_us, entries[j].mark_us) && Close(p.space_us, entries[j].space_us);
      if ((close || entries.size() >= kMaxTableEntries) && d < best_distance) {
        best = static_cast<int>(j);
        best_distance = d;
      }
    }
    if (best < 0) {
      entries.push_back(p);
      best = static_cast<int>(entries.size() - 1);
    }
    indexes.push_back(best);
  }
  return indexes;
}

std::vector<Pair> Pairs(const std::vector<std::int64_t>& us, std::size_t count) {
  std::vector<Pair> pairs;
  for (std::size_t i = 0; i < count; ++i) pairs.push_back({us[2 * i], us[2 * i + 1]});
  return pairs;
}

void PutIndexes(base::Bytes& packet, std::size_t at, const std::vector<int>& indexes) {
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    const auto nibble = static_cast<std::uint8_t>(indexes[i] & 0x0F);
    packet[at + i / 2] |= (i % 2 == 0) ? nibble : static_cast<std::uint8_t>(nibble << 4);
  }
}

std::size_t PacketSize(std::size_t entries, std::size_t pairs) {
  return kBlock * (1 + entries + ((pairs + 1) / 2 + kBlock - 1) / kBlock);
}

void PutLe(base::Bytes& p, std::size_t at, std::uint64_t v, int size) {
  for (int i = 0; i < size; ++i)
    p[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

void PutBe(base::Bytes& p, std::size_t at, std::uint64_t v, int size) {
  for (int i = 0; i < size; ++i)
    p[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * (size - 1 - i)));
}

std::uint64_t Cap(std::int64_t v, std::uint64_t max) {
  return v < 0 ? 0 : std::min(static_cast<std::uint64_t>(v), max);
}

void PutVarint(base::Bytes& out, std::uint64_t v) {
  do {
    std::uint8_t byte = v & 0x7F;
    v >>= 7;
    if (v != 0) byte |= 0x80;
    out.push_back(byte);
  } while (v != 0);
}

}  // namespace

base::Bytes EncodeTablePacket(const ir::Capture& capture) {
  const std::vector<std::int64_t> us = OddMicroseconds(capture, kMaxTablePairs);
  const std::size_t pairs = us.empty() ? 0 : us.size() / 2;
  std::vector<Pair> entries;
  const std::vector<int> indexes = Cluster(Pairs(us, pairs), entries);
  base::Bytes packet(PacketSize(entries.size(), pairs), 0);
  packet[0] = kPacketMarkA;
  packet[2] = static_cast<std::uint8_t>(entries.size());
  packet[3] = static_cast<std::uint8_t>(pairs);
  if (!entries.empty() && capture.Carrier > 0) {
    PutLe(packet, 4,
          Cap(RoundDiv(entries[static_cast<std::size_t>(indexes[0])].mark_us * capture.Carrier, 1'000'000),
              0xFFFF),
          2);
  }
  PutLe(packet, 6, Cap(us.empty() ? 0 : us.back() * 3, 0xFFFF), 2);
  for (std::size_t j = 0; j < entries.size(); ++j) {
    PutLe(packet, kBlock * (1 + j), Cap(entries[j].mark_us * 3, 0xFFFF), 2);
    PutLe(packet, kBlock * (1 + j) + 2, Cap(entries[j].space_us * 3, 0xFFFFFF), 3);
  }
  PutIndexes(packet, kBlock * (1 + entries.size()), indexes);
  return packet;
}

base::Bytes EncodePulsePacket(const ir::Capture& capture) {
  const std::int32_t carrier = capture.Carrier > 0 ? capture.Carrier : kPulseFixedCarrier;
  const std::int64_t period = std::max<std::int64_t>(2, RoundDiv(12'000'000, carrier));
  const std::int64_t width = std::max<std::int64_t>(1, period / 3);
  base::Bytes body;
  std::size_t count = 0;
  auto put = [&](std::int64_t ticks) {
    PutVarint(body, static_cast<std::uint64_t>(ticks));
    ++count;
  };
  for (std::size_t i = 0; i < capture.Durations.size(); ++i) {
    const std::int64_t ticks = std::llabs(std::int64_t{capture.Durations[i]}) * kPulseTicksPerUs / kTenths;
    const std::size_t before = body.size();
    const std::size_t count_before = count;
    if (i % 2 == 1) {
      put(ticks);
    } else {
      const std::int64_t pulses = std::max<std::int64_t>(1, RoundDiv(ticks, period));
      for (std::int64_t k = 0; k + 1 < pulses; ++k) {
        put(width);
        put(period - width);
      }
      const std::int64_t last = ticks - (pulses - 1) * period;
      put(last > 0 ? last : width);
    }
    if (6 + body.size() > kMaxPulseBytes || count > kMaxPulseIntervals) {
      body.resize(before);
      count = count_before;
      break;
    }
  }
  // Sized once and filled in place: a range insert after the six header bytes
  // makes GCC 12 at -O2 report a copy out of bounds that cannot happen.
  base::Bytes packet(6 + body.size(), 0);
  packet[0] = kPacketMarkA;
  packet[1] = capture.Carrier == kPulseFixedCarrier || capture.Carrier <= 0 ? kPulseKindFixedCarrier
                                                                            : kKindComputedCarrier;
  PutLe(packet, 2, count, 2);
  PutLe(packet, 4, 6 + body.size(), 2);
  std::copy(body.begin(), body.end(), packet.begin() + 6);
  return packet;
}

base::Bytes EncodeBigEndianTablePacket(const ir::Capture& capture) {
  std::vector<std::int64_t> us = OddMicroseconds(capture, 0xFFFF);
  if (us.size() >= 2) us.push_back(us[1]);  // the dropped final space
  const std::size_t pairs = us.size() / 2;
  std::vector<Pair> entries;
  const std::vector<int> indexes = Cluster(Pairs(us, pairs), entries);
  base::Bytes packet(PacketSize(entries.size(), pairs), 0);
  packet[0] = kPacketMarkA;
  PutBe(packet, 2, pairs, 2);
  packet[4] = static_cast<std::uint8_t>(entries.size());
  if (!entries.empty() && capture.Carrier > 0) {
    PutBe(packet, 5,
          Cap(RoundDiv(std::int64_t{capture.Carrier} * 2 * entries[0].mark_us * kTenths, 10'000'000), 0xFFFF),
          2);
  }
  for (std::size_t j = 0; j < entries.size(); ++j) {
    PutBe(packet, kBlock * (1 + j), Cap(entries[j].mark_us * 2, 0xFFFF), 2);
    PutBe(packet, kBlock * (1 + j) + 2, Cap(entries[j].space_us * 2, 0xFFFFFFFF), 4);
  }
  PutIndexes(packet, kBlock * (1 + entries.size()), indexes);
  return packet;
}

std::size_t MaxPacketLevels(int model) {
  constexpr std::size_t kLongFormats = 2 * 0xFFFF + 1;
  if (model == kPulseModel) return kMaxPulseIntervals;
  if (model == kBigEndianModel) return kLongFormats;
  return 2 * kMaxTablePairs + 1;
}

base::Bytes EncodePacket(int model, const ir::Capture& capture) {
  if (model == kPulseModel) return EncodePulsePacket(capture);
  if (model == kBigEndianModel) return EncodeBigEndianTablePacket(capture);
  return EncodeTablePacket(capture);
}

}  // namespace klimavo::device
