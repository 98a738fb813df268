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
