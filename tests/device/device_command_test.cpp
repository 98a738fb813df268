// `klimavo-cli device`: decode-packet output and exit statuses, and a whole
// simulated listening session, through the real executable.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct Result {
  int status = -1;
  std::string out;
};

Result RunCli(const std::string& arguments, const char* stderr_to = "/dev/null",
              const std::string& prefix = "") {
  const char* cli = std::getenv("KLIMAVO_CLI");
  Result result;
  const std::filesystem::path home = std::filesystem::temp_directory_path() / "klimavo-device-cli-test";
  const std::string command =
      prefix + std::string(cli) + " --home " + home.string() + " " + arguments + " 2>" + stderr_to;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) result.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

class DeviceCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("KLIMAVO_CLI"), nullptr) << "KLIMAVO_CLI names the klimavo-cli to test";
  }
};

TEST_F(DeviceCommand, DecodePacketPrintsTheCaptureAsJson) {
  const struct {
    const char* args;
    int status;
    const char* out;
  } cases[] = {
      // K = 2, N = 3, C = 0: seven values, the final mark taken from the last pair.
      {"--model 0 AA00020300000084 DC05941100000000 08070B0400000000 1000000000000000", 0,
       "{\"ok\": true, \"carrier\": 0, \"durations\": [5000, -15000, 6000, -3450, 5000, -15000, 5000]}\n"},
      {"--model 11 AA02050010009C01F0019C01D8049C01", 0,
       "{\"ok\": true, \"carrier\": 38000, \"durations\": [460, -500, 130]}\n"},
      {"--model 0 0000020300000084", 1, "{\"ok\": false, \"carrier\": 0, \"durations\": []}\n"},
      {"--model 12 AA00000301002B00", 1, "{\"ok\": false, \"carrier\": 0, \"durations\": []}\n"},
      {"--model 0 AAX0", 2, ""},
      {"--model 13 AA", 2, ""},
  };
  for (const auto& c : cases) {
    const Result r = RunCli(std::string("device decode-packet ") + c.args);
    EXPECT_EQ(r.status, c.status) << c.args;
    EXPECT_EQ(r.out, c.out) << c.args;
  }
}

TEST_F(DeviceCommand, SimulatedListenPrintsEveryCapture) {
  const std::filesystem::path file =
      std::filesystem::temp_directory_path() / "klimavo-device-cli-captures.txt";
  {
    std::ofstream out(file);
    out << "9000 -4500 560 -1690 560 -560 560 -1690 560 -560 560 -1690 560 -560 560 -1690 560 -560 560\n\n"
        << "3000 -3000 500 -1500 500 -500 500 -1500 500\n";
  }
  for (const char* model : {"7", "11", "12"}) {
    const Result r =
        RunCli("device listen --json --simulate " + file.string() + " --simulate-model " + model);
    EXPECT_EQ(r.status, 0) << model;
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << model << "\n" << r.out;
    EXPECT_EQ(r.out.rfind("{\"carrier\": ", 0), 0u) << model;
    EXPECT_NE(r.out.find("\"durations_us\": [9000, -4500, 560, -1690"), std::string::npos) << model << "\n"
                                                                                           << r.out;
  }
  std::filesystem::remove(file);
}

TEST_F(DeviceCommand, SimulatedProgramOfARawImage) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "klimavo-device-cli-image.bin";
  {
    std::ofstream out(file, std::ios::binary);
    for (int i = 0; i < 40; ++i) out.put(static_cast<char>(i));
  }
  EXPECT_EQ(RunCli("device program --simulate --image " + file.string()).status, 0);
  std::filesystem::remove(file);
  EXPECT_EQ(RunCli("device program --simulate --image " + file.string()).status, 2);
}

TEST_F(DeviceCommand, CtrlCCancelsTheTransfer) {
  // Every block is answered wrongly, so the transfer never completes; Ctrl-C
  // after a second stops it with exit status 1.
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "klimavo-device-cli-cancel.bin";
  {
    std::ofstream out(file, std::ios::binary);
    for (int i = 0; i < 40; ++i) out.put(static_cast<char>(i));
  }
  const Result r = RunCli("device program --simulate --simulate-wrong-replies 1000 --image " + file.string(),
                          "/dev/null", "timeout --preserve-status -s INT 1 ");
  std::filesystem::remove(file);
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find("\nError Code:AA 5A 00 \n"), std::string::npos) << r.out;
}

TEST_F(DeviceCommand, ImagesTheRemoteCannotHoldAreRefusedBeforeAnythingIsSent) {
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "klimavo-device-cli-size.bin";
  const struct {
    std::size_t size;
    const char* limit;
  } cases[] = {{8192, "4132"}, {4133, "4132"}, {16, "32-byte"}};
  for (const auto& c : cases) {
    {
      std::ofstream out(file, std::ios::binary);
      out << std::string(c.size, '\x5A');
    }
    const Result r = RunCli("device program --simulate --image " + file.string(), "&1");
    EXPECT_EQ(r.status, 2) << c.size;
    EXPECT_NE(r.out.find(std::to_string(c.size) + " bytes"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(c.limit), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("programmed"), std::string::npos) << r.out;
  }
  std::filesystem::remove(file);
}

}  // namespace
