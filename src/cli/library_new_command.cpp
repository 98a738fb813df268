// `klimavo-cli library new`: makes a protocol record from a capture, as the New
// command of the workbench does when the format chooser accepts that capture,
// and stores it in the library.
//
//   klimavo-cli [--home DIR] library new --from-capture FILE [--capture N] [--brand TEXT] [--code TEXT]
//                                        [--msb] [--json] [--change-time TIME]
//
// The record starts from the template (data/templet.apf; without one library
// record 0), keeps its keys and states, and takes the timing, the frame text
// and the code bytes of the blind decode of capture N of FILE (any format
// `decode` reads). Brand "New File" and the next free code number unless given.
// Prints the new library index, or with --json the record as `library show
// --json` prints it. Every refusal exits with status 2 and changes nothing. The
// library's lock is held from before it is read until the new file is in place.
#include <iostream>
#include <memory>
#include <string>

#include "base/date_time.h"
#include "base/file_lock.h"
#include "base/gbk.h"
#include "base/home.h"
#include "capture/capture_format.h"
#include "cli/commands.h"
#include "cli/library_for_change.h"
#include "config/config.h"
#include "store/library.h"
#include "store/record_json.h"
#include "workflow/new_record.h"

namespace klimavo::cli {
namespace {

namespace fs = std::filesystem;

struct NewOptions {
  std::string file;
  int capture = 0;
  std::optional<std::string> brand;
  std::optional<std::string> code;
  bool msb = false;
  bool json = false;
  std::optional<std::string> change_time;
};

[[noreturn]] void Refuse(const std::string& message) { throw CommandError{kExitUsage, message}; }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// A text given on the command line as GBK, or a refusal naming the option.
std::optional<std::string> GbkOption(const char* option, const std::optional<std::string>& utf8) {
  if (!utf8) return std::nullopt;
  std::optional<std::string> gbk = base::Utf8ToGbk(*utf8);
  if (!gbk) Refuse(std::string(option) + ": value " + Quoted(*utf8) + " has a character without a GBK form");
  return gbk;
}

ir::Capture ReadCapture(const NewOptions& o) {
  capture::ReadOptions options;
  options.source = o.file;
  const capture::ReadResult read = capture::ReadCaptureFile(o.file, options);
  if (!read.ok()) Refuse(read.error->What());
  const int count = static_cast<int>(read.captures.size());
  if (o.capture < 0 || o.capture >= count)
    Refuse("--capture: value " + std::to_string(o.capture) + " is out of range; " + o.file + " holds " +
           std::to_string(count) +
           (count == 1 ? " capture (0)" : " captures (0.." + std::to_string(count - 1) + ")"));
  return capture::ToCapture(read.captures[static_cast<std::size_t>(o.capture)]);
}

std::string RefusalText(const workflow::NewRecordResult& r, const NewOptions& o,
                        const store::ProtocolLibrary& library) {
  const std::string capture = o.file + ": capture " + std::to_string(o.capture);
  std::string key = "template key " + std::to_string(r.key);
  int states = 0;
  if (r.key >= 0) {
    const store::TdiskKey& k = r.record.Keys[static_cast<std::size_t>(r.key)];
    key += " (" + Quoted(base::GbkToUtf8(k.Name.str())) + ")";
    states = k.StateCount;
  }
  switch (r.refusal) {
    case workflow::NewRecordRefusal::NoDecoding:
      return capture + " does not decode";
    case workflow::NewRecordRefusal::TooFewLogicCodes:
      return capture + " decodes with fewer than two logic codes; a format needs at least two";
    case workflow::NewRecordRefusal::CodeEmpty:
      return "--code: the code number is empty";
    case workflow::NewRecordRefusal::CodeTooLong:
      return "--code: value " + Quoted(base::GbkToUtf8(r.code)) + " is longer than 6 bytes";
    case workflow::NewRecordRefusal::CodeInUse:
      return "--code: value " + Quoted(base::GbkToUtf8(r.code)) + " is already used by library record " +
             std::to_string(library.IndexOfCode(r.code));
    case workflow::NewRecordRefusal::NextCodeTooLong:
      return "the next free code number " + Quoted(r.code) + " is longer than 6 bytes; give one with --code";
    case workflow::NewRecordRefusal::BrandTooLong:
      return "--brand: the brand is longer than 32 GBK bytes";
    case workflow::NewRecordRefusal::KeyNameEmpty:
      return "template key " + std::to_string(r.key) + " has no name";
    case workflow::NewRecordRefusal::TooFewStates:
      return key + " has " + std::to_string(states) + (states == 1 ? " state" : " states") +
             "; a key needs 2 to 16";
    case workflow::NewRecordRefusal::StateNameEmpty:
      return key + ": state " + std::to_string(r.state) + " has no name";
    case workflow::NewRecordRefusal::None:
      break;
  }
  return {};
}

void RunNew(const NewOptions& o, Context& ctx) {
  const fs::path& home = ctx.Home();
  workflow::NewRecordRequest request;
  request.brand = GbkOption("--brand", o.brand);
  request.code = GbkOption("--code", o.code);
  request.lsb_first = !o.msb;
  request.capture = ReadCapture(o);
  request.decode_tolerance = config::Derive(config::ReadConfig(base::ConfigPath(home))).DecodeTolerance;
  request.now = base::NowAsDateTime();
  if (o.change_time && !store::ChangeTimeFromIso(*o.change_time, request.now))
    Refuse("--change-time: value " + Quoted(*o.change_time) + " is not a time YYYY-MM-DDTHH:MM[:SS[.fff]]");

  store::ProtocolLibrary library(base::DataDir(home) / store::kLibraryFileName);
  // Another program changing the library waits until this record is in the file.
  const base::FileLock lock(library.File());
  LoadForChange(library);
  const workflow::NewRecordResult made =
      workflow::NewRecordFromCapture(library, base::DataDir(home), request);
  if (!made.ok()) Refuse(RefusalText(made, o, library));
  int index = -1;
  try {
    index = library.StoreRecord(made.record, {}, -1);
  } catch (const store::RecordRejected& e) {
    Refuse(std::string("the new record: ") + e.what());
  }
  if (o.json) {
    std::cout << store::LibraryRecordToJsonText(library.Records()[static_cast<std::size_t>(index)]);
  } else {
    std::cout << index << "\n";
  }
}

const CommandRegistration kLibraryNew(310, [](CLI::App& app, Context& ctx) {
  CLI::App* library = app.get_subcommand("library");
  auto o = std::make_shared<NewOptions>();
  auto* cmd =
      library->add_subcommand("new", "Make a record from a capture as New does, store it, print its index");
  cmd->add_option("--from-capture", o->file, "Capture file (any format decode reads)")->required();
  cmd->add_option("--capture", o->capture, "Which capture of the file, from 0 (default 0)");
  cmd->add_option("--brand", o->brand, "Brand (default \"New File\")");
  cmd->add_option("--code", o->code, "Code number (default: the next free one)");
  cmd->add_flag("--msb", o->msb, "Code bytes MSB-first (default LSB-first)");
  cmd->add_flag("--json", o->json, "Print the new record as library show --json does");
  cmd->add_option(
      "--change-time", o->change_time,
      "Change time to store, YYYY-MM-DDTHH:MM[:SS] local time (default: now), for reproducible output");
  cmd->callback([o, &ctx] { RunNew(*o, ctx); });
});

}  // namespace
}  // namespace klimavo::cli
