// The language files shipped in a new home: GBK on disk, identical to their
// UTF-8 sources, with a text for every number the workbench asks for.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/gbk.h"
#include "base/ini_file.h"
#include "lang/language.h"

namespace klimavo::lang {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

const fs::path kSource = fs::path(KLIMAVO_SOURCE_DIR) / "data";

std::string WithCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

TEST(LanguageData, GbkFilesMatchTheirUtf8Sources) {
  for (const char* ext : {"ini", "sil"}) {
    std::string gbk = ReadFile(kSource / "home/data" / (std::string("Language.") + ext));
    std::string utf8 = ReadFile(kSource / "lang" / (std::string("Language.utf8.") + ext));
    ASSERT_FALSE(gbk.empty()) << ext;
    EXPECT_EQ(base::GbkToUtf8(gbk), WithCrLf(utf8)) << ext << ": run data/lang/make_gbk.sh";
  }
}

TEST(LanguageData, EveryTextNumberHasAnEnglishAndAChineseWording) {
  auto texts = base::IniFile::Load(kSource / "home/data/Language.ini");
  const int numbers[] = {0,  1,  2,  5,  9,  10, 13, 18, 26, 27, 30, 31,  32,  35,  36, 37, 38,
                         41, 42, 43, 44, 45, 46, 47, 48, 49, 50, 51, 52,  53,  54,  55, 56, 57,
                         58, 59, 60, 61, 62, 63, 64, 66, 67, 68, 69, 350, 351, 352, 353};
  for (int n : numbers) {
    EXPECT_FALSE(texts.ReadString("1", TextKey(n), "").empty()) << "English text " << n;
    std::string cn = texts.ReadString("2", TextKey(n), "");
    EXPECT_FALSE(cn.empty()) << "Chinese text " << n;
    EXPECT_NE(cn, texts.ReadString("1", TextKey(n), "")) << "Chinese text " << n << " is not translated";
  }
}

TEST(LanguageData, NamesFileListsBothLanguagesAndTranslatesTheMainWindow) {
  auto names = base::IniFile::Load(kSource / "home/data/Language.sil");
  EXPECT_EQ(LanguageNamesOf(names, 1), (std::vector<std::string>{"English", "\xD6\xD0\xCE\xC4"}));
  EXPECT_EQ(LanguageCountOf(names), 2);
  auto english = FormEntriesOf(names, 1, "frmAirEditor");
  auto chinese = FormEntriesOf(names, 2, "frmAirEditor");
  ASSERT_FALSE(english.empty());
  ASSERT_EQ(english.size(), chinese.size());
  for (std::size_t i = 0; i < english.size(); ++i) EXPECT_EQ(english[i].first, chinese[i].first);
}

}  // namespace
}  // namespace klimavo::lang
