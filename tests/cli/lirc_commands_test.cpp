// `klimavo-cli capture` and `klimavo-cli send` through the real executable,
// with regular files standing in for the kernel IR devices: a recorded mode2
// stream of the real capture corpus becomes the same corpus again, and `send`
// writes exactly the emulated signal of a record in pulse mode.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <vector>

#include "capture/capture_format.h"
#include "cli/cli_runner.h"
#include "device/lirc_device.h"
#include "device/lirc_samples.h"

namespace klimavo::cli {
namespace {

using testing::RunCli;
namespace fs = std::filesystem;

class LircCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        fs::temp_directory_path() /
        ("klimavo-lirc-cli-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    home_ = dir_ / "home";
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  fs::path home_;
};

std::vector<capture::CaptureRead> ReadCaptures(const fs::path& file) {
  capture::ReadOptions options;
  options.source = file.string();
  const capture::ReadResult read = capture::ReadCaptureFile(file, options);
  EXPECT_TRUE(read.ok()) << (read.error ? read.error->What() : "");
  return read.captures;
}

// The captures as a kernel receiver reports them: carrier, pulses and spaces, timeout.
void WriteMode2(const fs::path& path, const std::vector<capture::CaptureRead>& captures,
                std::size_t stray_bytes = 0) {
  using device::Mode2Kind;
  std::vector<std::uint32_t> raw;
  for (const auto& c : captures) {
    raw.push_back(device::EncodeMode2Sample(Mode2Kind::kFrequency, static_cast<std::uint32_t>(c.carrier)));
    for (const std::int32_t d : c.durations)
      raw.push_back(device::EncodeMode2Sample(d > 0 ? Mode2Kind::kPulse : Mode2Kind::kSpace,
                                              static_cast<std::uint32_t>(d > 0 ? d : -d)));
    raw.push_back(device::EncodeMode2Sample(Mode2Kind::kTimeout, 125000));
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(raw.data()), static_cast<std::streamsize>(raw.size() * 4));
  out.write("\x01\x02\x03", static_cast<std::streamsize>(stray_bytes));
}

TEST_F(LircCommands, CaptureTurnsARecordedStreamOfTheCorpusBackIntoTheCorpus) {
  const auto corpus = ReadCaptures(KLIMAVO_CORPUS_FILE);
  ASSERT_GT(corpus.size(), 100u);
  const fs::path stream = dir_ / "corpus.mode2";
  WriteMode2(stream, corpus);
  const fs::path out = dir_ / "captured.jsonl";
  const auto r = RunCli(home_, {"capture", "--source", "lirc:" + stream.string(), "--out", out.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("captures: " + std::to_string(corpus.size()) + "\n"), std::string::npos) << r.err;
  const auto captured = ReadCaptures(out);
  ASSERT_EQ(captured.size(), corpus.size());
  for (std::size_t i = 0; i < corpus.size(); ++i) {
    ASSERT_EQ(captured[i].durations, corpus[i].durations) << i;
    EXPECT_EQ(captured[i].carrier, corpus[i].carrier) << i;
    EXPECT_EQ(captured[i].name, "capture " + std::to_string(i + 1));
    EXPECT_EQ(captured[i].origin, "lirc:" + stream.string());
  }
}

TEST_F(LircCommands, CaptureStopsAtTheCountAndReportsSourcesThatFallShort) {
  const auto corpus = ReadCaptures(KLIMAVO_CORPUS_FILE);
  const std::vector<capture::CaptureRead> three(corpus.begin(), corpus.begin() + 3);
  const fs::path stream = dir_ / "three.mode2";
  WriteMode2(stream, three);

  const auto two = RunCli(home_, {"capture", "--source", "lirc:" + stream.string(), "--count", "2"});
  EXPECT_EQ(two.status, 0) << two.err;
  EXPECT_EQ(std::count(two.out.begin(), two.out.end(), '\n'), 2);
  const auto first = nlohmann::json::parse(two.out.substr(0, two.out.find('\n')));
  EXPECT_EQ(first["durations_us"].get<std::vector<int>>(),
            std::vector<int>(three[0].durations.begin(), three[0].durations.end()));
  EXPECT_EQ(first["carrier_hz"], three[0].carrier);

  const auto short_of = RunCli(home_, {"capture", "--source", "lirc:" + stream.string(), "--count", "5"});
  EXPECT_EQ(short_of.status, 1);
  EXPECT_EQ(std::count(short_of.out.begin(), short_of.out.end(), '\n'), 3);  // what came is kept
  EXPECT_NE(short_of.err.find("ended after 3 of 5 captures"), std::string::npos) << short_of.err;

  const fs::path broken = dir_ / "broken.mode2";
  WriteMode2(broken, three, 3);
  const auto cut = RunCli(home_, {"capture", "--source", "lirc:" + broken.string()});
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(std::count(cut.out.begin(), cut.out.end(), '\n'), 3);
  EXPECT_NE(cut.err.find("ends inside a sample (3 of 4 bytes)"), std::string::npos) << cut.err;
}

TEST_F(LircCommands, CaptureRefusesUnusableSources) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"capture", "--source", "usb"}, "--source must be"},
      {{"capture", "--source", "learner:x"}, "--source must be"},
      {{"capture", "--source", "lirc:"}, "is empty"},
      {{"capture", "--source", "lirc:/nonexistent/lirc7"}, "cannot be opened"},
      {{"capture", "--source", "simulate:/nonexistent/captures.txt"}, "/nonexistent/captures.txt"},
      {{"capture", "--source", "lirc:/dev/null", "--out", "/nonexistent/dir/out.jsonl"}, "cannot write"},
  };
  for (const auto& c : cases) {
    const auto r = RunCli(home_, c.args);
    EXPECT_EQ(r.status, 2) << c.args[2];
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args[2] << ": " << r.err;
  }
  // An output file is not emptied by a run that records nothing.
  const fs::path kept = dir_ / "kept.jsonl";
  const std::string before = "{\"durations_us\": [500]}\n";
  std::ofstream(kept) << before;
  const auto r = RunCli(home_, {"capture", "--source", "lirc:/nonexistent/lirc7", "--out", kept.string()});
  EXPECT_EQ(r.status, 2);
  std::ifstream in(kept);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), before);
}

