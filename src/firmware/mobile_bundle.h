#pragma once
// The mobile bundle: the table image of every library record with its brand
// and code number, packed behind a directory for the mobile app.
//
// Layout (little-endian): u32 0, u32 entry count n, u64 file length, n 40-byte
// directory entries (brand 32 bytes, code number 6 bytes, both trimmed and
// zero-padded, u16 image length), then the images in directory order.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "config/config.h"
#include "store/library.h"

namespace klimavo::firmware {

inline constexpr std::size_t kBundleHeaderSize = 16;
inline constexpr std::size_t kBundleEntrySize = 40;
inline constexpr std::size_t kBundleBrandBytes = 32;
inline constexpr std::size_t kBundleCodeBytes = 6;
inline constexpr int kNoImageLength = 65536;  ///< smallest length reported when no image was kept

struct MobileBundle {
  base::Bytes bytes;  ///< the whole file
  int smallest_image = kNoImageLength;
  int image_count = 0;
  std::vector<std::string> skipped;  ///< code numbers of records left out (as stored)
};

/// Builds the bundle over every library record in order.
MobileBundle BuildMobileBundle(const store::ProtocolLibrary& library,
                               const config::TimingAdjustments& timing);
/// Builds the bundle and replaces `path` atomically (throws base::FileError).
MobileBundle WriteMobileBundle(const std::filesystem::path& path, const store::ProtocolLibrary& library,
                               const config::TimingAdjustments& timing);

}  // namespace klimavo::firmware
