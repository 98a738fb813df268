#pragma once
// Blind decoding of a captured signal: pulse-pair classification, the pulse-pair
// and bi-phase decoders, repetition detection, and the mark assembly of the
// learner path.

#include <cstdint>
#include <string>
#include <vector>

#include "ir/ir_types.h"

namespace klimavo::ir {

inline constexpr double kDefaultDecodeTolerance = 0.21;
inline constexpr std::size_t kMaxBiphaseBits = 512;

/// Class index of every pair. Wider than a byte: a capture may hold more than
/// 256 pair classes, and a wrapped index would merge unrelated classes.
using TClassIndexArr = std::vector<std::uint32_t>;

/// Decodes a capture (0.1 µs) into `result`; false (result untouched) when
/// neither decoder reads it.
bool DecodeCapture(const TIRIntegerArr& durations, std::int32_t carrier, bool both_orders, bool lsb_first,
                   double decode_tolerance, Tcomp_aval& result);

/// Joins carrier pulses into marks (k ticks per µs; the learner uses 12).
TIRIntegerArr MergeCarrierPulses(const TIRIntegerArr& durations, int k);

/// Pair classes of µs durations and the class index of every pair.
void ClassifyPairs(const TIRIntegerArr& durations, double tolerance, TIRWaveStruArr& classes,
                   TClassIndexArr& class_indexes);

/// Result of one decoder: data-group count (or -1), protocol text, bits, timing.
struct DecoderResult {
  int groups = -1;
  std::string text;
  TSSByteArray bits;
  TIRGsPara params;
};
DecoderResult DecodePairClasses(const TIRWaveStruArr& classes, const TClassIndexArr& class_indexes,
                                double decode_tolerance);
DecoderResult DecodeBiphase(const TIRIntegerArr& durations);

/// Turns a final data bit that is really an end pulse into a split element.
/// Returns -1 when it took the last bit away (the caller drops it), else 0.
int FixTail(TIRGsPara& params, const TSSByteArray& bits, TStrProt_Listbase& elements,
            double decode_tolerance);
/// Finds repetitions of the whole structure and rewrites it with a repeat count.
void DetectRepeat(const TSSByteArray& bits, TStrProt_Stru& protocol);

}  // namespace klimavo::ir
