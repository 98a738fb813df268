// The assisted decode: the blind reading first, the other readings in a fixed
// order only where the blind one fails or looks wrong, and the best of them.

#include "ir/assisted_decode.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>

#include "base/text.h"
#include "ir/assist_internal.h"
#include "ir/decode.h"
#include "ir/known_format.h"
#include "ir/protocol.h"
#include "ir/tolerance.h"

namespace klimavo::ir {
namespace assist {
namespace {

constexpr int kBitsPerByte = 8;
constexpr const char* kPartialGroupDoubt = "a data group of ";
constexpr const char* kSplitRunDoubt = " pairs in a row read as split codes";
// Split codes agree within 8 % or 50 µs, as in the blind decoder.
constexpr double kSplitFactor = 0.08;
// Classes whose marks (or spaces) agree within 9 % count as equal in the
// explanation of a merge, as the blind decoder equalises logic durations.
constexpr double kSameDurationFactor = 0.09;
// The widest tolerance tried: beyond it short and long durations of common
// codes (1:2 and 1:3 ratios) would run together.
constexpr double kWidestTolerance = 0.40;
// A class is a candidate for merging when it lies within this of a data class.
constexpr double kNearMissFactor = 0.45;
// Tolerance candidates are tried at most this many; each is a whole percent a
// little above the distance that merges a class.
constexpr std::size_t kMaxToleranceTries = 3;
constexpr double kToleranceMargin = 0.02;
constexpr double kNarrowerTolerances[] = {0.15, 0.10};
// Data broken into at least this many groups counts as fragmented.
constexpr int kFragmentedGroups = 4;
// A run of this many split elements using at least kSplitRunCodes codes.
constexpr std::size_t kSplitRun = 8;
constexpr std::size_t kSplitRunCodes = 3;

std::int64_t Magnitude(std::int64_t v) { return v < 0 ? -v : v; }

double Relative(std::int64_t a, std::int64_t b) {
  const std::int64_t mb = Magnitude(b);
  if (mb == 0) return a == 0 ? 0.0 : 1e9;
  return static_cast<double>(Magnitude(Magnitude(a) - mb)) / static_cast<double>(mb);
}

// Pair classes and the number of members of each.
struct Classes {
  TIRWaveStruArr shapes;
  TClassIndexArr indexes;
  std::vector<std::size_t> counts;
};

TIRIntegerArr PreparedMicros(const TIRIntegerArr& ticks) {
  TIRIntegerArr micros;
  micros.reserve(ticks.size() + 1);
  for (const std::int32_t d : ticks) micros.push_back(TicksToMicros(d));
  if (ticks.size() >= 2 && ticks.back() > 0) micros.push_back(TicksToMicros(ticks[1]));
  return micros;
}

// The pair classes of ClassifyPairs, computed here with IsNear for one or two
// tolerances: the classification's per-tolerance cache would be rebuilt for
// every tolerance asked about.
Classes ClassesOf(const TIRIntegerArr& micros, double tolerance) {
  Classes c;
  const std::size_t n = micros.size();
  if (n <= 2) return c;
  // IsNear(a, ref, tolerance, tolerance) with the rounding done once per reference.
  struct Window {
    std::int64_t ref = 0;
    std::int64_t low = 0;
    std::int64_t high = 0;
    static Window Of(std::int64_t ref, double tolerance) {
      const std::int64_t magnitude = ref < 0 ? -ref : ref;
      const std::int64_t t =
          RoundHalfEven(tolerance >= 1.0 ? tolerance : static_cast<double>(magnitude) * tolerance);
      return {ref, magnitude - t, magnitude + t};
    }
    bool Contains(std::int64_t a) const {
      if (a == ref) return true;
      if ((a > 0 && ref < 0) || (a < 0 && ref > 0)) return false;
      const std::int64_t magnitude = a < 0 ? -a : a;
      return low <= magnitude && magnitude <= high;
    }
  };
  const std::size_t length = micros[n - 1] > 0 ? n + 1 : n;
  auto at = [&](std::size_t i) -> std::int64_t { return i < n ? micros[i] : micros[n - 2]; };
  std::vector<std::pair<Window, Window>> running;
  std::vector<std::int64_t> mark_sums;
  std::vector<std::int64_t> space_sums;
  for (std::size_t i = 0; i < length / 2; ++i) {
    const std::int64_t mark = at(2 * i);
    const std::int64_t space = at(2 * i + 1);
    std::size_t k = 0;
    while (k < running.size() && !(running[k].first.Contains(mark) && running[k].second.Contains(space))) ++k;
    if (k == running.size()) {
      running.emplace_back(Window::Of(mark, tolerance), Window::Of(space, tolerance));
      mark_sums.push_back(0);
      space_sums.push_back(0);
      c.counts.push_back(0);
    } else {
      // The running mean, round((class + pair) / 2), halves to even.
      auto mean = [](std::int64_t a, std::int64_t b) {
        return RoundHalfEven((static_cast<double>(a) + static_cast<double>(b)) / 2.0);
      };
      running[k] = {Window::Of(mean(running[k].first.ref, mark), tolerance),
                    Window::Of(mean(running[k].second.ref, space), tolerance)};
    }
    mark_sums[k] += mark;
    space_sums[k] += space;
    ++c.counts[k];
    c.indexes.push_back(static_cast<std::uint32_t>(k));
  }
  for (std::size_t k = 0; k < running.size(); ++k) {
    const auto members = static_cast<std::int64_t>(c.counts[k]);
    c.shapes.push_back({mark_sums[k] / members, space_sums[k] / members});
  }
  return c;
}

// The codes of a reading as classes: its logic codes and the split codes of
// pairs inside the signal (the final pair's space is not a real duration).
// A code's count is the number of its uses, so that a rare code is the one
// merged into a common one.
Classes CodesOf(const Tcomp_aval& r) {
  Classes c;
  const TIRGsPara& p = r.Params;
  const int logic = std::min<int>(p.LogicCount, TIRGsPara::kMaxLogic);
  for (int k = 0; k < logic; ++k) {
    c.shapes.push_back({p.Logic[k][0], p.Logic[k][1]});
    c.counts.push_back(std::numeric_limits<std::size_t>::max() / 2);  // data: never the rarer one
  }
  const int splits = std::min<int>(p.SplitCount, TIRGsPara::kMaxSplit);
  std::vector<std::size_t> uses(static_cast<std::size_t>(splits), 0);
  const TStrProt_Listbase& e = r.Protocol.Elements;
  for (std::size_t i = 0; i + 1 < e.size(); ++i)
    if (!e[i].IsData() && e[i].Value < splits) ++uses[e[i].Value];
  for (int k = 0; k < splits; ++k) {
    if (uses[static_cast<std::size_t>(k)] == 0) continue;
    c.shapes.push_back({p.Split[k][0], p.Split[k][1]});
    c.counts.push_back(uses[static_cast<std::size_t>(k)]);
  }
  return c;
}

// Tolerances that would merge a near-miss class into a class with more
// members, ascending.
std::vector<double> WiderTolerances(const Classes& c, double tolerance) {
  std::set<int> percents;
  for (std::size_t k = 0; k < c.shapes.size(); ++k) {
    double need = 1e9;
    for (std::size_t d = 0; d < c.shapes.size(); ++d) {
      if (d == k || c.counts[d] < 2 || c.counts[d] < c.counts[k]) continue;
      need = std::min(need, std::max(Relative(c.shapes[k].First, c.shapes[d].First),
                                     Relative(c.shapes[k].Second, c.shapes[d].Second)));
    }
    if (need <= tolerance || need > kNearMissFactor) continue;
    const int percent = static_cast<int>(std::ceil((need + kToleranceMargin) * 100.0));
    if (percent <= kWidestTolerance * 100.0 && percent > tolerance * 100.0) percents.insert(percent);
  }
  std::vector<double> out;
  for (const int p : percents) {
    if (out.size() == kMaxToleranceTries) break;
    out.push_back(p / 100.0);
  }
  return out;
}

const char* KindOfDifference(const TIRWaveStruArr& shapes) {
  bool marks_same = true;
  bool spaces_same = true;
  for (const TIRWaveStru& s : shapes) {
    marks_same = marks_same && IsNear(s.First, shapes[0].First, kSameDurationFactor, kSameDurationFactor);
    spaces_same = spaces_same && IsNear(s.Second, shapes[0].Second, kSameDurationFactor, kSameDurationFactor);
  }
  if (marks_same && !spaces_same) return "space";
  if (spaces_same && !marks_same) return "mark";
  return "pair";
}

std::string ShapesText(const TIRWaveStruArr& shapes) {
  std::string out;
  for (std::size_t i = 0; i < shapes.size(); ++i) {
    if (i) out += i + 1 == shapes.size() ? " and " : ", ";
    out += PairText(shapes[i].First, shapes[i].Second);
  }
  return out;
}

// How the classes at `from` regroup at `to`: the largest merge (wider) or
// parting (narrower), as "two space classes merged: (..) and (..)".
AssistChange ToleranceChange(const TIRIntegerArr& micros, double from, double to) {
  const Classes before = ClassesOf(micros, from);
  const Classes after = ClassesOf(micros, to);
  const bool wider = to > from;
  const Classes& many = wider ? before : after;
  const Classes& few = wider ? after : before;
  std::map<std::uint32_t, std::set<std::uint32_t>> groups;  // class of `few` -> classes of `many`
  for (std::size_t p = 0; p < many.indexes.size() && p < few.indexes.size(); ++p)
    groups[few.indexes[p]].insert(many.indexes[p]);
  const std::set<std::uint32_t>* largest = nullptr;
  for (const auto& [cls, members] : groups)
    if (!largest || members.size() > largest->size()) largest = &members;
  AssistChange change{"tolerance " + PercentText(to), ""};
  if (!largest || largest->size() < 2) {
    change.why = wider ? "pairs jittered beyond " + PercentText(from) + " read alike"
                       : "durations closer than " + PercentText(from) + " apart read apart";
    return change;
  }
  TIRWaveStruArr shapes;
  for (const std::uint32_t k : *largest) shapes.push_back(many.shapes[k]);
  change.why = CountWord(shapes.size()) + " " + KindOfDifference(shapes) + " classes " +
               (wider ? "merged: " : "parted: ") + ShapesText(shapes);
  return change;
}

bool HasDoubts(const Tcomp_aval& r) { return !DoubtsAbout(r).empty(); }

bool LogicStartsWithSpace(const TIRGsPara& p) {
  if (IsBiphaseFormat(p)) return false;
  for (int k = 0; k < std::min<int>(p.LogicCount, TIRGsPara::kMaxLogic); ++k)
    if (p.Logic[static_cast<std::size_t>(k)][0] <= 0) return true;
  return false;
}

// Marks and spaces swapped back; a leading space (idle before the signal, or
// the first real space once the marks are restored) carries nothing.
Reading ReadInvertedPolarity(const TIRIntegerArr& ticks, const Request& request) {
  Reading r;
  TIRIntegerArr inverted;
  inverted.reserve(ticks.size());
  for (const std::int32_t d : ticks)
    inverted.push_back(d == std::numeric_limits<std::int32_t>::min() ? kUnusedDuration : -d);
  std::size_t start = 0;
  while (start < inverted.size() && inverted[start] <= 0) ++start;
  inverted.erase(inverted.begin(), inverted.begin() + static_cast<std::ptrdiff_t>(start));
  Reading single = ReadSingleSection(inverted, request);
  if (!single.ok) return r;
  r = std::move(single);
  const bool starts_with_space = !ticks.empty() && ticks[0] < 0;
  r.changes.insert(r.changes.begin(),
                   AssistChange{"polarity inverted",
                                starts_with_space ? "the capture begins with a space and reads with marks "
                                                    "and spaces swapped"
                                                  : "the logic codes began with a space; with marks and "
                                                    "spaces swapped they begin with a mark"});
  return r;
}

bool HasSplitRun(const Tcomp_aval& r) {
  for (const std::string& doubt : DoubtsAbout(r))
    if (doubt.find(kSplitRunDoubt) != std::string::npos) return true;
  return false;
}

bool StartsWithShortGroup(const Tcomp_aval& r) {
  const TStrProt_Listbase& e = r.Protocol.Elements;
  return !e.empty() && e[0].IsData() && e[0].Value < kBitsPerByte;
}

bool OnlyPartialGroups(const std::vector<std::string>& doubts) {
  return doubts.size() == 1 && doubts[0].rfind(kPartialGroupDoubt, 0) == 0;
}

std::string TriedText(const std::vector<std::string>& tried) {
  std::string out;
  for (std::size_t i = 0; i < tried.size(); ++i) out += (i ? "; " : "") + tried[i];
  return out;
}

std::string DoubtsText(const std::vector<std::string>& doubts) {
  std::string out;
  for (std::size_t i = 0; i < doubts.size(); ++i) out += (i ? "; " : "") + doubts[i];
  return out;
}

}  // namespace

namespace {

// The shape of a reading's structure, doubts and strain left out.
Score ShapeOf(const Tcomp_aval& result) {
  Score s;
  const TStrProt_Listbase& e = result.Protocol.Elements;
  std::map<std::uint16_t, int> uses;
  for (const TStrProtItem& item : e) {
    if (item.IsData()) {
      ++s.groups;
      if (item.Value % kBitsPerByte != 0) ++s.partial_groups;
    } else {
      ++uses[item.Value];
    }
  }
  // A split code seen once between two data groups, shaped almost like a logic
  // code: a data pair jittered out of its class. A separator of its own shape
  // (a mid-frame gap) is not counted.
  const TIRGsPara& p = result.Params;
  auto near_logic = [&](std::uint16_t split) {
    if (split >= std::min<int>(p.SplitCount, TIRGsPara::kMaxSplit)) return false;
    const auto& code = p.Split[split];
    for (int k = 0; k < std::min<int>(p.LogicCount, TIRGsPara::kMaxLogic); ++k) {
      if (Relative(code[0], p.Logic[k][0]) <= kNearMissFactor &&
          Relative(code[1], p.Logic[k][1]) <= kNearMissFactor)
        return true;
    }
    return false;
  };
  for (std::size_t i = 1; i + 1 < e.size(); ++i) {
    if (!e[i].IsData() && e[i - 1].IsData() && e[i + 1].IsData() && uses[e[i].Value] == 1 &&
        near_logic(e[i].Value))
      ++s.lone_classes;
  }
  return s;
}

}  // namespace

Score ScoreOf(const Tcomp_aval& result, int strain) {
  Score s = ShapeOf(result);
  s.doubtful = DoubtsAbout(result).empty() ? 0 : 1;
  s.strain = strain;
  return s;
}

bool Blind(const TIRIntegerArr& ticks, const Request& request, double tolerance, Tcomp_aval& out) {
  return DecodeCapture(ticks, request.carrier, request.both_orders, request.lsb_first, tolerance, out);
}

Tcomp_aval BuildResult(const TStrProt_Listbase& elements, const TSSByteArray& bits,
                       const TSSByteArray& bits_msb, const TIRGsPara& params, const Request& request) {
  Tcomp_aval r;
  const std::size_t kept = std::min(elements.size(), kMaxProtocolElements);
  r.Protocol.Elements.assign(elements.begin(), elements.begin() + static_cast<std::ptrdiff_t>(kept));
  r.Protocol.Repeat = 1;
  DetectRepeat(bits, r.Protocol);
  const bool lsb = request.both_orders || request.lsb_first;
  BitsToBytes(r.Protocol.Elements, lsb ? bits : bits_msb, lsb, r.Bytes);
  if (request.both_orders) BitsToBytes(r.Protocol.Elements, bits_msb, false, r.BytesMsb);
  const TSSByteArray& kept_bits = lsb ? bits : bits_msb;
  std::size_t count = kept_bits.size();
  if (r.Protocol.Repeat > 1) count /= static_cast<std::size_t>(r.Protocol.Repeat);
  r.Bits.assign(kept_bits.begin(), kept_bits.begin() + static_cast<std::ptrdiff_t>(count));
  r.Carrier = request.carrier;
  r.Params = params;
  r.Params.Carrier = static_cast<std::uint16_t>(request.carrier);
  r.Protocol.Elements = MergeElements(r.Protocol.Elements);
  for (int k = 0; k < std::min<int>(r.Params.LogicCount, TIRGsPara::kMaxLogic); ++k)
    r.LogicCodes.push_back(r.Params.LogicDurations(k));
  return r;
}

int FindOrAddSplit(TIRGsPara& params, std::int64_t mark, std::int64_t space, bool mark_only) {
  const int count = std::min<int>(params.SplitCount, TIRGsPara::kMaxSplit);
  for (int k = 0; k < count; ++k) {
    const auto& code = params.Split[static_cast<std::size_t>(k)];
    if (IsNearAbs50(mark, code[0], kSplitFactor) && (mark_only || IsNearAbs50(space, code[1], kSplitFactor)))
      return k;
  }
  if (count >= TIRGsPara::kMaxSplit) return -1;
  auto slot = [](std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, -kUnusedDuration, kUnusedDuration));
  };
  params.Split[static_cast<std::size_t>(count)] = {slot(mark), slot(space)};
  params.SplitCount = static_cast<std::uint8_t>(count + 1);
  return count;
}

