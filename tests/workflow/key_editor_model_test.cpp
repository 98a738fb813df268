// The key editor's logic: its limits (8 keys, 2..16 states, name lengths), the
// message of every refused edit, and the check of OK.
#include "workflow/key_editor_model.h"

#include <gtest/gtest.h>

#include "base/gbk.h"
#include "lang/text_numbers.h"
#include "workflow_test_support.h"

namespace klimavo::workflow {
namespace {

using testing::HomeLanguage;
using testing::RecordWithKeys;

TEST(KeyEditorModel, StateCountEdits) {
  const lang::Language language = HomeLanguage(1);
  struct Case {
    const char* typed;
    int count_after;
    std::optional<std::string> message;
  } cases[] = {
      {"5", 5, std::nullopt},
      {" 16 ", 16, std::nullopt},
      {"2", 2, std::nullopt},
      {"1", 3, TextUtf8(language, kTextBelowTwoStates)},
      {"0", 3, TextUtf8(language, kTextBelowTwoStates)},
      {"-4", 3, TextUtf8(language, kTextBelowTwoStates)},
      {"17", 3, TextUtf8(language, kTextNumberOutOfRange) + " 17 (2..16)"},
      {"abc", 3, TextUtf8(language, kTextNumberOutOfRange) + " \"abc\" (2..16)"},
      {"", 3, TextUtf8(language, kTextNumberOutOfRange) + " \"\" (2..16)"},
  };
  for (const Case& c : cases) {
    KeyEditorModel model(RecordWithKeys({{"Power", {"Off", "On", "Auto"}}}), language);
    const auto message = model.SetStateCount(0, c.typed);
    EXPECT_EQ(model.StateCount(0), c.count_after) << c.typed;
    ASSERT_EQ(message.has_value(), c.message.has_value()) << c.typed;
    if (message) {
      EXPECT_EQ(message->text, *c.message) << c.typed;
    }
  }
}

TEST(KeyEditorModel, ItsMessagesSpeakTheWorkbenchLanguage) {
  struct Case {
    int language_no;
    const char* caption;
    const char* below_two;
  };
  for (const Case& c :
       {Case{1, "Information", "A key needs at least 2 states."}, Case{2, "提示", "不能小于2"}}) {
    KeyEditorModel model(RecordWithKeys({{"Power", {"Off", "On"}}}), HomeLanguage(c.language_no));
    EXPECT_EQ(model.SetStateCount(0, "1"), (EditorMessage{c.caption, c.below_two})) << c.language_no;
  }
}

TEST(KeyEditorModel, AddingKeys) {
  const lang::Language language = HomeLanguage(1);
  KeyEditorModel model(RecordWithKeys({{"Power", {"Off", "On"}}}), language);
  EXPECT_EQ(model.AddKey("   "), (EditorMessage{TextUtf8(language, lang::kTextInformation),
                                                TextUtf8(language, kTextKeyNameMissing)}));
  const auto refused = model.AddKey("Fan \xF0\x9F\x98\x80");
  ASSERT_TRUE(refused.has_value());
  EXPECT_EQ(refused->text, NotGbkMessage(language, TextField::KeyName));
  EXPECT_EQ(model.KeyCount(), 1);

  EXPECT_FALSE(model.AddKey("A very long key name").has_value());
  ASSERT_EQ(model.KeyCount(), 2);
  const store::TdiskKey& added = model.Record().Keys[1];
  EXPECT_EQ(added.Name.str(), "A very long key");  // cut to 15 bytes
  EXPECT_EQ(added.StateCount, 0);
  EXPECT_TRUE(
      std::all_of(added.StateNames.begin(), added.StateNames.end(), [](const auto& n) { return n.empty(); }));
  EXPECT_TRUE(
      std::none_of(added.Columns.begin(), added.Columns.end(), [](const auto& c) { return c.InUse(); }));
  EXPECT_EQ(added.Slot, store::kNoSlot);

  while (model.CanAddKey()) EXPECT_FALSE(model.AddKey("k").has_value());
  EXPECT_EQ(model.KeyCount(), 8);
  EXPECT_FALSE(model.AddKey("ninth").has_value());
  EXPECT_EQ(model.KeyCount(), 8);
}

TEST(KeyEditorModel, RemovingTheLastKey) {
  const lang::Language language = HomeLanguage(1);
  struct Case {
    int keys;
    int keys_after;
    bool refused;
  } cases[] = {{0, 0, false}, {1, 0, false}, {2, 2, true}, {3, 2, false}, {8, 7, false}};
  for (const Case& c : cases) {
    std::vector<std::pair<std::string, std::vector<std::string>>> keys(static_cast<std::size_t>(c.keys),
                                                                       {"k", {"a", "b"}});
    KeyEditorModel model(RecordWithKeys(keys), language);
    const auto message = model.RemoveLastKey();
    EXPECT_EQ(model.KeyCount(), c.keys_after) << c.keys;
    EXPECT_EQ(message.has_value(), c.refused) << c.keys;
    if (message) {
      EXPECT_EQ(message->text, TextUtf8(language, kTextRemoveRefused));
    }
  }
}

TEST(KeyEditorModel, NamesAreCutToTheirFieldsAndMustBeGbk) {
  const lang::Language language = HomeLanguage(1);
  KeyEditorModel model(RecordWithKeys({{"Power", {"Off", "On"}}}), language);
  EXPECT_FALSE(model.SetKeyName(0, "风速风速风速风速风速").has_value());
  EXPECT_EQ(model.Record().Keys[0].Name.str(), base::Utf8ToGbk("风速风速风速风").value());  // 14 of 15 bytes
  EXPECT_FALSE(model.SetStateName(0, 1, "Heating!").has_value());
  EXPECT_FALSE(model.SetStateName(0, 0, "Automatic").has_value());
  EXPECT_EQ(model.Record().Keys[0].StateNames[0].str(), "Automati");

  const auto key_refused = model.SetKeyName(0, "\xF0\x9F\x98\x80");
  ASSERT_TRUE(key_refused.has_value());
  EXPECT_EQ(key_refused->text, NotGbkMessage(language, TextField::KeyName));
  const auto state_refused = model.SetStateName(0, 1, "\xF0\x9F\x98\x80");
  ASSERT_TRUE(state_refused.has_value());
  EXPECT_EQ(state_refused->text, NotGbkMessage(language, TextField::StateName));
  // A refused text changes nothing.
  EXPECT_EQ(model.Record().Keys[0].Name.str(), base::Utf8ToGbk("风速风速风速风").value());
  EXPECT_EQ(model.Record().Keys[0].StateNames[1].str(), "Heating!");
}

TEST(KeyEditorModel, NamesAreShownTranslated) {
  const store::TdiskAir record = RecordWithKeys({{base::Utf8ToGbk("开关").value(), {"Off", "On"}}});
  KeyEditorModel english(record, HomeLanguage(1));
  KeyEditorModel chinese(record, HomeLanguage(2));
  EXPECT_EQ(english.KeyName(0), "Power");
  EXPECT_EQ(chinese.KeyName(0), "开关");
  EXPECT_EQ(english.StateNames(0), (std::vector<std::string>{"Off", "On"}));
}

TEST(KeyEditorModel, TheCheckOfOk) {
  const lang::Language language = HomeLanguage(1);
  using Keys = std::vector<std::pair<std::string, std::vector<std::string>>>;
  struct Case {
    const char* what;
    Keys keys;
    std::optional<std::string> message;
    int key;
    int state;
  } cases[] = {
      {"no keys", {}, std::nullopt, -1, -1},
      {"all named", {{"Power", {"Off", "On"}}, {"Mode", {"Cool", "Heat", "Fan"}}}, std::nullopt, -1, -1},
      {"a blank key name",
       {{"Power", {"Off", "On"}}, {"  ", {"a", "b"}}},
       TextUtf8(language, kTextNameEmpty),
       1,
       -1},
      {"one state", {{"Power", {"Off"}}}, TextUtf8(language, kTextStateCountBelowTwo), 0, -1},
      {"a blank state name",
       {{"Power", {"Off", "On"}}, {"Mode", {"Cool", " ", "Fan"}}},
       TextUtf8(language, kTextNameEmpty),
       1,
       1},
  };
  for (const Case& c : cases) {
    KeyEditorModel model(RecordWithKeys(c.keys), language);
    const auto check = model.Accept();
    ASSERT_EQ(check.message.has_value(), c.message.has_value()) << c.what;
    if (check.message) {
      EXPECT_EQ(*check.message, (EditorMessage{TextUtf8(language, lang::kTextInformation), *c.message}))
          << c.what;
      EXPECT_EQ(check.key, c.key) << c.what;
      EXPECT_EQ(check.state, c.state) << c.what;
    }
  }
}

TEST(KeyEditorModel, AKeyCountBeyondEightIsTakenAsEight) {
  store::TdiskAir record;
  record.KeyCount = 200;
  KeyEditorModel model(record, HomeLanguage(1));
  EXPECT_EQ(model.KeyCount(), 8);
  EXPECT_FALSE(model.CanAddKey());
}

}  // namespace
}  // namespace klimavo::workflow
