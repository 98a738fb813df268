// Model table, model sets and the product-name matching of the device search.
#include "device/learner_models.h"

#include <gtest/gtest.h>

namespace klimavo::device {
namespace {

TEST(LearnerModels, SetsMatchTheModelTable) {
  const struct {
    int set;
    std::vector<int> models;
  } cases[] = {
      {0, {0, 1, 2, 4, 7, 9, 11, 12}},
      {1, {3, 5, 6, 8, 10}},
      {2, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {3, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {7, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
      {-1, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
  };
  for (const auto& c : cases) {
    EnabledModels expected;
    for (int m : c.models) expected.set(static_cast<std::size_t>(m));
    EXPECT_EQ(ModelSet(c.set), expected) << "set " << c.set;
  }
}

TEST(LearnerModels, PropertiesPerIndex) {
  for (int m = 0; m < kModelCount; ++m) {
    const LearnerModel model = *ModelAt(m);
    EXPECT_EQ(SupportsLongRange(m), model.long_range) << m;
    EXPECT_EQ(IsContinuous(m), model.continuous) << m;
    EXPECT_EQ(NeedsStopCommand(m), model.stop_command) << m;
    EXPECT_EQ(HasLearnerModel(m), m >= 2) << m;
    EXPECT_EQ(model.format == PacketFormat::kTable, m <= 10) << m;
  }
  EXPECT_FALSE(ModelAt(13));
  EXPECT_FALSE(ModelAt(-1));
}

TEST(MatchProductName, TrimCaseEnabledAndLaterEntryWins) {
  const std::vector<std::string> names{"KLV-L00", "KLV-L01", "Same", "Same"};
  EnabledModels all;
  all.set();
  EnabledModels first_three;
  first_three.set(0).set(1).set(2);
  const struct {
    const char* product;
    const EnabledModels* enabled;
    std::optional<int> expected;
  } cases[] = {
      {"KLV-L01", &all, 1},           {"  klv-l01 \t", &all, 1},
      {"KLV-L0", &all, std::nullopt}, {"Same", &all, 3},  // two equal entries: the higher index
      {"Same", &first_three, 2},                          // ... unless it is not enabled
      {"KLV-L00", &first_three, 0},   {"", &all, std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchProductName(names, *c.enabled, c.product), c.expected) << c.product;
  EXPECT_EQ(MatchProductName(names, EnabledModels{}, "KLV-L00"), std::nullopt);
}

}  // namespace
}  // namespace klimavo::device
