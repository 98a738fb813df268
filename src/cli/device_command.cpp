// `klimavo-cli device`: the learner and programmer on the USB link.
//
//   klimavo-cli [--home DIR] device list      (HID devices, then kernel IR devices)
//   klimavo-cli [--home DIR] device listen [--model-set N] [--far] [--simulate CAPTURES [--simulate-model M]]
//   [--json] klimavo-cli [--home DIR] device program INDEX | --image FILE [--simulate
//   [--simulate-wrong-replies N]] klimavo-cli [--home DIR] device decode-packet --model N HEX
//
// listen prints each capture (durations in µs, carrier in Hz) and its blind
// decode until Ctrl-C; with --simulate the captures of a file come from a
// simulated learner and listen ends after the last one. program writes a
// record's table image (with its download header) into a universal remote,
// printing the programming dialog's texts and a progress bar; Ctrl-C cancels.
// decode-packet runs a model's packet decoder on one packet and prints
// {"ok": B, "carrier": C, "durations": [0.1 µs values]}.
//
// Exit status: 0 done (program: every block acknowledged), 1 a packet raised
// nothing / the transfer was cancelled or did not complete, 2 unusable
// arguments or input (an image that cannot be built or that the remote cannot hold).
#include <algorithm>
#include <atomic>
#include <csignal>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "base/atomic_file.h"
#include "base/dispatcher.h"
#include "base/gbk.h"
#include "base/home.h"
#include "capture/capture_format.h"
#include "capture/decode_report.h"
#include "cli/commands.h"
#include "config/config.h"
#include "device/hid_transport.h"
#include "device/learner_manager.h"
#include "device/lirc_device_list.h"
#include "device/packet_encoder.h"
#include "device/programming.h"
#include "device/programming_progress.h"
#include "device/simulated_device.h"
#include "firmware/table_image.h"
#include "ir/decode.h"
#include "lang/language.h"
#include "store/library.h"

namespace klimavo::cli {
namespace {

constexpr int kProgressBarWidth = 40;
/// The simulated learner's model when none is given: the first of the set with a stop command.
constexpr int kDefaultSimulatedModel = 7;
constexpr int kDefaultSimulatedModelSet1 = 8;
/// A simulated listen ends this long after the last report when a packet raised nothing.
constexpr std::uint32_t kSimulationIdleMs = 1500;

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int) { g_interrupted.store(true); }

/// Ctrl-C sets a flag for the verb's loop instead of ending the process, so the
/// learner gets its stop command and the transfer its finish.
class InterruptScope {
 public:
  InterruptScope() {
    g_interrupted.store(false);
    previous_ = std::signal(SIGINT, OnInterrupt);
  }
  ~InterruptScope() { std::signal(SIGINT, previous_); }

 private:
  void (*previous_)(int);
};

/// The transport the verb works on: the simulated device or the hidraw one.
struct Link {
  base::EventLoopDispatcher loop;
  std::unique_ptr<device::Transport> transport;
  device::SimulatedDevice* sim = nullptr;
  std::unique_ptr<device::TMyHIDUSBMange> manager;

