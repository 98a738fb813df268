// The learner in the main window: the device manager prepared at window
// creation, listening one second after the window appears, captures routed to
// the open consumer or dropped, the near/far buttons and the status bar in
// step with the device, and the learn mode around the format chooser.
#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include "record_workflow_support.h"
#include "ui/dialogs/format_chooser_dialog.h"
#include "ui/dialogs/wait_message.h"

namespace klimavo::app {

using testing::WaitFor;
using testing::WorkbenchFixture;

class CaptureRoutingTest : public QObject {
  Q_OBJECT

 private:
  static QAction* Button(WorkbenchFixture& f, const char* name) {
    return f.window->findChild<QAction*>(name);
  }
  static QString DeviceState(WorkbenchFixture& f) {
    return f.window->findChild<QLabel*>("lblStatusDevice")->text();
  }

 private slots:
  void theDeviceManagerIsPreparedAndListensAfterOneSecond() {
    WorkbenchFixture f;
    device::TMyHIDUSBMange& manager = f.device->Manager();
    QVERIFY(manager.Connected());
    QCOMPARE(manager.LearnMode(), 1);
    QCOMPARE(manager.TrimTime(), 180);
    QVERIFY(!manager.Listening());
    QVERIFY(f.window->ListenTimer()->isActive());
    QCOMPARE(f.window->ListenTimer()->interval(), 1000);
    QVERIFY(WaitFor([&] { return manager.Listening(); }, 3000));
    QVERIFY(!f.window->ListenTimer()->isActive());
    // The learner found at start shows at once: its name, both buttons usable (model 7 has long range).
    QCOMPARE(DeviceState(f), QString("KLV-L07"));
    QVERIFY(Button(f, "btnNearCapture")->isEnabled());
    QVERIFY(Button(f, "btnFarCapture")->isEnabled());
    QVERIFY(Button(f, "actSimulatedKey")->isVisible());
  }

  void withoutALearnerTheButtonsWaitForTheDevice() {
    WorkbenchFixture f(true, false);
    QCOMPARE(DeviceState(f), f.Text(79));
    QVERIFY(!Button(f, "btnNearCapture")->isEnabled());
    QVERIFY(!Button(f, "btnFarCapture")->isEnabled());
    QVERIFY(!Button(f, "actSimulatedKey")->isVisible());
  }

  void unpluggingAndPluggingFollowTheDevice() {
    WorkbenchFixture f;
    f.device->SimulatedLearner()->Unplug();
    QVERIFY(WaitFor([&] { return DeviceState(f) == f.Text(79); }));
    QVERIFY(!Button(f, "btnNearCapture")->isEnabled());
    QVERIFY(!Button(f, "btnFarCapture")->isEnabled());
    f.device->SimulatedLearner()->Plug();
    QVERIFY(WaitFor([&] { return DeviceState(f) == "KLV-L07"; }));
    QVERIFY(Button(f, "btnNearCapture")->isEnabled());
  }

  void aCaptureWithoutAConsumerIsDroppedQuietly() {
    WorkbenchFixture f;
    QVERIFY(WaitFor([&] { return f.device->Manager().Listening(); }, 3000));
    f.window->SimulatedKeyCommand();
    QVERIFY(WaitFor([&] {
      return f.device->SimulatedLearner()->PendingPackets() == 0 &&
             !f.device->Manager().CaptureDurations().empty();
    }));
    QVERIFY(f.prompts.messages.empty());
    // The status bar says that no window took it.
    const QLabel* press_field = f.window->findChild<QLabel*>("lblStatusPress");
    QVERIFY2(press_field->text().endsWith(f.Text(271)), qPrintable(press_field->text()));
    // The packet was decoded under the wait message, which is gone again.
    QVERIFY(ui::WaitMessageWindow() != nullptr);
    QCOMPARE(ui::WaitMessageWindow()->Text(), QString("Waiting..."));
    QVERIFY(!ui::WaitMessageWindow()->isVisible());
    QCOMPARE(ui::WaitMessageWindow()->windowTitle(), QString("Infomation"));
    f.window->ChangeLanguage(1);
    ui::ShowWaitMessage(f.Text(27));
    QCOMPARE(ui::WaitMessageWindow()->windowTitle(), QString("提示"));
    QVERIFY(ui::WaitMessageWindow()->isVisible());
    QVERIFY(ui::WaitMessageWindow()->grab().save(testing::ScreenshotDir() + "/wait-message.png"));
    ui::HideWaitMessage();
    QVERIFY(!ui::WaitMessageWindow()->isVisible());
  }

