#pragma once
// The search tiers of checksum discovery, in the order in which their
// candidates are listed: one zone without a constant, one zone with one, two
// zones without, two zones with. Each tier reports every definition that
// reproduces the target value in every row; the caller confirms, weighs,
// orders and thins them.
//
// Constants are solved from the rows, never guessed: "+" and "xor" by the
// difference between rows (one hash look-up per hypothesis), "*", "and" and
// "or" per target from the row that fixes them best, "/" from the interval of
// divisors each row allows. A "-" constant is never reported: it is the "+" of
// the complementary constant. Two zones are tried with the operation that
// keeps the combination separable: no constant, "+" after a sum or count,
// "xor" after an exclusive or.

#include <cstdint>
#include <vector>

#include "analysis/checksum_discovery/checksum_search_space.h"

namespace klimavo::analysis::discovery {

/// One definition that explains the rows.
struct Found {
  int zone1 = 0;
  int zone2 = -1;  ///< -1: one zone
  int target = 0;  ///< index into Targets(target_width_index)
  std::uint8_t target_width_index = 0;
  std::uint8_t hypothesis = 0;  ///< index into Hypotheses()
  std::uint8_t const_op = 0;
  std::uint16_t constant = 0;  ///< 0: no constant
};

/// Stops a tier once this many definitions are found; the caller treats the
/// rows as far from settled then.
inline constexpr std::size_t kMaxFoundPerTier = 200000;

/// One zone, no constant.
void SearchOneZone(const SearchSpace& space, std::vector<Found>& found);
/// One zone with a constant of each operation.
void SearchOneZoneWithConstant(const SearchSpace& space, std::vector<Found>& found);
/// Two zones, without a constant or with the separable one.
void SearchTwoZones(const SearchSpace& space, bool with_constant, std::vector<Found>& found);

}  // namespace klimavo::analysis::discovery
