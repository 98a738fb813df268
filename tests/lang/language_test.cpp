#include "lang/language.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/ini_file.h"

namespace klimavo::lang {
namespace {

namespace fs = std::filesystem;

// A home folder with optional language files, removed afterwards.
class LanguageHome : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = fs::temp_directory_path() /
            ("klimavo_lang_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(home_);
    fs::create_directories(home_ / "data");
  }
  void TearDown() override { fs::remove_all(home_); }
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(home_ / "data" / name, std::ios::binary) << text;
  }
  fs::path home_;
};

TEST_F(LanguageHome, MissingTextFileGivesTheBuiltInEnglishTextsAndIsRetriedOnTheNextCall) {
  for (int language_no : {1, 2}) {
    Language lang(home_, language_no);
    EXPECT_TRUE(lang.TextsMissing());
    EXPECT_EQ(lang.Text(37), "The data files have been updated.") << language_no;
    EXPECT_EQ(lang.Text(9), "Information") << language_no;
  }
  Language lang(home_, 1);
  EXPECT_EQ(lang.Text(9), "Information");
  Write("Language.ini", "[1]\r\ncon_str009=Own text\r\n");
  EXPECT_FALSE(lang.TextsMissing());
  EXPECT_EQ(lang.Text(9), "Own text");
}

TEST_F(LanguageHome, TextsComeFromTheLanguageSectionWithSectionOneAsFallback) {
  Write("Language.ini",
        "[1]\r\ncon_str009=Information\r\ncon_str068=In use\r\ncon_str100=Hundred\r\ncon_str010=Imported:\r\n"
        "[2]\r\ncon_str009=\xCC\xE1\xCA\xBE\r\ncon_str068=   \r\n[3]\r\ncon_str009=\r\n");
  struct Case {
    int language_no;
    int number;
    std::string expected;
  };
  const Case cases[] = {
      {1, 9, "Information"}, {2, 9, "\xCC\xE1\xCA\xBE"},
      {2, 68, "In use"},      // blank after trimming: section 1
      {3, 9, "Information"},  // empty value: section 1
      {7, 10, "Imported:"},   // section missing altogether
      {1, 100, "Hundred"},    // more than three digits
      {1, 11, ""},            // in no section
      {2, 11, ""},
  };
  for (const auto& c : cases) {
    Language lang(home_, c.language_no);
    EXPECT_EQ(lang.Text(c.number), c.expected) << "language " << c.language_no << " text " << c.number;
  }
}

TEST_F(LanguageHome, TheFirstFoundTextFileIsKept) {
  Write("Language.ini", "[1]\r\ncon_str009=First\r\n");
  Language lang(home_, 1);
  EXPECT_EQ(lang.Text(9), "First");
  Write("Language.ini", "[1]\r\ncon_str009=Second\r\n");
  EXPECT_EQ(lang.Text(9), "First");
}

TEST(TextKey, HasAtLeastThreeDigits) {
  EXPECT_EQ(TextKey(9), "con_str009");
  EXPECT_EQ(TextKey(68), "con_str068");
  EXPECT_EQ(TextKey(0), "con_str000");
  EXPECT_EQ(TextKey(1234), "con_str1234");
}

TEST_F(LanguageHome, WithoutTheNamesFileThereAreNoLanguagesAndNoEntries) {
  Language lang(home_, 2);
  EXPECT_EQ(lang.LanguageCount(), 0);
  EXPECT_TRUE(lang.LanguageNames().empty());
  EXPECT_TRUE(lang.FormEntries("frmAirEditor").empty());
}

constexpr const char* kSil =
    "[Language names]\r\nLanguage_1=English\r\nLanguage_2=Chinese\r\nLanguage_4=Gap\r\n"
    "[Language names_1]\r\nLanguage_1=Yingwen\r\nLanguage_2=Zhongwen\r\n"
    "[Language names_2]\r\nLanguage_1=\r\n";

TEST_F(LanguageHome, LanguageNamesEndAtTheFirstGapAndFollowTheCurrentLanguage) {
  Write("Language.sil", kSil);
  struct Case {
    int language_no;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {1, {"English", "Chinese"}},
      {2, {"Yingwen", "Zhongwen"}},
      {3, {"English", "Chinese"}},  // section names_2 gives none
      {9, {"English", "Chinese"}},  // no such section
  };
  for (const auto& c : cases) {
    Language lang(home_, c.language_no);
    EXPECT_EQ(lang.LanguageCount(), 2);
    EXPECT_EQ(lang.LanguageNames(), c.expected) << "language " << c.language_no;
  }
}

TEST(FormEntries, FallBackToSectionZeroOnlyWhenTheLanguageSectionIsEmpty) {
  auto names = base::IniFile::FromText(
      "[0_frmAirEditor]\r\nlblBrand.Caption=Brand\r\n=nameless\r\nlblCodeNo.Caption=\r\nCaption=Editor\r\n"
      "[1_frmAirEditor]\r\nlblBrand.Caption=\xC6\xB7\xC5\xC6\r\n"
      "[2_frmAirEditor]\r\nlblBrand.Caption=\r\n");
  using Entries = std::vector<std::pair<std::string, std::string>>;
  const Entries english = {{"lblBrand.Caption", "Brand"}, {"Caption", "Editor"}};
  EXPECT_EQ(FormEntriesOf(names, 1, "frmAirEditor"), english);
  EXPECT_EQ(FormEntriesOf(names, 0, "frmAirEditor"), english);  // LanguageNo 0 applies index 0
  EXPECT_EQ(FormEntriesOf(names, 2, "frmAirEditor"), (Entries{{"lblBrand.Caption", "\xC6\xB7\xC5\xC6"}}));
  // Section 2 has an entry (with an empty value): no fallback, and the entry is skipped.
  EXPECT_TRUE(FormEntriesOf(names, 3, "frmAirEditor").empty());
  EXPECT_EQ(FormEntriesOf(names, 5, "frmAirEditor"), english);
  EXPECT_TRUE(FormEntriesOf(names, 1, "frmOther").empty());
}

}  // namespace
}  // namespace klimavo::lang
