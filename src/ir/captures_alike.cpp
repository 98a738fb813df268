#include "ir/captures_alike.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

#include "ir/assist_internal.h"
#include "ir/known_format.h"
#include "ir/protocol.h"

namespace klimavo::ir {
namespace {

constexpr int kMinSharing = 2;
// Tolerances a press is read with against the shared timing, nearest first: a
// receiver widens marks and jitters every duration by up to a third, and a
// pair is read only where exactly one code of the timing lies this near.
constexpr double kWiderTolerances[] = {0.30, 0.40};
// A space this long parts frames: its length carries no data, so a gap of
// the shared timing reads any long space from a quarter to four times as long
// (both at least half this long).
constexpr std::int64_t kGapMicros = 5000;
// A stray pulse after the end of the signal or a noise pulse before its
// leader: a mark at most this share of the leader's, parted by a gap.
constexpr std::int64_t kMaxStrayMarks = 2;
// A lead-in: up to this many short marks before the leader.
constexpr std::size_t kMaxLeadInPairs = 16;
constexpr double kLeadInSpread = 0.45;

// A reading of one-bit pairs with two logic codes, in one section or several
// that share them, can serve as the shared structure.
bool Eligible(const AssistedDecode& d) {
  return d.ok() && d.bits_per_symbol == 1 && d.result.Params.LogicCount == 2 &&
         !IsBiphaseFormat(d.result.Params);
}

// A receiver's jitter is much the same in µs for short and long durations, so
// a short duration may lie this far off however small its share.
constexpr std::int64_t kJitterMicros = 150;

bool Near(std::int64_t value, std::int64_t code, double tolerance) {
  const std::int64_t a = value < 0 ? -value : value;
  const std::int64_t b = code < 0 ? -code : code;
  const std::int64_t off = a > b ? a - b : b - a;
  return off <= kJitterMicros || static_cast<double>(off) <= tolerance * static_cast<double>(b);
}

// How far a duration lies from a code, as a ratio (0 = equal, ln 2 = twice).
double Distance(std::int64_t value, std::int64_t code) {
  const double a = static_cast<double>(value < 0 ? -value : value);
  const double b = static_cast<double>(code < 0 ? -code : code);
  return a <= 0 || b <= 0 ? 1e9 : std::fabs(std::log(a / b));
}

bool NearGap(std::int64_t space, std::int64_t code) {
  const std::int64_t a = -space;
  const std::int64_t b = -code;
  return std::max(a, b) >= kGapMicros && std::min(a, b) * 2 >= kGapMicros && a * 4 >= b && a <= b * 4;
}

// One (mark, space) of a capture in whole µs; space 0 for the final mark.
struct Pair {
  std::int64_t mark = 0;
  std::int64_t space = 0;
};

std::vector<Pair> PairsOf(const TIRIntegerArr& ticks) {
  std::vector<Pair> pairs;
  std::size_t i = 0;
  while (i < ticks.size() && ticks[i] <= 0) ++i;  // a leading space carries nothing
  for (; i < ticks.size(); i += 2) {
    Pair p{TicksToMicros(ticks[i]), i + 1 < ticks.size() ? TicksToMicros(ticks[i + 1]) : 0};
    if (p.mark <= 0 || p.space > 0) return {};
    pairs.push_back(p);
  }
  return pairs;
}

// How a press was read against the shared structure.
struct AlikeMatch {
  TSSByteArray bits;  ///< of the first repetition
  double tolerance = 0.0;
  std::size_t lead_in = 0;  ///< pairs before the signal left out: a noise pulse or a lead-in
  bool stray_after = false;
};

// Reads every repetition of `structure` from the pairs: each data pair must lie
// within the tolerance of exactly one logic code, each split pair within it of
// its split code (a gap by the gap rule; the final mark by its mark alone), and
// every repetition must carry the same bits.
class AlikeReader {
 public:
  AlikeReader(const TIRGsPara& timing, const TStrProt_Stru& structure)
      : timing_(timing), structure_(structure) {}