std::string PairText(std::int64_t mark, std::int64_t space) {
  return base::Concat({"(", std::to_string(mark), ",", std::to_string(space), ")"});
}

std::string PercentText(double tolerance) {
  return std::to_string(static_cast<long long>(std::llround(tolerance * 100.0))) + " %";
}

std::string CountWord(std::size_t n) {
  static const char* const kWords[] = {"no", "one", "two", "three", "four", "five", "six", "seven", "eight"};
  return n < std::size(kWords) ? kWords[n] : std::to_string(n);
}

Reading ReadWithOtherTolerance(const TIRIntegerArr& ticks, const Request& request, const Tcomp_aval* plain,
                               std::vector<double>* tried) {
  Reading best;
  // Another tolerance only changes which pairs share a class: worth a try when
  // the blind reading failed, is in fragments, or holds a split code shaped
  // almost like data.
  // A bi-phase reading does not use the tolerance at all.
  if (plain && IsBiphaseFormat(plain->Params)) return best;
  const TIRIntegerArr micros = PreparedMicros(ticks);
  // The codes of the blind reading show most near misses at no cost; a reading
  // in fragments has lost its logic codes, so its pair classes are looked at.
  const bool fragmented = !plain || ShapeOf(*plain).groups >= kFragmentedGroups;
  std::vector<double> tries = fragmented
                                  ? WiderTolerances(ClassesOf(micros, request.tolerance), request.tolerance)
                                  : WiderTolerances(CodesOf(*plain), request.tolerance);
  // Durations closer together than the tolerance merge two classes that carry
  // data: the blind reading then fails or leaves runs of assorted split codes.
  const bool merged_data = !plain || HasSplitRun(*plain);
  if (merged_data)
    for (const double t : kNarrowerTolerances)
      if (t < request.tolerance) tries.push_back(t);
  double taken = request.tolerance;
  for (const double t : tries) {
    if (tried) tried->push_back(t);
    Tcomp_aval candidate;
    if (!Blind(ticks, request, t, candidate)) continue;
    const int strain = static_cast<int>(std::lround(std::fabs(t - request.tolerance) * 100.0));
    if (plain && !(ScoreOf(candidate, strain) < ScoreOf(*plain))) continue;
    if (best.ok && !(ScoreOf(candidate, strain) < ScoreOf(best))) continue;
    best.ok = true;
    best.result = std::move(candidate);
    best.strain = strain;
    taken = t;
    if (!HasDoubts(best.result)) break;  // the nearest tolerance that reads soundly
  }
  if (best.ok) best.changes = {ToleranceChange(micros, request.tolerance, taken)};
  return best;
}

