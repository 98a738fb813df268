// The checksum analysis wizard as an engineer uses it, with the simulated
// learner: the Mitsubishi sample record (0102, library index 1), whose codes
// come from data/corpus/ac-raw-captures.jsonl, source
// ACs/Mitsubishi/Mitsubishi_MSH_GA71VB.ir. Its checksum (byte 13, the sum of
// bytes 0..12) is cleared first: captures in, "Find checksum", every row green;
// a capture with a bit flipped in transit stays red. Then the tables, and the
// main window's "Checksum assistant" around the wizard.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QLocalSocket>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <cstdlib>
#include <random>

#include "analysis/checksum_discovery/checksum_discovery_report.h"
#include "analysis/wizard_fixtures.h"
#include "app/main_window.h"
#include "app/pulse_feed.h"
#include "gui_test_support.h"
#include "learner_support.h"
#include "main_window_fixture.h"
#include "ui/dialogs/checksum_wizard_dialog.h"
#include "ui/ui_text.h"
#include "ui/widgets/compare_grid_widget.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::app {
namespace {

constexpr int kMitsubishiIndex = 1;
constexpr const char* kMitsubishiSource = "ACs/Mitsubishi/Mitsubishi_MSH_GA71VB.ir";

// A record whose checksums are still to be found.
struct MitsubishiFixture {
  MitsubishiFixture() : workbench(home.path()) {
    store::TBtnLines lines;
    workbench.library.FetchRecord(kMitsubishiIndex, record, lines);
    record.HasChecksum = 0;
    for (store::TdiskFormatSlot& slot : record.Slots) slot.Crc = ir::TCrcBlock{};
  }
  testing::TestHome home{true};
  Workbench workbench;
  store::TdiskAir record;
  testing::ScriptedPrompts prompts;
};

// The capture with data bit `bit` flipped, as a disturbed transmission would
// bring it: the bit's space takes the length of a space of the other value.
ir::Capture FlipBit(ir::Capture capture, int bit) {
  const auto space = [](int b) { return static_cast<std::size_t>(3 + 2 * b); };  // after the leader
  std::int32_t& own = capture.Durations[space(bit)];
  for (int other = 0; other < 100; ++other) {
    const std::int32_t candidate = capture.Durations[space(other)];
    if (std::abs(candidate) > 2 * std::abs(own) || 2 * std::abs(candidate) < std::abs(own)) {
      own = candidate;
      break;
    }
  }
  return capture;
}

int GreenRows(const analysis::CompareGridModel& grid) {
  int green = 0;
  for (int row = 0; row < grid.LineCount(); ++row) green += grid.ChecksumOf(row, 0).Matches() ? 1 : 0;
  return green;
}

void SaveScreenshot(QWidget& window, const QString& name) {
  window.grab().save(testing::ScreenshotDir() + "/" + name);
}

}  // namespace

class ChecksumWizardTest : public QObject {
  Q_OBJECT

