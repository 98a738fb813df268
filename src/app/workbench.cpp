#include "app/workbench.h"

#include <optional>

#include "base/atomic_file.h"
#include "base/home.h"
#include "base/ini_file.h"
#include "store/library_and_pictures.h"
#include "store/picture_store.h"

namespace klimavo::app {
namespace {

int StartLanguage(const std::filesystem::path& home, std::vector<std::string>& problems) {
  try {
    const long long value = base::ReadIniInteger(base::ConfigPath(home), "Config", "lang", 0);
    const int language_no = static_cast<int>(static_cast<std::uint8_t>(value));
    const int count = lang::Language(home, 1).LanguageCount();
    return (language_no == 0 || language_no > count) ? 1 : language_no;
  } catch (const std::exception& e) {
    problems.push_back(e.what());
    return 1;
  }
}

}  // namespace

Workbench::Workbench(std::filesystem::path home_folder)
    : home(std::move(home_folder)),
      language(home, StartLanguage(home, startup_problems)),
      library(base::DataDir(home) / "acprotocl.dat") {
  // A library that cannot be read leaves the workbench running, protected,
  // with what loaded; the main window reports it.
  LoadLibrary();
  ReadSettings();
  if (language.TextsMissing()) startup_problems.emplace_back(lang::kMissingTextsMessage);
}

void Workbench::LoadLibrary() {
  std::optional<store::StoreLock> lock;
  std::error_code ec;
  try {
    if (std::filesystem::is_directory(DataDir(), ec)) lock.emplace(library.File(), PictureFile());
    library_load = library.LoadChecked();
    const auto pictures = base::ReadWholeFile(PictureFile());
    picture_check = pictures ? store::CheckPictureFile(*pictures) : store::PictureFileIntegrity{};
  } catch (const std::exception& e) {
    library_load.fault = store::LibraryFault::kUnreadable;
    library_load.reason = e.what();
  }
  library_protected = library_load.Damaged() || !picture_check.ok();
}

std::filesystem::path Workbench::ConfigFile() const { return base::ConfigPath(home); }
std::filesystem::path Workbench::DataDir() const { return base::DataDir(home); }
std::filesystem::path Workbench::PictureFile() const {
  return DataDir() / std::string(store::kPictureStoreFileName);
}

void Workbench::ReadSettings() {
  try {
    settings = config::Derive(config::ReadConfig(ConfigFile()));
  } catch (const std::exception& e) {
    startup_problems.push_back(e.what());
  }
}

}  // namespace klimavo::app