Reading ReadStrayPulses(const Tcomp_aval& base, const Request& request) {
  Reading r;
  // A bi-phase bit is two half-bits, not a pair a pulse could be mistaken for.
  if (IsBiphaseFormat(base.Params)) return r;
  const TStrProt_Listbase& e = base.Protocol.Elements;
  TIRGsPara params = base.Params;
  TStrProt_Listbase out;
  TSSByteArray bits;
  std::size_t cursor = 0;
  std::vector<AssistChange> changes;
  for (std::size_t i = 0; i < e.size(); ++i) {
    const TStrProtItem& item = e[i];
    if (!item.IsData()) {
      out.push_back(item);
      continue;
    }
    const std::size_t n = item.Value;
    if (cursor + n > base.Bits.size()) return Reading{};
    const auto first = base.Bits.begin() + static_cast<std::ptrdiff_t>(cursor);
    const bool split_after = i + 1 == e.size() || !e[i + 1].IsData();
    const bool split_before = i == 0 || !e[i - 1].IsData();
    const bool all_same = std::all_of(first, first + static_cast<std::ptrdiff_t>(n),
                                      [&](std::uint8_t b) { return b == *first; });
    if (i == 0 && n < kBitsPerByte && split_after && all_same && i + 1 < e.size()) {
      // A short train of equal pulses before the first header: a lead-in.
      const auto& logic = params.Logic[*first];
      const int k = FindOrAddSplit(params, logic[0], logic[1], false);
      if (k < 0) return Reading{};
      for (std::size_t b = 0; b < n; ++b) out.push_back(TStrProtItem::Split(static_cast<std::uint16_t>(k)));
      changes.push_back({"lead-in of " + std::to_string(n) + (n == 1 ? " pulse " : " pulses ") +
                             PairText(logic[0], logic[1]) + " read as split codes",
                         "equal pulses before the first header carry no data"});
      cursor += n;
      continue;
    }
    if (n > kBitsPerByte && n % kBitsPerByte == 1 && (split_after || split_before)) {
      // One pair too many: the end pulse after the data, or a lead-in pulse
      // before data that opens the frame without a header.
      const bool drop_first = i == 0 || !split_after;
      const std::size_t dropped = drop_first ? cursor : cursor + n - 1;
      const auto& logic = params.Logic[base.Bits[dropped]];
      const int k = FindOrAddSplit(params, logic[0], logic[1], false);
      if (k < 0) return Reading{};
      if (drop_first) out.push_back(TStrProtItem::Split(static_cast<std::uint16_t>(k)));
      out.push_back(TStrProtItem::Data(static_cast<std::uint16_t>(n - 1)));
      if (!drop_first) out.push_back(TStrProtItem::Split(static_cast<std::uint16_t>(k)));
      for (std::size_t b = cursor; b < cursor + n; ++b)
        if (b != dropped) bits.push_back(base.Bits[b]);
      changes.push_back({std::string(drop_first ? "lead-in pulse " : "end pulse ") +
                             PairText(logic[0], logic[1]) + " read as a split code",
                         "a data group of " + std::to_string(n) + " bits is one more than whole bytes"});
      cursor += n;
      continue;
    }
    out.push_back(item);
    bits.insert(bits.end(), first, first + static_cast<std::ptrdiff_t>(n));
    cursor += n;
  }
  if (changes.empty()) return r;
  // The stray pulses repeat with every repetition of the structure.
  TStrProt_Listbase all;
  TSSByteArray all_bits;
  for (std::int32_t rep = 0; rep < std::max(1, base.Protocol.Repeat); ++rep) {
    all.insert(all.end(), out.begin(), out.end());
    all_bits.insert(all_bits.end(), bits.begin(), bits.end());
  }
  // Bits are already in signal order; the order of packing is all that differs.
  r.result = BuildResult(all, all_bits, all_bits, params, request);
  if (r.result.Bytes.empty()) return Reading{};
  r.ok = true;
  r.changes = std::move(changes);
  return r;
}

