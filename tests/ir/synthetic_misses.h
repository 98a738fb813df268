#pragma once
// A generator of captures that the blind decoder misreads, built from clean
// timings and known code bytes: each kind of miss a real remote or receiver
// produces, one function each. Captures come out in 0.1 µs ticks, as the
// learner delivers them.

#include <cstdint>
#include <vector>

#include "ir/ir_types.h"

namespace klimavo::ir::synthetic {

/// The timing of a pulse-distance frame (µs): leader, the two logic pairs
/// and the end mark.
struct FrameTiming {
  std::int32_t leader_mark = 9000;
  std::int32_t leader_space = 4500;
  std::int32_t mark = 560;
  std::int32_t zero_space = 560;
  std::int32_t one_space = 1690;
};

inline constexpr FrameTiming kNecLike{};
inline constexpr FrameTiming kShortLeader{3500, 1750, 430, 430, 1300};
inline constexpr std::int32_t kFrameGap = 30000;

/// Durations in µs, marks positive.
using Micros = std::vector<std::int32_t>;

inline TIRIntegerArr ToTicks(const Micros& micros) {
  TIRIntegerArr ticks;
  for (const std::int32_t d : micros) ticks.push_back(d * 10);
  return ticks;
}

/// Leader, the bytes' bits LSB-first, no end mark.
inline Micros FrameBody(const TSSByteArray& bytes, const FrameTiming& t) {
  Micros out{t.leader_mark, -t.leader_space};
  for (const std::uint8_t byte : bytes) {
    for (int bit = 0; bit < 8; ++bit) {
      out.push_back(t.mark);
      out.push_back(-(((byte >> bit) & 1) ? t.one_space : t.zero_space));
    }
  }
  return out;
}

/// A clean frame ending with its end mark.
inline Micros CleanFrame(const TSSByteArray& bytes, const FrameTiming& t = kNecLike) {
  Micros out = FrameBody(bytes, t);
  out.push_back(t.mark);
  return out;
}

/// Jitter of a given spread: every third data space is stretched by `spread`
/// (0.3 = 30 % longer), so those pairs fall outside the default tolerance.
inline Micros Jittered(const TSSByteArray& bytes, double spread, const FrameTiming& t = kNecLike) {
  Micros out = CleanFrame(bytes, t);
  for (std::size_t i = 3; i + 1 < out.size(); i += 6)
    out[i] = static_cast<std::int32_t>(out[i] * (1.0 + spread));
  return out;
}

/// Marks and spaces swapped: every duration changes sign.
inline Micros Inverted(const Micros& clean) {
  Micros out;
  for (const std::int32_t d : clean) out.push_back(-d);
  return out;
}

/// Sections with their own leaders and logic codes, parted by long gaps.
inline Micros Sections(const std::vector<std::pair<TSSByteArray, FrameTiming>>& parts) {
  Micros out;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const Micros frame = CleanFrame(parts[i].first, parts[i].second);
    out.insert(out.end(), frame.begin(), frame.end());
    if (i + 1 < parts.size()) out.push_back(-kFrameGap);
  }
  return out;
}

/// Symbols of two bits: a leader, then per byte four symbols, low bits first,
/// each one mark and one of four space lengths; an end mark.
inline Micros TwoBitSymbols(const TSSByteArray& bytes) {
  constexpr std::int32_t kMark = 600;
  constexpr std::int32_t kSpaces[] = {400, 900, 1400, 1900};
  Micros out{1000, -600};
  for (const std::uint8_t byte : bytes) {
    for (int symbol = 0; symbol < 4; ++symbol) {
      out.push_back(kMark);
      out.push_back(-kSpaces[(byte >> (2 * symbol)) & 3]);
    }
  }
  out.push_back(kMark);
  return out;
}

/// A frame sent twice where the first frame's end pulse is followed by a
/// space as short as a logic 1 before the next leader: the pair classes read
/// that end pulse as a ninth bit of the last byte.
inline Micros StrayEndPulse(const TSSByteArray& bytes, const FrameTiming& t = kNecLike) {
  Micros out = FrameBody(bytes, t);
  out.push_back(t.mark);
  out.push_back(-t.one_space);
  const Micros second = CleanFrame(bytes, t);
  out.insert(out.end(), second.begin(), second.end());
  return out;
}

/// A single short pulse before the leader, as some receivers record when they
/// wake: read as a data bit of its own.
inline Micros StrayLeadIn(const TSSByteArray& bytes, const FrameTiming& t = kNecLike) {
  Micros out{t.mark, -t.zero_space};
  const Micros frame = CleanFrame(bytes, t);
  out.insert(out.end(), frame.begin(), frame.end());
  return out;
}

}  // namespace klimavo::ir::synthetic
