#include "update/update_install.h"

#include <algorithm>
#include <optional>

#include "base/atomic_file.h"
#include "base/file_error.h"
#include "base/gbk.h"
#include "base/home.h"
#include "store/library.h"
#include "store/library_and_pictures.h"
#include "store/picture_store.h"

namespace klimavo::update {
namespace {

namespace fs = std::filesystem;

/// While the update replaces the library or the picture store it holds the
/// locks of both, taken as every writer of the workbench takes them.
std::optional<store::StoreLock> LockStoreFiles(const fs::path& data_dir,
                                               const std::vector<ListedFile>& files) {
  const bool guarded = std::any_of(files.begin(), files.end(), [](const ListedFile& f) {
    return f.name == store::kLibraryFileName || f.name == store::kPictureStoreFileName;
  });
  if (!guarded) return std::nullopt;
  return std::optional<store::StoreLock>(std::in_place, data_dir / store::kLibraryFileName,
                                         data_dir / store::kPictureStoreFileName);
}

}  // namespace

fs::path UpdateDir(const fs::path& home) { return home / "Update"; }

fs::path LocalFileName(std::string_view name) { return fs::path(base::GbkToUtf8(name)); }

InstallResult InstallFiles(const fs::path& home, const std::vector<ListedFile>& files) {
  InstallResult result;
  const fs::path data_dir = base::DataDir(home);
  const fs::path update_dir = UpdateDir(home);
  try {
    const std::optional<store::StoreLock> lock = LockStoreFiles(data_dir, files);
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
