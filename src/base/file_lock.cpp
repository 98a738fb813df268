#include "base/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>

#include "base/atomic_file.h"
#include "base/file_error.h"

namespace klimavo::base {
namespace fs = std::filesystem;
namespace {

// The lock files this process holds. flock() locks of two descriptors of one
// file exclude each other even inside one process, so locking a file twice
// would wait forever; it is refused instead. Entries carry the process id: a
// forked child inherits the set but none of its locks.
class HeldLocks {
 public:
  static HeldLocks& Instance() {
    static HeldLocks held;
    return held;
  }
  bool Add(const std::string& path) {
    std::lock_guard guard(mutex_);
    return paths_.insert({::getpid(), path}).second;
  }
  void Remove(const std::string& path) {
    std::lock_guard guard(mutex_);
    paths_.erase({::getpid(), path});
  }

 private:
  std::mutex mutex_;
  std::set<std::pair<pid_t, std::string>> paths_;
};

}  // namespace

fs::path FileLock::LockPathFor(const fs::path& guarded) {
  fs::path target = ResolveLinks(guarded);
  std::error_code ec;
  fs::path absolute = fs::absolute(target, ec);
  if (ec) absolute = target;
  absolute = absolute.lexically_normal();
  return absolute.parent_path() / (absolute.filename().string() + ".lock");
}

FileLock::FileLock(const fs::path& guarded) : FileLock(guarded, Wait::kBlock) {}

std::optional<FileLock> FileLock::TryLock(const fs::path& guarded) {
  FileLock lock(guarded, Wait::kTry);
  if (lock.fd_ < 0) return std::nullopt;
  return lock;
}

FileLock::FileLock(const fs::path& guarded, Wait wait) : lock_path_(LockPathFor(guarded)) {
  if (!HeldLocks::Instance().Add(lock_path_.string()))
    throw std::logic_error(lock_path_.string() + ": this process already holds the lock");
  int fd = ::open(lock_path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    std::string text = std::strerror(errno);
    HeldLocks::Instance().Remove(lock_path_.string());
    throw FileError(lock_path_, "cannot open the lock file: " + text);
  }
  const int operation = wait == Wait::kTry ? LOCK_EX | LOCK_NB : LOCK_EX;
  int result = 0;
  do {
    result = ::flock(fd, operation);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    const int error = errno;
    ::close(fd);
    HeldLocks::Instance().Remove(lock_path_.string());
    if (wait == Wait::kTry && error == EWOULDBLOCK) return;  // held elsewhere: fd_ stays -1
    throw FileError(lock_path_, std::string("cannot lock: ") + std::strerror(error));
  }
  fd_ = fd;
}

FileLock::~FileLock() { Release(); }

FileLock::FileLock(FileLock&& other) noexcept : fd_(other.fd_), lock_path_(std::move(other.lock_path_)) {
  other.fd_ = -1;
}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    lock_path_ = std::move(other.lock_path_);
    other.fd_ = -1;
  }
  return *this;
}

void FileLock::Release() noexcept {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
  HeldLocks::Instance().Remove(lock_path_.string());
}

}  // namespace klimavo::base
