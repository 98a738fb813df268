#include "analysis/checksum_discovery/checksum_search_space.h"

#include <algorithm>
#include <cstring>
#include <random>

namespace klimavo::analysis::discovery {
namespace {

constexpr int kZoneStartStep = 4;  // zones start at a multiple of 4 bits of their frame
constexpr std::array<int, 2> kTargetWidths{8, 4};
// A fixed seed: the same rows always give the same probes, so results repeat.
constexpr std::uint64_t kProbeSeed = 0x6b6c696d61766fULL;

constexpr std::array<Hypothesis, 18> kHypotheses{{
    {0, 0, kSum8, false, false, false},
    {0, 1, kSum4, false, false, false},
    {1, 0, kSum8, true, false, false},
    {1, 1, kSum4, true, false, false},
    {2, 0, kOnes, false, false, false},
    {3, 0, kOnes, true, false, false},
    {4, 0, kZeros, false, false, false},
    {5, 0, kZeros, true, false, false},
    {6, 0, kXor8, false, false, true},
    {6, 1, kXor4, false, false, true},
    {7, 0, kSum8, false, true, false},
    {7, 1, kSum4, false, true, false},
    {8, 0, kShift8, false, false, false},
    {8, 1, kShift4, false, false, false},
    {9, 0, kNibble8, false, false, false},
    {9, 1, kNibble4, false, false, false},
    {10, 0, kXor8, true, false, true},
    {10, 1, kXor4, true, false, true},
}};

std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 31;
  x *= 0x7fb5d329728ea185ULL;
  x ^= x >> 27;
  x *= 0x81dadef4bc2dd44dULL;
  x ^= x >> 33;
  return x;
}

}  // namespace

std::span<const Hypothesis> Hypotheses() { return kHypotheses; }

std::uint64_t HashColumn(const Column& column) {
  std::uint64_t h = 0x9e3779b97f4a7c15ULL;
  for (std::size_t i = 0; i < column.size(); i += sizeof(std::uint64_t)) {
    std::uint64_t word = 0;
    std::memcpy(&word, column.data() + i, sizeof(word));
    h = Mix(h ^ word) + i;
  }
  return h;
}

void ColumnIndex::Build() {
  std::sort(entries_.begin(), entries_.end(), [](const Entry& a, const Entry& b) { return a.hash < b.hash; });
  ids_.clear();
  hashes_.clear();
  for (const Entry& e : entries_) {
    ids_.push_back(e.id);
    hashes_.push_back(e.hash);
  }
  // Buckets by the top bits of the hash; each holds the start of its run.
  int bits = 1;
  while ((std::size_t{1} << bits) < entries_.size() * 2 && bits < 24) ++bits;
  shift_ = 64 - bits;
  bucket_start_.assign((std::size_t{1} << bits) + 1, 0);
  std::size_t i = 0;
  for (std::size_t b = 0; b < (std::size_t{1} << bits); ++b) {
    bucket_start_[b] = static_cast<std::uint32_t>(i);
    while (i < hashes_.size() && (hashes_[i] >> shift_) == b) ++i;
  }
  bucket_start_.back() = static_cast<std::uint32_t>(hashes_.size());
  filter_.fill(0);
  for (std::uint64_t hash : hashes_) filter_[(hash >> 6) & kFilterMask] |= std::uint64_t{1} << (hash & 63);
}

std::span<const int> ColumnIndex::Lookup(std::uint64_t hash) const {
  if (hashes_.empty()) return {};
  const std::size_t b = static_cast<std::size_t>(hash >> shift_);
  std::size_t i = bucket_start_[b];
  const std::size_t end = bucket_start_[b + 1];
  while (i < end && hashes_[i] < hash) ++i;
  std::size_t j = i;
  while (j < end && hashes_[j] == hash) ++j;
  return std::span<const int>(ids_.data() + i, j - i);
}

FrameLayout SearchLayout(const ir::TStrProt_Listbase& elements) {
  FrameLayout layout(elements);
  while (!layout.length.empty() && layout.offset.back() >= kMaxSearchBits) {
    layout.offset.pop_back();
    layout.length.pop_back();
  }
  if (!layout.length.empty())
    layout.length.back() = std::min(layout.length.back(), kMaxSearchBits - layout.offset.back());
  layout.total = layout.length.empty() ? 0 : layout.offset.back() + layout.length.back();
  return layout;
}

