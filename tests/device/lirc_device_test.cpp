// Sending through a kernel IR transmitter, against stand-ins: a regular file and
// a pipe take the written durations (their ioctls fail with ENOTTY, which is
// "no features", not an error), and the pulse-mode form of a signal.
#include "device/lirc_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "device/lirc_device_list.h"
#include "device/lirc_samples.h"

namespace klimavo::device {
namespace {

std::vector<std::uint32_t> ReadWords(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::uint32_t> words(bytes.size() / 4);
  std::memcpy(words.data(), bytes.data(), words.size() * 4);
  EXPECT_EQ(bytes.size() % 4, 0u);
  return words;
}

TEST(LircDevice, PulseModeDurationsAreOddAndStartAndEndWithAPulse) {
  const struct {
    ir::TIRIntegerArr micros;
    std::vector<std::uint32_t> expected;
  } cases[] = {
      {{9000, -4500, 560, -560, 560}, {9000, 4500, 560, 560, 560}},
      {{-3000, 9000, -4500, 560, -40000}, {9000, 4500, 560}},  // silence before and after
      {{500, 300, -200, 0, -100, 700}, {800, 300, 700}},       // runs joined, zeros left out
      {{-100, 0}, {}},
      {{}, {}},
  };
  for (const auto& c : cases) {
    const auto got = PulseModeDurations(c.micros);
    EXPECT_EQ(got, c.expected);
    if (!got.empty()) {
      EXPECT_EQ(got.size() % 2, 1u);
    }
  }
}

TEST(LircDevice, AStandInHasNoFeaturesAndNeedsNoPreparation) {
  const auto path = std::filesystem::temp_directory_path() / "klimavo-lirc-standin";
  std::ofstream(path).put('x');
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::string error;
  const auto features = QueryLircFeatures(fd, &error);
  ASSERT_TRUE(features.has_value()) << error;
  EXPECT_FALSE(features->device);
  EXPECT_EQ(features->Describe(), "stream");
  EXPECT_EQ(PrepareLircReceiver(fd, *features), "");
  ::close(fd);
  // A descriptor that is not open is no stand-in: the query fails with the reason.
  EXPECT_FALSE(QueryLircFeatures(fd, &error).has_value());
  EXPECT_NE(error.find("features query failed"), std::string::npos);
}

TEST(LircDevice, SendWritesTheDurationsToARegularFileAndAPipe) {
  const ir::TIRIntegerArr signal{-700, 9000, -4500, 560, -1690, 560, -20000};
  const std::vector<std::uint32_t> expected{9000, 4500, 560, 1690, 560};

  const auto path = std::filesystem::temp_directory_path() / "klimavo-lirc-send";
  std::ofstream(path, std::ios::trunc).close();
  const int file = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(file, 0);
  std::vector<std::string> notes;
  EXPECT_EQ(SendLircSignal(file, signal, LircSendSettings{36000, 50}, &notes), "");
  ::close(file);
  EXPECT_TRUE(notes.empty());  // a stand-in has no settings to miss
  EXPECT_EQ(ReadWords(path), expected);

  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  EXPECT_EQ(SendLircSignal(pipe_fds[1], signal, {}), "");
  ::close(pipe_fds[1]);
  std::vector<std::uint32_t> got(8);
  const ssize_t n = ::read(pipe_fds[0], got.data(), got.size() * 4);
  ::close(pipe_fds[0]);
  got.resize(static_cast<std::size_t>(n > 0 ? n : 0) / 4);
  EXPECT_EQ(got, expected);
}

TEST(LircDevice, SendReportsFailuresInsteadOfSuccess) {
  const auto path = std::filesystem::temp_directory_path() / "klimavo-lirc-send-ro";
  std::ofstream(path, std::ios::trunc).close();
  const int read_only = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(read_only, 0);
  EXPECT_NE(SendLircSignal(read_only, {9000, -4500, 560}, {}).find("failed"), std::string::npos);
  EXPECT_EQ(SendLircSignal(read_only, {-4500}, {}), "the signal has no pulse");
  ::close(read_only);
  EXPECT_EQ(std::filesystem::file_size(path), 0u);

  // A reader that went away: the write fails (EPIPE), it is not reported as sent.
  int pipe_fds[2];
  ASSERT_EQ(::pipe(pipe_fds), 0);
  ::close(pipe_fds[0]);
  const auto previous = std::signal(SIGPIPE, SIG_IGN);
  EXPECT_NE(SendLircSignal(pipe_fds[1], {9000, -4500, 560}, {}), "");
  std::signal(SIGPIPE, previous);
  ::close(pipe_fds[1]);
}

TEST(LircDevice, ADeniedDeviceNamesTheUdevRuleThatGrantsAccess) {
  const std::string denied = LircOpenFailureMessage("/dev/lirc0", EACCES);
  EXPECT_EQ(denied.rfind("the IR device /dev/lirc0 cannot be opened: Permission denied", 0), 0u) << denied;
  const std::string rule = "70-klimavo-lirc.rules";
  ASSERT_NE(denied.find(rule), std::string::npos);
  EXPECT_EQ(LircOpenFailureMessage("/dev/lirc0", ENOENT).find("udev"), std::string::npos);
  // The rule the message names ships with the program and tags the lirc nodes for the seat's user.
  std::ifstream in(std::filesystem::path(KLIMAVO_SOURCE_DIR) / "packaging/udev" / rule);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("SUBSYSTEM==\"lirc\", KERNEL==\"lirc[0-9]*\", TAG+=\"uaccess\""), std::string::npos)
      << text;
}

}  // namespace
}  // namespace klimavo::device
