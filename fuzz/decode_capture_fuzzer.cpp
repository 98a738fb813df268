// DecodeCapture over arbitrary durations, in both bit orders and at any
// tolerance from 0.01 to 1.0: no fault, and every success is self-consistent.
//
// Input: byte 0 picks the tolerance, byte 1 the flags, the rest are signed
// 16-bit little-endian durations in µs (scaled to 0.1 µs ticks, with byte 1
// also choosing a larger scale so long gaps appear).

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ir/decode.h"
#include "ir/protocol.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace klimavo::ir;
  if (size < 2) return 0;
  const double tolerance = 0.01 + 0.99 * data[0] / 255.0;
  const bool both_orders = (data[1] & 1) != 0;
  const bool lsb_first = (data[1] & 2) != 0;
  const std::int32_t scale = (data[1] & 4) != 0 ? 100 : 10;
  TIRIntegerArr ticks;
  for (std::size_t i = 2; i + 1 < size; i += 2) {
    const auto raw = static_cast<std::int16_t>(data[i] | (data[i + 1] << 8));
    ticks.push_back(std::int32_t{raw} * scale + (data[1] >> 4));
  }
  Tcomp_aval result;
  if (!DecodeCapture(ticks, 38000, both_orders, lsb_first, tolerance, result)) return 0;
  Check(result.LogicCodes.size() == result.Params.LogicCount);
  Check(result.Params.SplitCount <= TIRGsPara::kMaxSplit);
  Check(result.Protocol.Elements.size() <= kMaxProtocolElements);
  Check(result.Protocol.Repeat >= 1);
  for (const TStrProtItem& e : result.Protocol.Elements)
    if (!e.IsData()) Check(e.Value < result.Params.SplitCount);
  const auto claimed = static_cast<std::size_t>(TotalBits(result.Protocol.Elements));
  Check(claimed <= result.Bits.size());
  if (!result.Bytes.empty()) {
    TSSByteArray back;
    Check(BytesToBits(result.Protocol.Elements, result.Bytes, both_orders || lsb_first, back));
    for (std::size_t i = 0; i < back.size(); ++i) Check(back[i] == result.Bits[i]);
  }
  // The text form of the result reads back as the same structure.
  Check(SameProtocol(ParseProtocol(PrintProtocol(result.Protocol)), result.Protocol));
  return 0;
}