  Link(bool simulate, int model) {
    if (simulate) {
      auto sim_device = std::make_unique<device::SimulatedDevice>(device::SteadyClock::Instance(),
                                                                  device::SimulatedOptions{.model = model});
      sim = sim_device.get();
      transport = std::move(sim_device);
    } else {
      transport = std::make_unique<device::HidrawTransport>();
    }
    manager = std::make_unique<device::TMyHIDUSBMange>(*transport, loop, device::SteadyClock::Instance());
    manager->StartRecheckTimer();
  }
  ~Link() { manager.reset(); }
};

void ReportStatus(const device::TMyHIDUSBMange& manager, bool connected) {
  if (!connected) {
    std::cerr << "learner disconnected\n";
    return;
  }
  const auto model = device::ModelAt(manager.ModelIndex());
  std::cerr << "learner connected: " << (model ? model->product_name : "?") << " (model "
            << manager.ModelIndex() << ")\n";
  if (!manager.OpenProblem().empty()) std::cerr << "klimavo-cli: " << manager.OpenProblem() << "\n";
}

// --- list ---

void RunList() {
  device::HidrawTransport transport;
  const auto devices = transport.Enumerate();
  const auto names = device::ModelProductNames();
  const device::EnabledModels all = device::ModelSet(device::kAllModelsSet);
  for (const auto& d : devices) {
    const auto model = device::MatchProductName(names, all, d.product);
    std::cout << d.path << "\t" << d.product << "\t" << (model ? std::to_string(*model) : "-") << "\n";
  }
  if (devices.empty()) std::cerr << "no HID devices found\n";
  // The kernel's IR receivers and transmitters, the second capture source.
  for (const auto& d : device::EnumerateLircDevices()) {
    std::cout << d.path << "\t" << d.name << "\tlirc: " << (d.features ? d.features->Describe() : d.problem)
              << "\n";
  }
}

// --- listen ---

struct ListenOptions {
  int model_set = 0;
  bool far = false;
  std::string simulate;
  int simulate_model = -1;
  bool json = false;
};

std::string MicrosText(const ir::TIRIntegerArr& durations, const char* separator) {
  std::ostringstream out;
  for (std::size_t i = 0; i < durations.size(); ++i)
    out << (i ? separator : "") << ir::TicksToMicros(durations[i]);
  return out.str();
}

void PrintCapture(const ir::TIRIntegerArr& durations, std::int32_t carrier, double tolerance, bool json,
                  const capture::SummaryLabels& labels, int number) {
  ir::Tcomp_aval result;
  const capture::DecodeReport report = ir::DecodeCapture(durations, carrier, false, true, tolerance, result)
                                           ? capture::MakeDecodeReport(result, true, false)
                                           : capture::MakeFailedReport();
  if (json) {
    std::cout << "{\"carrier\": " << carrier << ", \"durations_us\": [" << MicrosText(durations, ", ")
              << "], \"decode\": " << capture::DecodeReportJson(report) << "}\n";
  } else {
    if (number > 1) std::cout << "\n";
    std::cout << "capture " << number << ": " << durations.size() << " durations, carrier " << carrier
              << " Hz\n"
              << MicrosText(durations, " ") << "\n"
              << capture::DecodeReportText(report, labels);
  }
  std::cout.flush();
}

std::vector<ir::Capture> ReadSimulatedCaptures(const std::string& file) {
  capture::ReadOptions options;
  options.source = file;
  const capture::ReadResult read = capture::ReadCaptureFile(file, options);
  if (!read.ok()) throw CommandError{kExitUsage, read.error->What()};
  std::vector<ir::Capture> captures;
  for (const auto& c : read.captures) captures.push_back(capture::ToCapture(c));
  return captures;
}

void RunListen(const ListenOptions& o, Context& ctx) {
  const bool simulate = !o.simulate.empty();
  const std::vector<ir::Capture> feed =
      simulate ? ReadSimulatedCaptures(o.simulate) : std::vector<ir::Capture>{};
  const config::ConfigValues values = config::ReadConfig(base::ConfigPath(ctx.Home()));
  const double tolerance = config::Derive(values).DecodeTolerance;
  capture::SummaryLabels labels;
  if (!o.json) labels = capture::SummaryLabelsIn(ctx.Language());
  const int sim_model = o.simulate_model >= 0 ? o.simulate_model
                        : o.model_set == 1    ? kDefaultSimulatedModelSet1
                                              : kDefaultSimulatedModel;
  if (simulate && !device::ModelAt(sim_model))
    throw CommandError{kExitUsage, "--simulate-model must be 0 to 12"};

  InterruptScope interrupt;
  Link link(simulate, sim_model);
  device::TMyHIDUSBMange& m = *link.manager;
  int count = 0;
  m.SelectModelSet(static_cast<std::uint8_t>(o.model_set));
  m.SetOnCapture([&](const ir::TIRIntegerArr& d, std::int32_t carrier) {
    PrintCapture(d, carrier, tolerance, o.json, labels, ++count);
    // A simulated press longer than the model's packet arrives cut: say so,
    // or its decode would be taken for the whole press.
    if (simulate && count <= static_cast<int>(feed.size())) {
      const std::size_t levels = feed[static_cast<std::size_t>(count - 1)].Durations.size();
      const std::size_t carried = device::MaxPacketLevels(sim_model);
      if (levels > carried)
        std::cerr << "klimavo-cli: warning: capture " << count << " of " << o.simulate << " has " << levels
                  << " levels; the learner's packet carries " << carried
                  << ", so its end was cut off and its decode is not the whole press\n";
    }
  });
  m.SetTrimTime(values.trim_time);
  m.SetOnStatus([&m](bool connected) { ReportStatus(m, connected); });
  if (m.Connected()) {
    ReportStatus(m, true);
  } else {
    std::cerr << "waiting for a learner (Ctrl-C to stop)\n";
  }
  m.SetListening(false);
  m.SetLearnMode(o.far ? device::kLongRange : device::kCloseRange);
  m.SetListening(true);
  if (simulate) {
    if (!m.Connected())
      throw CommandError{kExitUsage,
                         "the simulated model is not in model set " + std::to_string(o.model_set)};
    for (const auto& c : feed) link.sim->QueueCapture(c);
  }
  const auto total = static_cast<int>(feed.size());
  // A simulated session ends after the last capture, or once every packet went
  // out and nothing came of the last one (a packet the learner cannot raise).
  auto simulation_over = [&] {
    if (!simulate) return false;
    if (count >= total) return true;
    return link.sim->PendingPackets() == 0 &&
           device::TicksSince(device::SteadyClock::Instance().NowMs(), link.sim->LastReportSentMs()) >
               kSimulationIdleMs;
  };
  link.loop.RunUntil([&] { return g_interrupted.load() || simulation_over(); },
                     std::chrono::milliseconds::max());
  m.SetListening(false);
  m.SetOnCapture(nullptr);
  m.SetOnStatus(nullptr);
  ctx.exit_code = kExitOk;
}

// --- program ---

struct ProgramOptions {
  int index = -1;
  std::string image;
  bool simulate = false;
  int simulate_wrong_replies = 0;
};

// Refuses an image the remote cannot take, naming its size and the limit.
void CheckImageSize(const std::string& what, std::uint64_t size) {
  const std::string problem = device::ProgramImageSizeProblem(size);
  if (!problem.empty()) throw CommandError{kExitUsage, what + ": " + problem + "; nothing was sent"};
}

base::Bytes ImageToProgram(const ProgramOptions& o, Context& ctx) {
  if (!o.image.empty()) {
    // The size is checked before the file is read: a file of any size may be named.
    std::error_code ec;
    const std::uint64_t size = std::filesystem::file_size(o.image, ec);
    if (!ec) CheckImageSize("image file " + o.image, size);
    auto bytes = base::ReadWholeFile(o.image);
    if (!bytes) throw CommandError{kExitUsage, "cannot read the image file " + o.image};
    CheckImageSize("image file " + o.image, bytes->size());
    return *bytes;
  }
  if (o.index < 0) throw CommandError{kExitUsage, "give a library INDEX or --image FILE"};
  store::ProtocolLibrary library(base::DataDir(ctx.Home()) / store::kLibraryFileName);
  if (!library.Load())
    throw CommandError{kExitUsage, "cannot read the protocol library " + library.File().string()};
  store::TdiskAir record;
  store::TBtnLines bit_lines;
  if (!library.FetchRecord(o.index, record, bit_lines))
    throw CommandError{kExitUsage, "index " + std::to_string(o.index) + " is not in the library"};
  const auto timing = config::Derive(config::ReadConfig(base::ConfigPath(ctx.Home()))).Timing;
  base::Bytes image;
  const int code = firmware::BuildTableImage(record, bit_lines, true, timing, image);
  if (code != 0)
    throw CommandError{kExitUsage, "the table image of record " + std::to_string(o.index) +
                                       " cannot be built (error " + std::to_string(code) +
                                       "); nothing was sent"};
  CheckImageSize("the table image of record " + std::to_string(o.index), image.size());
  return image;
}

void DrawProgress(int position, int maximum) {
  if (maximum <= 0) return;
  const int filled = std::clamp(position, 0, maximum) * kProgressBarWidth / maximum;
  std::cerr << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
            << std::string(static_cast<std::size_t>(kProgressBarWidth - filled), ' ') << "] " << position
            << "/" << maximum << std::flush;
}

// Prints each text of the programming dialog as it appears: status lines and
// progress captions on standard output, the progress bar on standard error.
class ProgramPrinter {
 public:
  explicit ProgramPrinter(const lang::Language& language) : language_(language) {}

