#pragma once
// How checksum discovery weighs what its search found: a candidate (an item,
// the search's record of it and its values on the probe codes), the evidence
// the codes give for it against the length of its description, and the
// thinning of candidates that only approximate a better one.

#include <array>
#include <cstdint>
#include <vector>

#include "analysis/checksum_discovery/checksum_search.h"
#include "ir/crc_item.h"

namespace klimavo::analysis::discovery {

struct Candidate {
  ir::TCrcItem item;
  Found found;
  std::array<std::uint32_t, kProbeCount> probe_values{};
  double surplus = 0;  ///< evidence beyond the description length, in bits
};

/// A candidate left out as the rival of a kept one that computes other values
/// for some random code.
struct LeftOutRival {
  Candidate candidate;
  std::size_t kept = 0;  ///< index of the kept candidate it rivals, in the thinned list
};

/// The item a find describes.
Candidate MakeCandidate(const SearchSpace& space, const Found& found);
/// The candidate's value in a slot (a row or a probe code).
std::uint32_t ValueInSlot(const SearchSpace& space, const Candidate& c, int slot);
/// True when the candidate computes the target value of every row.
bool HoldsOnRows(const SearchSpace& space, const Candidate& c);
/// Fills the candidate's values on the probe codes.
void FillProbeValues(const SearchSpace& space, Candidate& c);

/// Bits of evidence the rows give for a candidate (its probe values filled):
/// for each row that differs over the candidate's zones and target, how
/// unlikely the candidate's value is to be the target value by chance (judged
/// by how its values spread over the uniform probe codes: a count of ones takes
/// few values and earns less; and at most the number of target bits that
/// change between the rows), less what a solved constant was free to absorb.
double Evidence(const SearchSpace& space, const Candidate& c);

/// How many bits it takes to name a candidate when natural choices are the
/// likely ones: a target on a nibble or byte boundary, a zone from the start of
/// a frame (or from just after the target) to the end of a frame (or to just
/// before the target), no constant. As the lengths obey Kraft's inequality, the
/// definitions whose evidence passes their length by chance number fewer than
/// 2^-margin on average, however many are tried.
class DescriptionLength {
 public:
  explicit DescriptionLength(const SearchSpace& space);
  double Bits(const Candidate& c) const;

 private:
  const SearchSpace& space_;
  int natural_ = 1;
  int byte_starts_ = 0;
  int nibble_starts_ = 0;
  int byte_ends_ = 0;
  std::array<int, 2> aligned_{};
  std::array<int, 2> unaligned_{};
};

/// Leaves out the candidates (of a list in listing order) that only restate or
/// approximate a better one:
/// - a candidate whose changing target bits lie in the target of a wider
///   candidate and whose zones read bits of that target: it predicts part of
///   that checksum from another part of it (a nibble of a negated sum from the
///   sum of nibbles and the checksum's low nibble);
/// - a candidate whose changing target bits lie in the target of a wider (or
///   as wide and earlier) candidate and which computes, on at least half the
///   row-like probe codes, what that one computes where the targets meet (a
///   sum times 4 two bits lower);
/// - a rival for the same target that computes, on at least 3/8 of the row-like
///   probe codes, what a candidate with more evidence to spare computes (a
///   zone that runs on over bytes that are 0 in every row; an exclusive or of a
///   longer sum that equals a negated sum for half the sums, and so for the
///   codes seen).
/// - of two candidates that each read the other's target (one constraint
///   stated twice, as when every byte is the exclusive or of the others), the
///   one whose zones do not all come before its target: a checksum follows
///   the bits it covers.
/// `rivals` receives the rivals left out that compute, for some random code,
/// other than the one kept: the codes leave open which one holds.
void DropApproximations(const SearchSpace& space, std::vector<Candidate>& kept,
                        std::vector<LeftOutRival>& rivals);

/// True when two candidates for one target remain: they compute different
/// values for some code (the probes told them apart), so the codes cannot tell
/// which one holds. Candidates for different targets describe different
/// fields and do not contradict each other.
bool Disagree(const std::vector<Candidate>& kept);

}  // namespace klimavo::analysis::discovery
