#pragma once
// Working storage and building blocks shared by the decoders. DecodeCapture
// keeps one workspace per thread, so decoding a capture allocates nothing once
// the buffers have grown to the size of the captures seen.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "ir/decode.h"
#include "ir/ir_types.h"
#include "ir/tolerance.h"

namespace klimavo::ir::detail {

/// The acceptance window of IsNear(a, ref, factor, factor) for a fixed reference:
/// Contains(a) gives the same answer as that call, without redoing the rounding.
/// The magnitude range |ref| ± t and the sign rule (no match across strictly
/// opposite signs) fold into one signed range [low, high].
struct NearWindow {
  std::int64_t ref = 0;
  std::int64_t low = 0;
  std::int64_t high = 0;

  static NearWindow Of(std::int64_t ref, double factor) {
    constexpr std::int64_t kLimit = std::int64_t{1} << 61;  // as in the tolerance tests
    const std::int64_t magnitude = ref < -kLimit || ref > kLimit ? kLimit : (ref < 0 ? -ref : ref);
    // Factors of 1 or more are absolute tolerances in µs, as in IsNear.
    std::int64_t t = RoundHalfEven(factor >= 1.0 ? factor : static_cast<double>(magnitude) * factor);
    t = t < -kLimit ? -kLimit : (t > kLimit ? kLimit : t);
    return FromTolerance(ref, magnitude, t);
  }
  static NearWindow FromTolerance(std::int64_t ref, std::int64_t magnitude, std::int64_t t) {
    const std::int64_t lowest = magnitude - t < 0 ? 0 : magnitude - t;  // |a| >= 0 always
    const std::int64_t highest = magnitude + t;
    if (ref > 0) return NearWindow{ref, lowest, highest};    // a < 0 is the opposite sign
    if (ref < 0) return NearWindow{ref, -highest, -lowest};  // a > 0 is the opposite sign
    return NearWindow{ref, -highest, highest};               // ref 0: any sign, |a| <= t
  }
  bool Contains(std::int64_t a) const { return (low <= a && a <= high) || a == ref; }
};

/// IsNear(a, b, factor, factor), inlined for the decoders' inner loops.
inline bool IsNearBoth(std::int64_t a, std::int64_t b, double factor) {
  return NearWindow::Of(b, factor).Contains(a);
}

/// round((a + b) ÷ 2), halves to even, exactly in integers.
inline std::int64_t HalfEvenMean(std::int64_t a, std::int64_t b) {
  const std::int64_t sum = a + b;
  const std::int64_t floor_half = sum >> 1;  // arithmetic shift: floor division by 2
  if ((sum & 1) == 0) return floor_half;
  return (floor_half & 1) == 0 ? floor_half : floor_half + 1;
}

/// round(|b| × factor) for the magnitudes of real durations, remembered per
/// factor: the classification recomputes windows for every pair, and the
/// multiplication and rounding dominated it. Results equal NearWindow::Of.
/// Factors in [0, 1) give tolerances below 16384 for these magnitudes, so a
/// table holds 16-bit entries and stays in the first-level cache; other
/// factors (absolute tolerances, NaN) are computed every time. The tables of
/// the last few factors are kept, so that a caller that tries several
/// tolerances in turn (the assisted decode) does not refill them every time.
class ToleranceCache {
 public:
  static constexpr std::int64_t kCachedMagnitudes = 16384;
  static constexpr std::size_t kKeptFactors = 4;

  ToleranceCache() = default;
  // The current table is a pointer into the kept ones: not copied or moved.
  ToleranceCache(const ToleranceCache&) = delete;
  ToleranceCache& operator=(const ToleranceCache&) = delete;

