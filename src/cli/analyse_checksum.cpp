// `klimavo-cli analyse checksum`: finds the checksum items that explain the
// codes of a capture file.
//
//   klimavo-cli [--home DIR] analyse checksum [--msb] [--json] FILE|-
//
// Every capture is decoded blind (as `decode` does); the codes whose protocol
// text occurs most often (on a tie, the text of the earliest capture) are the
// rows of the search. Without --json, one candidate per line, best first, each
// a checksum item as a record's JSON writes one, and a note other than ok and
// the rivals of the candidates on standard error; with --json one object with
// the rows, the format, the candidates, the note and the rivals
// (docs/checksum-discovery.md).
// Exit status: 0 with a candidate, 1 with none or too few rows, 2 for unusable
// arguments or input.
#include <unistd.h>

#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "analysis/checksum_discovery/checksum_discovery.h"
#include "analysis/checksum_discovery/checksum_discovery_report.h"
#include "base/home.h"
#include "capture/capture_format.h"
#include "cli/analyse_command.h"
#include "config/config.h"
#include "ir/decode.h"
#include "ir/protocol.h"

namespace klimavo::cli {
namespace {

constexpr std::string_view kStdinName = "<stdin>";

struct ChecksumOptions {
  bool msb = false;
  bool json = false;
  std::string file;
};

/// The decoded codes of one protocol text, in file order.
struct FormatRows {
  ir::TStrProt_Listbase elements;
  std::vector<ir::TSSByteArray> rows;
  std::size_t first_capture = 0;
};

/// The decoded codes of a file, by protocol text.
class FormatTally {
 public:
  FormatTally(bool lsb_first, double tolerance) : lsb_first_(lsb_first), tolerance_(tolerance) {}

  void Add(const capture::CaptureRead& read) {
    const ir::Capture input = capture::ToCapture(read);
    ir::Tcomp_aval result;
    const std::size_t position = position_++;
    if (!ir::DecodeCapture(input.Durations, input.Carrier, false, lsb_first_, tolerance_, result) ||
        result.Bits.empty())
      return;
    auto [it, added] = by_text_.try_emplace(ir::PrintProtocol(result.Protocol));
    if (added) {
      it->second.elements = result.Protocol.Elements;
      it->second.first_capture = position;
    }
    it->second.rows.push_back(result.Bits);
  }

  /// The rows of the protocol text that most captures decode to; on a tie,
  /// the text of the earliest capture. Empty when none decoded.
  std::pair<std::string, FormatRows> MostFrequent() const {
    const std::pair<const std::string, FormatRows>* best = nullptr;
    for (const auto& entry : by_text_) {
      if (best == nullptr || entry.second.rows.size() > best->second.rows.size() ||
          (entry.second.rows.size() == best->second.rows.size() &&
           entry.second.first_capture < best->second.first_capture))
        best = &entry;
    }
    if (best == nullptr) return {};
    return *best;
  }

 private:
  bool lsb_first_;
  double tolerance_;
  std::size_t position_ = 0;
  std::map<std::string, FormatRows> by_text_;
};

void RunChecksum(const ChecksumOptions& o, Context& ctx) {
  const std::filesystem::path& home = ctx.Home();
  const double tolerance = config::Derive(config::ReadConfig(base::ConfigPath(home))).DecodeTolerance;
  capture::ReadOptions options;
  options.source = o.file == "-" ? std::string(kStdinName) : o.file;
  const bool lsb_first = !o.msb;
  FormatTally tally(lsb_first, tolerance);
  const capture::CaptureSink add = [&tally](capture::CaptureRead&& read) { tally.Add(read); };
  const capture::StreamResult read =
      o.file == "-" ? capture::StreamCaptures(capture::DescriptorReader(STDIN_FILENO), options, add)
                    : capture::StreamCaptureFile(o.file, options, add);
  if (!read.ok()) throw CommandError{kExitUsage, read.error->What()};

  const auto [format, rows] = tally.MostFrequent();
  const analysis::ChecksumDiscovery result = analysis::DiscoverChecksums(rows.elements, rows.rows, lsb_first);
  if (o.json) {
    std::cout << analysis::DiscoveryJson(result, format) << '\n';
  } else {
    std::cout << analysis::DiscoveryText(result);
    if (result.note != analysis::DiscoveryNote::Ok)
      std::cerr << "klimavo-cli: " << analysis::DiscoveryNoteName(result.note) << " (" << result.rows
                << " rows of " << (format.empty() ? "no format" : format) << ")\n";
    if (!result.rivals.empty())
      std::cerr << "klimavo-cli: these fit the codes as well as the candidate of their index, and compute "
                   "other values for other codes:\n"
                << analysis::RivalsText(result);
  }
  std::cout.flush();
  ctx.exit_code = result.candidates.empty() ? kExitFailed : kExitOk;
}

}  // namespace

void AddAnalyseChecksum(CLI::App& analyse, Context& ctx) {
  auto o = std::make_shared<ChecksumOptions>();
  auto* cmd = analyse.add_subcommand(
      "checksum",
      "Find the checksum items that explain the codes of a capture file (the most frequent format)");
  cmd->add_flag("--msb", o->msb, "Read the codes most significant bit first (default LSB first)");
  cmd->add_flag("--json", o->json, "Print one JSON object: rows, format, candidates, note, rivals");
  cmd->add_option("FILE", o->file, "Capture file, or - for standard input")->required();
  cmd->callback([o, &ctx] { RunChecksum(*o, ctx); });
}

}  // namespace klimavo::cli
