#include "update/update_install.h"

#include <algorithm>
#include <array>

#include "base/atomic_file.h"
#include "base/file_error.h"
#include "base/file_lock.h"
#include "base/gbk.h"
#include "base/home.h"
#include "store/library.h"
#include "store/picture_store.h"

namespace klimavo::update {
namespace {

namespace fs = std::filesystem;

/// The files whose lock is held while they are replaced, in the order every
/// process of the workbench takes them (library first).
constexpr std::array<std::string_view, 2> kLockedFiles = {store::kLibraryFileName,
                                                          store::kPictureStoreFileName};

std::vector<base::FileLock> LockGuardedFiles(const fs::path& data_dir, const std::vector<ListedFile>& files) {
  std::vector<base::FileLock> locks;
  for (std::string_view guarded : kLockedFiles) {
    const bool listed =
        std::any_of(files.begin(), files.end(), [&](const ListedFile& f) { return f.name == guarded; });
    if (listed) locks.emplace_back(data_dir / guarded);
  }
  return locks;
}

}  // namespace

fs::path UpdateDir(const fs::path& home) { return home / "Update"; }

fs::path LocalFileName(std::string_view name) { return fs::path(base::GbkToUtf8(name)); }

InstallResult InstallFiles(const fs::path& home, const std::vector<ListedFile>& files) {
  InstallResult result;
  const fs::path data_dir = base::DataDir(home);
  const fs::path update_dir = UpdateDir(home);
  try {
    const std::vector<base::FileLock> locks = LockGuardedFiles(data_dir, files);
    std::vector<base::Bytes> contents;
    std::vector<base::FileReplacement> replacements;
    contents.reserve(files.size());
    for (const ListedFile& file : files) {
      const fs::path name = LocalFileName(file.name);
      const fs::path target = data_dir / name;
      if (fs::is_directory(base::ResolveLinks(target)))
        throw base::FileError(target, "a folder stands where the file would go");
      auto bytes = base::ReadWholeFile(update_dir / name);
      if (!bytes) throw base::FileError(update_dir / name, "the downloaded file is missing");
      contents.push_back(std::move(*bytes));
      replacements.push_back(base::FileReplacement{target, contents.back()});
    }
    base::WriteFilesAtomically(replacements);
    result.copied = files;
  } catch (const std::exception& e) {
    result.error = e.what();
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
