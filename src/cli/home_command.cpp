// `klimavo-cli home`: prints the resolved workbench home (seeding it when new).
#include <iostream>

#include "cli/commands.h"

namespace klimavo::cli {
namespace {

const CommandRegistration kHome(900, [](CLI::App& app, Context& ctx) {
  auto* cmd = app.add_subcommand("home", "Print the workbench home folder (created and seeded when new)");
  cmd->callback([&ctx] { std::cout << ctx.Home().string() << "\n"; });
});

}  // namespace
}  // namespace klimavo::cli
