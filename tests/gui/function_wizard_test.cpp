// The function analysis wizard as an engineer uses it, with the simulated
// learner: the Gree sample record (0101, library index 0), whose codes come
// from data/corpus/ac-raw-captures.jsonl, source ACs/GREE/Gree_airco.ir.
// Captures in, rows shown, auto extraction, the states table, the firmware
// simulation; and the main window's "Assistant analyser" command around it.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>
#include <fstream>
#include <nlohmann/json.hpp>

#include "app/main_window.h"
#include "app/pulse_feed.h"
#include "base/dispatcher.h"
#include "base/gbk.h"
#include "device/learner_manager.h"
#include "device/simulated_device.h"
#include "gui_test_support.h"
#include "ir/checksum.h"
#include "ir/protocol.h"
#include "learner_support.h"
#include "main_window_fixture.h"
#include "ui/dialogs/function_wizard_dialog.h"
#include "ui/widgets/compare_grid_widget.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::app {
namespace {

constexpr int kGreeIndex = 0;
constexpr const char* kGreeSource = "ACs/GREE/Gree_airco.ir";

using testing::CorpusCaptures;
using testing::SimulatedLearner;

ir::Capture CaptureNamed(const std::string& name) {
  for (auto& [n, c] : CorpusCaptures(kGreeSource))
    if (n == name) return c;
  return {};
}

QString Cell(ui::DataGrid* grid, int column, int row) { return grid->Cell(column, row); }

// A record whose power key is still to be analysed: no fields, no code lines.
struct GreeFixture {
  GreeFixture() : workbench(home.path()) {
    workbench.library.FetchRecord(kGreeIndex, record, lines);
    record.Keys[0].Columns.fill(store::TdiskBitColumn{});
    for (auto& c : record.Keys[0].Columns) c.Values.fill(store::kUnsetValue);
    lines[0].clear();
  }
  testing::TestHome home{true};
  Workbench workbench;
  store::TdiskAir record;
  store::TBtnLines lines;
  testing::ScriptedPrompts prompts;
};

void SaveScreenshot(QWidget& window, const QString& name) {
  window.grab().save(testing::ScreenshotDir() + "/" + name);
}

}  // namespace

class FunctionWizardTest : public QObject {
  Q_OBJECT

