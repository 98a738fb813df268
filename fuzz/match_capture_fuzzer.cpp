// Reads arbitrary durations with arbitrary timing blocks, pair by pair, as
// bi-phase and along a protocol structure. The readers must stay inside the
// durations and the code tables whatever the counts say, and their results must
// agree with the bits they hand back.
//
// Input: 196 bytes of timing block, a tolerance byte, a repeat byte, an element
// count byte and 4 bytes per element, then 3 bytes per duration: a selector and
// 16 bits that either are the duration or jitter a duration taken from the
// timing block (so that the readers get past the first pair).
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/byte_io.h"
#include "ir/known_format.h"
#include "ir/protocol.h"

namespace {

using namespace klimavo;

constexpr std::size_t kMaxElements = 64;

void Check(bool condition) {
  if (!condition) std::abort();
}

std::int32_t Duration(const ir::TIRGsPara& params, std::uint8_t selector, std::uint16_t word) {
  const auto small = static_cast<std::int16_t>(word);
  const int jitter = small % 64;
  switch (selector % 4) {
    case 0:
      return static_cast<std::int32_t>(small) * 4;
    case 1:
      return static_cast<std::int32_t>(
          static_cast<std::int64_t>(params.Logic[(selector >> 2) & 7][(selector >> 5) & 3]) + jitter);
    case 2:
      return static_cast<std::int32_t>(
          static_cast<std::int64_t>(params.Split[(selector >> 2) & 7][(selector >> 5) & 1]) + jitter);
    default: {
      const std::int64_t half = params.Logic[0][0] % 100000;
      const std::int64_t d = half * ((selector >> 2) % 3 + 1) * ((selector & 0x80) ? -1 : 1);
      return static_cast<std::int32_t>(d + jitter);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  base::ByteReader in({data, size});
  ir::TIRGsPara params;
  params.Read(in);
  const double tolerance = in.u8() / 64.0;
  ir::TStrProt_Stru protocol;
  protocol.Repeat = static_cast<std::int8_t>(in.u8());
  const std::size_t count = in.u8() % kMaxElements;
  for (std::size_t i = 0; i < count; ++i) {
    ir::TStrProtItem item;
    item.Kind = in.u8();
    item.Reserved = in.u8();
    item.Value = static_cast<std::uint16_t>(in.u16() % 300);
    protocol.Elements.push_back(item);
  }
  if (!in.ok()) return 0;
  ir::TIRIntegerArr durations;
  while (in.remaining() >= 3) {
    const std::uint8_t selector = in.u8();
    durations.push_back(Duration(params, selector, in.u16()));
  }
  durations.shrink_to_fit();  // a read past the end is then outside the allocation

  const ir::KnownFormat format{params, tolerance};
  ir::TSSByteArray bits;
  ir::TStrProt_Listbase elements;
  const int result = ir::MatchCapture(durations, format, bits, elements);
  if (ir::IsBiphaseFormat(params)) {
    Check(result >= 0);
    Check(bits.size() <= ir::kMaxKnownBiphaseBits);
    Check(static_cast<std::size_t>(result) == bits.size());
    Check(ir::TotalBits(elements) == result);
    for (std::uint8_t b : bits) Check(b <= 1);
  } else {
    const auto pairs = static_cast<std::int64_t>(durations.size() / 2);
    Check(result > -pairs || result == 0);
    if (result >= 0) Check(static_cast<std::size_t>(result) == bits.size());
    if (result > 0) Check(elements.size() == static_cast<std::size_t>(pairs));
    for (std::uint8_t b : bits) Check(b < ir::TIRGsPara::kMaxLogic);
  }

  ir::TSSByteArray along;
  if (ir::MatchCaptureToProtocol(durations, format, protocol, along)) {
    Check(static_cast<std::int64_t>(along.size()) <= ir::TotalBits(protocol.Elements));
    Check(along.size() <= durations.size() / 2);
    for (std::uint8_t b : along) Check(b < ir::TIRGsPara::kMaxLogic);
  }
  return 0;
}
