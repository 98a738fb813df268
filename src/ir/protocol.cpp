#include "ir/protocol.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <limits>

#include "base/text.h"
#include "ir/decode_internal.h"
#include "ir/ir_text.h"

namespace klimavo::ir {
namespace {

constexpr std::int64_t kMaxGroupBits = std::numeric_limits<std::uint16_t>::max();

bool ParseWholeInt32(std::string_view s, std::int32_t& value) {
  long long v = 0;
  if (!base::ParseInteger(s, v)) return false;
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    return false;
  value = static_cast<std::int32_t>(v);
  return true;
}

class ElementSink {
 public:
  explicit ElementSink(TStrProt_Listbase& elements) : elements_(elements) {}
  void Append(TStrProtItem item) {
    if (elements_.size() < kMaxProtocolElements) elements_.push_back(item);
  }
  std::size_t Room() const { return kMaxProtocolElements - elements_.size(); }

 private:
  TStrProt_Listbase& elements_;
};

// Reads the inside of "[...]". Returns false when the whole list must be emptied.
bool ReadDataGroup(std::string_view inside, bool expanded, ElementSink& sink) {
  std::int64_t total = 0;
  for (const std::string& term : SplitStr(inside, '+')) {
    const TStrArray factors = SplitStr(term, '*');
    if (factors.empty() || factors.size() > 2) return false;
    std::int32_t a = 0;
    std::int32_t b = 1;
    if (!ParseWholeInt32(factors[0], a)) return false;
    if (factors.size() == 2 && !ParseWholeInt32(factors[1], b)) return false;
    if (expanded) {
      // A group size that a 16-bit bit count cannot hold is refused rather than wrapped.
      if (a < 0 || a > kMaxGroupBits) return false;
      const std::int64_t groups = std::min<std::int64_t>(b, static_cast<std::int64_t>(sink.Room()));
      for (std::int64_t g = 0; g < groups; ++g)
        sink.Append(TStrProtItem::Data(static_cast<std::uint16_t>(a)));
    } else {
      total += std::int64_t{a} * b;
      // Totals this far from any 16-bit count can only be refused; stopping here
      // keeps the sum from overflowing.
      constexpr std::int64_t kTotalLimit = std::int64_t{1} << 61;
      if (total > kTotalLimit || total < -kTotalLimit) return false;
    }
  }
  if (expanded) return true;
  // 0 bits is no group; totals a 16-bit bit count cannot hold are refused too.
  if (total <= 0 || total > kMaxGroupBits) return false;
  sink.Append(TStrProtItem::Data(static_cast<std::uint16_t>(total)));
  return true;
}

// Reads the inside of "<...>": split indexes outside 0..65535 do not read.
void ReadSplitElement(std::string_view inside, ElementSink& sink) {
  std::int32_t value = 0;
  if (!ParseWholeInt32(inside, value)) return;
  if (value < 0 || value > kMaxGroupBits) return;
  sink.Append(TStrProtItem::Split(static_cast<std::uint16_t>(value)));
}

void ParseBody(std::string_view body, bool expanded, TStrProt_Listbase& elements) {
  ElementSink sink(elements);
  std::string rest = base::Trim(body);
  std::string_view view = rest;
  while (!view.empty()) {
    const char c = view.front();
    if (c == '<' || c == '[') {
      const std::size_t close = view.find(c == '<' ? '>' : ']');
      if (close == std::string_view::npos) return;
      const std::string_view inside = view.substr(1, close - 1);
      if (c == '<') {
        ReadSplitElement(inside, sink);
      } else if (!ReadDataGroup(inside, expanded, sink)) {
        elements.clear();
        return;
      }
      view.remove_prefix(close + 1);
    } else {
      view.remove_prefix(1);
    }
    while (!view.empty() && static_cast<unsigned char>(view.front()) <= ' ') view.remove_prefix(1);
  }
}

void Parse(std::string_view text, bool expanded, TStrProt_Stru& into) {
  into.Elements.clear();
  const std::string trimmed = base::Trim(text);
  if (trimmed.empty()) return;
  into.Repeat = 1;
  std::string_view body = trimmed;
  if (body.front() == '(') {
    body.remove_prefix(1);
    const std::size_t close = body.find(')');
    if (close == std::string_view::npos) return;
    const std::string after = base::Trim(body.substr(close + 1));
    if (!after.empty() && after.front() == '*') {
      std::int32_t repeat = 1;
      if (!ParseWholeInt32(base::Trim(std::string_view(after).substr(1)), repeat)) return;
      into.Repeat = repeat;
    }
    body = body.substr(0, close);
  }
  ParseBody(body, expanded, into.Elements);
}

void AppendNumber(std::string& out, std::uint32_t v) {
  char buffer[12];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  (void)ec;
  out.append(buffer, end);
}

// Bit-by-bit readers shared by BytesToBits and BytesToBitsFixed: `byte_at`
// returns false when the byte at an index cannot be read.
template <typename ByteAt>
bool UnpackBits(const TStrProt_Listbase& elements, bool lsb_first, ByteAt byte_at, TSSByteArray& bits) {
  bits.clear();
  std::size_t cursor = 0;
  auto expand = [&](std::uint8_t byte, int count) {
    for (int j = 0; j < count; ++j) {
      const int shift = lsb_first ? j : count - 1 - j;
      if (bits.size() < kMaxUnpackedBits) bits.push_back(static_cast<std::uint8_t>((byte >> shift) & 1));
    }
  };
  for (const TStrProtItem& e : elements) {
    if (!e.IsData()) continue;
    const int whole = e.Value / 8;
    const int rest = e.Value % 8;
    for (int b = 0; b < whole + (rest > 0 ? 1 : 0); ++b) {
      std::uint8_t byte = 0;
      if (!byte_at(cursor++, byte)) return false;
      expand(byte, b < whole ? 8 : rest);
    }
  }
  return true;
}

}  // namespace

void ParseProtocol(std::string_view text, TStrProt_Stru& into) { Parse(text, false, into); }

TStrProt_Stru ParseProtocol(std::string_view text) {
  TStrProt_Stru s;
  ParseProtocol(text, s);
  return s;
}

void ParseProtocolExpanded(std::string_view text, TStrProt_Stru& into) { Parse(text, true, into); }

TStrProt_Stru ParseProtocolExpanded(std::string_view text) {
  TStrProt_Stru s;
  ParseProtocolExpanded(text, s);
  return s;
}

std::string PrintElements(const TStrProt_Listbase& elements) {
  std::string out;
  out.reserve(elements.size() * 4);
  for (const TStrProtItem& e : elements) {
    out.push_back(e.IsData() ? '[' : '<');
    AppendNumber(out, e.Value);
    out.push_back(e.IsData() ? ']' : '>');
  }
  return out;
}

std::string PrintProtocol(const TStrProt_Stru& protocol) {
  std::string text = PrintElements(MergeElements(protocol.Elements));
  if (protocol.Repeat > 1) text = "(" + text + ")*" + std::to_string(protocol.Repeat);
  return text;
}

bool SameElement(const TStrProtItem& a, const TStrProtItem& b) {
  return a.Kind == b.Kind && a.Value == b.Value;
}

bool SameProtocol(const TStrProt_Stru& a, const TStrProt_Stru& b) {
  if (a.Repeat != b.Repeat) return false;
  const TStrProt_Listbase ma = MergeElements(a.Elements);
  const TStrProt_Listbase mb = MergeElements(b.Elements);
  if (ma.size() != mb.size()) return false;
  for (std::size_t i = 0; i < ma.size(); ++i)
    if (!SameElement(ma[i], mb[i])) return false;
  return true;
}

TStrProt_Listbase MergeElements(const TStrProt_Listbase& elements) {
  TStrProt_Listbase merged;
  merged.reserve(elements.size());
  for (const TStrProtItem& e : elements) {
    if (merged.empty()) {
      merged.push_back(e);
      continue;
    }
    TStrProtItem& open = merged.back();
    // Two groups whose sum a 16-bit count cannot hold stay apart: no bit is lost.
    if (e.IsData() && open.IsData() && std::int64_t{open.Value} + e.Value <= kMaxGroupBits) {
      open.Value = static_cast<std::uint16_t>(open.Value + e.Value);
    } else if (e.IsData()) {
      merged.push_back(TStrProtItem::Data(e.Value));
    } else {
      merged.push_back(e);
    }
  }
  return merged;
}

std::int64_t TotalBits(const TStrProt_Listbase& elements) {
  std::int64_t total = 0;
  for (const TStrProtItem& e : elements)
    if (e.IsData()) total += e.Value;
  return total;
}

std::int64_t TotalBytes(const TStrProt_Listbase& elements) {
  std::int64_t total = 0;
  for (const TStrProtItem& e : MergeElements(elements))
    if (e.IsData()) total += (e.Value + 7) / 8;
  return total;
}

int DataRunCount(const TStrProt_Listbase& elements) {
  int runs = 0;
  bool in_run = false;
  for (const TStrProtItem& e : elements) {
    if (e.IsData() && !in_run) ++runs;
    in_run = e.IsData();
  }
  return runs;
}

void DropSplitElements(TStrProt_Listbase& elements) {
  std::erase_if(elements, [](const TStrProtItem& e) { return !e.IsData(); });
}

namespace {
// Calls visit(run number, element) for every data element.
template <typename Visit>
void ForEachRunElement(const TStrProt_Listbase& elements, Visit visit) {
  int run = -1;
  bool in_run = false;
  for (const TStrProtItem& e : elements) {
    if (e.IsData()) {
      if (!in_run) ++run;
      visit(run, e);
    }
    in_run = e.IsData();
  }
}
}  // namespace

std::int64_t BitOffsetOfRun(const TStrProt_Listbase& elements, int run, std::int64_t extra_bits) {
  std::int64_t bits = 0;
  ForEachRunElement(elements, [&](int r, const TStrProtItem& e) {
    if (r < run) bits += e.Value;
  });
  return bits + extra_bits;
}

std::int64_t ByteOffsetOfRun(const TStrProt_Listbase& elements, int run, std::int64_t bit_offset) {
  std::int64_t bytes = 0;
  ForEachRunElement(elements, [&](int r, const TStrProtItem& e) {
    if (r < run) bytes += (e.Value + 7) / 8;
  });
  return bytes + bit_offset / 8;
}

std::int64_t BitsInRun(const TStrProt_Listbase& elements, int run) {
  std::int64_t bits = 0;
  ForEachRunElement(elements, [&](int r, const TStrProtItem& e) {
    if (r == run) bits += e.Value;
  });
  return bits;
}

bool BitsToBytes(const TStrProt_Listbase& elements, std::span<const std::uint8_t> bits, bool lsb_first,
                 TSSByteArray& bytes) {
  TSSByteArray out;
  if (!detail::PackBits(elements, bits, lsb_first, out)) return false;
  bytes = std::move(out);
  return true;
}

bool BytesToBits(const TStrProt_Listbase& elements, std::span<const std::uint8_t> bytes, bool lsb_first,
                 TSSByteArray& bits) {
  return UnpackBits(
      elements, lsb_first,
      [&](std::size_t i, std::uint8_t& byte) {
        if (i >= bytes.size()) return false;
        byte = bytes[i];
        return true;
      },
      bits);
}

bool BytesToBitsFixed(const TStrProt_Listbase& elements, std::span<const std::uint8_t> code,
                      int highest_index, bool lsb_first, TSSByteArray& bits) {
  return UnpackBits(
      elements, lsb_first,
      [&](std::size_t i, std::uint8_t& byte) {
        if (highest_index < 0 || i > static_cast<std::size_t>(highest_index) || i >= code.size())
          return false;
        byte = code[i];
        return true;
      },
      bits);
}

}  // namespace klimavo::ir

