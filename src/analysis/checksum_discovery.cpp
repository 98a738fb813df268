#include "analysis/checksum_discovery.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <unordered_set>

#include "analysis/checksum_search.h"
#include "ir/checksum.h"
#include "ir/protocol.h"

namespace klimavo::analysis {
namespace {

using discovery::Found;
using discovery::Hypotheses;
using discovery::SearchSpace;

/// Bits of evidence a candidate needs beyond its description length.
constexpr double kChanceMargin = 2.0;
/// Candidates of one tier examined in listing order; more are left unexamined.
constexpr std::size_t kMaxExaminedPerTier = 4000;
/// Different candidates kept for the comparison behind the note.
constexpr std::size_t kMaxCompared = 200;
constexpr int kDivisionConstantBits = 16;
constexpr int kNibbleBits = 4;
constexpr std::uint8_t kOpAdd = 0;
constexpr std::uint8_t kOpXor = 2;
constexpr std::uint8_t kOpDiv = 4;

enum class Tier { OneZone, OneZoneConstant, TwoZones, TwoZonesConstant };
constexpr std::array<Tier, 4> kTiers{Tier::OneZone, Tier::OneZoneConstant, Tier::TwoZones,
                                     Tier::TwoZonesConstant};

struct Candidate {
  ir::TCrcItem item;
  Found found;
  std::array<std::uint32_t, discovery::kProbeCount> probe_values{};
};

ir::TCrcZone ZoneOf(const discovery::ZoneInfo& z) {
  return {z.start_frame, z.start_bit, z.end_frame, z.end_bit};
}

ir::TCrcItem ItemOf(const SearchSpace& space, const Found& f) {
  const discovery::Hypothesis& h = Hypotheses()[f.hypothesis];
  const discovery::TargetInfo& t = space.Targets(f.target_width_index)[static_cast<std::size_t>(f.target)];
  ir::TCrcItem item;
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
  return item;
}

std::uint32_t ValueInSlot(const SearchSpace& space, const Candidate& c, int slot) {
  const discovery::Hypothesis& h = Hypotheses()[c.found.hypothesis];
  const std::uint32_t raw = space.CombinedRaw(h, c.found.zone1, c.found.zone2, slot);
  return FinishValue(raw, c.item.Kind, c.item.Const, c.item.ConstOp, c.item.TargetWidth);
}

// How many rows differ over the bits the candidate reads and writes.
int DifferentRows(const SearchSpace& space, const Candidate& c) {
  std::vector<std::pair<int, int>> ranges;
  ranges.emplace_back(space.Zones()[static_cast<std::size_t>(c.found.zone1)].first,
                      space.Zones()[static_cast<std::size_t>(c.found.zone1)].last);
  if (c.found.zone2 >= 0)
    ranges.emplace_back(space.Zones()[static_cast<std::size_t>(c.found.zone2)].first,
                        space.Zones()[static_cast<std::size_t>(c.found.zone2)].last);
  const auto& t = space.Targets(c.found.target_width_index)[static_cast<std::size_t>(c.found.target)];
  ranges.emplace_back(t.first, t.first + t.width - 1);
  std::unordered_set<std::string> seen;
  for (int r = 0; r < space.Rows(); ++r) {
    std::string projection;
    for (const auto& [first, last] : ranges)
      for (int i = first; i <= last; ++i)
        projection.push_back(static_cast<char>(space.SlotBits(r)[static_cast<std::size_t>(i)]));
    seen.insert(std::move(projection));
  }
  return static_cast<int>(seen.size());
}

// The target bits that change between the rows: only they carry evidence.
int ChangingTargetBits(const SearchSpace& space, const Candidate& c) {
  const auto& t = space.Targets(c.found.target_width_index)[static_cast<std::size_t>(c.found.target)];
  int bits = 0;
  for (int i = 0; i < t.width; ++i) bits += space.Changes(t.first + i) ? 1 : 0;
  return bits;
}

// Evidence in bits: each row that differs over the candidate's bits fixes the
// changing target bits by chance with probability 2^-bits; a solved constant
// takes back what it was free to absorb.
double Evidence(const SearchSpace& space, const Candidate& c) {
  const int bits = ChangingTargetBits(space, c);
  double evidence = static_cast<double>(bits) * DifferentRows(space, c);
  if (c.item.Const == 0) return evidence;
  if (c.item.ConstOp == kOpDiv) return evidence - kDivisionConstantBits;
  if (ir::FindCrcKind(c.item.Kind)->nibble_swap) return evidence - bits - kNibbleBits;
  return evidence - bits;
}

// How many bits it takes to name a candidate when natural choices are the
// likely ones: a target on a nibble or byte boundary, a zone from the start
// of a frame (or from just after the target) to the end of a frame (or to
// just before the target), no constant. The codes must give more evidence
// than this: as the lengths of all candidates obey Kraft's inequality, the
// definitions that pass by chance number fewer than 2^-margin on average.
class DescriptionLength {
 public:
  explicit DescriptionLength(const SearchSpace& space) : space_(space) {
    const FrameLayout& layout = space.Layout();
    for (int f = 0; f < layout.Frames(); ++f) {
      const int length = layout.length[static_cast<std::size_t>(f)];
      byte_starts_ += (length + 7) / 8 - 1;
      nibble_starts_ += (length + 3) / 4 - (length + 7) / 8;
      byte_ends_ += length / 8;
    }
    natural_ = layout.Frames() + 1;
    for (int w = 0; w < 2; ++w) {
      for (const auto& t : space.Targets(w))
        (t.bit % t.width == 0 ? aligned_ : unaligned_)[static_cast<std::size_t>(w)]++;
    }
  }

