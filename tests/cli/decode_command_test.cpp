// `klimavo-cli decode` on standard input, through the real executable: each
// capture is printed while the input is still open, and a fault after some
// captures leaves them printed and exits 2.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

// klimavo-cli with pipes on its standard input, output and error. Writing
// drains the output meanwhile, so neither side blocks on a full pipe.
class CliProcess {
 public:
  explicit CliProcess(const std::vector<std::string>& args) {
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
      posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    in_ = in[1];
    out_ = out[0];
    err_ = err[0];
    fcntl(in_, F_SETFL, O_NONBLOCK);
  }
  ~CliProcess() {
    CloseInput();
    if (pid_ > 0) Wait();
  }
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  bool Started() const { return pid_ > 0; }

  void Write(std::string_view text) {
    pending_ += text;
    while (!pending_.empty() && Pump(10'000)) {
    }
  }
  // Waits until the output holds `lines` lines; false when it ends first or after 30 s.
  bool WaitForLines(std::size_t lines) {
    while (std::count(out.begin(), out.end(), '\n') < static_cast<std::ptrdiff_t>(lines))
      if (!Pump(30'000)) return false;
    return true;
  }
  void CloseInput() {
    if (in_ >= 0) close(in_);
    in_ = -1;
  }
  // Reads the output to its end and returns the exit status.
  int Wait() {
    CloseInput();
    while (out_ >= 0 || err_ >= 0)
      if (!Pump(30'000)) break;
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string out;
  std::string err;

 private:
  // One round of writing what is pending and reading what has come; false on time-out.
  bool Pump(int timeout_ms) {
    std::vector<pollfd> fds;
    if (in_ >= 0 && !pending_.empty()) fds.push_back({in_, POLLOUT, 0});
    if (out_ >= 0) fds.push_back({out_, POLLIN, 0});
    if (err_ >= 0) fds.push_back({err_, POLLIN, 0});
    if (fds.empty() || poll(fds.data(), fds.size(), timeout_ms) <= 0) return false;
    for (const pollfd& p : fds) {
      if (p.revents == 0) continue;
      if (p.fd == in_) {
        const ssize_t n = write(in_, pending_.data(), pending_.size());
        if (n > 0) pending_.erase(0, static_cast<std::size_t>(n));
        if (n < 0 && errno != EAGAIN) pending_.clear();
      } else {
        char buffer[65536];
        const ssize_t n = read(p.fd, buffer, sizeof buffer);
        std::string& into = p.fd == out_ ? out : err;
        if (n > 0) {
          into.append(buffer, static_cast<std::size_t>(n));
        } else {
          close(p.fd);
          (p.fd == out_ ? out_ : err_) = -1;
        }
      }
    }
    return true;
  }

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, err_ = -1;
  std::string pending_;
};

std::vector<std::string> CorpusLines() {
  std::vector<std::string> lines;
  std::ifstream in(KLIMAVO_CORPUS_FILE);
  for (std::string line; std::getline(in, line);) lines.push_back(line + "\n");
  return lines;
}

class DecodeCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    signal(SIGPIPE, SIG_IGN);
    ASSERT_NE(std::getenv("KLIMAVO_CLI"), nullptr) << "KLIMAVO_CLI names the klimavo-cli to test";
    corpus_ = CorpusLines();
    ASSERT_FALSE(corpus_.empty()) << "corpus missing: " << KLIMAVO_CORPUS_FILE;
  }
  std::vector<std::string> Args(std::vector<std::string> extra) const {
    const std::filesystem::path home = std::filesystem::temp_directory_path() / "klimavo-decode-cli-test";
    std::vector<std::string> args{std::getenv("KLIMAVO_CLI"), "--home", home.string(), "decode", "--json"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back("-");
    return args;
  }
  std::vector<std::string> corpus_;
};

// With the format named, the first capture (corpus ACs/Admiral/Admiral_AC.ir,
// "Fan_2") is printed before a second line is even written.
TEST_F(DecodeCommand, EachCaptureOfStandardInputIsPrintedAsItArrives) {
  CliProcess cli(Args({"--format", "jsonl"}));
  ASSERT_TRUE(cli.Started());
  cli.Write(corpus_[0]);
  ASSERT_TRUE(cli.WaitForLines(1)) << cli.err;
  EXPECT_EQ(cli.out.rfind("{\"name\": \"Fan_2\", \"ok\": true", 0), 0u) << cli.out;
  cli.Write(corpus_[1]);
  ASSERT_TRUE(cli.WaitForLines(2)) << cli.err;
  cli.Write("{\"durations_us\": [1,}\n");
  EXPECT_EQ(cli.Wait(), 2);
  EXPECT_EQ(std::count(cli.out.begin(), cli.out.end(), '\n'), 2);
  EXPECT_NE(cli.err.find("<stdin>:3: not a JSON object"), std::string::npos) << cli.err;
}

// Detecting the format takes the first MiB; from then on captures come out
// while the input is still open.
TEST_F(DecodeCommand, DetectionWaitsForTheFirstMebibyteOnly) {
  CliProcess cli(Args({}));
  ASSERT_TRUE(cli.Started());
  std::size_t written = 0, lines = 0;
  while (written <= 1024 * 1024 + 64 * 1024) {
    const std::string& line = corpus_[lines++ % corpus_.size()];
    cli.Write(line);
    written += line.size();
  }
  ASSERT_TRUE(cli.WaitForLines(1)) << cli.err;
  // Exit 1: corpus line 184 (ACs/Friedrich/Friedrich_4235h.ir, "Timer") does not decode.
  EXPECT_EQ(cli.Wait(), 1) << cli.err;
  EXPECT_EQ(static_cast<std::size_t>(std::count(cli.out.begin(), cli.out.end(), '\n')), lines);
}

}  // namespace