TEST_F(LircCommands, CaptureFromASimulatedLearnerWritesEveryCapture) {
  const fs::path captures = dir_ / "captures.txt";
  std::ofstream(captures) << "9000 -4500 560 -1690 560 -560 560 -1690 560 -560 560 -1690 560 -560 560\n\n"
                          << "3000 -3000 500 -1500 500 -500 500 -1500 500\n";
  const auto r = RunCli(home_, {"capture", "--source", "simulate:" + captures.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  ASSERT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 2) << r.out;
  const auto second = nlohmann::json::parse(r.out.substr(r.out.find('\n') + 1));
  EXPECT_EQ(second["source"], "simulate:" + captures.string());
  EXPECT_EQ(second["name"], "capture 2");
  EXPECT_EQ(second["durations_us"].size(), 9u);
}

std::vector<std::uint32_t> Words(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::uint32_t> words(bytes.size() / 4);
  std::memcpy(words.data(), bytes.data(), words.size() * 4);
  return words;
}

TEST_F(LircCommands, SendWritesTheEmulatedSignalInPulseMode) {
  const auto emulated = RunCli(home_, {"emulate", "0", "--key", "1", "--states", "1,3,1,0,0,0", "--json"});
  ASSERT_EQ(emulated.status, 0) << emulated.err;
  const auto micros = nlohmann::json::parse(emulated.out)["durations_us"].get<ir::TIRIntegerArr>();
  const auto expected = device::PulseModeDurations(micros);
  ASSERT_GT(expected.size(), 10u);

  const fs::path standin = dir_ / "lirc-standin";
  std::ofstream(standin).close();
  const auto r = RunCli(home_, {"send", "--record", "0", "--key", "1", "--states", "1,3,1,0,0,0", "--device",
                                standin.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("sent " + std::to_string(expected.size()) + " durations"), std::string::npos) << r.err;
  EXPECT_EQ(Words(standin), expected);
}

TEST_F(LircCommands, SendRefusesWhatItCannotSendAndSaysWhy) {
  const fs::path missing = dir_ / "no-such-device";
  const struct {
    std::vector<std::string> args;
    int status;
    const char* message;
  } cases[] = {
      {{"--record", "0", "--key", "0", "--states", "1,1,1", "--device", missing.string()}, 2, "six values"},
      {{"--record", "9999", "--key", "0", "--states", "1,1,1,0,0,0", "--device", missing.string()},
       2,
       "not in the library"},
      {{"--record", "0", "--key", "6", "--states", "1,1,1,0,0,0", "--device", missing.string()}, 2, "--key"},
      // A mistyped device is an error, and no file appears that "received" the signal.
      {{"--record", "0", "--key", "0", "--states", "1,1,1,0,0,0", "--device", missing.string()},
       1,
       "cannot be opened"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"send"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = RunCli(home_, args);
    EXPECT_EQ(r.status, c.status) << c.message << ": " << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(missing));
}

}  // namespace
}  // namespace klimavo::cli
