// `klimavo-cli analyse <sub-verb>`: the analysis tools for scripts and checks.
// Each sub-verb lives in its own file (analyse_<name>.cpp) and is added here.
#include "cli/analyse_command.h"

namespace klimavo::cli {
namespace {

const CommandRegistration kAnalyse(200, [](CLI::App& app, Context& ctx) {
  auto* analyse = app.add_subcommand(
      "analyse", "Analyse captures without a display (comparison grid, checksum discovery)");
  analyse->require_subcommand(1);
  AddAnalyseCompare(*analyse, ctx);
  AddAnalyseChecksum(*analyse, ctx);
});

}  // namespace
}  // namespace klimavo::cli
