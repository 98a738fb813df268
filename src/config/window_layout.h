#pragma once
// The main window's geometry, pane sizes and library column widths, kept
// between runs in section [window] of config.ini:
//   geometry=x,y,width,height[,maximised]   splitters=a,b,c   libcols=a,b,c,d
//
// What is read is checked: a value that is damaged (not a list of integers,
// the wrong count, sizes out of range) reads as absent, so the window falls
// back to its defaults. PlaceWindow then keeps a saved rectangle only when it
// is reachable on one of the screens, so the window never opens off-screen.

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

namespace klimavo::base {
class IniFile;
}

namespace klimavo::config {

inline constexpr std::string_view kSectionWindow = "window";
inline constexpr std::string_view kKeyGeometry = "geometry";
inline constexpr std::string_view kKeySplitters = "splitters";
inline constexpr std::string_view kKeyLibraryColumns = "libcols";

/// Sizes outside these bounds are damage, not a window someone could have had.
inline constexpr int kMaxWindowExtent = 32000;
inline constexpr int kMinPaneSize = 0;
inline constexpr int kMinColumnWidth = 16;
inline constexpr int kMaxColumnWidth = 2000;
/// How much of a window's top edge must lie on a screen for it to be reachable
/// (enough to grab its title bar), in pixels.
inline constexpr int kReachableWidth = 100;
inline constexpr int kReachableHeight = 20;

struct WindowRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

struct WindowSize {
  int width = 0;
  int height = 0;
};

/// What [window] holds; every part is optional and checked.
struct WindowLayout {
  std::optional<WindowRect> geometry;  ///< the normal (not maximised) geometry
  bool maximised = false;
  std::vector<int> splitters;        ///< empty: none saved or damaged
  std::vector<int> library_columns;  ///< empty: none saved or damaged
  friend bool operator==(const WindowLayout&, const WindowLayout&) = default;
};

/// Reads [window]; `pane_count` and `column_count` are the counts the window
/// has, so a list of another length reads as damaged.
WindowLayout ReadWindowLayout(const base::IniFile& ini, std::size_t pane_count, std::size_t column_count);
/// As above from a file (a missing file reads as empty). Throws base::FileError when unreadable.
WindowLayout ReadWindowLayout(const std::filesystem::path& config_ini, std::size_t pane_count,
                              std::size_t column_count);
/// Writes the parts that are present into [window]; other sections and keys stay.
void WriteWindowLayout(base::IniFile& ini, const WindowLayout& layout);
/// Loads, writes and saves config.ini atomically. Throws base::FileError.
void WriteWindowLayout(const std::filesystem::path& config_ini, const WindowLayout& layout);

/// Where the window opens. `screens` are the available areas of the screens,
/// the primary first. A saved rectangle is kept when its top edge is reachable
/// on some screen; it is shrunk to that screen's area and moved inside it.
/// Otherwise the first-start size is shrunk to the primary screen's area and
/// centred on it. Neither is made smaller than `minimum`.
WindowRect PlaceWindow(const std::optional<WindowRect>& saved, WindowSize first_start, WindowSize minimum,
                       const std::vector<WindowRect>& screens);

}  // namespace klimavo::config