  bool Read(const std::vector<Pair>& pairs, double tolerance, AlikeMatch& match) const {
    std::size_t at = 0;
    match = AlikeMatch{};
    match.tolerance = tolerance;
    // A noise pulse, a lead-in, or a noise pulse and a lead-in.
    for (int skips = 0; at < pairs.size() && !ReadsFirst(pairs[at], tolerance); ++skips) {
      const std::size_t lead_in = skips < 2 ? LeadInPairs(pairs, at) : 0;
      if (lead_in == 0) return false;
      at += lead_in;
    }
    match.lead_in = at;
    const std::int32_t repeats = std::max(1, structure_.Repeat);
    for (std::int32_t rep = 0; rep < repeats; ++rep) {
      TSSByteArray bits;
      for (std::size_t e = 0; e < structure_.Elements.size(); ++e) {
        const TStrProtItem& item = structure_.Elements[e];
        const bool last_element = rep + 1 == repeats && e + 1 == structure_.Elements.size();
        if (item.IsData()) {
          for (std::uint16_t b = 0; b < item.Value; ++b) {
            if (at >= pairs.size()) return false;
            const int bit = LogicOf(pairs[at++], tolerance);
            if (bit < 0) return false;
            bits.push_back(static_cast<std::uint8_t>(bit));
          }
          continue;
        }
        if (at >= pairs.size() || !SplitReads(item.Value, pairs[at], tolerance, last_element)) return false;
        ++at;
      }
      if (rep == 0)
        match.bits = bits;
      else if (bits != match.bits)
        return false;
    }
    if (at == pairs.size()) return true;
    // What follows the signal may only be a gap and a stray pulse or two.
    if (pairs[at - 1].space > -kGapMicros) return false;
    if (static_cast<std::int64_t>(pairs.size() - at) > kMaxStrayMarks) return false;
    for (std::size_t i = at; i < pairs.size(); ++i)
      if (!IsStray(pairs[i]) && i + 1 < pairs.size()) return false;
    match.stray_after = true;
    return true;
  }

 private:
  std::int64_t LeaderMark() const {
    for (const TStrProtItem& item : structure_.Elements) {
      if (item.IsData()) return timing_.Logic[0][0];
      if (item.Value < timing_.SplitCount) return timing_.Split[item.Value][0];
    }
    return 0;
  }

  // Pairs from `from` on that are no part of the signal: at most this many short
  // marks, much alike, the last followed by a gap; 0 when there are none.
  std::size_t LeadInPairs(const std::vector<Pair>& pairs, std::size_t from) const {
    for (std::size_t j = from; j < pairs.size() && j < from + kMaxLeadInPairs; ++j) {
      if (pairs[j].mark * 2 >= LeaderMark() || !Near(pairs[j].mark, pairs[from].mark, kLeadInSpread))
        return 0;
      if (pairs[j].space <= -kGapMicros) return j + 1 - from;
    }
    return 0;
  }

  // A short mark before a gap, shorter than half the leader's mark.
  bool IsStray(const Pair& p) const {
    return p.mark * 2 < LeaderMark() && (p.space == 0 || p.space <= -kGapMicros);
  }

  bool ReadsFirst(const Pair& p, double tolerance) const {
    if (structure_.Elements.empty()) return false;
    const TStrProtItem& first = structure_.Elements.front();
    return first.IsData() ? LogicOf(p, tolerance) >= 0 : SplitReads(first.Value, p, tolerance, false);
  }

