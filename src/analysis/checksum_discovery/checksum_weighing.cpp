#include "analysis/checksum_discovery/checksum_weighing.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <unordered_set>

#include "ir/checksum.h"

namespace klimavo::analysis::discovery {
namespace {

constexpr int kDivisionConstantBits = 16;
constexpr int kNibbleBits = 4;
constexpr std::uint8_t kOpAdd = 0;
constexpr std::uint8_t kOpXor = 2;
constexpr std::uint8_t kOpDiv = 4;
/// Pseudo-counts spread over all values when the probes estimate how often a
/// candidate computes a value: a value no probe gave is not impossible.
constexpr double kPseudoCount = 8.0;
/// Row-like probes on which a narrower candidate must agree with a wider one
/// to approximate it.
constexpr int kApproximationAgreement = kRowLikeProbes / 2;
/// Row-like probes on which two candidates for one target must agree to be
/// rivals the codes cannot tell apart. Codes like the rows vary in few bits,
/// so unrelated values agree there more often than on random codes; a
/// coincidence that holds for half the values a field can take agrees on half.
constexpr int kRivalAgreement = kRowLikeProbes * 3 / 8;
static_assert(kUniformProbes == kRowLikeProbes);

const TargetInfo& TargetOf(const SearchSpace& space, const Candidate& c) {
  return space.Targets(c.found.target_width_index)[static_cast<std::size_t>(c.found.target)];
}

ir::TCrcZone ZoneOf(const ZoneInfo& z) { return {z.start_frame, z.start_bit, z.end_frame, z.end_bit}; }

// The distinct rows over the bits a candidate reads and writes, each by its
// target value.
std::vector<std::uint8_t> TargetValuesOfDifferentRows(const SearchSpace& space, const Candidate& c) {
  std::vector<std::pair<int, int>> ranges;
  for (int zone : {c.found.zone1, c.found.zone2})
    if (zone >= 0)
      ranges.emplace_back(space.Zones()[static_cast<std::size_t>(zone)].first,
                          space.Zones()[static_cast<std::size_t>(zone)].last);
  const TargetInfo& t = TargetOf(space, c);
  ranges.emplace_back(t.first, t.first + t.width - 1);
  std::unordered_set<std::uint64_t> seen;
  std::vector<std::uint8_t> values;
  for (int r = 0; r < space.Rows(); ++r) {
    const ir::TSSByteArray& bits = space.SlotBits(r);
    std::uint64_t projection = 0xcbf29ce484222325ULL;  // FNV-1a over the bits read and written
    for (const auto& [first, last] : ranges)
      for (int i = first; i <= last; ++i)
        projection = (projection ^ bits[static_cast<std::size_t>(i)]) * 0x100000001b3ULL;
    if (seen.insert(projection).second) values.push_back(t.value[static_cast<std::size_t>(r)]);
  }
  return values;
}

double Log(int n) { return std::log2(std::max(1, n)); }

// No constant half the time; "+" and "xor" an eighth each, the rest a sixteenth.
double ConstantOperationBits(const ir::TCrcItem& item) {
  if (item.Const == 0) return 1;
  return item.ConstOp == kOpAdd || item.ConstOp == kOpXor ? 3 : 4;
}

struct Span {
  int first;
  int width;
};

// How many probes (from `first`, `count` of them) give the same bits from
// both candidates at the code positions [from, to).
int Agreement(const Candidate& a, Span sa, const Candidate& b, Span sb, int from, int to, bool lsb_first,
              int first, int count) {
  auto bit_at = [lsb_first](std::uint32_t value, Span s, int position) {
    const int i = position - s.first;
    return (value >> (lsb_first ? i : s.width - 1 - i)) & 1u;
  };
  int agree = 0;
  for (auto p = static_cast<std::size_t>(first); p < static_cast<std::size_t>(first + count); ++p) {
    bool same = true;
    for (int pos = from; pos < to && same; ++pos)
      same = bit_at(a.probe_values[p], sa, pos) == bit_at(b.probe_values[p], sb, pos);
    agree += same ? 1 : 0;
  }
  return agree;
}

// True when one of the candidate's zones covers a bit of the span.
bool ReadsFrom(const SearchSpace& space, const Candidate& c, Span span) {
  for (int zone : {c.found.zone1, c.found.zone2}) {
    if (zone < 0) continue;
    const ZoneInfo& z = space.Zones()[static_cast<std::size_t>(zone)];
    if (z.first < span.first + span.width && span.first <= z.last) return true;
  }
  return false;
}

// True when every zone of the candidate ends before its target begins.
bool Precedes(const SearchSpace& space, const Candidate& c) {
  const int target = TargetOf(space, c).first;
  for (int zone : {c.found.zone1, c.found.zone2})
    if (zone >= 0 && space.Zones()[static_cast<std::size_t>(zone)].last >= target) return false;
  return true;
}

}  // namespace

Candidate MakeCandidate(const SearchSpace& space, const Found& f) {
  const Hypothesis& h = Hypotheses()[f.hypothesis];
  const TargetInfo& t = space.Targets(f.target_width_index)[static_cast<std::size_t>(f.target)];
  Candidate c;
  c.found = f;
  ir::TCrcItem& item = c.item;
  item.TargetFrame = t.frame;
  item.TargetBit = t.bit;
  item.TargetWidth = t.width;
  item.ZoneCount = f.zone2 < 0 ? 1 : 2;
  item.Zones[0] = ZoneOf(space.Zones()[static_cast<std::size_t>(f.zone1)]);
  if (f.zone2 >= 0) item.Zones[1] = ZoneOf(space.Zones()[static_cast<std::size_t>(f.zone2)]);
  item.Kind = h.kind;
  item.OperandWidth = static_cast<std::uint8_t>(kOperandWidths[h.width_index]);
  item.Const = f.constant;
  item.ConstOp = f.constant == 0 ? 0 : f.const_op;
  return c;
}

std::uint32_t ValueInSlot(const SearchSpace& space, const Candidate& c, int slot) {
  const Hypothesis& h = Hypotheses()[c.found.hypothesis];
  const std::uint32_t raw = space.CombinedRaw(h, c.found.zone1, c.found.zone2, slot);
  return FinishValue(raw, c.item.Kind, c.item.Const, c.item.ConstOp, c.item.TargetWidth);
}

bool HoldsOnRows(const SearchSpace& space, const Candidate& c) {
  const TargetInfo& t = TargetOf(space, c);
  for (int r = 0; r < space.Rows(); ++r)
    if (ValueInSlot(space, c, r) != t.value[static_cast<std::size_t>(r)]) return false;
  return true;
}

void FillProbeValues(const SearchSpace& space, Candidate& c) {
  for (int p = 0; p < kProbeCount; ++p)
    c.probe_values[static_cast<std::size_t>(p)] = ValueInSlot(space, c, space.Rows() + p);
}

double Evidence(const SearchSpace& space, const Candidate& c) {
  const int width = c.item.TargetWidth;
  // A row can tell no more than the target bits that change between the rows.
  const TargetInfo& t = TargetOf(space, c);
  int changing = 0;
  for (int i = 0; i < t.width; ++i) changing += space.Changes(t.first + i) ? 1 : 0;
  // How the candidate's values spread over random codes.
  std::array<int, 256> seen{};
  for (int p = 0; p < kUniformProbes; ++p) ++seen[c.probe_values[static_cast<std::size_t>(p)] & 0xFF];
  const double spread = kPseudoCount / static_cast<double>(1u << width);
  double evidence = 0;
  double most = 0;
  for (std::uint8_t value : TargetValuesOfDifferentRows(space, c)) {
    const double chance = (seen[value] + spread) / (kUniformProbes + kPseudoCount);
    const double bits = std::min<double>(changing, -std::log2(chance));
    evidence += bits;
    most = std::max(most, bits);
  }
  if (c.item.Const == 0) return evidence;
  // A constant solved from one row takes that row's evidence; a divisor may
  // be any of 65534.
  if (c.item.ConstOp == kOpDiv) return evidence - kDivisionConstantBits;
  if (ir::FindCrcKind(c.item.Kind)->nibble_swap) return evidence - most - kNibbleBits;
  return evidence - most;
}

DescriptionLength::DescriptionLength(const SearchSpace& space) : space_(space) {
  const FrameLayout& layout = space.Layout();
  for (int f = 0; f < layout.Frames(); ++f) {
    const int length = layout.length[static_cast<std::size_t>(f)];
    byte_starts_ += (length + 7) / 8 - 1;
    nibble_starts_ += (length + 3) / 4 - (length + 7) / 8;
    byte_ends_ += length / 8;
  }
  natural_ = layout.Frames() + 1;
  for (int w = 0; w < 2; ++w)
    for (const TargetInfo& t : space.Targets(w))
      (t.bit % t.width == 0 ? aligned_ : unaligned_)[static_cast<std::size_t>(w)]++;
}

double DescriptionLength::Bits(const Candidate& c) const {
  const TargetInfo& t = TargetOf(space_, c);
  const auto w = static_cast<std::size_t>(c.found.target_width_index);
  // One zone three times in four; a target on its own boundary three times in four.
  double bits = c.found.zone2 < 0 ? std::log2(4.0 / 3.0) : 2.0;
  bits += 1 + (t.bit % t.width == 0 ? std::log2(4.0 / 3.0) + Log(aligned_[w]) : 2 + Log(unaligned_[w]));
  for (int zone : {c.found.zone1, c.found.zone2}) {
    if (zone < 0) continue;
    const ZoneInfo& z = space_.Zones()[static_cast<std::size_t>(zone)];
    const int frame_end = space_.Layout().length[z.end_frame] - 1;
    if (z.start_bit == 0 || z.first == t.first + t.width)
      bits += 1 + Log(natural_);
    else
      bits += 2 + Log(z.start_bit % 8 == 0 ? byte_starts_ : nibble_starts_);
    if (z.end_bit == frame_end || z.last == t.first - 1)
      bits += 1 + Log(natural_);
    else
      bits += 2 + Log((z.end_bit + 1) % 8 == 0 ? byte_ends_ : space_.Layout().total);
  }
  bits += std::log2(static_cast<double>(Hypotheses().size()));
  return bits + ConstantOperationBits(c.item);
}

namespace {

// The candidates by target, each group in listing order.
struct Group {
  Span span;
  int first_changing;  ///< the first and last target bit that changes between the rows
  int last_changing;
  std::vector<std::size_t> members;
};

struct Groups {
  std::vector<Group> all;
  std::vector<std::size_t> of;  ///< by candidate
};

Groups GroupByTarget(const SearchSpace& space, const std::vector<Candidate>& kept) {
  Groups groups;
  groups.of.resize(kept.size());
  for (std::size_t i = 0; i < kept.size(); ++i) {
    const TargetInfo& t = TargetOf(space, kept[i]);
    auto it = std::find_if(groups.all.begin(), groups.all.end(), [&](const Group& g) {
      return g.span.first == t.first && g.span.width == t.width;
    });
    if (it == groups.all.end()) {
      Group g{{t.first, t.width}, t.first + t.width, t.first - 1, {}};
      for (int pos = t.first; pos < t.first + t.width; ++pos) {
        if (!space.Changes(pos)) continue;
        g.first_changing = std::min(g.first_changing, pos);
        g.last_changing = std::max(g.last_changing, pos);
      }
      groups.all.push_back(g);
      it = groups.all.end() - 1;
    }
    it->members.push_back(i);
    groups.of[i] = static_cast<std::size_t>(it - groups.all.begin());
  }
  return groups;
}

// Candidate i restates or approximates a candidate for another target.
bool RestatesAnother(const SearchSpace& space, const std::vector<Candidate>& kept, const Groups& groups,
                     std::size_t i) {
  const Group& mine = groups.all[groups.of[i]];
  const Span n = mine.span;
  const bool lsb_first = space.LsbFirst();
  // A target whose changing bits lie in a wider (or, as wide, a better)
  // candidate's target, judged on codes like the rows, where the other
  // checksum's own bits are not random.
  for (const Group& other : groups.all) {
    const Span w = other.span;
    if (&other == &mine || w.first > mine.first_changing || mine.last_changing >= w.first + w.width) continue;
    if (w.width < n.width) continue;
    // Read from the wider target's own bits, it only restates that checksum.
    if (w.width > n.width && ReadsFrom(space, kept[i], w)) return true;
    const int from = std::max(n.first, w.first);
    const int to = std::min(n.first + n.width, w.first + w.width);
    for (std::size_t j : other.members) {
      if (w.width == n.width && j > i) break;
      if (Agreement(kept[i], n, kept[j], w, from, to, lsb_first, kUniformProbes, kRowLikeProbes) >=
          kApproximationAgreement)
        return true;
    }
  }
  // Two candidates that each read the other's target state one constraint
  // twice (a sum over all bytes is 0; every byte is the exclusive or of the
  // others): the one whose zones come before its target is the checksum.
  if (Precedes(space, kept[i])) return false;
  for (std::size_t j = 0; j < kept.size(); ++j) {
    const Span w = groups.all[groups.of[j]].span;
    if (groups.of[j] != groups.of[i] && Precedes(space, kept[j]) && ReadsFrom(space, kept[i], w) &&
        ReadsFrom(space, kept[j], n))
      return true;
  }
  return false;
}

// The candidate that candidate i is a rival of: one for its target, with more
// evidence to spare, that computes the same on many codes like the rows.
// `open` learns whether the two differ on some random code.
std::optional<std::size_t> FoldsIntoRival(const std::vector<Candidate>& kept, const Groups& groups,
                                          std::size_t i, bool& open) {
  for (std::size_t j : groups.all[groups.of[i]].members) {
    if (j == i || kept[j].surplus < kept[i].surplus || (kept[j].surplus == kept[i].surplus && j > i))
      continue;
    int agree = 0;
    for (int p = kUniformProbes; p < kProbeCount; ++p)
      agree += kept[i].probe_values[static_cast<std::size_t>(p)] ==
               kept[j].probe_values[static_cast<std::size_t>(p)];
    if (agree < kRivalAgreement) continue;
    open = false;
    for (int p = 0; p < kUniformProbes; ++p)
      open = open || kept[i].probe_values[static_cast<std::size_t>(p)] !=
                         kept[j].probe_values[static_cast<std::size_t>(p)];
    return j;
  }
  return std::nullopt;
}

}  // namespace

void DropApproximations(const SearchSpace& space, std::vector<Candidate>& kept,
                        std::vector<LeftOutRival>& rivals) {
  // First what restates a checksum of another target, then the rivals among
  // what is left: a rival of a restatement says nothing about the codes.
  std::vector<Candidate> own;
  const Groups groups = GroupByTarget(space, kept);
  for (std::size_t i = 0; i < kept.size(); ++i)
    if (!RestatesAnother(space, kept, groups, i)) own.push_back(kept[i]);
  kept = std::move(own);

  // Each rival folds into a candidate listed before it or with more evidence
  // to spare, which may itself fold into another: the one at the end of that
  // chain is the one kept.
  const Groups left = GroupByTarget(space, kept);
  std::vector<std::optional<std::size_t>> folds_into(kept.size());
  std::vector<bool> open(kept.size(), false);
  for (std::size_t i = 0; i < kept.size(); ++i) {
    bool differs = false;
    folds_into[i] = FoldsIntoRival(kept, left, i, differs);
    open[i] = differs;
  }
  std::vector<std::size_t> new_index(kept.size(), 0);
  own.clear();
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (folds_into[i]) continue;
    new_index[i] = own.size();
    own.push_back(kept[i]);
  }
  for (std::size_t i = 0; i < kept.size(); ++i) {
    if (!folds_into[i] || !open[i]) continue;
    std::size_t survivor = *folds_into[i];
    while (folds_into[survivor]) survivor = *folds_into[survivor];
    rivals.push_back({kept[i], new_index[survivor]});
  }
  kept = std::move(own);
}

bool Disagree(const std::vector<Candidate>& kept) {
  std::unordered_set<std::uint32_t> targets;
  for (const Candidate& c : kept) {
    const std::uint32_t key = (std::uint32_t{c.item.TargetFrame} << 24) |
                              (std::uint32_t{c.item.TargetBit} << 8) | c.item.TargetWidth;
    if (!targets.insert(key).second) return true;
  }
  return false;
}

}  // namespace klimavo::analysis::discovery