  void Flush(const device::ProgrammingProgress& progress) {
    const auto& shown = progress.Shown();
    for (; printed_ < shown.size(); ++printed_) {
      const device::ProgramText& t = shown[printed_];
      if (bar_drawn_) std::cerr << "\n";
      bar_drawn_ = false;
      std::cout << (t.text >= 0 ? base::GbkToUtf8(language_.Text(t.text)) : t.literal) << "\n" << std::flush;
    }
    if (progress.Maximum() > 0 && progress.Position() != last_position_) {
      last_position_ = progress.Position();
      DrawProgress(last_position_, progress.Maximum());
      bar_drawn_ = true;
    }
  }
  void End() {
    if (bar_drawn_) std::cerr << "\n";
    bar_drawn_ = false;
  }

 private:
  const lang::Language& language_;
  std::size_t printed_ = 0;
  int last_position_ = -1;
  bool bar_drawn_ = false;
};

void RunProgram(const ProgramOptions& o, Context& ctx) {
  const base::Bytes image = ImageToProgram(o, ctx);
  const lang::Language& language = ctx.Language();
  InterruptScope interrupt;
  Link link(o.simulate, kDefaultSimulatedModel);
  if (link.sim != nullptr && o.simulate_wrong_replies > 0) link.sim->CorruptReplies(o.simulate_wrong_replies);
  device::TMyHIDUSBMange& m = *link.manager;
  device::ProgrammingProgress progress;
  ProgramPrinter printer(language);
  m.SetOnStatus([&](bool connected) {
    progress.Connected(connected);
    printer.Flush(progress);
  });
  m.SelectModelSet(0);
  m.SetListening(false);
  if (!m.OpenProblem().empty()) throw CommandError{kExitUsage, m.OpenProblem()};
  progress.Connected(m.Connected());
  printer.Flush(progress);

  device::ProgrammingJob job(m, link.loop, device::SteadyClock::Instance(),
                             [&](const device::ProgramMessage& msg) {
                               progress.Apply(msg);
                               printer.Flush(progress);
                             });
  job.Start(image);
  // Ctrl-C is the dialog's Cancel: the thread is stopped and waited for.
  link.loop.RunUntil([&] { return g_interrupted.load() || job.Finished(); },
                     std::chrono::milliseconds::max());
  job.Stop();
  m.SetOnStatus(nullptr);
  printer.End();
  if (!progress.Completed())
    std::cerr << "klimavo-cli: " << (g_interrupted.load() ? "cancelled" : "the transfer did not complete")
              << ": not programmed\n";
  ctx.exit_code = progress.Completed() ? kExitOk : kExitFailed;
}

// --- decode-packet ---

base::Bytes ParseHex(const std::string& text) {
  base::Bytes bytes;
  int high = -1;
  for (char c : text) {
    if (c == ' ' || c == ':' || c == '\t') continue;
    int v = -1;
    if (c >= '0' && c <= '9') v = c - '0';
    if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    if (v < 0) throw CommandError{kExitUsage, std::string("not a hexadecimal digit: '") + c + "'"};
    if (high < 0) {
      high = v;
    } else {
      bytes.push_back(static_cast<std::uint8_t>(high * 16 + v));
      high = -1;
    }
  }
  if (high >= 0) throw CommandError{kExitUsage, "odd number of hexadecimal digits"};
  return bytes;
}

/// The packet decode as the link does it: only packets that begin AA or 66 are decoded.
std::string DecodePacketJson(int model, const base::Bytes& packet, bool& ok) {
  const device::DecodedPacket decoded =
      device::HasPacketMark(packet) ? device::DecodePacket(model, packet) : device::DecodedPacket{};
  ok = decoded.capture.has_value();
  std::ostringstream out;
  out << "{\"ok\": " << (ok ? "true" : "false") << ", \"carrier\": " << (ok ? decoded.capture->Carrier : 0)
      << ", \"durations\": [";
  if (ok) {
    for (std::size_t i = 0; i < decoded.capture->Durations.size(); ++i)
      out << (i ? ", " : "") << decoded.capture->Durations[i];
  }
  out << "]}";
  return out.str();
}

const CommandRegistration kDevice(500, [](CLI::App& app, Context& ctx) {
  auto* cmd = app.add_subcommand("device", "The USB learner and programmer");
  cmd->require_subcommand(1);

  auto* list =
      cmd->add_subcommand("list", "List HID devices, their product strings and the model each would match");
  list->callback([&ctx] {
    RunList();
    ctx.exit_code = kExitOk;
  });

  auto listen_options = std::make_shared<ListenOptions>();
  auto* listen =
      cmd->add_subcommand("listen", "Print each capture of the learner and its blind decode (Ctrl-C stops)");
  listen->add_option("--model-set", listen_options->model_set, "Accepted models: set 0, 1, 2 or 3 (all)")
      ->check(CLI::Range(0, 255));
  listen->add_flag("--far", listen_options->far, "Long-range learning (models 7, 9 and 11)");
  listen->add_option("--simulate", listen_options->simulate,
                     "Simulated learner sending the captures of this file");
  listen
      ->add_option("--simulate-model", listen_options->simulate_model, "Model index of the simulated learner")
      ->check(CLI::Range(0, device::kModelCount - 1));
  listen->add_flag("--json", listen_options->json, "One JSON object per capture");
  listen->callback([listen_options, &ctx] { RunListen(*listen_options, ctx); });

  auto program_options = std::make_shared<ProgramOptions>();
  auto* program = cmd->add_subcommand("program", "Program a record's table image into a universal remote");
  program->add_option("INDEX", program_options->index, "Library index of the record");
  program->add_option("--image", program_options->image,
                      "Program this raw image file (download header included)");
  program->add_flag("--simulate", program_options->simulate, "Program a simulated device");
  program
      ->add_option("--simulate-wrong-replies", program_options->simulate_wrong_replies,
                   "The simulated device answers the first N blocks wrongly")
      ->check(CLI::Range(0, 1000));
  program->callback([program_options, &ctx] { RunProgram(*program_options, ctx); });

  auto model = std::make_shared<int>(-1);
  auto hex = std::make_shared<std::vector<std::string>>();
  auto* decode = cmd->add_subcommand("decode-packet", "Decode one learner packet as model N does");
  decode->add_option("--model", *model, "Model index 0-12")
      ->required()
      ->check(CLI::Range(0, device::kModelCount - 1));
  decode->add_option("HEX", *hex, "Packet bytes in hexadecimal")->required();
  decode->callback([model, hex, &ctx] {
    std::string text;
    for (const auto& part : *hex) text += part;
    bool ok = false;
    std::cout << DecodePacketJson(*model, ParseHex(text), ok) << "\n";
    ctx.exit_code = ok ? kExitOk : kExitFailed;
  });
});

}  // namespace
}  // namespace klimavo::cli