  // The logic code a pair reads as: within the tolerance of one code, and at
  // most half as far from it as from the other one; else -1.
  int LogicOf(const Pair& p, double tolerance) const {
    double distance[2];
    bool near[2];
    for (std::size_t c = 0; c < 2; ++c) {
      const auto& code = timing_.Logic[c];
      const bool spaced = p.space != 0;
      near[c] = Near(p.mark, code[0], tolerance) && (!spaced || Near(p.space, code[1], tolerance));
      distance[c] = std::max(Distance(p.mark, code[0]), spaced ? Distance(p.space, code[1]) : 0.0);
    }
    const int nearer = distance[0] <= distance[1] ? 0 : 1;
    const int other = 1 - nearer;
    if (!near[nearer] || distance[nearer] * 2 > distance[other] || distance[nearer] == distance[other])
      return -1;
    return nearer;
  }

  bool SplitReads(std::uint16_t index, const Pair& p, double tolerance, bool final_pair) const {
    if (index >= timing_.SplitCount) return false;
    const auto& code = timing_.Split[index];
    if (!Near(p.mark, code[0], tolerance)) return false;
    if (final_pair || code[1] == 0) return true;  // the end mark: its space is the capture's end
    if (p.space == 0) return false;
    return Near(p.space, code[1], tolerance) || NearGap(p.space, code[1]);
  }

  const TIRGsPara& timing_;
  const TStrProt_Stru& structure_;
};

bool ReadAlike(const AlikeReader& reader, const std::vector<Pair>& pairs, double tolerance,
               AlikeMatch& match) {
  if (reader.Read(pairs, tolerance, match)) return true;
  for (const double wider : kWiderTolerances)
    if (wider > tolerance && reader.Read(pairs, wider, match)) return true;
  return false;
}

std::string HowRead(const AlikeMatch& match, double tolerance) {
  std::string how;
  if (match.tolerance > tolerance) how += "; read at tolerance " + assist::PercentText(match.tolerance);
  if (match.lead_in == 1) how += "; a pulse before the leader left out";
  if (match.lead_in > 1) how += "; " + std::to_string(match.lead_in) + " pulses before the leader left out";
  if (match.stray_after) how += "; a stray pulse after the end left out";
  return how;
}

}  // namespace

int ReadCapturesAlike(std::vector<AlikeCapture>& captures, bool both_orders, bool lsb_first,
                      double tolerance) {
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
  const Tcomp_aval model = captures[first_of[shared]].decode.result;
  const int model_sections = captures[first_of[shared]].decode.sections;
  const TStrProt_Stru& structure = model.Protocol;
  const AlikeReader reader(model.Params, structure);

  int reread = 0;
  for (AlikeCapture& c : captures) {
    const std::string own_text =
        c.decode.ok() ? PrintProtocol(c.decode.result.Protocol) : std::string("nothing");
    if (Eligible(c.decode) && own_text == shared) continue;
    AlikeMatch match;
    if (!ReadAlike(reader, PairsOf(c.ticks), tolerance, match)) continue;
    Tcomp_aval result;
    result.Carrier = c.decode.ok() ? c.decode.result.Carrier : model.Carrier;
    result.Params = model.Params;
    result.Params.Carrier = static_cast<std::uint16_t>(result.Carrier);
    result.Protocol = structure;
    result.LogicCodes = model.LogicCodes;
    result.Bits = match.bits;
    if (!BitsToBytes(structure.Elements, match.bits, both_orders || lsb_first, result.Bytes)) continue;
    if (both_orders) BitsToBytes(structure.Elements, match.bits, false, result.BytesMsb);
    AssistedDecode& d = c.decode;
    if (d.outcome != AssistOutcome::kImproved) d.changes.clear();
    d.changes.push_back(
        {"read as " + shared, std::to_string(sharing) + " of " + std::to_string(captures.size()) +
                                  " captures of the file read so with the same timing; this one "
                                  "read alone as " +
                                  own_text + HowRead(match, tolerance)});
    d.result = std::move(result);
    d.outcome = AssistOutcome::kImproved;
    d.sections = model_sections;
    d.bits_per_symbol = 1;
    ++reread;
  }
  return reread;
}

}  // namespace klimavo::ir
