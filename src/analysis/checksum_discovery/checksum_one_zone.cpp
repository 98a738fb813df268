// The one-zone tiers of checksum discovery: every zone with changing bits,
// every kind and operand width, matched against every target whose bits change,
// first without a constant and then with the constant of each operation solved
// from the rows.
#include <algorithm>
#include <bit>
#include <optional>
#include <span>

#include "analysis/checksum_discovery/checksum_search.h"
#include "ir/checksum.h"

namespace klimavo::analysis::discovery {
namespace {

constexpr std::array<int, 2> kTargetWidths{8, 4};
constexpr int kNibbleBits = 4;
constexpr std::uint32_t kLowNibble = 0x0F;
constexpr std::uint32_t kMaxConstant = 0xFFFF;
constexpr int kLeadingBits = 16;

constexpr std::uint8_t kOpAdd = 0;
constexpr std::uint8_t kOpXor = 2;
constexpr std::uint8_t kOpMul = 3;
constexpr std::uint8_t kOpDiv = 4;
constexpr std::uint8_t kOpAnd = 5;
constexpr std::uint8_t kOpOr = 6;

std::uint32_t MaskOf(int width) { return (1u << width) - 1; }

std::uint32_t SwapNibbles(std::uint32_t v) { return (v >> kNibbleBits) + ((v & kLowNibble) << kNibbleBits); }

// The value a kind puts out before any constant: complement and nibble exchange.
std::uint32_t Unconstant(std::uint32_t raw, const Hypothesis& h) {
  std::uint32_t v = h.complement ? ~raw : raw;
  return h.swap ? SwapNibbles(v) : v;
}

// v / c rounded to the nearest integer, halves to even (the "/" operation).
std::uint32_t DivideRounded(std::uint32_t v, std::uint32_t c) { return ir::ApplyConstOp(v, kOpDiv, c); }

// The same for raw values below 2^16, by a multiply: with m = 2^32 / c + 1 the
// high word of v * m is v / c exactly for such v.
struct Divisor {
  std::uint32_t c;
  std::uint64_t magic;
  explicit Divisor(std::uint32_t divisor) : c(divisor), magic((std::uint64_t{1} << 32) / divisor + 1) {}
  std::uint32_t Rounded(std::uint32_t v) const {
    std::uint32_t q = static_cast<std::uint32_t>((v * magic) >> 32);
    const std::uint32_t twice_rest = 2 * (v - q * c);
    if (twice_rest > c || (twice_rest == c && (q & 1u) != 0)) ++q;
    return q;
  }
};

// The smallest divisor from which no quotient of values up to `largest` is
// wider than the mask.
std::uint32_t FirstDivisorInside(std::uint32_t largest, std::uint32_t mask) {
  std::uint32_t c = std::max<std::uint32_t>(2, (2 * largest) / (2 * mask + 1));
  while (c > 2 && DivideRounded(largest, c - 1) <= mask) --c;
  while (c <= kMaxConstant && DivideRounded(largest, c) > mask) ++c;
  return c;
}

// The nibble exchange after the constant: a target value has sixteen values
// before the exchange (modulo 2^(width+4)), each giving one "+" and one "xor"
// constant from row 0.
struct SwapPreimages {
  std::array<std::vector<std::vector<std::uint32_t>>, 2> of;  // per target width index, per value

  SwapPreimages() {
    for (std::size_t w = 0; w < 2; ++w) {
      const int width = kTargetWidths[w];
      const std::uint32_t modulus = 1u << (width + kNibbleBits);
      of[w].resize(std::size_t{1} << width);
      for (std::uint32_t y = 0; y < modulus; ++y) of[w][SwapNibbles(y) & MaskOf(width)].push_back(y);
    }
  }
};

const SwapPreimages& Preimages() {
  static const SwapPreimages preimages;
  return preimages;
}

// Targets of one width indexed by their values, by their differences from row
// 0 and by their exclusive-or with row 0.
struct TargetIndex {
  int width = 8;
  std::uint32_t mask = 0xFF;
  ColumnIndex plain;
  ColumnIndex difference;
  ColumnIndex exclusive;
  std::vector<Column> differences;
  std::vector<Column> exclusives;
  // Before the nibble exchange: the differences (added, exclusive-ored) that
  // rows 0 and 1 of each target allow, one bit per value modulo 2^(width+4).
  std::vector<std::vector<std::uint64_t>> swap_added;
  std::vector<std::vector<std::uint64_t>> swap_exclusive;
  // The values of the first rows of every target, one bit per combination:
  // a column whose first rows no target has is no match.
  int leading_rows = 1;
  std::vector<std::uint64_t> leading;
  std::vector<std::uint8_t> smallest;
  std::vector<std::uint8_t> largest;

