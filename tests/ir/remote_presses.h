#pragma once
// A generator of many presses of one remote from one real capture, as a
// community climate-code file holds them: each press changes a few code bytes
// of the capture (its data pairs take the shape of the other logic code) and
// then goes through a receiver of a given kind (steady, marks widened, heavy
// jitter, outliers, lost or extra end pulses, gaps of other lengths). The
// random numbers come from a fixed generator, so every run makes the same
// presses on every compiler.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "ir/ir_types.h"

namespace klimavo::ir::presses {

/// Durations in µs, marks positive.
using Micros = std::vector<std::int32_t>;

/// A small fixed random generator (xorshift64*).
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
  std::uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
  }
  /// Uniform in [0, 1).
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
  /// Uniform in [-1, 1).
  double Signed() { return 2.0 * Unit() - 1.0; }
  double Between(double lo, double hi) { return lo + (hi - lo) * Unit(); }
  bool Chance(double p) { return Unit() < p; }
  std::size_t Below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(Next() % n); }

 private:
  std::uint64_t state_;
};

enum class Receiver {
  kSteady,     ///< ±5 % on every duration
  kWidened,    ///< marks widened by 40–150 µs at the cost of the spaces, ±5 %
  kJittery,    ///< every duration off by up to a spread of 5–30 % chosen per press
  kOutliers,   ///< ±5 %, and in three presses of ten one or two durations off by 22–35 %
  kEndPulses,  ///< ±5 %, and in three presses of ten a stray pulse after the end mark or a noise pulse before
               ///< the leader
  kGaps,  ///< ±5 %, and every long space 0.6–2 times as long
};

struct ReceiverKind {
  Receiver receiver;
  const char* name;
};

inline constexpr ReceiverKind kReceivers[] = {
    {Receiver::kSteady, "steady"},         {Receiver::kWidened, "marks widened"},
    {Receiver::kJittery, "jitter 5-30 %"}, {Receiver::kOutliers, "outliers"},
    {Receiver::kEndPulses, "end pulses"},  {Receiver::kGaps, "gaps"},
};

/// Spaces at least this long part the frames of a capture.
inline constexpr std::int32_t kFrameGapMicros = 5000;

