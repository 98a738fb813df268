// `klimavo-cli export-signals`: the signals a remote programmed with a record
// would send, from the chip emulator, written in a capture format that other
// hardware sends from.
//
//   klimavo-cli [--home DIR] export-signals --record N [--format ID] [--keys K,...]
//               [--states S0,...,S5] [--out FILE]
//   klimavo-cli [--home DIR] export-signals --record N --all-states [--format ID] [--press K]
//               [--pressed FILE...] [--out FILE]
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "base/home.h"
#include "capture/capture_format.h"
#include "capture/signal_export.h"
#include "cli/commands.h"
#include "config/config.h"
#include "store/fault_words.h"
#include "store/library.h"

namespace klimavo::cli {
namespace {

constexpr std::string_view kClimateJson = "climate-json";

struct ExportArgs {
  int index = -1;
  std::string format = "jsonl";
  std::vector<std::string> keys;
  std::vector<int> states;
  bool all_states = false;
  std::string press;
  std::vector<std::string> pressed;
  std::string out;
};

[[noreturn]] void Usage(const std::string& message) { throw CommandError{kExitUsage, message}; }

// A key given as its index (0..5) or its function (power, temp, mode, fan, swing, vane).
int KeyIndex(const std::string& option, const std::string& text, const capture::SignalExporter& exporter) {
  if (text.size() == 1 && text[0] >= '0' && text[0] <= '5') return text[0] - '0';
  for (const capture::ExportKey& key : exporter.Keys())
    if (key.function == text) return key.index;
  Usage(option + ": '" + text + "' is neither a key index 0..5 nor a function of the record");
}

const capture::CaptureFormat& WritableFormat(const std::string& id, bool all_states) {
  const capture::CaptureFormat* format = capture::FindCaptureFormat(id);
  if (!format || !format->write) {
    std::string ids;
    for (const capture::CaptureFormat& f : capture::CaptureFormats())
      if (f.write) ids += (ids.empty() ? "" : ", ") + std::string(f.id);
    Usage("--format " + id + " cannot be written; one of: " + ids);
  }
  if (format->id == kClimateJson && !all_states)
    Usage("--format climate-json holds one code per state: use it with --all-states");
  return *format;
}

// The labelled presses a record was learned from, from capture files.
std::vector<capture::CaptureRead> PressedCodes(const std::vector<std::string>& files) {
  std::vector<capture::CaptureRead> codes;
  for (const std::string& file : files) {
    capture::ReadOptions options;
    options.source = file;
    capture::ReadResult read = capture::ReadCaptureFile(file, options);
    if (!read.ok()) Usage("--pressed: " + read.error->What());
    for (capture::CaptureRead& c : read.captures)
      if (!c.label.empty()) codes.push_back(std::move(c));
  }
  return codes;
}

// Every state in one file: the table's text, or the fault.
int RunAllStates(const ExportArgs& args, const capture::CaptureFormat& format, const store::TdiskAir& record,
                 const capture::SignalExporter& exporter, std::string& text, std::size_t& signals) {
  capture::AllStatesRequest request;
  if (!args.press.empty()) request.press = KeyIndex("--press", args.press, exporter);
  if (!args.pressed.empty()) {
    request.pressed_codes = PressedCodes(args.pressed);
    request.pressed.emplace();  // every state gets its basis, even when no press has a label
  }
  capture::TableText table = capture::WriteAllStatesTable(exporter, record, format, std::move(request));
  if (table.error) {
    if (table.bad_request) Usage("record " + std::to_string(args.index) + ": " + *table.error);
    std::cerr << "klimavo-cli: record " << args.index << ": " << *table.error << "\n";
    return kExitFailed;
  }
  if (table.withheld > 0)
    std::cerr << "klimavo-cli: record " << args.index << ": " << table.withheld
              << " states left out: the record does not reproduce pressed codes of theirs\n";
  text = std::move(table.text);
  signals = table.codes;
  return kExitOk;
}

int RunExport(const ExportArgs& args, Context& ctx) {
  const capture::CaptureFormat& format = WritableFormat(args.format, args.all_states);
  if (args.all_states && (!args.keys.empty() || !args.states.empty()))
    Usage("--all-states takes every state of every key: leave out --keys and --states");
  if (!args.all_states && !args.press.empty()) Usage("--press goes with --all-states");
  if (!args.all_states && !args.pressed.empty()) Usage("--pressed goes with --all-states");
  if (!args.states.empty() && args.states.size() != capture::KeyStates{}.size())
    Usage("--states needs six values (power, temperature, mode, fan, swing, vane)");

  store::ProtocolLibrary library(base::DataDir(ctx.Home()) / store::kLibraryFileName);
  const store::LibraryLoadResult loaded = library.LoadChecked();
  if (loaded.fault == store::LibraryFault::kUnreadable)
    Usage("library " + library.File().string() + ": " + store::LibraryFaultWords(loaded).details);
  store::TdiskAir record;
  store::TBtnLines lines;
  if (!library.FetchRecord(args.index, record, lines))
    Usage("index " + std::to_string(args.index) + " is not in the library");

  const config::TimingAdjustments timing =
      config::Derive(config::ReadConfig(base::ConfigPath(ctx.Home()))).Timing;
  const capture::SignalExporter exporter(record, lines, timing);
  std::string text;
  std::size_t signals = 0;
  if (args.all_states) {
    if (const int failed = RunAllStates(args, format, record, exporter, text, signals); failed != kExitOk)
      return failed;
  } else {
    capture::KeyExportRequest request;
    if (!args.keys.empty()) {
      request.keys.emplace();
      for (const std::string& k : args.keys) request.keys->push_back(KeyIndex("--keys", k, exporter));
    }
    if (!args.states.empty()) {
      capture::KeyStates states{};
      for (std::size_t k = 0; k < states.size(); ++k) states[k] = args.states[k];
      request.states = states;
    }
    const capture::SignalExport result = exporter.ExportKeys(request);
    if (result.error) {
      if (result.bad_request) Usage("record " + std::to_string(args.index) + ": " + *result.error);
      std::cerr << "klimavo-cli: record " << args.index << ": " << *result.error << "\n";
      return kExitFailed;
    }
    if (const auto fault = format.write(result.captures, text)) {
      std::cerr << "klimavo-cli: record " << args.index << ": " << fault->message << "\n";
      return kExitFailed;
    }
    signals = result.captures.size();
  }
  if (args.out.empty() || args.out == "-") {
    std::cout << text;
  } else {
    base::WriteFileAtomically(args.out, text);
    std::cerr << "klimavo-cli: " << signals << " signals written to " << args.out << " (" << format.id
              << ")\n";
  }
  return kExitOk;
}

const CommandRegistration kExportSignals(450, [](CLI::App& app, Context& ctx) {
  auto args = std::make_shared<ExportArgs>();
  auto* cmd = app.add_subcommand(
      "export-signals", "Write the signals a remote programmed with a record sends, for other hardware");
  cmd->add_option("--record", args->index, "Library index of the record")->required();
  cmd->add_option(
      "--format", args->format,
      "Capture format to write (jsonl, flipper, pronto, broadlink, mode2, text, arduino, tasmota; "
      "climate-json with --all-states); default jsonl");
  cmd->add_option("--keys", args->keys,
                  "Keys to press, by index 0..5 or function (power,temp,mode,fan,swing,vane)")
      ->delimiter(',');
  cmd->add_option("--states", args->states,
                  "One state of keys 0..5 to press the keys in (default: each key "
                  "through its states from the power-on state)")
      ->delimiter(',');
  cmd->add_flag("--all-states", args->all_states,
                "Every combination of mode, fan, temperature and swing, and off once");
  cmd->add_option("--press", args->press, "With --all-states: the key pressed (default: temperature)");
  cmd->add_option("--pressed", args->pressed,
                  "With --all-states: capture files the record was learned from; each signal then "
                  "says whether it was pressed, combined or interpolated")
      ->expected(1, -1);
  cmd->add_option("--out", args->out, "File to write (default: standard output)");
  cmd->callback([args, &ctx] { ctx.exit_code = RunExport(*args, ctx); });
});

}  // namespace
}  // namespace klimavo::cli
