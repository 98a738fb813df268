// `klimavo-cli analyse compare`: lays the codes of a capture file side by side
// in a comparison grid and prints the runs of differing bits with their value
// in each row, and the rows' cell texts.
//
//   klimavo-cli [--home DIR] analyse compare [--max-run-width N] [--msb] [--json]
//               [--record N --key K [--extract]] FILE|-
//
// Every capture is decoded blind (as `decode` does), or with the timing and
// formats of library record N (as the function analysis wizard does), and
// becomes a grid row in file order. --extract prints the columns that auto
// extraction would write for key K. Captures that do not decode are skipped.
// Exit status: 0, 1 when a capture was skipped, 2 for unusable arguments or input.
#include <unistd.h>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "analysis/compare_grid.h"
#include "analysis/function_fields.h"
#include "analysis/record_capture.h"
#include "base/home.h"
#include "capture/capture_format.h"
#include "capture/decode_report.h"
#include "cli/analyse_command.h"
#include "config/config.h"
#include "ir/decode.h"
#include "ir/protocol.h"
#include "store/library.h"

namespace klimavo::cli {
namespace {

/// The grid's longest run when made, and the function wizard's.
constexpr int kBlindRunWidth = analysis::kDefaultMaxRunWidth;
constexpr int kWizardRunWidth = 6;
/// Run values are printed whole up to 16 bits; a column value is one byte.
constexpr int kMaxRunWidthOption = 16;
constexpr int kMaxExtractRunWidth = 8;
constexpr std::string_view kStdinName = "<stdin>";

struct CompareOptions {
  std::optional<int> max_run_width;
  bool msb = false;
  bool json = false;
  std::optional<int> record;
  std::optional<int> key;
  bool extract = false;
  std::string file;
};

/// The record a --record run reads with, and the key it extracts for.
struct RecordContext {
  store::TdiskAir record;
  int key = 0;
};

std::optional<RecordContext> LoadRecord(const CompareOptions& o, Context& ctx) {
  if (o.record.has_value() != o.key.has_value())
    throw CommandError{kExitUsage, "--record and --key go together"};
  if (o.extract && !o.record) throw CommandError{kExitUsage, "--extract needs --record and --key"};
  if (!o.record) return std::nullopt;
  store::ProtocolLibrary library(base::DataDir(ctx.Home()) / store::kLibraryFileName);
  if (!library.Load())
    throw CommandError{kExitUsage, "cannot read the protocol library " + library.File().string()};
  RecordContext rc;
  store::TBtnLines lines;
  if (!library.FetchRecord(*o.record, rc.record, lines))
    throw CommandError{kExitUsage, "--record " + std::to_string(*o.record) +
                                       ": no such record (the library holds " +
                                       std::to_string(library.Size()) + ")"};
  const int keys = static_cast<int>(rc.record.UsedKeys());
  if (*o.key < 0 || *o.key >= keys)
    throw CommandError{kExitUsage, "--key " + std::to_string(*o.key) + ": record " +
                                       std::to_string(*o.record) + " has keys 0 to " +
                                       std::to_string(keys - 1)};
  rc.key = *o.key;
  return rc;
}

int RunWidthOf(const CompareOptions& o, bool with_record) {
  const int width = o.max_run_width.value_or(with_record ? kWizardRunWidth : kBlindRunWidth);
  if (width < 0 || width > kMaxRunWidthOption)
    throw CommandError{kExitUsage, "--max-run-width must be 0 to " + std::to_string(kMaxRunWidthOption)};
  if (o.extract && width > kMaxExtractRunWidth)
    throw CommandError{kExitUsage, "--extract needs --max-run-width 0 to 8: a column value is one byte"};
  return width;
}

/// Reads the captures of FILE (or standard input) one by one into `sink`.
void ReadCaptures(const CompareOptions& o, const capture::CaptureSink& sink) {
  capture::ReadOptions options;
  options.source = o.file == "-" ? std::string(kStdinName) : o.file;
  const capture::StreamResult read =
      o.file == "-" ? capture::StreamCaptures(capture::DescriptorReader(STDIN_FILENO), options, sink)
                    : capture::StreamCaptureFile(o.file, options, sink);
  if (!read.ok()) throw CommandError{kExitUsage, read.error->What()};
}

// ----- Output -----

void AppendKey(std::string& out, std::string_view key) {
  if (out.size() > 1) out += ", ";
  out += '"';
  out += key;
  out += "\": ";
}

template <class T, class Append>
void AppendList(std::string& out, const std::vector<T>& items, Append append) {
  out += '[';
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) out += ", ";
    append(out, items[i]);
  }
  out += ']';
}

