#include "ui/waveview/wave_renderer.h"

#include <QImage>
#include <QTest>
#include <algorithm>

#include "ir/protocol.h"
#include "wave/pulse_distance_timing.h"
#include "wave/tree_synthesis.h"

namespace klimavo::ui {
namespace {

struct Rendered {
  QImage image;
  std::vector<DrawnText> texts;
};

Rendered Render(const wave::WaveState& state, QSize size = {900, 200}) {
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
    wave::WaveState state;
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
    wave::WaveState state;
    state.ZoomIndex = 11;
    state.Durations = {5600, -5600};
    const Rendered r = Render(state);
    const DrawnText* label = FindText(r, "560.0");
    QVERIFY(label != nullptr);
    QCOMPARE(label->y, 37 + (200 - 67) / 2 - 8);
  }
  void gridLabelsAtFiveMillisecondsPerDivision() {
    wave::WaveState state;
    state.ZoomIndex = 29;
    const Rendered r = Render(state);
    QVERIFY(HasText(r, "0"));
    QVERIFY(HasText(r, "5ms"));
    QVERIFY(HasText(r, "10ms"));
  }
  void headerInEnglishAndChinese() {
    wave::WaveState state;
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
    // "LEV. QTY.:" keeps its place unless the carrier before it needs the room.
    const DrawnText* carrier = FindText(r, "38.0KHz");
    QCOMPARE(FindText(r, "LEV. QTY.:")->x, std::max(684, carrier->x + carrier->width + 8));
    state.Chinese = true;
    r = Render(state);
    QCOMPARE(FindText(r, "格式:")->x, 96);
    QCOMPARE(FindText(r, "38.0KHz")->x, 618);
    QCOMPARE(FindText(r, "序号:")->x, 36);
  }
  void cursorsShowTheirDistanceAndLevelCount() {
    wave::WaveState state;
    state.ShowLineAB = true;
    state.ZoomIndex = 11;
    state.Durations = {5600, -5600, 5600};
    state.CursorA = 0;
    state.CursorB = 11200;
    const Rendered r = Render(state);
    // The reading between the cursors and the header's AB value, both with their unit.
    QCOMPARE(std::count_if(r.texts.begin(), r.texts.end(),
                           [](const DrawnText& t) { return t.text == "1120.0us"; }),
             2);
    QVERIFY(HasText(r, "LEV Qty.:2"));
    QCOMPARE(FindText(r, "A")->x, 4 - 3);
  }
  void headerTextsNeverOverlapAndStayInside() {
    // Long code values (a 14-byte frame in tree mode) and narrow views in both
    // languages: every header text is whole, inside the view and clear of the others.
    wave::WaveState state;
    state.Durations.assign(227, 5600);
    state.Carrier = 38000;
    state.RecordNo = 1;
    state.ShowLineAB = true;
    state.Title = "CHO";
    state.CursorA = 1000;
    state.CursorB = 20000;
    state.ProtocolName = "ZOV7300";
    state.ProtocolName2 = "DedeRodoza";
    for (int id = 1; id <= 14; ++id) {
      wave::WaveSegment s;
      s.Kind = wave::WaveSegment::kField;
      s.NodeId = static_cast<std::uint8_t>(id);
      s.Value = 0x23 + id;
      s.SymbolCount = 8;
      state.Segments.push_back(s);
    }
    for (bool chinese : {false, true})
      for (bool tree_mode : {false, true})
        for (int width : {1500, 900, 800, 640, 480}) {
          state.Chinese = chinese;
          state.TreeMode = tree_mode;
          const Rendered r = Render(state, {width, 200});
          std::vector<DrawnText> header;
          for (const DrawnText& t : r.texts)
            if (t.y == 2 && !t.text.isEmpty()) header.push_back(t);
          std::sort(header.begin(), header.end(),
                    [](const DrawnText& a, const DrawnText& b) { return a.x < b.x; });
          const QString where = QString("zh=%1 tree=%2 width=%3").arg(chinese).arg(tree_mode).arg(width);
          QVERIFY2(!header.empty(), qPrintable(where));
          for (std::size_t i = 0; i < header.size(); ++i) {
            QVERIFY2(header[i].x >= 0 && header[i].x + header[i].width <= width,
                     qPrintable(where + " " + header[i].text));
            if (i > 0)
              QVERIFY2(header[i - 1].x + header[i - 1].width <= header[i].x,
                       qPrintable(where + " " + header[i - 1].text + " / " + header[i].text));
          }
          // The carrier, the level count and the AB reading are never shortened.
          QVERIFY2(HasText(r, "38.0KHz"), qPrintable(where));
          QVERIFY2(HasText(r, "227"), qPrintable(where));
          QVERIFY2(HasText(r, "1900.0us"), qPrintable(where));
        }
  }
  void highlightedLevelsAreDrawnAsSelected() {
    wave::WaveState state;
    state.ZoomIndex = 17;  // 0.025 px per tick: each 5600 level is 140 px wide
    state.Durations = {5600, -5600, 5600, -5600};
    state.Highlights = {{2, 2}};
    const Rendered r = Render(state);
    const WaveColours colours = WaveColours::Defaults();
    QCOMPARE(r.image.pixelColor(4 + 2 * 140 + 65, 37), colours[WaveRole::FocusedLevel]);  // the lit mark
    QCOMPARE(r.image.pixelColor(4 + 65, 37), colours[WaveRole::Levels]);  // the first one is not
    // The band behind the lit level differs from the plain background.
    QVERIFY(r.image.pixelColor(4 + 2 * 140 + 65, 130) != colours[WaveRole::Background]);
    QCOMPARE(r.image.pixelColor(4 + 140 + 65, 130), colours[WaveRole::Background]);
  }
  void fieldSegmentsShowTheirValueInEachFormat() {
    wave::WaveState state;
    wave::WaveSegment field;
    field.Kind = wave::WaveSegment::kField;
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
    wave::WaveState state;
    for (int pass = 0; pass < 2; ++pass)
      for (int id = 1; id <= 2; ++id) {
        wave::WaveSegment s;
        s.Kind = wave::WaveSegment::kField;
        s.NodeId = static_cast<std::uint8_t>(id);
        s.Value = 0x10 * id;
        s.SymbolCount = 8;
        state.Segments.push_back(s);
      }
    QCOMPARE(WaveRenderer::CodeValueText(state), QString("10 20 "));
  }
  // The code value of a waveform synthesised from a format tree: one byte per
  // field, a repeated frame listed once.
  void codeValueOfASynthesisedTree() {
    const struct {
      const char* tree;
      std::uint8_t value;
      int repeat_count;
      bool tree_mode;
      const char* code;
    } cases[] = {{"<0>[8]<1>", 0xA5, 1, true, "A5 "}, {"(<0>[8]<1>)*2", 0x3C, 2, false, "3C "}};
    for (const auto& c : cases) {
      ir::FormatTreeControl control;
      ir::ShowFormatTree(ir::BuildFormatTreeFromText(testing::PulseDistanceTiming(), c.tree, false), control);
      wave::SetNodeValues(control, {c.value}, false);
      wave::WaveState state;
      state.TreeMode = c.tree_mode;
      state.RepeatCount = c.repeat_count;
      wave::SynthesiseFromTree(control, state);
      QCOMPARE(WaveRenderer::CodeValueText(state), QString(c.code));
    }
  }
};

}  // namespace klimavo::ui

QTEST_MAIN(klimavo::ui::WaveRendererTest)
#include "wave_renderer_test.moc"
