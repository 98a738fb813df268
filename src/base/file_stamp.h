#pragma once
// What a file looked like on disk at one moment: whether it existed, its size,
// its modification time and its inode. A program that keeps a file's contents
// in memory takes a stamp when it reads or writes the file; a different stamp
// later means another program has changed the file since. The inode is part of
// it because every save replaces the file by a new one (rename), so even a
// rewrite of the same size within one timestamp tick gives a new stamp.

#include <cstdint>
#include <filesystem>

namespace klimavo::base {

struct FileStamp {
  bool exists = false;
  std::uint64_t size = 0;
  std::int64_t modified_ns = 0;  ///< modification time, ns since the epoch
  std::uint64_t inode = 0;
  std::uint64_t device = 0;

  /// The stamp of the file a path names (links followed); a missing or
  /// unreadable file gives the stamp of no file.
  static FileStamp Of(const std::filesystem::path& path);
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

}  // namespace klimavo::base