  /// Switches to the table of `factor`, starting an empty one when it has none.
  void Prepare(double factor) {
    if (prepared_ && factor == factor_) return;  // NaN never equals: always recomputed
    prepared_ = true;
    factor_ = factor;
    table_ = nullptr;
    if (!(factor >= 0.0 && factor < 1.0)) return;
    for (Table& kept : tables_) {
      if (!kept.entries.empty() && kept.factor == factor) {
        table_ = kept.entries.data();
        return;
      }
    }
    Table& fresh = tables_[next_replaced_];
    next_replaced_ = (next_replaced_ + 1) % kKeptFactors;
    fresh.factor = factor;
    fresh.entries.assign(static_cast<std::size_t>(kCachedMagnitudes), kUnknown);
    table_ = fresh.entries.data();
  }
  NearWindow WindowOf(std::int64_t ref) {
    const std::int64_t magnitude = ref < 0 ? -ref : ref;
    if (table_ == nullptr || ref <= -kCachedMagnitudes || ref >= kCachedMagnitudes)
      return NearWindow::Of(ref, factor_);
    std::uint16_t& t = table_[magnitude];
    if (t == kUnknown) t = static_cast<std::uint16_t>(NearWindow::Of(magnitude, factor_).high - magnitude);
    // A factor below 1 gives t <= |ref|, so the window is ref ± t whatever the sign.
    return NearWindow{ref, ref - t, ref + t};
  }

 private:
  static constexpr std::uint16_t kUnknown = 0xFFFF;
  struct Table {
    double factor = 0;
    std::vector<std::uint16_t> entries;  ///< empty until first used
  };
  bool prepared_ = false;
  double factor_ = 0;
  std::uint16_t* table_ = nullptr;  ///< the entries of factor_, or none
  std::array<Table, kKeptFactors> tables_;
  std::size_t next_replaced_ = 0;
};

/// Saturating conversion of a working value to a 32-bit table slot.
std::int32_t ToSlot(std::int64_t v);

/// The outcome of one decoder before its text is printed.
struct DecodeOutcome {
  int groups = -1;
  TStrProt_Listbase elements;
  TSSByteArray bits;
  TIRGsPara params;
};

/// A pair class while the classification runs: its running shape, the
/// acceptance windows of that shape and the sums for the exact mean.
struct PairClassWork {
  NearWindow mark;
  NearWindow space;
  std::int64_t mark_sum = 0;
  std::int64_t space_sum = 0;
  std::int64_t members = 0;
};

struct PairScratch {
  ToleranceCache tolerance;
  TIRWaveStruArr classes;
  TClassIndexArr indexes;
  std::vector<PairClassWork> work;
  std::vector<std::uint32_t> counts;
  std::vector<std::uint32_t> ranking;
  std::vector<std::uint32_t> split_classes;
};

struct BiphaseHistogramEntry {
  NearWindow window;
  std::int64_t count = 0;
};

struct BiphaseScratch {
  ToleranceCache half_bit;  ///< windows of the half-bit tests
  std::vector<BiphaseHistogramEntry> histogram;
  std::vector<std::uint32_t> ranking;
  std::vector<std::int64_t> durations;
};

/// ClassifyPairs into `scratch.classes` and `scratch.indexes`.
void ClassifyPairsInto(std::span<const std::int32_t> durations, double tolerance, PairScratch& scratch);
/// The pulse-pair decoder over classes and indexes; `scratch` is working storage.
/// With `counts_from_classification` the member counts of `scratch.work`, left
/// by ClassifyPairsInto for these very classes, are used instead of a recount.
void DecodePairClassesInto(const TIRWaveStruArr& classes, std::span<const std::uint32_t> indexes,
                           double decode_tolerance, PairScratch& scratch, DecodeOutcome& out,
                           bool counts_from_classification = false);
/// The bi-phase decoder.
void DecodeBiphaseInto(std::span<const std::int32_t> durations, BiphaseScratch& scratch, DecodeOutcome& out);

/// FixTail over a bit span.
int FixTailBits(TIRGsPara& params, std::span<const std::uint8_t> bits, TStrProt_Listbase& elements,
                double decode_tolerance);
/// DetectRepeat over a bit span.
void DetectRepeatBits(std::span<const std::uint8_t> bits, TStrProt_Stru& protocol);

/// Number of data elements of a list.
int CountDataGroups(const TStrProt_Listbase& elements);

/// Packs bits along the data groups into `bytes` (cleared first); false when no
/// byte is produced or the bits do not fill the groups.
bool PackBits(const TStrProt_Listbase& elements, std::span<const std::uint8_t> bits, bool lsb_first,
              TSSByteArray& bytes);

}  // namespace klimavo::ir::detail
