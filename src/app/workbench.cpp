#include "app/workbench.h"

namespace klimavo::app {

Workbench::Workbench(std::filesystem::path home_folder) : workflow::WorkbenchContext(std::move(home_folder)) {
  // A library that cannot be read leaves the workbench running, protected,
  // with what loaded; the main window reports it.
  LoadLibrary();
  ReadSettings();
  if (language.TextsMissing()) startup_problems.emplace_back(lang::kMissingTextsMessage);
}

}  // namespace klimavo::app
