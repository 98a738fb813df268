// The two-zone tiers of checksum discovery. The value of two zones is the
// first zone's combined with the second's (added, or exclusive-ored), so for a
// target and a first zone the second zone's column is fixed: the second zones
// are indexed by their columns and each (target, first zone) is one look-up.
// The nibble sum counts its operands across both zones; its second zones are
// indexed once for each number (0 to 4) of operands the first zone can bring.
//
// Both zones must cover a bit that changes between the rows: a zone that
// covers none adds a constant, and the one-zone definition with that constant
// is listed before any two-zone one. The nibble sum's first zone is the
// exception, as its operand count shifts which nibbles the second zone adds.
// The zones do not touch: zone 2 starts at least one bit after zone 1 ends.
// The nibble exchange (kind 7) is not tried with two zones: its exchange of
// a sum does not split into the two zones' parts.
#include <algorithm>
#include <random>

#include "analysis/checksum_discovery/checksum_search.h"

namespace klimavo::analysis::discovery {
namespace {

constexpr std::array<int, 2> kTargetWidths{8, 4};
constexpr int kNibbleLowOperands = 4;
constexpr std::uint8_t kOpAdd = 0;
constexpr std::uint8_t kOpXor = 2;

// A hash of columns that is linear in the way the zones combine: for sums,
// lane-wise in Z/2^w (each lane a random linear form of the rows' values);
// for exclusive ors, over GF(2). The key of "needed minus first zone" is then
// the difference of two stored keys, one operation per (target, first zone).
class LinearHash {
 public:
  LinearHash(bool exclusive, int width, int rows) : exclusive_(exclusive), rows_(rows) {
    std::mt19937_64 random(0x5eed0000u + static_cast<unsigned>(width) * 2 + (exclusive ? 1 : 0));
    const int lanes = 64 / width;
    const std::uint64_t lane_mask = (std::uint64_t{1} << width) - 1;
    for (int r = 0; r < rows; ++r) {
      auto& table = tables_[static_cast<std::size_t>(r)];
      if (exclusive) {
        std::array<std::uint64_t, 8> basis{};
        for (auto& b : basis) b = random();
        for (std::size_t v = 0; v < table.size(); ++v) {
          std::uint64_t h = 0;
          for (int i = 0; i < width; ++i)
            if ((v >> i) & 1u) h ^= basis[static_cast<std::size_t>(i)];
          table[v] = h;
        }
      } else {
        std::array<std::uint64_t, 16> factor{};
        for (auto& k : factor) k = random() & lane_mask;
        for (std::size_t v = 0; v < table.size(); ++v) {
          std::uint64_t h = 0;
          for (int j = 0; j < lanes; ++j)
            h |= ((v * factor[static_cast<std::size_t>(j)]) & lane_mask) << (j * width);
          table[v] = h;
        }
      }
    }
    high_ = 0;
    for (int j = 0; j < lanes; ++j) high_ |= std::uint64_t{1} << (j * width + width - 1);
  }

  std::uint64_t Of(const Column& column) const {
    std::uint64_t h = 0;
    for (int r = 0; r < rows_; ++r) {
      const std::uint64_t t = tables_[static_cast<std::size_t>(r)][column[static_cast<std::size_t>(r)]];
      h = exclusive_ ? h ^ t : Add(h, t);
    }
    return h;
  }
  /// The key of the column a - b (sums) or a ^ b (exclusive ors).
  std::uint64_t Less(std::uint64_t a, std::uint64_t b) const { return exclusive_ ? a ^ b : Sub(a, b); }

 private:
  std::uint64_t Add(std::uint64_t a, std::uint64_t b) const {
    return ((a & ~high_) + (b & ~high_)) ^ ((a ^ b) & high_);
  }
  std::uint64_t Sub(std::uint64_t a, std::uint64_t b) const {
    return ((a | high_) - (b & ~high_)) ^ ((a ^ ~b) & high_);
  }

