#include "cli/commands.h"

#include <algorithm>
#include <iostream>
#include <vector>

#include "base/file_error.h"
#include "base/home.h"
#include "lang/language.h"

namespace klimavo::cli {
namespace {

struct Entry {
  int order;
  CommandSetup setup;
};

std::vector<Entry>& Registry() {
  static std::vector<Entry> entries;
  return entries;
}

}  // namespace

CommandRegistration::CommandRegistration(int order, CommandSetup setup) {
  Registry().push_back(Entry{order, std::move(setup)});
}

const std::filesystem::path& Context::Home() {
  if (!home_) {
    home_ = base::PrepareHome(home_option);
    if (lang::Language(*home_, 1).TextsMissing())
      std::cerr << "klimavo-cli: warning: " << lang::kMissingTextsMessage << "\n";
  }
  return *home_;
}

workflow::WorkbenchContext& Context::Workbench() {
  if (!workbench_) {
    // An unreadable config.ini ends the verb (exit status 2) rather than
    // running it in a language the user did not choose.
    const int language_no = workflow::StartLanguageNo(Home(), lang);
    workbench_.emplace(Home(), language_no);
  }
  return *workbench_;
}

int Run(int argc, char** argv) {
  CLI::App app{"klimavo-cli: the command-line workbench for air-conditioner IR protocols"};
  app.require_subcommand(1);
  app.set_version_flag("--version", KLIMAVO_CLI_VERSION);
  Context ctx;
  std::string home;
  app.add_option("--home", home, "Workbench home folder (default: $KLIMAVO_HOME, ...)");
  app.add_option("--lang", ctx.lang, "Language number (1 English, 2 Chinese)");
  app.parse_complete_callback([&] {
    if (!home.empty()) ctx.home_option = home;
  });

  auto& entries = Registry();
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.order < b.order; });
  for (auto& e : entries) e.setup(app, ctx);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  } catch (const CommandError& e) {
    std::cerr << "klimavo-cli: " << e.message << "\n";
    return e.status;
  } catch (const base::FileError& e) {
    std::cerr << "klimavo-cli: " << e.what() << "\n";
    return kExitUsage;
  } catch (const std::exception& e) {
    std::cerr << "klimavo-cli: " << e.what() << "\n";
    return kExitUsage;
  }
  return ctx.exit_code;
}

}  // namespace klimavo::cli
