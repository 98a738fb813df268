#include <gtest/gtest.h>

#include "base/gbk.h"
#include "lang/language.h"
#include "lang/name_tables.h"

namespace klimavo::lang {
namespace {

constexpr int kEnglish = 1;
constexpr int kChinese = 2;

// GBK bytes of the names the cases use.
const std::string kPowerCn = "\xBF\xAA\xB9\xD8";  // 开关
const std::string kTempCn = "\xCE\xC2\xB6\xC8";   // 温度
const std::string kOnCn = "\xBF\xAA";             // 开
const std::string kCoolCn = "\xD6\xC6\xC0\xE4";   // 制冷
const std::string kSwingCn = "\xB0\xDA\xB6\xAF";  // 摆动

struct Case {
  const char* what;
  std::string text;
  int language_no;
  std::string expected;
};

TEST(TranslateStateName, TableOfCases) {
  const Case cases[] = {
      {"upper-case English to Chinese", "COOL", kChinese, kCoolCn},
      {"Chinese to English", kCoolCn, kEnglish, "Cool"},
      {"On", "On", kChinese, kOnCn},
      {"inside a word", "Monday", kChinese, "M" + kOnCn + "day"},
      {"Swing takes index 13", "Swing", kChinese, kSwingCn},
      {"first occurrence only", "on on", kChinese, kOnCn + " on"},
      {"unknown", "Turbo", kChinese, "Turbo"},
      {"Chinese unchanged in Chinese", kCoolCn, kChinese, kCoolCn},
      {"any other language is English", kCoolCn, 3, "Cool"},
      {"empty", "", kChinese, ""},
      // 0x81 0x4F is one character whose trail byte is 'O': "On" must not be
      // found across it and the following 'n'.
      {"no match inside a character", "\x81\x4Fn", kChinese, "\x81\x4Fn"},
      // Temperatures keep the degree sign in English; an old mark after digits becomes one.
      {"degrees in English", "16\xA1\xE6", kEnglish, "16\xA1\xE6"},
      {"degree mark in English", "16'", kEnglish, "16\xA1\xE6"},
      {"degree mark in Chinese", "30'", kChinese, "30\xA1\xE6"},
      {"a mark after a letter stays", "Don't", kEnglish, "Don't"},
  };
  for (const auto& c : cases) EXPECT_EQ(TranslateStateName(c.text, c.language_no), c.expected) << c.what;
}

TEST(TranslateKeyName, TableOfCases) {
  const Case cases[] = {
      {"two Chinese names", kPowerCn + kTempCn, kEnglish, "PowerTemp."},
      {"English to Chinese", "Power", kChinese, kPowerCn},
      {"case matters", "POWER", kChinese, "POWER"},
      {"inside a longer word", "Fans", kChinese,
       "\xB7\xE7\xC1\xBF"
       "s"},
      {"first occurrence only", "Mode Mode", kChinese, "\xC4\xA3\xCA\xBD Mode"},
      {"unknown", "Turbo", kEnglish, "Turbo"},
      {"no match inside a character",
       "\x81"
       "Fan",
       kChinese,
       "\x81"
       "Fan"},
  };
  for (const auto& c : cases) EXPECT_EQ(TranslateKeyName(c.text, c.language_no), c.expected) << c.what;
}

TEST(CrcNames, FollowTheLanguageAndRefuseIndexesOutsideTheTables) {
  EXPECT_EQ(CrcKindName(0, kEnglish), "CheckSum");
  EXPECT_EQ(CrcKindName(10, kEnglish), "Flips of xor");
  EXPECT_EQ(CrcKindName(6, kChinese), "\xD2\xEC\xBB\xF2");
  EXPECT_EQ(CrcKindName(9, kChinese), "GREE\xD0\xA3\xD1\xE9");
  EXPECT_EQ(CrcKindName(11, kEnglish), "");
  EXPECT_EQ(CrcKindName(-1, kChinese), "");
  EXPECT_EQ(CrcOpName(0), "+");
  EXPECT_EQ(CrcOpName(6), "or");
  EXPECT_EQ(CrcOpName(7), "");
}

// Every Chinese table entry, read back from GBK, against its UTF-8 wording.
TEST(NameTables, ChineseEntriesAreTheRightCharacters) {
  const std::vector<std::string> crc = {"求和",         "求和取反",    "1的个数", "1的个数取反",
                                        "0的个数",      "0的个数取反", "异或",    "求和后高低交换",
                                        "首加一位求和", "GREE校验",    "异或取反"};
  const std::vector<std::string> functions = {"开关", "温度", "模式", "风量", "风向", "叶片"};
  const std::vector<std::string> values = {"开",   "关",   "℃",    "自动", "制冷", "除湿", "送风",    "制热",
                                           "角度", "高速", "中速", "低速", "不摆", "摆动", "上下摆风"};
  auto check = [](const auto& table, const std::vector<std::string>& expected) {
    ASSERT_EQ(table.size(), expected.size());
    for (std::size_t i = 0; i < table.size(); ++i) EXPECT_EQ(base::GbkToUtf8(table[i]), expected[i]) << i;
  };
  check(CrcKindNamesCn, crc);
  check(AcFunctionNamesCn, functions);
  check(AcValueNamesCn, values);
  EXPECT_EQ(base::GbkToUtf8(CorrespondingText(kChinese)), "相应值");
  EXPECT_EQ(base::GbkToUtf8(SetSideText(kChinese)), "两边置1");
}

TEST(NameTables, AreValidGbkAndHaveTheirTwoSidedTexts) {
  EXPECT_EQ(KeyKindNames[1], "TEMP+-");
  EXPECT_EQ(KeyKindNames[3], "MODE/FAN");
  EXPECT_EQ(CorrespondingText(kChinese), "\xCF\xE0\xD3\xA6\xD6\xB5");
  EXPECT_EQ(CorrespondingText(kEnglish), "Corresponding");
  EXPECT_EQ(SetSideText(kChinese),
            "\xC1\xBD\xB1\xDF\xD6\xC3"
            "1");
  EXPECT_EQ(SetSideText(0), "Set Side");
  EXPECT_EQ(AcValueName(2, kChinese), "\xA1\xE6");
  EXPECT_EQ(AcValueName(2, kEnglish), "\xA1\xE6");
  EXPECT_EQ(AcFunctionName(5, kEnglish), "Vane");
  EXPECT_EQ(AcFunctionName(6, kEnglish), "");
}

}  // namespace
}  // namespace klimavo::lang
