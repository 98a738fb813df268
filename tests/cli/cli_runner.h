#pragma once
// Runs the real klimavo-cli (path in $KLIMAVO_CLI) as a child process, without
// a shell, on a home of its own: started processes run at the same time until
// they are finished.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace klimavo::cli::testing {

struct CliResult {
  int status = -1;
  std::string out;  ///< standard output
  std::string err;  ///< standard error
};

/// One klimavo-cli process.
class CliProcess {
 public:
  CliProcess(const std::filesystem::path& home, const std::vector<std::string>& args) {
    const char* cli = std::getenv("KLIMAVO_CLI");
    std::vector<std::string> argv = {cli ? cli : "klimavo-cli", "--home", home.string()};
    argv.insert(argv.end(), args.begin(), args.end());
    int out[2], err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::dup2(err[1], 2);
      ::close(out[0]);
      ::close(err[0]);
      std::vector<char*> raw;
      for (auto& a : argv) raw.push_back(a.data());
      raw.push_back(nullptr);
      ::execv(raw[0], raw.data());
      ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
  }
  /// Waits for the process and collects what it wrote.
  CliResult Finish() {
    CliResult result;
    // Read both pipes until both end, so that neither can fill and block the child.
    bool out_open = true, err_open = true;
    char buffer[4096];
    while (out_open || err_open) {
      fd_set fds;
      FD_ZERO(&fds);
      if (out_open) FD_SET(out_, &fds);
      if (err_open) FD_SET(err_, &fds);
      if (::select(std::max(out_, err_) + 1, &fds, nullptr, nullptr, nullptr) < 0) break;
      for (auto [fd, open, text] :
           {std::tuple{out_, &out_open, &result.out}, std::tuple{err_, &err_open, &result.err}}) {
        if (!*open || !FD_ISSET(fd, &fds)) continue;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
          *open = false;
        else
          text->append(buffer, static_cast<std::size_t>(n));
      }
    }
    ::close(out_);
    ::close(err_);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
};

inline CliResult RunCli(const std::filesystem::path& home, const std::vector<std::string>& args) {
  return CliProcess(home, args).Finish();
}

}  // namespace klimavo::cli::testing
