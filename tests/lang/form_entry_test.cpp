#include "lang/form_entry.h"

#include <gtest/gtest.h>

namespace klimavo::lang {
namespace {

TEST(ParseFormEntryPath, TableOfPaths) {
  struct Case {
    const char* path;
    EntryTarget target;
    const char* component;
    const char* sub;
    const char* property;
    std::optional<int> column;
  };
  const Case cases[] = {
      {"Caption", EntryTarget::kWindowProperty, "", "", "Caption", std::nullopt},
      {"  lblBrand.Caption ", EntryTarget::kComponentProperty, "lblBrand", "", "Caption", std::nullopt},
      {"Font.Name", EntryTarget::kFontName, "", "", "Name", std::nullopt},
      {"FONT.name", EntryTarget::kFontName, "", "", "name", std::nullopt},
      {"font.Size", EntryTarget::kFontSize, "", "", "Size", std::nullopt},
      {"Font.Color", EntryTarget::kInvalid, "", "", "Color", std::nullopt},
      {"gridLibrary.Col[3].Heading", EntryTarget::kSubProperty, "gridLibrary", "Col[3]", "Heading", 3},
      {"grid.col[12].Heading", EntryTarget::kSubProperty, "grid", "col[12]", "Heading", 12},
      {"grid.Col[x].Heading", EntryTarget::kSubProperty, "grid", "Col[x]", "Heading", std::nullopt},
      {"grid.Col.Heading", EntryTarget::kSubProperty, "grid", "Col", "Heading", std::nullopt},
      {"grid.Col[3.Heading", EntryTarget::kSubProperty, "grid", "Col[3", "Heading", std::nullopt},
      {"edtBrand.EditLabel.Caption", EntryTarget::kSubProperty, "edtBrand", "EditLabel", "Caption",
       std::nullopt},
      {"a.b.c.d", EntryTarget::kInvalid, "", "", "", std::nullopt},
      {"lblBrand.", EntryTarget::kInvalid, "", "", "", std::nullopt},
      {".Caption", EntryTarget::kInvalid, "", "", "", std::nullopt},
      {"   ", EntryTarget::kInvalid, "", "", "", std::nullopt},
  };
  for (const auto& c : cases) {
    FormEntryPath e = ParseFormEntryPath(c.path);
    EXPECT_EQ(e.target, c.target) << c.path;
    if (c.target == EntryTarget::kInvalid) continue;
    EXPECT_EQ(e.component, c.component) << c.path;
    EXPECT_EQ(e.sub, c.sub) << c.path;
    EXPECT_EQ(e.property, c.property) << c.path;
    EXPECT_EQ(e.column, c.column) << c.path;
  }
}

TEST(FormEntryValues, ListsSplitAtCommasAndIntegersMustBeWhole) {
  EXPECT_EQ(SplitListValue("On,Off,,Auto"), (std::vector<std::string>{"On", "Off", "", "Auto"}));
  EXPECT_EQ(SplitListValue("single"), (std::vector<std::string>{"single"}));
  EXPECT_EQ(EntryIntegerValue("12"), 12);
  EXPECT_EQ(EntryIntegerValue("-3"), -3);
  EXPECT_EQ(EntryIntegerValue("12px"), std::nullopt);
  EXPECT_EQ(EntryIntegerValue(""), std::nullopt);
}

}  // namespace
}  // namespace klimavo::lang
