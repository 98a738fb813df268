// Programming through the simulated programmer from the main window's Program
// command: a run to 100 % closes the dialog with OK and says so, a run
// cancelled half-way stops the thread and is not reported as programmed.
#include "ui/dialogs/programming_dialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "app/device_session.h"
#include "base/gbk.h"
#include "record_workflow_support.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::app {
namespace {

using testing::WaitFor;

constexpr int kRecord = 0;
/// The first byte of the programmer's finish command, which ends a transfer.
constexpr std::uint8_t kFinishMark = 0xBE;

struct Fixture : testing::WorkbenchFixture {
  Fixture() {
    auto* grid = window->findChild<ui::LibraryGrid*>("gridLibrary");
    for (int r = 1; r <= grid->Rows(); ++r)
      if (grid->Cell(5, r).toInt() == kRecord) grid->SetCurrentRow(r);
  }
  QString StatusHint() {
    for (QLabel* label : window->statusBar()->findChildren<QLabel*>())
      if (label->text() == Text(0) || label->text() == Text(167)) return label->text();
    return {};
  }
  /// Blocks of the last transfer the programmer received (header and data
  /// blocks), up to its finish command: the learner commands that follow when
  /// listening resumes begin with the header's mark too. A reply that comes late
  /// on a loaded machine makes the sender write the same block again; such a
  /// resend follows its block at once (neighbouring blocks differ in their
  /// sequence mark) and is counted once. A reply missed near the start sends the
  /// transfer again from its header, so counting starts again at each header.
  int BlocksReceived() {
    int n = 0;
    const base::Bytes* previous = nullptr;
    for (const auto& r : device->SimulatedLearner()->Received()) {
      if (r.bytes.size() > 1 && r.bytes[1] == kFinishMark) break;
      const bool header = r.bytes.size() > 1 && r.bytes[1] == 0xAA;
      const bool block = header || (r.bytes.size() > 1 && (r.bytes[1] & 0xF8) == 0xA0);
      if (!block) continue;
      if (previous == nullptr || *previous != r.bytes) n = header ? 1 : n + 1;
      previous = &r.bytes;
    }
    return n;
  }
};

}  // namespace

class ProgrammingDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void runsToTheEnd() {
    Fixture f;
    QCOMPARE(f.window->CurrentIndex(), kRecord);
    int maximum = 0;
    int position = 0;
    QString status;
    QString caption;
    bool stayed = false;
    f.prompts.dialogs.push_back([&](QDialog& d) {
      auto& dialog = dynamic_cast<ui::TfrmDownProc&>(d);
      QObject::connect(&dialog, &QDialog::finished, [&] {
        maximum = dialog.Bar()->maximum();
        position = dialog.Bar()->value();
        status = dialog.StatusText();
        caption = dialog.CaptionText();
        dialog.grab().save(testing::ScreenshotDir() + "/programming-done.png");
      });
      dialog.show();
      // At 100 % it stays, saying so, until it is closed.
      WaitFor([&] { return dialog.CaptionText() == f.Text(268); });
      QTest::qWait(300);
      stayed = dialog.isVisible();
      QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton);
      WaitFor([&] { return !dialog.isVisible(); });
      return dialog.result();
    });
    f.window->ProgramCommand();
    QVERIFY(stayed);
    QVERIFY(maximum > 2);
    QCOMPARE(position, maximum);
    QCOMPARE(status, f.Text(0));
    QCOMPARE(caption, f.Text(268));
    QCOMPARE(f.BlocksReceived(), maximum);
    QCOMPARE(f.StatusHint(), f.Text(0));
    QVERIFY(f.device->Manager().Listening());
  }

  void cancelledHalfWay() {
    Fixture f;
    int maximum = 0;
    int cancelled_at = -1;
    QString status;
    f.prompts.dialogs.push_back([&](QDialog& d) {
      auto& dialog = dynamic_cast<ui::TfrmDownProc&>(d);
      QObject::connect(dialog.Bar(), &QProgressBar::valueChanged, &dialog, [&](int value) {
        maximum = dialog.Bar()->maximum();
        if (cancelled_at >= 0 || maximum <= 1 || value < maximum / 2) return;
        cancelled_at = value;
        dialog.grab().save(testing::ScreenshotDir() + "/programming-half-way.png");
        QTimer::singleShot(0, &dialog, [&] { QTest::mouseClick(dialog.CancelButton(), Qt::LeftButton); });
      });
      dialog.show();
      WaitFor([&] { return !dialog.isVisible(); });
      status = dialog.StatusText();
      return dialog.result();
    });
    f.window->ProgramCommand();
    QVERIFY(cancelled_at >= maximum / 2);
    QVERIFY(cancelled_at < maximum);
    QVERIFY(status != f.Text(0));
    QVERIFY(f.BlocksReceived() < maximum);
    QCOMPARE(f.StatusHint(), f.Text(167));
  }

  void aRecordWithoutAnImageSaysWhyNothingIsProgrammed() {
    Fixture f;
    // A record with its keys' fields not analysed yet: too few keys have parts.
    store::TdiskAir record;
    store::TBtnLines lines;
    QVERIFY(f.workbench.library.FetchRecord(kRecord, record, lines));
    for (store::TdiskKey& key : record.Keys)
      for (store::TdiskBitColumn& column : key.Columns) column.Frame = store::kUnusedFrame;
    record.CodeNo.assign("0999");
    const int index = f.workbench.library.StoreRecord(record, lines, -1);
    f.window->RefreshLibraryList();
    auto* grid = f.window->findChild<ui::LibraryGrid*>("gridLibrary");
    for (int r = 1; r <= grid->Rows(); ++r)
      if (grid->Cell(5, r).toInt() == index) grid->SetCurrentRow(r);
    QCOMPARE(f.window->CurrentIndex(), index);
    f.window->ProgramCommand();
    QCOMPARE(f.prompts.messages.size(), std::size_t{1});
    QCOMPARE(f.prompts.messages[0], f.Text(162) + " -499: " + f.Text(247));
    QCOMPARE(f.BlocksReceived(), 0);
  }

  void waitsForTheDevice() {
    Fixture f;
    f.device->SimulatedLearner()->Unplug();
    ui::TfrmDownProc dialog(&f.device->Manager(), device::SteadyClock::Instance(), f.workbench.language,
                            f.home.path() / "Binn");
    dialog.StartProgramming(base::Bytes(40, 1));
    dialog.show();
    QVERIFY(WaitFor([&] { return dialog.StatusText() == f.Text(26); }));
    QVERIFY(dialog.grab().save(testing::ScreenshotDir() + "/programming-waiting.png"));
    dialog.reject();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.Progress().Completed());
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::ProgrammingDialogTest)
#include "programming_dialog_test.moc"
