#pragma once
// An exclusive lock between the processes that change one file: the command-line
// tool and the workbench lock the library (and the picture store) from before
// they read it until after the new file is renamed into place.
//
// Saves replace a file by renaming a temporary file over it, so a lock on the
// file itself would be lost with the old inode. The lock is therefore taken with
// flock(LOCK_EX) on the separate file `<guarded path>.lock`, which is created
// when missing and never deleted (deleting it would let two processes lock two
// different inodes of the same name). A symbolic link as the guarded path is
// followed: every path that names the same file shares one lock file, beside the
// file itself. The lock is released when the object goes (or the process ends).

#include <filesystem>
#include <optional>

namespace klimavo::base {

class FileLock {
 public:
  /// Waits until this process holds the lock of `guarded`. Throws FileError when
  /// the lock file cannot be opened or locked, and std::logic_error when this
  /// process already holds it (a second flock would wait for itself forever).
  explicit FileLock(const std::filesystem::path& guarded);
  /// Takes the lock only when no other process holds it; nullopt otherwise.
  static std::optional<FileLock> TryLock(const std::filesystem::path& guarded);
  ~FileLock();
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  /// The lock file: the guarded file's final path (links followed) + ".lock".
  static std::filesystem::path LockPathFor(const std::filesystem::path& guarded);
  const std::filesystem::path& LockFile() const { return lock_path_; }

 private:
  enum class Wait { kBlock, kTry };
  FileLock(const std::filesystem::path& guarded, Wait wait);
  void Release() noexcept;

  int fd_ = -1;
  std::filesystem::path lock_path_;
};

}  // namespace klimavo::base
