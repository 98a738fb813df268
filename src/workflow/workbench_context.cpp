#include "workflow/workbench_context.h"

#include <optional>

#include "base/atomic_file.h"
#include "base/home.h"
#include "store/library_and_pictures.h"

namespace klimavo::workflow {
namespace {

// The language number of StartLanguageNo; a config.ini that cannot be read is
// noted and gives language 1.
int StartLanguageNoNoted(const std::filesystem::path& home, std::vector<std::string>& problems) {
  try {
    return StartLanguageNo(home);
  } catch (const std::exception& e) {
    problems.push_back(e.what());
    return 1;
  }
}

}  // namespace

int StartLanguageNo(const std::filesystem::path& home, std::optional<int> lang_option) {
  const int lang = lang_option ? *lang_option : config::ReadConfig(base::ConfigPath(home)).lang;
  return config::CorrectLanguageNo(lang, lang::Language(home, 1).LanguageCount());
}

WorkbenchContext::WorkbenchContext(std::filesystem::path home_folder)
    : home(std::move(home_folder)),
      language(home, StartLanguageNoNoted(home, startup_problems)),
      library(LibraryFile()) {}

WorkbenchContext::WorkbenchContext(std::filesystem::path home_folder, int language_no)
    : home(std::move(home_folder)), language(home, language_no), library(LibraryFile()) {}

void WorkbenchContext::LoadLibrary() {
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

std::filesystem::path WorkbenchContext::ConfigFile() const { return base::ConfigPath(home); }
std::filesystem::path WorkbenchContext::DataDir() const { return base::DataDir(home); }
std::filesystem::path WorkbenchContext::LibraryFile() const { return DataDir() / store::kLibraryFileName; }
std::filesystem::path WorkbenchContext::PictureFile() const {
  return DataDir() / std::string(store::kPictureStoreFileName);
}

void WorkbenchContext::ReadSettings() {
  try {
    settings = config::Derive(config::ReadConfig(ConfigFile()));
  } catch (const std::exception& e) {
    startup_problems.push_back(e.what());
  }
}

}  // namespace klimavo::workflow
