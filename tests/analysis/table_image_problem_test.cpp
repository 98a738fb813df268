// The reasons given when a record's table image cannot be built.
#include "analysis/table_image_problem.h"

#include <gtest/gtest.h>

#include "analysis/wizard_fixtures.h"
#include "firmware/six_key_record.h"
#include "firmware/table_image.h"

namespace klimavo::analysis {
namespace {

TEST(TableImageProblemTest, NamesTheReasonBesideTheCode) {
  const lang::Language language = fixtures::SourceLanguage();
  struct Case {
    int code;
    int reason;  // language text, 0: none known
  };
  for (const Case& t : {Case{-2, 241}, Case{-5, 244}, Case{-6, 245}, Case{-499, 247}, Case{-498, 248},
                        Case{-604, 253}, Case{-605, 253}, Case{-42, 0}}) {
    const std::string text = TableImageProblem(t.code, language);
    const std::string head = language.Text(162) + " " + std::to_string(t.code);
    EXPECT_EQ(text, t.reason == 0 ? head : head + ": " + language.Text(t.reason)) << t.code;
  }
}

TEST(TableImageProblemTest, EveryReasonHasATextInBothLanguages) {
  const lang::Language english = fixtures::SourceLanguage(1);
  const lang::Language chinese = fixtures::SourceLanguage(2);
  for (int code : {-2, -3, -4, -5, -6, -7, -499, -498, -497, -601, -602, -603, -604, -605, -606}) {
    const std::string text = TableImageProblem(code, english);
    const std::size_t colon = text.find(": ");
    ASSERT_NE(colon, std::string::npos) << code;
    EXPECT_GT(text.size(), colon + 2) << code;
    EXPECT_NE(TableImageProblem(code, chinese), text) << code;
  }
}

TEST(TableImageProblemTest, ARecordWithTooFewAnalysedKeysGivesThePartsReason) {
  store::TdiskAir record = firmware::fixtures::SixKeyRecord("Test", "0123");
  for (std::size_t k = 2; k < 6; ++k)
    for (store::TdiskBitColumn& c : record.Keys[k].Columns) c.Frame = store::kUnusedFrame;
  base::Bytes image;
  EXPECT_EQ(firmware::BuildTableImage(record, store::TBtnLines(6), false, {}, image), -499);
}

}  // namespace
}  // namespace klimavo::analysis