Reading ReadSingleSection(const TIRIntegerArr& ticks, const Request& request) {
  Reading r;
  Tcomp_aval plain;
  const bool plain_ok = Blind(ticks, request, request.tolerance, plain);
  if (plain_ok) {
    r.ok = true;
    r.result = plain;
    if (!HasDoubts(plain)) return r;
  }
  Reading wider = ReadWithOtherTolerance(ticks, request, plain_ok ? &plain : nullptr);
  if (wider.ok) r = std::move(wider);
  if (r.ok) {
    Reading stray = ReadStrayPulses(r.result, request);
    if (stray.ok && ScoreOf(stray.result, r.strain) < ScoreOf(r)) {
      r.result = std::move(stray.result);
      r.changes.insert(r.changes.end(), stray.changes.begin(), stray.changes.end());
    }
  }
  return r;
}

}  // namespace assist

std::vector<std::string> DoubtsAbout(const Tcomp_aval& result) {
  std::vector<std::string> doubts;
  const TStrProt_Listbase& e = result.Protocol.Elements;
  for (const TStrProtItem& item : e) {
    if (item.IsData() && item.Value % assist::kBitsPerByte != 0) {
      doubts.push_back(assist::kPartialGroupDoubt + std::to_string(item.Value) + " bits");
      break;
    }
  }
  const assist::Score score = assist::ShapeOf(result);
  if (score.lone_classes > 0) doubts.push_back("a lone pair class between data bits");
  if (score.groups >= assist::kFragmentedGroups && score.partial_groups > 1)
    doubts.push_back("data broken into " + std::to_string(score.groups) + " groups");
  if (assist::LogicStartsWithSpace(result.Params)) doubts.push_back("logic codes begin with a space");
  // Many pairs in a row read as assorted split codes: data the pair classes missed.
  // (A repeat signal alternates two codes, which is not counted.)
  std::size_t run = 0;
  std::set<std::uint16_t> codes;
  for (const TStrProtItem& item : e) {
    if (item.IsData()) {
      run = 0;
      codes.clear();
      continue;
    }
    ++run;
    codes.insert(item.Value);
    if (run >= assist::kSplitRun && codes.size() >= assist::kSplitRunCodes) {
      doubts.push_back(std::to_string(run) + assist::kSplitRunDoubt);
      break;
    }
  }
  return doubts;
}

