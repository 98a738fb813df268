#pragma once
// The geometry of the waveform view as plain values: the zoom table, the mapping
// between time (0.1 µs ticks) and pixels, grid labels, level lookup and cursor
// snapping. No widget is needed to test any of it.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace klimavo::wave {

/// Time covered by one 50-pixel grid division at each zoom index, in 0.1 µs.
inline constexpr std::array<std::int32_t, 39> kZoomTable{
    50,    75,    100,   125,   250,   500,   750,   800,   850,    900,    950,    1000,   1100,
    1200,  1300,  1400,  1500,  2000,  2500,  3000,  3500,  4000,   4500,   5000,   7500,   10000,
    20000, 30000, 40000, 50000, 60000, 70000, 80000, 90000, 100000, 200000, 300000, 400000, 500000};
inline constexpr int kMaxZoomIndex = 38;
inline constexpr int kGridSpacing = 50;     ///< pixels per grid division
inline constexpr int kLeftMargin = 4;       ///< x of time 0 at position 0
inline constexpr int kHighLevelY = 37;      ///< y of the high level
inline constexpr int kLowLevelMargin = 30;  ///< the low level is drawn at height - 30
inline constexpr int kRightMargin = 20;     ///< room kept after the last level when scrolled to the end

/// Pixels per 0.1 µs at a zoom index.
double PixelsPerUnit(int zoom_index);
/// round((x + position - 4) / pixels per unit).
std::int64_t TimeAtX(int x, int position, int zoom_index);
/// round(time * pixels per unit) - position + 4.
int XAtTime(std::int64_t time, int position, int zoom_index);
/// The grid label of line k: "0", "Nus" up to 999 µs, else the shortest real of ms + "ms".
std::string GridLabel(int line, int zoom_index);
/// The duration label of a level: magnitude / 10 with one decimal (capture mode) or none (tree mode).
std::string DurationLabel(std::int32_t duration, bool tree_mode);
/// Index of the level whose interval [start, start + |d|] holds t; -1 when none.
int LevelAt(const std::vector<std::int32_t>& durations, std::int64_t t);
/// The level boundary nearest to t (searched from the start while the distance falls).
std::int64_t SnapToEdge(const std::vector<std::int32_t>& durations, std::int64_t t);
/// Sum of all duration magnitudes.
std::int64_t TotalTime(const std::vector<std::int32_t>& durations);
/// Max of the scroll bar that drives the views at a zoom index (the fixed range, without content).
int ScrollBarMax(int zoom_index);
/// Pixels a content of that total time needs at a zoom: left margin, levels, right margin.
std::int64_t ContentWidth(std::int64_t total_time, int zoom_index);
/// The scroll position at which the content's end meets the view's right edge; 0 when it fits.
int ContentScrollMax(std::int64_t total_time, int zoom_index, int view_width);
/// The finest zoom index at which the whole content fits a view of that width
/// (the coarsest index when none does; 0 for no content).
int FitZoomIndex(std::int64_t total_time, int view_width);

}  // namespace klimavo::wave
