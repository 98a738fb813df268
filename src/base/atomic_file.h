#pragma once
// Whole-file rewrites that a crash, a killed process or a full disk cannot
// leave half-written: the bytes go to a temporary file in the same folder, are
// flushed to disk, and the temporary file is renamed over the old one.
//
// A path that is a symbolic link is written through: the file the link finally
// names is replaced, and the link stays a link. Temporary files are named
// ".<file name>.XXXXXX" beside the file they replace.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "base/byte_io.h"

namespace klimavo::base {

/// Replaces the file at `path` by `data` atomically. Throws FileError when any
/// step fails; the old file is then left as it was and no temporary file stays.
void WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> data);
void WriteFileAtomically(const std::filesystem::path& path, std::string_view text);

/// Takes the bytes of a file as they are produced, piece by piece.
using ByteSink = std::function<void(std::span<const std::uint8_t>)>;
/// As WriteFileAtomically, with the bytes handed to the sink by `produce` in
/// pieces: a large file is written without being built whole in memory first.
/// An exception from `produce` leaves the old file as it was and is passed on.
void WriteFileAtomicallyFrom(const std::filesystem::path& path,
                             const std::function<void(const ByteSink&)>& produce);

/// One file of WriteFilesAtomically.
struct FileReplacement {
  std::filesystem::path path;
  std::span<const std::uint8_t> data;
};
/// Replaces several files so that a failure leaves all of them as they were:
/// every new content is written to its temporary file and flushed first (a
/// full disk fails here, before any file changes); then the files are renamed
/// into place in the order given, and should a rename fail, the files already
/// replaced get their old contents back. Throws FileError naming the file that
/// failed.
void WriteFilesAtomically(const std::vector<FileReplacement>& files);

/// Removes the temporary files that a killed or crashed save of `path` left
/// beside it (only names of the form ".<file name>.XXXXXX"); returns how many.
/// Call it only while holding the file's lock: a running save of another
/// process has such a file too.
int RemoveStaleTemporaryFiles(const std::filesystem::path& path);

/// The file a path finally names: symbolic links are followed (a relative link
/// from the folder that holds it) until a path that is no link; a path that is
/// no link is returned as it is. Throws FileError after 40 links (a loop).
std::filesystem::path ResolveLinks(const std::filesystem::path& path);

/// Reads a whole file. nullopt when it does not exist; FileError when it exists
/// but cannot be read.
std::optional<Bytes> ReadWholeFile(const std::filesystem::path& path);

}  // namespace klimavo::base
