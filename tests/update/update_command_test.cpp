// `klimavo-cli update check|download` through the real executable against a
// local server: the exact JSON of each command and its exit statuses.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/ini_file.h"
#include "cli/cli_runner.h"
#include "test_http_server.h"
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

class UpdateCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("KLIMAVO_CLI"), nullptr) << "KLIMAVO_CLI names the klimavo-cli to test";
    std::filesystem::remove_all(home_);
    // A new home is seeded with the bundled data (language files, library).
    ASSERT_EQ(Cli("home").status, 0);
    std::ofstream(home_ / "config.ini") << "[Config]\nlang=1\n[updateinfo]\nacprotocl.dat=2024-01-01\n";
  }
  void TearDown() override { std::filesystem::remove_all(home_); }

  /// Runs klimavo-cli on the test's home with the blank-separated arguments.
  cli::testing::CliResult Cli(const std::string& arguments) const {
    std::vector<std::string> args;
    std::istringstream words(arguments);
    for (std::string word; words >> word;) args.push_back(word);
    return cli::testing::RunCli(home_, args);
  }

  std::string Library() const {
    std::ifstream in(home_ / "data/acprotocl.dat", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::filesystem::path home_ = testing::TempFolder("update-cli-test");
};

TEST_F(UpdateCommand, CheckPrintsTheVerdictAndTheChangedFiles) {
  TestHttpServer server;
  const std::string url = " --update-url " + server.BaseUrl() + "/";
  const struct {
    std::string list;
    int status;
    std::string out;
  } cases[] = {
      {ListText({{"acprotocl.dat", "2024-01-01"}}), 0,
       R"({"update": false, "msg": "", "files": []})"
       "\n"},
      {ListText({{"acprotocl.dat", "2024-06-01"}, {"picmem.dat", "1"}}, 1, "New \"codes\" \xD0\xC2"), 0,
       R"({"update": true, "msg": "New \"codes\" 新", "files": [{"name": "acprotocl.dat", "date": "2024-06-01"}, )"
       R"({"name": "picmem.dat", "date": "1"}]})"
       "\n"},
      {ListText({{"acprotocl.dat", "2024-01-01"}}, 3), 0,
       R"({"update": true, "msg": "", "files": []})"
       "\n"},
      {"filecount=1\nfilename0=acprotocl.dat\nfiledate0=new\n", 0,
       R"({"update": false, "msg": "", "files": [{"name": "acprotocl.dat", "date": "new"}]})"
       "\n"},
  };
  for (const auto& c : cases) {
    server.Serve("/upld/ac/v2/up.txt", c.list);
    const cli::testing::CliResult r = Cli("update check --json" + url);
    EXPECT_EQ(r.status, c.status) << c.list;
    EXPECT_EQ(r.out, c.out) << c.list;
  }
  server.Set("/upld/ac/v2/up.txt", Route{"", Route::Mode::kNotFound});
  EXPECT_EQ(Cli("update check --json" + url).status, 1);
  EXPECT_EQ(Cli("update check --json --update-url ftp://127.0.0.1/").status, 2);
  EXPECT_EQ(Cli("update check --json").status, 2);
  EXPECT_EQ(Cli("update check --json --update-url").status, 2);
}

TEST_F(UpdateCommand, DownloadPrintsTheOutcome) {
  TestHttpServer server;
  const std::string url = " --update-url " + server.BaseUrl();
  server.Serve("/upld/ac/v2/picmem.dat", kNewPictures);
  server.Set("/upld/ac/v2/broken.dat", Route{"", Route::Mode::kNotFound});
  const std::string before = Library();

  server.Serve("/upld/ac/v2/up.txt",
               ListText({{"acprotocl.dat", "2024-01-01"}, {"..\\x", "1"}, {"a/b", "1"}}));
  cli::testing::CliResult r = Cli("update download --json" + url);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, R"({"ok": false, "copied": [], "refused": ["..\\x", "a/b"], "failed": [], )"
                   R"("text": "The update failed."})"
                   "\n");

  server.Serve("/upld/ac/v2/up.txt", ListText({{"picmem.dat", "2024-06-01"}, {"broken.dat", "1"}}));
  r = Cli("update download --json" + url);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out,
            R"({"ok": false, "copied": [], "refused": [], "failed": [{"name": "broken.dat", "why": )"
            R"("The transfer failed: The requested URL returned error: 404"}], "text": "The update failed."})"
            "\n");

  server.Set("/upld/ac/v2/up.txt", Route{"", Route::Mode::kNotFound});
  r = Cli("update download --json" + url);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, R"({"ok": false, "copied": [], "refused": [], "failed": [{"name": "up.txt", "why": )"
                   R"("The transfer failed: The requested URL returned error: 404"}], )"
                   R"("text": "The update list could not be downloaded."})"
                   "\n");
  EXPECT_EQ(Library(), before);

  server.Serve("/upld/ac/v2/up.txt",
               ListText({{"acprotocl.dat", "2024-01-01"}, {"picmem.dat", "2024-06-01"}}));
  r = Cli("update download --json" + url);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, R"({"ok": true, "copied": ["picmem.dat"], "refused": [], "failed": [], )"
                   R"("text": "The data files have been updated."})"
                   "\n");
  EXPECT_EQ(base::IniFile::Load(home_ / "config.ini").ReadString("updateinfo", "picmem.dat", ""),
            "2024-06-01");
  r = Cli("update download --json" + url);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, R"({"ok": true, "copied": [], "refused": [], "failed": [], )"
                   R"("text": "The data files are up to date."})"
                   "\n");
  EXPECT_EQ(Library(), before);
  EXPECT_EQ(Cli("update download --json").status, 2);
}

