// The remote check window fed by the simulated learner: a record's own
// emulated presses show no red bit, a press with one bit of the checksum
// target changed shows that bit red; its labels, context menu and grid modes.
#include <QAction>
#include <QApplication>
#include <QTest>

#include "analysis/signal_support.h"
#include "app/main_window.h"
#include "base/gbk.h"
#include "gui_test_support.h"
#include "simulated_link.h"
#include "ui/dialogs/remote_check_dialog.h"
#include "ui/widgets/check_grid_view.h"
#include "ui/widgets/data_grid.h"

namespace klimavo::app {
namespace {

using analysis::CellColour;

// Library index 5: 0106, byte sum of bytes 0-12 in byte 13 (bits 104-111).
constexpr int kSumRecord = 5;
constexpr int kTargetBit = 104;
constexpr int kTargetColumn = kTargetBit / analysis::kBitsPerCell;

void SelectRecord(TfrmAirEditor& window, int index) {
  auto* grid = window.findChild<ui::DataGrid*>("gridLibrary");
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

bool AnyRed(const analysis::CheckGridModel& grid, int line) {
  for (int c = 0; c < grid.CellColumns(); ++c)
    for (CellColour colour : grid.BinaryColours(line, c))
      if (colour == CellColour::kRed) return true;
  return false;
}

}  // namespace

class RemoteCheckTest : public QObject {
  Q_OBJECT

 private slots:
  void simulatedPressesOfTheRecordsOwnSignal() {
    testing::TestHome home(true);
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor window(workbench, prompts);
    window.show();
    QCoreApplication::processEvents();
    SelectRecord(window, kSumRecord);
    QCOMPARE(window.CurrentIndex(), kSumRecord);

    store::TdiskAir record;
    store::TBtnLines lines;
    QVERIFY(workbench.library.FetchRecord(kSumRecord, record, lines));
    const ir::TIRIntegerArr own = testing::EmulatePress(record, lines, 1, 8, workbench.settings.Timing);
    QVERIFY(!own.empty());
    const ir::TIRIntegerArr changed = WithBitChanged(own, record.Params, kTargetBit);
    QVERIFY(changed != own);

    testing::SimulatedLink link;
    link.RouteTo(workbench.captures);
    int lines_seen = -1;
    bool first_clean = false;
    bool target_red = false;
    bool only_target_red = true;
    QString temperature;
    bool occupied = false;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<ui::TfrmCheckAc*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      occupied = workbench.captures.Occupied(device::CaptureConsumer::RemoteCheck);
      const analysis::CheckGridModel& grid = dialog->Grid()->Model();
      link.Device().QueueCapture({own, 38000});
      testing::WaitFor([&] { return grid.Lines().size() == 1; });
      first_clean = grid.Lines().size() == 1 && !AnyRed(grid, 0) && dialog->LastResult().Ok();
      temperature = dialog->ValueText(1);
      link.Device().QueueCapture({changed, 38000});
      testing::WaitFor([&] { return grid.Lines().size() == 2; });
      if (grid.Lines().size() == 2) {
        target_red = grid.BinaryColours(1, kTargetColumn)[0] == CellColour::kRed;
        for (int c = 0; c < kTargetColumn; ++c)
          for (CellColour colour : grid.BinaryColours(1, c))
            only_target_red = only_target_red && colour != CellColour::kRed;
      }
      lines_seen = static_cast<int>(grid.Lines().size());
      dialog->grab().save(testing::ScreenshotDir() + "/remote-check.png");
      dialog->HexAction()->trigger();
      dialog->grab().save(testing::ScreenshotDir() + "/remote-check-hex.png");
      dialog->reject();
    });
    window.CompareCode();
    QVERIFY(occupied);
    QVERIFY(!workbench.captures.Occupied(device::CaptureConsumer::RemoteCheck));
    QCOMPARE(lines_seen, 2);
    QVERIFY(first_clean);
    QVERIFY(target_red);
    QVERIFY(only_target_red);
    QVERIFY(!temperature.isEmpty());
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
    QVERIFY(dialog.InformationText().startsWith(
        QString::fromStdString(base::GbkToUtf8(workbench.language.Text(60))) + ":45000"));
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
