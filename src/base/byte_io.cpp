#include "base/byte_io.h"

#include <algorithm>

namespace klimavo::base {

Bytes ByteReader::bytes(std::size_t n) {
  if (!take(n)) return {};
  Bytes out(data_.begin() + static_cast<std::ptrdiff_t>(pos_),
            data_.begin() + static_cast<std::ptrdiff_t>(pos_ + n));
  pos_ += n;
  return out;
}

void ByteReader::skip(std::size_t n) {
  if (take(n)) pos_ += n;
}

void ByteReader::seek(std::size_t position) {
  if (position > data_.size()) {
    ok_ = false;
    return;
  }
  pos_ = position;
}

void ByteWriter::patch_u64(std::size_t position, std::uint64_t v) {
  for (int i = 0; i < 8; ++i)
    out().at(position + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(v >> (8 * i));
}

void ByteWriter::patch_u16(std::size_t position, std::uint16_t v) {
  out().at(position) = static_cast<std::uint8_t>(v);
  out().at(position + 1) = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace klimavo::base
