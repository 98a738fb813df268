// Programming through the simulated programmer from the main window's Program
// command: a run to 100 % closes the dialog with OK and says so, a run
// cancelled half-way stops the thread and is not reported as programmed.
#include "ui/dialogs/programming_dialog.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include "app/main_window.h"
#include "base/gbk.h"
#include "gui_test_support.h"
#include "simulated_link.h"
#include "ui/widgets/data_grid.h"

namespace klimavo::app {
namespace {

constexpr int kRecord = 0;

struct Fixture {
  Fixture() : home(true), workbench(home.path()), window(workbench, prompts) {
    window.show();
    QCoreApplication::processEvents();
    auto* grid = window.findChild<ui::DataGrid*>("gridLibrary");
    for (int r = 1; r <= grid->Rows(); ++r)
      if (grid->Cell(5, r).toInt() == kRecord) grid->SetCurrentRow(r);
    window.SetProgrammer(&link.Manager(), &link.Clock());
  }
  QString Text(int n) { return QString::fromStdString(base::GbkToUtf8(workbench.language.Text(n))); }
  QString StatusHint() {
    for (QLabel* label : window.statusBar()->findChildren<QLabel*>())
      if (label->objectName().isEmpty() && !label->text().isEmpty()) return label->text();
    return {};
  }
  /// Received blocks of the transfer (header and data blocks).
  int BlocksReceived() {
    int n = 0;
    for (const auto& r : link.Device().Received())
      if (r.bytes.size() > 1 && (r.bytes[1] == 0xAA || (r.bytes[1] & 0xF8) == 0xA0)) ++n;
    return n;
  }

  testing::TestHome home;
  testing::ScriptedPrompts prompts;
  Workbench workbench;
  TfrmAirEditor window;
  testing::SimulatedLink link;
};

}  // namespace

class ProgrammingDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void runsToTheEnd() {
    Fixture f;
    QCOMPARE(f.window.CurrentIndex(), kRecord);
    int maximum = 0;
    int position = 0;
    QString status;
    QString caption;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<ui::TfrmDownProc*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      QObject::connect(dialog, &QDialog::finished, [&, dialog] {
        maximum = dialog->Bar()->maximum();
        position = dialog->Bar()->value();
        status = dialog->StatusText();
        caption = dialog->CaptionText();
        dialog->grab().save(testing::ScreenshotDir() + "/programming-done.png");
      });
    });
    f.window.ProgramCommand();
    QVERIFY(maximum > 2);
    QCOMPARE(position, maximum);
    QCOMPARE(status, f.Text(0));
    QCOMPARE(caption, f.Text(69));
    QCOMPARE(f.BlocksReceived(), maximum);
    QCOMPARE(f.StatusHint(), f.Text(0));
    QVERIFY(f.link.Manager().Listening());
  }

  void cancelledHalfWay() {
    Fixture f;
    int maximum = 0;
    int cancelled_at = -1;
    QString status;
    bool dialog_found = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<ui::TfrmDownProc*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      dialog_found = true;
      QObject::connect(dialog->Bar(), &QProgressBar::valueChanged, dialog, [&, dialog](int value) {
        maximum = dialog->Bar()->maximum();
        if (cancelled_at >= 0 || maximum <= 1 || value < maximum / 2) return;
        cancelled_at = value;
        dialog->grab().save(testing::ScreenshotDir() + "/programming-half-way.png");
        QTimer::singleShot(0, dialog,
                           [dialog] { QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton); });
      });
      QObject::connect(dialog, &QDialog::finished, [&, dialog] { status = dialog->StatusText(); });
    });
    f.window.ProgramCommand();
    QVERIFY(dialog_found);
    QVERIFY(cancelled_at >= maximum / 2);
    QVERIFY(cancelled_at < maximum);
    QVERIFY(status != f.Text(0));
    QVERIFY(f.BlocksReceived() < maximum);
    QCOMPARE(f.StatusHint(), f.Text(167));
  }

  void waitsForTheDevice() {
    testing::TestHome home(true);
    Workbench workbench(home.path());
    testing::SimulatedLink link;
    link.Device().Unplug();
    link.Manager().Recheck();
    ui::TfrmDownProc dialog(&link.Manager(), link.Clock(), workbench.language, home.path() / "Binn");
    dialog.StartProgramming(base::Bytes(40, 1));
    dialog.show();
    QVERIFY(testing::WaitFor([&] {
      return dialog.StatusText() == QString::fromStdString(base::GbkToUtf8(workbench.language.Text(26)));
    }));
    QVERIFY(dialog.grab().save(testing::ScreenshotDir() + "/programming-waiting.png"));
    dialog.reject();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.Progress().Completed());
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::ProgrammingDialogTest)
#include "programming_dialog_test.moc"
