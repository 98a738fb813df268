// Two readings of the assisted decode that need their own view of the pairs:
// sections split at long gaps (long frames sent as two or three parts, each
// with its own lead-in, gap and sometimes its own logic codes), and symbols of
// two bits (one mark followed by one of four space lengths).

#include <algorithm>
#include <climits>
#include <set>

#include "ir/assist_internal.h"
#include "ir/decode.h"
#include "ir/protocol.h"
#include "ir/tolerance.h"

namespace klimavo::ir::assist {
namespace {

// A space counts as a gap between sections when it is at least this long and
// at least kGapToMedian times the median space of the capture.
constexpr std::int64_t kMinGapMicros = 5000;
constexpr std::int64_t kGapToMedian = 4;
// More parts than this are a frame sent again and again (the repeat detection
// reads those), not one long frame sent in sections.
constexpr std::size_t kMaxSections = 6;
// A lead-in: a short train of like pulses before the first gap.
constexpr std::size_t kMaxLeadInDurations = 16;
constexpr double kLeadInFactor = 0.25;
// Two-bit symbols: exactly this many space lengths, each seen at least twice,
// and at least this many symbols.
constexpr std::size_t kSymbolLevels = 4;
constexpr std::size_t kMinLevelMembers = 2;
constexpr std::size_t kMinSymbols = 8;
// The steps between neighbouring space lengths differ at most by this factor,
// and each length holds at least 1/kMinLevelShare of the symbols.
constexpr std::int64_t kMaxStepRatio = 2;
constexpr std::size_t kMinLevelShare = 16;

std::int64_t MedianSpace(const TIRIntegerArr& micros) {
  std::vector<std::int64_t> spaces;
  for (const std::int32_t d : micros)
    if (d < 0) spaces.push_back(-std::int64_t{d});
  if (spaces.empty()) return 0;
  std::nth_element(spaces.begin(), spaces.begin() + static_cast<std::ptrdiff_t>(spaces.size() / 2),
                   spaces.end());
  return spaces[spaces.size() / 2];
}

// Equal pulses and nothing else before the first gap.
bool IsLeadIn(const TIRIntegerArr& ticks) {
  if (ticks.size() < 2 || ticks.size() > kMaxLeadInDurations) return false;
  for (std::size_t i = 2; i < ticks.size(); ++i) {
    if (i + 1 == ticks.size() && ticks[i] < 0) break;  // the gap itself
    if (!IsNear(ticks[i], ticks[i % 2], kLeadInFactor, kLeadInFactor)) return false;
  }
  return true;
}

// The logic codes of `section` in the combined table: the first section's when
// they agree, otherwise appended. Returns the offset used, or -1 when full.
int MergeLogic(TIRGsPara& combined, const TIRGsPara& section, double tolerance) {
  const int count = std::min<int>(section.LogicCount, TIRGsPara::kMaxLogic);
  bool same = count <= combined.LogicCount;
  for (int k = 0; same && k < count; ++k)
    for (std::size_t slot = 0; slot < 2; ++slot)
      same = same && IsNearCfg(section.Logic[k][slot], combined.Logic[k][slot], tolerance);
  if (same) return 0;
  // Already appended by an earlier section?
  for (int base = 2; base + count <= combined.LogicCount; base += count) {
    bool match = true;
    for (int k = 0; match && k < count; ++k)
      for (std::size_t slot = 0; slot < 2; ++slot)
        match = match && IsNearCfg(section.Logic[k][slot], combined.Logic[base + k][slot], tolerance);
    if (match) return base;
  }
  if (combined.LogicCount + count > TIRGsPara::kMaxLogic) return -1;
  const int base = combined.LogicCount;
  for (int k = 0; k < count; ++k) combined.Logic[base + k] = section.Logic[k];
  combined.LogicCount = static_cast<std::uint8_t>(base + count);
  return base;
}

std::string LogicText(const TIRGsPara& p, int from, int count) {
  std::string out;
  for (int k = from; k < from + count; ++k) out += PairText(p.Logic[k][0], p.Logic[k][1]);
  return out;
}

}  // namespace

Reading ReadSections(const TIRIntegerArr& ticks, const Request& request) {
  TIRIntegerArr micros;
  bool long_space = false;
  for (const std::int32_t d : ticks) {
    micros.push_back(TicksToMicros(d));
    long_space = long_space || -std::int64_t{micros.back()} >= kMinGapMicros;
  }
  if (!long_space) return Reading{};
  const std::int64_t threshold = std::max(kMinGapMicros, kGapToMedian * MedianSpace(micros));
  std::vector<std::pair<std::size_t, std::size_t>> ranges;  // [first, last] in ticks
  std::size_t start = 0;
  for (std::size_t i = 1; i + 1 < micros.size(); ++i) {
    if (micros[i] < 0 && -std::int64_t{micros[i]} >= threshold) {
      ranges.emplace_back(start, i);
      start = i + 1;
    }
  }
  if (ranges.empty() || ranges.size() >= kMaxSections) return Reading{};
  ranges.emplace_back(start, micros.size() - 1);

  Reading out;
  std::vector<Reading> sections;
  for (std::size_t s = 0; s < ranges.size(); ++s) {
    const TIRIntegerArr part(ticks.begin() + static_cast<std::ptrdiff_t>(ranges[s].first),
                             ticks.begin() + static_cast<std::ptrdiff_t>(ranges[s].second + 1));
    Reading reading = ReadSingleSection(part, request);
    if (!reading.ok) {
      if (s == 0 && IsLeadIn(part)) {
        out.changes.push_back({"lead-in of " + std::to_string(part.size() / 2) +
                                   (part.size() / 2 == 1 ? " pulse " : " pulses ") +
                                   PairText(TicksToMicros(part[0]), TicksToMicros(part[1])) + " left out",
                               "equal pulses before the first long gap carry no data"});
        continue;
      }
      return Reading{};
    }
    // A section is a frame: one without a data bit is not read as one.
    if (reading.result.Bits.empty()) return Reading{};
    sections.push_back(std::move(reading));
  }
  if (sections.empty() || (sections.size() == 1 && out.changes.empty())) return Reading{};

  TIRGsPara combined = sections[0].result.Params;
  TStrProt_Listbase elements;
  TSSByteArray bits;
  std::vector<std::string> headers;
  std::string logic_notes;
  for (std::size_t s = 0; s < sections.size(); ++s) {
    const Tcomp_aval& r = sections[s].result;
    const int logic_base = MergeLogic(combined, r.Params, request.tolerance);
    if (logic_base < 0) return Reading{};
    if (logic_base > 0 &&
        logic_notes.find(LogicText(combined, logic_base, r.Params.LogicCount)) == std::string::npos)
      logic_notes += "; section " + std::to_string(s + 1) + " logic codes " +
                     LogicText(combined, logic_base, r.Params.LogicCount);
    TStrProt_Listbase mapped;
    for (const TStrProtItem& e : r.Protocol.Elements) {
      if (e.IsData()) {
        mapped.push_back(e);
        continue;
      }
      if (e.Value >= r.Params.SplitCount) return Reading{};
      const auto& code = r.Params.Split[e.Value];
      const int k = FindOrAddSplit(combined, code[0], code[1], false);
      if (k < 0) return Reading{};
      mapped.push_back(TStrProtItem::Split(static_cast<std::uint16_t>(k)));
    }
    if (!r.Protocol.Elements.empty() && !r.Protocol.Elements[0].IsData()) {
      const auto& head = r.Params.Split[r.Protocol.Elements[0].Value];
      const std::string text = PairText(head[0], head[1]);
      if (std::find(headers.begin(), headers.end(), text) == headers.end()) headers.push_back(text);
    }
    for (std::int32_t rep = 0; rep < std::max(1, r.Protocol.Repeat); ++rep) {
      elements.insert(elements.end(), mapped.begin(), mapped.end());
      bits.insert(bits.end(), r.Bits.begin(), r.Bits.end());
    }
    out.strain = std::max(out.strain, sections[s].strain);
    for (const AssistChange& c : sections[s].changes)
      out.changes.push_back({"section " + std::to_string(s + 1) + ": " + c.change, c.why});
  }
  out.result = BuildResult(elements, bits, bits, combined, request);
  if (out.result.Bytes.empty()) return Reading{};
  if (sections.size() > 1) {
    std::string why = "long gaps part the capture; each section read with its own timing";
    if (!headers.empty()) {
      why += "; headers ";
      for (std::size_t h = 0; h < headers.size(); ++h) why += (h ? ", " : "") + headers[h];
    }
    out.changes.insert(out.changes.begin(), {CountWord(sections.size()) + " sections", why + logic_notes});
  }
  out.ok = true;
  out.sections = static_cast<int>(sections.size());
  return out;
}

Reading ReadTwoBitSymbols(const TIRIntegerArr& ticks, const Request& request) {
  TIRIntegerArr micros;
  for (const std::int32_t d : ticks) micros.push_back(TicksToMicros(d));
  const bool appended = ticks.size() >= 2 && ticks.back() > 0;
  if (appended) micros.push_back(TicksToMicros(ticks[1]));
  const std::size_t pairs = micros.size() / 2;
  if (pairs < kMinSymbols) return Reading{};

  // The commonest mark: the median mark.
  std::vector<std::int64_t> marks;
  for (std::size_t p = 0; p < pairs; ++p) marks.push_back(micros[2 * p]);
  std::nth_element(marks.begin(), marks.begin() + static_cast<std::ptrdiff_t>(marks.size() / 2), marks.end());
  const std::int64_t mark = marks[marks.size() / 2];
  if (mark <= 0) return Reading{};
  auto is_symbol_mark = [&](std::int64_t m) { return IsNear(m, mark, request.tolerance, request.tolerance); };

  // Space lengths after that mark, grouped into levels of like length.
  std::vector<std::int64_t> spaces;
  for (std::size_t p = 0; p + 1 < pairs; ++p)
    if (is_symbol_mark(micros[2 * p]) && micros[2 * p + 1] < 0)
      spaces.push_back(-std::int64_t{micros[2 * p + 1]});
  std::sort(spaces.begin(), spaces.end());
  struct Level {
    std::int64_t sum = 0;
    std::size_t members = 0;
    std::int64_t Mean() const { return sum / static_cast<std::int64_t>(members); }
  };
  std::vector<Level> levels;
  for (const std::int64_t s : spaces) {
    if (levels.empty() || !IsNear(s, levels.back().Mean(), request.tolerance, request.tolerance))
      levels.push_back(Level{});
    levels.back().sum += s;
    ++levels.back().members;
  }
  std::vector<Level> used;
  std::size_t symbols = 0;
  for (const Level& l : levels) {
    if (l.members < kMinLevelMembers) continue;
    used.push_back(l);
    symbols += l.members;
  }
  if (used.size() != kSymbolLevels || symbols < kMinSymbols) return Reading{};
  // Symbol values are steps of one space length: the steps between the levels
  // are alike (a header or a gap that happens twice makes an uneven step), and
  // every level carries a share of the data.
  std::int64_t smallest_step = INT64_MAX;
  std::int64_t largest_step = 0;
  for (std::size_t k = 1; k < kSymbolLevels; ++k) {
    const std::int64_t step = used[k].Mean() - used[k - 1].Mean();
    smallest_step = std::min(smallest_step, step);
    largest_step = std::max(largest_step, step);
  }
  if (smallest_step <= 0 || largest_step > kMaxStepRatio * smallest_step) return Reading{};
  for (const Level& l : used)
    if (l.members * kMinLevelShare < symbols) return Reading{};

  TIRGsPara params;
  params.Reset();
  params.LogicCount = static_cast<std::uint8_t>(kSymbolLevels);
  for (std::size_t k = 0; k < kSymbolLevels; ++k)
    params.Logic[k] = {static_cast<std::int32_t>(mark), static_cast<std::int32_t>(-used[k].Mean()),
                       kUnusedDuration, kUnusedDuration};
  auto level_of = [&](std::int64_t space) -> int {
    for (std::size_t k = 0; k < kSymbolLevels; ++k)
      if (IsNear(-space, used[k].Mean(), request.tolerance, request.tolerance)) return static_cast<int>(k);
    return -1;
  };
  TStrProt_Listbase elements;
  TSSByteArray bits_lsb;
  TSSByteArray bits_msb;
  for (std::size_t p = 0; p < pairs; ++p) {
    const std::int64_t m = micros[2 * p];
    const std::int64_t s = micros[2 * p + 1];
    const bool last = p + 1 == pairs;
    const int level = (last && appended) || !is_symbol_mark(m) ? -1 : level_of(s);
    if (level < 0) {
      const int k = FindOrAddSplit(params, m, s, last);
      if (k < 0) return Reading{};
      elements.push_back(TStrProtItem::Split(static_cast<std::uint16_t>(k)));
      continue;
    }
    const auto v = static_cast<std::uint8_t>(level);
    bits_lsb.push_back(v & 1);
    bits_lsb.push_back(v >> 1);
    bits_msb.push_back(v >> 1);
    bits_msb.push_back(v & 1);
    elements.push_back(TStrProtItem::Data(2));
  }
  Reading out;
  out.result = BuildResult(MergeElements(elements), bits_lsb, bits_msb, params, request);
  if (out.result.Bytes.empty()) return Reading{};
  out.ok = true;
  out.bits_per_symbol = 2;
  std::string lengths;
  for (std::size_t k = 0; k < kSymbolLevels; ++k)
    lengths += (k ? ", " : "") + std::to_string(-params.Logic[k][1]);
  out.changes.push_back(
      {"two-bit symbols",
       "one mark of " + std::to_string(mark) + " µs is followed by four space lengths (" + lengths +
           " µs): symbol values 0 to 3, two bits each, " +
           (request.both_orders || request.lsb_first ? "low bit first" : "high bit first")});
  return out;
}

}  // namespace klimavo::ir::assist
