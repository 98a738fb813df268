// `klimavo-cli capture`: records captures to JSON Lines in the corpus format,
// one object per capture as it arrives, with a live count on standard error.
//
//   klimavo-cli capture [--source learner|lirc[:PATH]|simulate[:FILE]] [--count N] [--out FILE]
//
// learner: the USB learner (close range); lirc: the first kernel IR receiver
// that receives, or PATH (a /dev/lirc* device, or a recorded mode2 sample
// stream in a regular file or a pipe, which ends at its end); simulate: a
// simulated learner playing the captures of FILE (default: the sample captures).
// Capturing ends after N captures, at the end of a recorded stream or of the
// simulated captures, or at Ctrl-C; every capture received is kept.
//
// Exit status: 0 done; 1 the source failed or ended before N captures, or the
// output could not be written; 2 unusable arguments or a source that cannot be opened.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "base/dispatcher.h"
#include "base/home.h"
#include "capture/capture_format.h"
#include "cli/commands.h"
#include "config/config.h"
#include "device/clock.h"
#include "device/hid_transport.h"
#include "device/learner_manager.h"
#include "device/lirc_device_list.h"
#include "device/lirc_receiver.h"
#include "device/simulated_device.h"

namespace klimavo::cli {
namespace {

constexpr const char* kSampleCaptures = "ac_captures.txt";
/// A simulated session ends this long after the last report when a packet raised nothing.
constexpr std::uint32_t kSimulationIdleMs = 1500;

std::atomic<bool> g_stop{false};

extern "C" void OnCaptureInterrupt(int) { g_stop.store(true); }

class InterruptScope {
 public:
  InterruptScope() {
    g_stop.store(false);
    previous_ = std::signal(SIGINT, OnCaptureInterrupt);
  }
  ~InterruptScope() { std::signal(SIGINT, previous_); }
  InterruptScope(const InterruptScope&) = delete;
  InterruptScope& operator=(const InterruptScope&) = delete;

 private:
  void (*previous_)(int);
};

struct CaptureArgs {
  std::string source = "learner";
  int count = 0;  ///< 0: until the source ends or Ctrl-C
  std::string out;
};

/// The source named by --source: its kind and the text after the colon.
struct Source {
  enum class Kind { kLearner, kLirc, kSimulate } kind = Kind::kLearner;
  std::string argument;
};

Source ParseSource(const std::string& text) {
  const auto colon = text.find(':');
  const std::string kind = text.substr(0, colon);
  Source source;
  if (colon != std::string::npos) source.argument = text.substr(colon + 1);
  if (kind == "learner" && colon == std::string::npos)
    source.kind = Source::Kind::kLearner;
  else if (kind == "lirc")
    source.kind = Source::Kind::kLirc;
  else if (kind == "simulate")
    source.kind = Source::Kind::kSimulate;
  else
    throw CommandError{kExitUsage,
                       "--source must be learner, lirc[:PATH] or simulate[:FILE], not '" + text + "'"};
  if (colon != std::string::npos && source.argument.empty())
    throw CommandError{kExitUsage, "--source " + text + ": the path after ':' is empty"};
  return source;
}

/// The sample captures shipped with the program, installed or in the build tree.
std::filesystem::path SampleCaptures() {
  const std::filesystem::path share = base::BundledSeedDir().parent_path();
  std::error_code ec;
  for (const auto& dir : {share / "samples", share / "share/klimavo/samples"}) {
    if (std::filesystem::is_regular_file(dir / kSampleCaptures, ec)) return dir / kSampleCaptures;
  }
  throw CommandError{kExitUsage,
                     "the sample captures are not installed; name a file: --source simulate:FILE"};
}

/// The first kernel IR device that receives.
std::string DefaultReceiver() {
  std::string problems;
  for (const auto& d : device::EnumerateLircDevices()) {
    if (d.features && d.features->CanReceiveMode2()) return d.path;
    if (!d.problem.empty()) problems += "\n  " + d.problem;
  }
  throw CommandError{kExitUsage, "no kernel IR receiver found (give one: --source lirc:PATH)" + problems};
}

/// Writes each capture as one line of the corpus format and keeps the live count.
class CaptureWriter {
 public:
  CaptureWriter(const std::string& out, std::string source) : source_(std::move(source)) {
    if (out.empty()) {
      file_ = stdout;
      name_ = "standard output";
    } else {
      // Opened without truncation: a file is replaced only once a capture arrives,
      // so a source that cannot be opened or yields nothing leaves it as it was.
      const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
      file_ = fd >= 0 ? ::fdopen(fd, "w") : nullptr;
      name_ = out;
      if (!file_) {
        const int error = errno;
        if (fd >= 0) ::close(fd);
        throw CommandError{kExitUsage, "cannot write " + out + ": " + std::strerror(error)};
      }
      owned_ = true;
      truncate_ = true;
    }
  }
  ~CaptureWriter() {
    if (owned_) std::fclose(file_);
  }
  CaptureWriter(const CaptureWriter&) = delete;
  CaptureWriter& operator=(const CaptureWriter&) = delete;

