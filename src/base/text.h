#pragma once
// Small text helpers with the exact semantics the workbench needs: trimming of
// blanks and control characters, and upper-casing of the ASCII letters only.

#include <initializer_list>
#include <string>
#include <string_view>

namespace klimavo::base {

/// Removes characters <= ' ' at both ends (the classic Trim).
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
/// Upper-cases a-z only; every other byte is kept, so GBK text survives.
std::string UpperAscii(std::string_view s);
/// Case-insensitive comparison of ASCII letters.
bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b);
/// Parses a whole signed decimal integer (optional sign, optional surrounding
/// blanks); false for anything else or on overflow of 64 bits.
bool ParseInteger(std::string_view s, long long& value);
/// The parts joined into one string, appended to a buffer reserved once.
/// Used where `"literal" + std::string(...)` would read naturally: that form
/// inserts at the front of the temporary, which GCC 12 at -O2 reports as an
/// overlapping copy that cannot happen (-Wrestrict in its own std::string).
std::string Concat(std::initializer_list<std::string_view> parts);

}  // namespace klimavo::base
