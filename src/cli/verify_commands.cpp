// The verification verbs of klimavo-cli, the remote check and filter by
// learning without a display:
//
//   klimavo-cli [--home DIR] [--lang N] match [--json] [--explain] FILE|-
//   klimavo-cli [--home DIR] [--lang N] check-remote --record N [--json] FILE|-
//
// match decodes each capture of FILE in both bit orders, as the format chooser
// does in filter mode, and compares it with every library record; it lists
// the records that fit (with --explain also why the others do not). Exit
// status 0 when every capture decoded, else 1.
//
// check-remote reads each capture with the timing and formats of library
// record N, as the remote check window does: the format it matches, the key
// or the states it carries, its checksums and the bits that contradict the
// record. Exit status 0 when every capture matched a format with no flagged
// bit, else 1.
//
// Captures are numbered from 0. Unusable arguments or input: exit status 2.
#include <unistd.h>

#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "analysis/protocol_comparison.h"
#include "analysis/remote_check.h"
#include "base/gbk.h"
#include "base/home.h"
#include "base/text.h"
#include "capture/capture_format.h"
#include "capture/decode_report.h"
#include "cli/commands.h"
#include "config/config.h"
#include "ir/decode.h"
#include "lang/language.h"
#include "store/library.h"

namespace klimavo::cli {
namespace {

constexpr std::string_view kStdinName = "<stdin>";

std::string Utf8(const std::string& gbk) { return base::GbkToUtf8(gbk); }

// Reads the captures of a file (or "-", standard input) one by one and hands
// each to `each` with its 0-based position, so memory does not grow with the
// file. A fault ends the run with exit 2 after the captures before it.
void ForEachCapture(const std::string& file,
                    const std::function<void(std::size_t n, const capture::CaptureRead& capture)>& each) {
  capture::ReadOptions options;
  options.source = file == "-" ? std::string(kStdinName) : file;
  std::size_t n = 0;
  const auto sink = [&](capture::CaptureRead&& read) { each(n++, read); };
  const capture::StreamResult read =
      file == "-" ? capture::StreamCaptures(capture::DescriptorReader(STDIN_FILENO), options, sink)
                  : capture::StreamCaptureFile(file, options, sink);
  std::cout.flush();
  if (!read.ok()) throw CommandError{kExitUsage, read.error->What()};
}

store::ProtocolLibrary LoadLibrary(Context& ctx) {
  store::ProtocolLibrary library(base::DataDir(ctx.Home()) / store::kLibraryFileName);
  if (!library.Load())
    throw CommandError{kExitUsage, "cannot read the protocol library " + library.File().string()};
  return library;
}

config::DerivedSettings Settings(Context& ctx) {
  return config::Derive(config::ReadConfig(base::ConfigPath(ctx.Home())));
}

std::string CaptureTitle(std::size_t n, const capture::CaptureRead& c) {
  std::string title = "capture " + std::to_string(n);
  if (c.name) title += " (" + *c.name + ")";
  return title;
}

std::string CodeOf(const store::LibraryRecord& entry) { return Utf8(base::Trim(entry.Record.CodeNo.str())); }

// --- match ---

struct MatchOptions {
  bool json = false;
  bool explain = false;
  std::string file;
};

std::string MatchJson(std::size_t n, bool decoded, const std::vector<int>& hits,
                      const analysis::TTheAcComp& comparison, const store::TdiskAirList& records,
                      bool explain) {
  std::string out =
      "{\"capture\": " + std::to_string(n) + ", \"ok\": " + (decoded ? "true" : "false") + ", \"records\": [";
  for (std::size_t i = 0; i < hits.size(); ++i) {
    if (i) out += ", ";
    out += "{\"index\": " + std::to_string(hits[i]) +
           ", \"code\": " + capture::JsonString(CodeOf(records[static_cast<std::size_t>(hits[i])])) + "}";
  }
  out += "]";
  if (explain) {
    out += ", \"rejected\": [";
    const auto& rejected = decoded ? comparison.Rejections() : std::vector<analysis::ComparisonRejection>{};
    for (std::size_t i = 0; i < rejected.size(); ++i) {
      if (i) out += ", ";
      out += "{\"index\": " + std::to_string(rejected[i].index) + ", \"step\": \"" +
             std::string(analysis::StepName(rejected[i].step)) +
             "\", \"code\": " + (rejected[i].code ? std::to_string(*rejected[i].code) : "null") + "}";
    }
    out += "]";
  }
  return out + "}";
}

void PrintMatchText(const std::string& title, bool decoded, const std::vector<int>& hits,
                    const analysis::TTheAcComp& comparison, const store::TdiskAirList& records,
                    bool explain) {
  if (!decoded) {
    std::cout << title << ": no decoding\n";
    return;
  }
  std::cout << title << ": " << hits.size() << (hits.size() == 1 ? " record" : " records") << "\n";
  for (int i : hits) {
    const store::TdiskAir& r = records[static_cast<std::size_t>(i)].Record;
    std::cout << "  " << i << "  " << CodeOf(records[static_cast<std::size_t>(i)]) << "  "
              << Utf8(base::Trim(r.Brand.str())) << "\n";
  }
  if (!explain) return;
  for (const auto& r : comparison.Rejections()) {
    std::cout << "  rejected " << r.index << "  " << CodeOf(records[static_cast<std::size_t>(r.index)])
              << "  " << analysis::StepName(r.step);
    if (r.code) std::cout << " " << *r.code;
    std::cout << "\n";
  }
}

void RunMatch(const MatchOptions& o, Context& ctx) {
  const store::ProtocolLibrary library = LoadLibrary(ctx);
  const config::DerivedSettings settings = Settings(ctx);
  analysis::TTheAcComp comparison(library.Records(), {settings.DecodeTolerance, settings.SkipBaseData});
  bool all_decoded = true;
  ForEachCapture(o.file, [&](std::size_t n, const capture::CaptureRead& read) {
    const ir::Capture input = capture::ToCapture(read);
    ir::Tcomp_aval decoded;
    const bool ok =
        ir::DecodeCapture(input.Durations, input.Carrier, true, true, settings.DecodeTolerance, decoded);
    all_decoded = all_decoded && ok;
    const std::vector<int> hits = ok ? comparison.CompareWithLibrary(decoded) : std::vector<int>{};
    if (o.json) {
      std::cout << MatchJson(n, ok, hits, comparison, library.Records(), o.explain) << "\n";
    } else {
      PrintMatchText(CaptureTitle(n, read), ok, hits, comparison, library.Records(), o.explain);
    }
    std::cout.flush();
  });
  ctx.exit_code = all_decoded ? kExitOk : kExitFailed;
}

const CommandRegistration kMatch(150, [](CLI::App& app, Context& ctx) {
  auto options = std::make_shared<MatchOptions>();
  auto* cmd =
      app.add_subcommand("match", "Filter by learning: the library records that fit each capture of a file");
  cmd->add_flag("--json", options->json, "One JSON object per capture, one per line");
  cmd->add_flag("--explain", options->explain,
                "Also list the records that do not fit, with the step that failed");
  cmd->add_option("FILE", options->file, "Capture file, or - for standard input")->required();
  cmd->callback([options, &ctx] { RunMatch(*options, ctx); });
});

// --- check-remote ---

struct CheckOptions {
  int record = -1;
  bool json = false;
  std::string file;
};

std::string_view ErrorName(analysis::CheckOutcome outcome) {
  switch (outcome) {
    case analysis::CheckOutcome::kUnread:
    case analysis::CheckOutcome::kNoFormat:
      return "no match";
    case analysis::CheckOutcome::kRepeatError:
      return "repeat checking";
    case analysis::CheckOutcome::kChecked:
      break;
  }
  return {};
}

std::string CheckJson(std::size_t n, const analysis::RemoteCheck& check,
                      const analysis::RemoteCheckResult& r) {
  const bool checked = r.outcome == analysis::CheckOutcome::kChecked;
  std::string out =
      "{\"capture\": " + std::to_string(n) + ", \"ok\": " + (r.Ok() ? "true" : "false") + ", \"error\": ";
  out += checked ? "null" : "\"" + std::string(ErrorName(r.outcome)) + "\"";
  out += ", \"format\": ";
  out +=
      checked ? capture::JsonString(Utf8(check.Formats()[static_cast<std::size_t>(r.format)].Text)) : "null";
  out += ", \"key\": ";
  out += r.key ? "{\"index\": " + std::to_string(r.key->key) +
                     ", \"minus\": " + (r.key->minus ? "true" : "false") + "}"
               : "null";
  out += ", \"states\": [";
  for (std::size_t k = 0; k < r.states.size(); ++k)
    out += (k ? ", " : "") + (r.states[k] >= 0 ? std::to_string(r.states[k]) : std::string("null"));
  out += "], \"checksums\": [";
  for (std::size_t i = 0; i < r.checksums.size(); ++i)
    out += (i ? ", " : "") + std::string(r.checksums[i] ? "true" : "false");
  out += "], \"error_bits\": [";
  const std::vector<int> bits = r.ErrorBits();
  for (std::size_t i = 0; i < bits.size(); ++i) out += (i ? ", " : "") + std::to_string(bits[i]);
  return out + "]}";
}

// Runs of flagged bits as "a-b" (or "a"), joined by ", ".
std::string BitRanges(const std::vector<int>& bits) {
  std::string out;
  for (std::size_t i = 0; i < bits.size();) {
    std::size_t j = i;
    while (j + 1 < bits.size() && bits[j + 1] == bits[j] + 1) ++j;
    if (!out.empty()) out += ", ";
    out += std::to_string(bits[i]) + (j > i ? "-" + std::to_string(bits[j]) : "");
    i = j + 1;
  }
  return out;
}

void PrintCheckText(const std::string& title, const analysis::RemoteCheck& check,
                    const analysis::RemoteCheckResult& r, const lang::Language& language) {
  const analysis::RemoteCheckTexts texts = analysis::DescribeResult(check, r, language);
  std::cout << title << ": "
            << (r.Ok()                                          ? "ok"
                : r.outcome == analysis::CheckOutcome::kChecked ? "flagged"
                                                                : ErrorName(r.outcome))
            << "\n";
  if (!texts.information.empty()) std::cout << "  " << Utf8(texts.information) << "\n";
  if (!texts.key.empty()) std::cout << "  key: " << Utf8(texts.key) << "\n";
  const store::TdiskAir& record = check.Record();
  for (std::size_t k = 0; k < r.states.size(); ++k) {
    if (texts.values[k].empty()) continue;
    std::cout << "  " << Utf8(lang::TranslateKeyName(record.Keys[k].Name.str(), language.LanguageNo()))
              << ": " << Utf8(texts.values[k]) << "\n";
  }
  if (!r.checksums.empty()) {
    std::cout << "  checksums:";
    for (bool ok : r.checksums) std::cout << (ok ? " ok" : " wrong");
    std::cout << "\n";
  }
  if (const std::vector<int> bits = r.ErrorBits(); !bits.empty())
    std::cout << "  contradicting bits: " << BitRanges(bits) << "\n";
}

void RunCheck(const CheckOptions& o, Context& ctx) {
  const store::ProtocolLibrary library = LoadLibrary(ctx);
  if (o.record < 0 || o.record >= library.Size())
    throw CommandError{kExitUsage, "record " + std::to_string(o.record) + " is not in the library (" +
                                       std::to_string(library.Size()) + " records)"};
  const config::DerivedSettings settings = Settings(ctx);
  const analysis::RemoteCheck check(library.Records()[static_cast<std::size_t>(o.record)].Record,
                                    settings.DecodeTolerance);
  const lang::Language* language = nullptr;
  if (!o.json) language = &ctx.Language();
  bool all_ok = true;
  ForEachCapture(o.file, [&](std::size_t n, const capture::CaptureRead& read) {
    const ir::Capture input = capture::ToCapture(read);
    const analysis::RemoteCheckResult result = check.Check(input.Durations, input.Carrier);
    all_ok = all_ok && result.Ok();
    if (o.json)
      std::cout << CheckJson(n, check, result) << "\n";
    else
      PrintCheckText(CaptureTitle(n, read), check, result, *language);
    std::cout.flush();
  });
  ctx.exit_code = all_ok ? kExitOk : kExitFailed;
}

const CommandRegistration kCheckRemote(160, [](CLI::App& app, Context& ctx) {
  auto options = std::make_shared<CheckOptions>();
  auto* cmd = app.add_subcommand("check-remote",
                                 "The remote check: read each capture of a file with a record's formats");
  cmd->add_option("--record", options->record, "Library index of the record")->required();
  cmd->add_flag("--json", options->json, "One JSON object per capture, one per line");
  cmd->add_option("FILE", options->file, "Capture file, or - for standard input")->required();
  cmd->callback([options, &ctx] { RunCheck(*options, ctx); });
});

}  // namespace
}  // namespace klimavo::cli
