// The pulse feed's lines: (wparam, lparam) messages and pulse lists become
// trains in 0.1 µs with carrier 38000; anything else is ignored.
#include "device/pulse_feed_protocol.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace klimavo::device {
namespace {

// The trains a feed of `input` delivers, each as "d1,d2,...@carrier".
std::vector<std::string> TrainsOf(const std::vector<std::string>& chunks) {
  std::vector<std::string> trains;
  PulseFeedReader reader([&](const ir::TIRIntegerArr& d, std::int32_t carrier) {
    std::string text;
    for (std::size_t i = 0; i < d.size(); ++i) text += (i ? "," : "") + std::to_string(d[i]);
    trains.push_back(text + "@" + std::to_string(carrier));
  });
  for (const std::string& chunk : chunks) reader.Feed(chunk);
  return trains;
}

TEST(PulseFeedReaderTest, LinesBecomeTrains) {
  struct Case {
    const char* what;
    std::vector<std::string> chunks;
    std::vector<std::string> trains;
  };
  const std::vector<Case> cases = {
      {"three durations arrive once, after the third; a fourth is ignored",
       {"MSG 0 3\nMSG 1 9000\nMSG 2 -4500\nMSG 3 560\nMSG 4 7\n"},
       {"90000,-45000,5600@38000"}},
      {"the train goes when its last position is written, with what is still missing as 0",
       {"MSG 0 2\nMSG 2 -20\nMSG 1 10\n"},
       {"0,-200@38000"}},
      {"writing the last position again hands the train over again",
       {"MSG 0 1\nMSG 1 5\nMSG 1 6\n"},
       {"50@38000", "60@38000"}},
      {"a pulse list is a whole train", {"PULSES 9000 -4500 560 -560\n"}, {"90000,-45000,5600,-5600@38000"}},
      {"lines split across reads, CR LF, blanks and any letter case",
       {"pul", "ses  1\t-2 \r", "\nmsg 0 1\r\nMsg 1 3\n"},
       {"10,-20@38000", "30@38000"}},
      {"a line with a bad token is ignored whole, and so are other lines",
       {"PULSES 1 x 3\nHELLO 1 2\nMSG 1\nMSG 0 1 2\n\nPULSES 4\n"},
       {"40@38000"}},
      {"an empty pulse list and an empty train deliver nothing", {"PULSES\nMSG 0 0\nMSG 1 5\n"}, {}},
      {"durations whose tenth-microsecond count would not fit are refused",
       {"PULSES 214748365\nMSG 0 1\nMSG 1 -214748365\nMSG 1 -214748364\n"},
       {"-2147483640@38000"}},
      {"a negative or oversized length starts no train", {"MSG 0 -1\nMSG 0 1000001\nMSG 1 5\n"}, {}},
      {"an unfinished last line waits for its end", {"PULSES 1 2"}, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(TrainsOf(c.chunks), c.trains) << c.what;
}

TEST(PulseFeedReaderTest, AnOverlongLineIsDroppedAndTheNextOneRead) {
  std::string huge = "PULSES ";
  huge.append(kMaxFeedLineBytes, '1');
  EXPECT_EQ(TrainsOf({huge.substr(0, 100), huge.substr(100), "\nPULSES 2\n"}),
            (std::vector<std::string>{"20@38000"}));
}

TEST(PulseFeedReaderTest, BytesFedWhileATrainIsTakenWaitTheirTurn) {
  std::vector<std::int32_t> firsts;
  PulseFeedReader* self = nullptr;
  PulseFeedReader reader([&](const ir::TIRIntegerArr& d, std::int32_t) {
    firsts.push_back(d[0]);
    if (firsts.size() == 1) self->Feed("PULSES 7\nPUL");  // as a receiver waiting for the user may
    EXPECT_EQ(d, self->Train());
  });
  self = &reader;
  reader.Feed("PULSES 1\nPULSES 2\n");
  reader.Feed("SES 8\n");
  EXPECT_EQ(firsts, (std::vector<std::int32_t>{10, 20, 70, 80}));
}

TEST(PulseFeedNameTest, NamesTheHomeByUserAndResolvedPath) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "klimavo-feed-name-test";
  std::filesystem::create_directories(dir / "home");
  std::filesystem::remove(dir / "link");
  std::filesystem::create_directory_symlink(dir / "home", dir / "link");
  const std::string name = PulseFeedName(dir / "home");
  EXPECT_EQ(name.rfind("klimavo-feed-" + std::to_string(::getuid()) + "-", 0), 0u);
  EXPECT_EQ(name.size(), std::string("klimavo-feed--").size() + std::to_string(::getuid()).size() + 8);
  EXPECT_EQ(PulseFeedName(dir / "link"), name);
  EXPECT_EQ(PulseFeedName(dir / "home" / ""), name);
  EXPECT_NE(PulseFeedName(dir), name);
  const char* old = std::getenv("TMPDIR");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  ::setenv("TMPDIR", "/var/tmp/", 1);
  EXPECT_EQ(PulseFeedSocketPath(dir / "home"), std::filesystem::path("/var/tmp") / name);
  ::unsetenv("TMPDIR");
  EXPECT_EQ(PulseFeedSocketPath(dir / "home"), std::filesystem::path("/tmp") / name);
  if (saved) ::setenv("TMPDIR", saved->c_str(), 1);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace klimavo::device
