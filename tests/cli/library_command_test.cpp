// `klimavo-cli library` and `picture` through the real executable: writers at
// the same time keep every record, damaged files are never changed, hostile
// JSON is refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "base/byte_io.h"
#include "cli_runner.h"

namespace klimavo::cli {
namespace {

namespace fs = std::filesystem;
using testing::CliProcess;
using testing::CliResult;
using testing::RunCli;

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
void Write(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::string RecordJson(const std::string& code) {
  return R"({"brand":"Test","code":")" + code + R"(","keys":[{"name":"Power","states":["off","on"]}]})";
}

// A folder in memory where there is one: every save flushes its file to disk,
// and the tests of many saves at once should not wait for a disk.
fs::path ScratchRoot() {
  std::error_code ec;
  return fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
}

// A home seeded with the sample library, in a folder of its own.
class LibraryCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("KLIMAVO_CLI"), nullptr) << "KLIMAVO_CLI names the klimavo-cli to test";
    root_ = ScratchRoot() /
            ("klimavo_cli_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    home_ = root_ / "home";
    ASSERT_EQ(RunCli(home_, {"home"}).status, 0);
    library_ = home_ / "data" / "acprotocl.dat";
    pictures_ = home_ / "data" / "picmem.dat";
  }
  void TearDown() override { fs::remove_all(root_); }

  int RecordCount() {
    const CliResult r = RunCli(home_, {"library", "list"});
    return static_cast<int>(std::count(r.out.begin(), r.out.end(), '\n'));
  }
  fs::path JsonFile(const std::string& code) {
    const fs::path file = root_ / (code + ".json");
    Write(file, RecordJson(code));
    return file;
  }

  fs::path root_, home_, library_, pictures_;
};

TEST_F(LibraryCommand, TwoAddsAtOnceKeepBothRecords) {
  const int start = RecordCount();
  constexpr int kRuns = 25;
  for (int run = 0; run < kRuns; ++run) {
    const std::string a = std::to_string(7000 + 2 * run), b = std::to_string(7001 + 2 * run);
    CliProcess first(home_, {"library", "add", JsonFile(a).string()});
    CliProcess second(home_, {"library", "add", JsonFile(b).string()});
    const CliResult r1 = first.Finish(), r2 = second.Finish();
    ASSERT_EQ(r1.status, 0) << r1.err;
    ASSERT_EQ(r2.status, 0) << r2.err;
    ASSERT_NE(r1.out, r2.out) << "both adds stored at index " << r1.out;
  }
  EXPECT_EQ(RecordCount(), start + 2 * kRuns);
  const CliResult list = RunCli(home_, {"library", "list"});
  for (int i = 0; i < 2 * kRuns; ++i)
    EXPECT_NE(list.out.find("\t" + std::to_string(7000 + i) + "\t"), std::string::npos) << 7000 + i;
}

TEST_F(LibraryCommand, TwoImportsAtOnceKeepEveryRecord) {
  const fs::path exchange = root_ / "three.acpf";
  Write(root_ / "p.jpg", std::string(500, 'j'));
  ASSERT_EQ(RunCli(home_, {"picture", "set", "0101", "--jpeg", (root_ / "p.jpg").string()}).status, 0);
  ASSERT_EQ(RunCli(home_, {"library", "export", "--out", exchange.string(), "0", "1", "2"}).status, 0);
  const int start = RecordCount();
  constexpr int kRuns = 20;
  std::set<std::string> first_codes;
  for (int run = 0; run < kRuns; ++run) {
    CliProcess first(home_, {"library", "import", exchange.string()});
    CliProcess second(home_, {"library", "import", exchange.string()});
    const CliResult r1 = first.Finish(), r2 = second.Finish();
    ASSERT_EQ(r1.status, 0) << r1.err;
    ASSERT_EQ(r2.status, 0) << r2.err;
    first_codes.insert(r1.out);
    first_codes.insert(r2.out);
  }
  EXPECT_EQ(first_codes.size(), 2u * kRuns) << "two imports started at the same code";
  EXPECT_EQ(RecordCount(), start + 3 * 2 * kRuns);
}

TEST_F(LibraryCommand, ADamagedLibraryIsReadButNeverChanged) {
  std::string bytes = Read(library_);
  bytes.resize(bytes.size() - 10);
  Write(library_, bytes);
  const fs::path exchange = root_ / "x.acpf";
  Write(exchange, std::string(16, '\0'));
  const struct {
    std::vector<std::string> args;
  } changes[] = {
      {{"library", "add", JsonFile("7777").string()}},
      {{"library", "replace", "0", JsonFile("7778").string()}},
      {{"library", "delete", "0"}},
      {{"library", "import", exchange.string()}},
  };
  for (const auto& c : changes) {
    const CliResult r = RunCli(home_, c.args);
    EXPECT_EQ(r.status, 2) << c.args[1];
    EXPECT_NE(r.err.find(library_.string()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("length field"), std::string::npos) << r.err;
    EXPECT_EQ(Read(library_), bytes) << c.args[1];
  }
  // Reading shows the records read whole, with a warning.
  const CliResult list = RunCli(home_, {"library", "list"});
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(list.err.find("damaged"), std::string::npos) << list.err;
  EXPECT_GE(std::count(list.out.begin(), list.out.end(), '\n'), 5);
}

TEST_F(LibraryCommand, PictureClearSaysWhetherItRemovedAnything) {
  Write(root_ / "remote.jpg", std::string(800, 'j'));
  ASSERT_EQ(RunCli(home_, {"picture", "set", "0149", "--jpeg", (root_ / "remote.jpg").string()}).status, 0);
  const std::string before = Read(pictures_);
  struct Case {
    const char* code;
    int status;
    const char* says;
  };
  for (const Case& c : {Case{"01", 1, "nothing removed"}, Case{"0150", 1, "nothing removed"},
                        Case{"0149", 0, "removed"}, Case{"0149", 1, "nothing removed"}}) {
    const CliResult r = RunCli(home_, {"picture", "clear", c.code});
    EXPECT_EQ(r.status, c.status) << c.code;
    EXPECT_NE(r.out.find(c.says), std::string::npos) << c.code << ": " << r.out;
    if (c.status == 1 && std::string(c.code) != "0149") {
      EXPECT_EQ(Read(pictures_), before) << c.code;
    }
  }
}

TEST_F(LibraryCommand, ADamagedPictureStoreIsNeverChanged) {
  Write(root_ / "remote.jpg", std::string(800, 'j'));
  ASSERT_EQ(RunCli(home_, {"picture", "set", "0149", "--jpeg", (root_ / "remote.jpg").string()}).status, 0);
  ASSERT_EQ(RunCli(home_, {"picture", "set", "0150", "--jpeg", (root_ / "remote.jpg").string()}).status, 0);
  std::string bytes = Read(pictures_);
  bytes.resize(bytes.size() - 10);
  Write(pictures_, bytes);
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"picture", "set", "0151", "--jpeg", (root_ / "remote.jpg").string()},
        std::vector<std::string>{"picture", "clear", "0149"}}) {
    const CliResult r = RunCli(home_, args);
    EXPECT_EQ(r.status, 2) << args[1];
    EXPECT_NE(r.err.find(pictures_.string()), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("damaged"), std::string::npos) << r.err;
    EXPECT_EQ(Read(pictures_), bytes) << args[1];
  }
}

