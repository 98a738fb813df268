// `klimavo-cli decode`: decodes the captures of a file without prior knowledge
// of their protocol and prints, per capture, the format chooser's summary or
// one JSON line.
//
//   klimavo-cli [--home DIR] decode [--both] [--msb] [--tolerance PERCENT]
//               [--units us|0.1us] [--carrier HZ] [--format ID] [--assist] [--json] FILE|-
//
// Captures are printed as they are read. With --assist the whole file is read
// first: each capture gets the assisted decode, and the captures that read
// like most of the file's bar a split marker or a pair class are read again
// against the structure and timing those share. Exit status: 0 when every capture
// decoded, 1 when one did not, 2 for unusable arguments or unreadable input
// (the captures before a fault in the file are printed already).
#include <unistd.h>

#include <cmath>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "base/gbk.h"
#include "base/home.h"
#include "capture/capture_format.h"
#include "capture/decode_report.h"
#include "cli/commands.h"
#include "config/config.h"
#include "ir/assisted_decode.h"
#include "ir/captures_alike.h"
#include "ir/decode.h"
#include "lang/language.h"

namespace klimavo::cli {
namespace {

/// Accepted range of --tolerance, in percent.
constexpr double kMaxTolerancePercent = 1000.0;
constexpr std::string_view kStdinName = "<stdin>";

struct DecodeOptions {
  bool both = false;
  bool msb = false;
  double tolerance_percent = -1;  // < 0: the home's ErrorOfDeccode
  std::string units = "us";
  long long carrier = -1;  // < 0: 38000
  bool json = false;
  bool assist = false;
  std::string format;  // empty: detected from the file
  std::string file;
};

capture::ReadOptions ReadOptionsOf(const DecodeOptions& o) {
  capture::ReadOptions read;
  read.source = o.file == "-" ? std::string(kStdinName) : o.file;
  if (o.carrier >= 0) read.default_carrier = static_cast<std::int32_t>(o.carrier);
  read.unit =
      o.units == "0.1us" ? capture::DurationUnit::kTenthMicroseconds : capture::DurationUnit::kMicroseconds;
  if (!o.format.empty()) read.format = capture::FindCaptureFormat(o.format);
  return read;
}

void CheckArguments(const DecodeOptions& o) {
  if (o.units != "us" && o.units != "0.1us")
    throw CommandError{kExitUsage, "--units must be 'us' or '0.1us', not '" + o.units + "'"};
  if (!o.format.empty() && !capture::FindCaptureFormat(o.format))
    throw CommandError{kExitUsage,
                       "--format must be one of the ids of capture-formats, not '" + o.format + "'"};
  if (o.carrier > capture::kMaxCarrierHz)
    throw CommandError{kExitUsage,
                       "--carrier must be 0 to " + std::to_string(capture::kMaxCarrierHz) + " Hz"};
  // NaN passes every comparison, so it is refused by name.
  if (std::isnan(o.tolerance_percent) || o.tolerance_percent > kMaxTolerancePercent)
    throw CommandError{kExitUsage, "--tolerance must be 0 to 1000 percent"};
}

void RunDecode(const DecodeOptions& o, Context& ctx) {
  CheckArguments(o);
  const std::filesystem::path& home = ctx.Home();
  const double tolerance = o.tolerance_percent >= 0
                               ? o.tolerance_percent / 100.0
                               : config::Derive(config::ReadConfig(base::ConfigPath(home))).DecodeTolerance;
  const bool lsb_first = !o.msb;
  std::optional<capture::SummaryLabels> labels;  // read with the first capture, after the file opened
  bool all_decoded = true;
  bool first = true;
  auto print_report = [&](capture::DecodeReport& report) {
    all_decoded = all_decoded && report.ok;
    if (o.json) {
      std::cout << capture::DecodeReportJson(report) << '\n';
    } else {
      if (!labels) labels = capture::SummaryLabelsIn(ctx.Language());
      if (!first) std::cout << '\n';
      std::cout << capture::DecodeReportText(report, *labels);
    }
    std::cout.flush();
    first = false;
  };
  // Each capture is decoded and printed as soon as it is read, so a long file
  // or a pipe shows results while it is read and memory stays that of one capture.
  const capture::CaptureSink print = [&](capture::CaptureRead&& c) {
    const ir::Capture input = capture::ToCapture(c);
    ir::Tcomp_aval result;
    capture::DecodeReport report =
        ir::DecodeCapture(input.Durations, input.Carrier, o.both, lsb_first, tolerance, result)
            ? capture::MakeDecodeReport(result, lsb_first, o.both)
            : capture::MakeFailedReport();
    report.name = std::move(c.name);
    report.label = std::move(c.label);
    print_report(report);
  };
  // The assisted decode compares the captures of the file, so it keeps them all.
  std::vector<ir::AlikeCapture> kept;
  std::vector<std::optional<std::string>> names;
  std::vector<capture::CaptureLabel> capture_labels;
  const capture::CaptureSink keep = [&](capture::CaptureRead&& c) {
    ir::Capture input = capture::ToCapture(c);
    ir::AssistedDecode decode =
        ir::AssistedDecodeCapture(input.Durations, input.Carrier, o.both, lsb_first, tolerance);
    kept.push_back(ir::AlikeCapture{std::move(input.Durations), std::move(decode)});
    names.push_back(std::move(c.name));
    capture_labels.push_back(std::move(c.label));
  };
  const capture::ReadOptions read_options = ReadOptionsOf(o);
  const capture::CaptureSink& sink = o.assist ? keep : print;
  const capture::StreamResult read =
      o.file == "-" ? capture::StreamCaptures(capture::DescriptorReader(STDIN_FILENO), read_options, sink)
                    : capture::StreamCaptureFile(o.file, read_options, sink);
  if (o.assist) {
    // The captures read before a fault in the file are printed, as without --assist.
    ir::ReadCapturesAlike(kept, o.both, lsb_first, tolerance);
    for (std::size_t i = 0; i < kept.size(); ++i) {
      capture::DecodeReport report = capture::MakeAssistedReport(kept[i].decode, lsb_first, o.both);
      report.name = std::move(names[i]);
      report.label = std::move(capture_labels[i]);
      print_report(report);
    }
  }
  if (!read.ok()) throw CommandError{kExitUsage, read.error->What()};
  ctx.exit_code = all_decoded ? kExitOk : kExitFailed;
}

const CommandRegistration kDecode(100, [](CLI::App& app, Context& ctx) {
  auto options = std::make_shared<DecodeOptions>();
  auto* cmd = app.add_subcommand("decode",
                                 "Decode the captures of a file (plain durations, Flipper .ir, JSON Lines, "
                                 "mode2, ir-ctl, Pronto) without prior knowledge of the protocol");
  cmd->add_flag("--both", options->both, "Pack the code bytes in both bit orders (LSB-first and MSB-first)");
  cmd->add_flag("--msb", options->msb, "Pack the code bytes MSB-first (default LSB-first)");
  cmd->add_option("--tolerance", options->tolerance_percent,
                  "Decoding tolerance in percent (default: ErrorOfDeccode of the home's config.ini)")
      ->check(CLI::Range(0.0, kMaxTolerancePercent));
  cmd->add_option("--units", options->units, "Unit of plain duration lists: us (default) or 0.1us")
      ->check(CLI::IsMember({"us", "0.1us"}));
  cmd->add_option("--carrier", options->carrier,
                  "Carrier in Hz of captures whose file gives none (default 38000)")
      ->check(CLI::Range(0LL, static_cast<long long>(capture::kMaxCarrierHz)));
  cmd->add_option("--format", options->format,
                  "Read the file in this format (an id of capture-formats) instead of detecting it from its "
                  "first MiB; a pipe is then decoded from its first capture on");
  cmd->add_flag("--assist", options->assist,
                "Where the blind reading fails or looks wrong, try other readings (tolerance, polarity, "
                "sections, two-bit symbols, stray pulses) and read captures of one remote alike; says what "
                "changed and why");
  cmd->add_flag("--json", options->json, "Print one JSON object per capture, one per line");
  cmd->add_option("FILE", options->file, "Capture file, or - for standard input")->required();
  cmd->callback([options, &ctx] { RunDecode(*options, ctx); });
});

const CommandRegistration kCaptureFormats(110, [](CLI::App& app, Context&) {
  auto* cmd = app.add_subcommand("capture-formats", "List the capture file formats that decode reads");
  cmd->callback([] {
    for (const capture::CaptureFormat& f : capture::CaptureFormats())
      std::cout << f.id << "\t" << f.priority << "\t" << f.description << "\n";
  });
});

}  // namespace
}  // namespace klimavo::cli
