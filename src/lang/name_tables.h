#pragma once
// The built-in name tables: air-conditioner functions and their values, the
// checksum kinds and constant operations, and two labels of the function
// analysis wizard, in Chinese and English. Every text is GBK bytes, ready to
// be compared with or stored into record fields.

#include <array>
#include <cstddef>
#include <string_view>

namespace klimavo::lang {

inline constexpr std::size_t kKeyKindCount = 8;
inline constexpr std::size_t kCrcKindCount = 11;
inline constexpr std::size_t kCrcOpCount = 7;
inline constexpr std::size_t kAcFunctionCount = 6;
inline constexpr std::size_t kAcValueCount = 15;

/// Names of the special relative kinds by key index (key 1 "TEMP+-", key 3 "MODE/FAN").
extern const std::array<std::string_view, kKeyKindCount> KeyKindNames;
/// Checksum kind names by kind code.
extern const std::array<std::string_view, kCrcKindCount> CrcKindNamesCn;
extern const std::array<std::string_view, kCrcKindCount> CrcKindNamesEn;
/// Names of the operations of a checksum constant (the same in both languages).
extern const std::array<std::string_view, kCrcOpCount> CrcOpNames;
/// Function names: power, temperature, mode, fan, swing, vane.
extern const std::array<std::string_view, kAcFunctionCount> AcFunctionNamesCn;
extern const std::array<std::string_view, kAcFunctionCount> AcFunctionNamesEn;
/// Value names (on, off, degrees, modes, fan speeds, swing states).
extern const std::array<std::string_view, kAcValueCount> AcValueNamesCn;
extern const std::array<std::string_view, kAcValueCount> AcValueNamesEn;

/// "Corresponding" label of the function analysis wizard in the given language.
std::string_view CorrespondingText(int language_no);
/// "Set Side" label of the function analysis wizard in the given language.
std::string_view SetSideText(int language_no);
/// Function name i in the given language; empty outside 0..5.
std::string_view AcFunctionName(int index, int language_no);
/// Value name i in the given language; empty outside 0..14.
std::string_view AcValueName(int index, int language_no);

}  // namespace klimavo::lang
