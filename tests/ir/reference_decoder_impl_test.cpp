// The plain second reading of the blind decoder (see reference_decoder.h).
// Slow on purpose: linear searches, explicit loops, no shared helpers.

#include <cmath>
#include <cstdlib>
#include <string>

#include "ir/reference_decoder.h"

namespace klimavo::ir::reference {
namespace {

constexpr std::int32_t kUnused = 2147483647;
constexpr int kMaxSplitCodes = 8;
constexpr std::size_t kMaxBits = 512;
constexpr std::size_t kMaxParsedElements = 512;
constexpr double kSplitFactor = 0.08;
constexpr double kLogicMergeFactor = 0.09;
constexpr double kHistogramFactor = 0.12;
constexpr double kHalfBitFactor = 0.1;
constexpr double kPairMarkFactor = 0.15;
constexpr double kPairSpaceFactor = 0.12;
constexpr std::int64_t kAbsoluteSlack50 = 50;
constexpr std::int64_t kAbsoluteSlack10 = 10;
// A data group is stored with a 16-bit bit count; a longer group would wrap.
constexpr std::int64_t kMaxGroupBits = 65535;

std::int64_t Magnitude(std::int64_t v) { return v < 0 ? -v : v; }
bool OppositeSigns(std::int64_t a, std::int64_t b) { return (a > 0 && b < 0) || (a < 0 && b > 0); }
bool WithinT(std::int64_t a, std::int64_t b, std::int64_t t) {
  return Magnitude(b) - t <= Magnitude(a) && Magnitude(a) <= Magnitude(b) + t;
}

}  // namespace

std::int64_t RoundHalfEven(double value) {
  const double low = std::floor(value);
  const double rest = value - low;
  auto n = static_cast<std::int64_t>(low);
  if (rest > 0.5) return n + 1;
  if (rest < 0.5) return n;
  return (n % 2 == 0) ? n : n + 1;
}

std::int64_t HalfOf(std::int64_t n) {
  // floor(n / 2), then the odd case sits exactly on a half: pick the even neighbour.
  std::int64_t q = n / 2;
  if (n % 2 != 0 && n < 0) q -= 1;
  if (n % 2 == 0) return q;
  return (q % 2 == 0) ? q : q + 1;
}

// ---- Tolerance tests ------------------------------------------------------

bool IsNear(std::int64_t a, std::int64_t b, double mark_factor, double space_factor) {
  if (a == b) return true;
  if (OppositeSigns(a, b)) return false;
  const double factor = a > 0 ? mark_factor : space_factor;
  std::int64_t t = 0;
  if (space_factor >= 1) {
    t = RoundHalfEven(factor);
  } else {
    t = RoundHalfEven(static_cast<double>(Magnitude(b)) * factor);
  }
  return WithinT(a, b, t);
}

bool IsNearAbs50(std::int64_t a, std::int64_t b, double factor) {
  if (a == b || Magnitude(a - b) < kAbsoluteSlack50) return true;
  if (OppositeSigns(a, b)) return false;
  return WithinT(a, b, RoundHalfEven(static_cast<double>(Magnitude(b)) * factor));
}

bool IsNearCfg(std::int64_t a, std::int64_t b, double tolerance) {
  if (Magnitude(a - b) < kAbsoluteSlack10 || a == b) return true;
  if (OppositeSigns(a, b)) return false;
  return WithinT(a, b, RoundHalfEven(static_cast<double>(Magnitude(b)) * tolerance));
}

// ---- Preparation and pair classes -----------------------------------------

std::vector<std::int64_t> Prepare(const TIRIntegerArr& ticks) {
  TIRIntegerArr copy = ticks;
  if (!copy.empty() && copy.back() > 0 && copy.size() >= 2) copy.push_back(copy[1]);
  std::vector<std::int64_t> us;
  for (std::int32_t t : copy) us.push_back(static_cast<std::int64_t>(t / 10));
  return us;
}

void ClassifyPairs(const std::vector<std::int64_t>& us_in, double tolerance, std::vector<PairClass>& classes,
                   std::vector<std::size_t>& index_of_pair) {
  classes.clear();
  index_of_pair.clear();
  if (us_in.size() <= 2) return;
  std::vector<std::int64_t> us = us_in;
  if (us.back() > 0) us.push_back(us[us.size() - 2]);
  const std::size_t pairs = us.size() / 2;
  for (std::size_t i = 0; i < pairs; ++i) {
    const std::int64_t mark = us[2 * i];
    const std::int64_t space = us[2 * i + 1];
    bool found = false;
    for (std::size_t c = 0; c < classes.size(); ++c) {
      if (IsNear(mark, classes[c].first, tolerance, tolerance) &&
          IsNear(space, classes[c].second, tolerance, tolerance)) {
        classes[c].first = HalfOf(classes[c].first + mark);
        classes[c].second = HalfOf(classes[c].second + space);
        index_of_pair.push_back(c);
        found = true;
        break;
      }
    }
    if (!found) {
      classes.push_back(PairClass{mark, space});
      index_of_pair.push_back(classes.size() - 1);
    }
  }
  // Exact means over the members replace the running means.
  for (std::size_t c = 0; c < classes.size(); ++c) {
    std::int64_t sum_mark = 0;
    std::int64_t sum_space = 0;
    std::int64_t members = 0;
    for (std::size_t i = 0; i < pairs; ++i) {
      if (index_of_pair[i] != c) continue;
      sum_mark += us[2 * i];
      sum_space += us[2 * i + 1];
      ++members;
    }
    classes[c].first = sum_mark / members;
    classes[c].second = sum_space / members;
  }
}

// ---- Pulse-pair decoder ----------------------------------------------------
namespace {

struct Ranked {
  std::size_t key = 0;
  std::int64_t count = 0;
};

void ExchangeSortByCount(std::vector<Ranked>& entries) {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    for (std::size_t j = i; j < entries.size(); ++j) {
      if (entries[i].count < entries[j].count) std::swap(entries[i], entries[j]);
    }
  }
}

int FindSplitCode(TIRGsPara& params, std::int64_t first, std::int64_t second, bool is_last) {
  for (int k = 0; k < params.SplitCount; ++k) {
    if (!IsNearAbs50(first, params.Split[k][0], kSplitFactor)) continue;
    if (!is_last && !IsNearAbs50(second, params.Split[k][1], kSplitFactor)) continue;
    return k;
  }
  if (params.SplitCount <= 7) {
    const int k = params.SplitCount;
    params.Split[k][0] = static_cast<std::int32_t>(first);
    params.Split[k][1] = static_cast<std::int32_t>(second);
    params.SplitCount = static_cast<std::uint8_t>(k + 1);
    return k;
  }
  return -1;
}

int FindTailSplitCode(TIRGsPara& params, std::int64_t m, double tolerance) {
  for (int k = 0; k < params.SplitCount; ++k) {
    if (IsNearCfg(m, params.Split[k][0], tolerance)) return k;
  }
  if (params.SplitCount <= 7) {
    const int k = params.SplitCount;
    params.Split[k][0] = static_cast<std::int32_t>(m);
    params.Split[k][1] = (k == 0) ? static_cast<std::int32_t>(-m) : params.Split[0][1];
    params.SplitCount = static_cast<std::uint8_t>(k + 1);
    return k;
  }
  return -1;
}

// Returns -1 when the final bit was taken away.
int FixTail(TIRGsPara& params, const std::vector<std::uint8_t>& bits, Elements& elements, double tolerance) {
  if (elements.empty() || !elements.back().data || bits.empty()) return 0;
  const std::int64_t m = params.Logic[bits.back()][0];
  Element& last = elements.back();
  if (last.value == 1) {
    const int x = FindTailSplitCode(params, m, tolerance);
    if (x < 0) return 0;
    last = Element{false, x};
    return -1;
  }
  bool earlier_one_shorter = false;
  for (std::size_t i = 0; i + 1 < elements.size(); ++i) {
    if (elements[i].data && elements[i].value == last.value - 1) earlier_one_shorter = true;
  }
  const bool equal_marks = IsNearCfg(params.Logic[0][0], params.Logic[1][0], tolerance);
  if (equal_marks || earlier_one_shorter || (last.value - 1) % 4 == 0) {
    const int x = FindTailSplitCode(params, m, tolerance);
    if (x < 0) return 0;
    last.value -= 1;
    elements.push_back(Element{false, x});
    return -1;
  }
  return 0;
}

void PickLogicClasses(const std::vector<PairClass>& classes, std::size_t p, std::size_t q, double tolerance,
                      std::size_t& logic0, std::size_t& logic1) {
  const PairClass& cp = classes[p];
  const PairClass& cq = classes[q];
  bool q_is_zero = false;
  if (IsNearCfg(cp.first, cq.first, tolerance)) {
    q_is_zero = Magnitude(cq.second) < Magnitude(cp.second);
  } else {
    q_is_zero = Magnitude(cq.first) < Magnitude(cp.first);
  }
  logic0 = q_is_zero ? q : p;
  logic1 = q_is_zero ? p : q;
}

void AverageCloseLogic(TIRGsPara& params) {
  for (int slot = 0; slot < 2; ++slot) {
    const std::int64_t a = params.Logic[0][slot];
    const std::int64_t b = params.Logic[1][slot];
    if (IsNear(a, b, kLogicMergeFactor, kLogicMergeFactor)) {
      const auto mean = static_cast<std::int32_t>(HalfOf(a + b));
      params.Logic[0][slot] = mean;
      params.Logic[1][slot] = mean;
    }
  }
}

int CountDataGroups(const Elements& elements) {
  int groups = 0;
  for (const Element& e : elements) groups += e.data ? 1 : 0;
  return groups;
}

}  // namespace