  template <typename Value>
  std::uint32_t LeadingKey(Value value) const {
    std::uint32_t key = 0;
    for (int r = 0; r < leading_rows; ++r) key = (key << width) | value(r);
    return key;
  }
  bool MayLead(std::uint32_t key) const { return (leading[key / 64] >> (key % 64)) & 1u; }
  // Targets by the rows in which their bit 0 is 1.
  std::vector<std::pair<std::uint64_t, int>> by_low_bit;
  std::span<const std::pair<std::uint64_t, int>> WithLowBit(std::uint64_t rows_with_one) const {
    const auto first =
        std::lower_bound(by_low_bit.begin(), by_low_bit.end(), std::make_pair(rows_with_one, 0));
    auto last = first;
    while (last != by_low_bit.end() && last->first == rows_with_one) ++last;
    return {first, last};
  }

  TargetIndex(const SearchSpace& space, int width_index) {
    width = kTargetWidths[static_cast<std::size_t>(width_index)];
    mask = MaskOf(width);
    const auto& targets = space.Targets(width_index);
    for (std::size_t id = 0; id < targets.size(); ++id) {
      const Column& v = targets[id].value;
      Column d{};
      Column x{};
      for (int r = 0; r < space.Rows(); ++r) {
        const auto i = static_cast<std::size_t>(r);
        d[i] = static_cast<std::uint8_t>((v[i] - v[0]) & mask);
        x[i] = static_cast<std::uint8_t>(v[i] ^ v[0]);
      }
      plain.Add(HashColumn(v), static_cast<int>(id));
      difference.Add(HashColumn(d), static_cast<int>(id));
      exclusive.Add(HashColumn(x), static_cast<int>(id));
      differences.push_back(d);
      exclusives.push_back(x);
    }
    plain.Build();
    difference.Build();
    exclusive.Build();
    leading_rows = std::min(space.Rows(), kLeadingBits / width);
    leading.assign((std::size_t{1} << (leading_rows * width)) / 64 + 1, 0);
    for (const TargetInfo& t : targets) {
      const std::uint32_t key = LeadingKey([&](int r) { return t.value[static_cast<std::size_t>(r)]; });
      leading[key / 64] |= std::uint64_t{1} << (key % 64);
      const auto values = std::span(t.value).first(static_cast<std::size_t>(space.Rows()));
      smallest.push_back(*std::min_element(values.begin(), values.end()));
      largest.push_back(*std::max_element(values.begin(), values.end()));
      by_low_bit.emplace_back(t.bit_rows[0], static_cast<int>(by_low_bit.size()));
    }
    std::sort(by_low_bit.begin(), by_low_bit.end());
    const std::uint32_t modulus = 1u << (width + kNibbleBits);
    const auto& of = Preimages().of[static_cast<std::size_t>(width_index)];
    for (const TargetInfo& t : targets) {
      std::vector<std::uint64_t> added(modulus / 64, 0);
      std::vector<std::uint64_t> exclusive_ones(modulus / 64, 0);
      for (std::uint32_t y0 : of[t.value[0]]) {
        for (std::uint32_t y1 : of[t.value[1]]) {
          const std::uint32_t d = (y1 - y0) & (modulus - 1);
          const std::uint32_t x = y1 ^ y0;
          added[d / 64] |= std::uint64_t{1} << (d % 64);
          exclusive_ones[x / 64] |= std::uint64_t{1} << (x % 64);
        }
      }
      swap_added.push_back(std::move(added));
      swap_exclusive.push_back(std::move(exclusive_ones));
    }
  }
};

// The state of one zone and hypothesis against targets of one width.
struct Probe {
  const SearchSpace& space;
  const TargetIndex& index;
  const std::vector<TargetInfo>& targets;
  const ZoneInfo& zone;
  Found base;
  std::vector<Found>& found;

  void Add(int target, std::uint8_t op, std::uint32_t constant) {
    if (found.size() >= kMaxFoundPerTier) return;
    Found f = base;
    f.target = target;
    f.const_op = op;
    f.constant = static_cast<std::uint16_t>(constant);
    found.push_back(f);
  }

