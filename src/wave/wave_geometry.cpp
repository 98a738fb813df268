#include "wave/wave_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "ir/tolerance.h"

namespace klimavo::wave {
namespace {

int ClampZoom(int zoom_index) {
  return zoom_index < 0 ? 0 : (zoom_index > kMaxZoomIndex ? kMaxZoomIndex : zoom_index);
}

// The shortest decimal form of a real number ("5", "2.5", "0.75").
std::string ShortestReal(double value) {
  char buf[64];
  for (int decimals = 0; decimals <= 9; ++decimals) {
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    if (std::strtod(buf, nullptr) == value) break;
  }
  return buf;
}

}  // namespace

double PixelsPerUnit(int zoom_index) {
  return static_cast<double>(kGridSpacing) / kZoomTable[static_cast<std::size_t>(ClampZoom(zoom_index))];
}

std::int64_t TimeAtX(int x, int position, int zoom_index) {
  return ir::RoundHalfEven((x + position - kLeftMargin) / PixelsPerUnit(zoom_index));
}

int XAtTime(std::int64_t time, int position, int zoom_index) {
  return static_cast<int>(ir::RoundHalfEven(static_cast<double>(time) * PixelsPerUnit(zoom_index))) -
         position + kLeftMargin;
}

std::string GridLabel(int line, int zoom_index) {
  const std::int64_t tenths =
      static_cast<std::int64_t>(line) * kZoomTable[static_cast<std::size_t>(ClampZoom(zoom_index))];
  if (tenths == 0) return "0";
  const double micros = static_cast<double>(tenths) / 10.0;
  if (micros <= 999) return ShortestReal(micros) + "us";
  return ShortestReal(micros / 1000.0) + "ms";
}

std::string DurationLabel(std::int32_t duration, bool tree_mode) {
  const double micros = std::abs(static_cast<double>(duration)) / 10.0;
  char buf[32];
  if (tree_mode)
    std::snprintf(buf, sizeof buf, "%.0f", micros);
  else
    std::snprintf(buf, sizeof buf, "%.1f", micros);
  return buf;
}

int LevelAt(const std::vector<std::int32_t>& durations, std::int64_t t) {
  std::int64_t start = 0;
  for (std::size_t i = 0; i < durations.size(); ++i) {
    const std::int64_t end = start + std::llabs(durations[i]);
    if (t >= start && t <= end) return static_cast<int>(i);
    start = end;
  }
  return -1;
}

std::int64_t SnapToEdge(const std::vector<std::int32_t>& durations, std::int64_t t) {
  if (durations.empty()) return t;
  std::int64_t best = 0;
  std::int64_t best_distance = std::llabs(t);
  std::int64_t edge = 0;
  for (std::int32_t d : durations) {
    edge += std::llabs(d);
    const std::int64_t distance = std::llabs(t - edge);
    if (distance > best_distance) break;
    best = edge;
    best_distance = distance;
  }
  return best;
}

std::int64_t TotalTime(const std::vector<std::int32_t>& durations) {
  std::int64_t total = 0;
  for (std::int32_t d : durations) total += std::llabs(d);
  return total;
}

int ScrollBarMax(int zoom_index) {
  return static_cast<int>(
      ir::RoundHalfEven(5e7 / kZoomTable[static_cast<std::size_t>(ClampZoom(zoom_index))] * 80));
}

std::int64_t ContentWidth(std::int64_t total_time, int zoom_index) {
  return ir::RoundHalfEven(static_cast<double>(total_time) * PixelsPerUnit(zoom_index)) + kLeftMargin +
         kRightMargin;
}

int ContentScrollMax(std::int64_t total_time, int zoom_index, int view_width) {
  const std::int64_t room = ContentWidth(total_time, zoom_index) - std::max(view_width, 0);
  return static_cast<int>(std::clamp<std::int64_t>(room, 0, ScrollBarMax(zoom_index)));
}

int FitZoomIndex(std::int64_t total_time, int view_width) {
  if (total_time <= 0) return 0;
  for (int zoom = 0; zoom <= kMaxZoomIndex; ++zoom)
    if (ContentWidth(total_time, zoom) <= view_width) return zoom;
  return kMaxZoomIndex;
}

}  // namespace klimavo::wave
