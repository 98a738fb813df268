// Fuzzes the reading of the window layout from config.ini text: whatever the
// text holds, what is read is within its checked bounds, it is placed on a
// screen without overflow, and writing it back reads the same.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/ini_file.h"
#include "config/window_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace klimavo;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const base::IniFile ini = base::IniFile::FromText(text);
  const config::WindowLayout layout = config::ReadWindowLayout(ini, 3, 4);
  if (layout.geometry && (layout.geometry->width <= 0 || layout.geometry->height <= 0)) __builtin_trap();
  if (!layout.splitters.empty() && layout.splitters.size() != 3) __builtin_trap();
  if (!layout.library_columns.empty() && layout.library_columns.size() != 4) __builtin_trap();
  const std::vector<config::WindowRect> screens{{0, 0, 1920, 1040}, {-1280, 0, 1280, 1024}};
  const config::WindowRect placed = config::PlaceWindow(layout.geometry, {1047, 569}, {700, 450}, screens);
  if (placed.width < 700 || placed.height < 450) __builtin_trap();
  base::IniFile again;
  config::WriteWindowLayout(again, layout);
  if (!(config::ReadWindowLayout(again, 3, 4) == layout)) __builtin_trap();
  return 0;
}
