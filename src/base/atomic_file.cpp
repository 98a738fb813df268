#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>

#include "base/file_error.h"
#include "base/text.h"

namespace klimavo::base {
namespace fs = std::filesystem;
namespace {

/// The random part mkstemp puts into a temporary name.
constexpr std::size_t kTemporarySuffixLength = 6;

std::string ErrnoText() { return std::strerror(errno); }

// Writes everything or reports the errno of the failing write.
bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void SyncDirectory(const fs::path& dir) {
  int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// ".<name>.XXXXXX" beside the file: the name every temporary file of a save of
// `target` gets, so that the ones a killed save leaves can be recognised.
std::string TemporaryPattern(const fs::path& target) {
  return (target.parent_path() / Concat({".", target.filename().string(), ".XXXXXX"})).string();
}

// A new, flushed file beside its target, renamed over the target on Commit and
// removed when it is not committed.
class StagedFile {
 public:
  StagedFile(const fs::path& path, std::span<const std::uint8_t> data)
      : StagedFile(path, [data](const ByteSink& sink) { sink(data); }) {}

  StagedFile(const fs::path& path, const std::function<void(const ByteSink&)>& produce)
      : path_(path), target_(ResolveLinks(path)), temporary_(TemporaryPattern(target_)) {
    int fd = ::mkstemp(temporary_.data());
    if (fd < 0) throw FileError(path_, "cannot create a temporary file: " + ErrnoText());
    auto fail = [&](const std::string& what) {
      std::string text = what + ": " + ErrnoText();
      ::close(fd);
      ::unlink(temporary_.c_str());
      throw FileError(path_, text);
    };
    // After a failed write the rest is not written; its errno is kept for the message.
    int write_error = 0;
    try {
      produce([&](std::span<const std::uint8_t> piece) {
        if (write_error == 0 && !WriteAll(fd, piece.data(), piece.size())) write_error = errno;
      });
    } catch (...) {
      ::close(fd);
      ::unlink(temporary_.c_str());
      throw;
    }
    if (write_error != 0) {
      errno = write_error;
      fail("cannot write");
    }
    if (::fsync(fd) != 0) fail("cannot flush");
    ::fchmod(fd, 0644);
    if (::close(fd) != 0) {
      std::string text = "cannot close: " + ErrnoText();
      ::unlink(temporary_.c_str());
      throw FileError(path_, text);
    }
    staged_ = true;
  }
  ~StagedFile() {
    if (staged_) ::unlink(temporary_.c_str());
  }
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  /// Renames the staged file over the target; throws FileError (the target unchanged).
  void Commit() {
    if (::rename(temporary_.c_str(), target_.c_str()) != 0)
      throw FileError(path_, "cannot replace: " + ErrnoText());
    staged_ = false;
  }
  const fs::path& path() const { return path_; }
  const fs::path& target() const { return target_; }

 private:
  fs::path path_;
  fs::path target_;
  std::string temporary_;
  bool staged_ = false;
};

// The old version of a file about to be replaced, kept as a hard link under a
// temporary name so that a later failure can put it back. A file that did not
// exist is put back by removing the new one; where the file system has no hard
// links its bytes are kept in memory instead.
class Backup {
 public:
  explicit Backup(const fs::path& target) : target_(target) {
    std::error_code ec;
    existed_ = fs::exists(target_, ec);
    if (!existed_) return;
    std::string name = TemporaryPattern(target_);
    int fd = ::mkstemp(name.data());
    if (fd >= 0) {
      ::close(fd);
      ::unlink(name.c_str());
      if (::link(target_.c_str(), name.c_str()) == 0) {
        link_ = name;
        return;
      }
    }
    bytes_ = ReadWholeFile(target_);
  }
  ~Backup() {
    if (!link_.empty()) ::unlink(link_.c_str());
  }
  Backup(const Backup&) = delete;
  Backup& operator=(const Backup&) = delete;

  void Restore() noexcept {
    try {
      if (!existed_) {
        ::unlink(target_.c_str());
      } else if (!link_.empty()) {
        if (::rename(link_.c_str(), target_.c_str()) == 0) link_.clear();
      } else if (bytes_) {
        WriteFileAtomically(target_, *bytes_);
      }
    } catch (const std::exception&) {
      // Nothing more can be done; the caller reports the first failure.
    }
  }

 private:
  fs::path target_;
  bool existed_ = false;
  std::string link_;
  std::optional<Bytes> bytes_;
};

bool IsTemporaryNameOf(const std::string& name, const std::string& file) {
  const std::string head = "." + file + ".";
  if (name.size() != head.size() + kTemporarySuffixLength || name.compare(0, head.size(), head) != 0)
    return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(head.size()), name.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

}  // namespace

fs::path ResolveLinks(const fs::path& path) {
  constexpr int kMaxLinks = 40;
  fs::path current = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(current, ec)) return current;
    fs::path target = fs::read_symlink(current, ec);
    if (ec) throw FileError(path, "cannot read the link " + current.string() + ": " + ec.message());
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  throw FileError(path, "too many symbolic links");
}

void WriteFileAtomically(const fs::path& path, std::span<const std::uint8_t> data) {
  StagedFile staged(path, data);
  staged.Commit();
  SyncDirectory(staged.target().parent_path());
}

void WriteFileAtomicallyFrom(const fs::path& path, const std::function<void(const ByteSink&)>& produce) {
  StagedFile staged(path, produce);
  staged.Commit();
  SyncDirectory(staged.target().parent_path());
}

void WriteFileAtomically(const fs::path& path, std::string_view text) {
  WriteFileAtomically(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

void WriteFilesAtomically(const std::vector<FileReplacement>& files) {
  std::vector<std::unique_ptr<StagedFile>> staged;
  for (const auto& file : files) staged.push_back(std::make_unique<StagedFile>(file.path, file.data));
  std::vector<std::unique_ptr<Backup>> backups;
  for (auto& file : staged) backups.push_back(std::make_unique<Backup>(file->target()));
  for (std::size_t i = 0; i < staged.size(); ++i) {
    try {
      staged[i]->Commit();
    } catch (const FileError&) {
      for (std::size_t j = 0; j < i; ++j) backups[j]->Restore();
      throw;
    }
  }
  for (const auto& file : staged) SyncDirectory(file->target().parent_path());
}

int RemoveStaleTemporaryFiles(const fs::path& path) {
  const fs::path target = ResolveLinks(path);
  const std::string file = target.filename().string();
  std::error_code ec;
  fs::directory_iterator it(target.parent_path().empty() ? fs::path(".") : target.parent_path(), ec);
  int removed = 0;
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    if (!IsTemporaryNameOf(it->path().filename().string(), file)) continue;
    std::error_code remove_error;
    if (it->is_regular_file(remove_error) && fs::remove(it->path(), remove_error)) ++removed;
  }
  return removed;
}

std::optional<Bytes> ReadWholeFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError(path, "cannot open for reading");
  Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw FileError(path, "cannot read");
  return data;
}

}  // namespace klimavo::base
