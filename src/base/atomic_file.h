#pragma once
// Whole-file rewrites that a crash, a killed process or a full disk cannot
// leave half-written: the bytes go to a temporary file in the same folder, are
// flushed to disk, and the temporary file is renamed over the old one.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "base/byte_io.h"

namespace klimavo::base {

/// Replaces the file at `path` by `data` atomically. Throws FileError when any
/// step fails; the old file is then left as it was and no temporary file stays.
void WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> data);
void WriteFileAtomically(const std::filesystem::path& path, std::string_view text);

/// The file a path finally names: symbolic links are followed (a relative link
/// from the folder that holds it) until a path that is no link; a path that is
/// no link is returned as it is. Throws FileError after 40 links (a loop).
std::filesystem::path ResolveLinks(const std::filesystem::path& path);

/// Reads a whole file. nullopt when it does not exist; FileError when it exists
/// but cannot be read.
std::optional<Bytes> ReadWholeFile(const std::filesystem::path& path);

}  // namespace klimavo::base
