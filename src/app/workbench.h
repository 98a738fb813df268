#pragma once
// The process-wide state of the workbench, owned by the application shell for
// the whole run: the start-up context every front end shares (home, language,
// library, settings) and what only the windowed workbench has: the capture
// consumer slots and the device session.

#include <filesystem>

#include "device/capture_router.h"
#include "workflow/workbench_context.h"

namespace klimavo::app {

class DeviceSession;

struct Workbench : workflow::WorkbenchContext {
  /// Start-up: the language of workflow::StartLanguageNo, then the library
  /// (a missing file gives an empty library; a damaged one the records read
  /// whole, and the protection) and the settings.
  explicit Workbench(std::filesystem::path home_folder);

  /// The capture consumer slots: every window that takes captures holds its
  /// slot while it exists; device captures and the pulse feed go through here.
  device::CaptureRouter captures;
  /// The process-wide device manager (null when the workbench runs without one).
  DeviceSession* device = nullptr;
};

}  // namespace klimavo::app
