#include "ui/waveview/wave_geometry.h"

#include <QTest>

namespace klimavo::ui {

class WaveGeometryTest : public QObject {
  Q_OBJECT

 private slots:
  void gridLabelsFollowTheZoom() {
    QCOMPARE(QString::fromStdString(GridLabel(0, 29)), QString("0"));
    QCOMPARE(QString::fromStdString(GridLabel(1, 29)), QString("5ms"));
    QCOMPARE(QString::fromStdString(GridLabel(2, 29)), QString("10ms"));
    QCOMPARE(QString::fromStdString(GridLabel(1, 0)), QString("5us"));
    QCOMPARE(QString::fromStdString(GridLabel(2, 0)), QString("10us"));
    QCOMPARE(QString::fromStdString(GridLabel(1, 1)), QString("7.5us"));
    QCOMPARE(QString::fromStdString(GridLabel(3, 24)), QString("2.25ms"));
  }
  void durationLabels() {
    QCOMPARE(QString::fromStdString(DurationLabel(5600, false)), QString("560.0"));
    QCOMPARE(QString::fromStdString(DurationLabel(-5600, true)), QString("560"));
  }
  void levelLookupAndSnapping() {
    const std::vector<std::int32_t> d{1000, -2000, 3000};
    QCOMPARE(LevelAt(d, 0), 0);
    QCOMPARE(LevelAt(d, 1500), 1);
    QCOMPARE(LevelAt(d, 7000), -1);
    QCOMPARE(SnapToEdge(d, 1400), std::int64_t{1000});
    QCOMPARE(SnapToEdge(d, 2600), std::int64_t{3000});
    QCOMPARE(SnapToEdge({}, 77), std::int64_t{77});
  }
  void theContentSetsTheScrollRangeAndTheCoarsestUsefulZoom() {
    // 125 ms of signal (1 250 000 ticks) in an 800-pixel view.
    const std::int64_t total = 1250000;
    struct Case {
      int zoom;
      int max;  // pixels of content (4 + levels + 20) beyond the view, 0 when it fits
    };
    for (const Case& c : {Case{29, 1250 + 24 - 800}, Case{26, 3125 + 24 - 800}, Case{32, 781 + 24 - 800},
                          Case{33, 0}, Case{38, 0}}) {
      QCOMPARE(ContentScrollMax(total, c.zoom, 800), c.max);
      QVERIFY(ContentScrollMax(total, c.zoom, 800) <= ScrollBarMax(c.zoom));
    }
    QCOMPARE(ContentScrollMax(0, 29, 800), 0);
    // 9 ms per division: 694 px + margins fit 800; 8 ms (index 32) needs 781 + 24.
    QCOMPARE(FitZoomIndex(total, 800), 33);
    QCOMPARE(FitZoomIndex(0, 800), 0);
    QCOMPARE(FitZoomIndex(1, 800), 0);
    QCOMPARE(FitZoomIndex(total * 1000, 800), kMaxZoomIndex);  // fits nowhere: the coarsest
  }
  void timeAndPixelsInvertEachOther() {
    for (int zoom : {0, 11, 29, 38}) {
      const std::int64_t t = TimeAtX(204, 0, zoom);
      QCOMPARE(XAtTime(t, 0, zoom), 204);
    }
  }
};

}  // namespace klimavo::ui

QTEST_MAIN(klimavo::ui::WaveGeometryTest)
#include "wave_geometry_test.moc"
