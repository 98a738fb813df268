// The capture viewer as a newcomer uses it: an unreadable file gives a message,
// the scroll range and the zoom end with the capture, "fit the whole capture"
// works by key and menu, a newly chosen capture starts at its beginning, and
// the list names each capture's source and line and can be searched.
#include "app/capture_viewer.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QTest>

#include "base/gbk.h"
#include "capture/decode_report.h"
#include "gui_test_support.h"
#include "ir/decode.h"
#include "ui/waveview/format_tree_widget.h"
#include "ui/waveview/move_wave_handle.h"
#include "ui/waveview/wave_renderer.h"
#include "ui/waveview/wave_show.h"
#include "wave/wave_geometry.h"

namespace klimavo::app {
namespace {

QString Sample() { return QString(KLIMAVO_SOURCE_DIR) + "/data/samples/ac_remote.ir"; }

struct Viewer {
  explicit Viewer(const QString& file = Sample())
      : home(false),
        language(home.path(), 1),
        viewer(LoadCaptureFile(file, language).captures, 0.21, language, file) {
    viewer.resize(1047, 569);
    viewer.show();
    QCoreApplication::processEvents();
  }
  ui::TWaveShow& View() { return *viewer.CaptureView(); }
  ui::TMoveWaveHandle& Bar() { return *View().ScrollBarCtl(); }
  std::int64_t Total() { return wave::TotalTime(View().State().Durations); }
  QStringList VisibleRows() {
    QStringList rows;
    for (int i = 0; i < viewer.List()->count(); ++i)
      if (!viewer.List()->item(i)->isHidden()) rows << viewer.List()->item(i)->text();
    return rows;
  }

  testing::TestHome home;
  lang::Language language;
  CaptureViewer viewer;
};

}  // namespace

class CaptureViewerTest : public QObject {
  Q_OBJECT

 private slots:
  void anUnreadableFileGivesAMessageNamingIt() {
    testing::TestHome home(false);
    lang::Language language(home.path(), 1);
    const QString dir = QString::fromStdString(home.path().string());
    QFile bad(dir + "/bad.txt");
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("9000 -4500 x560\n");
    bad.close();
    const QString heading = QString::fromStdString(base::GbkToUtf8(language.Text(100)));
    for (const QString& file : {dir + "/bad.txt", dir + "/missing.ir"}) {
      const CaptureFileLoad load = LoadCaptureFile(file, language);
      QVERIFY(!load.ok());
      QVERIFY(load.captures.empty());
      QVERIFY2(load.error.startsWith(heading + "\n"), qPrintable(load.error));
      QVERIFY2(load.error.contains(file), qPrintable(load.error));
    }
    QVERIFY(LoadCaptureFile(dir + "/bad.txt", language).error.contains(":1:"));  // the line at fault
    QVERIFY(LoadCaptureFile(Sample(), language).ok());
  }

  void scrollingAndZoomingEndWithTheCapture() {
    Viewer v;
    const int width = v.View().width();
    // The range ends where the capture ends, at every zoom it can have.
    for (int zoom : {0, 11, 29}) {
      v.Bar().ZoomAndPosition(zoom, 0);
      QCOMPARE(v.Bar().maximum(), wave::ContentScrollMax(v.Total(), zoom, width));
      v.Bar().setValue(v.Bar().maximum());
      const int end_x = wave::XAtTime(v.Total(), v.View().State().Position, zoom);
      QVERIFY2(end_x > 0 && end_x <= width, qPrintable(QString("zoom %1: end at %2").arg(zoom).arg(end_x)));
    }
    // Zooming out stops once the whole capture is in view.
    const int fit = wave::FitZoomIndex(v.Total(), width);
    QVERIFY(fit > 0 && fit < wave::kMaxZoomIndex);
    v.View().setFocus();
    for (int i = 0; i < 20; ++i) QTest::keyClick(&v.View(), Qt::Key_Down);
    QCOMPARE(v.View().State().ZoomIndex, fit);
    QCOMPARE(v.Bar().maximum(), 0);
    QVERIFY(wave::ContentWidth(v.Total(), fit) <= width);
  }

  void fitTheWholeCaptureByKeyAndMenu() {
    Viewer v;
    const int fit = wave::FitZoomIndex(v.Total(), v.View().width());
    QAction* fit_action = v.viewer.findChild<QAction*>("actFitCapture");
    QVERIFY(fit_action);
    QVERIFY(v.viewer.menuBar()->actions().contains(v.viewer.findChild<QMenu*>("mnuView")->menuAction()));
    QCOMPARE(fit_action->shortcut(), QKeySequence(Qt::Key_F));
    for (bool by_key : {true, false}) {
      v.Bar().ZoomAndPosition(5, 400);
      QCOMPARE(v.View().State().Position, 400);
      if (by_key) {
        v.View().setFocus();
        QTest::keyClick(&v.View(), Qt::Key_F);
      } else {
        fit_action->trigger();
      }
      QCOMPARE(v.View().State().ZoomIndex, fit);
      QCOMPARE(v.View().State().Position, 0);
    }
  }