AssistedDecode AssistedDecodeCapture(const TIRIntegerArr& durations, std::int32_t carrier, bool both_orders,
                                     bool lsb_first, double decode_tolerance) {
  using namespace assist;
  AssistedDecode out;
  const Request request{carrier, both_orders, lsb_first, decode_tolerance};
  out.plain_ok = Blind(durations, request, decode_tolerance, out.plain);
  std::vector<std::string> doubts =
      out.plain_ok ? DoubtsAbout(out.plain) : std::vector<std::string>{"no decoding"};
  if (out.plain_ok && doubts.empty()) {
    out.outcome = AssistOutcome::kPlain;
    out.result = out.plain;
    return out;
  }

  Reading best;
  if (out.plain_ok) {
    best.ok = true;
    best.result = out.plain;
  }
  std::vector<std::string> tried;
  // Another reading is taken only when it looks sound itself; when the blind
  // reading failed, one that keeps a data group off whole bytes may stand (the
  // blind reading would claim as much), but never one with a lone odd class or
  // data in fragments.
  auto supported = [&](const Tcomp_aval& r) {
    if (out.plain_ok) return !HasDoubts(r);
    const Score score = ShapeOf(r);
    return score.lone_classes == 0 && score.partial_groups <= 1 && !LogicStartsWithSpace(r.Params);
  };
  auto consider = [&](Reading&& candidate) {
    if (!candidate.ok || !supported(candidate.result)) return;
    if (best.ok && !(ScoreOf(candidate) < ScoreOf(best))) return;
    best = std::move(candidate);
  };

  const Tcomp_aval* plain = out.plain_ok ? &out.plain : nullptr;
  std::vector<double> tolerances;
  consider(ReadWithOtherTolerance(durations, request, plain, &tolerances));
  if (!tolerances.empty()) {
    std::string text = "tolerance";
    for (std::size_t i = 0; i < tolerances.size(); ++i) text += (i ? ", " : " ") + PercentText(tolerances[i]);
    tried.insert(tried.begin(), text);
  }
  if (!out.plain_ok || (!durations.empty() && durations[0] < 0) || LogicStartsWithSpace(out.plain.Params)) {
    tried.push_back("inverted polarity");
    consider(ReadInvertedPolarity(durations, request));
  }
  // Sections mend fragments and lone classes of a frame whose parts differ in
  // timing; when the only doubt is a group off whole bytes they change that
  // group only when it is a lead-in before the first gap.
  if (!out.plain_ok || !OnlyPartialGroups(doubts) || StartsWithShortGroup(out.plain)) {
    tried.push_back("sections at long gaps");
    consider(ReadSections(durations, request));
  }
  // Four space lengths read as two logic codes leave data in fragments, lone
  // classes or runs of split codes, never just a group off whole bytes.
  if (!out.plain_ok || !OnlyPartialGroups(doubts)) {
    tried.push_back("two-bit symbols");
    consider(ReadTwoBitSymbols(durations, request));
  }
  if (out.plain_ok) {
    tried.push_back("stray lead-in and end pulses");
    consider(ReadStrayPulses(out.plain, request));
  }
  // A stray pulse may remain in a reading that changed something else.
  if (best.ok && !best.changes.empty() && best.bits_per_symbol == 1 && best.sections == 1) {
    Reading stray = ReadStrayPulses(best.result, request);
    if (stray.ok && supported(stray.result) && ScoreOf(stray.result, best.strain) < ScoreOf(best)) {
      best.result = std::move(stray.result);
      best.changes.insert(best.changes.end(), stray.changes.begin(), stray.changes.end());
    }
  }

  const std::string tried_text = tried.empty() ? "no other reading applies" : "tried " + TriedText(tried);
  if (!best.ok) {
    out.outcome = AssistOutcome::kFailed;
    out.changes = {{"no decoding", tried_text + (tried.empty() ? "" : ": none reads the capture")}};
    return out;
  }
  if (best.changes.empty()) {
    out.outcome = AssistOutcome::kKept;
    out.result = out.plain;
    out.changes = {{"blind reading kept",
                    DoubtsText(doubts) + "; " + tried_text + (tried.empty() ? "" : ": none reads better")}};
    return out;
  }
  out.outcome = AssistOutcome::kImproved;
  out.result = std::move(best.result);
  out.sections = best.sections;
  out.bits_per_symbol = best.bits_per_symbol;
  out.changes = std::move(best.changes);
  return out;
}

}  // namespace klimavo::ir
