// `klimavo-cli feed`: hands the captures of a file to the running workbench of
// the home, through its pulse feed (docs/feed.md), as if the learner had just
// captured them; the open function or checksum analysis wizard takes them.
//
//   klimavo-cli [--home DIR] feed FILE|-
//
// Exit status: 0 when every capture was sent, 1 when no workbench of the home
// listens, 2 for unusable arguments or input.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <string>

#include "capture/capture_format.h"
#include "cli/commands.h"
#include "device/pulse_feed_protocol.h"

namespace klimavo::cli {
namespace {

constexpr std::string_view kStdinName = "<stdin>";

// A connected Unix socket, closed with the object.
class FeedSocket {
 public:
  explicit FeedSocket(const std::filesystem::path& path) {
    const std::string name = path.string();
    sockaddr_un address{};
    if (name.size() >= sizeof(address.sun_path)) {
      error_ = "the feed's socket path is too long: " + name;
      return;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.c_str(), name.size() + 1);
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
      error_ = "no workbench of this home is running (nothing listens on " + name + ": " +
               std::strerror(errno) + ")";
      Close();
    }
  }
  ~FeedSocket() { Close(); }
  FeedSocket(const FeedSocket&) = delete;
  FeedSocket& operator=(const FeedSocket&) = delete;

  bool Connected() const { return fd_ >= 0; }
  const std::string& Error() const { return error_; }

  bool Send(std::string_view bytes) {
    while (!bytes.empty()) {
      const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
      if (sent < 0 && errno == EINTR) continue;
      if (sent <= 0) {
        error_ = std::string("the workbench closed the feed: ") + std::strerror(errno);
        return false;
      }
      bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
  }

 private:
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int fd_ = -1;
  std::string error_;
};

// One capture as a pulse line, in µs.
std::string PulsesLine(const capture::CaptureRead& read) {
  const ir::Capture capture = capture::ToCapture(read);
  std::string line = "PULSES";
  for (std::int32_t ticks : capture.Durations) line += " " + std::to_string(ir::TicksToMicros(ticks));
  return line + "\n";
}

void RunFeed(const std::string& file, Context& ctx) {
  FeedSocket socket(device::PulseFeedSocketPath(ctx.Home()));
  if (!socket.Connected()) throw CommandError{kExitFailed, socket.Error()};
  // Each capture is sent as soon as it is read.
  std::size_t sent = 0;
  capture::ReadOptions options;
  options.source = file == "-" ? std::string(kStdinName) : file;
  const capture::CaptureSink send = [&](capture::CaptureRead&& c) {
    if (!socket.Send(PulsesLine(c))) throw CommandError{kExitFailed, socket.Error()};
    ++sent;
  };
  const capture::StreamResult read =
      file == "-" ? capture::StreamCaptures(capture::DescriptorReader(STDIN_FILENO), options, send)
                  : capture::StreamCaptureFile(file, options, send);
  if (!read.ok()) throw CommandError{kExitUsage, read.error->What()};
  std::cout << sent << " capture(s) sent\n";
  ctx.exit_code = kExitOk;
}

const CommandRegistration kFeed(210, [](CLI::App& app, Context& ctx) {
  auto file = std::make_shared<std::string>();
  auto* cmd = app.add_subcommand(
      "feed", "Hand the captures of a file to the running workbench's open analysis wizard (its pulse feed)");
  cmd->add_option("FILE", *file, "Capture file, or - for standard input")->required();
  cmd->callback([file, &ctx] { RunFeed(*file, ctx); });
});

}  // namespace
}  // namespace klimavo::cli