DecoderAnswer DecodePairClasses(const std::vector<PairClass>& classes,
                                const std::vector<std::size_t>& index_of_pair, double tolerance) {
  DecoderAnswer failed;
  if (index_of_pair.size() < 3) return failed;
  std::vector<Ranked> ranked;
  for (std::size_t c = 0; c < classes.size(); ++c) {
    std::int64_t count = 0;
    for (std::size_t idx : index_of_pair) count += (idx == c) ? 1 : 0;
    ranked.push_back(Ranked{c, count});
  }
  ExchangeSortByCount(ranked);
  if (ranked.size() < 2) return failed;
  std::size_t logic0 = 0;
  std::size_t logic1 = 0;
  PickLogicClasses(classes, ranked[0].key, ranked[1].key, tolerance, logic0, logic1);

  Elements elements;
  std::vector<std::uint8_t> bits;
  for (std::size_t idx : index_of_pair) {
    if (idx == logic0 || idx == logic1) {
      bits.push_back(idx == logic1 ? 1 : 0);
      if (!elements.empty() && elements.back().data) {
        elements.back().value += 1;
        // Fail rather than hand on a group whose stored count would wrap.
        if (elements.back().value > kMaxGroupBits) return failed;
      } else {
        elements.push_back(Element{true, 1});
      }
    } else {
      elements.push_back(Element{false, static_cast<std::int64_t>(idx)});
    }
  }
  if (elements.empty() || bits.size() < 8) return failed;

  DecoderAnswer answer;
  answer.params.Reset();
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (elements[i].data) continue;
    const PairClass& c = classes[static_cast<std::size_t>(elements[i].value)];
    const int code = FindSplitCode(answer.params, c.first, c.second, i + 1 == elements.size());
    if (code < 0) return failed;
    elements[i].value = code;
  }
  answer.params.LogicCount = 2;
  answer.params.Logic[0][0] = static_cast<std::int32_t>(classes[logic0].first);
  answer.params.Logic[0][1] = static_cast<std::int32_t>(classes[logic0].second);
  answer.params.Logic[1][0] = static_cast<std::int32_t>(classes[logic1].first);
  answer.params.Logic[1][1] = static_cast<std::int32_t>(classes[logic1].second);
  AverageCloseLogic(answer.params);
  if (FixTail(answer.params, bits, elements, tolerance) == -1) bits.pop_back();
  answer.text = PrintElements(elements);
  answer.bits = bits;
  answer.groups = CountDataGroups(elements);
  return answer;
}