  bool exclusive_;
  int rows_;
  std::uint64_t high_ = 0;
  std::array<std::array<std::uint64_t, 256>, kMaxRows> tables_{};
};

std::uint64_t Spread(std::uint64_t key) {
  key ^= key >> 29;
  key *= 0xbf58476d1ce4e5b9ULL;
  key ^= key >> 32;
  return key;
}

std::uint32_t Contribution(const SearchSpace& space, const Hypothesis& h, int zone, int prior, int slot) {
  if (h.kind == 9) return space.Nibbles(zone, h.width_index, slot).Value(prior);
  return space.Raw(zone, h.raw, slot);
}

// What each zone adds in each row, cut to 8 bits, per number of operands
// before it (the nibble sum's second zone; 0 for every other kind).
using Contributions = std::vector<std::vector<Column>>;

Contributions ZoneContributions(const SearchSpace& space, const Hypothesis& h) {
  const int priors = h.kind == 9 ? kNibbleLowOperands + 1 : 1;
  Contributions all(static_cast<std::size_t>(priors), std::vector<Column>(space.Zones().size()));
  for (int prior = 0; prior < priors; ++prior) {
    for (std::size_t z = 0; z < space.Zones().size(); ++z) {
      Column& column = all[static_cast<std::size_t>(prior)][z];
      for (int r = 0; r < space.Rows(); ++r)
        column[static_cast<std::size_t>(r)] =
            static_cast<std::uint8_t>(Contribution(space, h, static_cast<int>(z), prior, r));
    }
  }
  return all;
}

// The column of a zone: its values, or (with a constant) their differences
// from row 0, added or exclusive-ored.
Column ZoneColumn(const Column& contribution, const Hypothesis& h, int rows, bool with_constant,
                  std::uint32_t mask) {
  Column column{};
  const std::uint32_t first = contribution[0];
  for (int r = 0; r < rows; ++r) {
    const std::uint32_t v = contribution[static_cast<std::size_t>(r)];
    const std::uint32_t relative = !with_constant ? v : h.xor_combined ? v ^ first : v - first;
    column[static_cast<std::size_t>(r)] = static_cast<std::uint8_t>(relative & mask);
  }
  return column;
}

// The second zones of one hypothesis (for one operand count before them).
struct SecondZones {
  ColumnIndex index;
  std::vector<Column> columns;  // by zone
};

SecondZones IndexSecondZones(const SearchSpace& space, const Hypothesis& h, const LinearHash& hash,
                             const std::vector<Column>& contributions, bool with_constant,
                             std::uint32_t mask) {
  SecondZones second;
  const auto& zones = space.Zones();
  second.columns.resize(zones.size());
  for (std::size_t z = 0; z < zones.size(); ++z) {
    if (!zones[z].changes) continue;
    second.columns[z] = ZoneColumn(contributions[z], h, space.Rows(), with_constant, mask);
    second.index.Add(Spread(hash.Of(second.columns[z])), static_cast<int>(z));
  }
  second.index.Build();
  return second;
}

// What the two zones together must give in each row for the target: the
// target itself, its complement, or (with a constant) its difference from
// row 0, negated after a complement.
Column Needed(const TargetInfo& t, const Hypothesis& h, bool with_constant, int rows, std::uint32_t mask) {
  Column needed{};
  for (int r = 0; r < rows; ++r) {
    const auto i = static_cast<std::size_t>(r);
    const std::uint32_t v = t.value[i];
    if (!with_constant) {
      needed[i] = static_cast<std::uint8_t>((h.complement ? ~v : v) & mask);
    } else if (h.xor_combined) {
      needed[i] = static_cast<std::uint8_t>(v ^ t.value[0]);
    } else {
      const std::uint32_t d = v - t.value[0];
      needed[i] = static_cast<std::uint8_t>((h.complement ? 0u - d : d) & mask);
    }
  }
  return needed;
}

void SearchHypothesis(const SearchSpace& space, std::size_t hypothesis, const Contributions& contributions,
                      int width_index, bool with_constant, std::vector<Found>& found) {
  const Hypothesis& h = Hypotheses()[hypothesis];
  const int width = kTargetWidths[static_cast<std::size_t>(width_index)];
  const std::uint32_t mask = (1u << width) - 1;
  const int rows = space.Rows();
  const LinearHash hash(h.xor_combined, width, rows);
  std::vector<SecondZones> second;
  for (const auto& of_prior : contributions)
    second.push_back(IndexSecondZones(space, h, hash, of_prior, with_constant, mask));

  const auto& zones = space.Zones();
  int last_start = 0;
  for (const ZoneInfo& z : zones) last_start = std::max(last_start, z.first);
  // The first zones with their columns, keys and the operand count they bring.
  struct FirstZone {
    int zone;
    int prior;
    Column column;
    std::uint64_t key;
  };
  std::vector<FirstZone> first;
  for (std::size_t z = 0; z < zones.size(); ++z) {
    const ZoneInfo& zone = zones[z];
    if ((!zone.changes && h.kind != 9) || zone.last + 2 > last_start) continue;
    const int prior = h.kind == 9 ? std::min<int>(space.Nibbles(static_cast<int>(z), h.width_index, 0).count,
                                                  kNibbleLowOperands)
                                  : 0;
    // After four 4-bit operands a nibble sum adds their high parts, all 0:
    // a second zone would add nothing.
    if (h.kind == 9 && kOperandWidths[h.width_index] == 4 && prior == kNibbleLowOperands) continue;
    FirstZone f{static_cast<int>(z), prior, ZoneColumn(contributions[0][z], h, rows, with_constant, mask), 0};
    f.key = hash.Of(f.column);
    first.push_back(f);
  }

  const auto& targets = space.Targets(width_index);
  for (std::size_t id = 0; id < targets.size(); ++id) {
    const TargetInfo& t = targets[id];
    const Column needed = Needed(t, h, with_constant, rows, mask);
    const std::uint64_t needed_key = hash.Of(needed);
    for (const FirstZone& f : first) {
      const ZoneInfo& zone1 = zones[static_cast<std::size_t>(f.zone)];
      if (t.Overlaps(zone1)) continue;
      const SecondZones& index = second[static_cast<std::size_t>(f.prior)];
      const auto hits = index.index.Find(Spread(hash.Less(needed_key, f.key)));
      if (hits.empty()) continue;
      Column wanted{};
      for (int r = 0; r < rows; ++r) {
        const auto i = static_cast<std::size_t>(r);
        wanted[i] = static_cast<std::uint8_t>(
            (h.xor_combined ? needed[i] ^ f.column[i] : needed[i] - f.column[i]) & mask);
      }
      for (int z2 : hits) {
        const ZoneInfo& zone2 = zones[static_cast<std::size_t>(z2)];
        if (zone2.first < zone1.last + 2 || t.Overlaps(zone2) ||
            index.columns[static_cast<std::size_t>(z2)] != wanted)
          continue;
        Found found_one{f.zone,
                        z2,
                        static_cast<int>(id),
                        static_cast<std::uint8_t>(width_index),
                        static_cast<std::uint8_t>(hypothesis),
                        0,
                        0};
        if (with_constant) {
          const std::uint32_t both = space.CombinedRaw(h, f.zone, z2, 0);
          const std::uint32_t out = h.complement ? ~both : both;
          found_one.const_op = h.xor_combined ? kOpXor : kOpAdd;
          found_one.constant =
              static_cast<std::uint16_t>((h.xor_combined ? t.value[0] ^ out : t.value[0] - out) & mask);
          if (found_one.constant == 0) continue;  // the same as no constant
        }
        found.push_back(found_one);
        if (found.size() >= kMaxFoundPerTier) return;
      }
    }
  }
}

}  // namespace

void SearchTwoZones(const SearchSpace& space, bool with_constant, std::vector<Found>& found) {
  const auto hypotheses = Hypotheses();
  for (std::size_t hi = 0; hi < hypotheses.size(); ++hi) {
    const Hypothesis& h = hypotheses[hi];
    if (h.swap) continue;
    // After a complement, "xor c" is the plain kind's "xor" of the complement of c.
    if (with_constant && h.xor_combined && h.complement) continue;
    const Contributions contributions = ZoneContributions(space, h);
    for (int w = 0; w < 2; ++w) {
      SearchHypothesis(space, hi, contributions, w, with_constant, found);
      if (found.size() >= kMaxFoundPerTier) return;
    }
  }
}

}  // namespace klimavo::analysis::discovery