 private slots:
  void findsTheChecksumOfCapturesThroughTheLearner() {
    MitsubishiFixture f;
    ui::TfrmChechWizard wizard(f.record, f.workbench.language, f.workbench.settings, f.workbench.captures);
    wizard.SetTell(
        [&](QWidget*, const QString&, const QString& text) { f.prompts.messages.push_back(text); });
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    QVERIFY(f.workbench.captures.Occupied(device::CaptureConsumer::ChecksumWizard));
    auto* formats = wizard.findChild<QComboBox*>("cmbFormat");
    QCOMPARE(formats->count(), 1);
    QCOMPARE(formats->currentText(), QString("<0>[112]<1>"));
    QVERIFY(!formats->isEnabled());  // no checksums yet
    QCOMPARE(wizard.ItemsTable()->Rows(), 0);

    // Captures in: every key of the remote once.
    testing::SimulatedLearner learner(f.workbench.captures);
    const auto captures = testing::CorpusCaptures(kMitsubishiSource);
    QCOMPARE(captures.size(), std::size_t{6});
    for (const auto& [name, capture] : captures) QVERIFY2(learner.Press(capture), name.c_str());
    QCoreApplication::processEvents();
    const analysis::CompareGridModel& grid = wizard.Logic().Grid();
    QCOMPARE(grid.LineCount(), 6);
    QVERIFY(!grid.ShowsChecksums());
    QCOMPARE(wizard.findChild<QLabel*>("lblFormat")->text(), QString("<0>[112]<1>"));

    // Find checksum: the sum of bytes 0..12 in byte 13, and every row green.
    QTest::mouseClick(wizard.findChild<QPushButton*>("btnFind"), Qt::LeftButton);
    const ir::TCrcItem& item = f.record.Slots[0].Crc.Items[0];
    QCOMPARE(int{item.TargetFrame}, 0);
    QCOMPARE(int{item.TargetBit}, 104);
    QCOMPARE(int{item.TargetWidth}, 8);
    QCOMPARE(int{item.Kind}, 0);
    QCOMPARE(int{item.ZoneCount}, 1);
    QCOMPARE(item.Zones[0], (ir::TCrcZone{0, 0, 0, 103}));
    QCOMPARE(int{f.record.HasChecksum}, 1);
    QVERIFY(wizard.findChild<QCheckBox*>("chkHadCrc")->isChecked());
    QVERIFY(wizard.findChild<QCheckBox*>("chkGShad")->isChecked());
    QVERIFY(grid.ShowsChecksums());
    QCOMPARE(GreenRows(grid), 6);
    QVERIFY(wizard.Candidates()->count() >= 1);
    QVERIFY(wizard.Candidates()->item(0)->text().startsWith("[0, 104, 8]"));
    QVERIFY(!wizard.findChild<QLabel*>("lblNote")->text().isEmpty());
    QCOMPARE(wizard.ItemsTable()->Rows(), 1);
    QCOMPARE(wizard.ItemsTable()->Cell(2, 1), QString("104"));
    QCOMPARE(wizard.ZonesTable()->Cell(4, 1), QString("103"));

    // A code with a bit flipped in transit: its row stays red.
    QVERIFY(learner.Press(FlipBit(captures[3].second, 12)));
    QCoreApplication::processEvents();
    QCOMPARE(grid.LineCount(), 7);
    QCOMPARE(GreenRows(grid), 6);
    QVERIFY(!grid.ChecksumOf(6, 0).Matches());
    wizard.Grid()->SelectRow(0);
    SaveScreenshot(wizard, "checksum_wizard_green_and_red.png");

    // Changing the kind checks every row again: the exclusive or holds on none.
    auto* kind = wizard.ItemsTable()->findChild<QComboBox*>("cmbItem0_4");
    QVERIFY(kind != nullptr);
    kind->setCurrentIndex(6);
    emit kind->activated(6);
    QTRY_COMPARE(int{item.Kind}, 6);
    QVERIFY(GreenRows(grid) < 6);
    QVERIFY(wizard.Candidates()->count() >= 1);
    // A single click on the highlighted candidate puts it back into the item.
    QListWidget* candidates = wizard.Candidates();
    QCOMPARE(candidates->currentRow(), 0);
    QTest::mouseClick(candidates->viewport(), Qt::LeftButton, Qt::NoModifier,
                      candidates->visualItemRect(candidates->item(0)).center());
    QCOMPARE(int{item.Kind}, 0);
    QCOMPARE(GreenRows(grid), 6);
    // The arrow keys move the highlight and the item with it: the item is always the highlighted row.
    auto* kind_again = wizard.ItemsTable()->findChild<QComboBox*>("cmbItem0_4");  // the table was refilled
    QVERIFY(kind_again != nullptr);
    kind_again->setCurrentIndex(6);
    emit kind_again->activated(6);
    QTRY_COMPARE(int{item.Kind}, 6);
    candidates->setCurrentItem(nullptr);
    candidates->setFocus();
    QTest::keyClick(candidates, Qt::Key_Down);
    QCOMPARE(candidates->currentRow(), 0);
    const ir::TCrcItem& best = wizard.Logic().Discovery().candidates.at(0);
    QCOMPARE(item.Kind, best.Kind);
    QCOMPARE(item.Zones, best.Zones);
    QCOMPARE(GreenRows(grid), 6);

    wizard.done(QDialog::Accepted);
    QVERIFY(f.prompts.messages.empty());
    QVERIFY(wizard.RecordChanged());
  }

