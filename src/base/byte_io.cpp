#include "base/byte_io.h"

#include <algorithm>

namespace klimavo::base {

bool ByteReader::take(std::size_t n) {
  if (!ok_ || n > remaining()) {
    ok_ = false;
    return false;
  }
  return true;
}

std::uint8_t ByteReader::u8() {
  if (!take(1)) return 0;
  return data_[pos_++];
}

std::uint16_t ByteReader::u16() {
  if (!take(2)) return 0;
  auto v = ReadU16Le(&data_[pos_]);
  pos_ += 2;
  return v;
}

std::uint32_t ByteReader::u32() {
  if (!take(4)) return 0;
  auto v = ReadU32Le(&data_[pos_]);
  pos_ += 4;
  return v;
}

std::uint64_t ByteReader::u64() {
  if (!take(8)) return 0;
  std::uint64_t lo = ReadU32Le(&data_[pos_]);
  std::uint64_t hi = ReadU32Le(&data_[pos_ + 4]);
  pos_ += 8;
  return lo | (hi << 32);
}

void ByteReader::bytes(std::span<std::uint8_t> out) {
  if (!take(out.size())) {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    return;
  }
  std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(pos_), out.size(), out.begin());
  pos_ += out.size();
}

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

void ByteWriter::u16(std::uint16_t v) {
  u8(static_cast<std::uint8_t>(v));
  u8(static_cast<std::uint8_t>(v >> 8));
}

void ByteWriter::u32(std::uint32_t v) {
  u16(static_cast<std::uint16_t>(v));
  u16(static_cast<std::uint16_t>(v >> 16));
}

void ByteWriter::u64(std::uint64_t v) {
  u32(static_cast<std::uint32_t>(v));
  u32(static_cast<std::uint32_t>(v >> 32));
}

void ByteWriter::bytes(std::span<const std::uint8_t> data) {
  out().insert(out().end(), data.begin(), data.end());
}

void ByteWriter::zeros(std::size_t n) { out().insert(out().end(), n, std::uint8_t{0}); }

void ByteWriter::patch_u64(std::size_t position, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) out().at(position + static_cast<std::size_t>(i)) = static_cast<std::uint8_t>(v >> (8 * i));
}

void ByteWriter::patch_u16(std::size_t position, std::uint16_t v) {
  out().at(position) = static_cast<std::uint8_t>(v);
  out().at(position + 1) = static_cast<std::uint8_t>(v >> 8);
}

std::uint16_t ReadU16Le(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ReadU32Le(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void WriteU16Le(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void WriteU32Le(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace klimavo::base