  void aNewlyChosenCaptureStartsAtItsBeginning() {
    Viewer v;
    QVERIFY(v.viewer.List()->count() >= 2);
    v.Bar().setValue(300);
    QCOMPARE(v.View().State().Position, 300);
    v.viewer.List()->setCurrentRow(1);
    QCOMPARE(v.viewer.ShownCapture(), 1);
    QCOMPARE(v.Bar().value(), 0);
    QCOMPARE(v.View().State().Position, 0);
    QCOMPARE(v.viewer.TreeView()->State().Position, 0);
  }

  void theHeaderShowsWhatTheCaptureDecodedTo() {
    Viewer v;
    const auto captures = LoadCaptureFile(Sample(), v.language).captures;
    for (int row : {0, 1}) {
      v.viewer.List()->setCurrentRow(row);
      const ir::Capture capture = capture::ToCapture(captures[static_cast<std::size_t>(row)]);
      ir::Tcomp_aval result;
      QVERIFY(ir::DecodeCapture(capture.Durations, capture.Carrier, false, true, 0.21, result));
      const capture::DecodeReport report = capture::MakeDecodeReport(result, true, false);
      const wave::WaveState& state = v.View().State();
      QVERIFY(!report.protocol.empty() && !report.bytes.empty());
      QCOMPARE(state.ProtocolName, report.protocol);
      QCOMPARE(ui::WaveRenderer::CodeValueText(state).toStdString(), capture::HexBytes(report.bytes, " "));
    }
  }

  void builtTreeCaptionsAreShownInTheWorkbenchLanguage() {
    const ui::TreeCaptionWords chinese{"帧", "逻辑", "波形"};
    struct Case {
      const char* caption;
      const char* shown;
    };
    for (const Case& c :
         {Case{"Frame0", "帧0"}, Case{"Logic12", "逻辑12"}, Case{"Wave3", "波形3"}, Case{"Wave", "Wave"},
          Case{"Logical3", "Logical3"}, Case{"Wave2a", "Wave2a"}, Case{"Head", "Head"}})
      QCOMPARE(ui::FormatTreeWidget::ShownCaption(QString::fromUtf8(c.caption), chinese),
               QString::fromUtf8(c.shown));

    // The viewer in Chinese: the decoded capture's tree reads in Chinese.
    testing::TestHome home(false);
    lang::Language language(home.path(), 2);
    CaptureViewer viewer(LoadCaptureFile(Sample(), language).captures, 0.21, language, Sample());
    viewer.List()->setCurrentRow(0);
    auto* tree = viewer.findChild<ui::FormatTreeWidget*>();
    QVERIFY(tree && tree->topLevelItemCount() > 0);
    QTreeWidgetItem* frame =
        tree->topLevelItem(0)->childCount() > 0 ? tree->topLevelItem(0)->child(0) : nullptr;
    QVERIFY(frame);
    QCOMPARE(frame->text(0), QString::fromUtf8("帧0"));
    QVERIFY(frame->childCount() > 0);
    for (int i = 0; i < frame->childCount(); ++i) {
      const QString leaf = frame->child(i)->text(0);
      QVERIFY2(leaf.startsWith(QString::fromUtf8("逻辑")) || leaf.startsWith(QString::fromUtf8("波形")),
               qPrintable(leaf));
    }
  }

  void theListNamesSourceAndLineAndCanBeSearched() {
    const QString corpus = KLIMAVO_CORPUS_FILE;
    Viewer v(corpus);
    QCOMPARE(v.viewer.List()->count(), 608);
    // First line of the corpus: source "ACs/Admiral/Admiral_AC.ir", name "Fan_2".
    const QString first = v.viewer.RowText(0);
    QVERIFY2(
        first.contains("Fan_2") && first.contains("ACs/Admiral/Admiral_AC.ir") && first.contains("line 1,"),
        qPrintable(first));
    auto* search = v.viewer.findChild<QLineEdit*>("edtSearch");
    auto* count = v.viewer.findChild<QLabel*>("lblCount");
    QCOMPARE(count->text(), QString("608 of 608 captures"));
    struct Case {
      const char* text;
      int at_least;
    };
    for (const Case& c : {Case{"admiral", 1}, Case{"Fan_2", 2}, Case{"line 12,", 1}}) {
      search->setText(c.text);
      const QStringList rows = v.VisibleRows();
      QVERIFY2(rows.size() >= c.at_least && rows.size() < 608, c.text);
      for (const QString& row : rows) QVERIFY2(row.contains(c.text, Qt::CaseInsensitive), qPrintable(row));
      QCOMPARE(count->text(), QString("%1 of 608 captures").arg(rows.size()));
      // The capture shown is one of the matches.
      QVERIFY(v.viewer.RowText(v.viewer.ShownCapture()).contains(c.text, Qt::CaseInsensitive));
    }
    search->setText("no capture is called this");
    QVERIFY(v.VisibleRows().isEmpty());
    search->clear();
    QCOMPARE(v.VisibleRows().size(), 608);
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::CaptureViewerTest)
#include "capture_viewer_test.moc"