  template <typename Visit>
  void ForMatches(ColumnIndex const& by, const Column& column, const std::vector<Column>* columns,
                  Visit visit) {
    for (int id : by.Find(HashColumn(column))) {
      const TargetInfo& t = targets[static_cast<std::size_t>(id)];
      const Column& stored = columns == nullptr ? t.value : (*columns)[static_cast<std::size_t>(id)];
      if (stored != column || t.Overlaps(zone)) continue;
      visit(id, t);
    }
  }
};

// The rows in which each bit of a column is 1.
std::uint64_t RowsWithBit(const Column& column, int rows, int bit) {
  std::uint64_t with = 0;
  for (int r = 0; r < rows; ++r)
    with |= std::uint64_t{(column[static_cast<std::size_t>(r)] >> bit) & 1u} << r;
  return with;
}

std::array<std::uint64_t, 8> BitRows(const Column& column, int rows, int width) {
  std::array<std::uint64_t, 8> bit_rows{};
  for (int j = 0; j < width; ++j) bit_rows[static_cast<std::size_t>(j)] = RowsWithBit(column, rows, j);
  return bit_rows;
}

// "and": every bit of the target is 0 in all rows or follows the value's bit.
// Bits the rows leave open pass through, so an "and" that masks nothing is no
// constant at all.
void SolveAnd(Probe& p, const std::array<std::uint64_t, 8>& value_rows, int id, const TargetInfo& t) {
  std::uint32_t c = 0;
  for (int j = 0; j < p.index.width; ++j) {
    const auto tj = t.bit_rows[static_cast<std::size_t>(j)];
    const auto uj = value_rows[static_cast<std::size_t>(j)];
    if (tj != 0 && tj != uj) return;
    if (tj != 0 || uj == 0) c |= 1u << j;
  }
  if (c != p.index.mask) p.Add(id, kOpAnd, c);
}

// "or": every bit of the target is 1 in all rows or follows the value's bit.
void SolveOr(Probe& p, const std::array<std::uint64_t, 8>& value_rows, std::uint64_t all_rows, int id,
             const TargetInfo& t) {
  std::uint32_t c = 0;
  for (int j = 0; j < p.index.width; ++j) {
    const auto tj = t.bit_rows[static_cast<std::size_t>(j)];
    const auto uj = value_rows[static_cast<std::size_t>(j)];
    if (tj != all_rows && tj != uj) return;
    if (tj == all_rows && uj != all_rows) c |= 1u << j;
  }
  if (c != 0) p.Add(id, kOpOr, c);
}

// Inverse of an odd number modulo 256 (Newton's iteration).
std::uint32_t InverseOdd(std::uint32_t odd) {
  std::uint32_t x = odd;
  for (int i = 0; i < 3; ++i) x *= 2 - odd * x;
  return x & 0xFF;
}

// "*": the row whose value has the fewest trailing zero bits fixes the
// constant up to a power of two; the smallest that holds in every row wins.
struct Multiplier {
  int row = -1;
  int zeros = 0;
  std::uint32_t inverse = 0;

  Multiplier(const Column& value, int rows) {
    for (int r = 0; r < rows; ++r) {
      const std::uint32_t v = value[static_cast<std::size_t>(r)];
      if (v == 0) continue;
      const int tz = std::countr_zero(v);
      if (row < 0 || tz < zeros) row = r, zeros = tz;
    }
    if (row >= 0)
      inverse = InverseOdd(static_cast<std::uint32_t>(value[static_cast<std::size_t>(row)]) >> zeros);
  }

