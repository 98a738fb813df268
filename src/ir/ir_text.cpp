#include "ir/ir_text.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "base/text.h"

namespace klimavo::ir {
namespace {

constexpr std::string_view kDigits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
// Written for a digit value the alphabet has no character for (radix above 36).
constexpr char kNoDigit = '?';

// A signed decimal 32-bit integer, optionally with "+"; nothing else.
bool ParseInt32(std::string_view s, std::int32_t& value) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.front() == '+') return false;
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc() && ptr == s.data() + s.size();
}

// One item of a duration list: a number, "x"/"X" or "-x"/"-X".
bool ConvertDuration(std::string_view item, std::int32_t& value) {
  if (item == "x" || item == "X") {
    value = kUnusedDuration;
    return true;
  }
  if (item == "-x" || item == "-X") {
    value = -kUnusedDuration;
    return true;
  }
  return ParseInt32(item, value);
}

// The cutting shared by TryStrToIntArr and StrToIntArr; `trimmed` is not empty.
bool CutDurations(std::string_view trimmed, char separator, TIRIntegerArr& out) {
  out.clear();
  std::string_view rest = trimmed;
  for (std::size_t cut = rest.find(separator); cut != std::string_view::npos; cut = rest.find(separator)) {
    const std::string piece = base::Trim(rest.substr(0, cut));
    if (piece.empty()) break;  // an empty piece ends the cutting; the rest is the remainder
    std::int32_t v = 0;
    if (!ConvertDuration(piece, v)) return false;
    out.push_back(v);
    rest.remove_prefix(cut + 1);
  }
  const std::string remainder = base::Trim(rest);
  if (remainder.empty()) return true;
  std::int32_t v = 0;
  if (!ConvertDuration(remainder, v)) return false;
  out.push_back(v);
  return true;
}

int DigitValue(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  const std::size_t at = kDigits.find(c);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

// Sum of digit × radix^position; the arithmetic wraps modulo 2^64 for texts
// too long for 64 bits instead of overflowing.
template <typename Positions>
std::int64_t AccumulateDigits(std::string_view text, std::uint8_t radix, Positions position_of) {
  std::uint64_t sum = 0;
  std::uint64_t weight = 1;
  for (std::size_t n = 0; n < text.size(); ++n) {
    const int digit = DigitValue(text[position_of(n)]);
    sum += static_cast<std::uint64_t>(static_cast<std::int64_t>(digit)) * weight;
    weight *= radix;
  }
  return static_cast<std::int64_t>(sum);
}

// Digits least significant first, with the width rule of IntToRadixStr.
std::string RadixDigitsReversed(std::uint8_t radix, int width, std::uint32_t value) {
  std::string digits;
  if (radix < 2) return digits;  // no positional digits in radix 0 or 1
  auto digit_char = [](std::uint32_t d) { return d < kDigits.size() ? kDigits[d] : kNoDigit; };
  auto width_reached = [&] { return width > 0 && digits.size() >= static_cast<std::size_t>(width); };
  std::uint32_t v = value;
  while (v >= radix) {
    if (width_reached()) return digits;
    digits.push_back(digit_char(v % radix));
    v /= radix;
  }
  if (!width_reached()) digits.push_back(digit_char(v));
  return digits;
}

}  // namespace

bool TryStrToIntArr(std::string_view text, char separator, TIRIntegerArr& out) {
  if (text.find('|') != std::string_view::npos) return false;
  const std::string trimmed = base::Trim(text);
  if (trimmed.empty()) {
    out.clear();
    return false;
  }
  return CutDurations(trimmed, separator, out);
}

TIRIntegerArr StrToIntArr(std::string_view text, char separator) {
  TIRIntegerArr out;
  const std::string trimmed = base::Trim(text);
  if (trimmed.empty() || !CutDurations(trimmed, separator, out)) out.clear();
  return out;
}

bool TryStrToRange(std::string_view text, std::int32_t& low, std::int32_t& high) {
  TIRIntegerArr items;
  if (!TryStrToIntArr(text, '-', items) || items.empty() || items.size() > 2) return false;
  low = items.front();
  high = items.back();
  if (high < low) std::swap(low, high);
  return true;
}

TStrArray SplitStr(std::string_view text, char separator) {
  TStrArray out;
  const std::string trimmed = base::Trim(text);
  std::string_view rest = trimmed;
  while (!rest.empty()) {
    const std::size_t cut = rest.find(separator);
    std::string item = base::Trim(rest.substr(0, cut));
    if (!item.empty()) out.push_back(std::move(item));
    if (cut == std::string_view::npos) break;
    rest.remove_prefix(cut + 1);
  }
  return out;
}

std::int64_t RadixStrToInt(std::string_view text, std::uint8_t radix) {
  return AccumulateDigits(text, radix, [&](std::size_t n) { return text.size() - 1 - n; });
}

std::int64_t RadixStrToIntRev(std::string_view text, std::uint8_t radix) {
  return AccumulateDigits(text, radix, [](std::size_t n) { return n; });
}

