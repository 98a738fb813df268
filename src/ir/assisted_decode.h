#pragma once
// The assisted decode: a second reading of a capture beside the blind decoder.
// It runs DecodeCapture first and keeps its result whenever that result looks
// sound. Only when the blind reading fails or looks wrong (a data group that is
// not a whole number of bytes, a lone odd pair class between data bits, data
// broken into many small groups, logic codes that begin with a space) does it
// try other readings, in a fixed order:
//
//   1. another tolerance (wider, to merge jittered classes; narrower, to part
//      durations that lie closer together than the tolerance),
//   2. inverted polarity (marks and spaces swapped by a receiver or a file),
//   3. sections split at long gaps, each read with its own timing,
//   4. symbols of two bits (one mark, four space lengths),
//   5. a stray lead-in or end pulse that the pair classes read as data,
//
// and returns the best of them, with every change it made and why. A reading
// replaces the blind one only when it is strictly better by the same measure
// (fewer data groups off whole bytes, fewer lone odd classes, fewer groups);
// otherwise the blind reading is kept and the report says what was tried.

#include <cstdint>
#include <string>
#include <vector>

#include "ir/ir_types.h"

namespace klimavo::ir {

/// One change of an assisted reading: what it changed and why.
struct AssistChange {
  std::string change;
  std::string why;
  friend bool operator==(const AssistChange&, const AssistChange&) = default;
};

enum class AssistOutcome {
  kPlain,     ///< the blind reading looked sound: nothing else was tried
  kKept,      ///< the blind reading looked doubtful, but no other reading was better
  kImproved,  ///< another reading replaced the blind one
  kFailed,    ///< neither the blind reading nor any other reading decodes
};

/// The result of an assisted decode.
///
/// `result` is the reading returned, in the form of a blind decode: timing,
/// structure of one repetition (data groups count bits), data bits in signal
/// order and code bytes. Two readings stretch that form without changing its
/// meaning:
///  - symbols of two bits: `Params` holds four logic codes (code k is symbol
///    value k), every symbol adds two bits to its data group, and those bits
///    follow the requested bit order (low bit first when LSB-first), so the
///    code bytes are the symbol values packed in that order;
///  - sections: the sections follow one another in `Protocol`, each with its
///    own split codes (shared ones once) in one table; a section whose logic
///    codes differ from the first section's adds them after the first two,
///    while its bits keep the values 0 and 1. The bytes are those of every
///    section in signal order.
struct AssistedDecode {
  AssistOutcome outcome = AssistOutcome::kFailed;
  bool plain_ok = false;
  Tcomp_aval plain;         ///< the blind reading (when plain_ok)
  Tcomp_aval result;        ///< the reading returned (the blind one unless improved)
  int sections = 1;         ///< sections of the returned reading
  int bits_per_symbol = 1;  ///< 2 for a reading of two-bit symbols
  /// kImproved: every change made. kKept and kFailed: one entry naming what
  /// was tried and why it was not taken. kPlain: empty.
  std::vector<AssistChange> changes;

  bool ok() const { return outcome != AssistOutcome::kFailed; }
};

/// Decodes a capture (0.1 µs) as DecodeCapture does and, where that reading
/// fails or looks wrong, tries the other readings.
AssistedDecode AssistedDecodeCapture(const TIRIntegerArr& durations, std::int32_t carrier, bool both_orders,
                                     bool lsb_first, double decode_tolerance);

/// Why a blind reading looks wrong; empty when it looks sound.
std::vector<std::string> DoubtsAbout(const Tcomp_aval& result);

}  // namespace klimavo::ir