// ---- Bi-phase decoder -------------------------------------------------------
namespace {

struct Extraction {
  std::int64_t t = 0;
  std::vector<std::int64_t> d;
  std::vector<std::uint8_t> bits;
  Elements elements;
  std::vector<PairClass> splits;
};

bool IsT(const Extraction& x, std::int64_t v) {
  return IsNear(x.t, Magnitude(v), kHalfBitFactor, kHalfBitFactor);
}
bool Is2T(const Extraction& x, std::int64_t v) {
  return IsNear(x.t, Magnitude(HalfOf(v)), kHalfBitFactor, kHalfBitFactor);
}

void AddBit(Extraction& x, std::uint8_t v) {
  if (x.bits.size() >= kMaxBits) return;
  x.bits.push_back(v);
  x.elements.push_back(Element{true, 1});
}

bool AddPair(Extraction& x, std::int64_t first, std::int64_t second) {
  for (std::size_t k = 0; k < x.splits.size(); ++k) {
    if (IsNear(first, x.splits[k].first, kPairMarkFactor, kPairSpaceFactor) &&
        IsNear(second, x.splits[k].second, kPairMarkFactor, kPairSpaceFactor)) {
      x.elements.push_back(Element{false, static_cast<std::int64_t>(k)});
      return true;
    }
  }
  if (x.splits.size() >= static_cast<std::size_t>(kMaxSplitCodes)) return false;
  x.splits.push_back(PairClass{first, second});
  x.elements.push_back(Element{false, static_cast<std::int64_t>(x.splits.size() - 1)});
  return true;
}

void AddLastPulse(Extraction& x, std::int64_t v) {
  for (std::size_t k = 0; k < x.splits.size(); ++k) {
    if (IsNear(v, x.splits[k].first, kHistogramFactor, kHistogramFactor)) {
      x.elements.push_back(Element{false, static_cast<std::int64_t>(k)});
      return;
    }
  }
  if (x.splits.size() >= static_cast<std::size_t>(kMaxSplitCodes)) return;
  const std::int64_t second = x.splits.empty() ? -x.t : x.splits[0].second;
  x.splits.push_back(PairClass{v, second});
  x.elements.push_back(Element{false, static_cast<std::int64_t>(x.splits.size() - 1)});
}

bool ExtractBiphaseBits(Extraction& x) {
  std::vector<std::int64_t>& d = x.d;
  std::int64_t last = static_cast<std::int64_t>(d.size()) - 1;
  // Inside the decoder a duration that is not above 0 counts as a space (as in
  // IsNear and the mid-bit rule): a space shorter than 1 µs truncates to 0.
  if (d[static_cast<std::size_t>(last)] <= 0) last -= 1;
  std::int64_t pos = 0;
  bool mid_bit = false;
  auto at = [&](std::int64_t i) { return d[static_cast<std::size_t>(i)]; };
  auto step = [&]() {
    mid_bit = Is2T(x, at(pos + 1));
    pos += mid_bit ? 1 : 2;
  };
  while (pos <= last) {
    if (mid_bit) {
      AddBit(x, at(pos) <= 0 ? 1 : 0);
      if (pos == last) break;
      step();
      continue;
    }
    if (pos == last) {
      if (IsT(x, at(pos))) {
        AddBit(x, 0);
      } else {
        AddLastPulse(x, at(pos));
      }
      break;
    }
    if (IsT(x, at(pos)) && (IsT(x, at(pos + 1)) || Is2T(x, at(pos + 1)))) {
      AddBit(x, at(pos) <= 0 ? 1 : 0);
      step();
      continue;
    }
    if (Is2T(x, at(pos)) && at(pos) > 0 && (IsT(x, at(pos + 1)) || Is2T(x, at(pos + 1)))) {
      AddBit(x, 1);
      AddBit(x, 0);
      step();
      continue;
    }
    if (pos + 2 <= last && at(pos + 2) > 0 && Is2T(x, at(pos + 2)) && Magnitude(at(pos + 1)) > x.t) {
      if (!AddPair(x, at(pos), at(pos + 1) + x.t)) return false;
      d[static_cast<std::size_t>(pos + 1)] = -x.t;
      pos += 1;
      continue;
    }
    if (!AddPair(x, at(pos), at(pos + 1))) return false;
    pos += 2;
  }
  return true;
}

}  // namespace

