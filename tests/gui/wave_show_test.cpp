#include "ui/waveview/wave_show.h"

#include <QDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidgetItemIterator>
#include <QWheelEvent>

#include "ir/format_tree.h"
#include "ui/waveview/format_tree_widget.h"
#include "ui/waveview/move_wave_handle.h"
#include "wave/pulse_distance_timing.h"
#include "wave/wave_geometry.h"

namespace klimavo::ui {
namespace {

struct Views {
  Views() : bar(&host), a(&host), b(&host) {
    host.resize(900, 400);
    a.setGeometry(0, 0, 900, 180);
    b.setGeometry(0, 180, 900, 180);
    bar.setGeometry(0, 370, 900, 20);
    a.SetScrollBarCtl(&bar);
    b.SetScrollBarCtl(&bar);
    bar.SetFielsID(17);
    a.SetWave({5600, -5600, 5600, -5600});
    host.show();
  }
  void Wheel(TWaveShow& view, int x, int delta) {
    QWheelEvent event(QPointF(x, 100), view.mapToGlobal(QPointF(x, 100)), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&view, &event);
  }
  QWidget host;
  TMoveWaveHandle bar;
  TWaveShow a;
  TWaveShow b;
};

// A view in tree mode over a leader, one data byte and a trailer, shown.
struct TreeModeView {
  TreeModeView() : tree(&host), view(&host) {
    host.resize(900, 200);
    tree.ShowFormatTree(ir::BuildFormatTreeFromText(testing::PulseDistanceTiming(), "<0>[8]<1>", false));
    view.setGeometry(0, 0, 900, 200);
    view.SetTreeViewData(&tree);
    view.SetIsFromTreeView(true);
    view.FullRedraw();
    host.show();
  }
  QWidget host;
  FormatTreeWidget tree;
  TWaveShow view;
};

}  // namespace

class WaveShowTest : public QObject {
  Q_OBJECT

 private slots:
  void wheelZoomsAllViewsAndKeepsTheLimits() {
    Views v;
    v.Wheel(v.a, 200, -120);  // down: zoom out
    QCOMPARE(v.a.State().ZoomIndex, 18);
    QCOMPARE(v.b.State().ZoomIndex, 18);
    QCOMPARE(v.bar.FielsID(), 18);
    v.Wheel(v.a, 200, 120);
    QCOMPARE(v.a.State().ZoomIndex, 17);
    v.bar.ZoomAndPosition(wave::kMaxZoomIndex, 0);
    v.Wheel(v.a, 200, -120);  // beyond the last zoom: nothing changes
    QCOMPARE(v.a.State().ZoomIndex, wave::kMaxZoomIndex);
  }

  void keysZoomAndScroll() {
    Views v;
    v.a.setFocus();
    QTest::keyClick(&v.a, Qt::Key_Down);
    QCOMPARE(v.a.State().ZoomIndex, 18);
    QTest::keyClick(&v.a, Qt::Key_Up);
    QCOMPARE(v.a.State().ZoomIndex, 17);
    QTest::keyClick(&v.a, Qt::Key_Right);
    QCOMPARE(v.bar.value(), 10);
    QCOMPARE(v.b.State().Position, 10);
    QTest::keyClick(&v.a, Qt::Key_Home);
    QCOMPARE(v.a.State().Position, 0);
  }

  void keysTheViewHasNoUseForReachItsDialog() {
    // With the focus in the view, Enter still presses the dialog's default button and
    // Escape still closes it; the view's own keys stay with the view.
    const struct {
      Qt::Key key;
      bool accepted;
      bool rejected;
    } cases[] = {{Qt::Key_Return, true, false},
                 {Qt::Key_Enter, true, false},
                 {Qt::Key_Escape, false, true},
                 {Qt::Key_Down, false, false},
                 {Qt::Key_Home, false, false}};
    for (const auto& c : cases) {
      QDialog dialog;
      TWaveShow view(&dialog);
      view.setGeometry(0, 0, 400, 150);
      view.SetWave({5600, -5600, 5600, -5600});
      auto* ok = new QPushButton("OK", &dialog);
      ok->move(0, 160);
      ok->setDefault(true);
      QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
      QSignalSpy accepted(&dialog, &QDialog::accepted);
      QSignalSpy rejected(&dialog, &QDialog::rejected);
      dialog.show();
      view.setFocus();
      QTest::keyClick(&view, c.key);
      const QByteArray key = QByteArray::number(c.key, 16);
      QVERIFY2(accepted.count() == (c.accepted ? 1 : 0), key.constData());
      QVERIFY2(rejected.count() == (c.rejected ? 1 : 0), key.constData());
      QVERIFY2(dialog.isVisible() == (!c.accepted && !c.rejected), key.constData());
    }
  }

