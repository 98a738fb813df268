// `klimavo-cli decode`: decodes the captures of a file without prior knowledge
// of their protocol and prints, per capture, the format chooser's summary or
// one JSON line.
//
//   klimavo-cli [--home DIR] decode [--both] [--msb] [--tolerance PERCENT]
//               [--units us|0.1us] [--carrier HZ] [--format ID] [--json] FILE|-
//
// Captures are printed as they are read. Exit status: 0 when every capture
// decoded, 1 when one did not, 2 for unusable arguments or unreadable input
// (the captures before a fault in the file are printed already).
#include <unistd.h>

#include <cmath>
#include <iostream>
#include <optional>
#include <string>

#include "base/gbk.h"
#include "base/home.h"
#include "capture/capture_format.h"
#include "capture/decode_report.h"
#include "cli/commands.h"
#include "config/config.h"
#include "ir/decode.h"
#include "lang/language.h"

namespace klimavo::cli {
namespace {

/// Language texts that label the summary lines.
constexpr int kTextCarrier = 53;
constexpr int kTextLogicCodes = 54;
constexpr int kTextSplitCodes = 55;
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
  std::string format;  // empty: detected from the file
  std::string file;
};

capture::SummaryLabels Labels(Context& ctx, const std::filesystem::path& home) {
  int language_no = ctx.lang;
  if (language_no == 0) {
    const int lang = config::ReadConfig(base::ConfigPath(home)).lang;
    language_no = config::CorrectLanguageNo(lang, lang::Language(home, 1).LanguageCount());
  }
  const lang::Language language(home, language_no);
  return {base::GbkToUtf8(language.Text(kTextCarrier)), base::GbkToUtf8(language.Text(kTextLogicCodes)),
          base::GbkToUtf8(language.Text(kTextSplitCodes))};
}

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
    all_decoded = all_decoded && report.ok;
    if (o.json) {
      std::cout << capture::DecodeReportJson(report) << '\n';
    } else {
      if (!labels) labels = Labels(ctx, home);
      if (!first) std::cout << '\n';
      std::cout << capture::DecodeReportText(report, *labels);
    }
    std::cout.flush();
    first = false;
  };
  const capture::ReadOptions read_options = ReadOptionsOf(o);
  const capture::StreamResult read =
      o.file == "-" ? capture::StreamCaptures(capture::DescriptorReader(STDIN_FILENO), read_options, print)
                    : capture::StreamCaptureFile(o.file, read_options, print);
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