  void Write(const ir::TIRIntegerArr& durations, std::int32_t carrier) {
    if (!error_.empty()) return;
    nlohmann::ordered_json line;
    line["source"] = source_;
    line["name"] = "capture " + std::to_string(count_ + 1);
    if (carrier > 0) line["carrier_hz"] = carrier;  // left out when the source did not measure it
    auto& micros = line["durations_us"] = nlohmann::ordered_json::array();
    for (const std::int32_t d : durations) micros.push_back(ir::TicksToMicros(d));
    const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    if (truncate_) {
      truncate_ = false;
      if (::ftruncate(::fileno(file_), 0) != 0) {
        error_ = "cannot write " + name_ + ": " + std::strerror(errno);
        return;
      }
    }
    // Each line goes out whole and at once, so an interrupted run keeps every capture it announced.
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0) {
      error_ = "cannot write " + name_ + ": " + std::strerror(errno);
      return;
    }
    ++count_;
    std::cerr << "\rcaptures: " << count_ << std::flush;
  }
  /// Ends the count's line; "" when every capture was written, else why not.
  std::string Close() {
    if (count_ > 0) std::cerr << "\n";
    if (owned_) {
      owned_ = false;
      if (std::fclose(file_) != 0 && error_.empty())
        error_ = "cannot write " + name_ + ": " + std::strerror(errno);
    }
    return error_;
  }
  int Count() const { return count_; }
  bool Failed() const { return !error_.empty(); }