  void theFarButtonSwitchesTheRangeAndTheChooserBorrowsCloseRange() {
    WorkbenchFixture f;
    device::TMyHIDUSBMange& manager = f.device->Manager();
    Button(f, "btnFarCapture")->trigger();
    QCOMPARE(manager.LearnMode(), 2);
    QVERIFY(manager.Listening());
    QVERIFY(Button(f, "btnFarCapture")->isChecked());
    int mode_inside = 0;
    f.prompts.dialogs.push_back([&](QDialog&) {
      mode_inside = manager.LearnMode();
      return int(QDialog::Rejected);
    });
    f.window->ModifyFormat();
    QCOMPARE(mode_inside, 1);
    QCOMPARE(manager.LearnMode(), 2);
    QVERIFY(Button(f, "btnFarCapture")->isChecked());

    // A learn mode changed behind the buttons' back is shown after the next dialog.
    manager.SetLearnMode(1);
    f.window->ModifyFormat();
    QVERIFY(Button(f, "btnNearCapture")->isChecked());
  }

  void aSimulatedPressLongerThanThePacketSaysItWasCut() {
    testing::TestHome home(true);
    app::Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    app::DeviceSessionOptions options = testing::FastSimulatedLearner();
    options.simulated.exact_captures = false;  // --simulate-packets
    // A short press, then one of 300 bits: more levels than a table packet carries.
    capture::CaptureRead long_press = options.captures.front();
    long_press.durations = {9000, -4500};
    for (int bit = 0; bit < 300; ++bit) long_press.durations.insert(long_press.durations.end(), {560, -1690});
    long_press.durations.push_back(560);
    options.captures = {options.captures.front(), long_press};
    app::DeviceSession device(options);
    workbench.device = &device;
    TfrmAirEditor window(workbench, prompts);
    window.show();
    QCoreApplication::processEvents();
    const QString cut =
        QString::fromStdString(base::GbkToUtf8(workbench.language.Text(257))).arg(603).arg(511);
    const QLabel* press_field = window.findChild<QLabel*>("lblStatusPress");
    window.SimulatedKeyCommand();
    QVERIFY(!press_field->text().contains(cut));
    window.SimulatedKeyCommand();
    QVERIFY2(press_field->text().endsWith(cut), qPrintable(press_field->text()));
  }

  void theChecksumAssistantGivesTheRangeBackHoweverItCloses() {
    WorkbenchFixture f;
    device::TMyHIDUSBMange& manager = f.device->Manager();
    QCOMPARE(manager.LearnMode(), 1);
    for (bool escape : {true, false}) {
      int mode_inside = 0;
      f.prompts.dialogs.push_back([&](QDialog& dialog) {
        dialog.show();
        QCoreApplication::processEvents();
        mode_inside = manager.LearnMode();
        if (escape)
          QTest::keyClick(&dialog, Qt::Key_Escape);
        else
          dialog.accept();
        return dialog.result();
      });
      f.window->ChecksumAssistantCommand();
      QCOMPARE(mode_inside, 2);  // it listens at long range while open
      QCOMPARE(manager.LearnMode(), 1);
      QVERIFY(Button(f, "btnNearCapture")->isChecked());
    }
  }

  void filterByLearningAnnouncesItsChooserAndEveryDecode() {
    WorkbenchFixture f;
    int decodes = 0;
    ui::TfrmGeShiSelect* announced = nullptr;
    connect(f.window.get(), &TfrmAirEditor::LearnFilterChooserOpened, this,
            [&](ui::TfrmGeShiSelect* chooser) {
              announced = chooser;
              connect(chooser, &ui::TfrmGeShiSelect::FilterDecoded, this, [&] { ++decodes; });
            });
    bool seen = false;
    f.prompts.dialogs.push_back([&](QDialog& dialog) {
      auto& chooser = dynamic_cast<ui::TfrmGeShiSelect&>(dialog);
      chooser.show();
      seen = announced == &chooser && !chooser.NextButton()->isVisible() && chooser.Model().BothOrders() &&
             chooser.windowTitle() == f.Text(41);
      QTest::keyClick(&chooser, kSimulatedKeyShortcut);
      WaitFor([&] { return decodes == 1; });
      return int(QDialog::Rejected);
    });
    const store::TdiskAir before = f.window->CurrentRecord();
    f.window->FilterByLearning();
    QVERIFY(seen);
    QCOMPARE(decodes, 1);
    QVERIFY(f.window->CurrentRecord() == before);
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::CaptureRoutingTest)
#include "capture_routing_test.moc"
