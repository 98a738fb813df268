// `klimavo-cli emulate`: builds one record's table image and runs it in the chip
// image emulator for a state of the six function keys and a pressed key,
// printing the signal the programmed remote would send.
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "base/home.h"
#include "cli/commands.h"
#include "config/config.h"
#include "firmware/chip_emulator.h"
#include "firmware/table_image.h"
#include "store/library.h"

namespace klimavo::cli {
namespace {

struct EmulateArgs {
  int index = -1;
  std::vector<int> states;
  int key = 0;
  bool json = false;
};

std::string Join(const std::vector<std::int32_t>& values) {
  std::ostringstream out;
  for (std::size_t i = 0; i < values.size(); ++i) out << (i ? ", " : "") << values[i];
  return out.str();
}

int RunEmulate(const EmulateArgs& args, Context& ctx) {
  store::ProtocolLibrary library(base::DataDir(ctx.Home()) / store::kLibraryFileName);
  if (!library.Load())
    throw CommandError{kExitUsage, "cannot read the protocol library " + library.File().string()};
  store::TdiskAir record;
  store::TBtnLines lines;
  if (!library.FetchRecord(args.index, record, lines))
    throw CommandError{kExitUsage, "index " + std::to_string(args.index) + " is not in the library"};
  if (args.states.size() != firmware::kFunctionKeys)
    throw CommandError{kExitUsage, "--states needs six values (power, temperature, mode, fan, swing, vane)"};
  if (args.key < 0 || args.key >= firmware::kFunctionKeys)
    throw CommandError{kExitUsage, "--key must be 0..5, not " + std::to_string(args.key)};

  const config::TimingAdjustments timing =
      config::Derive(config::ReadConfig(base::ConfigPath(ctx.Home()))).Timing;
  base::Bytes image;
  const int built = firmware::BuildTableImage(record, lines, false, timing, image);
  if (built != 0) {
    std::cerr << "klimavo-cli: record " << args.index << ": the table image cannot be built (error " << built
              << ")\n";
    return kExitFailed;
  }
  firmware::StateBlock block{};
  for (int k = 0; k < firmware::kFunctionKeys; ++k)
    block[static_cast<std::size_t>(k)] = args.states[static_cast<std::size_t>(k)];
  block[6] = args.key;
  firmware::TACRusher rusher(timing);
  rusher.Load(record.LsbFirst != 0, image, block);
  ir::TIRIntegerArr durations;
  const bool ok = rusher.Run(durations);
  const std::vector<std::int32_t> states(rusher.KeyStates().begin(), rusher.KeyStates().end());
  if (args.json) {
    std::cout << "{\"ok\": " << (ok ? "true" : "false") << ", \"error_code\": " << rusher.ErrorCode()
              << ", \"durations_us\": [" << (ok ? Join(durations) : "") << "], \"states\": [" << Join(states)
              << "]}\n";
  } else {
    if (ok)
      std::cout << Join(durations) << "\n";
    else
      std::cout << "the image does not run\n";
    std::cout << "ErrorCode: " << rusher.ErrorCode() << "\n";
  }
  return ok && rusher.ErrorCode() == 0 ? kExitOk : kExitFailed;
}

const CommandRegistration kEmulate(440, [](CLI::App& app, Context& ctx) {
  auto args = std::make_shared<EmulateArgs>();
  auto* cmd = app.add_subcommand("emulate", "Run a record's table image as the remote's firmware would");
  cmd->add_option("index", args->index, "Library index")->required();
  cmd->add_option("--states", args->states, "States of keys 0..5: power,temperature,mode,fan,swing,vane")
      ->delimiter(',')
      ->required();
  cmd->add_option("--key", args->key, "The pressed key 0..5")->required();
  cmd->add_flag("--json", args->json, "One JSON object: ok, error_code, durations_us, states");
  cmd->callback([args, &ctx] { ctx.exit_code = RunEmulate(*args, ctx); });
});

}  // namespace
}  // namespace klimavo::cli
