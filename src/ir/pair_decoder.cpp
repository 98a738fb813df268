// Pair classification and the pulse-pair decoder: pulse-distance and
// pulse-width codes, where every bit is one (mark, space) pair and the two most
// frequent pair shapes are the logic codes.

#include <algorithm>
#include <limits>

#include "ir/decode_internal.h"
#include "ir/tolerance.h"

namespace klimavo::ir::detail {
namespace {

constexpr std::size_t kMinPairs = 3;
constexpr std::size_t kMinBits = 8;
// Split codes are matched with 8 % (or 50 µs); logic marks and spaces that agree
// within 9 % are made equal.
constexpr double kSplitFactor = 0.08;
constexpr double kLogicMergeFactor = 0.09;
constexpr std::uint16_t kMaxGroupBits = std::numeric_limits<std::uint16_t>::max();

std::int64_t Magnitude(std::int64_t v) { return v < 0 ? -v : v; }

// The split code of a pair: an existing one within 8 % (the trailing gap of the
// last pair is not compared), else a new one while fewer than eight exist.
int FindSplitCode(TIRGsPara& params, std::int64_t first, std::int64_t second, bool is_last) {
  const int count = std::min<int>(params.SplitCount, TIRGsPara::kMaxSplit);
  for (int k = 0; k < count; ++k) {
    const auto& code = params.Split[static_cast<std::size_t>(k)];
    if (IsNearAbs50(first, code[0], kSplitFactor) && (is_last || IsNearAbs50(second, code[1], kSplitFactor)))
      return k;
  }
  if (count >= TIRGsPara::kMaxSplit) return -1;
  params.Split[static_cast<std::size_t>(count)] = {ToSlot(first), ToSlot(second)};
  params.SplitCount = static_cast<std::uint8_t>(count + 1);
  return count;
}

// The split code of an end pulse of mark m: matched by its mark alone.
int FindTailSplitCode(TIRGsPara& params, std::int32_t m, double decode_tolerance) {
  const int count = std::min<int>(params.SplitCount, TIRGsPara::kMaxSplit);
  for (int k = 0; k < count; ++k)
    if (IsNearCfg(m, params.Split[static_cast<std::size_t>(k)][0], decode_tolerance)) return k;
  if (count >= TIRGsPara::kMaxSplit) return -1;
  const std::int32_t space = count == 0 ? ToSlot(-std::int64_t{m}) : params.Split[0][1];
  params.Split[static_cast<std::size_t>(count)] = {m, space};
  params.SplitCount = static_cast<std::uint8_t>(count + 1);
  return count;
}

// Ranks entries by count, descending, with the exchange sort of the decoders
// and returns the first two. Later passes of that sort only touch positions 2
// and beyond, so the first two passes decide the result.
std::pair<std::uint32_t, std::uint32_t> TopTwo(std::vector<std::uint32_t>& order,
                                               const std::vector<std::uint32_t>& counts) {
  for (std::size_t i = 0; i < 2; ++i)
    for (std::size_t j = i; j < order.size(); ++j)
      if (counts[order[i]] < counts[order[j]]) std::swap(order[i], order[j]);
  return {order[0], order[1]};
}

void Fail(DecodeOutcome& out) {
  out.groups = -1;
  out.elements.clear();
  out.bits.clear();
}

// Walks the pairs: logic pairs become bits in data groups, other pairs split
// elements whose class is noted in `split_classes`. False when a group would
// outgrow its 16-bit bit count. The open group is counted aside and added
// when a split element or the end closes it.
bool WalkPairs(std::span<const std::uint32_t> indexes, std::uint32_t logic0, std::uint32_t logic1,
               PairScratch& scratch, DecodeOutcome& out) {
  out.bits.resize(indexes.size());  // at most one bit per pair
  std::uint8_t* bits = out.bits.data();
  std::size_t bit_count = 0;
  std::uint32_t open_group = 0;
  for (const std::uint32_t c : indexes) {
    if (c == logic0 || c == logic1) {
      if (open_group == kMaxGroupBits) return false;
      bits[bit_count++] = c == logic0 ? 0 : 1;
      ++open_group;
    } else {
      if (open_group > 0) out.elements.push_back(TStrProtItem::Data(static_cast<std::uint16_t>(open_group)));
      open_group = 0;
      out.elements.push_back(TStrProtItem::Split(0));
      scratch.split_classes.push_back(c);
    }
  }
  if (open_group > 0) out.elements.push_back(TStrProtItem::Data(static_cast<std::uint16_t>(open_group)));
  out.bits.resize(bit_count);
  return true;
}

}  // namespace

void ClassifyPairsInto(std::span<const std::int32_t> durations, double tolerance, PairScratch& scratch) {
  scratch.classes.clear();
  scratch.indexes.clear();
  scratch.work.clear();
  const std::size_t n = durations.size();
  if (n <= 2) return;
  scratch.tolerance.Prepare(tolerance);
  // A list that still ends with a mark gets the space before that mark again:
  // with an odd count that makes one more pair, (last mark, space before it).
  const std::size_t length = durations[n - 1] > 0 ? n + 1 : n;
  const std::size_t pairs = length / 2;
  const std::size_t whole_pairs = n / 2;
  auto& work = scratch.work;
  auto classify = [&](std::int64_t mark, std::int64_t space) {
    std::size_t c = 0;
    while (c < work.size() && !(work[c].mark.Contains(mark) && work[c].space.Contains(space))) ++c;
    if (c == work.size()) {
      work.push_back(
          PairClassWork{scratch.tolerance.WindowOf(mark), scratch.tolerance.WindowOf(space), 0, 0, 0});
    } else {
      // The running mean serves the matching of the later pairs of this pass.
      PairClassWork& cls = work[c];
      cls.mark = scratch.tolerance.WindowOf(HalfEvenMean(cls.mark.ref, mark));
      cls.space = scratch.tolerance.WindowOf(HalfEvenMean(cls.space.ref, space));
    }
    PairClassWork& cls = work[c];
    cls.mark_sum += mark;
    cls.space_sum += space;
    ++cls.members;
    return static_cast<std::uint32_t>(c);
  };
  scratch.indexes.resize(pairs);
  std::uint32_t* index = scratch.indexes.data();
  for (std::size_t i = 0; i < whole_pairs; ++i) index[i] = classify(durations[2 * i], durations[2 * i + 1]);
  if (pairs > whole_pairs) index[whole_pairs] = classify(durations[n - 1], durations[n - 2]);
  // Every class becomes the exact mean of its members, truncated toward zero.
  scratch.classes.resize(work.size());
  for (std::size_t c = 0; c < work.size(); ++c)
    scratch.classes[c] = TIRWaveStru{work[c].mark_sum / work[c].members, work[c].space_sum / work[c].members};
}

void DecodePairClassesInto(const TIRWaveStruArr& classes, std::span<const std::uint32_t> indexes,
                           double decode_tolerance, PairScratch& scratch, DecodeOutcome& out,
                           bool counts_from_classification) {
  Fail(out);
  out.params.Reset();
  if (indexes.size() < kMinPairs) return;
  if (counts_from_classification) {
    scratch.counts.resize(scratch.work.size());
    for (std::size_t c = 0; c < scratch.work.size(); ++c)
      scratch.counts[c] = static_cast<std::uint32_t>(scratch.work[c].members);
  } else {
    scratch.counts.assign(classes.size(), 0);
    for (const std::uint32_t c : indexes) {
      if (c >= classes.size()) return;  // an index without a class: nothing sound to decode
      ++scratch.counts[c];
    }
  }
  if (classes.size() < 2) return;
  scratch.ranking.resize(classes.size());
  for (std::uint32_t c = 0; c < scratch.ranking.size(); ++c) scratch.ranking[c] = c;
  const auto [p, q] = TopTwo(scratch.ranking, scratch.counts);
  const TIRWaveStru& cp = classes[p];
  const TIRWaveStru& cq = classes[q];
  // Equal marks: the bits differ in their spaces; otherwise in their marks.
  const bool equal_marks = IsNearCfg(cp.First, cq.First, decode_tolerance);
  const bool q_is_zero =
      equal_marks ? Magnitude(cq.Second) < Magnitude(cp.Second) : Magnitude(cq.First) < Magnitude(cp.First);
  const std::uint32_t logic0 = q_is_zero ? q : p;
  const std::uint32_t logic1 = q_is_zero ? p : q;

  scratch.split_classes.clear();
  if (!WalkPairs(indexes, logic0, logic1, scratch, out) || out.elements.empty() ||
      out.bits.size() < kMinBits) {
    Fail(out);
    return;
  }
  std::size_t split = 0;
  for (std::size_t e = 0; e < out.elements.size(); ++e) {
    if (out.elements[e].IsData()) continue;
    const TIRWaveStru& cls = classes[scratch.split_classes[split++]];
    const int code = FindSplitCode(out.params, cls.First, cls.Second, e + 1 == out.elements.size());
    if (code < 0) {
      Fail(out);
      return;
    }
    out.elements[e].Value = static_cast<std::uint16_t>(code);
  }
  auto& logic = out.params.Logic;
  out.params.LogicCount = 2;
  logic[0][0] = ToSlot(classes[logic0].First);
  logic[0][1] = ToSlot(classes[logic0].Second);
  logic[1][0] = ToSlot(classes[logic1].First);
  logic[1][1] = ToSlot(classes[logic1].Second);
  for (std::size_t slot = 0; slot < 2; ++slot) {
    if (IsNear(logic[0][slot], logic[1][slot], kLogicMergeFactor, kLogicMergeFactor)) {
      const std::int32_t mean = ToSlot(HalfEvenMean(logic[0][slot], logic[1][slot]));
      logic[0][slot] = mean;
      logic[1][slot] = mean;
    }
  }
  if (FixTailBits(out.params, out.bits, out.elements, decode_tolerance) < 0) out.bits.pop_back();
  out.groups = CountDataGroups(out.elements);
}

int FixTailBits(TIRGsPara& params, std::span<const std::uint8_t> bits, TStrProt_Listbase& elements,
                double decode_tolerance) {
  if (elements.empty() || !elements.back().IsData() || bits.empty()) return 0;
  const std::uint8_t last_bit = bits.back();
  if (last_bit >= TIRGsPara::kMaxLogic) return 0;  // no logic code to take the mark from
  const std::int32_t m = params.Logic[last_bit][0];
  TStrProtItem& last = elements.back();
  if (last.Value == 0) return 0;  // an empty group has no final bit to convert
  if (last.Value == 1) {
    const int x = FindTailSplitCode(params, m, decode_tolerance);
    if (x < 0) return 0;
    last = TStrProtItem::Split(static_cast<std::uint16_t>(x));
    return -1;
  }
  const bool marks_equal = IsNearCfg(params.Logic[0][0], params.Logic[1][0], decode_tolerance);
  const bool one_fewer_before = std::any_of(elements.begin(), elements.end() - 1, [&](const TStrProtItem& e) {
    return e.IsData() && e.Value + 1 == last.Value;
  });
  const bool four_and_one = (last.Value - 1) % 4 == 0;
  if (!marks_equal && !one_fewer_before && !four_and_one) return 0;
  const int x = FindTailSplitCode(params, m, decode_tolerance);
  if (x < 0) return 0;
  --elements.back().Value;
  elements.push_back(TStrProtItem::Split(static_cast<std::uint16_t>(x)));
  return -1;
}

}  // namespace klimavo::ir::detail
