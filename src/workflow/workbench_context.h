#pragma once
// The state every front end of the workbench starts from: the home folder,
// the language, the protocol library over the home's data folder and the
// settings derived from config.ini. The CLI and the Qt workbench both build
// it, so that a home reads the same from either.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "config/config.h"
#include "lang/language.h"
#include "store/library.h"
#include "store/picture_store.h"

namespace klimavo::workflow {

/// The language number the workbench starts in: `lang_option` when given (the
/// CLI's --lang), else key `lang` of section Config of the home's config.ini.
/// Both are read by one rule, on the whole value: 0, a negative number or one
/// above the count of languages listed in Language.sil means 1 (English); a
/// value that is not a 32-bit integer reads as 0. Throws base::FileError when
/// config.ini cannot be read.
int StartLanguageNo(const std::filesystem::path& home, std::optional<int> lang_option = std::nullopt);

struct WorkbenchContext {
  /// Start-up over `home` in the language of StartLanguageNo; a config.ini that
  /// cannot be read gives language 1 and a line in `startup_problems`.
  explicit WorkbenchContext(std::filesystem::path home_folder);
  /// Start-up over `home` in language `language_no` (already resolved).
  WorkbenchContext(std::filesystem::path home_folder, int language_no);

  std::filesystem::path home;
  /// What could not be read (a file the workbench went on without). Declared
  /// before what start-up reads.
  std::vector<std::string> startup_problems;
  lang::Language language;
  /// The library over the home's data folder; not loaded until LoadLibrary.
  store::ProtocolLibrary library;
  config::DerivedSettings settings;

  // Data safety: how the library and the picture store loaded. A damaged
  // one protects both files for the rest of the run (not ReadOnlyMode, never
  // written to config.ini): every command that would write them is refused.
  store::LibraryLoadResult library_load;
  store::PictureFileIntegrity picture_check;
  bool library_protected = false;
  /// Loads the library and checks the picture store under their locks, and
  /// sets the protection from what they hold.
  void LoadLibrary();

  std::filesystem::path ConfigFile() const;
  std::filesystem::path DataDir() const;
  std::filesystem::path LibraryFile() const;
  std::filesystem::path PictureFile() const;
  /// Re-reads the derived settings from config.ini; an unreadable file keeps
  /// the settings as they are and adds to `startup_problems`.
  void ReadSettings();
};

}  // namespace klimavo::workflow
