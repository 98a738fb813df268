#include "update/update_install.h"

#include "base/atomic_file.h"
#include "base/file_error.h"
#include "base/gbk.h"
#include "base/home.h"

namespace klimavo::update {
namespace {

namespace fs = std::filesystem;

/// Suffix of a staged file; listed names never start with '.', so a staged
/// name ".<name>.update" cannot be the name of a listed file.
constexpr std::string_view kStagedSuffix = ".update";

fs::path StagedPath(const fs::path& data_dir, const fs::path& name) {
  return data_dir / ("." + name.string() + std::string(kStagedSuffix));
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
  std::vector<fs::path> staged;
  try {
    for (const ListedFile& file : files) {
      const fs::path name = LocalFileName(file.name);
      if (fs::is_directory(data_dir / name))
        throw base::FileError(data_dir / name, "a folder stands where the file would go");
      const auto bytes = base::ReadWholeFile(update_dir / name);
      if (!bytes) throw base::FileError(update_dir / name, "the downloaded file is missing");
      staged.push_back(StagedPath(data_dir, name));
      base::WriteFileAtomically(staged.back(), *bytes);
    }
  } catch (const std::exception& e) {
    RemoveStaged(staged, 0);
    result.error = e.what();
    return result;
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    const fs::path target = data_dir / LocalFileName(files[i].name);
    std::error_code ec;
    fs::rename(staged[i], target, ec);
    if (ec) {
      RemoveStaged(staged, i);
      result.error = target.string() + ": cannot replace: " + ec.message();
      break;
    }
    result.copied.push_back(files[i]);
  }
  try {
    if (!result.copied.empty()) RecordDates(base::ConfigPath(home), result.copied);
  } catch (const std::exception& e) {
    if (result.error.empty()) result.error = e.what();
  }
  return result;
}

}  // namespace klimavo::update