DecoderAnswer DecodeBiphase(const std::vector<std::int64_t>& us) {
  DecoderAnswer failed;
  if (us.size() <= 3) return failed;
  std::vector<TPoint> histogram;
  for (std::size_t i = 2; i + 1 < us.size(); ++i) {
    const std::int64_t m = Magnitude(us[i]);
    bool joined = false;
    for (TPoint& entry : histogram) {
      if (IsNear(m, entry.x, kHistogramFactor, kHistogramFactor)) {
        entry.y += 1;
        joined = true;
        break;
      }
    }
    if (!joined) histogram.push_back(TPoint{static_cast<std::int32_t>(m), 0});
  }
  if (histogram.size() < 2) return failed;
  std::vector<Ranked> ranked;
  for (std::size_t i = 0; i < histogram.size(); ++i) ranked.push_back(Ranked{i, histogram[i].y});
  ExchangeSortByCount(ranked);
  const std::int64_t k0 = histogram[ranked[0].key].x;
  const std::int64_t k1 = histogram[ranked[1].key].x;
  const std::int64_t t = k0 < k1 ? k0 : k1;
  const std::int64_t m = k0 < k1 ? k1 : k0;
  if (!IsNear(t, HalfOf(m), kHistogramFactor, kHistogramFactor)) return failed;

  DecoderAnswer answer;
  answer.params.Reset();
  answer.params.LogicCount = 2;
  answer.params.Logic[0][0] = static_cast<std::int32_t>(t);
  answer.params.Logic[0][1] = static_cast<std::int32_t>(-t);
  answer.params.Logic[1][0] = static_cast<std::int32_t>(-t);
  answer.params.Logic[1][1] = static_cast<std::int32_t>(t);
  Extraction x;
  x.t = t;
  x.d = us;
  if (!ExtractBiphaseBits(x)) return failed;
  for (std::size_t k = 0; k < x.splits.size(); ++k) {
    answer.params.Split[k][0] = static_cast<std::int32_t>(x.splits[k].first);
    answer.params.Split[k][1] = static_cast<std::int32_t>(x.splits[k].second);
  }
  answer.params.SplitCount = static_cast<std::uint8_t>(x.splits.size());
  const Elements merged = MergeElements(x.elements);
  answer.text = PrintElements(merged);
  answer.bits = x.bits;
  answer.groups = CountDataGroups(merged);
  return answer;
}

