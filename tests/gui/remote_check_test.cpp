// The remote check window fed by the simulated learner: a record's own
// emulated presses show no red bit, a press with one bit of the checksum
// target changed shows that bit red; its labels, context menu and grid modes.
#include <QAction>
#include <QPushButton>
#include <QTest>
#include <stdexcept>

#include "analysis/signal_support.h"
#include "app/device_session.h"
#include "base/gbk.h"
#include "record_workflow_support.h"
#include "ui/dialogs/remote_check_dialog.h"
#include "ui/widgets/check_grid_view.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::app {
namespace {

using analysis::CellColour;
using testing::WaitFor;

// Library index 5: 0106, byte sum of bytes 0-12 in byte 13 (bits 104-111).
constexpr int kSumRecord = 5;
constexpr int kTargetBit = 104;
constexpr int kTargetColumn = kTargetBit / analysis::kBitsPerCell;

void SelectRecord(TfrmAirEditor& window, int index) {
  auto* grid = window.findChild<ui::LibraryGrid*>("gridLibrary");
  for (int r = 1; r <= grid->Rows(); ++r)
    if (grid->Cell(5, r).toInt() == index) grid->SetCurrentRow(r);
}

// The press with data bit `bit` sent as the other logic code (its space exchanged).
ir::TIRIntegerArr WithBitChanged(ir::TIRIntegerArr signal, const ir::TIRGsPara& params, int bit) {
  const std::size_t at = 2 + 2 * static_cast<std::size_t>(bit) + 1;
  const std::int32_t zero = params.Logic[0][1] * 10;
  const std::int32_t one = params.Logic[1][1] * 10;
  signal[at] = std::abs(signal[at] - zero) < std::abs(signal[at] - one) ? one : zero;
  return signal;
}

bool AnyRed(const analysis::CheckGridModel& grid, int line, int below_column) {
  for (int c = 0; c < below_column; ++c)
    for (CellColour colour : grid.BinaryColours(line, c))
      if (colour == CellColour::kRed) return true;
  return false;
}

}  // namespace

class RemoteCheckTest : public QObject {
  Q_OBJECT

 private slots:
  void simulatedPressesOfTheRecordsOwnSignal() {
    testing::WorkbenchFixture f;
    SelectRecord(*f.window, kSumRecord);
    QCOMPARE(f.window->CurrentIndex(), kSumRecord);
    QVERIFY(WaitFor([&] { return f.device->Manager().Listening(); }, 3000));

    store::TdiskAir record;
    store::TBtnLines lines;
    QVERIFY(f.workbench.library.FetchRecord(kSumRecord, record, lines));
    const ir::TIRIntegerArr own = testing::EmulatePress(record, lines, 1, 8, f.workbench.settings.Timing);
    QVERIFY(!own.empty());
    const ir::TIRIntegerArr changed = WithBitChanged(own, record.Params, kTargetBit);

    int lines_seen = -1;
    bool first_clean = false;
    bool target_red = false;
    bool only_target_red = false;
    bool occupied = false;
    QString temperature;
    QString temperature_again;
    QString errors_of_changed;
    QString errors_of_first;
    bool close_button = false;
    f.prompts.dialogs.push_back([&](QDialog& d) {
      auto& dialog = dynamic_cast<ui::TfrmCheckAc&>(d);
      dialog.show();
      occupied = f.workbench.captures.Occupied(device::CaptureConsumer::RemoteCheck);
      const analysis::CheckGridModel& grid = dialog.Grid()->Model();
      f.device->SimulatedLearner()->QueueCapture({own, 38000});
      WaitFor([&] { return grid.Lines().size() == 1; });
      first_clean =
          grid.Lines().size() == 1 && !AnyRed(grid, 0, grid.CellColumns()) && dialog.LastResult().Ok();
      temperature = dialog.ValueText(1);
      f.device->SimulatedLearner()->QueueCapture({changed, 38000});
      WaitFor([&] { return grid.Lines().size() == 2; });
      lines_seen = static_cast<int>(grid.Lines().size());
      if (lines_seen == 2) {
        target_red = grid.BinaryColours(1, kTargetColumn)[0] == CellColour::kRed;
        only_target_red = !AnyRed(grid, 1, kTargetColumn);
      }
      errors_of_changed = dialog.ErrorsText();
      // A click on the first row shows what it was read as again.
      dialog.Grid()->setFocus();
      QTest::keyClick(dialog.Grid(), Qt::Key_Up);
      errors_of_first = dialog.ErrorsText();
      temperature_again = dialog.ValueText(1);
      close_button = dialog.findChild<QPushButton*>("btnClose") != nullptr;
      dialog.grab().save(testing::ScreenshotDir() + "/remote-check.png");
      dialog.HexAction()->trigger();
      dialog.grab().save(testing::ScreenshotDir() + "/remote-check-hex.png");
      return int(QDialog::Rejected);
    });
    f.window->CompareCode();
    QVERIFY(occupied);
    QVERIFY(!f.workbench.captures.Occupied(device::CaptureConsumer::RemoteCheck));
    QCOMPARE(lines_seen, 2);
    QVERIFY(first_clean);
    QVERIFY(target_red);
    QVERIFY(only_target_red);
    QVERIFY(!temperature.isEmpty());
    QVERIFY(errors_of_changed.toInt() >= 1);
    QCOMPARE(errors_of_first, QString("0"));
    QCOMPARE(temperature_again, temperature);
    QVERIFY(close_button);
  }