  // Codes whose byte 2 is 0 in every row: the search cannot tell whether the
  // sum takes it in, and the window lists the rivals beside the candidates. A
  // click on a rival puts it into the item and leaves only it highlighted.
  void listsTheRivalsAndPutsAChosenOneIntoTheItem() {
    testing::TestHome home{false};
    Workbench workbench(home.path());
    store::TdiskAir record = analysis::fixtures::NecRecord();
    ui::TfrmChechWizard wizard(record, workbench.language, workbench.settings, workbench.captures);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    QVERIFY(!wizard.Rivals()->isVisible());
    std::mt19937 random(5);
    for (int i = 0; i < 8; ++i) {
      const auto b0 = static_cast<std::uint8_t>(random());
      const auto b1 = static_cast<std::uint8_t>(random());
      workbench.captures.Route(analysis::fixtures::NecCapture(analysis::fixtures::BitsOf(
                                   "<0>[32]<1>", {b0, b1, 0, static_cast<std::uint8_t>(b0 + b1)})),
                               38000);
    }
    QCoreApplication::processEvents();
    QCOMPARE(wizard.Logic().Grid().LineCount(), 8);
    QTest::mouseClick(wizard.findChild<QPushButton*>("btnFind"), Qt::LeftButton);
    const analysis::ChecksumDiscovery& found = wizard.Logic().Discovery();
    QCOMPARE(found.note, analysis::DiscoveryNote::Ambiguous);
    QVERIFY(!found.rivals.empty());
    QListWidget* rivals = wizard.Rivals();
    QVERIFY(rivals->isVisible());
    QVERIFY(wizard.findChild<QLabel*>("lblRivals")->isVisible());
    QVERIFY(wizard.findChild<QLabel*>("lblRivals")
                ->text()
                .startsWith(QString::number(found.rivals.size()) + " "));
    QCOMPARE(rivals->count(), static_cast<int>(found.rivals.size()));
    for (int row = 0; row < rivals->count(); ++row) {
      const analysis::ChecksumRival& rival = found.rivals[static_cast<std::size_t>(row)];
      QCOMPARE(rivals->item(row)->text(),
               QString("as good as candidate %1:  ").arg(rival.candidate + 1) +
                   ui::FromGbk(analysis::CandidateSummary(rival.item, workbench.language)));
    }
    QCOMPARE(rivals->currentRow(), -1);
    QCOMPARE(wizard.Candidates()->currentRow(), 0);

    const int last = rivals->count() - 1;
    QTest::mouseClick(rivals->viewport(), Qt::LeftButton, Qt::NoModifier,
                      rivals->visualItemRect(rivals->item(last)).center());
    QVERIFY(record.Slots[0].Crc.Items[0] == found.rivals[static_cast<std::size_t>(last)].item);
    QCOMPARE(rivals->currentRow(), last);
    QCOMPARE(wizard.Candidates()->currentRow(), -1);
    QCOMPARE(GreenRows(wizard.Logic().Grid()), 8);

    QListWidget* candidates = wizard.Candidates();
    QTest::mouseClick(candidates->viewport(), Qt::LeftButton, Qt::NoModifier,
                      candidates->visualItemRect(candidates->item(0)).center());
    QVERIFY(record.Slots[0].Crc.Items[0] == found.candidates[0]);
    QCOMPARE(rivals->currentRow(), -1);

    // A search without rivals hides the list again.
    wizard.Logic().ClearRows();
    QTest::mouseClick(wizard.findChild<QPushButton*>("btnFind"), Qt::LeftButton);
    QVERIFY(!rivals->isVisible());
    QVERIFY(!wizard.findChild<QLabel*>("lblRivals")->isVisible());
    wizard.reject();
  }

  void theTablesTakeTypedValuesWithinTheirLimits() {
    MitsubishiFixture f;
    ui::TfrmChechWizard wizard(f.record, f.workbench.language, f.workbench.settings, f.workbench.captures);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    wizard.findChild<QCheckBox*>("chkHadCrc")->setChecked(true);
    QVERIFY(wizard.findChild<QComboBox*>("cmbFormat")->isEnabled());
    QVERIFY(!wizard.ItemsTable()->isEnabled());
    wizard.findChild<QCheckBox*>("chkGShad")->setChecked(true);
    QVERIFY(wizard.ItemsTable()->isEnabled());
    QCOMPARE(wizard.ItemsTable()->Rows(), 1);
    QCOMPARE(wizard.ZonesTable()->Rows(), 1);

    ui::DataGrid* items = wizard.ItemsTable();
    items->item(0, 2)->setText("-1");  // target width: a negative width stores 8
    QTRY_COMPARE(items->Cell(3, 1), QString("8"));
    items->item(0, 6)->setText("1f");  // the constant is hexadecimal
    QTRY_COMPARE(int{f.record.Slots[0].Crc.Items[0].Const}, 31);
    QTRY_COMPARE(items->Cell(7, 1), QString("1F"));
    items->item(0, 6)->setText("G");
    QTRY_COMPARE(items->Cell(7, 1), QString("1F"));  // refused: the stored value is shown again

    // The preset of the items table's menu: the last 8 bits of the last frame.
    wizard.findChild<QAction*>("mnuLast8")->trigger();
    const ir::TCrcItem& item = f.record.Slots[0].Crc.Items[0];
    QCOMPARE(int{item.TargetBit}, 104);
    QCOMPARE(item.Zones[0], (ir::TCrcZone{0, 0, 0, 103}));
    QCOMPARE(items->Cell(2, 1), QString("104"));
    QCOMPARE(wizard.ZonesTable()->Cell(4, 1), QString("103"));

    // Two items: the count combo, then the second item's zones.
    auto* count = wizard.findChild<QComboBox*>("cmbCount");
    count->setCurrentIndex(1);
    emit count->activated(1);
    QCOMPARE(items->Rows(), 2);
    items->SetCurrentRow(2);
    QCOMPARE(wizard.Logic().CurrentItem(), 1);
    wizard.ZonesTable()->item(0, 3)->setText("55");
    QTRY_COMPARE(int{f.record.Slots[0].Crc.Items[1].Zones[0].EndBit}, 55);

    // The record flag off: the tables go empty and cannot be edited.
    wizard.findChild<QCheckBox*>("chkHadCrc")->setChecked(false);
    QCOMPARE(items->Rows(), 0);
    QVERIFY(!items->isEnabled());
    QVERIFY(wizard.RecordChanged());
    SaveScreenshot(wizard, "checksum_wizard_tables.png");
    wizard.reject();
  }