TEST_F(UpdateCommand, TheConfiguredServerAndProxyAreUsed) {
  TestHttpServer proxy;
  proxy.Serve("/upld/ac/v2/up.txt", ListText({{"acprotocl.dat", "2024-01-01"}}));
  std::ofstream(home_ / "config.ini")
      << "[Config]\nUpdateUrl=http://update.invalid/\nproxySvr=127.0.0.1\n"
      << "proxtPort=" << proxy.Port() << "\n[updateinfo]\nacprotocl.dat=2024-01-01\n";
  // `download` goes through the proxy; `check`, like the automatic check, never does.
  const cli::testing::CliResult download = Cli("update download --json");
  EXPECT_EQ(download.status, 0) << download.out;
  EXPECT_EQ(proxy.RequestsFor("/upld/ac/v2/up.txt"), 1);
  EXPECT_EQ(Cli("update check --json").status, 1);
  EXPECT_EQ(proxy.RequestsFor("/upld/ac/v2/up.txt"), 1);
}

// The server's texts may carry terminal escapes: `check` prints them without
// control bytes. A download whose install failed lists the files that failed.
TEST_F(UpdateCommand, ServerTextsLoseTheirControlBytesAndAFailedInstallIsListed) {
  TestHttpServer server;
  const std::string url = " --update-url " + server.BaseUrl();
  server.Serve("/upld/ac/v2/up.txt", ListText({{"Bi\x1b[2Jnn", "2024\x1b]0;x\x07-06"}}, 1,
                                              "\x1b[31mred\x1b[0m \x7f"
                                              "done"));
  const cli::testing::CliResult check = Cli("update check" + url);
  EXPECT_EQ(check.status, 0);
  EXPECT_EQ(check.out.find_first_of("\x1b\x07\x7f"), std::string::npos) << check.out;
  EXPECT_NE(check.out.find("msg: [31mred[0m done"), std::string::npos) << check.out;

  server.Serve("/upld/ac/v2/up.txt", ListText({{"Binn", "2024-06-01"}}));
  server.Serve("/upld/ac/v2/Binn", "a file where a folder stands");
  std::filesystem::create_directories(home_ / "data/Binn");
  const cli::testing::CliResult r = Cli("update download --json" + url);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find(R"("failed": [{"name": "Binn", "why": "The data files could not be replaced: )"),
            std::string::npos)
      << r.out;
}

}  // namespace
}  // namespace klimavo::update
