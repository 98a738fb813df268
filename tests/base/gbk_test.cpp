#include "base/gbk.h"

#include <gtest/gtest.h>

#include "base/short_string.h"

namespace klimavo::base {
namespace {

TEST(Gbk, RoundTripsChineseText) {
  auto gbk = Utf8ToGbk("开关");
  ASSERT_TRUE(gbk);
  EXPECT_EQ(*gbk, std::string("\xBF\xAA\xB9\xD8"));
  EXPECT_EQ(GbkToUtf8(*gbk), "开关");
  EXPECT_FALSE(Utf8ToGbk("\xF0\x9F\x98\x80"));  // an emoji has no GBK form
}

TEST(Gbk, CutNeverSplitsATwoByteCharacter) {
  std::string text = "A" + *Utf8ToGbk("开关");  // 1 + 2 + 2 bytes
  EXPECT_EQ(GbkCutLength(text, 2), 1u);
  EXPECT_EQ(GbkCutLength(text, 3), 3u);
  EXPECT_EQ(GbkCutLength(text, 4), 3u);
  EXPECT_EQ(GbkCutLength(text, 5), 5u);
  ShortString<4> field;
  field.assign(text);
  EXPECT_EQ(field.length, 3);
  EXPECT_EQ(GbkToUtf8(field.str()), "A开");
}

}  // namespace
}  // namespace klimavo::base
