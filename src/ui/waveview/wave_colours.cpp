#include "ui/waveview/wave_colours.h"

namespace klimavo::ui {

WaveColours WaveColours::FromSchemeValues(const std::array<std::uint32_t, kWaveRoleCount>& values) {
  WaveColours c;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const std::uint32_t v = values[i];
    c.colours[i] = QColor(static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
                          static_cast<int>((v >> 16) & 0xFF));
  }
  return c;
}

WaveColours WaveColours::Defaults() {
  return FromSchemeValues({0x808080, 0xC0C0C0, 0xFFFFFF, 0x00FFFF, 0x00FFFF, 0xFF00FF, 0x008000, 0xFFFFFF,
                           0xFFFFFF, 0xFFFFFF, 0xFF00FF, 0x0000FF, 0x0000FF, 0x000000, 0x000000, 0xFFFFFF,
                           0x808000, 0xFF00FF, 0x800000});
}

}  // namespace klimavo::ui
