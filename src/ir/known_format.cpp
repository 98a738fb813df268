#include "ir/known_format.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "ir/protocol.h"
#include "ir/tolerance.h"

namespace klimavo::ir {
namespace {

// The counts of a timing block are bytes; a damaged block may claim more codes
// than its tables hold, so every walk stops at the table size.
int LogicCodes(const TIRGsPara& params) { return std::min<int>(params.LogicCount, TIRGsPara::kMaxLogic); }
int SplitCodes(const TIRGsPara& params) { return std::min<int>(params.SplitCount, TIRGsPara::kMaxSplit); }

bool Near(const KnownFormat& format, std::int64_t a, std::int64_t b) {
  return IsNearCfg(a, b, format.tolerance);
}

std::int64_t Magnitude(std::int64_t x) { return x < 0 ? -x : x; }

// The bi-phase reading: halves of length T, a bit is two halves of opposite
// level, and two equal halves of neighbouring bits run together into one 2T
// duration. A bit whose first half is a space reads 1.
class BiphaseReader {
 public:
  BiphaseReader(const TIRIntegerArr& durations, const KnownFormat& format, TSSByteArray& bits,
                TStrProt_Listbase& elements)
      : format_(format),
        d_(durations.begin(), durations.end()),
        half_(Magnitude(format.params.Logic[0][0])),
        inverted_(format.params.Logic[0][0] < 0),
        bits_(bits),
        elements_(elements) {}

  // The total bit count, or 0 when the reading fails.
  int Read() {
    bits_.clear();
    elements_.clear();
    if (d_.size() <= 3) return 0;
    if (!Walk()) {
      bits_.clear();
      elements_.clear();
      return 0;
    }
    elements_ = MergeElements(elements_);
    return static_cast<int>(TotalBits(elements_));
  }

 private:
  bool IsT(std::int64_t x) const { return Near(format_, Magnitude(x), half_); }
  bool Is2T(std::int64_t x) const {
    return Near(format_, Magnitude(RoundHalfEven(static_cast<double>(x) / 2.0)), half_);
  }
  bool IsTOr2T(std::int64_t x) const { return IsT(x) || Is2T(x); }

  void AddBit(int v) {
    if (bits_.size() >= kMaxKnownBiphaseBits) return;
    bits_.push_back(static_cast<std::uint8_t>(inverted_ ? 1 - v : v));
    elements_.push_back(TStrProtItem::Data(1));
  }

  // Appends split element k; true, so a match can return it.
  bool AddSplit(int k) {
    elements_.push_back(TStrProtItem::Split(static_cast<std::uint16_t>(k)));
    return true;
  }

  // After a bit: a following 2T duration holds the second half of this bit and
  // the first half of the next one, so the reading continues inside it.
  void Step() {
    mid_bit_ = Is2T(d_[pos_ + 1]);
    pos_ += mid_bit_ ? 1 : 2;
  }

  bool MatchPair(std::int64_t mark, std::int64_t space) {
    const TIRGsPara& p = format_.params;
    for (int k = 0; k < SplitCodes(p); ++k) {
      if (Near(format_, mark, p.Split[k][0]) && Near(format_, space, p.Split[k][1])) return AddSplit(k);
    }
    for (int k = 0; k < SplitCodes(p); ++k) {
      if (Near(format_, mark, p.Split[k][0]) && Near(format_, space + half_, p.Split[k][1]))
        return AddSplit(k);
    }
    return false;
  }

  bool MatchFinalMark(std::int64_t mark) {
    const TIRGsPara& p = format_.params;
    for (int k = 0; k < SplitCodes(p); ++k) {
      if (Near(format_, mark, p.Split[k][0])) return AddSplit(k);
    }
    return false;
  }

  static int LevelBit(std::int64_t x) { return x <= 0 ? 1 : 0; }

  bool Walk() {
    std::size_t last = d_.size() - 1;
    if (d_[last] < 0) --last;  // a trailing space carries no half-bit
    pos_ = 0;
    mid_bit_ = false;
    while (pos_ <= last) {
      if (mid_bit_) {
        AddBit(LevelBit(d_[pos_]));
        if (pos_ == last) return true;
        Step();
      } else if (pos_ == last) {
        if (IsT(d_[pos_])) {
          AddBit(0);
          return true;
        }
        return MatchFinalMark(d_[pos_]);
      } else if (IsT(d_[pos_]) && IsTOr2T(d_[pos_ + 1])) {
        AddBit(LevelBit(d_[pos_]));
        Step();
      } else if (Is2T(d_[pos_]) && d_[pos_] > 0 && IsTOr2T(d_[pos_ + 1])) {
        AddBit(1);  // the leading space half of this bit is not in the capture
        AddBit(0);
        Step();
      } else if (pos_ + 2 <= last && d_[pos_ + 2] > 0 && Is2T(d_[pos_ + 2]) &&
                 Magnitude(d_[pos_ + 1]) > half_) {
        // A split code whose space also holds the first half of the next bit.
        if (!MatchPair(d_[pos_], d_[pos_ + 1] + half_)) return false;
        d_[pos_ + 1] = -half_;
        pos_ += 1;
      } else {
        if (!MatchPair(d_[pos_], d_[pos_ + 1])) return false;
        pos_ += 2;
      }
    }
    return true;
  }

