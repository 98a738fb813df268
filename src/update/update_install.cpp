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

/// Suffix of a staged file; listed names never start with '.', so a staged
/// name ".<name>.update" cannot be the name of a listed file.
constexpr std::string_view kStagedSuffix = ".update";

fs::path StagedPath(const fs::path& data_dir, const fs::path& name) {
  return data_dir / ("." + name.string() + std::string(kStagedSuffix));
}

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

void RemoveStaged(const std::vector<fs::path>& staged, std::size_t from) {
  for (std::size_t i = from; i < staged.size(); ++i) {
    std::error_code ec;
    fs::remove(staged[i], ec);
  }
}

}  // namespace

fs::path UpdateDir(const fs::path& home) { return home / "Update"; }

fs::path LocalFileName(std::string_view name) { return fs::path(base::GbkToUtf8(name)); }

InstallResult InstallFiles(const fs::path& home, const std::vector<ListedFile>& files) {
  InstallResult result;
  const fs::path data_dir = base::DataDir(home);
  const fs::path update_dir = UpdateDir(home);
  std::vector<base::FileLock> locks;
  std::vector<fs::path> targets;
  std::vector<fs::path> staged;
  try {
    locks = LockGuardedFiles(data_dir, files);
    for (const ListedFile& file : files) {
      const fs::path name = LocalFileName(file.name);
      // A data file that is a link is replaced where it points, as saves do.
      targets.push_back(base::ResolveLinks(data_dir / name));
      if (fs::is_directory(targets.back()))
        throw base::FileError(targets.back(), "a folder stands where the file would go");
      const auto bytes = base::ReadWholeFile(update_dir / name);
      if (!bytes) throw base::FileError(update_dir / name, "the downloaded file is missing");
      staged.push_back(StagedPath(targets.back().parent_path(), targets.back().filename()));
      base::WriteFileAtomically(staged.back(), *bytes);
    }
  } catch (const std::exception& e) {
    RemoveStaged(staged, 0);
    result.error = e.what();
    return result;
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    const fs::path& target = targets[i];
    std::error_code ec;
    fs::rename(staged[i], target, ec);
    if (ec) {
      RemoveStaged(staged, i);
      result.error = target.string() + ": cannot replace: " + ec.message();
      break;
    }
    result.copied.push_back(files[i]);
  }
  locks.clear();
  try {
    if (!result.copied.empty()) RecordDates(base::ConfigPath(home), result.copied);
  } catch (const std::exception& e) {
    if (result.error.empty()) result.error = e.what();
  }
  return result;
}

}  // namespace klimavo::update
