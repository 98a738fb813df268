#pragma once
// Reading a capture with a known timing block: the analysis tools capture one
// key press after another and need only its bits, read with the stored logic
// and split codes rather than guessed afresh. Either a given frame structure is
// followed (MatchCaptureToProtocol) or the structure emerges pair by pair
// (MatchCapture). Durations are whole µs (a capture divided by 10). Every
// comparison is IsNearCfg with the configured decode tolerance passed in.

#include <cstdint>

#include "ir/ir_types.h"

namespace klimavo::ir {

/// Bits read by the bi-phase reading beyond this many are dropped.
inline constexpr std::size_t kMaxKnownBiphaseBits = 512;

/// A known format: the stored timing and the decode tolerance to read it with.
struct KnownFormat {
  TIRGsPara params;
  double tolerance = 0.0;
};

/// True when the format has two logic codes, each of two halves of equal length.
bool IsBiphaseFormat(const TIRGsPara& params);

/// The logic code a (mark, space) pair reads as, or -1. The last pair of a
/// capture is matched by its mark alone when the logic marks differ, and is
/// never a bit when they agree.
int MatchLogicCode(const KnownFormat& format, std::int64_t mark, std::int64_t space, bool is_last);

/// The split code a (mark, space) pair reads as, or -1 (the last pair by its mark).
int MatchSplitCode(const KnownFormat& format, std::int64_t mark, std::int64_t space, bool is_last);

/// Reads a capture pair by pair (or as bi-phase for a bi-phase format). Returns
/// the number of bits read (> 0); 0 when the first pair, a bi-phase reading or a
/// capture of three or fewer bi-phase durations fails; -p when pair p >= 1
/// matches neither a logic nor a split code. `bits` gets one logic-code index
/// per bit, `elements` one element per pair (merged for bi-phase; empty after a
/// failed bi-phase reading).
int MatchCapture(const TIRIntegerArr& durations, const KnownFormat& format, TSSByteArray& bits,
                 TStrProt_Listbase& elements);

/// Reads the first repetition of `protocol` from a capture; false for a
/// bi-phase format, fewer than two pairs, or a pair the structure does not
/// admit. A repeat count below 1 succeeds with no bits. `bits` is not to be
/// used after a failure.
bool MatchCaptureToProtocol(const TIRIntegerArr& durations, const KnownFormat& format,
                            const TStrProt_Stru& protocol, TSSByteArray& bits);

}  // namespace klimavo::ir