// ---- Protocol text and element lists ----------------------------------------

std::string PrintElements(const Elements& elements) {
  std::string text;
  for (const Element& e : elements) {
    text += e.data ? "[" : "<";
    text += std::to_string(e.value);
    text += e.data ? "]" : ">";
  }
  return text;
}

Elements MergeElements(const Elements& elements) {
  Elements merged;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    const Element& e = elements[i];
    if (i > 0 && e.data && elements[i - 1].data) {
      merged.back().value += e.value;
    } else {
      merged.push_back(e.data ? Element{true, e.value} : e);
    }
  }
  return merged;
}

namespace {

std::string Trimmed(const std::string& s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return s.substr(b, e - b);
}

bool ReadInteger(const std::string& s, std::int64_t& out) {
  if (s.empty()) return false;
  char* end = nullptr;
  const long long v = std::strtoll(s.c_str(), &end, 10);
  if (end != s.c_str() + s.size()) return false;
  out = v;
  return true;
}

// The bit count of "[...]": terms joined by "+", each "a" or "a*b"; -1 = invalid.
std::int64_t GroupBits(const std::string& inside) {
  std::int64_t total = 0;
  std::string rest = Trimmed(inside);
  std::size_t start = 0;
  while (start <= rest.size()) {
    std::size_t plus = rest.find('+', start);
    if (plus == std::string::npos) plus = rest.size();
    const std::string term = Trimmed(rest.substr(start, plus - start));
    start = plus + 1;
    if (term.empty()) continue;
    const std::size_t star = term.find('*');
    std::int64_t a = 0;
    std::int64_t b = 1;
    if (star == std::string::npos) {
      if (!ReadInteger(term, a)) return -1;
    } else {
      if (term.find('*', star + 1) != std::string::npos) return -1;
      if (!ReadInteger(Trimmed(term.substr(0, star)), a) || !ReadInteger(Trimmed(term.substr(star + 1)), b))
        return -1;
    }
    total += a * b;
  }
  return total == 0 ? -1 : total;
}

}  // namespace

