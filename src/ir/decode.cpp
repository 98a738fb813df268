// DecodeCapture: prepares a capture, runs both decoders, picks the result with
// fewer data groups and fills the decode result. Also the mark assembly of the
// learner path and the public faces of the decoder steps.

#include "ir/decode.h"

#include <algorithm>
#include <limits>

#include "ir/decode_internal.h"
#include "ir/protocol.h"
#include "ir/tolerance.h"

namespace klimavo::ir {
namespace detail {

std::int32_t ToSlot(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

}  // namespace detail

namespace {

// A capture's durations are 0.1 µs ticks; decoding counts whole µs.
constexpr std::int32_t kTicksPerMicro = 10;
// Mark assembly: a gap belongs to the mark while gap plus pulse stay under 60 µs.
constexpr std::int64_t kCarrierGapMicros = 60;

struct DecodeWorkspace {
  TIRIntegerArr micros;
  detail::PairScratch pair;
  detail::BiphaseScratch biphase;
  detail::DecodeOutcome pulse_pair;
  detail::DecodeOutcome bi_phase;
};

DecodeWorkspace& Workspace() {
  thread_local DecodeWorkspace workspace;
  return workspace;
}

// Step 3: a capture that ends with a mark gets its first space again; then µs.
void PrepareMicros(const TIRIntegerArr& ticks, TIRIntegerArr& micros) {
  const bool add_space = ticks.size() >= 2 && ticks.back() > 0;
  micros.resize(ticks.size() + (add_space ? 1 : 0));
  for (std::size_t i = 0; i < ticks.size(); ++i) micros[i] = ticks[i] / kTicksPerMicro;
  if (add_space) micros.back() = ticks[1] / kTicksPerMicro;
}

// MergeElements without a second list; the decoders' lists are merged already,
// so this normally only confirms it.
void MergeInPlace(TStrProt_Listbase& elements) {
  for (std::size_t i = 1; i < elements.size(); ++i) {
    if (elements[i].IsData() && elements[i - 1].IsData()) {
      elements = MergeElements(elements);
      return;
    }
  }
}

void FillResult(const detail::DecodeOutcome& chosen, std::int32_t carrier, bool both_orders, bool lsb_first,
                Tcomp_aval& result) {
  // The chosen decoding passes through its protocol text, which holds at most
  // 512 elements; the bit list stays whole.
  TStrProt_Stru& protocol = result.Protocol;
  const std::size_t kept = std::min(chosen.elements.size(), kMaxProtocolElements);
  protocol.Elements.assign(chosen.elements.begin(),
                           chosen.elements.begin() + static_cast<std::ptrdiff_t>(kept));
  protocol.Repeat = 1;
  result.Params = chosen.params;
  detail::DetectRepeatBits(chosen.bits, protocol);

  // Bytes of one repetition. A result never keeps bytes of an earlier capture:
  // BytesMsb is emptied when only one order is asked for.
  detail::PackBits(protocol.Elements, chosen.bits, both_orders ? true : lsb_first, result.Bytes);
  if (both_orders) {
    detail::PackBits(protocol.Elements, chosen.bits, false, result.BytesMsb);
  } else {
    result.BytesMsb.clear();
  }
  std::size_t bit_count = chosen.bits.size();
  if (protocol.Repeat > 1) bit_count /= static_cast<std::size_t>(protocol.Repeat);
  result.Bits.assign(chosen.bits.begin(), chosen.bits.begin() + static_cast<std::ptrdiff_t>(bit_count));

  result.Carrier = carrier;
  result.Params.Carrier = static_cast<std::uint16_t>(carrier);
  MergeInPlace(protocol.Elements);
  result.LogicCodes.resize(result.Params.LogicCount);
  for (std::size_t k = 0; k < result.LogicCodes.size(); ++k) {
    TIRIntegerArr& code = result.LogicCodes[k];
    code.clear();
    for (const std::int32_t d : result.Params.Logic[k])
      if (d != kUnusedDuration) code.push_back(d);
  }
}

}  // namespace

bool DecodeCapture(const TIRIntegerArr& durations, std::int32_t carrier, bool both_orders, bool lsb_first,
                   double decode_tolerance, Tcomp_aval& result) {
  DecodeWorkspace& ws = Workspace();
  PrepareMicros(durations, ws.micros);
  detail::ClassifyPairsInto(ws.micros, decode_tolerance, ws.pair);
  detail::DecodePairClassesInto(ws.pair.classes, ws.pair.indexes, decode_tolerance, ws.pair, ws.pulse_pair,
                                /*counts_from_classification=*/true);
  const int a = ws.pulse_pair.groups;
  // The bi-phase reading wins only with fewer data groups than the pulse-pair
  // one, and no reading has fewer than one: a single group is already the result.
  if (a == 1) {
    FillResult(ws.pulse_pair, carrier, both_orders, lsb_first, result);
    return true;
  }
  detail::DecodeBiphaseInto(ws.micros, ws.biphase, ws.bi_phase);
  const int b = ws.bi_phase.groups;
  if (a <= 0 && b <= 0) return false;
  const bool take_pulse_pair = a > 0 && (b <= 0 || a <= b);
  FillResult(take_pulse_pair ? ws.pulse_pair : ws.bi_phase, carrier, both_orders, lsb_first, result);
  return true;
}

TIRIntegerArr MergeCarrierPulses(const TIRIntegerArr& durations, int k) {
  TIRIntegerArr out;
  out.reserve(durations.size());
  std::int64_t sum = 0;
  std::int64_t width = 0;
  const std::int64_t limit = kCarrierGapMicros * k;
  for (const std::int32_t v : durations) {
    if (v > 0) {
      width = v;
      sum += v;
    } else if (-std::int64_t{v} + width < limit) {
      sum += -std::int64_t{v};  // a gap inside the carrier burst
      width = 0;
    } else {
      out.push_back(detail::ToSlot(sum));
      out.push_back(v);
      sum = 0;
    }
  }
  if (sum > 0) out.push_back(detail::ToSlot(sum));
  return out;
}

void ClassifyPairs(const TIRIntegerArr& durations, double tolerance, TIRWaveStruArr& classes,
                   TClassIndexArr& class_indexes) {
  detail::PairScratch scratch;
  detail::ClassifyPairsInto(durations, tolerance, scratch);
  classes = std::move(scratch.classes);
  class_indexes = std::move(scratch.indexes);
}

namespace {
DecoderResult ToDecoderResult(detail::DecodeOutcome&& outcome) {
  DecoderResult result;
  result.groups = outcome.groups;
  result.params = outcome.params;
  if (outcome.groups < 0) return result;
  result.text = PrintElements(outcome.elements);
  result.bits = std::move(outcome.bits);
  return result;
}
}  // namespace

DecoderResult DecodePairClasses(const TIRWaveStruArr& classes, const TClassIndexArr& class_indexes,
                                double decode_tolerance) {
  detail::PairScratch scratch;
  detail::DecodeOutcome outcome;
  detail::DecodePairClassesInto(classes, class_indexes, decode_tolerance, scratch, outcome);
  return ToDecoderResult(std::move(outcome));
}

DecoderResult DecodeBiphase(const TIRIntegerArr& durations) {
  detail::BiphaseScratch scratch;
  detail::DecodeOutcome outcome;
  detail::DecodeBiphaseInto(durations, scratch, outcome);
  return ToDecoderResult(std::move(outcome));
}

int FixTail(TIRGsPara& params, const TSSByteArray& bits, TStrProt_Listbase& elements,
            double decode_tolerance) {
  return detail::FixTailBits(params, bits, elements, decode_tolerance);
}

}  // namespace klimavo::ir
