#include "base/file_stamp.h"

#include <sys/stat.h>

namespace klimavo::base {

FileStamp FileStamp::Of(const std::filesystem::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return {};
  FileStamp stamp;
  stamp.exists = true;
  stamp.size = static_cast<std::uint64_t>(info.st_size);
  stamp.modified_ns = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
  stamp.inode = static_cast<std::uint64_t>(info.st_ino);
  stamp.device = static_cast<std::uint64_t>(info.st_dev);
  return stamp;
}

}  // namespace klimavo::base
