// The pulse feed's lines: (wparam, lparam) messages and pulse lists become
// trains in 0.1 µs with carrier 38000; anything else is ignored.
#include "device/pulse_feed_protocol.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
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
  // The socket lies in the user's private folder: $XDG_RUNTIME_DIR, else a
  // folder of the user's own in the temporary folder.
  const auto saved = [](const char* variable) {
    const char* value = std::getenv(variable);
    return value ? std::optional<std::string>(value) : std::nullopt;
  };
  const std::optional<std::string> tmpdir = saved("TMPDIR"), runtime = saved("XDG_RUNTIME_DIR");
  const std::string own = "klimavo-" + std::to_string(::getuid());
  ::setenv("XDG_RUNTIME_DIR", "/run/user/77/", 1);
  EXPECT_EQ(PulseFeedSocketPath(dir / "home"), std::filesystem::path("/run/user/77") / name);
  ::unsetenv("XDG_RUNTIME_DIR");
  ::setenv("TMPDIR", "/var/tmp/", 1);
  EXPECT_EQ(PulseFeedSocketPath(dir / "home"), std::filesystem::path("/var/tmp") / own / name);
  ::unsetenv("TMPDIR");
  EXPECT_EQ(PulseFeedSocketPath(dir / "home"), std::filesystem::path("/tmp") / own / name);
  if (tmpdir) ::setenv("TMPDIR", tmpdir->c_str(), 1);
  if (runtime) ::setenv("XDG_RUNTIME_DIR", runtime->c_str(), 1);
  std::filesystem::remove_all(dir);
}

// All connections of a feed together hold at most the budget: a line that
// would grow beyond it is dropped, and what a line held goes back when it ends
// or its connection closes.
TEST(PulseFeedReaderTest, TheConnectionsOfAFeedShareOneBudget) {
  PulseFeedBudget budget(100);
  std::vector<std::string> trains;
  const auto deliver = [&](const ir::TIRIntegerArr& d, std::int32_t) {
    trains.push_back(std::to_string(d.size()));
  };
  auto first = std::make_unique<PulseFeedReader>(deliver, &budget);
  PulseFeedReader second(deliver, &budget);
  std::string ones;
  for (int i = 0; i < 30; ++i) ones += "1 ";
  first->Feed("PULSES " + ones);  // unfinished: held
  EXPECT_EQ(budget.Used(), 67u);
  second.Feed("PULSES " + std::string(40, '2'));  // would pass the budget: dropped
  EXPECT_EQ(budget.Used(), 67u);
  second.Feed(" 3\nPULSES 4 5\n");  // the dropped line ends; the next one is read
  EXPECT_EQ(trains, std::vector<std::string>{"2"});
  first->Feed("\n");
  EXPECT_EQ(trains, (std::vector<std::string>{"2", "30"}));
  EXPECT_EQ(budget.Used(), 0u);
  first->Feed("PULSES 1 2");
  EXPECT_EQ(budget.Used(), 10u);
  first.reset();  // the connection closes
  EXPECT_EQ(budget.Used(), 0u);
}

// The feed's folder must be the user's own: otherwise another user could put
// a socket of their own under the feed's name and take the captures.
TEST(PulseFeedFolderTest, OnlyAPrivateFolderOfTheUserIsUsed) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "klimavo-feed-folder-test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::filesystem::path folder = dir / "feeds";
  EXPECT_NE(PreparePulseFeedFolder(folder, false), "");  // missing, not created
  EXPECT_EQ(PreparePulseFeedFolder(folder, true), "");
  struct stat status {};
  ASSERT_EQ(::lstat(folder.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0700u);
  struct Case {
    const char* what;
    std::function<void()> make;
    const char* says;
  };
  const Case cases[] = {
      {"open to others", [&] { ::chmod(folder.c_str(), 0755); }, "open to other users"},
      {"another user's", [&] { EXPECT_EQ(::chown(folder.c_str(), 4242, 4242), 0); }, "another user"},
      {"a link",
       [&] {
         std::filesystem::create_directories(dir / "real");
         std::filesystem::remove_all(folder);
         std::filesystem::create_directory_symlink(dir / "real", folder);
       },
       "not a real folder"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(folder);
    ASSERT_EQ(PreparePulseFeedFolder(folder, true), "") << c.what;
    c.make();
    EXPECT_NE(PreparePulseFeedFolder(folder, true).find(c.says), std::string::npos) << c.what;
  }

  // A socket under the feed's name is the user's own, or it is refused.
  std::filesystem::remove_all(folder);
  ASSERT_EQ(PreparePulseFeedFolder(folder, true), "");
  const std::filesystem::path socket_path = folder / "klimavo-feed-x";
  EXPECT_EQ(ForeignSocketProblem(socket_path), "");
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socket_path.c_str(), sizeof(address.sun_path) - 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  ::close(fd);
  EXPECT_EQ(ForeignSocketProblem(socket_path), "");
  ASSERT_EQ(::lchown(socket_path.c_str(), 4242, 4242), 0);
  EXPECT_NE(ForeignSocketProblem(socket_path).find("another user"), std::string::npos);
  std::filesystem::remove(socket_path);
  std::ofstream(socket_path) << "x";
  EXPECT_NE(ForeignSocketProblem(socket_path).find("not a socket"), std::string::npos);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace klimavo::device
