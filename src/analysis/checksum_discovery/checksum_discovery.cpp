#include "analysis/checksum_discovery/checksum_discovery.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "analysis/checksum_discovery/checksum_search.h"
#include "analysis/checksum_discovery/checksum_weighing.h"
#include "ir/checksum.h"
#include "ir/protocol.h"

namespace klimavo::analysis {
namespace {

using discovery::Candidate;
using discovery::DescriptionLength;
using discovery::Found;
using discovery::SearchSpace;

/// Bits of evidence a candidate needs beyond its description length.
constexpr double kChanceMargin = 2.0;
/// Candidates of one tier examined in listing order; more are left unexamined.
constexpr std::size_t kMaxExaminedPerTier = 4000;
/// Different candidates kept over all tiers, for the list and the note.
constexpr std::size_t kMaxCompared = 400;

enum class Tier { OneZone, OneZoneConstant, TwoZones, TwoZonesConstant };
constexpr std::array<Tier, 4> kTiers{Tier::OneZone, Tier::OneZoneConstant, Tier::TwoZones,
                                     Tier::TwoZonesConstant};

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

// What a candidate computes where: its target and its values on random codes.
std::string SignatureOf(const Candidate& c) {
  std::string key{static_cast<char>(c.item.TargetFrame), static_cast<char>(c.item.TargetBit & 0xFF),
                  static_cast<char>(c.item.TargetBit >> 8), static_cast<char>(c.item.TargetWidth)};
  for (int p = 0; p < discovery::kUniformProbes; ++p)
    key.push_back(static_cast<char>(c.probe_values[static_cast<std::size_t>(p)]));
  return key;
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

// The listing order as one array of numbers, compared element by element.
using ListingKey = std::array<std::int32_t, 19>;

ListingKey KeyOf(const ir::TCrcItem& i) {
  ListingKey key{i.ZoneCount, i.Const != 0 ? 1 : 0,      i.Kind, i.OperandWidth == 8 ? 0 : 1, i.TargetFrame,
                 i.TargetBit, i.TargetWidth == 8 ? 0 : 1};
  // Zones: the earlier start first; then a zone that ends on a nibble
  // boundary or just before the target, then the longer one. A zone that runs
  // on over bits that happen to be 0 in every code then comes after the zone
  // that stops where the field stops.
  for (int z = 0; z < 2 && z < i.ZoneCount; ++z) {
    const ir::TCrcZone& zone = i.Zones[static_cast<std::size_t>(z)];
    const bool natural =
        (zone.EndBit + 1) % 4 == 0 || (zone.EndFrame == i.TargetFrame && zone.EndBit + 1 == i.TargetBit);
    const auto at = static_cast<std::size_t>(7 + 5 * z);
    key[at] = zone.StartFrame;
    key[at + 1] = zone.StartBit;
    key[at + 2] = natural ? 0 : 1;
    key[at + 3] = -zone.EndFrame;
    key[at + 4] = -zone.EndBit;
  }
  key[17] = i.ConstOp;
  key[18] = i.Const;
  return key;
}

// Examines the finds of a tier in listing order (at most kMaxExaminedPerTier
// of them): those that hold, carry the evidence and compute something new
// are kept.
void SiftTier(const SearchSpace& space, const DescriptionLength& description, const std::vector<Found>& found,
              Sift& sift) {
  std::vector<ListingKey> keys;
  keys.reserve(found.size());
  for (const Found& f : found) keys.push_back(KeyOf(discovery::MakeCandidate(space, f).item));
  std::vector<std::uint32_t> order(found.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
  auto before = [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; };
  const std::size_t examined = std::min(order.size(), kMaxExaminedPerTier);
  if (examined < order.size()) {
    std::nth_element(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(examined), order.end(),
                     before);
    sift.unexamined = true;
  }
  std::sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(examined), before);
  for (std::size_t k = 0; k < examined; ++k) {
    if (sift.kept.size() >= kMaxCompared) {
      sift.unexamined = true;
      return;
    }
    Candidate c = discovery::MakeCandidate(space, found[order[k]]);
    if (!discovery::HoldsOnRows(space, c)) continue;
    sift.any_explains = true;
    discovery::FillProbeValues(space, c);
    c.surplus = discovery::Evidence(space, c) - description.Bits(c);
    if (c.surplus < kChanceMargin) continue;
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

// The rivals of listed candidates that the engine confirms, by candidate and
// then in listing order, at most kMaxChecksumRivals.
void ListRivals(const std::vector<discovery::LeftOutRival>& rivals,
                const std::vector<std::optional<std::size_t>>& listed_as,
                const ir::TStrProt_Listbase& elements, std::span<const ir::TSSByteArray> rows, bool lsb_first,
                std::vector<ChecksumRival>& out) {
  for (const discovery::LeftOutRival& rival : rivals) {
    const std::optional<std::size_t> listed = listed_as[rival.kept];
    if (listed && EngineConfirms(elements, rows, rival.candidate.item, lsb_first))
      out.push_back({*listed, rival.candidate.item});
  }
  std::stable_sort(out.begin(), out.end(), [](const ChecksumRival& a, const ChecksumRival& b) {
    if (a.candidate != b.candidate) return a.candidate < b.candidate;
    return KeyOf(a.item) < KeyOf(b.item);
  });
  if (out.size() > static_cast<std::size_t>(kMaxChecksumRivals)) out.resize(kMaxChecksumRivals);
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

bool CandidateBefore(const ir::TCrcItem& a, const ir::TCrcItem& b) { return KeyOf(a) < KeyOf(b); }

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
  // Every tier is searched: a later tier may explain a wider target whose
  // parts an earlier one only explains by chance.
  for (Tier tier : kTiers) {
    std::vector<Found> found;
    RunTier(space, tier, found);
    crowded = crowded || found.size() >= discovery::kMaxFoundPerTier;
    SiftTier(space, description, found, sift);
  }

  std::vector<discovery::LeftOutRival> rivals;
  discovery::DropApproximations(space, sift.kept, rivals);
  // Where each kept candidate is listed, if it is.
  std::vector<std::optional<std::size_t>> listed_as(sift.kept.size());
  for (std::size_t k = 0; k < sift.kept.size(); ++k) {
    if (result.candidates.size() >= static_cast<std::size_t>(kMaxChecksumCandidates)) break;
    if (!EngineConfirms(elements, usable, sift.kept[k].item, lsb_first)) continue;
    listed_as[k] = result.candidates.size();
    result.candidates.push_back(sift.kept[k].item);
  }
  ListRivals(rivals, listed_as, elements, usable, lsb_first, result.rivals);
  if (result.candidates.empty()) {
    result.note = sift.any_explains ? DiscoveryNote::TooFewRows : DiscoveryNote::NoCandidate;
  } else if (crowded || sift.unexamined || !rivals.empty() || discovery::Disagree(sift.kept)) {
    result.note = DiscoveryNote::Ambiguous;
  } else {
    result.note = DiscoveryNote::Ok;
  }
  return result;
}

}  // namespace klimavo::analysis