namespace klimavo::ir::detail {

namespace {

// Eight bits to one byte at once: byte k of the word is bit k, and only the
// value 1 counts as a one. Each byte equal to 1 becomes its top bit (a zero-byte
// test on word ^ 0x01..01, exact without carries between bytes); one
// multiplication gathers the eight top bits into the top byte.
std::uint8_t PackEightBits(const std::uint8_t* bits, bool lsb_first) {
  constexpr std::uint64_t kOnes = 0x0101010101010101;
  constexpr std::uint64_t kLow7 = 0x7F7F7F7F7F7F7F7F;
  std::uint64_t word = 0;
  std::memcpy(&word, bits, sizeof word);
  const std::uint64_t y = word ^ kOnes;
  const std::uint64_t nonzero = ((y & kLow7) + kLow7) | y;
  const std::uint64_t is_one = (~nonzero >> 7) & kOnes;  // 1 in the low bit of each byte that was 1
  const std::uint64_t gather = lsb_first ? 0x0102040810204080 : 0x8040201008040201;
  return static_cast<std::uint8_t>((is_one * gather) >> 56);
}

}  // namespace

bool PackBits(const TStrProt_Listbase& elements, std::span<const std::uint8_t> bits, bool lsb_first,
              TSSByteArray& bytes) {
  bytes.clear();
  if (bits.empty() || elements.empty()) return false;
  // A bit list shorter than the groups claim cannot fill them: refuse instead of
  // reading past its end.
  if (TotalBits(elements) > static_cast<std::int64_t>(bits.size())) return false;
  std::size_t cursor = 0;
  auto pack = [&](int count) {
    unsigned value = 0;
    // No branch on the bit itself: the bits of a code are as good as random.
    for (int k = 0; k < count; ++k, ++cursor)
      value |= static_cast<unsigned>(bits[cursor] == 1) << (lsb_first ? k : count - 1 - k);
    bytes.push_back(static_cast<std::uint8_t>(value));
  };
  for (const TStrProtItem& e : elements) {
    if (!e.IsData()) continue;
    for (int b = 0; b < e.Value / 8; ++b) {
      if constexpr (std::endian::native == std::endian::little) {
        bytes.push_back(PackEightBits(bits.data() + cursor, lsb_first));
        cursor += 8;
      } else {
        pack(8);
      }
    }
    if (e.Value % 8 > 0) pack(e.Value % 8);
  }
  return !bytes.empty();
}

}  // namespace klimavo::ir::detail
