// `klimavo-cli library`: lists, shows, adds, replaces, deletes, exports and
// imports the records of the workbench's protocol library.
//
//   klimavo-cli [--home DIR] [--lang N] library list [--keyword K] [--sort brand|code|memo|time] [--desc]
//   [--json] klimavo-cli ... library show INDEX|--code CODE [--json] klimavo-cli ... library add FILE.json
//   (prints the new library index) klimavo-cli ... library replace INDEX FILE.json klimavo-cli ... library
//   delete INDEX... klimavo-cli ... library export --out FILE.acpf INDEX... klimavo-cli ... library import
//   FILE.acpf         (prints the count and the first new code)
//
// Texts are UTF-8 on the command line and in JSON, GBK in the library. Errors
// name the record, the field and the value at fault; their exit status is 2.
//
// Every verb that changes the library holds the locks of the library and the
// picture store from before it reads them until the new files are in place, so
// two programs that change one home at once never lose a record. A library or
// picture store that does not load cleanly is damaged: it is never changed.
#include <algorithm>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "base/date_time.h"
#include "base/gbk.h"
#include "base/home.h"
#include "base/text.h"
#include "cli/commands.h"
#include "cli/library_for_change.h"
#include "cli/output_file.h"
#include "config/config.h"
#include "lang/language.h"
#include "store/exchange_file.h"
#include "store/fault_words.h"
#include "store/library.h"
#include "store/library_and_pictures.h"
#include "store/library_list.h"
#include "store/picture_store.h"
#include "store/record_json.h"
#include "store/record_summary.h"
#include "store/record_validation.h"

