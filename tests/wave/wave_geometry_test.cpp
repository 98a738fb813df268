#include "wave/wave_geometry.h"

#include <gtest/gtest.h>

namespace klimavo::wave {
namespace {

TEST(WaveGeometry, GridLabelsFollowTheZoom) {
  EXPECT_EQ(GridLabel(0, 29), "0");
  EXPECT_EQ(GridLabel(1, 29), "5ms");
  EXPECT_EQ(GridLabel(2, 29), "10ms");
  EXPECT_EQ(GridLabel(1, 0), "5us");
  EXPECT_EQ(GridLabel(2, 0), "10us");
  EXPECT_EQ(GridLabel(1, 1), "7.5us");
  EXPECT_EQ(GridLabel(3, 24), "2.25ms");
}

TEST(WaveGeometry, DurationLabels) {
  EXPECT_EQ(DurationLabel(5600, false), "560.0");
  EXPECT_EQ(DurationLabel(-5600, true), "560");
}

TEST(WaveGeometry, LevelLookupAndSnapping) {
  const std::vector<std::int32_t> d{1000, -2000, 3000};
  EXPECT_EQ(LevelAt(d, 0), 0);
  EXPECT_EQ(LevelAt(d, 1500), 1);
  EXPECT_EQ(LevelAt(d, 7000), -1);
  EXPECT_EQ(SnapToEdge(d, 1400), std::int64_t{1000});
  EXPECT_EQ(SnapToEdge(d, 2600), std::int64_t{3000});
  EXPECT_EQ(SnapToEdge({}, 77), std::int64_t{77});
}

TEST(WaveGeometry, TheContentSetsTheScrollRangeAndTheCoarsestUsefulZoom) {
  // 125 ms of signal (1 250 000 ticks) in an 800-pixel view.
  const std::int64_t total = 1250000;
  struct Case {
    int zoom;
    int max;  // pixels of content (4 + levels + 20) beyond the view, 0 when it fits
  };
  for (const Case& c : {Case{29, 1250 + 24 - 800}, Case{26, 3125 + 24 - 800}, Case{32, 781 + 24 - 800},
                        Case{33, 0}, Case{38, 0}}) {
    EXPECT_EQ(ContentScrollMax(total, c.zoom, 800), c.max) << c.zoom;
    EXPECT_LE(ContentScrollMax(total, c.zoom, 800), ScrollBarMax(c.zoom)) << c.zoom;
  }
  EXPECT_EQ(ContentScrollMax(0, 29, 800), 0);
  // 9 ms per division: 694 px + margins fit 800; 8 ms (index 32) needs 781 + 24.
  EXPECT_EQ(FitZoomIndex(total, 800), 33);
  EXPECT_EQ(FitZoomIndex(0, 800), 0);
  EXPECT_EQ(FitZoomIndex(1, 800), 0);
  EXPECT_EQ(FitZoomIndex(total * 1000, 800), kMaxZoomIndex);  // fits nowhere: the coarsest
}

TEST(WaveGeometry, TimeAndPixelsInvertEachOther) {
  for (int zoom : {0, 11, 29, 38}) {
    const std::int64_t t = TimeAtX(204, 0, zoom);
    EXPECT_EQ(XAtTime(t, 0, zoom), 204) << zoom;
  }
}

}  // namespace
}  // namespace klimavo::wave
