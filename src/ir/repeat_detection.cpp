// Repetition detection: a signal that sends the same frame several times is
// described once, with a repeat count.

#include "ir/decode_internal.h"
#include "ir/protocol.h"

namespace klimavo::ir::detail {
namespace {

constexpr std::size_t kMinElements = 4;

// Elements repeat with period p; only the last element may differ from its
// counterpart, when both are split elements (the final gap after the last frame
// differs from the gaps between frames).
bool ElementsRepeat(const TStrProt_Listbase& e, std::size_t p) {
  const std::size_t n = e.size();
  for (std::size_t idx = p; idx < n; ++idx) {
    const TStrProtItem& counterpart = e[idx % p];
    if (SameElement(e[idx], counterpart)) continue;
    if (idx == n - 1 && !e[idx].IsData() && !counterpart.IsData()) continue;
    return false;
  }
  return true;
}

bool BitsRepeat(std::span<const std::uint8_t> bits, const TStrProt_Listbase& e, std::size_t p,
                std::size_t r) {
  std::size_t period_bits = 0;
  for (std::size_t i = 0; i < p; ++i)
    if (e[i].IsData()) period_bits += e[i].Value;
  for (std::size_t k = 1; k <= r; ++k) {
    for (std::size_t i = 0; i < period_bits; ++i) {
      const std::size_t at = k * period_bits + i;
      if (at >= bits.size()) return true;  // indexes beyond the list are not compared
      if (bits[at] != bits[i]) return false;
    }
  }
  return true;
}

}  // namespace

void DetectRepeatBits(std::span<const std::uint8_t> bits, TStrProt_Stru& protocol) {
  TStrProt_Listbase& e = protocol.Elements;
  const std::size_t n = e.size();
  if (n < kMinElements) return;
  for (std::size_t p = 2; p + 1 < n; ++p) {
    if (n % p != 0) continue;
    const std::size_t r = (n - p) / p;
    if (!ElementsRepeat(e, p) || !BitsRepeat(bits, e, p, r)) continue;
    protocol.Repeat = static_cast<std::int32_t>(r + 1);
    e.resize(p);
    return;
  }
}

int CountDataGroups(const TStrProt_Listbase& elements) {
  int groups = 0;
  for (const TStrProtItem& e : elements)
    if (e.IsData()) ++groups;
  return groups;
}

}  // namespace klimavo::ir::detail

namespace klimavo::ir {

void DetectRepeat(const TSSByteArray& bits, TStrProt_Stru& protocol) {
  detail::DetectRepeatBits(bits, protocol);
}

}  // namespace klimavo::ir
