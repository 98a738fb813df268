// What a careless or hostile user of klimavo-cli may do to the home's own
// files: outputs that name them, records that do not exist, devices given as
// files, a picture store that is a folder or cut short, a missing language
// file. The home's files are never damaged and every message tells the truth.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cli_runner.h"

namespace klimavo::cli {
namespace {

namespace fs = std::filesystem;
using testing::CliResult;
using testing::RunCli;

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
void Write(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

// A home seeded with the sample library, in a folder of its own.
class DataSafetyCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::temp_directory_path() /
        ("klimavo_safety_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    home_ = root_ / "home";
    ASSERT_EQ(RunCli(home_, {"home"}).status, 0);
    library_ = home_ / "data" / "acprotocl.dat";
    pictures_ = home_ / "data" / "picmem.dat";
    Write(root_ / "remote.jpg", std::string(800, 'j'));
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string CodeOf(int index) {
    const CliResult r = RunCli(home_, {"library", "list", "--sort", "code"});
    std::size_t at = 0;
    for (std::size_t line = 0; at < r.out.size(); ++line) {
      const std::size_t end = r.out.find('\n', at);
      const std::string row = r.out.substr(at, end - at);
      if (row.substr(0, row.find('\t')) == std::to_string(index)) {
        const std::size_t brand_end = row.find('\t', row.find('\t') + 1);
        return row.substr(brand_end + 1, row.find('\t', brand_end + 1) - brand_end - 1);
      }
      at = end + 1;
    }
    return {};
  }

  fs::path root_, home_, library_, pictures_;
};

// An output option never replaces one of the home's own files, however it is
// named: by its name, another spelling, a hard link or a symbolic link.
TEST_F(DataSafetyCommand, AnOutputThatIsAFileOfTheHomeIsRefused) {
  ASSERT_EQ(RunCli(home_, {"picture", "set", CodeOf(0), "--jpeg", (root_ / "remote.jpg").string()}).status,
            0);
  Write(home_ / "config.ini", "[Config]\nlang=1\n");
  fs::create_hard_link(library_, root_ / "hard.dat");
  fs::create_symlink(pictures_, root_ / "soft.dat");
  fs::create_symlink(home_ / "data", root_ / "data-link");
  // Files the home lacks yet, made where the workbench would read them: the
  // template New starts from, a picture store through a linked folder, a
  // colour scheme.
  const std::vector<std::string> missing = {(home_ / "data" / "templet.apf").string(),
                                            (root_ / "data-link" / "picmem2.dat").string(),
                                            (home_ / "Binn" / "colours.ini").string()};
  std::vector<std::string> outputs = {library_.string(), (home_ / "data/../data/picmem.dat").string(),
                                      (root_ / "hard.dat").string(), (root_ / "soft.dat").string(),
                                      (home_ / "config.ini").string()};
  outputs.insert(outputs.end(), missing.begin(), missing.end());
  const std::string library = Read(library_), pictures = Read(pictures_), config = Read(home_ / "config.ini");
  for (const std::string& out : outputs) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"library", "export", "--out", out, "0"},
          std::vector<std::string>{"tables", "--out", out, "0"},
          std::vector<std::string>{"image", "0", "--out", out},
          std::vector<std::string>{"bundle", "--out", out}}) {
      const CliResult r = RunCli(home_, args);
      EXPECT_EQ(r.status, 2) << args[0] << " " << out;
      EXPECT_NE(r.err.find("workbench's own file"), std::string::npos) << r.err;
    }
  }
  EXPECT_EQ(Read(library_), library);
  EXPECT_EQ(Read(pictures_), pictures);
  EXPECT_EQ(Read(home_ / "config.ini"), config);
  for (const std::string& out : missing) EXPECT_FALSE(fs::exists(out)) << out;
  // An output elsewhere is written as before.
  EXPECT_EQ(RunCli(home_, {"library", "export", "--out", (root_ / "x.acpf").string(), "0"}).status, 0);
  EXPECT_EQ(RunCli(home_, {"image", "0", "--out", (root_ / "x.bin").string()}).status, 0);
}

TEST_F(DataSafetyCommand, TablesForARecordThatIsNotThereWriteNothing) {
  Write(home_ / "acwn.txt", "good tables");
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"tables", "99"}, std::vector<std::string>{"tables", "0", "99"},
        std::vector<std::string>{"tables", "--", "-1"}}) {
    const CliResult r = RunCli(home_, args);
    EXPECT_EQ(r.status, 2) << args.back();
    EXPECT_NE(r.err.find("is not in the library"), std::string::npos) << r.err;
    EXPECT_EQ(Read(home_ / "acwn.txt"), "good tables");
  }
  EXPECT_EQ(RunCli(home_, {"tables", "0"}).status, 0);
  EXPECT_NE(Read(home_ / "acwn.txt"), "good tables");
}