Elements ParseProtocol(const std::string& text_in, std::int32_t& repeat) {
  Elements elements;
  std::string body = Trimmed(text_in);
  if (body.empty()) return elements;
  repeat = 1;
  if (body[0] == '(') {
    const std::size_t close = body.find(')');
    if (close == std::string::npos) return elements;
    std::string after = Trimmed(body.substr(close + 1));
    if (!after.empty() && after[0] == '*') {
      std::int64_t r = 0;
      if (!ReadInteger(Trimmed(after.substr(1)), r)) return elements;
      repeat = static_cast<std::int32_t>(r);
    }
    body = Trimmed(body.substr(1, close - 1));
  }
  while (true) {
    body = Trimmed(body);
    if (body.empty()) break;
    const char c = body[0];
    if (c == '<' || c == '[') {
      const std::size_t close = body.find(c == '<' ? '>' : ']');
      if (close == std::string::npos) break;
      const std::string inside = Trimmed(body.substr(1, close - 1));
      if (c == '<') {
        std::int64_t v = 0;
        if (ReadInteger(inside, v) && elements.size() < kMaxParsedElements)
          elements.push_back(Element{false, v});
      } else {
        const std::int64_t bits = GroupBits(inside);
        if (bits < 0) return Elements{};
        if (elements.size() < kMaxParsedElements) elements.push_back(Element{true, bits});
      }
      body = body.substr(close + 1);
      continue;
    }
    body = body.substr(1);
  }
  return elements;
}

// ---- Repetition ---------------------------------------------------------------
namespace {

std::int64_t BitsInFirst(const Elements& elements, std::size_t p) {
  std::int64_t b = 0;
  for (std::size_t i = 0; i < p; ++i) b += elements[i].data ? elements[i].value : 0;
  return b;
}

bool IsPeriodic(const std::vector<std::uint8_t>& bits, const Elements& elements, std::size_t p) {
  const std::size_t n = elements.size();
  if ((n - p) % p != 0) return false;
  const std::size_t r = (n - p) / p;
  for (std::size_t k = 1; k <= r; ++k) {
    for (std::size_t i = 0; i < p; ++i) {
      const Element& here = elements[k * p + i];
      const Element& there = elements[i];
      if (here == there) continue;
      const bool is_final = (k * p + i == n - 1);
      if (is_final && !here.data && !there.data) continue;
      return false;
    }
  }
  const std::int64_t b = BitsInFirst(elements, p);
  for (std::size_t k = 1; k <= r; ++k) {
    for (std::int64_t i = 0; i < b; ++i) {
      const std::int64_t idx = static_cast<std::int64_t>(k) * b + i;
      if (idx >= static_cast<std::int64_t>(bits.size())) continue;
      if (bits[static_cast<std::size_t>(idx)] != bits[static_cast<std::size_t>(i)]) return false;
    }
  }
  return true;
}

}  // namespace

void DetectRepeat(const std::vector<std::uint8_t>& bits, Elements& elements, std::int32_t& repeat) {
  const std::size_t n = elements.size();
  if (n < 4) return;
  for (std::size_t p = 2; p < n - 1; ++p) {
    if (!IsPeriodic(bits, elements, p)) continue;
    repeat = static_cast<std::int32_t>((n - p) / p + 1);
    elements.resize(p);
    return;
  }
}

