#include "device/learner_packets.h"

#include <algorithm>
#include <limits>

#include "ir/decode.h"

namespace klimavo::device {
namespace {

// Table format (models 0-10).
constexpr std::size_t kBlockSize = 8;
constexpr int kTableTicksPerUs = 3;
constexpr std::int64_t kUsPerSecond = 1'000'000;
constexpr std::int32_t kMinTableCarrier = 1000;  ///< below it the final mark is not trusted
constexpr std::size_t kMinTableValues = 5;       ///< fewer appended values: nothing is raised
constexpr std::uint8_t kLearnPrefix = 0xAA;
constexpr std::uint8_t kLearnClose = 0xF0;
constexpr std::uint8_t kLearnLong = 0xF4;
constexpr std::uint8_t kLearnSuffix = 0xFF;
constexpr std::size_t kStopBytes = 8;

// Pulse format (model 11).
constexpr std::size_t kPulseHeader = 6;
constexpr std::size_t kCarrierSampleCount = 8;
constexpr std::int64_t kMaxCarrierSampleTicks = 2880;
constexpr std::int64_t kTicksPerSecondTimes4 = 48'000'000;  ///< 12 ticks per µs
constexpr int kMaxVarintBytes = 5;
constexpr std::uint8_t kPulseCommandPrefix[] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
constexpr std::uint8_t kPulseCommandCode = 0x88;
constexpr std::uint8_t kPulseCommandTail = 0x04;

// Big-endian table format (model 12).
constexpr int kBigEndianTicksPerUs = 2;
constexpr std::int64_t kTenthsPerSecond = 10'000'000;
constexpr std::size_t kMinBigEndianPairs = 3;
constexpr std::uint8_t kBigEndianCommand[] = {0xF1, 0xF2, 0x04};

constexpr int kTenthsPerUs = 10;

/// A carrier computed from device counts, kept within the 32-bit field.
std::int32_t ClampCarrier(std::int64_t hz) {
  return static_cast<std::int32_t>(std::min<std::int64_t>(hz, std::numeric_limits<std::int32_t>::max()));
}

std::size_t CeilDiv(std::size_t a, std::size_t b) { return (a + b - 1) / b; }

std::uint32_t ReadLe(std::span<const std::uint8_t> p, std::size_t at, int size) {
  std::uint32_t v = 0;
  for (int i = size - 1; i >= 0; --i) v = (v << 8) | p[at + static_cast<std::size_t>(i)];
  return v;
}

std::uint32_t ReadBe(std::span<const std::uint8_t> p, std::size_t at, int size) {
  std::uint32_t v = 0;
  for (int i = 0; i < size; ++i) v = (v << 8) | p[at + static_cast<std::size_t>(i)];
  return v;
}

/// Pair index `i` of a nibble list starting at `at`: two per byte, low nibble first.
int PairIndex(std::span<const std::uint8_t> p, std::size_t at, std::size_t i) {
  const std::uint8_t byte = p[at + i / 2];
  return (i % 2 == 0) ? (byte & 0x0F) : (byte >> 4);
}

/// Bytes a table-format packet with K entries and N pair indexes occupies.
std::size_t TableSize(std::size_t entries, std::size_t pairs) {
  return kBlockSize * (1 + entries + CeilDiv(CeilDiv(pairs, 2), kBlockSize));
}

/// Appends byte by byte: a range insert into the one-byte report makes GCC 12
/// at -O2 report a copy out of bounds that cannot happen (-Warray-bounds).
void AppendBytes(base::Bytes& out, std::span<const std::uint8_t> bytes) {
  for (std::uint8_t b : bytes) out.push_back(b);
}

base::Bytes Report(std::initializer_list<std::uint8_t> payload) {
  base::Bytes report{kReportId};
  AppendBytes(report, std::span<const std::uint8_t>(payload.begin(), payload.size()));
  return report;
}

/// Reads one variable-length number (7-bit groups, least significant first).
/// False when it runs past `end` or does not fit a signed 32-bit value.
bool ReadVarint(std::span<const std::uint8_t> p, std::size_t& pos, std::size_t end, std::int64_t& value) {
  value = 0;
  for (int i = 0; i < kMaxVarintBytes; ++i) {
    if (pos >= end) return false;
    const std::uint8_t byte = p[pos++];
    value |= static_cast<std::int64_t>(byte & 0x7F) << (7 * i);
    if ((byte & 0x80) == 0) return value <= std::numeric_limits<std::int32_t>::max();
  }
  return false;
}

}  // namespace

std::int64_t RoundDiv(std::int64_t a, std::int64_t b) {
  const bool negative = a < 0;
  const std::int64_t m = negative ? -a : a;
  std::int64_t q = m / b;
  const std::int64_t r2 = 2 * (m % b);
  if (r2 > b || (r2 == b && (q & 1) != 0)) ++q;
  return negative ? -q : q;
}

bool HasPacketMark(std::span<const std::uint8_t> packet) {
  return !packet.empty() && (packet[0] == kPacketMarkA || packet[0] == kPacketMarkB);
}

base::Bytes PulseModelCommand(bool on, int learn_mode, int trim_time) {
  base::Bytes report{kReportId};
  AppendBytes(report, kPulseCommandPrefix);
  report.push_back(kPulseCommandCode);
  report.push_back(static_cast<std::uint8_t>(trim_time & 0xFF));
  report.push_back(static_cast<std::uint8_t>((trim_time >> 8) & 0xFF));
  report.push_back(kPulseCommandTail);
  report.push_back(on ? static_cast<std::uint8_t>(learn_mode & 0xFF) : 0);
  return report;
}

base::Bytes BigEndianModelCommand(bool on, int trim_time) {
  base::Bytes report{kReportId};
  AppendBytes(report, kBigEndianCommand);
  report.push_back(static_cast<std::uint8_t>((trim_time >> 8) & 0xFF));
  report.push_back(static_cast<std::uint8_t>(trim_time & 0xFF));
  report.push_back(on ? 1 : 0);
  report.push_back(0);
  unsigned sum = kBigEndianCommand[0];
  for (std::size_t i = 1; i <= 7; ++i) sum += report[i];
  report.push_back(static_cast<std::uint8_t>(sum & 0xFF));
  return report;
}

base::Bytes LearnCommand(int model, int learn_mode, int trim_time) {
  if (model == kPulseModel) return PulseModelCommand(true, learn_mode, trim_time);
  if (model == kBigEndianModel) return BigEndianModelCommand(true, trim_time);
  return Report({kLearnPrefix, learn_mode == kLongRange ? kLearnLong : kLearnClose, kLearnSuffix});
}

base::Bytes StopCommand(int model, int learn_mode, int trim_time) {
  if (model == kPulseModel) return PulseModelCommand(false, learn_mode, trim_time);
  if (model == kBigEndianModel) return BigEndianModelCommand(false, trim_time);
  base::Bytes report(1 + kStopBytes, 0xFF);
  report[0] = kReportId;
  return report;
}

bool StopCommandHasReply(int model) { return model != kPulseModel && model != kBigEndianModel; }

DecodedPacket DecodeTablePacket(std::span<const std::uint8_t> packet) {
  DecodedPacket result;
  if (packet.size() < kBlockSize) return result;
  const std::size_t entries = packet[2];
  const std::size_t pairs = packet[3];
  const std::uint32_t cycles = ReadLe(packet, 4, 2);
  const std::uint32_t final_ticks = ReadLe(packet, 6, 2);
  if (packet.size() < TableSize(entries, pairs)) return result;
  result.complete = true;

  ir::TIRIntegerArr us;
  const std::size_t index_at = kBlockSize * (1 + entries);
  for (std::size_t i = 0; i < pairs; ++i) {
    const int x = PairIndex(packet, index_at, i);
    if (static_cast<std::size_t>(x) >= entries) return result;
    const std::size_t at = kBlockSize * (1 + static_cast<std::size_t>(x));
    us.push_back(static_cast<std::int32_t>(RoundDiv(ReadLe(packet, at, 2), kTableTicksPerUs)));
    us.push_back(-static_cast<std::int32_t>(RoundDiv(ReadLe(packet, at + 2, 3), kTableTicksPerUs)));
  }
  if (us.size() < kMinTableValues) return result;
  us.push_back(static_cast<std::int32_t>(RoundDiv(final_ticks, kTableTicksPerUs)));

  std::int32_t carrier = 0;
  if (cycles != 0 && us.front() != 0) carrier = ClampCarrier(RoundDiv(kUsPerSecond * cycles, us.front()));
  if (carrier < kMinTableCarrier) us.back() = us[us.size() - 3];
  for (auto& v : us) v *= kTenthsPerUs;
  result.capture = ir::Capture{std::move(us), carrier};
  return result;
}

DecodedPacket DecodePulsePacket(std::span<const std::uint8_t> packet) {
  DecodedPacket result;
  if (packet.size() < kPulseHeader) return result;
  const std::uint8_t kind = packet[1];
  const std::size_t count = ReadLe(packet, 2, 2);
  const std::size_t total = ReadLe(packet, 4, 2);
  if (packet.size() < total) return result;
  result.complete = true;

  ir::TIRIntegerArr ticks;
  ticks.reserve(count);
  std::size_t pos = kPulseHeader;
  for (std::size_t i = 0; i < count; ++i) {
    std::int64_t value = 0;
    if (!ReadVarint(packet, pos, total, value)) return result;
    ticks.push_back(static_cast<std::int32_t>(i % 2 == 0 ? value : -value));
  }

  std::int32_t carrier = 0;
  if (kind == kPulseKindFixedCarrier) {
    carrier = kPulseFixedCarrier;
  } else if (ticks.size() > kCarrierSampleCount) {
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < kCarrierSampleCount; ++i)
      sum += ticks[i] < 0 ? -std::int64_t{ticks[i]} : ticks[i];
    if (sum > 0 && sum < kMaxCarrierSampleTicks)
      carrier = static_cast<std::int32_t>(RoundDiv(kTicksPerSecondTimes4, sum));
  }

