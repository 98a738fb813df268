#pragma once
// The process-wide state of the workbench, owned by the application shell for
// the whole run: the home folder, the current language, the protocol library
// and the settings derived from config.ini.

#include <filesystem>
#include <string>
#include <vector>

#include "config/config.h"
#include "device/capture_router.h"
#include "lang/language.h"
#include "store/library.h"
#include "store/picture_store.h"

namespace klimavo::app {

class DeviceSession;

struct Workbench {
  /// Start-up: reads the language number (0 or beyond the listed languages
  /// means 1) and loads the library (a missing file gives an empty library; a
  /// damaged one the records read whole, and the protection).
  explicit Workbench(std::filesystem::path home_folder);

  std::filesystem::path home;
  /// What could not be read (a file the workbench went on without), shown by
  /// the main window once it is up. Declared before what start-up reads.
  std::vector<std::string> startup_problems;
  lang::Language language;
  store::ProtocolLibrary library;
  config::DerivedSettings settings;
  /// The capture consumer slots: every window that takes captures holds its
  /// slot while it exists; device captures and the pulse feed go through here.
  device::CaptureRouter captures;
  /// The process-wide device manager (null when the workbench runs without one).
  DeviceSession* device = nullptr;

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
  std::filesystem::path PictureFile() const;
  /// Re-reads the derived settings from config.ini; an unreadable file keeps
  /// the settings as they are and adds to `startup_problems`.
  void ReadSettings();
};

}  // namespace klimavo::app
