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

namespace klimavo::app {

class DeviceSession;

struct Workbench {
  /// Start-up: reads the language number (0 or beyond the listed languages
  /// means 1) and loads the library (a missing or rejected file gives an empty
  /// library, without a message).
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

  std::filesystem::path ConfigFile() const;
  std::filesystem::path DataDir() const;
  std::filesystem::path PictureFile() const;
  /// Re-reads the derived settings from config.ini; an unreadable file keeps
  /// the settings as they are and adds to `startup_problems`.
  void ReadSettings();
};

}  // namespace klimavo::app
