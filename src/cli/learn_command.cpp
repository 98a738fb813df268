// `klimavo-cli learn`: learns a whole remote from labelled captures and prints
// the report (docs/learn.md).
//
//   klimavo-cli [--home DIR] learn FILE… [--name BRAND --code NNNN] [--add | --out record.json] [--json]
//
// Every capture of the files (any format `decode` reads; labels from JSON
// Lines "label" objects or "# label" comment lines) goes to the learner. With
// --add the record is stored in the library, under the library's lock from
// before it is read until the new file is in place; with --out its JSON form
// (docs/record-json.md) is written to a file. Exit 0 when every labelled press
// comes out of the emulator bit-exact, 3 when the record was made but some do
// not, 1 when no record could be made, 2 for unusable arguments or input.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/learn_report.h"
#include "analysis/remote_learner.h"
#include "base/atomic_file.h"
#include "base/file_lock.h"
#include "base/gbk.h"
#include "base/home.h"
#include "capture/capture_format.h"
#include "cli/commands.h"
#include "cli/library_for_change.h"
#include "config/config.h"
#include "store/library.h"
#include "store/record_json.h"

namespace klimavo::cli {
namespace {

namespace fs = std::filesystem;

constexpr int kExitNotReproduced = 3;
constexpr std::size_t kMaxBrandBytes = 32;
constexpr std::size_t kMaxCodeBytes = 6;

struct LearnOptions {
  std::vector<std::string> files;
  std::optional<std::string> name;
  std::optional<std::string> code;
  bool add = false;
  std::string out;
  bool json = false;
};

[[noreturn]] void Refuse(const std::string& message) { throw CommandError{kExitUsage, message}; }

std::string Gbk(const char* option, const std::string& utf8, std::size_t max_bytes) {
  std::optional<std::string> gbk = base::Utf8ToGbk(utf8);
  if (!gbk) Refuse(std::string(option) + ": value \"" + utf8 + "\" has a character without a GBK form");
  if (gbk->size() > max_bytes)
    Refuse(std::string(option) + ": value \"" + utf8 + "\" is longer than " + std::to_string(max_bytes) +
           " bytes");
  return *gbk;
}

void ReadInto(const std::string& file, analysis::RemoteLearner& learner) {
  capture::ReadOptions options;
  options.source = file;
  const capture::ReadResult read = capture::ReadCaptureFile(file, options);
  if (!read.ok()) Refuse(read.error->What());
  for (const capture::CaptureRead& c : read.captures)
    learner.Add({file + ":" + std::to_string(c.line), c.label, capture::ToCapture(c)});
}

int AddToLibrary(const fs::path& home, store::EditableRecord record, const LearnOptions& o) {
  store::ProtocolLibrary library(base::DataDir(home) / store::kLibraryFileName);
  // Another program changing the library waits until this record is in the file.
  const base::FileLock lock(library.File());
  LoadForChange(library);
  if (o.code) {
    if (library.CodeNumberInUse(record.record.CodeNo.str(), -1))
      Refuse("--code: value \"" + *o.code + "\" is already used by library record " +
             std::to_string(library.IndexOfCode(record.record.CodeNo.str())));
  } else {
    const std::string next = library.NextCodeNumber();
    if (next.size() > kMaxCodeBytes)
      Refuse("the next free code number \"" + next + "\" is too long; give one with --code");
    record.record.CodeNo.assign(next);
  }
  try {
    return library.StoreRecord(record.record, record.bit_lines, -1);
  } catch (const store::RecordRejected& e) {
    Refuse(std::string("the learned record: ") + e.what());
  }
}

void RunLearn(const LearnOptions& o, Context& ctx) {
  if (o.add && !o.out.empty()) Refuse("--add and --out exclude each other");
  const fs::path& home = ctx.Home();
  const std::string brand = Gbk("--name", o.name.value_or("Learned"), kMaxBrandBytes);
  const std::string code = o.code ? Gbk("--code", *o.code, kMaxCodeBytes) : std::string("0001");
  if (o.code && code.empty()) Refuse("--code: the code number is empty");
  const double tolerance = config::Derive(config::ReadConfig(base::ConfigPath(home))).DecodeTolerance;
  analysis::RemoteLearner learner(tolerance);
  for (const std::string& file : o.files) ReadInto(file, learner);

  const analysis::LearnResult result = learner.Learn(brand, code);
  std::optional<int> index;
  if (result.made && o.add) index = AddToLibrary(home, result.record, o);
  if (result.made && !o.out.empty())
    base::WriteFileAtomically(
        o.out, store::RecordToJson(result.record.record, result.record.bit_lines).dump(2) + "\n");

  if (o.json)
    std::cout << analysis::LearnReportJson(result, index).dump(2) << "\n";
  else {
    std::cout << analysis::LearnReportText(result);
    if (index) std::cout << "stored as library record " << *index << "\n";
  }
  ctx.exit_code = !result.made ? kExitFailed : result.AllReproduced() ? kExitOk : kExitNotReproduced;
}

const CommandRegistration kLearn(460, [](CLI::App& app, Context& ctx) {
  auto o = std::make_shared<LearnOptions>();
  auto* cmd = app.add_subcommand("learn", "Learn a whole remote's record from labelled captures");
  cmd->add_option("FILE", o->files, "Capture files with labelled captures")->required();
  cmd->add_option("--name", o->name, "Brand of the record (default \"Learned\")");
  cmd->add_option("--code", o->code, "Code number (default: the next free one with --add)");
  cmd->add_flag("--add", o->add, "Store the record in the library");
  cmd->add_option("--out", o->out, "Write the record's JSON to this file");
  cmd->add_flag("--json", o->json, "Print the report as one JSON object");
  cmd->callback([o, &ctx] { RunLearn(*o, ctx); });
});

}  // namespace
}  // namespace klimavo::cli