bool BitsToBytes(const Elements& elements, const std::vector<std::uint8_t>& bits, bool lsb_first,
                 TSSByteArray& bytes) {
  if (bits.empty() || elements.empty()) return false;
  TSSByteArray out;
  std::size_t cursor = 0;
  auto take_byte = [&](std::int64_t c) {
    unsigned value = 0;
    for (std::int64_t k = 0; k < c; ++k) {
      const bool one = cursor < bits.size() && bits[cursor] == 1;
      ++cursor;
      if (!one) continue;
      value += lsb_first ? (1u << k) : (1u << (c - 1 - k));
    }
    out.push_back(static_cast<std::uint8_t>(value));
  };
  for (const Element& e : elements) {
    if (!e.data) continue;
    for (std::int64_t i = 0; i < e.value / 8; ++i) take_byte(8);
    if (e.value % 8 > 0) take_byte(e.value % 8);
  }
  if (out.empty()) return false;
  bytes = out;
  return true;
}

// ---- The whole decode -----------------------------------------------------------
namespace {

// Step 2 of the choice: the pulse-pair reading wins ties; nullptr when both failed.
const DecoderAnswer* Choose(const DecoderAnswer& pair, const DecoderAnswer& biphase) {
  if (pair.groups <= 0 && biphase.groups <= 0) return nullptr;
  if (pair.groups > 0 && (biphase.groups <= 0 || pair.groups <= biphase.groups)) return &pair;
  return &biphase;
}

// Bytes (and BytesMsb when both orders are asked for) over the full bit list.
void PackBytes(const Elements& elements, const std::vector<std::uint8_t>& bits, bool both_orders,
               bool lsb_first, Tcomp_aval& result) {
  if (both_orders) {
    BitsToBytes(elements, bits, true, result.Bytes);
    BitsToBytes(elements, bits, false, result.BytesMsb);
  } else {
    BitsToBytes(elements, bits, lsb_first, result.Bytes);
  }
}

TStrProt_Listbase Stored(const Elements& elements) {
  TStrProt_Listbase out;
  for (const Element& e : elements) {
    out.push_back(e.data ? TStrProtItem::Data(static_cast<std::uint16_t>(e.value))
                         : TStrProtItem::Split(static_cast<std::uint16_t>(e.value)));
  }
  return out;
}

std::vector<TIRIntegerArr> LogicCodesOf(const TIRGsPara& params) {
  std::vector<TIRIntegerArr> codes;
  for (int k = 0; k < params.LogicCount; ++k) {
    TIRIntegerArr code;
    for (std::int32_t v : params.Logic[static_cast<std::size_t>(k)]) {
      if (v != kUnused) code.push_back(v);
    }
    codes.push_back(code);
  }
  return codes;
}

}  // namespace

bool DecodeCapture(const TIRIntegerArr& ticks, std::int32_t carrier, bool both_orders, bool lsb_first,
                   double tolerance, Tcomp_aval& result) {
  const std::vector<std::int64_t> us = Prepare(ticks);
  std::vector<PairClass> classes;
  std::vector<std::size_t> index_of_pair;
  ClassifyPairs(us, tolerance, classes, index_of_pair);
  const DecoderAnswer pair = DecodePairClasses(classes, index_of_pair, tolerance);
  const DecoderAnswer biphase = DecodeBiphase(us);
  const DecoderAnswer* chosen = Choose(pair, biphase);
  if (chosen == nullptr) return false;

  // The chosen text is parsed again, so the parser's element cap applies.
  std::int32_t repeat = 1;
  Elements elements = ParseProtocol(chosen->text, repeat);
  repeat = 1;
  result.Params = chosen->params;
  std::vector<std::uint8_t> bits = chosen->bits;
  DetectRepeat(bits, elements, repeat);
  PackBytes(elements, bits, both_orders, lsb_first, result);
  if (repeat > 1) bits.resize(bits.size() / static_cast<std::size_t>(repeat));
  result.Bits = bits;
  result.Carrier = carrier;
  result.Params.Carrier = static_cast<std::uint16_t>(carrier);
  result.Protocol.Repeat = repeat;
  result.Protocol.Elements = Stored(MergeElements(elements));
  result.LogicCodes = LogicCodesOf(result.Params);
  return true;
}

}  // namespace klimavo::ir::reference