  ir::TIRIntegerArr merged = ir::MergeCarrierPulses(ticks, kPulseTicksPerUs);
  for (auto& v : merged)
    v = static_cast<std::int32_t>(RoundDiv(std::int64_t{v} * kTenthsPerUs, kPulseTicksPerUs));
  result.capture = ir::Capture{std::move(merged), carrier};
  return result;
}

DecodedPacket DecodeBigEndianTablePacket(std::span<const std::uint8_t> packet) {
  DecodedPacket result;
  if (packet.size() < kBlockSize) return result;
  const std::size_t pairs = ReadBe(packet, 2, 2);
  const std::size_t entries = packet[4];
  const std::uint32_t count = ReadBe(packet, 5, 2);
  if (pairs < kMinBigEndianPairs || packet.size() < TableSize(entries, pairs)) return result;
  result.complete = true;

  auto mark_of = [&](std::size_t j) {
    return static_cast<std::int32_t>(RoundDiv(ReadBe(packet, kBlockSize * (1 + j), 2), kBigEndianTicksPerUs) *
                                     kTenthsPerUs);
  };
  ir::TIRIntegerArr values;
  const std::size_t index_at = kBlockSize * (1 + entries);
  for (std::size_t i = 0; i < pairs; ++i) {
    const int x = PairIndex(packet, index_at, i);
    if (static_cast<std::size_t>(x) >= entries) return result;
    const std::size_t at = kBlockSize * (1 + static_cast<std::size_t>(x));
    values.push_back(mark_of(static_cast<std::size_t>(x)));
    const std::int64_t space = RoundDiv(ReadBe(packet, at + 2, 4), kBigEndianTicksPerUs) * kTenthsPerUs;
    values.push_back(
        static_cast<std::int32_t>(-std::min<std::int64_t>(space, std::numeric_limits<std::int32_t>::max())));
  }
  values.pop_back();

  std::int32_t carrier = 0;
  const std::int64_t mark0 = mark_of(0);
  if (count != 0 && mark0 != 0) carrier = ClampCarrier(RoundDiv(kTenthsPerSecond * count, 2 * mark0));
  result.capture = ir::Capture{std::move(values), carrier};
  return result;
}

DecodedPacket DecodePacket(int model, std::span<const std::uint8_t> packet) {
  if (model == kPulseModel) return DecodePulsePacket(packet);
  if (model == kBigEndianModel) return DecodeBigEndianTablePacket(packet);
  return DecodeTablePacket(packet);
}

}  // namespace klimavo::device
