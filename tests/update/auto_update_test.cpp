// The automatic update check: its verdict on the server's list, its silence on
// every error, the wait for the main window to become active, and its end on
// destruction without a deadlock and without a notice.
#include "update/auto_update.h"

#include <gtest/gtest.h>

#include <optional>
#include <thread>

#include "test_http_server.h"
#include "update_home.h"

namespace klimavo::update {
namespace {

using testing::ListText;
using testing::Route;
using testing::TestHttpServer;
using testing::UpdateHome;
using namespace std::chrono_literals;

constexpr const char* kList = "/upld/ac/v2/up.txt";
constexpr AutoCheckTiming kFastTiming{20ms, 20ms};

struct Notice {
  bool update = false;
  std::string msg;
};

ServerSettings Server(const std::string& base_url) {
  ServerSettings settings = CheckSettings(base_url);
  settings.read_timeout = 300ms;
  return settings;
}

/// Runs one check to its notice; nullopt when no notice came within `wait`.
std::optional<Notice> CheckOnce(const ServerSettings& server, const UpdateHome& home,
                                std::chrono::milliseconds wait = 10s) {
  base::EventLoopDispatcher loop;
  std::optional<Notice> notice;
  TIRAutoUpdate checker(
      loop, server, home.path() / "config.ini", [] { return false; },
      [&](bool update, const std::string& msg) {
        notice = Notice{update, msg};
      },
      kFastTiming);
  checker.Start();
  loop.RunUntil([&] { return notice.has_value(); }, wait);
  return notice;
}

TEST(AutoUpdate, VerdictOnTheServersList) {
  const struct {
    const char* what;
    Route route;
    bool update;
  } cases[] = {
      {"all dates equal", Route{ListText({{"acprotocl.dat", "2024-01-01"}, {"picmem.dat", "2024-01-01"}})},
       false},
      {"one date differs", Route{ListText({{"acprotocl.dat", "2024-01-01"}, {"picmem.dat", "2024-02-01"}})},
       true},
      {"softid 3, all dates equal", Route{ListText({{"acprotocl.dat", "2024-01-01"}}, 3)}, true},
      {"softid missing", Route{"msg=hello\nfilecount=1\nfilename0=acprotocl.dat\nfiledate0=new\n"}, false},
      {"empty list", Route{""}, false},
      {"404", Route{"", Route::Mode::kNotFound}, false},
      {"slower than the time-out",
       Route{ListText({{"acprotocl.dat", "new"}}), Route::Mode::kStall, true, 0, 1, 5s}, false},
      {"closed mid-list", Route{ListText({{"acprotocl.dat", "new"}}), Route::Mode::kCloseMidway, true, 10},
       false},
      {"beyond the cap", Route{ListText({{"acprotocl.dat", "new"}}) + std::string(kMaxListBytes, '#')},
       false},
  };
  for (const auto& c : cases) {
    TestHttpServer server;
    UpdateHome home("auto-verdict");
    server.Set(kList, c.route);
    const auto before = home.Snapshot();
    const std::optional<Notice> notice = CheckOnce(Server(server.BaseUrl()), home);
    ASSERT_TRUE(notice.has_value()) << c.what;
    EXPECT_EQ(notice->update, c.update) << c.what;
    EXPECT_EQ(home.Snapshot(), before) << c.what;
  }
}

TEST(AutoUpdate, TheNoticeCarriesTheListsMessage) {
  TestHttpServer server;
  UpdateHome home("auto-msg");
  server.Serve(kList, ListText({{"acprotocl.dat", "new"}}, 1, "\xD0\xC2\xB0\xE6"));
  const std::optional<Notice> notice = CheckOnce(Server(server.BaseUrl()), home);
  ASSERT_TRUE(notice.has_value());
  EXPECT_TRUE(notice->update);
  EXPECT_EQ(notice->msg, "\xD0\xC2\xB0\xE6");
}

TEST(AutoUpdate, TheCheckNeverUsesAProxy) {
  // A proxy in the environment is not asked either.
  TestHttpServer server;
  TestHttpServer proxy;
  UpdateHome home("auto-proxy");
  server.Serve(kList, ListText({{"acprotocl.dat", "new"}}));
  ::setenv("http_proxy", proxy.BaseUrl().c_str(), 1);
  ::unsetenv("no_proxy");
  ::unsetenv("NO_PROXY");
  const std::optional<Notice> notice = CheckOnce(Server(server.BaseUrl()), home);
  ::unsetenv("http_proxy");
  ASSERT_TRUE(notice.has_value());
  EXPECT_TRUE(notice->update);
  EXPECT_TRUE(proxy.Requests().empty());
}

TEST(AutoUpdate, WithoutAServerNothingRuns) {
  UpdateHome home("auto-no-server");
  base::EventLoopDispatcher loop;
  bool noticed = false;
  TIRAutoUpdate checker(
      loop, CheckSettings(""), home.path() / "config.ini", [] { return false; },
      [&](bool, const std::string&) { noticed = true; }, kFastTiming);
  checker.Start();
  EXPECT_TRUE(checker.Finished());
  loop.RunUntil([] { return false; }, 100ms);
  EXPECT_FALSE(noticed);
}

TEST(AutoUpdate, AnUpdateWaitsUntilTheWindowIsActive) {
  TestHttpServer server;
  UpdateHome home("auto-wait");
  server.Serve(kList, ListText({{"acprotocl.dat", "new"}}));
  base::EventLoopDispatcher loop;
  const std::thread::id owner = std::this_thread::get_id();
  int questions = 0;
  bool asked_on_owner_thread = true;
  std::optional<int> questions_at_notice;
  TIRAutoUpdate checker(
      loop, Server(server.BaseUrl()), home.path() / "config.ini",
      [&] {
        asked_on_owner_thread = asked_on_owner_thread && std::this_thread::get_id() == owner;
        return ++questions < 4;  // inactive for the first three questions
      },
      [&](bool update, const std::string&) {
        EXPECT_TRUE(update);
        questions_at_notice = questions;
      },
      kFastTiming);
  checker.Start();
  ASSERT_TRUE(loop.RunUntil([&] { return questions_at_notice.has_value(); }, 10s));
  EXPECT_EQ(*questions_at_notice, 4);
  EXPECT_TRUE(asked_on_owner_thread);
  EXPECT_TRUE(loop.RunUntil([&] { return checker.Finished(); }, 5s));
}

TEST(AutoUpdate, NoUpdateDoesNotAskAboutTheWindow) {
  TestHttpServer server;
  UpdateHome home("auto-no-question");
  server.Serve(kList, ListText({{"acprotocl.dat", "2024-01-01"}}));
  base::EventLoopDispatcher loop;
  int questions = 0;
  std::optional<bool> result;
  TIRAutoUpdate checker(
      loop, Server(server.BaseUrl()), home.path() / "config.ini", [&] { return ++questions > 0; },
      [&](bool update, const std::string&) { result = update; }, kFastTiming);
  checker.Start();
  ASSERT_TRUE(loop.RunUntil([&] { return result.has_value(); }, 10s));
  EXPECT_FALSE(*result);
  EXPECT_EQ(questions, 0);
}

// Destroyed in each phase of its life, the checker stops at once and never
// shows its notice: before the check, during a stalled download, while it
// waits for an inactive window (its question pending on the owner's thread).
TEST(AutoUpdate, DestructionStopsTheCheckInEveryPhase) {
  enum class Phase { kStartDelay, kDownload, kWaitingForWindow };
  for (Phase phase : {Phase::kStartDelay, Phase::kDownload, Phase::kWaitingForWindow}) {
    TestHttpServer server;
    UpdateHome home("auto-destroy");
    server.Set(kList, phase == Phase::kDownload ? Route{"softid=3", Route::Mode::kStall, true, 0, 1, 20s}
                                                : Route{ListText({{"acprotocl.dat", "new"}})});
    base::EventLoopDispatcher loop;
    bool noticed = false;
    int questions = 0;
    AutoCheckTiming timing = kFastTiming;
    if (phase == Phase::kStartDelay) timing.start_delay = 20s;
    if (phase == Phase::kWaitingForWindow) timing.retry_interval = 20s;
    ServerSettings settings = Server(server.BaseUrl());
    settings.read_timeout = 30s;
    auto checker = std::make_unique<TIRAutoUpdate>(
        loop, settings, home.path() / "config.ini",
        [&] {
          ++questions;
          return true;
        },
        [&](bool, const std::string&) { noticed = true; }, timing);
    checker->Start();
    switch (phase) {
      case Phase::kStartDelay:
        loop.RunUntil([] { return false; }, 50ms);
        break;
      case Phase::kDownload:
        ASSERT_TRUE(loop.RunUntil([&] { return server.RequestsFor(kList) == 1; }, 10s));
        break;
      case Phase::kWaitingForWindow:
        ASSERT_TRUE(loop.RunUntil([&] { return questions == 1; }, 10s));
        break;
    }
    const auto start = std::chrono::steady_clock::now();
    checker.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << static_cast<int>(phase);
    loop.RunUntil([] { return false; }, 50ms);
    EXPECT_FALSE(noticed) << static_cast<int>(phase);
  }
}

// The thread waits for its question while the owner destroys the checker: the
// destruction serves the question, so neither side waits for ever.
TEST(AutoUpdate, DestructionWhileTheQuestionIsPendingDoesNotDeadlock) {
  TestHttpServer server;
  UpdateHome home("auto-pending");
  server.Serve(kList, ListText({{"acprotocl.dat", "new"}}));
  base::EventLoopDispatcher loop;
  std::atomic<int> questions{0};
  bool noticed = false;
  auto checker = std::make_unique<TIRAutoUpdate>(
      loop, Server(server.BaseUrl()), home.path() / "config.ini",
      [&] {
        ++questions;
        return true;
      },
      [&](bool, const std::string&) { noticed = true; }, kFastTiming);
  checker->Start();
  // Do not serve: the first question stays queued while the thread waits for it.
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < deadline && server.RequestsFor(kList) == 0)
    std::this_thread::sleep_for(5ms);
  std::this_thread::sleep_for(100ms);
  const auto start = std::chrono::steady_clock::now();
  checker.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_LE(questions.load(), 1);
  loop.RunUntil([] { return false; }, 50ms);
  EXPECT_FALSE(noticed);
}

}  // namespace
}  // namespace klimavo::update
