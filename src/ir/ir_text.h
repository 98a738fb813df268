#pragma once
// Number and bit texts: radix conversion with the 36-character digit alphabet,
// binary texts, comma-separated duration lists with the "x" placeholder, range
// texts, bit masks and single-bit access. Pure functions; protocol texts, grid
// cells and generated firmware tables are built from them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ir/ir_types.h"

namespace klimavo::ir {

using TStrArray = std::vector<std::string>;

/// Duration-list text to numbers; "|" anywhere fails without touching `out`.
bool TryStrToIntArr(std::string_view text, char separator, TIRIntegerArr& out);
/// As TryStrToIntArr without the "|" check; any failure gives the empty array.
TIRIntegerArr StrToIntArr(std::string_view text, char separator);
/// "low-high" or "n"; low <= high on success.
bool TryStrToRange(std::string_view text, std::int32_t& low, std::int32_t& high);
TStrArray SplitStr(std::string_view text, char separator);

std::int64_t RadixStrToInt(std::string_view text, std::uint8_t radix);
std::int64_t RadixStrToIntRev(std::string_view text, std::uint8_t radix);
std::int64_t BinStrToInt(std::string_view text);

std::string IntToRadixStr(std::uint8_t radix, int width, std::uint32_t value);
std::string IntToRadixStrRev(std::uint8_t radix, int width, std::uint32_t value);
std::string IntToBinStr(int width, std::int64_t value);
std::string SymbolsToHexStr(int symbol_count, int symbol_range, bool even, std::uint32_t value);

std::int64_t LowBits(std::int32_t value, int count);
void SetBitOfByte(std::uint8_t& byte, int bit_index, bool on);
bool VarBitSet(std::int64_t value, int bit_index);
bool IsMultipleOf(std::int64_t a, std::int64_t b);
bool WithinOne(std::int64_t a, std::int64_t b);

std::string StripParens(std::string_view text);
/// Replaces every run of same-signed durations by its sum; n = 0 leaves `out` as it was.
void MergeSameSign(const TIRIntegerArr& in, std::size_t n, TIRIntegerArr& out);
TIRIntegerArr MergeSameSign(const TIRIntegerArr& in);

}  // namespace klimavo::ir
