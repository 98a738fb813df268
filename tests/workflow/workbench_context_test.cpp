// The workbench context both front ends start from: one language rule for
// key `lang` of config.ini and the CLI's --lang, and the files of the home.
#include "workflow/workbench_context.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace klimavo::workflow {
namespace {

namespace fs = std::filesystem;

// A home with the language files of a new home (two languages) and a config.ini.
class WorkbenchContextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(home_);
    fs::create_directories(home_ / "data");
    for (const char* file : {"Language.ini", "Language.sil"})
      fs::copy_file(fs::path(KLIMAVO_SOURCE_DIR) / "data/home/data" / file, home_ / "data" / file);
  }
  void TearDown() override { fs::remove_all(home_); }
  void WriteConfig(const std::string& text) { std::ofstream(home_ / "config.ini", std::ios::binary) << text; }

  const fs::path home_ = fs::temp_directory_path() / ("klimavo-context-" + std::to_string(::getpid()));
};

struct LangCase {
  const char* config;  ///< the text of config.ini
  int language_no;
};

// Every value outside 1..2 starts in English, whatever its low byte holds:
// 258 and -254 end in 0x02 and once read as Chinese in the windowed workbench.
const LangCase kLangCases[] = {
    {"[Config]\nlang=1\n", 1},    {"[Config]\nlang=2\n", 2},   {"[Config]\nlang=0\n", 1},
    {"[Config]\nlang=3\n", 1},    {"[Config]\nlang=-1\n", 1},  {"[Config]\nlang=258\n", 1},
    {"[Config]\nlang=-254\n", 1}, {"[Config]\nlang=514\n", 1}, {"[Config]\nlang=4294967298\n", 1},
    {"[Config]\nlang=two\n", 1},  {"[Config]\n", 1},           {"", 1},
};

TEST_F(WorkbenchContextTest, EveryLangValueGivesTheSameLanguageToBothStarts) {
  for (const LangCase& c : kLangCases) {
    WriteConfig(c.config);
    EXPECT_EQ(StartLanguageNo(home_), c.language_no) << c.config;
    const WorkbenchContext context(home_);
    EXPECT_EQ(context.language.LanguageNo(), c.language_no) << c.config;
    EXPECT_TRUE(context.startup_problems.empty()) << c.config;
  }
}

TEST_F(WorkbenchContextTest, AnOptionOverridesTheConfigByTheSameRule) {
  WriteConfig("[Config]\nlang=2\n");
  const struct {
    int option;
    int language_no;
  } cases[] = {{1, 1}, {2, 2}, {0, 1}, {3, 1}, {-1, 1}, {258, 1}, {-254, 1}};
  for (const auto& c : cases) EXPECT_EQ(StartLanguageNo(home_, c.option), c.language_no) << c.option;
}

// A config.ini that is a folder holds no `lang`: English, and a chosen option.
TEST_F(WorkbenchContextTest, AConfigThatIsAFolderReadsAsEmpty) {
  fs::create_directory(home_ / "config.ini");
  EXPECT_EQ(StartLanguageNo(home_), 1);
  EXPECT_EQ(StartLanguageNo(home_, 2), 2);
  const WorkbenchContext context(home_);
  EXPECT_EQ(context.language.LanguageNo(), 1);
  EXPECT_TRUE(context.startup_problems.empty());
}

TEST_F(WorkbenchContextTest, TheFilesLieInTheHome) {
  const WorkbenchContext context(home_, 2);
  EXPECT_EQ(context.language.LanguageNo(), 2);
  EXPECT_EQ(context.ConfigFile(), home_ / "config.ini");
  EXPECT_EQ(context.LibraryFile(), home_ / "data" / store::kLibraryFileName);
  EXPECT_EQ(context.library.File(), context.LibraryFile());
  EXPECT_EQ(context.PictureFile(), home_ / "data" / std::string(store::kPictureStoreFileName));
}

}  // namespace
}  // namespace klimavo::workflow
