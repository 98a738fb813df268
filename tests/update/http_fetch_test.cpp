// One GET of an update file against a local server that behaves well or
// misbehaves on purpose, from a shared folder, and cancelled from another thread.
#include "update/http_fetch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "test_http_server.h"
#include "test_tls_server.h"
#include "update_home.h"

namespace klimavo::update {
namespace {

using testing::Route;
using namespace std::chrono_literals;

/// The read time-out of these tests: short, so a stalled server fails fast.
constexpr std::chrono::milliseconds kShortTimeout{300};

FetchRequest Request(const std::string& url, std::size_t max_bytes = 1000) {
  FetchRequest request;
  request.url = url;
  request.read_timeout = kShortTimeout;
  request.max_bytes = max_bytes;
  return request;
}

TEST(HttpFetch, EachBehaviourOfTheServerEndsAsItShould) {
  testing::TestHttpServer server;
  const std::string body(600, 'x');
  server.Serve("/ok", body);
  server.Set("/missing", Route{"", Route::Mode::kNotFound});
  server.Set("/cut", Route{body, Route::Mode::kCloseMidway, true, 200});
  server.Set("/stall", Route{body, Route::Mode::kStall, true, 0, 1, 5000ms});
  server.Set("/stall-mid", Route{body, Route::Mode::kTrickle, true, 0, 300, 5000ms});
  server.Set("/slow-but-steady", Route{std::string(40, 's'), Route::Mode::kTrickle, true, 0, 4, 100ms});
  server.Serve("/announced-too-large", std::string(1001, 'x'));
  server.Set("/unannounced-too-large", Route{std::string(5000, 'x'), Route::Mode::kServe, false});
  server.Set("/unannounced-at-cap", Route{std::string(1000, 'x'), Route::Mode::kServe, false});
  server.Serve("/empty", "");
  const struct {
    const char* path;
    FetchStatus status;
    std::size_t bytes;
  } cases[] = {
      {"/ok", FetchStatus::kOk, 600},
      {"/missing", FetchStatus::kHttpError, 0},
      {"/cut", FetchStatus::kFailed, 0},
      {"/stall", FetchStatus::kTimedOut, 0},
      {"/stall-mid", FetchStatus::kTimedOut, 0},
      // Slower in total than the time-out, but never silent for that long.
      {"/slow-but-steady", FetchStatus::kOk, 40},
      {"/announced-too-large", FetchStatus::kTooLarge, 0},
      {"/unannounced-too-large", FetchStatus::kTooLarge, 0},
      {"/unannounced-at-cap", FetchStatus::kOk, 1000},
      {"/empty", FetchStatus::kOk, 0},
  };
  for (const auto& c : cases) {
    HttpFetch fetch;
    const auto start = std::chrono::steady_clock::now();
    const FetchResult result = fetch.Run(Request(server.BaseUrl() + c.path), nullptr);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.status, c.status) << c.path << ": " << result.detail;
    EXPECT_EQ(result.body.size(), c.bytes) << c.path;
    EXPECT_EQ(result.ok(), result.detail.empty()) << c.path;
    // A stalled server is given up after about the time-out, not after its 5 s.
    EXPECT_LT(took, 3s) << c.path;
  }
  EXPECT_EQ(HttpFetch().Run(Request(server.BaseUrl() + "/missing"), nullptr).http_status, 404);
}

TEST(HttpFetch, ReportsProgressUpToTheWholeBody) {
  testing::TestHttpServer server;
  server.Set("/file", Route{std::string(64, 'p'), Route::Mode::kTrickle, true, 0, 16, 20ms});
  std::vector<std::pair<std::int64_t, std::int64_t>> reports;
  HttpFetch fetch;
  const FetchResult result =
      fetch.Run(Request(server.BaseUrl() + "/file"),
                [&](std::int64_t total, std::int64_t now) { reports.emplace_back(total, now); });
  ASSERT_TRUE(result.ok()) << result.detail;
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back(), std::make_pair(std::int64_t{64}, std::int64_t{64}));
  for (std::size_t i = 1; i < reports.size(); ++i) EXPECT_LE(reports[i - 1].second, reports[i].second);
}

TEST(HttpFetch, CancelCutsOffAWaitingTransferAtOnce) {
  testing::TestHttpServer server;
  server.Set("/stall", Route{"late", Route::Mode::kStall, true, 0, 1, 20s});
  server.Set("/trickle", Route{std::string(1000, 't'), Route::Mode::kTrickle, true, 0, 1, 50ms});
  for (const char* path : {"/stall", "/trickle"}) {
    HttpFetch fetch;
    FetchRequest request = Request(server.BaseUrl() + path);
    request.read_timeout = 30s;
    std::atomic<bool> running{false};
    FetchResult result;
    std::thread worker([&] {
      running = true;
      result = fetch.Run(request, nullptr);
    });
    while (!running || server.RequestsFor(path) == 0) std::this_thread::sleep_for(5ms);
    const auto start = std::chrono::steady_clock::now();
    fetch.Cancel();
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s) << path;
    EXPECT_EQ(result.status, FetchStatus::kCancelled) << path;
    EXPECT_TRUE(result.body.empty()) << path;
    // A cancelled fetch stays cancelled.
    EXPECT_EQ(fetch.Run(Request(server.BaseUrl() + "/stall"), nullptr).status, FetchStatus::kCancelled);
  }
}

