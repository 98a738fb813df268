#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "base/file_error.h"

namespace klimavo::base {
namespace {

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

void SyncDirectory(const std::filesystem::path& dir) {
  int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::filesystem::path ResolveLinks(const std::filesystem::path& path) {
  constexpr int kMaxLinks = 40;
  std::filesystem::path current = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(current, ec)) return current;
    std::filesystem::path target = std::filesystem::read_symlink(current, ec);
    if (ec) throw FileError(path, "cannot read the link " + current.string() + ": " + ec.message());
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  throw FileError(path, "too many symbolic links");
}

void WriteFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> data) {
  std::filesystem::path dir = path.parent_path();
  std::string pattern = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) throw FileError(path, "cannot create a temporary file: " + ErrnoText());
  auto fail = [&](const std::string& what) {
    std::string text = what + ": " + ErrnoText();
    ::close(fd);
    ::unlink(pattern.c_str());
    throw FileError(path, text);
  };
  if (!WriteAll(fd, data.data(), data.size())) fail("cannot write");
  if (::fsync(fd) != 0) fail("cannot flush");
  ::fchmod(fd, 0644);
  if (::close(fd) != 0) {
    std::string text = "cannot close: " + ErrnoText();
    ::unlink(pattern.c_str());
    throw FileError(path, text);
  }
  if (::rename(pattern.c_str(), path.c_str()) != 0) {
    std::string text = "cannot replace: " + ErrnoText();
    ::unlink(pattern.c_str());
    throw FileError(path, text);
  }
  SyncDirectory(dir);
}

void WriteFileAtomically(const std::filesystem::path& path, std::string_view text) {
  WriteFileAtomically(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

std::optional<Bytes> ReadWholeFile(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) throw FileError(path, "cannot open for reading");
  Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw FileError(path, "cannot read");
  return data;
}

}  // namespace klimavo::base