  void deleteClearsOnlyAScrollingView() {
    Views v;
    v.a.MutableState().Scrolling = false;
    QTest::keyClick(&v.a, Qt::Key_Delete);
    QVERIFY(!v.a.IsEmpty());
    v.a.MutableState().Scrolling = true;
    QTest::keyClick(&v.a, Qt::Key_Delete);
    QVERIFY(v.a.IsEmpty());
  }

  void cursorSnapsToLevelEdgesUnlessCtrlIsHeld() {
    Views v;
    v.a.SetShowLineAB(true);
    v.bar.SetCursors(5600, 20000);
    const int xa = wave::XAtTime(5600, 0, 17);
    QTest::mousePress(&v.a, Qt::LeftButton, Qt::NoModifier, QPoint(xa, 100));
    QTest::mouseMove(&v.a, QPoint(xa + 30, 100));
    QMouseEvent move(QEvent::MouseMove, QPointF(xa + 30, 100), v.a.mapToGlobal(QPointF(xa + 30, 100)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&v.a, &move);
    QCOMPARE(v.a.State().CursorA, std::int64_t{5600});  // the nearest edge is still 5600
    QMouseEvent ctrl_move(QEvent::MouseMove, QPointF(xa - 30, 100), v.a.mapToGlobal(QPointF(xa - 30, 100)),
                          Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
    QCoreApplication::sendEvent(&v.a, &ctrl_move);
    QCOMPARE(v.a.State().CursorA, std::int64_t{5600 - 1200});  // 30 px left at 0.025 px per tick
    QCOMPARE(v.b.State().CursorA, v.a.State().CursorA);        // every view of the bar follows
  }

  void iconClickTogglesScrollingAndFixed() {
    Views v;
    v.a.SetShowMoveOnStatus(true);
    QTest::mouseClick(&v.a, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QVERIFY(!v.a.State().Scrolling);
    QTest::mouseClick(&v.a, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QVERIFY(v.a.State().Scrolling);
  }

  void dropMovesATraceOnlyIntoAScrollingView() {
    Views v;
    v.a.SetDragMoveData(true);
    v.b.SetDragMoveData(true);
    v.a.SetTag(1);
    v.b.SetTag(2);
    v.b.MutableState().Scrolling = false;
    QVERIFY(!v.b.DropTraceFrom(&v.a));
    QVERIFY(v.b.IsEmpty());
    v.b.MutableState().Scrolling = true;
    QVERIFY(v.b.DropTraceFrom(&v.a));
    QCOMPARE(v.b.State().Durations.size(), std::size_t{4});
    QVERIFY(v.a.IsEmpty());
  }

  void doubleClickEditsAFieldValueInTreeMode() {
    TreeModeView t;
    TWaveShow& view = t.view;
    view.SetZoom(29);  // 5 ms per division: the whole frame in view
    view.FullRedraw();
    QString asked;
    TWaveShow::SetValuePrompt([&asked](QWidget*, const QString&, const QString&, const QString& value) {
      asked = value;
      return std::optional<QString>("A5");
    });
    int changes = 0;
    connect(&view, &TWaveShow::ParamsChanged, [&changes] { ++changes; });
    // The data field starts after the 13.5 ms leader (135000 ticks); click 2 ms into it.
    const int field_x = wave::XAtTime(135000 + 20000, 0, 29);
    QVERIFY(field_x > 0 && field_x < view.width());
    QTest::mouseDClick(&view, Qt::LeftButton, Qt::NoModifier, QPoint(field_x, 20));
    TWaveShow::SetValuePrompt(nullptr);
    QCOMPARE(asked, QString("00"));
    QCOMPARE(changes, 1);
    QCOMPARE(view.State().Segments.size() > 0, true);
    bool found = false;
    for (const auto& s : view.State().Segments)
      if (s.Kind == wave::WaveSegment::kField && s.SymbolCount == 8) found = found || s.Value == 0xA5;
    QVERIFY(found);
  }

  void aBarFittedToItsContentEndsWithIt() {
    Views v;
    // By default the range is the fixed one of the zoom.
    QCOMPARE(v.bar.maximum(), wave::ScrollBarMax(17));
    v.bar.SetFitToContent(true);
    // 22400 ticks at 0.025 px per tick: 560 px + margins fit the 900-pixel views.
    QCOMPARE(v.bar.maximum(), 0);
    v.bar.SetFielsID(5);  // 500 ticks per division: 2240 + 24 px
    QCOMPARE(v.bar.maximum(), 2240 + 24 - 900);
    v.b.SetWave(std::vector<std::int32_t>(8, 5600));  // the longer view counts
    QCOMPARE(v.bar.maximum(), 2 * 2240 + 24 - 900);
    v.b.ClearWave();
    QCOMPARE(v.bar.maximum(), 2240 + 24 - 900);
    // Zooming out stops at the zoom where the content fits; zooming in goes on.
    const int fit = wave::FitZoomIndex(22400, 900);
    v.bar.ZoomAndPosition(fit, 0);
    v.Wheel(v.a, 200, -120);
    QCOMPARE(v.a.State().ZoomIndex, fit);
    v.Wheel(v.a, 200, 120);
    QCOMPARE(v.a.State().ZoomIndex, fit - 1);
    v.bar.ZoomAndPosition(0, 100000);  // a position beyond the content is brought back
    QCOMPARE(v.a.State().Position, v.bar.maximum());
    v.bar.FitWholeContent();
    QCOMPARE(v.a.State().ZoomIndex, fit);
    QCOMPARE(v.a.State().Position, 0);
  }

  void choosingATreeItemHighlightsItsLevels() {
    TreeModeView t;
    TWaveShow& view = t.view;
    FormatTreeWidget& tree = t.tree;
    // Items in tree order: root, frame, leader, 8-bit field, trailer.
    const int levels = static_cast<int>(view.State().Durations.size());
    struct Case {
      int item;
      std::vector<wave::LevelRange> expected;
    };
    const Case cases[] = {
        {0, {{0, levels - 1}}},  // the root: everything
        {1, {{0, levels - 1}}},  // the only frame
        {2, {{0, 1}}},           // the leader: one mark and one space
        {3, {{2, 17}}},          // eight bits of two levels each
        {4, {{18, 19}}},         // the trailer
    };
    QCOMPARE(tree.topLevelItemCount(), 1);
    std::vector<QTreeWidgetItem*> items;
    for (QTreeWidgetItemIterator it(&tree); *it; ++it) items.push_back(*it);
    QCOMPARE(static_cast<int>(items.size()), 5);
    for (const Case& c : cases) {
      tree.setCurrentItem(items[static_cast<std::size_t>(c.item)]);
      QCOMPARE(view.State().Highlights, c.expected);
    }
    // Redrawing from the tree keeps the choice; no item chosen, nothing lit.
    view.FullRedraw();
    QCOMPARE(view.State().Highlights, cases[4].expected);
    tree.setCurrentItem(nullptr);
    QVERIFY(view.State().Highlights.empty());
  }

  void coloursReloadFromTheirSource() {
    Views v;
    TWaveShow::SetColourSource([] {
      WaveColours c = WaveColours::Defaults();
      c.colours[0] = Qt::black;
      return c;
    });
    v.bar.ReloadColours();
    QCOMPARE(v.a.Colours()[WaveRole::Background], QColor(Qt::black));
    TWaveShow::SetColourSource([] { return WaveColours::Defaults(); });
  }
};

}  // namespace klimavo::ui

QTEST_MAIN(klimavo::ui::WaveShowTest)
#include "wave_show_test.moc"
