// `klimavo-cli feed`: hands the captures of a file to the running workbench of
// the home, through its pulse feed (docs/feed.md), as if the learner had just
// captured them; the open function or checksum analysis wizard takes them.
//
//   klimavo-cli [--home DIR] feed FILE|-
//
// The workbench answers each capture with how many open wizards took it; the
// verb says how many were taken, and that none was when no wizard was open.
//
// Exit status: 0 when every capture was sent and at least one taken, 1 when no
// workbench of the home listens or none of the captures was taken, 2 for
// unusable arguments or input, or a feed's socket or folder that another user
// owns or may change.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
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

  /// After the last capture: stops sending and counts the workbench's answers
  /// ("TAKEN <n>"), waiting for them at most `wait_ms` in all.
  struct Answers {
    std::size_t answered = 0;  ///< captures the workbench answered
    std::size_t taken = 0;     ///< of them, those that an open wizard took
  };
  Answers CollectAnswers(int wait_ms) {
    Answers answers;
    ::shutdown(fd_, SHUT_WR);
    std::string text;
    char buffer[4096];
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
    for (;;) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      pollfd poll_fd{fd_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&poll_fd, 1, static_cast<int>(left.count())) <= 0) break;
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      text.append(buffer, static_cast<std::size_t>(n));
    }
    std::size_t at = 0;
    for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
      const std::string_view line(text.data() + at, end - at);
      const std::string prefix = std::string(device::kTakenWord) + " ";
      if (!line.starts_with(prefix)) continue;
      ++answers.answered;
      if (line.substr(prefix.size()) != "0") ++answers.taken;
    }
    return answers;
  }

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

/// How long the verb waits for the workbench's answers after the last capture.
constexpr int kAnswerWaitMs = 10000;

void RunFeed(const std::string& file, Context& ctx) {
  const std::filesystem::path path = device::PulseFeedSocketPath(ctx.Home());
  // A socket that another user could have put there would take the captures.
  std::string problem = device::PreparePulseFeedFolder(path.parent_path(), false);
  if (!problem.empty() && std::filesystem::exists(path.parent_path()))
    throw CommandError{kExitUsage, problem};
  problem = device::ForeignSocketProblem(path);
  if (!problem.empty()) throw CommandError{kExitUsage, problem};
  FeedSocket socket(path);
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
  const FeedSocket::Answers answers = socket.CollectAnswers(kAnswerWaitMs);
  if (sent > 0 && answers.taken == 0 && answers.answered == sent) {
    std::cout << sent << " capture(s) sent; none was taken: no analysis wizard is open\n";
    ctx.exit_code = kExitFailed;
    return;
  }
  std::cout << sent << " capture(s) sent, " << answers.taken << " taken";
  if (answers.answered < sent) std::cout << " (" << sent - answers.answered << " not answered)";
  std::cout << "\n";
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
