#include "ir/ir_terms.h"

#include <gtest/gtest.h>

#include "base/gbk.h"

namespace klimavo::ir {
namespace {

std::string Gbk(std::string_view utf8) { return base::Utf8ToGbk(utf8).value(); }

TEST(IrTerms, TablesHoldTheTermsInBothLanguages) {
  EXPECT_EQ(base::GbkToUtf8(IrTermNamesCn[0]), "引导码");
  EXPECT_EQ(base::GbkToUtf8(IrTermNamesCn[9]), "反码");
  EXPECT_EQ(base::GbkToUtf8(IrTermNamesCn[20]), "结束帧");
  EXPECT_EQ(IrTermNamesEn[14], "Wind-direction");
  for (std::size_t i = 0; i < kIrTermCount; ++i) {
    EXPECT_FALSE(IrTermNamesCn[i].empty());
    EXPECT_FALSE(IrTermNamesEn[i].empty());
  }
}

TEST(TranslateIrTerms, ReplacesTheFirstOccurrenceOfEachTermInTableOrder) {
  struct Case {
    const char* utf8;
    const char* expected;  // UTF-8 of the GBK result
  };
  const Case cases[] = {
      {"引导码引导码", "Leader code引导码"},  // only the first occurrence
      {"数据帧", "Data Frame"},               // not touched by "数据码"
      {"温度+开关", "Temp.+Power"},
      {"同码反码", "S.R."},
      {"abc", "abc"},
      {"", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(base::GbkToUtf8(TranslateIrTerms(Gbk(c.utf8), 2057)), c.expected) << c.utf8;
}

TEST(TranslateIrTerms, ChineseKeepsTheText) {
  const std::string text = Gbk("引导码数据码");
  EXPECT_EQ(TranslateIrTerms(text, kChineseLocaleId), text);
}

TEST(TranslateIrTerms, MatchesOnlyWholeCharacters) {
  // "码" (C2 EB) followed by "反" starts with the bytes EB B7; a byte search
  // for "翻转码"/"反码" must not start inside a character. Build a text whose
  // byte sequence hides "反码" (B7 B4 C2 EB) across character boundaries.
  std::string text = "\xC8\xB7\xB4\xC2\xEB\xAA";  // 确 (C8 B7), then B4 C2, EB AA
  EXPECT_EQ(TranslateIrTerms(text, 2057), text);
}

}  // namespace
}  // namespace klimavo::ir