void AppendValue(std::string& out, std::int32_t value) {
  out += value < 0 ? std::string("null") : std::to_string(value);
}

std::string RowFormat(const store::TGrdDataLine& line) {
  return ir::PrintProtocol(ir::TStrProt_Stru{line.Elements, line.Repeat});
}

std::string ColumnsJson(const std::vector<store::TdiskBitColumn>& columns, int states) {
  std::string out;
  AppendList(out, columns, [states](std::string& o, const store::TdiskBitColumn& c) {
    o += "{\"frame\": " + std::to_string(c.Frame) + ", \"bit\": " + std::to_string(c.BitPos) +
         ", \"width\": " + std::to_string(c.Width) + ", \"kind\": " + std::to_string(c.Kind) +
         ", \"values\": ";
    const std::vector<std::uint8_t> values(c.Values.begin(), c.Values.begin() + states);
    AppendList(o, values, [](std::string& v, std::uint8_t x) { v += std::to_string(x); });
    o += '}';
  });
  return out;
}

std::string CompareJson(const analysis::CompareGridModel& grid, const analysis::TSameInfoResultArr& runs,
                        const std::vector<int>& skipped,
                        const std::optional<std::vector<store::TdiskBitColumn>>& columns, int states) {
  std::string out = "{";
  AppendKey(out, "rows");
  out += std::to_string(grid.LineCount());
  AppendKey(out, "format");
  out += capture::JsonString(grid.LineCount() > 0 ? RowFormat(grid.GetLines()[0]) : std::string());
  AppendKey(out, "formats");
  AppendList(out, grid.GetLines(),
             [](std::string& o, const store::TGrdDataLine& l) { o += capture::JsonString(RowFormat(l)); });
  AppendKey(out, "skipped");
  AppendList(out, skipped, [](std::string& o, int i) { o += std::to_string(i); });
  AppendKey(out, "runs");
  AppendList(out, runs, [](std::string& o, const analysis::TSameInfoResult& r) {
    o += "{\"frame\": " + std::to_string(r.Frame) + ", \"bit\": " + std::to_string(r.Bit) +
         ", \"width\": " + std::to_string(r.Width) + ", \"values\": ";
    AppendList(o, r.Values, AppendValue);
    o += '}';
  });
  AppendKey(out, "cells");
  AppendList(out, grid.CellTexts(), [](std::string& o, const std::vector<std::string>& row) {
    AppendList(o, row, [](std::string& t, const std::string& text) { t += capture::JsonString(text); });
  });
  if (columns) {
    AppendKey(out, "columns");
    out += ColumnsJson(*columns, states);
  }
  out += '}';
  return out;
}

void PrintText(const analysis::TSameInfoResultArr& runs,
               const std::optional<std::vector<store::TdiskBitColumn>>& columns, int states) {
  for (const analysis::TSameInfoResult& r : runs) {
    std::cout << r.Frame << ' ' << r.Bit << ' ' << r.Width;
    for (std::int32_t v : r.Values) std::cout << ' ' << (v < 0 ? std::string("-") : std::to_string(v));
    std::cout << '\n';
  }
  if (!columns) return;
  for (const store::TdiskBitColumn& c : *columns) {
    std::cout << "column " << int{c.Frame} << ' ' << c.BitPos << ' ' << int{c.Width} << ' ' << int{c.Kind};
    for (int s = 0; s < states; ++s) std::cout << ' ' << int{c.Values[static_cast<std::size_t>(s)]};
    std::cout << '\n';
  }
}

// ----- The run -----

