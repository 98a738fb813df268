#pragma once
// Bounded little-endian readers and writers for the binary files and packets of
// the workbench. Every multi-byte value on disk and on the wire is little-endian;
// nothing is ever read by casting a struct.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace klimavo::base {

using Bytes = std::vector<std::uint8_t>;

/// Reads little-endian values from a byte span. A read past the end yields 0,
/// consumes nothing and marks the reader failed, so a caller can read a whole
/// record and check `ok()` once.
class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> data) : data_(data) {}

  // The readers and writers of single values are defined below, inline: whole
  // library files pass through them value by value.
  std::uint8_t u8();
  std::uint16_t u16();
  std::uint32_t u32();
  std::uint64_t u64();
  std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
  double f64() { return std::bit_cast<double>(u64()); }
  /// Copies n bytes into out (resized); a short span fails and leaves out zeroed.
  void bytes(std::span<std::uint8_t> out);
  Bytes bytes(std::size_t n);
  void skip(std::size_t n);

  bool ok() const { return ok_; }
  std::size_t position() const { return pos_; }
  std::size_t remaining() const { return data_.size() - pos_; }
  std::size_t size() const { return data_.size(); }
  /// Moves to an absolute position; a position past the end fails.
  void seek(std::size_t position);

 private:
  bool take(std::size_t n);
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
  bool ok_ = true;
};

/// Appends little-endian values to a growing byte vector, or writes them into
/// a fixed region of memory: the region's writer takes records of a known
/// size at the speed of memory, without a capacity check per byte.
class ByteWriter {
 public:
  ByteWriter() = default;
  explicit ByteWriter(Bytes& target) : out_(&target) {}
  /// Writes into `region`; a value that would pass its end is not written and
  /// marks the writer overflowed. data(), take() and the patches are for
  /// vector writers only.
  explicit ByteWriter(std::span<std::uint8_t> region)
      : start_(region.data()), cursor_(region.data()), limit_(region.data() + region.size()) {}

  void u8(std::uint8_t v) { put(&v, 1); }
  void u16(std::uint16_t v);
  void u32(std::uint32_t v);
  void u64(std::uint64_t v);
  void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
  void f64(double v) { u64(std::bit_cast<std::uint64_t>(v)); }
  void bytes(std::span<const std::uint8_t> data) { put(data.data(), data.size()); }
  void zeros(std::size_t n);
  /// Overwrites 8 bytes at an earlier position (for length fields written last).
  void patch_u64(std::size_t position, std::uint64_t v);
  void patch_u16(std::size_t position, std::uint16_t v);

  std::size_t size() const {
    if (start_ != nullptr) return static_cast<std::size_t>(cursor_ - start_);
    return out_ ? out_->size() : own_.size();
  }
  /// True when a region writer was given more than its region holds.
  bool overflowed() const { return overflowed_; }
  const Bytes& data() const { return out_ ? *out_ : own_; }
  Bytes take() { return out_ ? *out_ : std::move(own_); }

 private:
  Bytes& out() { return out_ ? *out_ : own_; }
  void put(const std::uint8_t* data, std::size_t n) {
    if (start_ == nullptr) {
      out().insert(out().end(), data, data + n);
    } else if (n > static_cast<std::size_t>(limit_ - cursor_)) {
      overflowed_ = true;
    } else if (n > 0) {
      std::memcpy(cursor_, data, n);
      cursor_ += n;
    }
  }
  Bytes* out_ = nullptr;
  Bytes own_;
  std::uint8_t* start_ = nullptr;  ///< the region; null for a vector writer
  std::uint8_t* cursor_ = nullptr;
  std::uint8_t* limit_ = nullptr;
  bool overflowed_ = false;
};

// Free helpers for fixed offsets inside a buffer (caller guarantees bounds).
inline std::uint16_t ReadU16Le(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

inline std::uint32_t ReadU32Le(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void WriteU16Le(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

inline void WriteU32Le(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline bool ByteReader::take(std::size_t n) {
  if (!ok_ || n > remaining()) {
    ok_ = false;
    return false;
  }
  return true;
}

inline std::uint8_t ByteReader::u8() {
  if (!take(1)) return 0;
  return data_[pos_++];
}

inline std::uint16_t ByteReader::u16() {
  if (!take(2)) return 0;
  const std::uint16_t v = ReadU16Le(data_.data() + pos_);
  pos_ += 2;
  return v;
}

inline std::uint32_t ByteReader::u32() {
  if (!take(4)) return 0;
  const std::uint32_t v = ReadU32Le(data_.data() + pos_);
  pos_ += 4;
  return v;
}

inline std::uint64_t ByteReader::u64() {
  if (!take(8)) return 0;
  const std::uint64_t lo = ReadU32Le(data_.data() + pos_);
  const std::uint64_t hi = ReadU32Le(data_.data() + pos_ + 4);
  pos_ += 8;
  return lo | (hi << 32);
}

inline void ByteReader::bytes(std::span<std::uint8_t> out) {
  if (!take(out.size())) {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    return;
  }
  std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(pos_), out.size(), out.begin());
  pos_ += out.size();
}

inline void ByteWriter::u16(std::uint16_t v) {
  std::uint8_t b[2];
  WriteU16Le(b, v);
  put(b, 2);
}

inline void ByteWriter::u32(std::uint32_t v) {
  std::uint8_t b[4];
  WriteU32Le(b, v);
  put(b, 4);
}

inline void ByteWriter::u64(std::uint64_t v) {
  std::uint8_t b[8];
  WriteU32Le(b, static_cast<std::uint32_t>(v));
  WriteU32Le(b + 4, static_cast<std::uint32_t>(v >> 32));
  put(b, 8);
}

inline void ByteWriter::zeros(std::size_t n) {
  if (start_ == nullptr) {
    out().insert(out().end(), n, std::uint8_t{0});
  } else if (n > static_cast<std::size_t>(limit_ - cursor_)) {
    overflowed_ = true;
  } else {
    std::memset(cursor_, 0, n);
    cursor_ += n;
  }
}

}  // namespace klimavo::base
