#pragma once
// Bounded little-endian readers and writers for the binary files and packets of
// the workbench. Every multi-byte value on disk and on the wire is little-endian;
// nothing is ever read by casting a struct.

#include <bit>
#include <cstddef>
#include <cstdint>
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

/// Appends little-endian values to a growing byte vector.
class ByteWriter {
 public:
  ByteWriter() = default;
  explicit ByteWriter(Bytes& target) : out_(&target) {}

  void u8(std::uint8_t v) { out().push_back(v); }
  void u16(std::uint16_t v);
  void u32(std::uint32_t v);
  void u64(std::uint64_t v);
  void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
  void f64(double v) { u64(std::bit_cast<std::uint64_t>(v)); }
  void bytes(std::span<const std::uint8_t> data);
  void zeros(std::size_t n);
  /// Overwrites 8 bytes at an earlier position (for length fields written last).
  void patch_u64(std::size_t position, std::uint64_t v);
  void patch_u16(std::size_t position, std::uint16_t v);

  std::size_t size() const { return out_ ? out_->size() : own_.size(); }
  const Bytes& data() const { return out_ ? *out_ : own_; }
  Bytes take() { return out_ ? *out_ : std::move(own_); }

 private:
  Bytes& out() { return out_ ? *out_ : own_; }
  Bytes* out_ = nullptr;
  Bytes own_;
};

// Free helpers for fixed offsets inside a buffer (caller guarantees bounds).
std::uint16_t ReadU16Le(const std::uint8_t* p);
std::uint32_t ReadU32Le(const std::uint8_t* p);
void WriteU16Le(std::uint8_t* p, std::uint16_t v);
void WriteU32Le(std::uint8_t* p, std::uint32_t v);

}  // namespace klimavo::base