namespace detail {

inline bool Near(std::int64_t a, std::int64_t b) { return std::llabs(a - b) * 100 <= std::llabs(b) * 21; }

inline std::int32_t Median(std::vector<std::int32_t> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

inline std::int32_t Scaled(std::int32_t d, double factor) {
  const std::int32_t magnitude = std::max<std::int32_t>(20, static_cast<std::int32_t>(std::abs(d) * factor));
  return d < 0 ? -magnitude : magnitude;
}

}  // namespace detail

/// The logic class (0 or 1) of every pair that starts at an even index with a
/// mark; -1 where a pair is not a data pair of `logic` (mark, space in µs).
inline std::vector<int> DataClasses(const Micros& base, const std::int32_t (&logic)[2][2]) {
  std::vector<int> classes(base.size(), -1);
  for (std::size_t i = 0; i + 1 < base.size(); i += 2) {
    if (base[i] <= 0 || base[i + 1] >= 0) continue;
    for (int c = 0; c < 2; ++c) {
      if (detail::Near(base[i], logic[c][0]) && detail::Near(-base[i + 1], logic[c][1])) {
        classes[i] = c;
        break;
      }
    }
  }
  return classes;
}

/// The capture with a few code bytes changed: frames (parted by long spaces)
/// with the same number of data pairs get the same change, so a frame sent
/// again stays a copy of the first. The first byte of a frame and bits past
/// its last whole byte stay as they are.
inline Micros ChangeBytes(const Micros& base, const std::int32_t (&logic)[2][2], Random& random) {
  const std::vector<int> classes = DataClasses(base, logic);
  // The remote's own shape of each class.
  std::vector<std::int32_t> marks[2], spaces[2];
  for (std::size_t i = 0; i < classes.size(); ++i) {
    if (classes[i] < 0) continue;
    marks[classes[i]].push_back(base[i]);
    spaces[classes[i]].push_back(base[i + 1]);
  }
  if (marks[0].empty() || marks[1].empty()) return base;
  const std::int32_t shape[2][2] = {{detail::Median(marks[0]), detail::Median(spaces[0])},
                                    {detail::Median(marks[1]), detail::Median(spaces[1])}};
  // Data pair indices of each frame.
  std::vector<std::vector<std::size_t>> frames(1);
  for (std::size_t i = 0; i < base.size(); ++i) {
    if (classes[i] >= 0) frames.back().push_back(i);
    if (base[i] <= -kFrameGapMicros) frames.emplace_back();
  }
  std::map<std::size_t, std::vector<int>> change_of;  // data pairs of a frame -> new class per pair (-1 kept)
  Micros out = base;
  for (const std::vector<std::size_t>& frame : frames) {
    const std::size_t bytes = frame.size() / 8;
    if (bytes < 2) continue;
    auto [it, fresh] = change_of.try_emplace(frame.size(), frame.size(), -1);
    if (fresh) {
      const std::size_t changed = 1 + random.Below(3);
      for (std::size_t k = 0; k < changed; ++k) {
        const std::size_t byte = 1 + random.Below(bytes - 1);
        for (std::size_t bit = 0; bit < 8; ++bit) it->second[byte * 8 + bit] = random.Chance(0.5) ? 1 : 0;
      }
    }
    for (std::size_t k = 0; k < frame.size(); ++k) {
      const int to = it->second[k];
      const std::size_t i = frame[k];
      if (to < 0 || to == classes[i]) continue;
      out[i] = shape[to][0];
      out[i + 1] = shape[to][1];
    }
  }
  return out;
}

/// The press as a receiver of the given kind delivers it.
inline Micros Receive(const Micros& press, Receiver receiver, Random& random) {
  Micros out = press;
  const double spread = receiver == Receiver::kJittery ? random.Between(0.05, 0.30) : 0.05;
  const double widen = receiver == Receiver::kWidened ? random.Between(40, 150) : 0;
  const std::size_t last = out.size();
  for (std::size_t i = 0; i < last; ++i) {
    std::int32_t& d = out[i];
    if (widen > 0) {
      const auto w = static_cast<std::int32_t>(widen);
      d = d > 0 ? d + w : std::min<std::int32_t>(-50, d + w);
    }
    if (receiver == Receiver::kGaps && d <= -kFrameGapMicros) d = detail::Scaled(d, random.Between(0.6, 2.0));
    d = detail::Scaled(d, 1.0 + spread * random.Signed());
  }
  if (receiver == Receiver::kOutliers && random.Chance(0.3)) {
    const std::size_t count = 1 + random.Below(2);
    for (std::size_t k = 0; k < count; ++k) {
      std::int32_t& d = out[random.Below(out.size())];
      const double off = random.Between(0.22, 0.35);
      d = detail::Scaled(d, random.Chance(0.5) ? 1.0 + off : 1.0 - off);
    }
  }
  if (receiver == Receiver::kEndPulses && random.Chance(0.3)) {
    // (An end mark lost takes the last bit's space with it: no reading can
    // know that bit, so such presses are not made.)
    switch (random.Below(2)) {
      case 0:  // a stray pulse after the end mark
        if (out.back() > 0) out.push_back(-static_cast<std::int32_t>(random.Between(8000, 30000)));
        out.push_back(static_cast<std::int32_t>(random.Between(150, 600)));
        break;
      default:  // a noise pulse before the leader
        out.insert(out.begin(), {static_cast<std::int32_t>(random.Between(100, 300)),
                                 -static_cast<std::int32_t>(random.Between(6000, 20000))});
        break;
    }
  }
  return out;
}

inline TIRIntegerArr ToTicks(const Micros& micros) {
  TIRIntegerArr ticks;
  for (const std::int32_t d : micros) ticks.push_back(d * 10);
  return ticks;
}

}  // namespace klimavo::ir::presses