TEST_F(LibraryCommand, TheNextChangeRemovesWhatAKilledSaveLeftBehind) {
  const fs::path data = home_ / "data";
  struct Case {
    const char* left_behind;
    std::vector<std::string> change;
  };
  const Case cases[] = {
      {".picmem.dat.Ab12Cd", {"picture", "clear", "0149"}},
      {".acprotocl.dat.Zz99Yy", {"library", "add", JsonFile("7100").string()}},
      {".picmem.dat.Q1w2E3", {"library", "delete", "0"}},
  };
  for (const Case& c : cases) {
    Write(data / c.left_behind, std::string(1000, 'x'));
    Write(data / "notes.txt", "mine");
    RunCli(home_, c.change);
    EXPECT_FALSE(fs::exists(data / c.left_behind)) << c.left_behind;
    EXPECT_TRUE(fs::exists(data / "notes.txt"));
  }
}

TEST_F(LibraryCommand, HostileJsonIsRefusedWithAMessage) {
  const std::string library_before = Read(library_);
  const fs::path deep = root_ / "deep.json";
  Write(deep, "{\"brand\":" + std::string(70000, '[') + std::string(70000, ']') + "}");
  const fs::path big = root_ / "big.json";
  {
    std::ofstream out(big, std::ios::binary);
    out << "{\"brand\":\"";
    out << std::string(64 * 1024 * 1024, 'x');
    out << "\"}";
  }
  const fs::path syntax = root_ / "syntax.json";
  Write(syntax, "{\n  \"code\": \"0149\",\n  \"brand\": }\n");
  struct Case {
    fs::path file;
    const char* says;
  };
  for (const Case& c : {Case{deep, "deeper than 32 levels"}, Case{big, "67108876 bytes"},
                        Case{syntax, "line 3, column 12 (field brand)"}}) {
    for (const char* verb : {"add", "replace"}) {
      std::vector<std::string> args = {"library", verb};
      if (std::string(verb) == "replace") args.push_back("0");
      args.push_back(c.file.string());
      const CliResult r = RunCli(home_, args);
      EXPECT_EQ(r.status, 2) << c.file << " " << verb;
      EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err.substr(0, 300);
      EXPECT_LT(r.err.size(), 500u) << r.err.substr(0, 300);
    }
  }
  EXPECT_EQ(Read(library_), library_before);
}

TEST_F(LibraryCommand, ADamagedPictureInAnExchangeFileIsNamed) {
  Write(root_ / "remote.jpg", std::string(800, 'j'));
  ASSERT_EQ(RunCli(home_, {"picture", "set", "0101", "--jpeg", (root_ / "remote.jpg").string()}).status, 0);
  const fs::path exchange = root_ / "one.acpf";
  // Export the record whose code is 0101 alone, then cut its picture short.
  const CliResult list = RunCli(home_, {"library", "list", "--keyword", "0101"});
  ASSERT_EQ(std::count(list.out.begin(), list.out.end(), '\n'), 1) << list.out;
  const std::string index = list.out.substr(0, list.out.find('\t'));
  ASSERT_EQ(RunCli(home_, {"library", "export", "--out", exchange.string(), index}).status, 0);
  std::string bytes = Read(exchange);
  const auto* raw = reinterpret_cast<const std::uint8_t*>(bytes.data());
  const std::uint64_t l1 = base::ReadU32Le(raw), l2 = base::ReadU32Le(raw + 8);
  bytes.resize(bytes.size() - 100);
  auto* data = reinterpret_cast<std::uint8_t*>(bytes.data());
  base::WriteU32Le(data + 8, static_cast<std::uint32_t>(l2 - 100));
  base::WriteU32Le(data + 16 + l1, static_cast<std::uint32_t>(l2 - 100));
  Write(exchange, bytes);
  const CliResult r = RunCli(home_, {"library", "import", exchange.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("(0101 in " + exchange.string() + ") was imported without its picture"),
            std::string::npos)
      << r.err;
}

}  // namespace
}  // namespace klimavo::cli