TEST(HttpFetch, ReadsFromASharedFolderAndRefusesOtherSchemes) {
  const std::filesystem::path dir = testing::TempFolder("http-fetch-test");
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "up.txt") << "softid=1\n";
  std::ofstream(dir / "big.dat") << std::string(2000, 'b');
  const std::string folder = "file://" + dir.string();
  EXPECT_EQ(HttpFetch().Run(Request(folder + "/up.txt"), nullptr).body, "softid=1\n");
  EXPECT_EQ(HttpFetch().Run(Request(folder + "/none.txt"), nullptr).status, FetchStatus::kFailed);
  EXPECT_EQ(HttpFetch().Run(Request(folder + "/big.dat"), nullptr).status, FetchStatus::kTooLarge);
  EXPECT_EQ(HttpFetch().Run(Request("ftp://127.0.0.1/up.txt"), nullptr).status, FetchStatus::kFailed);
  EXPECT_EQ(HttpFetch().Run(Request("dict://127.0.0.1/up.txt"), nullptr).status, FetchStatus::kFailed);
  std::filesystem::remove_all(dir);
}

// A shared folder is writable by others: what stands there under a published
// name may be anything. Only a regular file itself (no link) is read; a
// FIFO must not make the fetch wait for a writer that never comes.
TEST(HttpFetch, ASharedFolderServesOnlyRegularFiles) {
  const std::filesystem::path dir = testing::TempFolder("http-fetch-kinds");
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "folder.dat");
  std::ofstream(dir / "plain.dat") << "plain";
  std::filesystem::create_symlink(dir / "plain.dat", dir / "link.dat");
  std::filesystem::create_symlink("/dev/zero", dir / "zero.dat");
  ASSERT_EQ(::mkfifo((dir / "fifo.dat").c_str(), 0600), 0);
  const struct {
    const char* name;
    FetchStatus status;
    const char* body;
  } cases[] = {
      {"plain.dat", FetchStatus::kOk, "plain"},
      {"link.dat", FetchStatus::kFailed, ""},  // a link could name any file of the user's
      {"folder.dat", FetchStatus::kFailed, ""},
      {"zero.dat", FetchStatus::kFailed, ""},
      {"fifo.dat", FetchStatus::kFailed, ""},
  };
  for (const auto& c : cases) {
    const std::filesystem::path file = dir / c.name;
    auto fetch = std::async(std::launch::async,
                            [&] { return HttpFetch().Run(Request("file://" + file.string()), nullptr); });
    if (fetch.wait_for(5s) == std::future_status::timeout) {
      // Let a fetch that waits on the FIFO go, so the test ends.
      const int writer = ::open(file.c_str(), O_WRONLY | O_NONBLOCK);
      if (writer >= 0) ::close(writer);
      ADD_FAILURE() << c.name << ": the fetch did not end";
      continue;
    }
    const FetchResult result = fetch.get();
    EXPECT_EQ(result.status, c.status) << c.name << ": " << result.detail;
    EXPECT_EQ(result.body, c.body) << c.name;
    if (!result.ok()) {
      EXPECT_NE(result.detail.find("not a regular file"), std::string::npos) << result.detail;
    }
  }
  std::filesystem::remove_all(dir);
}

TEST(HttpFetch, HttpsRefusesACertificateNoAuthoritySigned) {
  testing::TestTlsServer server;
  FetchRequest request = Request(server.BaseUrl() + "/upld/ac/v2/up.txt");
  request.read_timeout = 10s;  // loading the authorities and the handshake take their time
  const FetchResult result = HttpFetch().Run(request, nullptr);
  EXPECT_EQ(result.status, FetchStatus::kFailed);
  EXPECT_NE(result.detail.find("certificate"), std::string::npos) << result.detail;
  EXPECT_TRUE(result.body.empty());
  EXPECT_EQ(server.Handshakes(), 1);
  EXPECT_EQ(server.Answered(), 0);
}

TEST(HttpFetch, AProxyIsAskedForTheWholeAddress) {
  testing::TestHttpServer proxy;
  proxy.Serve("/upld/ac/v2/up.txt", "through the proxy");
  FetchRequest request = Request("http://update.invalid/upld/ac/v2/up.txt");
  request.proxy_host = "127.0.0.1";
  request.proxy_port = proxy.Port();
  const FetchResult result = HttpFetch().Run(request, nullptr);
  ASSERT_TRUE(result.ok()) << result.detail;
  EXPECT_EQ(result.body, "through the proxy");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0], "http://update.invalid/upld/ac/v2/up.txt");
}

}  // namespace
}  // namespace klimavo::update
