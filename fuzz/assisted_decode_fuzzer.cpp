// AssistedDecodeCapture over arbitrary durations, in both bit orders and at any
// tolerance from 0.01 to 1.0: no fault; a sound blind reading comes back as it
// is; every reading returned is self-consistent and explained.
//
// Input: byte 0 picks the tolerance, byte 1 the flags, the rest are signed
// 16-bit little-endian durations in µs (scaled to 0.1 µs ticks, with byte 1
// also choosing a larger scale so long gaps appear).

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "ir/assisted_decode.h"
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
  const AssistedDecode d = AssistedDecodeCapture(ticks, 38000, both_orders, lsb_first, tolerance);
  Tcomp_aval plain;
  const bool plain_ok = DecodeCapture(ticks, 38000, both_orders, lsb_first, tolerance, plain);
  Check(d.plain_ok == plain_ok);
  switch (d.outcome) {
    case AssistOutcome::kPlain:
      Check(plain_ok && DoubtsAbout(plain).empty() && d.changes.empty());
      Check(d.result.Bytes == plain.Bytes && d.result.Bits == plain.Bits);
      break;
    case AssistOutcome::kKept:
      Check(plain_ok && d.changes.size() == 1 && d.result.Bytes == plain.Bytes);
      break;
    case AssistOutcome::kFailed:
      Check(!plain_ok && d.changes.size() == 1);
      return 0;
    case AssistOutcome::kImproved:
      Check(!d.changes.empty());
      for (const AssistChange& c : d.changes) Check(!c.change.empty() && !c.why.empty());
      break;
  }
  const Tcomp_aval& r = d.result;
  Check(r.LogicCodes.size() == r.Params.LogicCount);
  Check(r.Params.SplitCount <= TIRGsPara::kMaxSplit && r.Params.LogicCount <= TIRGsPara::kMaxLogic);
  Check(r.Protocol.Elements.size() <= kMaxProtocolElements);
  Check(r.Protocol.Repeat >= 1);
  for (const TStrProtItem& e : r.Protocol.Elements)
    if (!e.IsData()) Check(e.Value < r.Params.SplitCount);
  Check(static_cast<std::size_t>(TotalBits(r.Protocol.Elements)) <= r.Bits.size());
  for (const std::uint8_t b : r.Bits) Check(b <= 1);
  if (!r.Bytes.empty() && d.bits_per_symbol == 1) {
    TSSByteArray back;
    Check(BytesToBits(r.Protocol.Elements, r.Bytes, both_orders || lsb_first, back));
    for (std::size_t i = 0; i < back.size(); ++i) Check(back[i] == r.Bits[i]);
  }
  Check(SameProtocol(ParseProtocol(PrintProtocol(r.Protocol)), r.Protocol));
  return 0;
}