  void showsItsTextsInChinese() {
    MitsubishiFixture f;
    f.workbench.language.SetLanguageNo(2);
    f.record.HasChecksum = 1;
    f.record.Slots[0].Crc.HasChecksum = 1;
    ui::TfrmChechWizard wizard(f.record, f.workbench.language, f.workbench.settings, f.workbench.captures);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    for (const auto& [name, capture] : testing::CorpusCaptures(kMitsubishiSource))
      f.workbench.captures.Route(capture.Durations, capture.Carrier);
    QCoreApplication::processEvents();
    QCOMPARE(wizard.windowTitle(), QString("空调红外遥控器校验辅助器"));
    QCOMPARE(wizard.findChild<QPushButton*>("btnFind")->text(), QString("查找校验"));
    QCOMPARE(wizard.ItemsTable()->Heading(5), QString("计算方式"));
    QTest::mouseClick(wizard.findChild<QPushButton*>("btnFind"), Qt::LeftButton);
    QCOMPARE(GreenRows(wizard.Logic().Grid()), 6);
    SaveScreenshot(wizard, "checksum_wizard_chinese.png");
    wizard.reject();
  }

  void trainsOfThePulseFeedBecomeRows() {
    MitsubishiFixture f;
    ui::TfrmChechWizard wizard(f.record, f.workbench.language, f.workbench.settings, f.workbench.captures);
    wizard.show();
    QVERIFY(QTest::qWaitForWindowExposed(&wizard));
    PulseFeed feed(f.workbench.captures);
    QVERIFY2(feed.Listen(f.home.path()), qPrintable(feed.ErrorText()));
    QLocalSocket client;
    client.connectToServer(feed.Name());
    QVERIFY(client.waitForConnected(2000));
    // One train a line, in µs as another program sends it.
    for (const auto& [name, capture] : testing::CorpusCaptures(kMitsubishiSource)) {
      QStringList micros;
      for (std::int32_t ticks : capture.Durations) micros << QString::number(ticks / 10);
      client.write("PULSES " + micros.join(' ').toLatin1() + "\n");
    }
    QVERIFY(client.waitForBytesWritten(2000));
    QTRY_COMPARE(wizard.Logic().Grid().LineCount(), 6);
    QTest::mouseClick(wizard.findChild<QPushButton*>("btnFind"), Qt::LeftButton);
    QCOMPARE(GreenRows(wizard.Logic().Grid()), 6);
    wizard.reject();
  }

  void checksumAssistantOpensTheWizardOverTheCurrentRecord() {
    testing::MainWindowFixture f;
    auto* library = f.Library();
    for (int row = 1; row <= library->Rows(); ++row)
      if (library->Cell(5, row).toInt() == kMitsubishiIndex) library->SetCurrentRow(row);
    QCOMPARE(f.window.CurrentIndex(), kMitsubishiIndex);
    bool ran = false;
    f.prompts.dialogs.push_back([&](QDialog& dialog) {
      auto* wizard = qobject_cast<ui::TfrmChechWizard*>(&dialog);
      if (wizard == nullptr) return static_cast<int>(QDialog::Rejected);
      wizard->show();
      QCoreApplication::processEvents();
      [&] {
        QVERIFY(f.workbench.captures.Occupied(device::CaptureConsumer::ChecksumWizard));
        // The sample record's checksum holds on its remote's codes.
        for (const auto& [name, capture] : testing::CorpusCaptures(kMitsubishiSource))
          f.workbench.captures.Route(capture.Durations, capture.Carrier);
        QCOMPARE(GreenRows(wizard->Logic().Grid()), 6);
        wizard->findChild<QAction*>("mnuLast4")->trigger();  // a change to the record
        ran = true;
      }();
      wizard->accept();
      return static_cast<int>(QDialog::Accepted);
    });
    f.window.findChild<QAction*>("actnChecked")->trigger();
    QVERIFY(ran);
    QVERIFY(!f.workbench.captures.Occupied(device::CaptureConsumer::ChecksumWizard));
    QVERIFY(f.window.RecordModified());
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::ChecksumWizardTest)
#include "checksum_wizard_test.moc"
