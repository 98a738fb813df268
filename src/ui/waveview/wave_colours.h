#pragma once
// The 19 drawing colours of a waveform view, in the order of the colour scheme
// file's items.

#include <QColor>
#include <array>
#include <cstdint>

namespace klimavo::ui {

enum class WaveRole : int {
  Background = 0,
  GridLines,
  GridText,
  Levels,
  DurationLabels,
  CursorLines,
  Title,
  ProtocolText,
  CodeValue,
  CarrierAndLevels,
  CursorTexts,
  FocusedLevel,
  FocusedLabel,
  Scope,
  FocusBorder,
  SegmentText,
  FrameBoxes,
  FieldBoxes,
  BitBoxes
};
inline constexpr int kWaveRoleCount = 19;

struct WaveColours {
  std::array<QColor, kWaveRoleCount> colours;

  const QColor& operator[](WaveRole role) const { return colours[static_cast<std::size_t>(role)]; }
  /// From the 0x00BBGGRR values of a colour scheme item.
  static WaveColours FromSchemeValues(const std::array<std::uint32_t, kWaveRoleCount>& values);
  /// The "Default" scheme.
  static WaveColours Defaults();
};

}  // namespace klimavo::ui