  void Solve(Probe& p, const Column& value, int rows, int id, const TargetInfo& t) const {
    if (row < 0) return;
    const std::uint32_t tm = t.value[static_cast<std::size_t>(row)];
    if ((tm & ((1u << zeros) - 1)) != 0) return;
    const std::uint32_t step = 1u << (p.index.width - zeros);
    for (std::uint32_t c = ((tm >> zeros) * inverse) & (step - 1); c <= p.index.mask; c += step) {
      if (c < 2) continue;  // 0 is no constant, 1 changes nothing
      bool holds = true;
      for (int r = 0; r < rows && holds; ++r)
        holds =
            ((value[static_cast<std::size_t>(r)] * c) & p.index.mask) == t.value[static_cast<std::size_t>(r)];
      if (holds) {
        p.Add(id, kOpMul, c);
        return;
      }
    }
  }
};

// The divisors c >= lowest for which round(v / c) is `q`: an interval, as the
// quotient falls as c grows. Empty when lo > hi.
void DivisorInterval(std::uint32_t v, std::uint32_t q, std::uint32_t lowest, std::uint32_t& lo,
                     std::uint32_t& hi) {
  if (q == 0) {
    lo = std::max(lowest, 2 * v);
    hi = kMaxConstant;
  } else {
    lo = std::max<std::uint32_t>(lowest, (2 * v + 2 * q) / (2 * q + 1));  // ceil(2v / (2q + 1))
    hi = std::min<std::uint32_t>(kMaxConstant, (2 * v) / (2 * q - 1));
  }
  // The bounds above ignore the halves-to-even rule; settle the ends exactly.
  while (lo <= hi && DivideRounded(v, lo) != q) ++lo;
  while (hi >= lo && DivideRounded(v, hi) != q) --hi;
}

// "/" on a kind without complement or nibble exchange, whose raw values stay
// below 2^16: divisors below `inside` make some quotient wider than the
// target and are tried one by one; from it on every quotient is the target
// value itself, which then rises with the raw value, and each row allows an
// interval of divisors.
void SolveDivision(Probe& p, const std::array<std::uint32_t, kMaxRows>& raw, int rows) {
  std::uint32_t largest = 0;
  bool varies = false;
  for (int r = 0; r < rows; ++r) {
    largest = std::max(largest, raw[static_cast<std::size_t>(r)]);
    varies = varies || raw[static_cast<std::size_t>(r)] != raw[0];
  }
  if (!varies) return;
  const std::uint32_t inside = FirstDivisorInside(largest, p.index.mask);
  std::vector<bool> done(p.targets.size(), false);
  for (std::uint32_t c = 2; c < inside; ++c) {
    const Divisor divisor(c);
    const std::uint32_t key = p.index.LeadingKey(
        [&](int r) { return divisor.Rounded(raw[static_cast<std::size_t>(r)]) & p.index.mask; });
    if (!p.index.MayLead(key)) continue;
    Column column{};
    bool column_varies = false;
    for (int r = 0; r < rows; ++r) {
      column[static_cast<std::size_t>(r)] =
          static_cast<std::uint8_t>(divisor.Rounded(raw[static_cast<std::size_t>(r)]) & p.index.mask);
      column_varies = column_varies || column[static_cast<std::size_t>(r)] != column[0];
    }
    if (!column_varies) continue;
    p.ForMatches(p.index.plain, column, nullptr, [&](int id, const TargetInfo&) {
      if (done[static_cast<std::size_t>(id)]) return;
      done[static_cast<std::size_t>(id)] = true;
      p.Add(id, kOpDiv, c);
    });
  }
  if (inside > kMaxConstant) return;
  std::array<int, kMaxRows> order{};
  for (int r = 0; r < rows; ++r) order[static_cast<std::size_t>(r)] = r;
  std::sort(order.begin(), order.begin() + rows, [&](int a, int b) {
    return raw[static_cast<std::size_t>(a)] < raw[static_cast<std::size_t>(b)];
  });
  const auto lowest_row = static_cast<std::size_t>(order[0]);
  const auto highest_row = static_cast<std::size_t>(order[static_cast<std::size_t>(rows - 1)]);
  for (std::size_t id = 0; id < p.targets.size(); ++id) {
    const TargetInfo& t = p.targets[id];
    // The quotient rises with the raw value: the row with the largest raw
    // value holds the largest target value, the smallest the smallest.
    if (t.value[highest_row] != p.index.largest[id] || t.value[lowest_row] != p.index.smallest[id]) continue;
    if (done[id] || t.Overlaps(p.zone)) continue;
    bool rises = true;
    for (int k = 1; k < rows && rises; ++k) {
      const auto a = static_cast<std::size_t>(order[static_cast<std::size_t>(k - 1)]);
      const auto b = static_cast<std::size_t>(order[static_cast<std::size_t>(k)]);
      rises = raw[a] == raw[b] ? t.value[a] == t.value[b] : t.value[a] <= t.value[b];
    }
    if (!rises) continue;
    std::uint32_t lo = inside;
    std::uint32_t hi = kMaxConstant;
    for (int r = 0; r < rows && lo <= hi; ++r) {
      std::uint32_t row_lo = 0;
      std::uint32_t row_hi = 0;
      DivisorInterval(raw[static_cast<std::size_t>(r)], t.value[static_cast<std::size_t>(r)], inside, row_lo,
                      row_hi);
      lo = std::max(lo, row_lo);
      hi = std::min(hi, row_hi);
    }
    if (lo <= hi) p.Add(static_cast<int>(id), kOpDiv, lo);
  }
}

void SolveSwapped(Probe& p, int width_index, const std::array<std::uint32_t, kMaxRows>& value, int rows) {
  const std::uint32_t modulus_mask = MaskOf(p.index.width + kNibbleBits);
  auto holds = [&](const TargetInfo& t, std::uint32_t c, bool exclusive) {
    for (int r = 1; r < rows; ++r) {
      const std::uint32_t v = value[static_cast<std::size_t>(r)];
      const std::uint32_t x = exclusive ? v ^ c : v + c;
      if ((SwapNibbles(x & modulus_mask) & p.index.mask) != t.value[static_cast<std::size_t>(r)])
        return false;
    }
    return true;
  };
  const std::uint32_t added = (value[1] - value[0]) & modulus_mask;
  const std::uint32_t exclusive_ones = (value[1] ^ value[0]) & modulus_mask;
  const auto has = [](const std::vector<std::uint64_t>& bits, std::uint32_t v) {
    return (bits[v / 64] >> (v % 64)) & 1u;
  };
  for (std::size_t id = 0; id < p.targets.size(); ++id) {
    const TargetInfo& t = p.targets[id];
    const bool try_add = has(p.index.swap_added[id], added);
    const bool try_xor = has(p.index.swap_exclusive[id], exclusive_ones);
    if ((!try_add && !try_xor) || t.Overlaps(p.zone)) continue;
    std::uint32_t best_add = 0;
    std::uint32_t best_xor = 0;
    for (std::uint32_t y : Preimages().of[static_cast<std::size_t>(width_index)][t.value[0]]) {
      const std::uint32_t add = (y - value[0]) & modulus_mask;
      if (try_add && add != 0 && (best_add == 0 || add < best_add) && holds(t, add, false)) best_add = add;
      const std::uint32_t exclusive = (y ^ value[0]) & modulus_mask;
      if (try_xor && exclusive != 0 && (best_xor == 0 || exclusive < best_xor) && holds(t, exclusive, true))
        best_xor = exclusive;
    }
    if (best_add != 0) p.Add(static_cast<int>(id), kOpAdd, best_add);
    if (best_xor != 0) p.Add(static_cast<int>(id), kOpXor, best_xor);
  }
}

// The constants of one zone and hypothesis against the targets of one width.
void SolveConstants(Probe& p, const Hypothesis& h, int width_index,
                    const std::array<std::uint32_t, kMaxRows>& raw) {
  const int rows = p.space.Rows();
  std::array<std::uint32_t, kMaxRows> value{};
  for (int r = 0; r < rows; ++r)
    value[static_cast<std::size_t>(r)] =
        h.complement ? ~raw[static_cast<std::size_t>(r)] : raw[static_cast<std::size_t>(r)];
  if (h.swap) {
    SolveSwapped(p, width_index, value, rows);
    return;
  }
  const std::uint32_t mask = p.index.mask;
  Column cut{};
  bool varies = false;
  for (int r = 0; r < rows; ++r) {
    cut[static_cast<std::size_t>(r)] = static_cast<std::uint8_t>(value[static_cast<std::size_t>(r)] & mask);
    varies = varies || cut[static_cast<std::size_t>(r)] != cut[0];
  }
  if (varies) {
    Column difference{};
    Column exclusive{};
    for (int r = 0; r < rows; ++r) {
      const auto i = static_cast<std::size_t>(r);
      difference[i] = static_cast<std::uint8_t>((cut[i] - cut[0]) & mask);
      exclusive[i] = static_cast<std::uint8_t>(cut[i] ^ cut[0]);
    }
    p.ForMatches(p.index.difference, difference, &p.index.differences, [&](int id, const TargetInfo& t) {
      const std::uint32_t c = (t.value[0] - cut[0]) & mask;
      if (c != 0) p.Add(id, kOpAdd, c);
    });
    // After a complement, "xor c" is the plain kind's "xor" of the complement of c.
    if (!h.complement) {
      p.ForMatches(p.index.exclusive, exclusive, &p.index.exclusives, [&](int id, const TargetInfo& t) {
        const std::uint32_t c = (t.value[0] ^ cut[0]) & mask;
        if (c != 0) p.Add(id, kOpXor, c);
      });
    }
    const std::uint64_t all_rows = rows >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << rows) - 1;
    // Bit 0 of a product, of an "and" and of an "or" is bit 0 of the value
    // or a constant: only targets whose bit 0 is one of those can match.
    const std::uint64_t low_rows = RowsWithBit(cut, rows, 0);
    std::optional<Multiplier> multiplier;
    std::optional<std::array<std::uint64_t, 8>> value_rows;
    std::array<std::uint64_t, 3> lows{low_rows, 0, all_rows};
    const std::size_t distinct = low_rows == 0 || low_rows == all_rows ? 2 : 3;
    if (low_rows == 0) lows[1] = all_rows;
    for (std::size_t k = 0; k < distinct; ++k) {
      const std::uint64_t low = lows[k];
      for (const auto& [bits, id] : p.index.WithLowBit(low)) {
        const TargetInfo& t = p.targets[static_cast<std::size_t>(id)];
        if (t.Overlaps(p.zone)) continue;
        if (!value_rows) {
          value_rows = BitRows(cut, rows, p.index.width);
          multiplier.emplace(cut, rows);
        }
        if (low != all_rows || low == low_rows) {
          multiplier->Solve(p, cut, rows, id, t);
          SolveAnd(p, *value_rows, id, t);
        }
        if (low == all_rows || low == low_rows) SolveOr(p, *value_rows, all_rows, id, t);
      }
    }
  }
  // Divided after a complement, a number near 2^32 leaves bits no checksum uses.
  if (!h.complement) SolveDivision(p, raw, rows);
}

}  // namespace