  const KnownFormat& format_;
  std::vector<std::int64_t> d_;  // a working copy: the reading rewrites durations
  std::int64_t half_;
  bool inverted_;
  TSSByteArray& bits_;
  TStrProt_Listbase& elements_;
  std::size_t pos_ = 0;
  bool mid_bit_ = false;
};

// A split element is matched by its mark alone only when it ends a signal that
// is sent once; otherwise its space leads into the next pair and must match.
bool MatchProtocolSplit(const KnownFormat& format, std::int64_t mark, std::int64_t space, int split,
                        bool mark_only) {
  const auto& code = format.params.Split[static_cast<std::size_t>(split)];
  return Near(format, mark, code[0]) && (mark_only || Near(format, space, code[1]));
}

}  // namespace

bool IsBiphaseFormat(const TIRGsPara& params) {
  return params.LogicCount == 2 && Magnitude(params.Logic[0][0]) == Magnitude(params.Logic[0][1]) &&
         Magnitude(params.Logic[1][0]) == Magnitude(params.Logic[1][1]);
}

int MatchLogicCode(const KnownFormat& format, std::int64_t mark, std::int64_t space, bool is_last) {
  const TIRGsPara& p = format.params;
  if (!is_last) {
    for (int k = 0; k < LogicCodes(p); ++k) {
      if (Near(format, mark, p.Logic[k][0]) && Near(format, space, p.Logic[k][1])) return k;
    }
    return -1;
  }
  // The last pair has no real space: with equal logic marks it cannot tell a
  // bit, with different marks the mark alone does.
  if (Near(format, p.Logic[0][0], p.Logic[1][0])) return -1;
  for (int k = 0; k < LogicCodes(p); ++k) {
    if (Near(format, mark, p.Logic[k][0])) return k;
  }
  return -1;
}

int MatchSplitCode(const KnownFormat& format, std::int64_t mark, std::int64_t space, bool is_last) {
  const TIRGsPara& p = format.params;
  for (int k = 0; k < SplitCodes(p); ++k) {
    if (Near(format, mark, p.Split[k][0]) && (is_last || Near(format, space, p.Split[k][1]))) return k;
  }
  return -1;
}

int MatchCapture(const TIRIntegerArr& durations, const KnownFormat& format, TSSByteArray& bits,
                 TStrProt_Listbase& elements) {
  if (IsBiphaseFormat(format.params)) return BiphaseReader(durations, format, bits, elements).Read();

  bits.clear();
  elements.clear();
  const std::size_t pairs = durations.size() / 2;
  for (std::size_t p = 0; p < pairs; ++p) {
    const std::int64_t mark = durations[2 * p];
    const std::int64_t space = durations[2 * p + 1];
    const bool is_last = p + 1 == pairs;
    const int logic = MatchLogicCode(format, mark, space, is_last);
    if (logic >= 0) {
      bits.push_back(static_cast<std::uint8_t>(logic));
      elements.push_back(TStrProtItem::Data(1));
      continue;
    }
    const int split = MatchSplitCode(format, mark, space, is_last);
    if (split < 0) return -static_cast<int>(p);  // the elements read so far stay for inspection
    elements.push_back(TStrProtItem::Split(static_cast<std::uint16_t>(split)));
  }
  return static_cast<int>(bits.size());
}

bool MatchCaptureToProtocol(const TIRIntegerArr& durations, const KnownFormat& format,
                            const TStrProt_Stru& protocol, TSSByteArray& bits) {
  bits.clear();
  if (IsBiphaseFormat(format.params)) return false;
  const std::size_t pairs = durations.size() / 2;
  if (pairs < 2) return false;
  if (protocol.Repeat < 1) return true;

  const TStrProt_Listbase& list = protocol.Elements;
  const bool sent_once = protocol.Repeat == 1;
  const int split_codes = SplitCodes(format.params);
  std::size_t cursor = 0;
  for (std::size_t i = 0; i < list.size(); ++i) {
    const bool last_element = i + 1 == list.size();
    const TStrProtItem& element = list[i];
    if (!element.IsData()) {
      if (cursor >= pairs || element.Value >= split_codes) return false;
      if (!MatchProtocolSplit(format, durations[2 * cursor], durations[2 * cursor + 1], element.Value,
                              last_element && sent_once)) {
        return false;
      }
      ++cursor;
      continue;
    }
    bool split_consumed = false;
    for (int b = 0; b < element.Value; ++b) {
      if (cursor >= pairs) return false;
      const bool last_bit = b + 1 == element.Value;
      const std::int64_t mark = durations[2 * cursor];
      const std::int64_t space = durations[2 * cursor + 1];
      int logic = MatchLogicCode(format, mark, space, last_bit && last_element && sent_once);
      // The last bit of a group may have run together with the split code after
      // it (one pair holding both); read it again with the split code taken off.
      if (logic < 0 && last_bit && i + 2 < list.size() && !list[i + 1].IsData()) {
        const int split = list[i + 1].Value;
        if (split >= split_codes) return false;
        const auto& code = format.params.Split[static_cast<std::size_t>(split)];
        logic = MatchLogicCode(format, mark - code[0], space - code[1], false);
        split_consumed = logic >= 0;
      }
      if (logic < 0) return false;
      bits.push_back(static_cast<std::uint8_t>(logic));
      ++cursor;
    }
    if (split_consumed) ++i;
  }
  return true;
}

}  // namespace klimavo::ir
