#pragma once
// The length-prefixed fixed-size text of the record files: one length byte and
// N bytes of GBK characters (N + 1 bytes in all). The bytes beyond the length are
// kept as read, so a record image survives a read and a write unchanged.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/byte_io.h"
#include "base/gbk.h"

namespace klimavo::base {

template <std::size_t N>
struct ShortString {
  static_assert(N <= 255);
  static constexpr std::size_t kCapacity = N;
  static constexpr std::size_t kSize = N + 1;

  std::uint8_t length = 0;
  std::array<std::uint8_t, N> chars{};

  /// The text (GBK bytes); a length byte above N reads as N.
  std::string str() const {
    std::size_t n = std::min<std::size_t>(length, N);
    return std::string(reinterpret_cast<const char*>(chars.data()), n);
  }
  bool empty() const { return length == 0; }
  /// Stores GBK bytes cut to N bytes without splitting a two-byte character;
  /// the rest of the field is zeroed.
  void assign(std::string_view gbk) {
    std::size_t n = GbkCutLength(gbk, N);
    chars.fill(0);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(gbk.data()), n, chars.begin());
    length = static_cast<std::uint8_t>(n);
  }
  void read(ByteReader& in) {
    length = in.u8();
    in.bytes(chars);
  }
  void write(ByteWriter& out) const {
    out.u8(length);
    out.bytes(chars);
  }
  friend bool operator==(const ShortString&, const ShortString&) = default;
};

}  // namespace klimavo::base