void SearchOneZone(const SearchSpace& space, std::vector<Found>& found) {
  const std::array<TargetIndex, 2> indexes{TargetIndex(space, 0), TargetIndex(space, 1)};
  const auto hypotheses = Hypotheses();
  for (std::size_t z = 0; z < space.Zones().size(); ++z) {
    const ZoneInfo& zone = space.Zones()[z];
    if (!zone.changes) continue;  // a constant column matches no changing target
    for (std::size_t hi = 0; hi < hypotheses.size(); ++hi) {
      const Hypothesis& h = hypotheses[hi];
      for (int w = 0; w < 2; ++w) {
        const TargetIndex& index = indexes[static_cast<std::size_t>(w)];
        Column column{};
        bool varies = false;
        for (int r = 0; r < space.Rows(); ++r) {
          column[static_cast<std::size_t>(r)] =
              static_cast<std::uint8_t>(Unconstant(space.Raw(static_cast<int>(z), h.raw, r), h) & index.mask);
          varies = varies || column[static_cast<std::size_t>(r)] != column[0];
        }
        if (!varies) continue;
        Probe p{space,
                index,
                space.Targets(w),
                zone,
                Found{static_cast<int>(z), -1, 0, static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(hi),
                      0, 0},
                found};
        p.ForMatches(index.plain, column, nullptr, [&](int id, const TargetInfo&) { p.Add(id, 0, 0); });
      }
    }
    if (found.size() >= kMaxFoundPerTier) return;
  }
}

