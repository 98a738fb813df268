#include "config/window_layout.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>

#include "base/ini_file.h"
#include "base/text.h"

namespace klimavo::config {
namespace {

// "a,b,c" as integers; nullopt when any part is not a whole 32-bit integer.
std::optional<std::vector<int>> IntegerList(std::string_view text) {
  std::vector<int> values;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = text.find(',', start);
    const std::string_view part =
        text.substr(start, comma == std::string_view::npos ? text.npos : comma - start);
    long long value = 0;
    if (!base::ParseInteger(part, value) || value < std::numeric_limits<int>::min() ||
        value > std::numeric_limits<int>::max())
      return std::nullopt;
    values.push_back(static_cast<int>(value));
    if (comma == std::string_view::npos) return values;
    start = comma + 1;
  }
}

std::optional<std::vector<int>> ReadList(const base::IniFile& ini, std::string_view key) {
  const std::optional<std::string> text = ini.Value(kSectionWindow, key);
  if (!text || text->empty()) return std::nullopt;
  return IntegerList(*text);
}

bool InRange(int value, int low, int high) { return value >= low && value <= high; }

std::optional<WindowRect> CheckedGeometry(const std::vector<int>& v, bool& maximised) {
  if (v.size() != 4 && v.size() != 5) return std::nullopt;
  const WindowRect rect{v[0], v[1], v[2], v[3]};
  if (!InRange(rect.x, -kMaxWindowExtent, kMaxWindowExtent) ||
      !InRange(rect.y, -kMaxWindowExtent, kMaxWindowExtent) || !InRange(rect.width, 1, kMaxWindowExtent) ||
      !InRange(rect.height, 1, kMaxWindowExtent))
    return std::nullopt;
  if (v.size() == 5 && v[4] != 0 && v[4] != 1) return std::nullopt;
  maximised = v.size() == 5 && v[4] == 1;
  return rect;
}

std::vector<int> CheckedSplitters(const std::vector<int>& v, std::size_t count) {
  if (v.size() != count) return {};
  long long sum = 0;
  for (int size : v) {
    if (!InRange(size, kMinPaneSize, kMaxWindowExtent)) return {};
    sum += size;
  }
  return sum > 0 ? v : std::vector<int>{};
}

std::vector<int> CheckedColumns(const std::vector<int>& v, std::size_t count) {
  if (v.size() != count) return {};
  for (int width : v)
    if (!InRange(width, kMinColumnWidth, kMaxColumnWidth)) return {};
  return v;
}

std::string JoinList(const std::vector<int>& values) {
  std::string text;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) text += ',';
    text += std::to_string(values[i]);
  }
  return text;
}

// Area of the overlap of two rectangles (0 when they do not overlap enough to reach).
long long ReachableOverlap(const WindowRect& a, const WindowRect& b) {
  const long long left = std::max(a.x, b.x);
  const long long right =
      std::min<long long>(static_cast<long long>(a.x) + a.width, static_cast<long long>(b.x) + b.width);
  const long long top = std::max(a.y, b.y);
  const long long bottom =
      std::min<long long>(static_cast<long long>(a.y) + a.height, static_cast<long long>(b.y) + b.height);
  const long long w = right - left;
  const long long h = bottom - top;
  if (w < std::min(kReachableWidth, a.width) || h < std::min(kReachableHeight, a.height)) return 0;
  return w * h;
}

// Shrinks the extent to the screen's (never below the minimum) and moves the
// start inside the screen.
void FitAxis(int& start, int& extent, int screen_start, int screen_extent, int minimum) {
  extent = std::max(minimum, std::min(extent, screen_extent));
  const int last_start = screen_start + std::max(0, screen_extent - extent);
  start = std::clamp(start, screen_start, last_start);
}

}  // namespace

WindowLayout ReadWindowLayout(const base::IniFile& ini, std::size_t pane_count, std::size_t column_count) {
  WindowLayout layout;
  if (auto v = ReadList(ini, kKeyGeometry)) layout.geometry = CheckedGeometry(*v, layout.maximised);
  if (auto v = ReadList(ini, kKeySplitters)) layout.splitters = CheckedSplitters(*v, pane_count);
  if (auto v = ReadList(ini, kKeyLibraryColumns)) layout.library_columns = CheckedColumns(*v, column_count);
  return layout;
}

WindowLayout ReadWindowLayout(const std::filesystem::path& config_ini, std::size_t pane_count,
                              std::size_t column_count) {
  return ReadWindowLayout(base::IniFile::Load(config_ini), pane_count, column_count);
}

void WriteWindowLayout(base::IniFile& ini, const WindowLayout& layout) {
  if (layout.geometry) {
    const WindowRect& g = *layout.geometry;
    std::vector<int> values{g.x, g.y, g.width, g.height};
    if (layout.maximised) values.push_back(1);
    ini.WriteString(kSectionWindow, kKeyGeometry, JoinList(values));
  }
  if (!layout.splitters.empty()) ini.WriteString(kSectionWindow, kKeySplitters, JoinList(layout.splitters));
  if (!layout.library_columns.empty())
    ini.WriteString(kSectionWindow, kKeyLibraryColumns, JoinList(layout.library_columns));
}

void WriteWindowLayout(const std::filesystem::path& config_ini, const WindowLayout& layout) {
  base::IniFile ini = base::IniFile::Load(config_ini);
  WriteWindowLayout(ini, layout);
  ini.Save(config_ini);
}

WindowRect PlaceWindow(const std::optional<WindowRect>& saved, WindowSize first_start, WindowSize minimum,
                       const std::vector<WindowRect>& screens) {
  if (screens.empty()) return saved.value_or(WindowRect{0, 0, first_start.width, first_start.height});
  if (saved) {
    const WindowRect* best = nullptr;
    long long best_overlap = 0;
    for (const WindowRect& screen : screens) {
      const long long overlap = ReachableOverlap(*saved, screen);
      if (overlap > best_overlap) {
        best_overlap = overlap;
        best = &screen;
      }
    }
    if (best) {
      WindowRect placed = *saved;
      FitAxis(placed.x, placed.width, best->x, best->width, minimum.width);
      FitAxis(placed.y, placed.height, best->y, best->height, minimum.height);
      return placed;
    }
  }
  const WindowRect& primary = screens.front();
  WindowRect placed{0, 0, first_start.width, first_start.height};
  placed.width = std::max(minimum.width, std::min(placed.width, primary.width));
  placed.height = std::max(minimum.height, std::min(placed.height, primary.height));
  placed.x = primary.x + std::max(0, (primary.width - placed.width) / 2);
  placed.y = primary.y + std::max(0, (primary.height - placed.height) / 2);
  return placed;
}

}  // namespace klimavo::config
