#include "config/window_layout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/ini_file.h"

namespace klimavo::config {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kPanes = 3;
constexpr std::size_t kColumns = 4;

WindowLayout Read(std::string_view text) {
  return ReadWindowLayout(base::IniFile::FromText(text), kPanes, kColumns);
}

TEST(WindowLayout, ValuesReadAsWrittenAndDamageReadsAsAbsent) {
  struct Case {
    const char* text;
    std::optional<WindowRect> geometry;
    bool maximised;
    std::vector<int> splitters;
    std::vector<int> columns;
  };
  const Case cases[] = {
      {"", std::nullopt, false, {}, {}},
      {"[window]\ngeometry=10,20,800,600\n", WindowRect{10, 20, 800, 600}, false, {}, {}},
      {"[WINDOW]\nGeometry = -1200, 0, 1047, 569, 1\n", WindowRect{-1200, 0, 1047, 569}, true, {}, {}},
      {"[window]\ngeometry=10,20,800,600,0\n", WindowRect{10, 20, 800, 600}, false, {}, {}},
      {"[window]\ngeometry=10,20,800\n", std::nullopt, false, {}, {}},
      {"[window]\ngeometry=10,20,800,600,1,1\n", std::nullopt, false, {}, {}},
      {"[window]\ngeometry=a,b,c,d\n", std::nullopt, false, {}, {}},
      {"[window]\ngeometry=10,,800,600\n", std::nullopt, false, {}, {}},
      {"[window]\ngeometry=10,20,0,600\n", std::nullopt, false, {}, {}},
      {"[window]\ngeometry=10,20,-800,600\n", std::nullopt, false, {}, {}},
      {"[window]\ngeometry=10,20,99999999,600\n", std::nullopt, false, {}, {}},
      {"[window]\ngeometry=99999999999,20,800,600\n", std::nullopt, false, {}, {}},
      {"[window]\ngeometry=10,20,800,600,2\n", std::nullopt, false, {}, {}},
      {"[window]\ngeometry=10.5,20,800,600\n", std::nullopt, false, {}, {}},
      {"[window]\nsplitters=480,200,360\n", std::nullopt, false, {480, 200, 360}, {}},
      {"[window]\nsplitters=0,300,360\n", std::nullopt, false, {0, 300, 360}, {}},
      {"[window]\nsplitters=480,200\n", std::nullopt, false, {}, {}},
      {"[window]\nsplitters=-1,200,360\n", std::nullopt, false, {}, {}},
      {"[window]\nsplitters=0,0,0\n", std::nullopt, false, {}, {}},
      {"[window]\nlibcols=60,50,200,90\n", std::nullopt, false, {}, {60, 50, 200, 90}},
      {"[window]\nlibcols=60,50,200\n", std::nullopt, false, {}, {}},
      {"[window]\nlibcols=5,50,200,90\n", std::nullopt, false, {}, {}},
      {"[window]\nlibcols=60,50,200,5000\n", std::nullopt, false, {}, {}},
      // One damaged key leaves the others in force.
      {"[window]\ngeometry=x\nsplitters=1,2,3\nlibcols=60,50,200,90\n",
       std::nullopt,
       false,
       {1, 2, 3},
       {60, 50, 200, 90}},
      // Only [window] counts.
      {"[Config]\ngeometry=10,20,800,600\n", std::nullopt, false, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const WindowLayout layout = Read(c.text);
    EXPECT_EQ(layout.geometry, c.geometry);
    EXPECT_EQ(layout.maximised, c.maximised);
    EXPECT_EQ(layout.splitters, c.splitters);
    EXPECT_EQ(layout.library_columns, c.columns);
  }
}

TEST(WindowLayout, WrittenLayoutReadsBackAndKeepsTheOtherSettings) {
  const fs::path dir = fs::temp_directory_path() / "klimavo_window_layout_test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path config = dir / "config.ini";
  {
    base::IniFile ini;
    ini.WriteInteger("Config", "lang", 2);
    ini.WriteString("window", "libcols", "70,50,150,100");
    ini.Save(config);
  }
  WindowLayout layout;
  layout.geometry = WindowRect{-5, 30, 1200, 700};
  layout.maximised = true;
  layout.splitters = {500, 220, 380};
  WriteWindowLayout(config, layout);

  const WindowLayout back = ReadWindowLayout(config, kPanes, kColumns);
  EXPECT_EQ(back.geometry, layout.geometry);
  EXPECT_TRUE(back.maximised);
  EXPECT_EQ(back.splitters, layout.splitters);
  EXPECT_EQ(back.library_columns, (std::vector<int>{70, 50, 150, 100}));  // not written: kept
  EXPECT_EQ(base::IniFile::Load(config).ReadInteger("Config", "lang", 0), 2);
  fs::remove_all(dir);
}

TEST(PlaceWindow, FirstStartIsCentredAndShrunkSavedPlacesAreKeptOnScreen) {
  const WindowSize first{1047, 569};
  const WindowSize minimum{700, 450};
  const WindowRect full_hd{0, 0, 1920, 1040};
  const WindowRect small{0, 0, 800, 600};
  const WindowRect right_of_primary{1920, 0, 1280, 1024};
  struct Case {
    const char* what;
    std::optional<WindowRect> saved;
    std::vector<WindowRect> screens;
    WindowRect expected;
  };
  const Case cases[] = {
      {"first start, centred", std::nullopt, {full_hd}, {436, 235, 1047, 569}},
      {"first start, shrunk to a small screen", std::nullopt, {small}, {0, 15, 800, 569}},
      {"first start on a primary screen that is not at 0,0",
       std::nullopt,
       {right_of_primary, full_hd},
       {1920 + 116, 227, 1047, 569}},
      {"saved and on screen: kept", WindowRect{100, 80, 1200, 700}, {full_hd}, {100, 80, 1200, 700}},
      {"saved on the second screen: kept",
       WindowRect{2000, 50, 900, 600},
       {full_hd, right_of_primary},
       {2000, 50, 900, 600}},
      {"saved off every screen: first start",
       WindowRect{5000, 5000, 900, 600},
       {full_hd},
       {436, 235, 1047, 569}},
      {"saved with only a sliver on screen: first start",
       WindowRect{1880, 100, 900, 600},
       {full_hd},
       {436, 235, 1047, 569}},
      {"saved half off the right edge: moved in",
       WindowRect{1700, 100, 900, 600},
       {full_hd},
       {1020, 100, 900, 600}},
      {"saved above the top edge: moved down",
       WindowRect{100, -300, 900, 600},
       {full_hd},
       {100, 0, 900, 600}},
      {"saved larger than the screen: shrunk",
       WindowRect{-50, -50, 4000, 3000},
       {full_hd},
       {0, 0, 1920, 1040}},
      {"saved smaller than the minimum: grown",
       WindowRect{100, 100, 200, 100},
       {full_hd},
       {100, 100, 700, 450}},
      {"screen smaller than the minimum: minimum wins",
       std::nullopt,
       {WindowRect{0, 0, 640, 400}},
       {0, 0, 700, 450}},
      {"no screen known: the saved rectangle", WindowRect{1, 2, 3, 4}, {}, {1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(PlaceWindow(c.saved, first, minimum, c.screens), c.expected);
  }
}

}  // namespace
}  // namespace klimavo::config