 private slots:
  void analysesThePowerKeyFromCapturesThroughTheLearner() {
    GreeFixture f;
    ui::TfrmWizard wizard(f.record, f.lines, f.workbench.language, f.workbench.settings,
                          f.workbench.captures);
    wizard.SetTell(
        [&](QWidget*, const QString&, const QString& text) { f.prompts.messages.push_back(text); });
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    QVERIFY(f.workbench.captures.Occupied(device::CaptureConsumer::FunctionWizard));
    QCOMPARE(wizard.KeyTabs()->count(), 6);
    QCOMPARE(wizard.KeyTabs()->currentIndex(), 0);
    // No codes, no runs: neither the run chooser nor its caption is shown.
    QVERIFY(!wizard.Grid()->RunChooser()->isVisible());
    QVERIFY(!wizard.findChild<QLabel*>("lblRun")->isVisible());

    // Captures in: the power key off, then on.
    SimulatedLearner learner(f.workbench.captures);
    QVERIFY(learner.Press(CaptureNamed("Off")));
    QVERIFY(learner.Press(CaptureNamed("Power_on")));
    QCoreApplication::processEvents();
    const analysis::CompareGridModel& grid = wizard.Logic().Grid();
    QCOMPARE(grid.LineCount(), 2);
    QCOMPARE(wizard.Grid()->Geometry().rows, 3);  // the rows and one empty row
    QCOMPARE(grid.CellText(0, 0).substr(0, 8), std::string("00100110"));
    QCOMPARE(grid.CellText(1, 0).substr(0, 8), std::string("00110110"));
    // Bit 3 (power) and bit 22 differ; the checksum nibble that differs too is
    // a checksum target and no function field.
    const analysis::TSameInfoResultArr runs = grid.GetDifferences(2);
    QCOMPARE(runs.size(), std::size_t{2});
    QCOMPARE(runs[0].Bit, 3);
    QCOMPARE(runs[1].Bit, 22);
    QCOMPARE(grid.LettersOf(1, 31).first, analysis::kChecksumLetter);

    // Auto extraction: two columns, state 0 from the first row, state 1 from the second.
    QTest::mouseClick(wizard.findChild<QPushButton*>("btnAutoExtract"), Qt::LeftButton);
    ui::DataGrid* states = wizard.StatesTable();
    const QStringList z1{Cell(states, 2, 1), Cell(states, 2, 2), Cell(states, 2, 3),
                         Cell(states, 2, 4), Cell(states, 2, 5), Cell(states, 2, 6)};
    QCOMPARE(z1, (QStringList{"0", "3", "1", "public", "0", "1"}));
    QCOMPARE(Cell(states, 3, 2), QString("22"));
    QCOMPARE(Cell(states, 3, 6), QString("1"));
    QCOMPARE(states->Heading(2), QString("Z1"));
    QCOMPARE(int{f.record.Keys[0].Columns[0].BitPos}, 3);
    QCOMPARE(grid.LettersOf(0, 3).first, 'P');

    SaveScreenshot(wizard, "function_wizard_power_key.png");

    // Simulation: the power key's next state (on) sent by the firmware built
    // from the record as it is now: its fields hold the state's values and its
    // checksum computes.
    QTest::mouseClick(wizard.findChild<QPushButton*>("btnSimulate"), Qt::LeftButton);
    QCOMPARE(grid.LineCount(), 3);
    QCOMPARE(analysis::FunctionWizard::KeyStates()[0], 1);
    const std::string simulated = grid.CellText(2, 0);
    QCOMPARE(simulated[3], '1');
    QCOMPARE(simulated[22], '1');
    store::TGrdDataLine line;
    QVERIFY(grid.GetLine(2, line));
    const ir::TCrcItem& item = f.record.Slots[0].Crc.Items[0];
    QCOMPARE(ir::CrcCalculate(line.Data, item, line.Elements, true),
             ir::CrcReadTarget(line.Data, item, line.Elements, true));
    // The button keeps its name and shows the six key states beside it.
    const QString key_states = QString::fromStdString(wizard.Logic().SimulationCaption());
    QCOMPARE(key_states.size(), 6);
    QCOMPARE(wizard.findChild<QPushButton*>("btnSimulate")->text(),
             QString("Simulate (key states %1)").arg(key_states));

    // The rows are the key's code lines once the wizard closes.
    wizard.done(QDialog::Accepted);
    QVERIFY(!f.workbench.captures.Occupied(device::CaptureConsumer::FunctionWizard));
    QVERIFY(wizard.RecordChanged());
    QCOMPARE(f.lines[0].size(), std::size_t{3});
    QVERIFY(f.prompts.messages.empty());
  }

