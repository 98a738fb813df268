// The registry of checksum kinds, the constant operations and the firmware's
// checksum operation names. Chinese names are GBK bytes; the UTF-8 text is in
// the comment beside each.

#include <array>
#include <cstdint>

#include "ir/checksum.h"

namespace klimavo::ir {
namespace {

using C = CrcCombination;

// kind, Chinese name, English name, combination, complement, cuts operands,
// shifted by one bit, nibble exchange
constexpr std::array<CrcKindInfo, kCrcKindCount> kKinds{{
    {CrcKind::Sum, "\xC7\xF3\xBA\xCD", "CheckSum", C::Sum, false, true, false, false},  // 求和
    {CrcKind::SumInverted, "\xC7\xF3\xBA\xCD\xC8\xA1\xB7\xB4", "Flips of CheckSum", C::Sum, true, true, false,
     false},  // 求和取反
    {CrcKind::CountOnes, "1\xB5\xC4\xB8\xF6\xCA\xFD", "Count of one", C::CountOnes, false, false, false,
     false},  // 1的个数
    {CrcKind::CountOnesInverted, "1\xB5\xC4\xB8\xF6\xCA\xFD\xC8\xA1\xB7\xB4", "Flips of Count of one",
     C::CountOnes, true, false, false, false},  // 1的个数取反
    {CrcKind::CountZeros, "0\xB5\xC4\xB8\xF6\xCA\xFD", "Count of zero", C::CountZeros, false, false, false,
     false},  // 0的个数
    {CrcKind::CountZerosInverted, "0\xB5\xC4\xB8\xF6\xCA\xFD\xC8\xA1\xB7\xB4", "Flips of Count of zero",
     C::CountZeros, true, false, false, false},                                    // 0的个数取反
    {CrcKind::Xor, "\xD2\xEC\xBB\xF2", "xor", C::Xor, false, true, false, false},  // 异或
    {CrcKind::SumNibbleSwap, "\xC7\xF3\xBA\xCD\xBA\xF3\xB8\xDF\xB5\xCD\xBD\xBB\xBB\xBB",
     "Exchange of CheckSum", C::Sum, false, true, false, true},  // 求和后高低交换
    {CrcKind::SumShifted, "\xCA\xD7\xBC\xD3\xD2\xBB\xCE\xBB\xC7\xF3\xBA\xCD", "Append one bit,CheckSum",
     C::Sum, false, true, true, false},  // 首加一位求和
    {CrcKind::NibbleSum, "GREE\xD0\xA3\xD1\xE9", "GREE's Kinds", C::NibbleSum, false, true, false,
     false},  // GREE校验
    {CrcKind::XorInverted, "\xD2\xEC\xBB\xF2\xC8\xA1\xB7\xB4", "Flips of xor", C::Xor, true, true, false,
     false},  // 异或取反
}};

constexpr std::array<const char*, kCrcConstOpCount> kConstOpNames{"+", "-", "xor", "*", "/", "and", "or"};

// External firmware code of each constant operation; "*" and "/" have none.
constexpr std::array<std::uint8_t, kCrcConstOpCount> kConstOpToOuter{0, 1, 5, kNoFirmwareOp, kNoFirmwareOp,
                                                                     3, 4};

constexpr std::array<const char*, 6> kInnerOpNames{
    "\xBC\xD3",                          // 加 (add)
    "\xD3\xEB",                          // 与 (and)
    "\xBB\xF2",                          // 或 (or)
    "\xD2\xEC\xBB\xF2",                  // 异或 (xor)
    "1\xB8\xF6\xCA\xFD",                 // 1个数 (count of ones)
    "\xC6\xE6\xC5\xBC\xD0\xA3\xD1\xE9",  // 奇偶校验 (parity)
};

constexpr std::array<const char*, 8> kOuterOpNames{
    "\xBC\xD3",                                          // 加 (add)
    "\xBC\xF5",                                          // 减 (subtract the constant)
    "\xB1\xBB\xBC\xF5",                                  // 被减 (subtract from the constant)
    "\xD3\xEB",                                          // 与 (and)
    "\xBB\xF2",                                          // 或 (or)
    "\xD2\xEC\xBB\xF2",                                  // 异或 (xor)
    "\xB1\xA3\xB4\xE6\xB5\xB1\xC7\xB0",                  // 保存当前 (save current)
    "\xB8\xDF\xB5\xCD\xD7\xD6\xBD\xDA\xB6\xD4\xB5\xF7",  // 高低字节对调 (exchange high and low)
};

// v / c rounded to the nearest integer, halves to even; c > 0.
std::uint32_t DivideRounded(std::uint32_t value, std::uint32_t constant) {
  const std::uint32_t quotient = value / constant;
  const std::uint64_t twice_rest = std::uint64_t{value % constant} * 2;
  if (twice_rest > constant || (twice_rest == constant && (quotient & 1) != 0)) return quotient + 1;
  return quotient;
}

template <std::size_t N>
std::string NameAt(const std::array<const char*, N>& names, int code) {
  if (code < 0 || static_cast<std::size_t>(code) >= N) return {};
  return names[static_cast<std::size_t>(code)];
}

}  // namespace

std::span<const CrcKindInfo> CrcKinds() { return kKinds; }

const CrcKindInfo* FindCrcKind(int code) {
  if (code < 0 || code >= kCrcKindCount) return nullptr;
  return &kKinds[static_cast<std::size_t>(code)];
}

std::uint32_t ApplyConstOp(std::uint32_t value, std::uint8_t op, std::uint32_t constant) {
  switch (static_cast<CrcConstOp>(op)) {
    case CrcConstOp::Add:
      return value + constant;
    case CrcConstOp::Sub:
      return value - constant;
    case CrcConstOp::Xor:
      return value ^ constant;
    case CrcConstOp::Mul:
      return value * constant;  // the low 32 bits
    case CrcConstOp::Div:
      return constant == 0 ? value : DivideRounded(value, constant);
    case CrcConstOp::And:
      return value & constant;
    case CrcConstOp::Or:
      return value | constant;
  }
  return value;  // any other code leaves the value unchanged
}

std::string ConstOpName(int op) { return NameAt(kConstOpNames, op); }

std::uint8_t MapConstOpToOuter(std::uint8_t op) {
  if (op >= kCrcConstOpCount) return kNoFirmwareOp;
  return kConstOpToOuter[op];
}

std::string CrcInnerOpName(int code) { return NameAt(kInnerOpNames, code); }

std::string CrcOuterOpName(int code) { return NameAt(kOuterOpNames, code); }

}  // namespace klimavo::ir
