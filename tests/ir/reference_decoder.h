#pragma once
// A second, deliberately plain reading of the blind decoder, used only by the
// differential test. Every step of the algorithm is its own small function and
// none of the production helpers (tolerance tests, protocol text, bit packing)
// is reused, so that a fault in one of them shows up as a mismatch.

#include <cstdint>
#include <string>
#include <vector>

#include "ir/ir_types.h"

namespace klimavo::ir::reference {

/// Rounds to the nearest integer, halves to even.
std::int64_t RoundHalfEven(double value);
/// round(n / 2) for an integer n, halves to even.
std::int64_t HalfOf(std::int64_t n);

bool IsNear(std::int64_t a, std::int64_t b, double mark_factor, double space_factor);
bool IsNearAbs50(std::int64_t a, std::int64_t b, double factor);
bool IsNearCfg(std::int64_t a, std::int64_t b, double tolerance);

/// A working element: wider than the stored one so nothing wraps while decoding.
struct Element {
  bool data = false;
  std::int64_t value = 0;
  friend bool operator==(const Element&, const Element&) = default;
};
using Elements = std::vector<Element>;

/// Capture in 0.1 µs → µs, with a final space added when it ends with a mark.
std::vector<std::int64_t> Prepare(const TIRIntegerArr& ticks);

struct PairClass {
  std::int64_t first = 0;
  std::int64_t second = 0;
};
void ClassifyPairs(const std::vector<std::int64_t>& us, double tolerance, std::vector<PairClass>& classes,
                   std::vector<std::size_t>& index_of_pair);

/// One decoder's answer: data-group count (-1 = failed), text, bits, timing.
struct DecoderAnswer {
  int groups = -1;
  std::string text;
  std::vector<std::uint8_t> bits;
  TIRGsPara params;
};
DecoderAnswer DecodePairClasses(const std::vector<PairClass>& classes,
                                const std::vector<std::size_t>& index_of_pair, double tolerance);
DecoderAnswer DecodeBiphase(const std::vector<std::int64_t>& us);

/// The protocol text of a list, elements as they are.
std::string PrintElements(const Elements& elements);
/// The text parsed back with the 512-element cap (Repeat is returned in `repeat`).
Elements ParseProtocol(const std::string& text, std::int32_t& repeat);
Elements MergeElements(const Elements& elements);
void DetectRepeat(const std::vector<std::uint8_t>& bits, Elements& elements, std::int32_t& repeat);
bool BitsToBytes(const Elements& elements, const std::vector<std::uint8_t>& bits, bool lsb_first,
                 TSSByteArray& bytes);

/// The whole blind decode; false leaves `result` as it was.
bool DecodeCapture(const TIRIntegerArr& ticks, std::int32_t carrier, bool both_orders, bool lsb_first,
                   double tolerance, Tcomp_aval& result);

}  // namespace klimavo::ir::reference