  void aFilledGridInEachMode() {
    GreeFixture f;
    ui::TfrmWizard wizard(f.record, f.lines, f.workbench.language, f.workbench.settings,
                          f.workbench.captures);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    wizard.KeyTabs()->setCurrentIndex(2);  // mode: three stored rows
    for (const auto& [name, capture] : CorpusCaptures(kGreeSource))
      f.workbench.captures.Route(capture.Durations, capture.Carrier);
    const ir::Capture cool = CaptureNamed("Cool");
    f.workbench.captures.Route(cool.Durations, cool.Carrier);  // pressed twice
    QCoreApplication::processEvents();
    QCOMPARE(wizard.Logic().Grid().LineCount(), 3 + 6 + 1);
    wizard.Grid()->SelectRow(4);
    QCOMPARE(wizard.Logic().SelectedRow(), 4);
    QVERIFY(wizard.Grid()->RunChooser()->isVisible());
    QVERIFY(wizard.findChild<QLabel*>("lblRun")->isVisible());
    QCOMPARE(wizard.Grid()->RunChooser()->count(), static_cast<int>(wizard.Logic().Grid().Runs().size()));
    SaveScreenshot(wizard, "function_wizard_filled.png");

    // Hexadecimal cells; the bits of the rows drawn by the grid itself.
    wizard.findChild<QAction*>("mnuHex")->trigger();
    QImage image(wizard.Grid()->viewport()->size(), QImage::Format_RGB32);
    QPainter painter(&image);
    wizard.Grid()->Render(painter, image.rect());
    painter.end();
    QVERIFY(wizard.Logic().Grid().HexMode());
    SaveScreenshot(wizard, "function_wizard_hex.png");
    wizard.findChild<QAction*>("mnuBinary")->trigger();

    // The grid's menu works on the rows: duplicates of the stored rows go.
    wizard.findChild<QAction*>("mnuRemoveDuplicates")->trigger();
    QVERIFY(wizard.Logic().Grid().LineCount() <= 9);
    QVERIFY(wizard.Logic().LinesChanged());

    // Clear all asks first; No keeps the rows.
    std::vector<QString> asked;
    bool answer = false;
    wizard.SetAsk([&](QWidget*, const QString& caption, const QString& text) {
      asked.push_back(caption + ": " + text);
      return answer;
    });
    const int rows = wizard.Logic().Grid().LineCount();
    QVERIFY(rows > 0);
    QTest::mouseClick(wizard.findChild<QPushButton*>("btnClearAll"), Qt::LeftButton);
    QCOMPARE(asked, std::vector<QString>{"Question: Remove every row of the grid?"});
    QCOMPARE(wizard.Logic().Grid().LineCount(), rows);
    QVERIFY(wizard.findChild<QPushButton*>("btnClose")->isVisible());

    // A remote without display shows its own panel.
    wizard.findChild<QRadioButton*>("rbWithoutDisplay")->click();
    QCOMPARE(f.record.RemoteType, analysis::kRemoteWithoutDisplay);
    QVERIFY(wizard.NoDisplayTable()->isVisible());
    QCOMPARE(wizard.NoDisplayTable()->Rows(), 7);
    // The format has 67 bits: nine code bytes, the last one shown too.
    QCOMPARE(wizard.NoDisplayTable()->Columns(), 1 + 9);
    QCOMPARE(wizard.NoDisplayTable()->Cell(10, 1),
             QString::fromStdString(wizard.Logic().NoDisplayBytes(0).at(8)));
    SaveScreenshot(wizard, "function_wizard_no_display.png");
    wizard.reject();
  }

  void showsItsTextsInChinese() {
    GreeFixture f;
    f.workbench.language.SetLanguageNo(2);
    ui::TfrmWizard wizard(f.record, f.lines, f.workbench.language, f.workbench.settings,
                          f.workbench.captures);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    wizard.KeyTabs()->setCurrentIndex(1);
    for (const auto& [name, capture] : CorpusCaptures(kGreeSource))
      f.workbench.captures.Route(capture.Durations, capture.Carrier);
    QCoreApplication::processEvents();
    QCOMPARE(wizard.findChild<QPushButton*>("btnAutoExtract")->text(), QString("自动提取"));
    QVERIFY(wizard.windowTitle().endsWith("[0101]"));
    SaveScreenshot(wizard, "function_wizard_chinese.png");
    wizard.reject();
  }

  void theStatesTableTakesTypedValues() {
    GreeFixture f;
    ui::TfrmWizard wizard(f.record, f.lines, f.workbench.language, f.workbench.settings,
                          f.workbench.captures);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    wizard.KeyTabs()->setCurrentIndex(1);  // temperature: a 4-bit field at bit 8
    ui::DataGrid* states = wizard.StatesTable();
    QCOMPARE(Cell(states, 2, 2), QString("8"));
    states->item(4 + 2, 1)->setText("1f");  // state 2 of column Z1
    QTRY_COMPARE(int{f.record.Keys[1].Columns[0].Values[2]}, 0x1F);
    QTRY_COMPARE(Cell(states, 2, 7), QString("1F"));
    states->item(4 + 3, 1)->setText("nonsense");
    QTRY_COMPARE(Cell(states, 2, 8), QString("3"));  // refused: the old value is shown again
    QVERIFY(wizard.Logic().RecordChanged());
    wizard.reject();
  }

