// The bi-phase decoder: codes in which every bit is two half-bit periods of
// opposite level. The half-bit period T is the more common of the two most
// frequent durations, the other one being 2T.

#include <algorithm>

#include "ir/decode_internal.h"
#include "ir/tolerance.h"

namespace klimavo::ir::detail {
namespace {

constexpr std::size_t kMinDurations = 4;
constexpr double kHistogramFactor = 0.12;
constexpr double kHalfBitFactor = 0.10;
constexpr double kPairMarkFactor = 0.15;
constexpr double kPairSpaceFactor = 0.12;
constexpr double kLastPulseFactor = 0.12;

std::int64_t Magnitude(std::int64_t v) { return v < 0 ? -v : v; }

class BiphaseExtractor {
 public:
  BiphaseExtractor(std::span<std::int64_t> d, std::int64_t half_bit, ToleranceCache& windows,
                   DecodeOutcome& out)
      : d_(d), t_(half_bit), windows_(windows), out_(out) {}

  // Runs the extraction; false when a ninth distinct split pair appears.
  bool Run() {
    std::size_t last = d_.size() - 1;
    if (d_[last] <= 0) --last;
    std::size_t pos = 0;
    bool mid_bit = false;
    while (pos <= last) {
      if (mid_bit) {
        // The first half of d[pos] closed the previous bit; its second half opens a new one.
        AddBit(d_[pos] <= 0 ? 1 : 0);
        if (pos == last) break;
        Step(pos, mid_bit);
      } else if (pos == last) {
        if (IsT(d_[pos])) {
          AddBit(0);
        } else {
          AddLastPulse(d_[pos]);
        }
        break;
      } else if (IsT(d_[pos]) && (IsT(d_[pos + 1]) || Is2T(d_[pos + 1]))) {
        AddBit(d_[pos] <= 0 ? 1 : 0);
        Step(pos, mid_bit);
      } else if (Is2T(d_[pos]) && d_[pos] > 0 && (IsT(d_[pos + 1]) || Is2T(d_[pos + 1]))) {
        AddBit(1);
        AddBit(0);
        Step(pos, mid_bit);
      } else if (pos + 2 <= last && d_[pos + 2] > 0 && Is2T(d_[pos + 2]) && Magnitude(d_[pos + 1]) > t_) {
        // The space before a double-length mark also holds the first half of the next bit.
        if (!AddPair(d_[pos], d_[pos + 1] + t_)) return false;
        d_[pos + 1] = -t_;
        ++pos;
      } else {
        if (!AddPair(d_[pos], d_[pos + 1])) return false;
        pos += 2;
      }
    }
    return true;
  }

  std::size_t SplitCount() const { return split_count_; }
  const std::array<TIRWaveStru, TIRGsPara::kMaxSplit>& Splits() const { return splits_; }

 private:
  // T within 10 % of |x| (or of half |x|); `windows_` is prepared for 10 %.
  bool IsT(std::int64_t x) const { return windows_.WindowOf(Magnitude(x)).Contains(t_); }
  bool Is2T(std::int64_t x) const { return windows_.WindowOf(Magnitude(HalfEvenMean(x, 0))).Contains(t_); }

  void Step(std::size_t& pos, bool& mid_bit) const {
    mid_bit = Is2T(d_[pos + 1]);
    pos += mid_bit ? 1 : 2;
  }

  void AddBit(std::uint8_t v) {
    if (out_.bits.size() >= kMaxBiphaseBits) return;
    out_.bits.push_back(v);
    // The 1-bit groups are merged as they come, as the finished list would be.
    if (!out_.elements.empty() && out_.elements.back().IsData()) {
      ++out_.elements.back().Value;
    } else {
      out_.elements.push_back(TStrProtItem::Data(1));
    }
  }

  bool AddPair(std::int64_t first, std::int64_t second) {
    for (std::size_t k = 0; k < split_count_; ++k) {
      if (IsNear(first, splits_[k].First, kPairMarkFactor, kPairSpaceFactor) &&
          IsNear(second, splits_[k].Second, kPairMarkFactor, kPairSpaceFactor)) {
        out_.elements.push_back(TStrProtItem::Split(static_cast<std::uint16_t>(k)));
        return true;
      }
    }
    if (split_count_ >= TIRGsPara::kMaxSplit) return false;
    splits_[split_count_] = TIRWaveStru{first, second};
    out_.elements.push_back(TStrProtItem::Split(static_cast<std::uint16_t>(split_count_++)));
    return true;
  }