TEST_F(DataSafetyCommand, MessagesSayWhatIsReallyWrong) {
  const CliResult device = RunCli(home_, {"library", "add", "/dev/zero"});
  EXPECT_EQ(device.status, 2);
  EXPECT_NE(device.err.find("not a regular file"), std::string::npos) << device.err;
  const CliResult missing = RunCli(home_, {"library", "add", (root_ / "none.json").string()});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("no such file"), std::string::npos) << missing.err;

  // A folder where the picture store belongs stops a delete: the records'
  // pictures could not go with them.
  const std::string library = Read(library_);
  fs::remove(pictures_);
  fs::create_directories(pictures_);
  const CliResult del = RunCli(home_, {"library", "delete", "0"});
  EXPECT_EQ(del.status, 2);
  EXPECT_NE(del.err.find("not a regular file"), std::string::npos) << del.err;
  EXPECT_EQ(Read(library_), library);
}

// Readers say the picture store is damaged: an export names each picture it
// could not include, and `picture show` does not claim there is no picture.
TEST_F(DataSafetyCommand, ReadersSayThePictureStoreIsDamaged) {
  const std::string first = CodeOf(0), second = CodeOf(1);
  const std::string jpeg = (root_ / "remote.jpg").string();
  ASSERT_EQ(RunCli(home_, {"picture", "set", first, "--jpeg", jpeg}).status, 0);
  ASSERT_EQ(RunCli(home_, {"picture", "set", second, "--jpeg", jpeg}).status, 0);
  std::string store = Read(pictures_);
  store.resize(store.size() - 10);  // the entry stored first lies last: its picture is cut
  Write(pictures_, store);

  const CliResult exported =
      RunCli(home_, {"library", "export", "--out", (root_ / "x.acpf").string(), "0", "1"});
  EXPECT_EQ(exported.status, 0);
  EXPECT_NE(exported.err.find("record " + first + " was exported without its picture"), std::string::npos)
      << exported.err;
  EXPECT_EQ(exported.err.find("record " + second + " was exported"), std::string::npos) << exported.err;

  const CliResult shown = RunCli(home_, {"picture", "show", first});
  EXPECT_EQ(shown.status, 2);
  EXPECT_NE(shown.err.find("damaged"), std::string::npos) << shown.err;
  EXPECT_EQ(shown.err.find("has no picture"), std::string::npos) << shown.err;
  const CliResult whole = RunCli(home_, {"picture", "show", second});
  EXPECT_EQ(whole.status, 0);
  EXPECT_NE(whole.err.find("damaged"), std::string::npos) << whole.err;
}

// `--lang 0` reads as `lang=0` in config.ini does: English.
TEST_F(DataSafetyCommand, LanguageZeroMeansTheSameOnTheCommandLineAndInConfig) {
  Write(home_ / "config.ini", "[Config]\nlang=0\n");
  const std::string from_config = RunCli(home_, {"library", "show", "0"}).out;
  Write(home_ / "config.ini", "[Config]\nlang=2\n");
  const std::string chinese = RunCli(home_, {"library", "show", "0"}).out;
  const std::string from_option = RunCli(home_, {"--lang", "0", "library", "show", "0"}).out;
  EXPECT_EQ(from_option, from_config);
  EXPECT_EQ(from_option, RunCli(home_, {"--lang", "1", "library", "show", "0"}).out);
  EXPECT_NE(from_option, chinese);
  EXPECT_EQ(RunCli(home_, {"--lang", "7", "library", "show", "0"}).out, from_config);
}

// Every value of `lang` outside the listed languages is English, as in the
// windowed workbench (the same rule, in workflow::StartLanguageNo): 258 and
// -254 end in the byte of Chinese and must not read as it.
TEST_F(DataSafetyCommand, EveryLangValueOutsideTheLanguagesIsEnglish) {
  const std::string english = RunCli(home_, {"--lang", "1", "library", "show", "0"}).out;
  const std::string chinese = RunCli(home_, {"--lang", "2", "library", "show", "0"}).out;
  ASSERT_NE(english, chinese);
  const struct {
    const char* value;
    bool chinese;
  } cases[] = {{"1", false},   {"2", true},     {"0", false},   {"3", false},          {"-1", false},
               {"258", false}, {"-254", false}, {"514", false}, {"4294967298", false}, {"two", false}};
  for (const auto& c : cases) {
    Write(home_ / "config.ini", std::string("[Config]\nlang=") + c.value + "\n");
    const CliResult r = RunCli(home_, {"library", "show", "0"});
    EXPECT_EQ(r.status, 0) << c.value << ": " << r.err;
    EXPECT_EQ(r.out, c.chinese ? chinese : english) << "lang=" << c.value;
  }
}

TEST_F(DataSafetyCommand, AMissingLanguageFileGivesTheBuiltInEnglishTextsAndOneMessage) {
  const std::string english = RunCli(home_, {"--lang", "1", "library", "show", "0"}).out;
  fs::remove(home_ / "data/Language.ini");
  const CliResult r = RunCli(home_, {"library", "show", "0"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, english);
  const std::string message = "Language.ini is missing";
  const std::size_t at = r.err.find(message);
  EXPECT_NE(at, std::string::npos) << r.err;
  EXPECT_EQ(r.err.find(message, at + 1), std::string::npos) << r.err;
}

}  // namespace
}  // namespace klimavo::cli