void RunCompare(const CompareOptions& o, Context& ctx) {
  std::optional<RecordContext> rc = LoadRecord(o, ctx);
  const int run_width = RunWidthOf(o, rc.has_value());
  const std::filesystem::path& home = ctx.Home();
  const double tolerance = config::Derive(config::ReadConfig(base::ConfigPath(home))).DecodeTolerance;
  analysis::CompareGridModel grid;
  grid.SetMaxRunWidth(run_width);
  bool lsb_first = !o.msb;
  if (rc) {
    // As the wizard shows key K: the record's bit order, the other keys'
    // fields and the checksum targets of the key's format.
    lsb_first = !o.msb && rc->record.LsbFirst != 0;
    grid.SetKeyZones(analysis::KeyZonesOf(rc->record, rc->key), rc->key);
    const std::uint8_t slot = rc->record.Keys[static_cast<std::size_t>(rc->key)].Slot;
    if (slot < store::kFormatSlots) grid.SetChecksumBlock(rc->record.Slots[slot].Crc, true);
  }
  grid.SetLowPre(lsb_first);

  // Each capture becomes a row as it is read; the rows go into the grid at
  // once at the end, since adding them one by one rebuilds the grid each time
  // (the time then grows with the square of the capture count).
  store::TGrdLines lines;
  const auto add_line = [&lines](const ir::TSSByteArray& bits, const ir::TStrProt_Stru& structure) {
    if (bits.empty() || structure.Elements.empty()) return;
    store::TGrdDataLine line;
    line.Data = bits;
    line.Elements = structure.Elements;
    line.Repeat = static_cast<std::uint16_t>(structure.Repeat);
    line.Marker = 0;
    lines.push_back(std::move(line));
  };
  std::vector<int> skipped;
  int position = 0;
  ReadCaptures(o, [&](capture::CaptureRead&& read) {
    const ir::Capture input = capture::ToCapture(read);
    bool added = false;
    if (rc) {
      const analysis::RecordCapture c =
          analysis::ReadRecordCapture(input.Durations, rc->record.Params, rc->record.Slots, tolerance);
      if (c.decoded && !c.bits.empty()) {
        add_line(c.bits, c.structure);
        added = true;
      }
    } else {
      ir::Tcomp_aval result;
      if (ir::DecodeCapture(input.Durations, input.Carrier, false, lsb_first, tolerance, result) &&
          !result.Bits.empty()) {
        add_line(result.Bits, result.Protocol);
        added = true;
      }
    }
    if (!added) skipped.push_back(position);
    ++position;
  });

  grid.SetLines(lines);
  const analysis::TSameInfoResultArr runs = grid.GetDifferences(grid.LineCount());
  std::optional<std::vector<store::TdiskBitColumn>> columns;
  int states = 0;
  if (o.extract) {
    std::array<store::TdiskBitColumn, store::kColumnsPerKey> all{};
    const store::TdiskKey& key = rc->record.Keys[static_cast<std::size_t>(rc->key)];
    states = std::min<int>(key.StateCount, store::kMaxStates);
    const int taken = analysis::ExtractColumns(grid, states, all);
    columns.emplace(all.begin(), all.begin() + taken);
  }
  if (o.json)
    std::cout << CompareJson(grid, runs, skipped, columns, states) << '\n';
  else
    PrintText(runs, columns, states);
  std::cout.flush();
  for (int i : skipped) std::cerr << "klimavo-cli: capture " << i << " does not decode: skipped\n";
  ctx.exit_code = skipped.empty() ? kExitOk : kExitFailed;
}

}  // namespace

void AddAnalyseCompare(CLI::App& analyse, Context& ctx) {
  auto o = std::make_shared<CompareOptions>();
  auto* cmd = analyse.add_subcommand(
      "compare", "Lay the codes of a capture file side by side and print the runs of bits that differ");
  cmd->add_option("--max-run-width", o->max_run_width,
                  "Longest run in bits, 0 to 16 (default 16; 6 with --record)");
  cmd->add_flag("--msb", o->msb,
                "Read bit texts most significant bit first (default: LSB first, or the record's order)");
  cmd->add_flag("--json", o->json,
                "Print one JSON object: rows, formats, skipped captures, runs, cell texts");
  cmd->add_option("--record", o->record, "Decode with the timing and formats of this library record (index)");
  cmd->add_option("--key", o->key, "The key (index) whose codes the captures are, with --record");
  cmd->add_flag("--extract", o->extract, "Also print the columns auto extraction would write for the key");
  cmd->add_option("FILE", o->file, "Capture file, or - for standard input")->required();
  cmd->callback([o, &ctx] { RunCompare(*o, ctx); });
}

}  // namespace klimavo::cli