  // A ninth end-pulse code leaves the tail unconverted rather than failing.
  void AddLastPulse(std::int64_t x) {
    for (std::size_t k = 0; k < split_count_; ++k) {
      if (IsNearBoth(x, splits_[k].First, kLastPulseFactor)) {
        out_.elements.push_back(TStrProtItem::Split(static_cast<std::uint16_t>(k)));
        return;
      }
    }
    if (split_count_ >= TIRGsPara::kMaxSplit) return;
    splits_[split_count_] = TIRWaveStru{x, split_count_ == 0 ? -t_ : splits_[0].Second};
    out_.elements.push_back(TStrProtItem::Split(static_cast<std::uint16_t>(split_count_++)));
  }

  std::span<std::int64_t> d_;
  std::int64_t t_;
  ToleranceCache& windows_;
  DecodeOutcome& out_;
  std::array<TIRWaveStru, TIRGsPara::kMaxSplit> splits_{};
  std::size_t split_count_ = 0;
};

void Fail(DecodeOutcome& out) {
  out.groups = -1;
  out.elements.clear();
  out.bits.clear();
}

}  // namespace

void DecodeBiphaseInto(std::span<const std::int32_t> durations, BiphaseScratch& scratch, DecodeOutcome& out) {
  Fail(out);
  out.params.Reset();
  const std::size_t n = durations.size();
  if (n < kMinDurations) return;
  // The leader (first two) and the trailing gap (last) stay out of the histogram.
  auto& histogram = scratch.histogram;
  histogram.clear();
  for (std::size_t i = 2; i + 1 < n; ++i) {
    const std::int64_t magnitude = Magnitude(durations[i]);
    auto entry = std::find_if(histogram.begin(), histogram.end(),
                              [&](const BiphaseHistogramEntry& e) { return e.window.Contains(magnitude); });
    if (entry == histogram.end()) {
      histogram.push_back(BiphaseHistogramEntry{NearWindow::Of(magnitude, kHistogramFactor), 0});
    } else {
      ++entry->count;
    }
  }
  if (histogram.size() < 2) return;
  // The exchange sort by count, descending; its first two passes fix the top two.
  auto& order = scratch.ranking;
  order.resize(histogram.size());
  for (std::uint32_t k = 0; k < order.size(); ++k) order[k] = k;
  for (std::size_t i = 0; i < 2; ++i)
    for (std::size_t j = i; j < order.size(); ++j)
      if (histogram[order[i]].count < histogram[order[j]].count) std::swap(order[i], order[j]);
  const std::int64_t key0 = histogram[order[0]].window.ref;
  const std::int64_t key1 = histogram[order[1]].window.ref;
  const std::int64_t t = std::min(key0, key1);
  const std::int64_t m = std::max(key0, key1);
  if (!IsNearBoth(t, HalfEvenMean(m, 0), kHistogramFactor)) return;

  auto& logic = out.params.Logic;
  out.params.LogicCount = 2;
  logic[0][0] = ToSlot(t);
  logic[0][1] = ToSlot(-t);
  logic[1][0] = ToSlot(-t);
  logic[1][1] = ToSlot(t);

  scratch.durations.assign(durations.begin(), durations.end());
  scratch.half_bit.Prepare(kHalfBitFactor);
  BiphaseExtractor extractor(scratch.durations, t, scratch.half_bit, out);
  if (!extractor.Run()) {
    Fail(out);
    out.params.Reset();
    return;
  }
  out.params.SplitCount = static_cast<std::uint8_t>(extractor.SplitCount());
  for (std::size_t k = 0; k < extractor.SplitCount(); ++k)
    out.params.Split[k] = {ToSlot(extractor.Splits()[k].First), ToSlot(extractor.Splits()[k].Second)};
  out.groups = CountDataGroups(out.elements);
}

}  // namespace klimavo::ir::detail