namespace klimavo::cli {
namespace {

namespace fs = std::filesystem;

struct LibraryOptions {
  std::string keyword;
  std::string sort = "brand";
  bool descending = false;
  bool json = false;
  int index = -1;
  std::string code;
  std::string file;
  std::string out;
  std::vector<int> indices;
  std::vector<std::string> files;
};

[[noreturn]] void Fail(const std::string& message) { throw CommandError{kExitUsage, message}; }

fs::path LibraryFile(const fs::path& home) { return base::DataDir(home) / store::kLibraryFileName; }
fs::path PictureFile(const fs::path& home) { return base::DataDir(home) / store::kPictureStoreFileName; }

// The library for reading: a damaged file is reported, and the records read
// whole are used.
store::ProtocolLibrary OpenForReading(const fs::path& home) {
  store::ProtocolLibrary library(LibraryFile(home));
  const store::LibraryLoadResult result = library.LoadChecked();
  if (result.fault == store::LibraryFault::kUnreadable)
    Fail("library " + library.File().string() + ": " + store::LibraryFaultWords(result).details);
  if (result.Damaged())
    std::cerr << "klimavo-cli: warning: library " << library.File().string()
              << " is damaged: " << store::LibraryFaultWords(result).details << "\n";
  return library;
}

// The library for a change, read while the caller holds the StoreLock: a file
// that exists but does not load cleanly is never overwritten, so the records
// it holds can still be rescued.
store::ProtocolLibrary OpenForChange(const fs::path& home) {
  store::ProtocolLibrary library(LibraryFile(home));
  LoadForChange(library);
  return library;
}

store::StoreLock LockStore(const fs::path& home) {
  return store::StoreLock(LibraryFile(home), PictureFile(home));
}

void CheckIndex(const store::ProtocolLibrary& library, int index) {
  if (index < 0 || index >= library.Size())
    Fail("library record " + std::to_string(index) + ": no such record (the library holds " +
         std::to_string(library.Size()) + ")");
}

std::string Quoted(const std::string& gbk) { return "\"" + base::GbkToUtf8(gbk) + "\""; }

// Reads a JSON record file; errors name the file, the field and the value.
store::EditableRecord ReadJsonRecord(const std::string& file) {
  std::error_code ec;
  const fs::file_type type = fs::status(file, ec).type();
  if (type == fs::file_type::not_found) Fail("record " + file + ": no such file");
  if (type != fs::file_type::regular) Fail("record " + file + ": not a regular file");
  const std::uintmax_t size = fs::file_size(file, ec);
  if (!ec && size > store::kMaxRecordJsonBytes)
    Fail("record " + file + ": the file has " + std::to_string(size) +
         " bytes; a JSON record may have at most " + std::to_string(store::kMaxRecordJsonBytes));
  std::optional<base::Bytes> bytes = base::ReadWholeFile(file);
  if (!bytes) Fail("record " + file + ": no such file");
  try {
    return store::RecordFromJsonText(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
  } catch (const store::RecordJsonError& e) {
    Fail("record " + file + ": " + e.what());
  }
}

// What Save checks, as a message naming the field and the value at fault.
void Validate(const std::string& file, const store::TdiskAir& r, const store::ProtocolLibrary& library,
              int index) {
  store::RecordValidation v = store::ValidateRecord(r, library, index);
  if (v.ok()) return;
  std::string where = "record " + file + ": field ";
  std::string key = "keys[" + std::to_string(v.key) + "]";
  switch (v.text) {
    case store::kTextCodeMissing:
      Fail(where + "code: value " + Quoted(r.CodeNo.str()) + " is empty");
    case store::kTextCodeInUse:
      Fail(where + "code: value " + Quoted(r.CodeNo.str()) + " is already used by library record " +
           std::to_string(library.IndexOfCode(r.CodeNo.str())));
    case store::kTextTooFewStates: {
      const store::TdiskKey& k = r.Keys[static_cast<std::size_t>(v.key)];
      std::string names;
      for (std::size_t s = 0; s < std::min<std::size_t>(k.StateCount, store::kMaxStates); ++s)
        names += (s ? ", " : "") + Quoted(k.StateNames[s].str());
      Fail(where + key + ".states: value [" + names + "] has " + std::to_string(k.StateCount) +
           " states; a key needs 2 to 16");
    }
    default:
      Fail(where + key + ".states[" + std::to_string(v.state) + "]: value " +
           Quoted(
               r.Keys[static_cast<std::size_t>(v.key)].StateNames[static_cast<std::size_t>(v.state)].str()) +
           " is empty");
  }
}

int Store(const std::string& file, store::EditableRecord& e, store::ProtocolLibrary& library, int index) {
  Validate(file, e.record, library, index);
  e.record.ChangeTime = base::NowAsDateTime();  // a stored record carries the time it was saved
  try {
    return library.StoreRecord(e.record, e.bit_lines, index);
  } catch (const store::RecordRejected& ex) {
    Fail("record " + file + ": " + ex.what());
  }
}

int SortColumn(const std::string& name) {
  const std::vector<std::string> names = {"brand", "code", "memo", "time"};
  return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
}

void RunList(const LibraryOptions& o, Context& ctx) {
  const fs::path& home = ctx.Home();
  store::ProtocolLibrary library = OpenForReading(home);
  store::LibraryListQuery q;
  std::optional<std::string> keyword = base::Utf8ToGbk(o.keyword);
  if (!keyword) Fail("--keyword: value \"" + o.keyword + "\" has a character without a GBK form");
  q.keyword = *keyword;
  q.language_no = ctx.LanguageNo();
  q.sort_column = SortColumn(o.sort);
  q.descending = o.descending;
  std::vector<store::LibraryListRow> rows = store::BuildLibraryList(library.Records(), q);
  if (o.json) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const auto& row : rows)
      out.push_back({{"index", row.index},
                     {"brand", base::GbkToUtf8(row.brand)},
                     {"code", base::GbkToUtf8(row.code)},
                     {"memo", base::GbkToUtf8(row.memo)},
                     {"change_time", row.change_time}});
    std::cout << out.dump(2) << "\n";
    return;
  }
  for (const auto& row : rows)
    std::cout << row.index << "\t" << base::GbkToUtf8(row.brand) << "\t" << base::GbkToUtf8(row.code) << "\t"
              << row.change_time << "\t" << base::GbkToUtf8(row.memo) << "\n";
}

void RunShow(const LibraryOptions& o, Context& ctx) {
  const fs::path& home = ctx.Home();
  store::ProtocolLibrary library = OpenForReading(home);
  int index = o.index;
  if (!o.code.empty()) {
    std::optional<std::string> code = base::Utf8ToGbk(o.code);
    index = code ? library.IndexOfCode(*code) : -1;
    if (index < 0) Fail("--code: value \"" + o.code + "\" names no record of the library");
  }
  CheckIndex(library, index);
  const store::LibraryRecord& entry = library.Records()[static_cast<std::size_t>(index)];
  if (o.json) {
    std::cout << store::LibraryRecordToJsonText(entry);
    return;
  }
  std::string text = base::GbkToUtf8(store::RecordSummaryText(entry.Record, ctx.Language()));
  std::erase(text, '\r');
  std::cout << text;
}

void RunAdd(const LibraryOptions& o, Context& ctx) {
  store::EditableRecord e = ReadJsonRecord(o.file);
  const store::StoreLock lock = LockStore(ctx.Home());
  store::ProtocolLibrary library = OpenForChange(ctx.Home());
  std::cout << Store(o.file, e, library, -1) << "\n";
}

void RunReplace(const LibraryOptions& o, Context& ctx) {
  store::EditableRecord e = ReadJsonRecord(o.file);
  const store::StoreLock lock = LockStore(ctx.Home());
  store::ProtocolLibrary library = OpenForChange(ctx.Home());
  CheckIndex(library, o.index);
  Store(o.file, e, library, o.index);
}

void RunDelete(const LibraryOptions& o, Context& ctx) {
  const fs::path& home = ctx.Home();
  const store::StoreLock lock = LockStore(home);
  store::ProtocolLibrary library = OpenForChange(home);
  for (int i : o.indices) CheckIndex(library, i);
  // The pictures and model names of a deleted record go with it, in one change of both files.
  store::DeleteRecordsWithPictures(library, o.indices, PictureFile(home));
}

void RunExport(const LibraryOptions& o, Context& ctx) {
  const fs::path& home = ctx.Home();
  RefuseHomeFileAsOutput(ctx, o.out);
  store::ProtocolLibrary library = OpenForReading(home);
  for (int i : o.indices) CheckIndex(library, i);
  const store::ExportResult result = store::ExportRecords(library, o.indices, base::DataDir(home), o.out);
  for (const std::string& code : result.pictures_left_out)
    std::cerr << "klimavo-cli: warning: the picture store " << PictureFile(home).string()
              << " is damaged: record " << base::GbkToUtf8(code)
              << " was exported without its picture and model names\n";
}

void RunImport(const LibraryOptions& o, Context& ctx) {
  const fs::path& home = ctx.Home();
  if (!fs::is_regular_file(o.file)) Fail("exchange file " + o.file + ": no such file");
  const store::StoreLock lock = LockStore(home);
  store::ProtocolLibrary library = OpenForChange(home);
  store::ImportResult result = store::ImportRecords(library, base::DataDir(home), o.file);
  if (!result.valid_file)
    Fail("exchange file " + o.file + ": not an exchange file (its length disagrees with its header)");
  if (result.count == 0 && result.record_part.Loaded())
    Fail("exchange file " + o.file + ": it holds no records");
  if (result.count == 0)
    Fail("exchange file " + o.file + ": its records do not load (" +
         store::LibraryFaultWords(result.record_part).details + "); nothing was imported");
  for (const store::DamagedPicture& d : result.damaged_pictures)
    std::cerr << "klimavo-cli: warning: record " << base::GbkToUtf8(d.new_code) << " ("
              << base::GbkToUtf8(d.old_code) << " in " << o.file
              << ") was imported without its picture and model names: its picture entry is damaged\n";
  std::cout << result.count << "\t" << base::GbkToUtf8(result.first_new_code) << "\n";
}

// Builds a library file from JSON records, reproducibly: the records in the
// order given, the file stamped with the latest change time among them.
void RunBuild(const LibraryOptions& o) {
  store::ProtocolLibrary library(o.out);
  double latest = 0;
  for (const std::string& file : o.files) {
    store::EditableRecord e = ReadJsonRecord(file);
    Validate(file, e.record, library, -1);
    latest = std::max(latest, e.record.ChangeTime);
    library.MutableRecords().push_back(
        {e.record, store::PackLines(e.bit_lines, store::IsLsbFirst(e.record))});
  }
  base::WriteFileAtomically(o.out, store::LibraryFileBytes(library.Records(), latest));
}

const CommandRegistration kLibrary(300, [](CLI::App& app, Context& ctx) {
  auto o = std::make_shared<LibraryOptions>();
  auto* lib =
      app.add_subcommand("library", "List, show, add, replace, delete, export and import library records");
  lib->require_subcommand(1);

  auto* list = lib->add_subcommand("list", "One row per record: index, brand, code, change time, memo");
  list->add_option("--keyword", o->keyword,
                   "Only records whose brand, code or memo holds it (any letter case)");
  list->add_option("--sort", o->sort, "Sort by brand (default), code, memo or time")
      ->check(CLI::IsMember({"brand", "code", "memo", "time"}));
  list->add_flag("--desc", o->descending, "Reverse the order");
  list->add_flag("--json", o->json, "Print the rows as a JSON list");
  list->callback([o, &ctx] { RunList(*o, ctx); });

  auto* show = lib->add_subcommand("show", "Print the summary of a record, or the record as JSON");
  show->add_option("INDEX", o->index, "Library index");
  show->add_option("--code", o->code, "Code number instead of an index");
  show->add_flag("--json", o->json, "Print the record in its JSON form");
  show->callback([o, &ctx, show] {
    if (show->count("INDEX") == 0 && o->code.empty()) Fail("library show: give an INDEX or --code CODE");
    RunShow(*o, ctx);
  });

  auto* add = lib->add_subcommand("add", "Add a record from its JSON form; prints its library index");
  add->add_option("FILE", o->file, "JSON record")->required();
  add->callback([o, &ctx] { RunAdd(*o, ctx); });

  auto* replace = lib->add_subcommand("replace", "Replace the record at INDEX by a JSON record");
  replace->add_option("INDEX", o->index, "Library index")->required();
  replace->add_option("FILE", o->file, "JSON record")->required();
  replace->callback([o, &ctx] { RunReplace(*o, ctx); });

  auto* del = lib->add_subcommand("delete", "Delete records with their pictures");
  del->add_option("INDEX", o->indices, "Library indices")->required();
  del->callback([o, &ctx] { RunDelete(*o, ctx); });

  auto* exp = lib->add_subcommand("export", "Write records to an exchange file");
  exp->add_option("--out", o->out, "Exchange file to write (.acpf)")->required();
  exp->add_option("INDEX", o->indices, "Library indices")->required();
  exp->callback([o, &ctx] { RunExport(*o, ctx); });

  auto* imp = lib->add_subcommand(
      "import", "Append the records of an exchange file; prints the count and the first new code");
  imp->add_option("FILE", o->file, "Exchange file (.acpf)")->required();
  imp->callback([o, &ctx] { RunImport(*o, ctx); });

  auto* build = lib->add_subcommand("build", "Build a library file from JSON records (used by the build)");
  build->group("");
  build->add_option("--out", o->out, "Library file to write")->required();
  build->add_option("JSON", o->files, "JSON records in library order")->required();
  build->callback([o] { RunBuild(*o); });
});

}  // namespace
}  // namespace klimavo::cli