  double Bits(const Candidate& c) const {
    const auto& t = space_.Targets(c.found.target_width_index)[static_cast<std::size_t>(c.found.target)];
    const auto w = static_cast<std::size_t>(c.found.target_width_index);
    double bits = c.found.zone2 < 0 ? std::log2(4.0 / 3.0) : 2.0;
    bits += 1 + (t.bit % t.width == 0 ? std::log2(4.0 / 3.0) + Log(aligned_[w]) : 2 + Log(unaligned_[w]));
    for (int zone : {c.found.zone1, c.found.zone2}) {
      if (zone < 0) continue;
      const discovery::ZoneInfo& z = space_.Zones()[static_cast<std::size_t>(zone)];
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

 private:
  static double Log(int n) { return std::log2(std::max(1, n)); }
  // No constant half the time; "+" and "xor" an eighth each, the rest a sixteenth.
  static double ConstantOperationBits(const ir::TCrcItem& item) {
    if (item.Const == 0) return 1;
    return item.ConstOp == kOpAdd || item.ConstOp == kOpXor ? 3 : 4;
  }

  const SearchSpace& space_;
  int natural_ = 1;
  int byte_starts_ = 0;
  int nibble_starts_ = 0;
  int byte_ends_ = 0;
  std::array<int, 2> aligned_{};
  std::array<int, 2> unaligned_{};
};

void RunTier(const SearchSpace& space, Tier tier, std::vector<Found>& found) {
  switch (tier) {
    case Tier::OneZone:
      discovery::SearchOneZone(space, found);
      break;
    case Tier::OneZoneConstant:
      discovery::SearchOneZoneWithConstant(space, found);
      break;
    case Tier::TwoZones:
      discovery::SearchTwoZones(space, false, found);
      break;
    case Tier::TwoZonesConstant:
      discovery::SearchTwoZones(space, true, found);
      break;
  }
}

// Two candidates for one target that are not the same definition compute
// different values for some code (the probes told them apart when they were
// kept): the codes cannot tell which one holds. Candidates for different
// targets describe different fields and do not contradict each other.
bool Disagree(const std::vector<Candidate>& kept) {
  std::unordered_set<std::uint32_t> targets;
  for (const Candidate& c : kept) {
    const std::uint32_t key = (std::uint32_t{c.item.TargetFrame} << 24) |
                              (std::uint32_t{c.item.TargetBit} << 8) | c.item.TargetWidth;
    if (!targets.insert(key).second) return true;
  }
  return false;
}

// What a candidate computes where: its target and its values on the probes.
std::string SignatureOf(const Candidate& c) {
  std::string key{static_cast<char>(c.item.TargetFrame), static_cast<char>(c.item.TargetBit & 0xFF),
                  static_cast<char>(c.item.TargetBit >> 8), static_cast<char>(c.item.TargetWidth)};
  for (std::uint32_t v : c.probe_values) key.push_back(static_cast<char>(v));
  return key;
}

bool HoldsOnRows(const SearchSpace& space, const Candidate& c) {
  const auto& t = space.Targets(c.found.target_width_index)[static_cast<std::size_t>(c.found.target)];
  for (int r = 0; r < space.Rows(); ++r)
    if (ValueInSlot(space, c, r) != t.value[static_cast<std::size_t>(r)]) return false;
  return true;
}

// The checksum engine agrees that the candidate holds on every code.
bool EngineConfirms(const ir::TStrProt_Listbase& elements, std::span<const ir::TSSByteArray> rows,
                    const ir::TCrcItem& item, bool lsb_first) {
  for (const ir::TSSByteArray& bits : rows) {
    const std::int32_t computed = ir::CrcCalculate(bits, item, elements, lsb_first);
    if (computed < 0 || computed != ir::CrcReadTarget(bits, item, elements, lsb_first)) return false;
  }
  return true;
}

struct Sift {
  std::vector<Candidate> kept;
  std::unordered_set<std::string> signatures;
  bool any_explains = false;
  bool unexamined = false;
};

void SiftTier(const SearchSpace& space, const DescriptionLength& description, const std::vector<Found>& found,
              Sift& sift) {
  std::vector<Candidate> candidates;
  candidates.reserve(found.size());
  for (const Found& f : found) candidates.push_back({ItemOf(space, f), f, {}});
  std::sort(candidates.begin(), candidates.end(),
            [](const Candidate& a, const Candidate& b) { return CandidateBefore(a.item, b.item); });
  std::size_t examined = 0;
  for (Candidate& c : candidates) {
    if (sift.kept.size() >= kMaxCompared) return;
    if (++examined > kMaxExaminedPerTier) {
      sift.unexamined = true;
      return;
    }
    if (!HoldsOnRows(space, c)) continue;
    sift.any_explains = true;
    if (Evidence(space, c) < description.Bits(c) + kChanceMargin) continue;
    for (int p = 0; p < discovery::kProbeCount; ++p)
      c.probe_values[static_cast<std::size_t>(p)] = ValueInSlot(space, c, space.Rows() + p);
    if (!sift.signatures.insert(SignatureOf(c)).second) continue;  // computes what an earlier one does
    sift.kept.push_back(c);
  }
}

// The rows of the format's length, and the different ones among them (cut to
// the bits the search covers), in their order.
void SelectRows(const ir::TStrProt_Listbase& elements, std::span<const ir::TSSByteArray> rows,
                int search_bits, std::vector<ir::TSSByteArray>& usable,
                std::vector<ir::TSSByteArray>& distinct) {
  const auto length = static_cast<std::size_t>(ir::TotalBits(elements));
  std::unordered_set<std::string> seen;
  for (const ir::TSSByteArray& row : rows) {
    if (row.size() != length) continue;
    usable.push_back(row);
    ir::TSSByteArray cut(row.begin(), row.begin() + search_bits);
    if (seen.insert(std::string(cut.begin(), cut.end())).second) distinct.push_back(std::move(cut));
  }
}

}  // namespace

std::string_view DiscoveryNoteName(DiscoveryNote note) {
  switch (note) {
    case DiscoveryNote::Ok:
      return "ok";
    case DiscoveryNote::TooFewRows:
      return "too_few_rows";
    case DiscoveryNote::RowsTooAlike:
      return "rows_too_alike";
    case DiscoveryNote::Ambiguous:
      return "ambiguous";
    case DiscoveryNote::NoCandidate:
      return "no_candidate";
  }
  return "no_candidate";
}

bool CandidateBefore(const ir::TCrcItem& a, const ir::TCrcItem& b) {
  auto key = [](const ir::TCrcItem& i) {
    auto zone = [&](int z) {
      const ir::TCrcZone& zz = i.Zones[static_cast<std::size_t>(z)];
      const bool used = z < i.ZoneCount;
      return std::make_tuple(used ? zz.StartFrame : 0, used ? zz.StartBit : 0, used ? -zz.EndFrame : 0,
                             used ? -zz.EndBit : 0);
    };
    return std::make_tuple(i.ZoneCount, i.Const != 0, i.Kind, i.OperandWidth == 8 ? 0 : 1, i.TargetFrame,
                           i.TargetBit, i.TargetWidth == 8 ? 0 : 1, zone(0), zone(1), i.ConstOp, i.Const);
  };
  return key(a) < key(b);
}

ChecksumDiscovery DiscoverChecksums(const ir::TStrProt_Listbase& elements,
                                    std::span<const ir::TSSByteArray> rows, bool lsb_first) {
  ChecksumDiscovery result;
  const FrameLayout layout = discovery::SearchLayout(elements);
  std::vector<ir::TSSByteArray> usable;
  std::vector<ir::TSSByteArray> distinct;
  SelectRows(elements, rows, layout.total, usable, distinct);
  result.rows = static_cast<int>(usable.size());
  result.distinct_rows = static_cast<int>(distinct.size());
  if (result.rows < kMinDiscoveryRows) {
    result.note = DiscoveryNote::TooFewRows;
    return result;
  }
  if (result.distinct_rows < kMinDiscoveryRows) {
    result.note = DiscoveryNote::RowsTooAlike;
    return result;
  }
  if (distinct.size() > discovery::kMaxRows) distinct.resize(discovery::kMaxRows);

  const SearchSpace space(layout, distinct, lsb_first);
  const DescriptionLength description(space);
  Sift sift;
  bool crowded = false;
  for (Tier tier : kTiers) {
    std::vector<Found> found;
    RunTier(space, tier, found);
    crowded = crowded || found.size() >= discovery::kMaxFoundPerTier;
    SiftTier(space, description, found, sift);
    if (sift.kept.size() >= static_cast<std::size_t>(kMaxChecksumCandidates)) break;
  }

  for (const Candidate& c : sift.kept) {
    if (result.candidates.size() >= static_cast<std::size_t>(kMaxChecksumCandidates)) break;
    if (EngineConfirms(elements, usable, c.item, lsb_first)) result.candidates.push_back(c.item);
  }
  if (result.candidates.empty()) {
    result.note = sift.any_explains ? DiscoveryNote::TooFewRows : DiscoveryNote::NoCandidate;
  } else if (crowded || sift.unexamined || Disagree(sift.kept)) {
    result.note = DiscoveryNote::Ambiguous;
  } else {
    result.note = DiscoveryNote::Ok;
  }
  return result;
}

}  // namespace klimavo::analysis