std::int64_t BinStrToInt(std::string_view text) {
  std::uint64_t sum = 0;
  std::uint64_t weight = 1;
  for (std::size_t n = text.size(); n > 0; --n) {
    const char c = text[n - 1];
    if (c < '0' || c > '9') break;
    sum += static_cast<std::uint64_t>(c - '0') * weight;
    weight <<= 1;
  }
  return static_cast<std::int64_t>(sum);
}

std::string IntToRadixStr(std::uint8_t radix, int width, std::uint32_t value) {
  std::string text = RadixDigitsReversed(radix, width, value);
  std::reverse(text.begin(), text.end());
  if (text.empty()) text.push_back('0');
  if (width > 0 && text.size() < static_cast<std::size_t>(width)) text.insert(0, width - text.size(), '0');
  return text;
}

std::string IntToRadixStrRev(std::uint8_t radix, int width, std::uint32_t value) {
  std::string text = RadixDigitsReversed(radix, width, value);
  if (text.empty()) text.push_back('0');
  if (width > 0 && text.size() < static_cast<std::size_t>(width)) text.append(width - text.size(), '0');
  return text;
}

std::string IntToBinStr(int width, std::int64_t value) {
  if (width <= 0) return {};
  std::string digits;
  auto v = static_cast<std::uint64_t>(value);
  do {
    digits.push_back(static_cast<char>('0' + (v & 1)));
    v >>= 1;
  } while (v != 0);
  std::reverse(digits.begin(), digits.end());
  const auto w = static_cast<std::size_t>(width);
  if (digits.size() < w) return std::string(w - digits.size(), '0') + digits;
  return digits.substr(digits.size() - w);
}

std::string SymbolsToHexStr(int symbol_count, int symbol_range, bool even, std::uint32_t value) {
  int bits_per_symbol = 1;
  if (symbol_range == 4) {
    bits_per_symbol = 2;
  } else if (symbol_range >= 5 && symbol_range <= 8) {
    bits_per_symbol = 3;
  } else if (symbol_range >= 9 && symbol_range <= 16) {
    bits_per_symbol = 4;
  }
  const std::int64_t bits = std::int64_t{bits_per_symbol} * symbol_count;
  std::int64_t width = (bits - 1) / 4 + 1;  // division truncating toward zero
  if (even && width % 2 != 0) ++width;
  // Eight hexadecimal digits hold any 32-bit value; wider texts are only padding.
  constexpr std::int64_t kMaxWidth = 4096;
  width = std::clamp<std::int64_t>(width, std::numeric_limits<int>::min() / 2, kMaxWidth);
  return IntToRadixStr(16, static_cast<int>(width), value);
}

std::int64_t LowBits(std::int32_t value, int count) {
  if (count <= 0) return 0;
  if (count >= 64) return value;
  const std::uint64_t mask = (std::uint64_t{1} << count) - 1;
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(std::int64_t{value}) & mask);
}

void SetBitOfByte(std::uint8_t& byte, int bit_index, bool on) {
  if (bit_index < 0 || bit_index >= 8) return;
  const auto mask = static_cast<std::uint8_t>(1u << bit_index);
  byte = on ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
}

bool VarBitSet(std::int64_t value, int bit_index) {
  if (bit_index < 0 || bit_index >= 64) return false;
  return ((static_cast<std::uint64_t>(value) >> bit_index) & 1u) == 1u;
}

bool IsMultipleOf(std::int64_t a, std::int64_t b) {
  if (b == 0) return false;  // no number is a multiple of 0 here; avoids the division fault
  if (b == -1) return true;
  return a % b == 0;
}

bool WithinOne(std::int64_t a, std::int64_t b) {
  const auto ua = static_cast<std::uint64_t>(a);
  const auto ub = static_cast<std::uint64_t>(b);
  return (a >= b ? ua - ub : ub - ua) <= 1;
}

std::string StripParens(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c == '(' || c == ')') c = ' ';
  return base::Trim(out);
}

void MergeSameSign(const TIRIntegerArr& in, std::size_t n, TIRIntegerArr& out) {
  n = std::min(n, in.size());
  if (n == 0) return;
  TIRIntegerArr merged;
  std::int64_t run = in[0];
  int run_sign = in[0] > 0 ? 1 : (in[0] < 0 ? -1 : 0);
  auto flush = [&] {
    merged.push_back(static_cast<std::int32_t>(std::clamp<std::int64_t>(
        run, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max())));
  };
  for (std::size_t i = 1; i < n; ++i) {
    const std::int32_t v = in[i];
    const bool continues = (run_sign > 0 && v > 0) || (run_sign < 0 && v < 0);
    if (continues) {
      run += v;
      continue;
    }
    flush();
    run = v;
    run_sign = v > 0 ? 1 : (v < 0 ? -1 : 0);
  }
  flush();
  out = std::move(merged);
}

TIRIntegerArr MergeSameSign(const TIRIntegerArr& in) {
  TIRIntegerArr out;
  MergeSameSign(in, in.size(), out);
  return out;
}

}  // namespace klimavo::ir