 private:
  std::FILE* file_ = nullptr;
  bool owned_ = false;
  bool truncate_ = false;  ///< the file's old content goes when the first capture is written
  std::string name_;
  std::string source_;
  int count_ = 0;
  std::string error_;
};

/// Captures of a kernel IR receiver or a recorded stream; "" or why the source failed.
std::string CaptureFromLirc(const std::string& path, const CaptureArgs& args, CaptureWriter& writer,
                            base::EventLoopDispatcher& loop) {
  device::LircReceiver receiver(loop);
  receiver.SetOnCapture([&](const ir::TIRIntegerArr& d, std::int32_t carrier) {
    if (args.count == 0 || writer.Count() < args.count) writer.Write(d, carrier);
  });
  const std::string problem =
      path == "-" ? receiver.StartDescriptor(::dup(0), "standard input") : receiver.Start(path);
  if (!problem.empty()) throw CommandError{kExitUsage, problem};
  if (receiver.Features().device)
    std::cerr << "receiving from " << path << " (" << receiver.Features().Describe() << ")\n";
  loop.RunUntil(
      [&] {
        return g_stop.load() || receiver.Finished() || writer.Failed() ||
               (args.count > 0 && writer.Count() >= args.count);
      },
      std::chrono::milliseconds::max());
  receiver.Stop();
  if (receiver.Counts().dropped > 0)
    std::cerr << "klimavo-cli: " << receiver.Counts().dropped << " capture(s) lost to receiver overflow\n";
  return receiver.EndReason().empty() ? "" : receiver.Name() + ": " + receiver.EndReason();
}

/// Captures of the USB learner, or of a simulated one playing `feed`.
void CaptureFromLearner(bool simulate, const std::vector<ir::Capture>& feed, const CaptureArgs& args,
                        CaptureWriter& writer, base::EventLoopDispatcher& loop, Context& ctx) {
  std::unique_ptr<device::Transport> transport;
  device::SimulatedDevice* sim = nullptr;
  if (simulate) {
    auto sim_device = std::make_unique<device::SimulatedDevice>(device::SteadyClock::Instance(),
                                                                device::SimulatedOptions{.model = 7});
    sim = sim_device.get();
    transport = std::move(sim_device);
  } else {
    transport = std::make_unique<device::HidrawTransport>();
  }
  device::TMyHIDUSBMange manager(*transport, loop, device::SteadyClock::Instance());
  manager.StartRecheckTimer();
  manager.SetOnCapture([&](const ir::TIRIntegerArr& d, std::int32_t carrier) {
    if (args.count == 0 || writer.Count() < args.count) writer.Write(d, carrier);
  });
  manager.SetTrimTime(config::ReadConfig(base::ConfigPath(ctx.Home())).trim_time);
  manager.SelectModelSet(device::kAllModelsSet);
  if (!manager.OpenProblem().empty()) throw CommandError{kExitUsage, manager.OpenProblem()};
  if (!manager.Connected()) std::cerr << "waiting for a learner (Ctrl-C to stop)\n";
  manager.SetLearnMode(device::kCloseRange);
  manager.SetListening(true);
  for (const auto& c : feed) sim->QueueCapture(c);
  const auto total = static_cast<int>(feed.size());
  auto simulation_over = [&] {
    if (!simulate) return false;
    if (writer.Count() >= total) return true;
    return sim->PendingPackets() == 0 && device::TicksSince(device::SteadyClock::Instance().NowMs(),
                                                            sim->LastReportSentMs()) > kSimulationIdleMs;
  };
  loop.RunUntil(
      [&] {
        return g_stop.load() || writer.Failed() || simulation_over() ||
               (args.count > 0 && writer.Count() >= args.count);
      },
      std::chrono::milliseconds::max());
  manager.SetListening(false);
  manager.SetOnCapture(nullptr);
}

std::vector<ir::Capture> ReadFeed(const std::filesystem::path& file) {
  capture::ReadOptions options;
  options.source = file.string();
  const capture::ReadResult read = capture::ReadCaptureFile(file, options);
  if (!read.ok()) throw CommandError{kExitUsage, read.error->What()};
  std::vector<ir::Capture> feed;
  for (const auto& c : read.captures) feed.push_back(capture::ToCapture(c));
  return feed;
}

int RunCapture(const CaptureArgs& args, Context& ctx) {
  const Source source = ParseSource(args.source);
  std::string path = source.argument;
  std::vector<ir::Capture> feed;
  if (source.kind == Source::Kind::kLirc && path.empty()) path = DefaultReceiver();
  if (source.kind == Source::Kind::kSimulate)
    feed = ReadFeed(path.empty() ? SampleCaptures() : std::filesystem::path(path));
  const std::string label = source.kind == Source::Kind::kLirc ? "lirc:" + path
                            : source.kind == Source::Kind::kSimulate
                                ? "simulate:" + (path.empty() ? std::string(kSampleCaptures) : path)
                                : "learner";
  InterruptScope interrupt;
  base::EventLoopDispatcher loop;
  CaptureWriter writer(args.out, label);
  std::string problem;
  if (source.kind == Source::Kind::kLirc) {
    problem = CaptureFromLirc(path, args, writer, loop);
  } else {
    CaptureFromLearner(source.kind == Source::Kind::kSimulate, feed, args, writer, loop, ctx);
  }
  const std::string write_problem = writer.Close();
  if (!write_problem.empty()) problem = write_problem;
  if (problem.empty() && args.count > 0 && writer.Count() < args.count && !g_stop.load())
    problem = "the source ended after " + std::to_string(writer.Count()) + " of " +
              std::to_string(args.count) + " captures";
  if (!problem.empty()) {
    std::cerr << "klimavo-cli: " << problem << "\n";
    return kExitFailed;
  }
  return kExitOk;
}

const CommandRegistration kCapture(505, [](CLI::App& app, Context& ctx) {
  auto args = std::make_shared<CaptureArgs>();
  auto* cmd = app.add_subcommand("capture", "Record captures to JSON Lines (the corpus format)");
  cmd->add_option(
         "--source", args->source,
         "learner, lirc[:PATH] (a /dev/lirc* device, or a recorded mode2 stream; - is standard input), "
         "or simulate[:FILE]")
      ->capture_default_str();
  cmd->add_option("--count", args->count, "Stop after N captures (default: until the source ends or Ctrl-C)")
      ->check(CLI::Range(1, 1'000'000));
  cmd->add_option("--out", args->out, "Write the captures to FILE instead of standard output");
  cmd->callback([args, &ctx] { ctx.exit_code = RunCapture(*args, ctx); });
});

}  // namespace
}  // namespace klimavo::cli
