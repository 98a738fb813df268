#include "ir/captures_alike.h"

#include <algorithm>
#include <map>
#include <string>

#include "ir/known_format.h"
#include "ir/protocol.h"

namespace klimavo::ir {
namespace {

// Data bits of a reading may differ from the shared structure's by this many:
// a pair read as a class of its own, or an end pulse read as a bit.
constexpr std::int64_t kMaxBitDifference = 2;
constexpr int kMinSharing = 2;

std::int64_t SignalBits(const TStrProt_Stru& protocol) {
  return TotalBits(protocol.Elements) * std::max<std::int64_t>(1, protocol.Repeat);
}

// The bit counts of the data groups over the whole signal, split markers left out.
std::vector<std::int64_t> DataGroups(const TStrProt_Stru& protocol) {
  std::vector<std::int64_t> groups;
  for (std::int32_t rep = 0; rep < std::max(1, protocol.Repeat); ++rep)
    for (const TStrProtItem& e : protocol.Elements)
      if (e.IsData()) groups.push_back(e.Value);
  return groups;
}

bool Eligible(const AssistedDecode& d) { return d.ok() && d.bits_per_symbol == 1 && d.sections == 1; }

// Whole µs, with a final mark given the first space as the blind decoder does,
// so an end pulse is a pair of its own.
TIRIntegerArr MicrosOf(const TIRIntegerArr& ticks) {
  TIRIntegerArr micros;
  for (const std::int32_t d : ticks) micros.push_back(TicksToMicros(d));
  if (ticks.size() >= 2 && ticks.back() > 0) micros.push_back(TicksToMicros(ticks[1]));
  return micros;
}

}  // namespace

int ReadCapturesAlike(std::vector<AlikeCapture>& captures, bool both_orders, bool lsb_first, double tolerance) {
  std::map<std::string, int> counts;
  std::map<std::string, std::size_t> first_of;
  for (std::size_t i = 0; i < captures.size(); ++i) {
    if (!Eligible(captures[i].decode)) continue;
    const std::string text = PrintProtocol(captures[i].decode.result.Protocol);
    if (counts[text]++ == 0) first_of[text] = i;
  }
  std::string shared;
  int sharing = 0;
  for (const auto& [text, n] : counts) {
    if (n > sharing) {
      shared = text;
      sharing = n;
    }
  }
  if (sharing < kMinSharing) return 0;
  const Tcomp_aval& model = captures[first_of[shared]].decode.result;
  const KnownFormat format{model.Params, tolerance};
  const TStrProt_Stru& structure = model.Protocol;
  const std::int64_t structure_bits = TotalBits(structure.Elements);
  const std::size_t eligible = [&] {
    std::size_t n = 0;
    for (const AlikeCapture& c : captures) n += Eligible(c.decode) ? 1 : 0;
    return n;
  }();

  int reread = 0;
  for (AlikeCapture& c : captures) {
    if (!Eligible(c.decode)) continue;
    const TStrProt_Stru& own = c.decode.result.Protocol;
    const std::string own_text = PrintProtocol(own);
    if (own_text == shared) continue;
    // Only split markers differ, or a doubtful reading is a pair or two away.
    if (DataGroups(own) != DataGroups(structure)) {
      const std::int64_t difference = SignalBits(own) - SignalBits(structure);
      if (DoubtsAbout(c.decode.result).empty() || difference > kMaxBitDifference || difference < -kMaxBitDifference)
        continue;
    }
    TSSByteArray bits;
    if (!MatchCaptureToProtocol(MicrosOf(c.ticks), format, structure, bits)) continue;
    if (static_cast<std::int64_t>(bits.size()) != structure_bits) continue;
    Tcomp_aval result;
    result.Carrier = c.decode.result.Carrier;
    result.Params = model.Params;
    result.Params.Carrier = static_cast<std::uint16_t>(result.Carrier);
    result.Protocol = structure;
    result.LogicCodes = model.LogicCodes;
    result.Bits = bits;
    if (!BitsToBytes(structure.Elements, bits, both_orders || lsb_first, result.Bytes)) continue;
    if (both_orders) BitsToBytes(structure.Elements, bits, false, result.BytesMsb);
    AssistedDecode& d = c.decode;
    if (d.outcome != AssistOutcome::kImproved) d.changes.clear();
    d.changes.push_back({"read as " + shared, std::to_string(sharing) + " of " + std::to_string(eligible) +
                                                  " captures of the file read so with the same timing; this one "
                                                  "read alone as " +
                                                  own_text});
    d.result = std::move(result);
    d.outcome = AssistOutcome::kImproved;
    ++reread;
  }
  return reread;
}

}  // namespace klimavo::ir
