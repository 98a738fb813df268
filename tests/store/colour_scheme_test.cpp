#include "store/colour_scheme.h"

#include <gtest/gtest.h>

#include "base/file_error.h"
#include "file_test_support.h"

namespace klimavo::store {
namespace {

using testing::ReadBytes;
using testing::WriteBytes;

class ColourFile : public ::testing::Test {
 protected:
  void SetUp() override {
    home_ = testing::ScratchDir("colours");
    binn_ = home_ / "Binn";
    file_ = binn_ / "ColorItems.clr";
  }
  void TearDown() override { std::filesystem::remove_all(home_); }
  // A file with the given items, Count and Selected as written.
  void WriteSchemes(std::size_t items, std::uint16_t count, std::uint16_t selected) {
    ColourScheme scheme = DefaultColourScheme(45000.5);
    scheme.Items.clear();
    for (std::size_t i = 0; i < items; ++i) {
      TIR_ColorItem item;
      item.Name.assign("Scheme" + std::to_string(i));
      item.Colours.fill(static_cast<std::uint32_t>(0x100 + i));
      scheme.Items.push_back(item);
    }
    scheme.Header.Selected = selected;
    base::Bytes bytes = ColourSchemeBytes(scheme.Header, scheme.Items);
    base::WriteU16Le(&bytes[66], count);
    std::filesystem::create_directories(binn_);
    WriteBytes(file_, bytes);
  }
  std::filesystem::path home_, binn_, file_;
};

TEST_F(ColourFile, AMissingFileIsCreatedWith172BytesAndTheDefaultScheme) {
  ColourScheme scheme = LoadColourScheme(binn_);
  EXPECT_EQ(scheme.State, ColourFileState::kCreated);
  base::Bytes file = ReadBytes(file_);
  ASSERT_EQ(file.size(), 172u);
  EXPECT_EQ(base::ReadU32Le(&file[0]), 0u);
  EXPECT_EQ(file[4], kColourAuthor.size());
  EXPECT_EQ(std::string(file.begin() + 49, file.begin() + 55), "system");
  EXPECT_EQ(file[48], 6);
  EXPECT_EQ(base::ReadU16Le(&file[66]), 1u);
  EXPECT_EQ(base::ReadU16Le(&file[68]), 0u);
  EXPECT_EQ(std::string(file.begin() + 73, file.begin() + 80), "Default");
  EXPECT_EQ(base::ReadU32Le(&file[72 + 20]), 0x808080u);           // background
  EXPECT_EQ(base::ReadU32Le(&file[72 + 20 + 18 * 4]), 0x800000u);  // bit boxes
  EXPECT_EQ(base::ReadU32Le(&file[168]), 0u);
  EXPECT_GT(scheme.Header.Created, 40000.0);  // a date after 2009

  TIR_ColorItem current = CurrentColours(scheme);
  EXPECT_EQ(current.Colours, kDefaultColours);
  EXPECT_EQ(current.Colour(ColourRole::kCursors), 0xFF00FFu);
  // The second load reads what the first wrote.
  ColourScheme again = LoadColourScheme(binn_);
  EXPECT_EQ(again.State, ColourFileState::kRead);
  EXPECT_EQ(again.Header, scheme.Header);
  EXPECT_EQ(again.Items, scheme.Items);
}

TEST_F(ColourFile, TheSelectedItemIsUsedAndOutOfRangeSelectionsFallBack) {
  struct Case {
    std::size_t items;
    std::uint16_t count;
    std::uint16_t selected;
    ColourFileState state;
    std::uint32_t background;
  };
  const Case cases[] = {
      {2, 2, 1, ColourFileState::kRead, 0x101},  // the second item
      {2, 2, 0, ColourFileState::kRead, 0x100},
      {2, 2, 7, ColourFileState::kRead, 0x100},     // beyond the last item: the first
      {0, 0, 0, ColourFileState::kRead, 0x808080},  // no items: the default colours
      {2, 3, 2, ColourFileState::kShort, 0x100},    // third item missing: complete items kept
      {1, 60000, 0, ColourFileState::kShort, 0x100},
  };
  for (const auto& c : cases) {
    WriteSchemes(c.items, c.count, c.selected);
    base::Bytes before = ReadBytes(file_);
    ColourScheme scheme = LoadColourScheme(binn_);
    EXPECT_EQ(scheme.State, c.state) << c.items << "/" << c.count << "/" << c.selected;
    EXPECT_EQ(scheme.Items.size(), std::min<std::size_t>(c.items, c.count));
    EXPECT_EQ(CurrentColours(scheme).Colour(ColourRole::kBackground), c.background)
        << c.items << "/" << c.count << "/" << c.selected;
    EXPECT_EQ(ReadBytes(file_), before);  // loading never rewrites an existing file
  }
}

TEST_F(ColourFile, AFileShorterThanItsHeaderGivesTheDefaultsAndIsLeftAlone) {
  std::filesystem::create_directories(binn_);
  WriteBytes(file_, base::Bytes(40, 0x55));
  ColourScheme scheme = LoadColourScheme(binn_);
  EXPECT_EQ(scheme.State, ColourFileState::kDamaged);
  EXPECT_EQ(CurrentColours(scheme).Colours, kDefaultColours);
  EXPECT_EQ(ReadBytes(file_), base::Bytes(40, 0x55));
}

TEST_F(ColourFile, SavingSetsTheCountAndAFailedSaveKeepsTheOldFile) {
  ColourScheme scheme = LoadColourScheme(binn_);
  base::Bytes before = ReadBytes(file_);
  TIR_ColorItem dark = scheme.Items[0];
  dark.Name.assign("Dark");
  dark.Colours[0] = 0;
  scheme.Items.push_back(dark);
  scheme.Header.Selected = 1;
  scheme.Header.Count = 99;  // replaced by the number of items
  {
    testing::FileSizeLimit limit(100);
    EXPECT_THROW(SaveColourScheme(binn_, scheme.Header, scheme.Items), base::FileError);
  }
  EXPECT_EQ(ReadBytes(file_), before);
  EXPECT_EQ(testing::FileNames(binn_), std::vector<std::string>{"ColorItems.clr"});

  SaveColourScheme(binn_, scheme.Header, scheme.Items);
  base::Bytes file = ReadBytes(file_);
  EXPECT_EQ(file.size(), 72u + 2 * 100);
  EXPECT_EQ(base::ReadU16Le(&file[66]), 2u);
  ColourScheme back = LoadColourScheme(binn_);
  EXPECT_EQ(CurrentColours(back).Name.str(), "Dark");
  EXPECT_EQ(CurrentColours(back).Colour(ColourRole::kBackground), 0u);
}

TEST(ShippedColourFile, HoldsTheDefaultSchemeInUse) {
  base::Bytes file =
      testing::ReadBytes(std::filesystem::path(KLIMAVO_SOURCE_DIR) / "data/home/Binn/ColorItems.clr");
  ASSERT_EQ(file.size(), 172u);
  ColourScheme scheme = ParseColourScheme(file);
  EXPECT_EQ(scheme.State, ColourFileState::kRead);
  EXPECT_EQ(scheme.Header.Owner.str(), "system");
  EXPECT_EQ(CurrentColours(scheme).Name.str(), "Default");
  EXPECT_EQ(CurrentColours(scheme).Colours, kDefaultColours);
}

}  // namespace
}  // namespace klimavo::store