  void theNoDisplayTablesMenuDeletesTheColumnUnderTheStatesTablesCursor() {
    GreeFixture f;
    // The temperature key gets a second column, Z2, beside its field at bit 8.
    f.record.Keys[1].Columns[1] = f.record.Keys[1].Columns[0];
    f.record.Keys[1].Columns[1].BitPos = 20;
    ui::TfrmWizard wizard(f.record, f.lines, f.workbench.language, f.workbench.settings,
                          f.workbench.captures);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    wizard.KeyTabs()->setCurrentIndex(1);
    wizard.StatesTable()->setCurrentCell(1, 2);  // column Z2
    wizard.findChild<QRadioButton*>("rbWithoutDisplay")->click();
    QVERIFY(wizard.NoDisplayTable()->isVisible());

    QCOMPARE(wizard.NoDisplayTable()->contextMenuPolicy(), Qt::ActionsContextMenu);
    QAction* delete_column = nullptr;
    for (QAction* action : wizard.NoDisplayTable()->actions())
      if (action->objectName() == "mnuDeleteColumn") delete_column = action;  // the states table's item
    QVERIFY(delete_column != nullptr);
    delete_column->trigger();
    QCOMPARE(int{f.record.Keys[1].Columns[1].Frame}, 255);
    QVERIFY(f.record.Keys[1].Columns[0].InUse());
    QVERIFY(wizard.Logic().RecordChanged());
    wizard.reject();
  }

  void assistantAnalyserOpensTheWizardOverTheCurrentRecord() {
    testing::MainWindowFixture f;
    auto* library = f.Library();
    for (int row = 1; row <= library->Rows(); ++row)
      if (library->Cell(5, row).toInt() == kGreeIndex) library->SetCurrentRow(row);
    QCOMPARE(f.window.CurrentIndex(), kGreeIndex);
    QVERIFY(f.window.Feed() != nullptr && f.window.Feed()->Listening());
    auto* summary = f.window.findChild<QPlainTextEdit*>("memoSummary");
    bool ran = false;
    f.prompts.dialogs.push_back([&](QDialog& dialog) {
      auto* wizard = qobject_cast<ui::TfrmWizard*>(&dialog);
      if (wizard == nullptr) return static_cast<int>(QDialog::Rejected);
      wizard->show();
      QCoreApplication::processEvents();
      [&] {
        QVERIFY(f.workbench.captures.Occupied(device::CaptureConsumer::FunctionWizard));
        wizard->KeyTabs()->setCurrentIndex(2);
        const ir::Capture cool = CaptureNamed("Cool");
        f.workbench.captures.Route(cool.Durations, cool.Carrier);
        const int last = wizard->Logic().Grid().LineCount() - 1;
        wizard->Grid()->SelectRow(last);
        store::TGrdDataLine line;
        QVERIFY(wizard->Logic().Grid().GetLine(last, line));
        ir::TSSByteArray bytes;
        QVERIFY(ir::BitsToBytes(line.Elements, line.Data, true, bytes));
        QString code;
        for (std::uint8_t b : bytes) code += QString("%1 ").arg(b, 2, 16, QChar('0')).toUpper();
        QVERIFY(!summary->toPlainText().contains(code));
        QTest::mouseClick(wizard->findChild<QPushButton*>("btnSetInitial"), Qt::LeftButton);
        QCoreApplication::processEvents();  // the summary follows the stored code at once
        QVERIFY2(summary->toPlainText().contains(code), qPrintable(code));
        ran = true;
      }();
      wizard->accept();
      return static_cast<int>(QDialog::Accepted);
    });
    f.window.findChild<QAction*>("actAutoWizard")->trigger();
    QVERIFY(ran);
    QVERIFY(!f.workbench.captures.Occupied(device::CaptureConsumer::FunctionWizard));
    QVERIFY(f.window.RecordModified());
    // The mode key's rows are its code lines now: the wizard opened again shows them.
    int rows_again = 0;
    f.prompts.dialogs.push_back([&](QDialog& dialog) {
      auto* wizard = qobject_cast<ui::TfrmWizard*>(&dialog);
      wizard->show();
      QCoreApplication::processEvents();
      wizard->KeyTabs()->setCurrentIndex(2);
      rows_again = wizard->Logic().Grid().LineCount();
      wizard->reject();
      return static_cast<int>(QDialog::Rejected);
    });
    f.window.findChild<QAction*>("actAutoWizard")->trigger();
    QCOMPARE(rows_again, 3 + 1);
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::FunctionWizardTest)
#include "function_wizard_test.moc"