void SearchOneZoneWithConstant(const SearchSpace& space, std::vector<Found>& found) {
  const std::array<TargetIndex, 2> indexes{TargetIndex(space, 0), TargetIndex(space, 1)};
  const auto hypotheses = Hypotheses();
  for (std::size_t z = 0; z < space.Zones().size(); ++z) {
    const ZoneInfo& zone = space.Zones()[z];
    if (!zone.changes) continue;
    for (std::size_t hi = 0; hi < hypotheses.size(); ++hi) {
      const Hypothesis& h = hypotheses[hi];
      std::array<std::uint32_t, kMaxRows> raw{};
      for (int r = 0; r < space.Rows(); ++r)
        raw[static_cast<std::size_t>(r)] = space.Raw(static_cast<int>(z), h.raw, r);
      for (int w = 0; w < 2; ++w) {
        Probe p{space,
                indexes[static_cast<std::size_t>(w)],
                space.Targets(w),
                zone,
                Found{static_cast<int>(z), -1, 0, static_cast<std::uint8_t>(w), static_cast<std::uint8_t>(hi),
                      0, 0},
                found};
        SolveConstants(p, h, w, raw);
      }
    }
    if (found.size() >= kMaxFoundPerTier) return;
  }
}

}  // namespace klimavo::analysis::discovery
