#pragma once
// SHA-1 of a byte string (FIPS 180-4). Used only to derive short, stable names
// (the pulse feed's socket name from the home path), not for security.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace klimavo::base {

/// The 20-byte digest.
std::array<std::uint8_t, 20> Sha1(std::string_view data);
/// The digest as 40 lower-case hexadecimal digits.
std::string Sha1Hex(std::string_view data);

}  // namespace klimavo::base
