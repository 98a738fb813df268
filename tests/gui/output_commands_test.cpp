// The main window's output commands over the sample library: the C array of
// the current record, the chip-image check of every record, the universal
// conversion into <home>/acwn.txt, the mobile bundle, and filter by learning
// narrowing the library list to the record whose remote was pressed.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>

#include "analysis/signal_support.h"
#include "app/device_session.h"
#include "app/main_window.h"
#include "base/gbk.h"
#include "gui_test_support.h"
#include "ir/decode.h"
#include "main_window_fixture.h"
#include "record_workflow_support.h"
#include "ui/dialogs/format_chooser_dialog.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::app {
namespace {

struct Fixture : testing::MainWindowFixture {
  QPlainTextEdit* Memo() { return window.findChild<QPlainTextEdit*>("memoRecord"); }
  QPlainTextEdit* Summary() { return window.findChild<QPlainTextEdit*>("memoSummary"); }
  void Trigger(const char* action) { window.findChild<QAction*>(action)->trigger(); }
  void Select(int index) {
    for (int r = 1; r <= Library()->Rows(); ++r)
      if (Library()->Cell(5, r).toInt() == index) Library()->SetCurrentRow(r);
  }
  QList<int> ListedIndices() {
    QList<int> out;
    for (int r = 1; r <= Library()->Rows(); ++r) out << Library()->Cell(5, r).toInt();
    return out;
  }
};

}  // namespace

class OutputCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void createCppWritesTheImageOfTheCurrentRecordIntoTheMemo() {
    Fixture f;
    f.Select(1);
    f.Trigger("mnuCreateCpp");
    const QString text = f.Memo()->toPlainText();
    QVERIFY(text.startsWith("static unsigned char testdata[]={0x"));
    QVERIFY(text.endsWith(",}"));
    QVERIFY(!f.window.RecordModified());
  }

  void chipImageCheckAndUniversalConversion() {
    Fixture f;
    f.Trigger("btnCheckImages");
    QVERIFY(f.Memo()->toPlainText().isEmpty());  // every sample image runs
    QVERIFY(!f.window.RecordModified());

    f.Select(2);
    const std::filesystem::path table = f.home.path() / "acwn.txt";
    f.Trigger("mnuConvertOne");
    QVERIFY(std::filesystem::exists(table));
    QVERIFY(std::filesystem::file_size(table) > 100);
  }

  void universalConversionReportsAFailingRecordInTheMemo() {
    Fixture f;
    f.Select(3);
    store::TdiskAir& record = f.workbench.library.MutableRecords()[3].Record;
    record.KeyCount = 5;  // the tables need six keys: -1
    f.Trigger("mnuConvertOne");
    QVERIFY(f.Memo()->toPlainText().endsWith(":-1"));
    QVERIFY(!f.window.RecordModified());
  }

  void mobileBundleOfTheLibrary() {
    Fixture f;
    const QString target = QString::fromStdString((f.home.path() / "mobile.bin").string());
    f.prompts.files.push_back(target);
    f.Trigger("mnuMobileFile");
    QVERIFY(QFile::exists(target));
    QCOMPARE(f.prompts.messages.size(), 1u);
    QVERIFY(f.prompts.messages.back().contains(QRegularExpression("\\d+$")));
  }

  void filterByLearningNarrowsTheListToThePressedRemote() {
    Fixture f;
    const int all = f.Library()->Rows();
    for (int index : {0, 3, 5}) {
      store::TdiskAir record;
      store::TBtnLines lines;
      QVERIFY(f.workbench.library.FetchRecord(index, record, lines));
      ir::Tcomp_aval decoded;
      QVERIFY(ir::DecodeCapture(testing::EmulatePress(record, lines, 0, 1, f.workbench.settings.Timing),
                                38000, true, true, f.workbench.settings.DecodeTolerance, decoded));
      f.window.LearnFilterSearch(decoded);
      QVERIFY(f.window.LearnFilterOn());
      QCOMPARE(f.ListedIndices(), QList<int>{index});
    }
    auto* hint = f.window.statusBar()->findChild<QLabel*>("lblStatusHint");
    QVERIFY(hint != nullptr);
    QVERIFY(!hint->text().isEmpty());
    f.window.findChild<QPushButton*>("btnResetFilter")->click();
    QCOMPARE(f.Library()->Rows(), all);
    QCOMPARE(hint->text(), QString());  // the count went with the filter
  }

  void filterByLearningThroughTheFormatChooser() {
    testing::WorkbenchFixture f;
    QVERIFY(testing::WaitFor([&] { return f.device->Manager().Listening(); }, 3000));
    auto* library = f.window->findChild<ui::LibraryGrid*>("gridLibrary");
    const int all = library->Rows();
    constexpr int kPressed = 1;
    store::TdiskAir record;
    store::TBtnLines lines;
    QVERIFY(f.workbench.library.FetchRecord(kPressed, record, lines));
    const ir::TIRIntegerArr press = testing::EmulatePress(record, lines, 0, 1, f.workbench.settings.Timing);
    QList<int> listed;
    f.prompts.dialogs.push_back([&](QDialog& d) {
      d.show();
      f.device->SimulatedLearner()->QueueCapture({press, 38000});
      testing::WaitFor([&] { return f.window->LearnFilterOn(); });
      for (int r = 1; r <= library->Rows(); ++r) listed << library->Cell(5, r).toInt();
      return int(QDialog::Rejected);
    });
    f.window->FilterByLearning();
    QCOMPARE(listed, QList<int>{kPressed});
    QCOMPARE(f.window->LearnFilterHits(), std::vector<int>{kPressed});
    // A later press shows in its own field: the filter's count stays in view.
    auto* hint = f.window->statusBar()->findChild<QLabel*>("lblStatusHint");
    auto* press_field = f.window->statusBar()->findChild<QLabel*>("lblStatusPress");
    QVERIFY(hint && press_field);
    const QString count = hint->text();
    QVERIFY(!count.isEmpty());
    f.window->SimulatedKeyCommand();
    QVERIFY(testing::WaitFor([&] { return press_field->text().endsWith(f.Text(271)); }));
    QCOMPARE(hint->text(), count);
    QVERIFY(hint->isVisible());
    f.window->findChild<QPushButton*>("btnResetFilter")->click();
    QCOMPARE(library->Rows(), all);
  }

  void comparisonDiagnosticsReachTheSummaryMemo() {
    Fixture f;
    store::TdiskAir record;
    store::TBtnLines lines;
    QVERIFY(f.workbench.library.FetchRecord(1, record, lines));
    ir::Tcomp_aval decoded;
    QVERIFY(ir::DecodeCapture(testing::EmulatePress(record, lines, 0, 1, f.workbench.settings.Timing), 38000,
                              true, true, f.workbench.settings.DecodeTolerance, decoded));
    // Record 5 has the same timing and structure, and fails on the code bits.
    f.window.CompareWithRecord(decoded, 5);
    f.window.CompareWithRecord(decoded, 99);  // outside the library: nothing
    QTRY_VERIFY(QRegularExpression("\\n5:\\d+$").match(f.Summary()->toPlainText()).hasMatch());
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::OutputCommandsTest)
#include "output_commands_test.moc"
