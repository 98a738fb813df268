// The download sequence of the update dialog against a local server that
// behaves well or misbehaves in every way, with listed names that try to leave
// the data folder: the home holds either the old or the new files, never a
// partial or foreign one, and only copied files have their dates recorded.
#include "update/update_download.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "base/file_lock.h"
#include "base/ini_file.h"
#include "lang/language.h"
#include "test_http_server.h"
#include "update/update_install.h"
#include "update_home.h"

namespace klimavo::update {
namespace {

using testing::kNewLibrary;
using testing::kNewPictures;
using testing::kOldLibrary;
using testing::kOldPictures;
using testing::LibraryText;
using testing::ListText;
using testing::PicturesText;
using testing::Route;
using testing::TestHttpServer;
using testing::UpdateHome;
using namespace std::chrono_literals;

constexpr const char* kList = "/upld/ac/v2/up.txt";
constexpr const char* kLibrary = "/upld/ac/v2/acprotocl.dat";
constexpr const char* kPictures = "/upld/ac/v2/picmem.dat";

ServerSettings Settings(const std::string& base_url) {
  ServerSettings settings;
  settings.base_url = base_url;
  settings.read_timeout = 300ms;
  settings.max_list_bytes = 2000;
  settings.max_file_bytes = 1000;
  return settings;
}

/// One run of the sequence, with what it reported.
struct SequenceRun {
  UpdateOutcome outcome;
  std::vector<std::string> downloading;
  int progress_reports = 0;
  bool installing = false;
  bool finished = false;
};

SequenceRun RunSequence(const ServerSettings& settings, const UpdateHome& home) {
  base::EventLoopDispatcher loop;
  SequenceRun run;
  UpdateDownload::Events events;
  events.downloading = [&](const std::string& name) { run.downloading.push_back(name); };
  events.progress = [&](std::int64_t, std::int64_t) { ++run.progress_reports; };
  events.installing = [&] { run.installing = true; };
  events.finished = [&](const UpdateOutcome& outcome) {
    run.outcome = outcome;
    run.finished = true;
  };
  UpdateDownload download(loop, settings, home.path(), events);
  download.Start();
  EXPECT_TRUE(loop.RunUntil([&] { return download.Finished(); }, 20s));
  EXPECT_TRUE(run.finished);
  return run;
}

std::vector<std::string> Names(const std::vector<ListedFile>& files) {
  std::vector<std::string> names;
  for (const auto& f : files) names.push_back(f.name);
  return names;
}

TEST(UpdateDownload, NothingHappensWhenEveryDateAgrees) {
  for (int softid : {1, 3}) {
    TestHttpServer server;
    UpdateHome home("up-to-date");
    server.Serve(kList, ListText({{"acprotocl.dat", "2024-01-01"}, {"picmem.dat", "2024-01-01"}}, softid));
    server.Serve(kLibrary, kNewLibrary);
    const auto before = home.Snapshot();
    const SequenceRun run = RunSequence(Settings(server.BaseUrl()), home);
    EXPECT_EQ(run.outcome.text, kTextUpToDate) << softid;
    EXPECT_EQ(run.outcome.button_text, kTextCloseButton);
    EXPECT_TRUE(run.outcome.ok());
    EXPECT_EQ(run.downloading, std::vector<std::string>{"up.txt"});
    EXPECT_EQ(server.RequestsFor(kLibrary), 0);
    EXPECT_FALSE(run.installing);
    EXPECT_EQ(home.Snapshot(), before);
  }
}

TEST(UpdateDownload, ChangedFilesAreDownloadedCopiedAndRecorded) {
  TestHttpServer server;
  UpdateHome home("changed");
  server.Serve(kList, ListText({{"acprotocl.dat", "2024-06-01"},
                                {"picmem.dat", "2024-01-01"},
                                {"Language.ini", "2024-06-02"}}));
  server.Serve(kLibrary, kNewLibrary);
  server.Serve(kPictures, kNewPictures);
  server.Serve("/upld/ac/v2/Language.ini", "[1]\ncon_str001=x\n");
  const SequenceRun run = RunSequence(Settings(server.BaseUrl()), home);

  EXPECT_EQ(run.outcome.text, kTextUpdated);
  EXPECT_EQ(run.outcome.button_text, kTextDoneButton);
  EXPECT_EQ(Names(run.outcome.copied), (std::vector<std::string>{"acprotocl.dat", "Language.ini"}));
  EXPECT_EQ(run.downloading, (std::vector<std::string>{"up.txt", "acprotocl.dat", "Language.ini"}));
  EXPECT_GT(run.progress_reports, 0);
  EXPECT_TRUE(run.installing);
  EXPECT_EQ(server.RequestsFor(kPictures), 0);
  EXPECT_EQ(home.Read("data/acprotocl.dat"), kNewLibrary);
  EXPECT_EQ(home.Read("data/Language.ini"), "[1]\ncon_str001=x\n");
  EXPECT_EQ(home.Read("data/picmem.dat"), kOldPictures);
  EXPECT_EQ(home.Read("Update/acprotocl.dat"), kNewLibrary);
  const base::IniFile config = base::IniFile::Load(home.path() / "config.ini");
  EXPECT_EQ(config.ReadString("updateinfo", "acprotocl.dat", ""), "2024-06-01");
  EXPECT_EQ(config.ReadString("updateinfo", "Language.ini", ""), "2024-06-02");
  EXPECT_EQ(config.ReadString("updateinfo", "picmem.dat", ""), "2024-01-01");
  EXPECT_EQ(config.ReadInteger("Config", "lang", 0), 1);
  // No temporary file is left behind.
  for (const auto& [file, contents] : home.Snapshot())
    EXPECT_EQ(file.find("data/."), std::string::npos) << file;

  // The next run finds everything up to date.
  EXPECT_EQ(RunSequence(Settings(server.BaseUrl()), home).outcome.text, kTextUpToDate);
}

// The first listed file is served well; the second one misbehaves. Nothing is
// copied, not even the first, and no date is recorded.
TEST(UpdateDownload, AnyFailedDownloadCopiesNothing) {
  const std::string large(1001, 'L');
  const struct {
    const char* what;
    Route route;
    int why;
  } cases[] = {
      {"404", Route{"", Route::Mode::kNotFound}, kTextTransferFailed},
      {"closed mid-file", Route{kNewPictures, Route::Mode::kCloseMidway, true, 5}, kTextTransferFailed},
      {"slower than the time-out", Route{kNewPictures, Route::Mode::kStall, true, 0, 1, 5s}, kTextTimedOut},
      {"stalls mid-file", Route{kNewPictures, Route::Mode::kTrickle, true, 0, 4, 5s}, kTextTimedOut},
      {"announced beyond the cap", Route{large}, kTextTooLarge},
      {"unannounced beyond the cap", Route{large, Route::Mode::kServe, false}, kTextTooLarge},
      {"trickled beyond the cap", Route{large, Route::Mode::kTrickle, false, 0, 250, 10ms}, kTextTooLarge},
      {"empty", Route{""}, kTextEmptyFile},
  };
  for (const auto& c : cases) {
    TestHttpServer server;
    UpdateHome home("failed-download");
    server.Serve(kList, ListText({{"acprotocl.dat", "2024-06-01"}, {"picmem.dat", "2024-06-01"}}));
    server.Serve(kLibrary, kNewLibrary);
    server.Set(kPictures, c.route);
    const auto before = home.Snapshot();
    const auto start = std::chrono::steady_clock::now();
    const SequenceRun run = RunSequence(Settings(server.BaseUrl()), home);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4s) << c.what;
    EXPECT_EQ(run.outcome.text, kTextUpdateFailed) << c.what;
    EXPECT_EQ(run.outcome.button_text, kTextCloseButton) << c.what;
    EXPECT_FALSE(run.outcome.ok()) << c.what;
    EXPECT_TRUE(run.outcome.copied.empty()) << c.what;
    ASSERT_EQ(run.outcome.failed.size(), 1u) << c.what;
    EXPECT_EQ(run.outcome.failed[0].name, "picmem.dat") << c.what;
    EXPECT_EQ(run.outcome.failed[0].text, c.why) << c.what;
    EXPECT_FALSE(run.installing) << c.what;
    EXPECT_EQ(home.Snapshot(), before) << c.what;
  }
}

TEST(UpdateDownload, AListThatCannotBeFetchedOrReadChangesNothing) {
  const struct {
    const char* what;
    Route route;
    int text;
    int why;  ///< 0: no failed download is reported
  } cases[] = {
      {"404", Route{"", Route::Mode::kNotFound}, kTextListFailed, kTextTransferFailed},
      {"slower than the time-out", Route{"softid=1", Route::Mode::kStall, true, 0, 1, 5s}, kTextListFailed,
       kTextTimedOut},
      {"beyond the cap", Route{std::string(2001, '#')}, kTextListFailed, kTextTooLarge},
      {"closed mid-list", Route{"softid=1\nfilecount=1", Route::Mode::kCloseMidway, true, 8}, kTextListFailed,
       kTextTransferFailed},
      {"file count not a number", Route{"softid=1\nfilecount=two\nfilename0=acprotocl.dat\nfiledate0=x"},
       kTextUpdateFailed, 0},
      {"file count beyond any list", Route{"softid=1\nfilecount=5000"}, kTextUpdateFailed, 0},
      // An empty list lists nothing.
      {"empty", Route{""}, kTextUpToDate, 0},
  };
  for (const auto& c : cases) {
    TestHttpServer server;
    UpdateHome home("bad-list");
    server.Set(kList, c.route);
    server.Serve(kLibrary, kNewLibrary);
    const auto before = home.Snapshot();
    const SequenceRun run = RunSequence(Settings(server.BaseUrl()), home);
    EXPECT_EQ(run.outcome.text, c.text) << c.what;
    EXPECT_EQ(run.outcome.button_text, kTextCloseButton) << c.what;
    if (c.why != 0) {
      ASSERT_EQ(run.outcome.failed.size(), 1u) << c.what;
      EXPECT_EQ(run.outcome.failed[0].name, "up.txt") << c.what;
      EXPECT_EQ(run.outcome.failed[0].text, c.why) << c.what;
    } else {
      EXPECT_TRUE(run.outcome.failed.empty()) << c.what;
    }
    EXPECT_EQ(server.RequestsFor(kLibrary), 0) << c.what;
    EXPECT_EQ(home.Snapshot(), before) << c.what;
  }
}

// A listed name that is not a plain file name refuses the whole update before
// anything is downloaded, so no download can write outside the data folder.
TEST(UpdateDownload, EachRefusedFileNameStopsTheUpdate) {
  const std::string refused[] = {
      "../config.ini",
      "../../escaped.dat",
      "/tmp/klimavo-update-escaped.dat",
      "sub/file.dat",
      "..\\config.ini",
      "..",
      ".",
      ".hidden",
      "C:file.dat",
      "key=value",
      "line\tbreak",
      "\x7F",
  };
  for (const std::string& name : refused) {
    TestHttpServer server;
    UpdateHome home("refused");
    server.Serve(kList, ListText({{"acprotocl.dat", "2024-06-01"}, {name, "2024-06-01"}}));
    server.Serve(kLibrary, kNewLibrary);
    const auto before = home.Snapshot();
    const SequenceRun run = RunSequence(Settings(server.BaseUrl()), home);
    EXPECT_EQ(run.outcome.text, kTextUpdateFailed) << name;
    EXPECT_EQ(run.outcome.refused, std::vector<std::string>{name}) << name;
    EXPECT_TRUE(run.outcome.copied.empty()) << name;
    EXPECT_EQ(server.Requests().size(), 1u) << name << ": only the list was fetched";
    EXPECT_EQ(home.Snapshot(), before) << name;
    EXPECT_FALSE(std::filesystem::exists(home.path() / "Update")) << name;
    EXPECT_FALSE(std::filesystem::exists(home.path().parent_path() / "escaped.dat")) << name;
    EXPECT_FALSE(std::filesystem::exists("/tmp/klimavo-update-escaped.dat")) << name;
  }
}

TEST(UpdateDownload, AbortDuringADownloadCopiesNothing) {
  TestHttpServer server;
  UpdateHome home("abort");
  server.Serve(kList, ListText({{"acprotocl.dat", "2024-06-01"}}));
  server.Set(kLibrary, Route{std::string(900, 'n'), Route::Mode::kTrickle, true, 0, 30, 50ms});
  const auto before = home.Snapshot();
  base::EventLoopDispatcher loop;
  bool finished_reported = false;
  std::int64_t received_at_abort = 0;
  UpdateDownload::Events events;
  std::unique_ptr<UpdateDownload> download;
  // The abort comes from inside a progress report, as a button press handled
  // between two reports would.
  events.progress = [&](std::int64_t, std::int64_t received) {
    if (received > 0 && received_at_abort == 0) {
      received_at_abort = received;
      download->Abort();
    }
  };
  events.finished = [&](const UpdateOutcome&) { finished_reported = true; };
  download = std::make_unique<UpdateDownload>(loop, Settings(server.BaseUrl()), home.path(), events);
  download->Start();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(loop.RunUntil([&] { return download->Finished(); }, 20s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
  EXPECT_TRUE(download->Aborted());
  EXPECT_GT(received_at_abort, 0);
  EXPECT_LT(received_at_abort, 900);
  loop.RunUntil([] { return false; }, 200ms);
  EXPECT_FALSE(finished_reported);
  download.reset();
  EXPECT_EQ(home.Snapshot(), before);
  EXPECT_FALSE(std::filesystem::exists(home.path() / "Update/acprotocl.dat"));
}

TEST(UpdateDownload, DestroyingTheSequenceStopsItsDownloadAtOnce) {
  TestHttpServer server;
  UpdateHome home("destroy");
  server.Serve(kList, ListText({{"acprotocl.dat", "2024-06-01"}}));
  server.Set(kLibrary, Route{kNewLibrary, Route::Mode::kStall, true, 0, 1, 20s});
  const auto before = home.Snapshot();
  base::EventLoopDispatcher loop;
  bool library_started = false;
  UpdateDownload::Events events;
  events.downloading = [&](const std::string& name) { library_started = name == "acprotocl.dat"; };
  ServerSettings settings = Settings(server.BaseUrl());
  settings.read_timeout = 30s;
  auto download = std::make_unique<UpdateDownload>(loop, settings, home.path(), events);
  download->Start();
  ASSERT_TRUE(loop.RunUntil([&] { return library_started && server.RequestsFor(kLibrary) == 1; }, 10s));
  const auto start = std::chrono::steady_clock::now();
  download.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(loop.ProcessPending(), 0);
  EXPECT_EQ(home.Snapshot(), before);
}

TEST(UpdateDownload, WithoutAServerItSaysSoAtOnce) {
  UpdateHome home("no-server");
  const auto before = home.Snapshot();
  const SequenceRun run = RunSequence(Settings(""), home);
  EXPECT_EQ(run.outcome.text, kTextNoServer);
  EXPECT_FALSE(run.outcome.ok());
  EXPECT_TRUE(run.downloading.empty());
  EXPECT_EQ(home.Snapshot(), before);
}

TEST(UpdateDownload, DownloadsGoThroughTheConfiguredProxy) {
  TestHttpServer proxy;
  UpdateHome home("proxy");
  proxy.Serve(std::string("/site") + kList, ListText({{"acprotocl.dat", "2024-06-01"}}));
  proxy.Serve(std::string("/site") + kLibrary, LibraryText(3));
  ServerSettings settings = Settings("http://update.invalid/site/");
  settings.base_url = "http://update.invalid/site";
  settings.proxy_host = "127.0.0.1";
  settings.proxy_port = proxy.Port();
  const SequenceRun run = RunSequence(settings, home);
  EXPECT_EQ(run.outcome.text, kTextUpdated);
  EXPECT_EQ(home.Read("data/acprotocl.dat"), LibraryText(3));
  EXPECT_EQ(proxy.Requests(),
            (std::vector<std::string>{"http://update.invalid/site/upld/ac/v2/up.txt",
                                      "http://update.invalid/site/upld/ac/v2/acprotocl.dat"}));
}

TEST(UpdateDownload, ASharedFolderCanServeTheUpdate) {
  UpdateHome home("shared-folder");
  const std::filesystem::path site = home.path() / "site";
  std::filesystem::create_directories(site / "upld/ac/v2");
  std::ofstream(site / "upld/ac/v2/up.txt") << ListText({{"picmem.dat", "2024-07-01"}});
  std::ofstream(site / "upld/ac/v2/picmem.dat") << PicturesText("share");
  const SequenceRun run = RunSequence(Settings("file://" + site.string() + "/"), home);
  EXPECT_EQ(run.outcome.text, kTextUpdated);
  EXPECT_EQ(home.Read("data/picmem.dat"), PicturesText("share"));
  EXPECT_EQ(base::IniFile::Load(home.path() / "config.ini").ReadString("updateinfo", "picmem.dat", ""),
            "2024-07-01");
}

TEST(UpdateDownload, AFileThatCannotBeWrittenLeavesEveryOldFile) {
  TestHttpServer server;
  UpdateHome home("staging-fails");
  server.Serve(kList, ListText({{"acprotocl.dat", "2024-06-01"}, {"picmem.dat", "2024-06-01"}}));
  server.Serve(kLibrary, kNewLibrary);
  server.Serve(kPictures, kNewPictures);
  // The second file is a link into a folder that does not exist: its new
  // content cannot be written, after the first one's already was.
  std::filesystem::remove(home.path() / "data/picmem.dat");
  std::filesystem::create_symlink(home.path() / "missing/picmem.dat", home.path() / "data/picmem.dat");
  const auto before = home.Snapshot();
  const SequenceRun run = RunSequence(Settings(server.BaseUrl()), home);
  EXPECT_EQ(run.outcome.text, kTextUpdateFailed);
  EXPECT_TRUE(run.outcome.copied.empty());
  EXPECT_FALSE(run.outcome.install_error.empty());
  EXPECT_EQ(home.Snapshot(), before);
  for (const auto& entry : std::filesystem::directory_iterator(home.path() / "data"))
    EXPECT_NE(entry.path().filename().string().front(), '.') << entry.path() << " was left behind";
}

TEST(UpdateDownload, AFolderWhereAFileWouldGoStopsTheWholeUpdate) {
  TestHttpServer server;
  UpdateHome home("folder-target");
  server.Serve(kList, ListText({{"acprotocl.dat", "2024-06-01"}, {"Binn", "2024-06-01"}}));
  server.Serve(kLibrary, kNewLibrary);
  server.Serve("/upld/ac/v2/Binn", "not a folder");
  std::filesystem::create_directories(home.path() / "data/Binn/keep");
  const auto before = home.Snapshot();
  const SequenceRun run = RunSequence(Settings(server.BaseUrl()), home);
  EXPECT_EQ(run.outcome.text, kTextUpdateFailed);
  EXPECT_TRUE(run.outcome.copied.empty());
  EXPECT_FALSE(run.outcome.install_error.empty());
  EXPECT_EQ(home.Snapshot(), before);
  EXPECT_TRUE(std::filesystem::is_directory(home.path() / "data/Binn/keep"));
}

// Another process of the workbench holds the library's lock: the update waits
// for it, and the library is still the old one for as long as the lock is held.
TEST(UpdateDownload, TheLibraryAndPictureStoreAreReplacedUnderTheirLocks) {
  for (const char* name : {"acprotocl.dat", "picmem.dat"}) {
    TestHttpServer server;
    UpdateHome home("locked");
    server.Serve(kList, ListText({{"acprotocl.dat", "2024-06-01"}, {"picmem.dat", "2024-06-01"}}));
    server.Serve(kLibrary, kNewLibrary);
    server.Serve(kPictures, kNewPictures);
    const std::string guarded = (home.path() / "data" / name).string();
    const std::string lock_file = base::FileLock::LockPathFor(guarded).string();
    const std::string old_contents = home.Read(std::string("data/") + name);
    int to_parent[2];
    ASSERT_EQ(::pipe(to_parent), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // Only system calls here: the child of a threaded process.
      const int lock = ::open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
      if (lock < 0 || ::flock(lock, LOCK_EX) != 0) ::_exit(1);
      if (::write(to_parent[1], "L", 1) != 1) ::_exit(1);
      ::usleep(400 * 1000);
      char seen[256];
      const int file = ::open(guarded.c_str(), O_RDONLY);
      const ssize_t n = file < 0 ? 0 : ::read(file, seen, sizeof seen);
      if (n > 0 && ::write(to_parent[1], seen, static_cast<std::size_t>(n)) != n) ::_exit(1);
      ::_exit(0);
    }
    ::close(to_parent[1]);
    char signal = 0;
    ASSERT_EQ(::read(to_parent[0], &signal, 1), 1);
    const auto start = std::chrono::steady_clock::now();
    const SequenceRun run = RunSequence(Settings(server.BaseUrl()), home);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 300ms)
        << name << ": the update did not wait for the lock";
    std::string seen_under_lock;
    char buffer[256];
    for (ssize_t n; (n = ::read(to_parent[0], buffer, sizeof buffer)) > 0;) seen_under_lock.append(buffer, n);
    ::close(to_parent[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << name;
    EXPECT_EQ(seen_under_lock, old_contents) << name;
    EXPECT_EQ(run.outcome.text, kTextUpdated) << name;
    EXPECT_EQ(home.Read("data/acprotocl.dat"), kNewLibrary) << name;
    EXPECT_EQ(home.Read("data/picmem.dat"), kNewPictures) << name;
  }
}

TEST(UpdateDownload, ADataFileThatIsALinkIsReplacedWhereItPoints) {
  TestHttpServer server;
  UpdateHome home("linked");
  server.Serve(kList, ListText({{"picmem.dat", "2024-06-01"}}));
  server.Serve(kPictures, kNewPictures);
  std::filesystem::create_directories(home.path() / "shared");
  home.Write("shared/pictures.dat", PicturesText("old shared"));
  std::filesystem::remove(home.path() / "data/picmem.dat");
  std::filesystem::create_symlink("../shared/pictures.dat", home.path() / "data/picmem.dat");
  const SequenceRun run = RunSequence(Settings(server.BaseUrl()), home);
  EXPECT_EQ(run.outcome.text, kTextUpdated);
  EXPECT_TRUE(std::filesystem::is_symlink(home.path() / "data/picmem.dat"));
  EXPECT_EQ(home.Read("shared/pictures.dat"), kNewPictures);
}

// An update treats a damaged library or picture store as every writer does:
// it never replaces it (the records it still holds would be lost), and says so
// before anything is downloaded.
TEST(UpdateDownload, ADamagedLibraryOrPictureStoreIsNeverReplaced) {
  struct Case {
    const char* file;
    const char* says;
  };
  for (const Case& c : {Case{"data/acprotocl.dat", "library"}, Case{"data/picmem.dat", "picture store"}}) {
    TestHttpServer server;
    UpdateHome home("damaged");
    server.Serve(kList, ListText({{"acprotocl.dat", "2024-06-01"}, {"picmem.dat", "2024-06-01"}}));
    server.Serve(kLibrary, kNewLibrary);
    server.Serve(kPictures, kNewPictures);
    std::string damaged = home.Read(c.file);
    damaged.resize(damaged.size() - 3);
    home.Write(c.file, damaged);
    const auto before = home.Snapshot();
    const SequenceRun run = RunSequence(Settings(server.BaseUrl()), home);
    EXPECT_EQ(run.outcome.text, kTextUpdateFailed) << c.file;
    ASSERT_EQ(run.outcome.failed.size(), 1u) << c.file;
    EXPECT_NE(run.outcome.failed[0].detail.find(c.says), std::string::npos) << run.outcome.failed[0].detail;
    EXPECT_NE(run.outcome.failed[0].detail.find("damaged"), std::string::npos)
        << run.outcome.failed[0].detail;
    EXPECT_EQ(server.RequestsFor(kLibrary) + server.RequestsFor(kPictures), 0) << c.file;
    EXPECT_EQ(home.Snapshot(), before) << c.file;
  }
  // The install checks again under the locks: a library damaged after the
  // downloads is not replaced either.
  UpdateHome home("damaged-late");
  std::filesystem::create_directories(home.path() / "Update");
  home.Write("Update/acprotocl.dat", kNewLibrary);
  home.Write("data/acprotocl.dat", kOldLibrary.substr(0, 20));
  const InstallResult installed = InstallFiles(home.path(), {{"acprotocl.dat", "2024-06-01"}});
  EXPECT_TRUE(installed.copied.empty());
  EXPECT_NE(installed.error.find("damaged"), std::string::npos) << installed.error;
  EXPECT_EQ(home.Read("data/acprotocl.dat"), kOldLibrary.substr(0, 20));
}

// Every downloaded data file is read as its reader reads it before the
// all-or-nothing install: an error page served under a data file's name
// leaves everything as it was.
TEST(UpdateDownload, ADownloadedFileThatDoesNotReadAsItsKindIsNeverInstalled) {
  const std::string page = "<html><body>404 Not Found</body></html>";
  struct Case {
    const char* name;
    std::string body;
  };
  const Case cases[] = {
      {"acprotocl.dat", page}, {"acprotocl.dat", kNewLibrary + "x"},
      {"picmem.dat", page},    {"Language.ini", page},
      {"Language.sil", page},  {"templet.apf", page},
  };
  for (const Case& c : cases) {
    TestHttpServer server;
    UpdateHome home("not-a-data-file");
    const bool library = std::string(c.name) == "acprotocl.dat";
    server.Serve(kList, library ? ListText({{c.name, "2024-06-02"}})
                                : ListText({{"acprotocl.dat", "2024-06-01"}, {c.name, "2024-06-02"}}));
    if (!library) server.Serve(kLibrary, kNewLibrary);
    server.Serve(std::string("/upld/ac/v2/") + c.name, c.body);
    const auto before = home.Snapshot();
    const SequenceRun run = RunSequence(Settings(server.BaseUrl()), home);
    EXPECT_EQ(run.outcome.text, kTextUpdateFailed) << c.name;
    ASSERT_EQ(run.outcome.failed.size(), 1u) << c.name;
    EXPECT_EQ(run.outcome.failed[0].name, c.name);
    EXPECT_EQ(run.outcome.failed[0].text, kTextNotDataFile) << c.name;
    EXPECT_TRUE(run.outcome.copied.empty()) << c.name;
    EXPECT_EQ(home.Snapshot(), before) << c.name;
  }
}

// The downloads are written into a real folder of the home and never through
// a link planted there; the install reads them back without following links.
TEST(UpdateDownload, LinksInTheStagingFolderNeverLeadTheDownloadOutsideTheHome) {
  TestHttpServer server;
  server.Serve(kList, ListText({{"acprotocl.dat", "2024-06-01"}}));
  server.Serve(kLibrary, kNewLibrary);
  {
    // Update/ itself is a link to a folder elsewhere.
    UpdateHome home("staging-folder-link");
    std::filesystem::create_directories(home.path() / "elsewhere");
    std::filesystem::create_directory_symlink(home.path() / "elsewhere", home.path() / "Update");
    const auto before = home.Snapshot();
    const SequenceRun run = RunSequence(Settings(server.BaseUrl()), home);
    EXPECT_EQ(run.outcome.text, kTextUpdateFailed);
    EXPECT_TRUE(std::filesystem::is_empty(home.path() / "elsewhere"));
    EXPECT_EQ(home.Snapshot(), before);
  }
  {
    // A link in Update/ under the downloaded name is replaced, not written through.
    UpdateHome home("staging-file-link");
    std::filesystem::create_directories(home.path() / "Update");
    home.Write("victim", "not to be touched");
    std::filesystem::create_symlink(home.path() / "victim", home.path() / "Update/acprotocl.dat");
    const SequenceRun run = RunSequence(Settings(server.BaseUrl()), home);
    EXPECT_EQ(run.outcome.text, kTextUpdated);
    EXPECT_EQ(home.Read("victim"), "not to be touched");
    EXPECT_FALSE(std::filesystem::is_symlink(home.path() / "Update/acprotocl.dat"));
    EXPECT_EQ(home.Read("data/acprotocl.dat"), kNewLibrary);
  }
  {
    // Installing never reads a staged file through a link.
    UpdateHome home("install-link");
    std::filesystem::create_directories(home.path() / "Update");
    home.Write("outside.dat", kNewLibrary);
    std::filesystem::create_symlink(home.path() / "outside.dat", home.path() / "Update/acprotocl.dat");
    const InstallResult installed = InstallFiles(home.path(), {{"acprotocl.dat", "2024-06-01"}});
    EXPECT_TRUE(installed.copied.empty());
    EXPECT_NE(installed.error.find("link"), std::string::npos) << installed.error;
    EXPECT_EQ(home.Read("data/acprotocl.dat"), kOldLibrary);
  }
}

TEST(UpdateDownload, ASharedFolderServesOnlyRegularFilesNotLinks) {
  UpdateHome home("share-link");
  const std::filesystem::path site = home.path() / "site";
  std::filesystem::create_directories(site / "upld/ac/v2");
  std::ofstream(site / "upld/ac/v2/up.txt") << ListText({{"picmem.dat", "2024-07-01"}});
  home.Write("secret", PicturesText("secret"));
  std::filesystem::create_symlink(home.path() / "secret", site / "upld/ac/v2/picmem.dat");
  const auto before = home.Snapshot();
  const SequenceRun run = RunSequence(Settings("file://" + site.string()), home);
  EXPECT_EQ(run.outcome.text, kTextUpdateFailed);
  ASSERT_EQ(run.outcome.failed.size(), 1u);
  EXPECT_NE(run.outcome.failed[0].detail.find("symbolic link"), std::string::npos)
      << run.outcome.failed[0].detail;
  EXPECT_EQ(home.Snapshot(), before);
}

// A server that sends a byte now and then, never idle long enough for the read
// time-out, is stopped by the deadline of the file or of the whole run.
TEST(UpdateDownload, EachFileAndTheWholeRunHaveADeadline) {
  struct Case {
    const char* what;
    std::chrono::milliseconds list_deadline, file_deadline, run_deadline;
    const char* failed_name;
  };
  for (const Case& c : {Case{"the list's deadline", 400ms, 60s, 60s, "up.txt"},
                        Case{"a file's deadline", 60s, 400ms, 60s, "acprotocl.dat"},
                        Case{"the run's deadline", 60s, 60s, 600ms, "acprotocl.dat"}}) {
    TestHttpServer server;
    UpdateHome home("deadline");
    const std::string list = ListText({{"acprotocl.dat", "2024-06-01"}});
    const bool slow_list = std::string(c.failed_name) == "up.txt";
    server.Set(kList, slow_list ? Route{list, Route::Mode::kTrickle, true, 0, 1, 50ms} : Route{list});
    server.Set(kLibrary, Route{kNewLibrary, Route::Mode::kTrickle, true, 0, 1, 100ms});
    ServerSettings settings = Settings(server.BaseUrl());
    settings.list_deadline = c.list_deadline;
    settings.file_deadline = c.file_deadline;
    settings.run_deadline = c.run_deadline;
    const auto before = home.Snapshot();
    const auto start = std::chrono::steady_clock::now();
    const SequenceRun run = RunSequence(settings, home);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2500ms) << c.what;
    EXPECT_FALSE(run.outcome.ok()) << c.what;
    ASSERT_EQ(run.outcome.failed.size(), 1u) << c.what;
    EXPECT_EQ(run.outcome.failed[0].name, c.failed_name) << c.what;
    EXPECT_EQ(run.outcome.failed[0].text, kTextDeadline) << c.what;
    EXPECT_EQ(home.Snapshot(), before) << c.what;
  }
}

TEST(UpdateDownload, ACopyOfEachReplacedFileIsKeptToRestoreItFrom) {
  TestHttpServer server;
  UpdateHome home("backup");
  server.Serve(kList, ListText({{"acprotocl.dat", "2024-06-01"}, {"picmem.dat", "2024-06-01"}}));
  server.Serve(kLibrary, kNewLibrary);
  server.Serve(kPictures, kNewPictures);
  const SequenceRun run = RunSequence(Settings(server.BaseUrl()), home);
  EXPECT_EQ(run.outcome.text, kTextUpdated);
  EXPECT_EQ(home.Read("Backup/acprotocl.dat"), kOldLibrary);
  EXPECT_EQ(home.Read("Backup/picmem.dat"), kOldPictures);
  EXPECT_EQ(run.outcome.kept, (std::vector<std::string>{(home.path() / "Backup/acprotocl.dat").string(),
                                                        (home.path() / "Backup/picmem.dat").string()}));
  const lang::Language english(home.path(), 1);
  EXPECT_NE(OutcomeLabel(run.outcome, english).find((home.path() / "Backup/acprotocl.dat").string()),
            std::string::npos);
}

}  // namespace
}  // namespace klimavo::update
