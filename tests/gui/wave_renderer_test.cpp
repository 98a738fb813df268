#include "ui/waveview/wave_renderer.h"

#include <QImage>
#include <QTest>

#include <algorithm>

namespace klimavo::ui {
namespace {

struct Rendered {
  QImage image;
  std::vector<DrawnText> texts;
};

Rendered Render(const WaveState& state, QSize size = {900, 200}) {
  Rendered r{QImage(size, QImage::Format_RGB32), {}};
  QPainter painter(&r.image);
  WaveRenderer renderer(state, WaveColours::Defaults(), size);
  renderer.Paint(painter);
  r.texts = renderer.Texts();
  return r;
}

bool HasText(const Rendered& r, const QString& text) {
  return std::any_of(r.texts.begin(), r.texts.end(), [&](const DrawnText& t) { return t.text == text; });
}

const DrawnText* FindText(const Rendered& r, const QString& text) {
  for (const auto& t : r.texts)
    if (t.text == text) return &t;
  return nullptr;
}

}  // namespace

class WaveRendererTest : public QObject {
  Q_OBJECT

 private slots:
  void levelsSitAtTheirFixedHeights() {
    WaveState state;
    state.ZoomIndex = 17;  // 200 µs per division: 0.025 px per tick
    state.Durations = {5600, -5600, 5600};
    const Rendered r = Render(state);
    const QColor level = WaveColours::Defaults()[WaveRole::Levels];
    // The first mark spans x = 4 .. 144 at y = 37; the space at y = height - 30.
    QCOMPARE(r.image.pixelColor(50, 37), level);
    QCOMPARE(r.image.pixelColor(200, 200 - 30), level);
    QVERIFY(r.image.pixelColor(50, 200 - 30) != level);
    // The closing edge after the last duration, which is a mark.
    QCOMPARE(r.image.pixelColor(424, 100), level);
  }
  void durationLabelsInCaptureMode() {
    WaveState state;
    state.ZoomIndex = 11;
    state.Durations = {5600, -5600};
    const Rendered r = Render(state);
    const DrawnText* label = FindText(r, "560.0");
    QVERIFY(label != nullptr);
    QCOMPARE(label->y, 37 + (200 - 67) / 2 - 8);
  }
  void gridLabelsAtFiveMillisecondsPerDivision() {
    WaveState state;
    state.ZoomIndex = 29;
    const Rendered r = Render(state);
    QVERIFY(HasText(r, "0"));
    QVERIFY(HasText(r, "5ms"));
    QVERIFY(HasText(r, "10ms"));
  }
  void headerInEnglishAndChinese() {
    WaveState state;
    state.Durations = {5600, -5600};
    state.Carrier = 38000;
    state.RecordNo = 7;
    Rendered r = Render(state);
    QVERIFY(HasText(r, "PROTOCOL:"));
    QVERIFY(HasText(r, "CARRIER:"));
    QVERIFY(HasText(r, "38.0KHz"));
    QVERIFY(HasText(r, "2"));
    QVERIFY(HasText(r, "No.:"));
    QVERIFY(HasText(r, "007"));
    QCOMPARE(FindText(r, "LEV. QTY.:")->x, 684);
    state.Chinese = true;
    r = Render(state);
    QCOMPARE(FindText(r, "格式:")->x, 96);
    QCOMPARE(FindText(r, "38.0KHz")->x, 618);
    QCOMPARE(FindText(r, "序号:")->x, 36);
  }
  void cursorsShowTheirDistanceAndLevelCount() {
    WaveState state;
    state.ShowLineAB = true;
    state.ZoomIndex = 11;
    state.Durations = {5600, -5600, 5600};
    state.CursorA = 0;
    state.CursorB = 11200;
    const Rendered r = Render(state);
    QVERIFY(HasText(r, "1120.0"));
    QVERIFY(HasText(r, "LEV Qty.:2"));
    QVERIFY(HasText(r, "1120.0us"));
    QCOMPARE(FindText(r, "A")->x, 4 - 3);
  }
  void fieldSegmentsShowTheirValueInEachFormat() {
    WaveState state;
    WaveSegment field;
    field.Kind = WaveSegment::kField;
    field.Name = "Data";
    field.Value = 0xA5;
    field.SymbolCount = 8;
    field.Radix = 2;
    state.ValueFormat = 0;
    QCOMPARE(WaveRenderer::FieldText(state, field), QString("Data:A5"));
    state.ValueFormat = 1;
    QCOMPARE(WaveRenderer::FieldText(state, field), QString("Data:10100101"));
    state.ValueFormat = 2;
    QCOMPARE(WaveRenderer::FieldText(state, field), QString("Data:165"));
  }
  void codeValueListsOnlyTheFirstPass() {
    WaveState state;
    for (int pass = 0; pass < 2; ++pass)
      for (int id = 1; id <= 2; ++id) {
        WaveSegment s;
        s.Kind = WaveSegment::kField;
        s.NodeId = static_cast<std::uint8_t>(id);
        s.Value = 0x10 * id;
        s.SymbolCount = 8;
        state.Segments.push_back(s);
      }
    QCOMPARE(WaveRenderer::CodeValueText(state), QString("10 20 "));
  }
};

}  // namespace klimavo::ui

QTEST_MAIN(klimavo::ui::WaveRendererTest)
#include "wave_renderer_test.moc"
