#include "capture/broadlink_packet.h"

#include <cmath>
#include <cstdlib>

namespace klimavo::capture::broadlink {
namespace {

constexpr std::size_t kHeadBytes = 4;
constexpr std::size_t kBlockBytes = 16;
constexpr std::uint8_t kClosingHigh = 0x0D;
constexpr std::uint8_t kClosingLow = 0x05;
constexpr std::uint32_t kMaxUnits = 0xFFFF;
/// Bound of a duration joined from several across zero durations (the
/// largest duration of a capture in µs).
constexpr std::int64_t kMaxJoinedMicros = 214'748'364;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int Base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+' || c == '-') return 62;
  if (c == '/' || c == '_') return 63;
  return -1;
}

std::optional<std::vector<std::uint8_t>> FromHex(std::string_view text) {
  std::vector<std::uint8_t> out;
  out.reserve(text.size() / 2);
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      if (high >= 0) return std::nullopt;  // a blank splits a byte
      continue;
    }
    const int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    if (high < 0) {
      high = d;
    } else {
      out.push_back(static_cast<std::uint8_t>(high * 16 + d));
      high = -1;
    }
  }
  if (high >= 0 || out.empty()) return std::nullopt;
  return out;
}

std::optional<std::vector<std::uint8_t>> FromBase64(std::string_view text) {
  while (!text.empty() && text.back() == '=') text.remove_suffix(1);
  if (text.empty() || text.size() % 4 == 1) return std::nullopt;
  std::vector<std::uint8_t> out;
  out.reserve(text.size() * 3 / 4);
  std::uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    const int d = Base64Digit(c);
    if (d < 0) return std::nullopt;
    bits = (bits << 6) | static_cast<std::uint32_t>(d);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out.push_back(static_cast<std::uint8_t>((bits >> count) & 0xFF));
    }
  }
  return out;
}

// One duration of the packet as written: its units and whether it took the
// three-byte form.
struct Entry {
  std::uint32_t units;
  bool wide;
};

}  // namespace

std::optional<std::vector<std::uint8_t>> PacketBytes(std::string_view text) {
  if (text.size() >= 2 && text[0] == '2' && text[1] == '6') return FromHex(text);
  return FromBase64(text);
}

std::string ReadPacket(std::span<const std::uint8_t> packet, std::size_t max_durations,
                       ir::TIRIntegerArr& out) {
  out.clear();
  if (packet.size() < kHeadBytes) return "a Broadlink packet needs at least 4 bytes";
  if (packet[0] != kInfraredType) return "not a Broadlink infrared packet (type byte is not 0x26)";
  const std::size_t count = packet[2] | (static_cast<std::size_t>(packet[3]) << 8);
  if (kHeadBytes + count > packet.size())
    return "the packet ends before its " + std::to_string(count) + " duration bytes";
  const auto data = packet.subspan(kHeadBytes, count);
  std::vector<Entry> entries;
  for (std::size_t i = 0; i < data.size();) {
    if (data[i] != 0) {
      entries.push_back(Entry{data[i], false});
      ++i;
    } else {
      if (i + 3 > data.size()) return "a 16-bit duration is cut short at the end of the packet";
      entries.push_back(Entry{static_cast<std::uint32_t>(data[i + 1] << 8 | data[i + 2]), true});
      i += 3;
    }
  }
  // The closing gap inside the count: 0x00 0x0D 0x05 as the last space, or
  // the two closing bytes on their own.
  if (!entries.empty() && entries.size() % 2 == 0 && entries.back().wide &&
      entries.back().units == kClosingUnits)
    entries.pop_back();
  else if (entries.size() >= 2 && !entries.back().wide && entries.back().units == kClosingLow &&
           !entries[entries.size() - 2].wide && entries[entries.size() - 2].units == kClosingHigh)
    entries.resize(entries.size() - 2);

  ir::TIRIntegerArr signal;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto us = static_cast<std::int32_t>(std::lround(entries[i].units * kUnitMicros));
    if (us == 0) continue;
    const std::int32_t d = i % 2 == 0 ? us : -us;
    if (!signal.empty() && (signal.back() > 0) == (d > 0)) {  // a zero duration between them
      const std::int64_t joined = std::llabs(std::int64_t{signal.back()}) + us;
      if (joined > kMaxJoinedMicros) return "durations joined across zero durations are out of range";
      signal.back() = static_cast<std::int32_t>(d > 0 ? joined : -joined);
    } else if (!signal.empty() || d > 0) {
      signal.push_back(d);
    }
  }
  if (signal.empty()) return "the packet holds no mark";
  const std::size_t copies = std::size_t{packet[1]} + 1;
  const std::size_t gaps = signal.back() > 0 ? copies - 1 : 0;
  if (signal.size() * copies + gaps > max_durations)
    return "more than " + std::to_string(max_durations) + " durations in one capture";
  const auto gap = -static_cast<std::int32_t>(std::lround(kClosingUnits * kUnitMicros));
  out.reserve(signal.size() * copies + gaps);
  for (std::size_t copy = 0; copy < copies; ++copy) {
    if (copy > 0 && out.back() > 0) out.push_back(gap);
    out.insert(out.end(), signal.begin(), signal.end());
  }
  return {};
}

std::string WritePacket(const ir::TIRIntegerArr& signal, std::vector<std::uint8_t>& out) {
  std::vector<std::uint8_t> data;
  data.reserve(signal.size() + 3);
  for (std::size_t i = 0; i < signal.size(); ++i) {
    const std::int64_t magnitude = std::llabs(static_cast<std::int64_t>(signal[i]));
    auto units = static_cast<std::uint32_t>(std::llround(static_cast<double>(magnitude) / kUnitMicros));
    if (units == 0) units = 1;
    if (units > kMaxUnits)
      return "duration " + std::to_string(magnitude) + " us is longer than a Broadlink packet holds (" +
             std::to_string(static_cast<long>(kMaxUnits * kUnitMicros)) + " us)";
    const bool last = i + 1 == signal.size();
    // A last space must not read as the closing gap the reader drops.
    if (last && signal[i] < 0 && units == kClosingUnits) ++units;
    if (units > 0xFF || (last && signal[i] < 0 && units == kClosingLow)) {
      data.push_back(0);
      data.push_back(static_cast<std::uint8_t>(units >> 8));
      data.push_back(static_cast<std::uint8_t>(units & 0xFF));
    } else {
      data.push_back(static_cast<std::uint8_t>(units));
    }
  }
  if (!signal.empty() && signal.back() > 0) {
    data.push_back(0);
    data.push_back(kClosingHigh);
    data.push_back(kClosingLow);
  }
  if (data.size() > 0xFFFF) return "more durations than a Broadlink packet holds";
  out = {kInfraredType, 0, static_cast<std::uint8_t>(data.size() & 0xFF),
         static_cast<std::uint8_t>(data.size() >> 8)};
  out.insert(out.end(), data.begin(), data.end());
  out.resize((out.size() + kBlockBytes - 1) / kBlockBytes * kBlockBytes, 0);
  return {};
}

std::string Base64(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
    std::uint32_t v = static_cast<std::uint32_t>(bytes[i]) << 16;
    if (n > 1) v |= static_cast<std::uint32_t>(bytes[i + 1]) << 8;
    if (n > 2) v |= bytes[i + 2];
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += n > 1 ? kDigits[(v >> 6) & 63] : '=';
    out += n > 2 ? kDigits[v & 63] : '=';
  }
  return out;
}

std::string Hex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (std::uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 0xF];
  }
  return out;
}

}  // namespace klimavo::capture::broadlink
