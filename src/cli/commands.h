#pragma once
// The verbs of klimavo-cli. Each verb lives in its own file and registers itself
// with a static CommandRegistration, so adding a verb touches no other file.

#include <CLI/CLI.hpp>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "workflow/workbench_context.h"

namespace klimavo::cli {

/// Exit statuses shared by every verb.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  ///< the job ran but did not succeed (e.g. a capture did not decode)
inline constexpr int kExitUsage = 2;   ///< unusable arguments or unreadable input

/// Options that come before the verb, and the result of the verb that ran.
struct Context {
  std::optional<std::filesystem::path> home_option;
  std::optional<int> lang;  ///< --lang N; absent: key lang of the home's config.ini
  int exit_code = kExitOk;

  /// The workbench home, resolved and seeded on first use.
  const std::filesystem::path& Home();
  /// The workbench context of the home, built on first use in the language of
  /// --lang N, else of key `lang` of config.ini, both read by the one rule of
  /// workflow::StartLanguageNo that the windowed workbench uses too (0, a
  /// negative number or one above the count of languages is English), so
  /// `--lang 0` and `lang=0` agree. Its library is not loaded.
  workflow::WorkbenchContext& Workbench();
  /// The language of Workbench().
  const lang::Language& Language() { return Workbench().language; }
  int LanguageNo() { return Language().LanguageNo(); }

 private:
  std::optional<std::filesystem::path> home_;
  std::optional<workflow::WorkbenchContext> workbench_;
};

/// A verb adds its subcommand to the app; its callback sets ctx.exit_code.
using CommandSetup = std::function<void(CLI::App& app, Context& ctx)>;

struct CommandRegistration {
  CommandRegistration(int order, CommandSetup setup);
};

/// A user-facing error of a verb: printed as "klimavo-cli: <message>" with the
/// given exit status.
struct CommandError {
  int status;
  std::string message;
};

int Run(int argc, char** argv);

}  // namespace klimavo::cli