SearchSpace::SearchSpace(const FrameLayout& layout, std::span<const ir::TSSByteArray> rows, bool lsb_first)
    : layout_(layout),
      lsb_first_(lsb_first),
      rows_(static_cast<int>(std::min<std::size_t>(rows.size(), kMaxRows))) {
  for (int r = 0; r < rows_; ++r) bits_.push_back(rows[static_cast<std::size_t>(r)]);
  std::mt19937_64 random(kProbeSeed);
  for (int p = 0; p < kProbeCount; ++p) {
    ir::TSSByteArray probe(static_cast<std::size_t>(layout_.total));
    for (std::size_t i = 0; i < probe.size(); ++i) {
      const std::uint64_t draw = random();
      probe[i] = p < kUniformProbes
                     ? static_cast<std::uint8_t>((draw >> 17) & 1)
                     : bits_[static_cast<std::size_t>(draw % static_cast<std::uint64_t>(rows_))][i];
    }
    bits_.push_back(std::move(probe));
  }
  FindChangingBits();
  EnumerateZones();
  raw_.assign(zones_.size() * kRawTypes * static_cast<std::size_t>(Slots()), 0);
  nibbles_.assign(zones_.size() * 2 * static_cast<std::size_t>(Slots()), NibbleOperands{});
  for (int slot = 0; slot < Slots(); ++slot) FillZoneSums(slot);
  EnumerateTargets();
}

void SearchSpace::FindChangingBits() {
  changes_.assign(static_cast<std::size_t>(layout_.total), false);
  for (std::size_t i = 0; i < changes_.size(); ++i) {
    for (int r = 1; r < rows_ && !changes_[i]; ++r)
      changes_[i] = bits_[static_cast<std::size_t>(r)][i] != bits_[0][i];
  }
}

void SearchSpace::EnumerateZones() {
  std::vector<int> changed_before(static_cast<std::size_t>(layout_.total) + 1, 0);
  for (std::size_t i = 0; i < changes_.size(); ++i)
    changed_before[i + 1] = changed_before[i] + (changes_[i] ? 1 : 0);
  auto add = [&](int f1, int s, int f2, int e) {
    ZoneInfo z;
    z.start_frame = static_cast<std::uint8_t>(f1);
    z.start_bit = static_cast<std::uint16_t>(s);
    z.end_frame = static_cast<std::uint8_t>(f2);
    z.end_bit = static_cast<std::uint16_t>(e);
    z.first = layout_.offset[static_cast<std::size_t>(f1)] + s;
    z.last = layout_.offset[static_cast<std::size_t>(f2)] + e;
    z.changes = changed_before[static_cast<std::size_t>(z.last) + 1] >
                changed_before[static_cast<std::size_t>(z.first)];
    zones_.push_back(z);
  };
  const int frames = layout_.Frames();
  for (int f1 = 0; f1 < frames; ++f1) {
    const int len1 = layout_.length[static_cast<std::size_t>(f1)];
    for (int s = 0; s < len1; s += kZoneStartStep) {
      for (int e = s; e < len1; ++e) add(f1, s, f1, e);
      for (int f2 = f1 + 1; f2 < frames; ++f2) {
        for (int e = 0; e < layout_.length[static_cast<std::size_t>(f2)]; ++e) add(f1, s, f2, e);
      }
    }
  }
}

void SearchSpace::Store(int zone, int slot, const OperandSums& sums) {
  const std::array<std::uint32_t, kRawTypes> values{
      sums.sum[0], sums.sum[1], sums.shifted[0],         sums.shifted[1],
      sums.xr[0],  sums.xr[1],  sums.nibble[0].Value(0), sums.nibble[1].Value(0),
      sums.ones,   sums.zeros};
  const auto slots = static_cast<std::size_t>(Slots());
  for (std::size_t t = 0; t < values.size(); ++t)
    raw_[(static_cast<std::size_t>(zone) * kRawTypes + t) * slots + static_cast<std::size_t>(slot)] =
        static_cast<std::uint16_t>(values[t]);
  for (std::size_t w = 0; w < 2; ++w)
    nibbles_[(static_cast<std::size_t>(zone) * 2 + w) * slots + static_cast<std::size_t>(slot)] =
        sums.nibble[w];
}

