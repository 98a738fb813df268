#include "update/update_install.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <random>

#include "base/atomic_file.h"
#include "base/file_error.h"
#include "base/gbk.h"
#include "base/home.h"
#include "base/text.h"
#include "store/library.h"
#include "store/library_and_pictures.h"
#include "store/picture_store.h"
#include "update/data_file_check.h"

namespace klimavo::update {
namespace {

namespace fs = std::filesystem;

bool IsStoreFile(const ListedFile& f) {
  return f.name == store::kLibraryFileName || f.name == store::kPictureStoreFileName;
}

/// While the update replaces the library or the picture store it holds the
/// locks of both, taken as every writer of the workbench takes them.
std::optional<store::StoreLock> LockStoreFiles(const fs::path& data_dir,
                                               const std::vector<ListedFile>& files) {
  if (std::none_of(files.begin(), files.end(), IsStoreFile)) return std::nullopt;
  return std::optional<store::StoreLock>(std::in_place, data_dir / store::kLibraryFileName,
                                         data_dir / store::kPictureStoreFileName);
}

[[noreturn]] void ThrowErrno(const fs::path& path, const std::string& what) {
  throw base::FileError(path, what + ": " + std::strerror(errno));
}

/// A file descriptor closed on every path.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

/// Opens `folder` as a real folder, creating it (0700) when missing; a
/// symbolic link in its place is refused.
int OpenRealFolder(const fs::path& folder) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir >= 0) return dir;
    if (errno == ENOENT && attempt == 0) {
      if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        ThrowErrno(folder, "cannot create the folder");
      continue;
    }
    if (errno == ELOOP || errno == ENOTDIR)
      throw base::FileError(folder, "is not a real folder (a link or a file)");
    ThrowErrno(folder, "cannot open the folder");
  }
  throw base::FileError(folder, "cannot open the folder");
}

std::string TemporaryName(const fs::path& name) {
  static thread_local std::mt19937 random{std::random_device{}()};
  return base::Concat({".", name.string(), ".new", std::to_string(random() % 1000000)});
}

std::optional<base::Bytes> ReadIfRegular(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  return base::ReadWholeFile(path);
}

std::optional<FailedFile> DamagedLibrary(const fs::path& file) {
  std::error_code ec;
  if (!fs::exists(file, ec)) return std::nullopt;
  store::TdiskAirList records;
  const store::LibraryLoadResult result = store::LoadLibraryFileChecked(file, records);
  if (!result.Damaged()) return std::nullopt;
  return FailedFile{store::kLibraryFileName, 0,
                    "the library " + file.string() + " is damaged (" + store::DescribeLibraryFault(result) +
                        "); it is not replaced, so the records it holds can still be rescued"};
}

std::optional<FailedFile> DamagedPictureStore(const fs::path& file) {
  std::error_code ec;
  const fs::file_type type = fs::status(file, ec).type();
  if (type == fs::file_type::not_found) return std::nullopt;
  const std::string name(store::kPictureStoreFileName);
  if (type != fs::file_type::regular)
    return FailedFile{name, 0,
                      "the picture store " + file.string() + " is not a regular file; it is not replaced"};
  const std::optional<base::Bytes> bytes = base::ReadWholeFile(file);
  if (!bytes || bytes->empty()) return std::nullopt;
  const store::PictureFileIntegrity check = store::CheckPictureFile(*bytes);
  if (check.ok()) return std::nullopt;
  return FailedFile{name, 0,
                    "the picture store " + file.string() + " is damaged (" +
                        store::DescribePictureFault(check) +
                        "); it is not replaced, so the pictures it holds can still be rescued"};
}

}  // namespace

fs::path UpdateDir(const fs::path& home) { return home / "Update"; }
fs::path BackupDir(const fs::path& home) { return home / "Backup"; }

fs::path LocalFileName(std::string_view name) { return fs::path(base::GbkToUtf8(name)); }

void WriteHomeFolderFile(const fs::path& folder, const fs::path& name, std::span<const std::uint8_t> bytes) {
  const Descriptor dir(OpenRealFolder(folder));
  const std::string temporary = TemporaryName(name);
  const Descriptor file(
      ::openat(dir.get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (file.get() < 0) ThrowErrno(folder / temporary, "cannot create");
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(file.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int error = errno;
      ::unlinkat(dir.get(), temporary.c_str(), 0);
      errno = error;
      ThrowErrno(folder / name, "cannot write");
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(file.get()) != 0 || ::renameat(dir.get(), temporary.c_str(), dir.get(), name.c_str()) != 0) {
    const int error = errno;
    ::unlinkat(dir.get(), temporary.c_str(), 0);
    errno = error;
    ThrowErrno(folder / name, "cannot write");
  }
}

base::Bytes ReadHomeFolderFile(const fs::path& folder, const fs::path& name) {
  const Descriptor dir(OpenRealFolder(folder));
  const Descriptor file(::openat(dir.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (file.get() < 0) {
    if (errno == ELOOP) throw base::FileError(folder / name, "is a symbolic link, not a downloaded file");
    ThrowErrno(folder / name, "the downloaded file cannot be opened");
  }
  struct stat status {};
  if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
    throw base::FileError(folder / name, "is not a regular file");
  base::Bytes bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowErrno(folder / name, "cannot read");
    if (n == 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  return bytes;
}

std::optional<FailedFile> DamagedStoreFile(const fs::path& home, const std::vector<ListedFile>& files) {
  if (std::none_of(files.begin(), files.end(), IsStoreFile)) return std::nullopt;
  const fs::path data_dir = base::DataDir(home);
  if (auto library = DamagedLibrary(data_dir / store::kLibraryFileName)) return library;
  return DamagedPictureStore(data_dir / store::kPictureStoreFileName);
}

InstallResult InstallFiles(const fs::path& home, const std::vector<ListedFile>& files) {
  InstallResult result;
  const fs::path data_dir = base::DataDir(home);
  const fs::path update_dir = UpdateDir(home);
  try {
    const std::optional<store::StoreLock> lock = LockStoreFiles(data_dir, files);
    // Checked again under the locks: another program may have written meanwhile.
    if (const std::optional<FailedFile> damaged = DamagedStoreFile(home, files))
      throw std::runtime_error(damaged->detail);
    std::vector<base::Bytes> contents;
    std::vector<base::FileReplacement> replacements;
    contents.reserve(files.size());
    for (const ListedFile& file : files) {
      const fs::path name = LocalFileName(file.name);
      const fs::path target = data_dir / name;
      if (fs::is_directory(base::ResolveLinks(target)))
        throw base::FileError(target, "a folder stands where the file would go");
      contents.push_back(ReadHomeFolderFile(update_dir, name));
      if (const std::optional<std::string> problem = DataFileProblem(file.name, contents.back()))
        throw base::FileError(update_dir / name, *problem);
      replacements.push_back(base::FileReplacement{target, contents.back()});
    }
    // A copy of every file about to be replaced, to restore it from.
    for (const ListedFile& file : files) {
      const fs::path name = LocalFileName(file.name);
      const std::optional<base::Bytes> old = ReadIfRegular(data_dir / name);
      if (!old) continue;
      WriteHomeFolderFile(BackupDir(home), name, *old);
      result.kept.push_back(BackupDir(home) / name);
    }
    base::WriteFilesAtomically(replacements);
    result.copied = files;
  } catch (const std::exception& e) {
    result.error = e.what();
    result.kept.clear();
    return result;
  }
  try {
    RecordDates(base::ConfigPath(home), result.copied);
  } catch (const std::exception& e) {
    result.error = e.what();
  }
  return result;
}

}  // namespace klimavo::update
