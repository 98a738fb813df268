#pragma once
// Checksum discovery: given decoded codes of one format, find the checksum
// items that reproduce the value at their target in every code.
//
// The space searched is what a checksum item can express: a target of 4 or 8
// bits starting at any bit of a frame (and ending inside it) whose bits change
// between the codes; one or two zones, each starting at a multiple of 4 bits of
// its frame and ending at any bit, not overlapping the target; the eleven
// kinds; operand width 8 or 4; no constant, or a constant operation with the
// constant solved from the codes. docs/checksum-discovery.md says which
// constant operations are tried with which kinds and zone counts.
//
// A definition found by chance is not reported: each candidate must carry more
// evidence (how unlikely its value is to match the target in each code that
// differs over its bits, less what its constant absorbs) than it takes bits to
// name it. Candidates that compute the same value for every code are reported
// once, and those that only restate or approximate a better candidate are left
// out (docs/checksum-discovery.md says which). The list is
// ordered by (zone count, constant used, kind, operand width 8 before 4, target
// frame, target bit, target width 8 before 4, zones: earlier start, then a zone
// ending on a nibble boundary or just before the target, then the longer zone;
// constant operation, constant).

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ir/crc_item.h"
#include "ir/ir_types.h"

namespace klimavo::analysis {

/// At most this many candidates are listed.
inline constexpr int kMaxChecksumCandidates = 20;
/// Fewer codes than this cannot show a checksum.
inline constexpr int kMinDiscoveryRows = 2;

/// What the search says about its result.
enum class DiscoveryNote {
  Ok,            ///< the candidates agree wherever their targets meet, on any code
  TooFewRows,    ///< fewer than two codes, or too few to tell a checksum from chance
  RowsTooAlike,  ///< fewer than two different codes
  Ambiguous,     ///< candidates that explain the codes compute different values for other codes
  NoCandidate,   ///< no definition of the searched space explains the codes
};
/// "ok", "too_few_rows", "rows_too_alike", "ambiguous", "no_candidate".
std::string_view DiscoveryNoteName(DiscoveryNote note);

/// At most this many rivals are listed.
inline constexpr int kMaxChecksumRivals = 20;

/// A definition that explains the codes as well as a listed candidate for the
/// same target, and computes what it computes on many codes like them, but
/// other values for other codes: the codes cannot tell which of the two holds.
struct ChecksumRival {
  std::size_t candidate = 0;  ///< index of the listed candidate it rivals
  ir::TCrcItem item;
};

struct ChecksumDiscovery {
  std::vector<ir::TCrcItem> candidates;  ///< best first, at most kMaxChecksumCandidates
  /// The rivals of listed candidates, by candidate and then in listing order,
  /// at most kMaxChecksumRivals. The note is then Ambiguous.
  std::vector<ChecksumRival> rivals;
  DiscoveryNote note = DiscoveryNote::NoCandidate;
  int rows = 0;           ///< codes of the format's length that took part
  int distinct_rows = 0;  ///< of those, the different ones
};

/// Searches the checksum items of the format `elements` that explain the
/// codes `rows` (code bits, one byte per bit, in signal order). Codes whose
/// length is not the format's are left out.
ChecksumDiscovery DiscoverChecksums(const ir::TStrProt_Listbase& elements,
                                    std::span<const ir::TSSByteArray> rows, bool lsb_first);

/// True when candidate `a` is listed before `b`.
bool CandidateBefore(const ir::TCrcItem& a, const ir::TCrcItem& b);

}  // namespace klimavo::analysis