  // The learn mode may change while the check is open (its waveform menu, or
  // the device); the capture buttons show it afterwards, also when the
  // check's window ends by an error.
  void theCaptureButtonsFollowTheLearnModeAlsoWhenTheCheckFails() {
    testing::WorkbenchFixture f;
    device::TMyHIDUSBMange& manager = f.device->Manager();
    auto* near = f.window->findChild<QAction*>("btnNearCapture");
    auto* far = f.window->findChild<QAction*>("btnFarCapture");
    far->trigger();
    QVERIFY(far->isChecked());
    for (const bool fails : {false, true}) {
      f.prompts.dialogs.push_back([&](QDialog&) -> int {
        manager.SetLearnMode(near->isChecked() ? 2 : 1);
        if (fails) throw std::runtime_error("the check failed");
        return QDialog::Rejected;
      });
      bool thrown = false;
      try {
        f.window->CompareCode();
      } catch (const std::runtime_error&) {
        thrown = true;
      }
      QCOMPARE(thrown, fails);
      QCOMPARE(near->isChecked(), manager.LearnMode() == 1);
      QCOMPARE(far->isChecked(), manager.LearnMode() == 2);
      QVERIFY(!f.workbench.captures.Occupied(device::CaptureConsumer::RemoteCheck));
    }
  }

  void labelsMenuAndModes() {
    testing::TestHome home(true);
    Workbench workbench(home.path());
    store::TdiskAir record;
    store::TBtnLines lines;
    QVERIFY(workbench.library.FetchRecord(kSumRecord, record, lines));
    ui::TfrmCheckAc dialog(record, workbench.settings.DecodeTolerance, workbench.language);
    QCOMPARE(dialog.windowTitle(), QString("Remote check"));
    QCOMPARE(
        dialog.NameText(0),
        QString::fromStdString(base::GbkToUtf8(lang::TranslateKeyName(record.Keys[0].Name.str(), 1))) + ":");
    QVERIFY(dialog.ValueText(0).isEmpty());
    QVERIFY(dialog.InformationText().isEmpty());
    QVERIFY(dialog.BinaryAction()->isChecked());

    const ir::TIRIntegerArr own = testing::EmulatePress(record, lines, 0, 1, workbench.settings.Timing);
    dialog.CheckCapture(own, 45000);
    const QString carrier_text = QString::fromStdString(base::GbkToUtf8(workbench.language.Text(60)));
    QVERIFY(dialog.InformationText().startsWith(carrier_text + ":45000"));
    QVERIFY(dialog.InformationText().endsWith("<0>[112]<1>"));
    dialog.CheckCapture(WithBitChanged(own, record.Params, kTargetBit), 0);
    dialog.CheckCapture({90000, -45000, 5600}, 38000);  // the record's timing does not read it: nothing shown
    QVERIFY(dialog.InformationText().isEmpty());
    ui::CheckGridView* grid = dialog.Grid();
    QCOMPARE(grid->RowCount(), 4);
    QCOMPARE(grid->ColumnCount(), 15);  // 14 bytes + the row numbers

    const QString bits = QString::fromStdString(grid->Model().BinaryText(1, kTargetColumn));
    dialog.HexAction()->trigger();
    QVERIFY(grid->Hexadecimal());
    QCOMPARE(QString::fromStdString(grid->Model().HexText(1, kTargetColumn)).size(), 2);
    QVERIFY(grid->Model().HexRed(1, kTargetColumn));
    QVERIFY(!grid->Model().HexRed(0, kTargetColumn));
    QVERIFY(grid->ColumnWidth(1) < grid->fontMetrics().horizontalAdvance('A') * 8);
    dialog.BinaryAction()->trigger();
    QCOMPARE(QString::fromStdString(grid->Model().BinaryText(1, kTargetColumn)), bits);

    dialog.DeleteAllAction()->trigger();
    QCOMPARE(grid->RowCount(), 2);
    QCOMPARE(grid->ColumnCount(), 2);
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::RemoteCheckTest)
#include "remote_check_test.moc"