void SearchSpace::FillZoneSums(int slot) {
  const ir::TSSByteArray& bits = bits_[static_cast<std::size_t>(slot)];
  const int frames = layout_.Frames();
  // The sums of every frame from its start up to each bit.
  std::vector<std::vector<OperandSums>> prefix(static_cast<std::size_t>(frames));
  for (int f = 0; f < frames; ++f) {
    SegmentBuilder builder(lsb_first_);
    const int offset = layout_.offset[static_cast<std::size_t>(f)];
    for (int b = 0; b < layout_.length[static_cast<std::size_t>(f)]; ++b) {
      builder.Push(bits[static_cast<std::size_t>(offset + b)]);
      prefix[static_cast<std::size_t>(f)].push_back(builder.Sums());
    }
  }
  int zone = 0;
  for (int f1 = 0; f1 < frames; ++f1) {
    const int len1 = layout_.length[static_cast<std::size_t>(f1)];
    const int offset = layout_.offset[static_cast<std::size_t>(f1)];
    for (int s = 0; s < len1; s += kZoneStartStep) {
      SegmentBuilder builder(lsb_first_);
      for (int e = s; e < len1; ++e) {
        builder.Push(bits[static_cast<std::size_t>(offset + e)]);
        Store(zone++, slot, builder.Sums());
      }
      OperandSums before = builder.Sums();  // from (f1, s) to the end of f1, then whole frames
      for (int f2 = f1 + 1; f2 < frames; ++f2) {
        for (const OperandSums& tail : prefix[static_cast<std::size_t>(f2)]) {
          OperandSums sums = before;
          sums.Append(tail);
          Store(zone++, slot, sums);
        }
        if (!prefix[static_cast<std::size_t>(f2)].empty())
          before.Append(prefix[static_cast<std::size_t>(f2)].back());
      }
    }
  }
}

void SearchSpace::EnumerateTargets() {
  for (std::size_t w = 0; w < kTargetWidths.size(); ++w) {
    const int width = kTargetWidths[w];
    for (int f = 0; f < layout_.Frames(); ++f) {
      const int offset = layout_.offset[static_cast<std::size_t>(f)];
      for (int b = 0; b + width <= layout_.length[static_cast<std::size_t>(f)]; ++b) {
        TargetInfo t;
        t.frame = static_cast<std::uint8_t>(f);
        t.bit = static_cast<std::uint16_t>(b);
        t.width = static_cast<std::uint8_t>(width);
        t.first = offset + b;
        bool changes = false;
        for (int i = 0; i < width; ++i) changes = changes || changes_[static_cast<std::size_t>(t.first + i)];
        if (!changes) continue;  // a checksum over codes that differ changes too
        for (int r = 0; r < rows_; ++r) {
          std::uint32_t value = 0;
          for (int i = 0; i < width; ++i) {
            const std::uint32_t bit =
                bits_[static_cast<std::size_t>(r)][static_cast<std::size_t>(t.first + i)] == 1;
            value |= bit << (lsb_first_ ? i : width - 1 - i);
          }
          t.value[static_cast<std::size_t>(r)] = static_cast<std::uint8_t>(value);
          for (int j = 0; j < width; ++j)
            if ((value >> j) & 1u) t.bit_rows[static_cast<std::size_t>(j)] |= std::uint64_t{1} << r;
        }
        targets_[w].push_back(t);
      }
    }
  }
}

std::uint32_t SearchSpace::CombinedRaw(const Hypothesis& h, int zone1, int zone2, int slot) const {
  if (zone2 < 0) return Raw(zone1, h.raw, slot);
  if (h.kind == 9) {
    const NibbleOperands& first = Nibbles(zone1, h.width_index, slot);
    return first.Value(0) + Nibbles(zone2, h.width_index, slot).Value(first.count);
  }
  const std::uint32_t a = Raw(zone1, h.raw, slot);
  const std::uint32_t b = Raw(zone2, h.raw, slot);
  return h.xor_combined ? a ^ b : a + b;
}

}  // namespace klimavo::analysis::discovery
