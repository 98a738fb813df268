// `klimavo-cli send`: sends what a record's programmed remote would send for a
// key press through a kernel IR transmitter, to try the record on the air
// conditioner itself.
//
//   klimavo-cli send --record N --key K --states S0,...,S5 [--device PATH] [--duty-cycle P]
//
// The chip emulator runs the record's table image with the key states and the
// pressed key; the signal goes out in pulse mode with the record's carrier.
// Without --device the first /dev/lirc* that can send is used. A regular file
// or a pipe stands in for a device: it receives the durations as unsigned
// 32-bit µs values.
//
// Exit status: 0 sent; 1 the device refused or the write failed; 2 unusable
// arguments, a record that is not in the library or whose image does not run.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/home.h"
#include "cli/commands.h"
#include "config/config.h"
#include "store/library.h"
#include "workflow/record_sender.h"

namespace klimavo::cli {
namespace {

struct SendArgs {
  int index = -1;
  int key = 0;
  std::vector<int> states;
  std::string device;
  int duty_cycle = static_cast<int>(device::kDefaultDutyCyclePercent);
};

std::string DefaultTransmitter() {
  std::vector<std::string> problems;
  const auto paths = workflow::LircTransmitters(&problems);
  if (!paths.empty()) return paths.front();
  std::string message = "no kernel IR transmitter found (give one: --device PATH)";
  for (const auto& p : problems) message += "\n  " + p;
  throw CommandError{kExitUsage, message};
}

int RunSend(const SendArgs& args, Context& ctx) {
  if (args.states.size() != firmware::kFunctionKeys)
    throw CommandError{kExitUsage, "--states needs six values (power, temperature, mode, fan, swing, vane)"};
  store::ProtocolLibrary library(base::DataDir(ctx.Home()) / store::kLibraryFileName);
  if (!library.Load())
    throw CommandError{kExitUsage, "cannot read the protocol library " + library.File().string()};
  store::TdiskAir record;
  store::TBtnLines lines;
  if (!library.FetchRecord(args.index, record, lines))
    throw CommandError{kExitUsage, "record " + std::to_string(args.index) + " is not in the library"};
  const auto timing = config::Derive(config::ReadConfig(base::ConfigPath(ctx.Home()))).Timing;
  const workflow::RecordSender sender(record, lines, timing);
  workflow::KeyStates states{};
  for (std::size_t k = 0; k < states.size(); ++k) states[k] = args.states[k];
  std::string problem;
  if (!sender.Signal(args.key, states, problem))
    throw CommandError{kExitUsage,
                       "record " + std::to_string(args.index) + ": " + problem + "; nothing was sent"};
  const std::string path = args.device.empty() ? DefaultTransmitter() : args.device;
  const workflow::SendOutcome outcome =
      sender.Send(path, args.key, states, static_cast<std::uint32_t>(args.duty_cycle));
  for (const auto& note : outcome.notes) std::cerr << "klimavo-cli: " << path << ": " << note << "\n";
  if (!outcome.error.empty()) {
    std::cerr << "klimavo-cli: " << outcome.error << "\n";
    return kExitFailed;
  }
  std::cerr << "sent " << outcome.durations << " durations through " << path << "\n";
  return kExitOk;
}

const CommandRegistration kSend(445, [](CLI::App& app, Context& ctx) {
  auto args = std::make_shared<SendArgs>();
  auto* cmd = app.add_subcommand("send", "Send a record's emulated code through a kernel IR transmitter");
  cmd->add_option("--record", args->index, "Library index of the record")->required();
  cmd->add_option("--key", args->key, "The pressed key 0..5")->required()->check(CLI::Range(0, 5));
  cmd->add_option("--states", args->states, "States of keys 0..5: power,temperature,mode,fan,swing,vane")
      ->delimiter(',')
      ->required();
  cmd->add_option("--device", args->device,
                  "The transmitter (/dev/lircN), or a file or pipe that receives the durations");
  cmd->add_option("--duty-cycle", args->duty_cycle, "Carrier duty cycle in percent")
      ->check(CLI::Range(1, 99))
      ->capture_default_str();
  cmd->callback([args, &ctx] { ctx.exit_code = RunSend(*args, ctx); });
});

}  // namespace
}  // namespace klimavo::cli
