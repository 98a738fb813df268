// The Learn remote window: labelled captures from a file and from the capture
// path show up as presses with their check, the label field follows the press
// plan, and Tools > Learn remote stores the learned record in the library.
#include <QAction>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <fstream>
#include <nlohmann/json.hpp>

#include "analysis/learn_report.h"
#include "main_window_fixture.h"
#include "ui/dialogs/learn_remote_dialog.h"

namespace klimavo::app {
namespace {

const QString kPresses = QString(KLIMAVO_SOURCE_DIR) + "/tests/golden/learn_json/captures.jsonl";

// The first press of the file, in 0.1 µs.
ir::TIRIntegerArr FirstPressTicks() {
  std::ifstream in(kPresses.toStdString());
  std::string line;
  std::getline(in, line);
  ir::TIRIntegerArr ticks;
  const nlohmann::json press = nlohmann::json::parse(line);
  for (int d : press["durations_us"]) ticks.push_back(d * 10);
  return ticks;
}

}  // namespace

class LearnRemoteTest : public QObject {
  Q_OBJECT

 private slots:
  void presses_arrive_and_the_label_follows_the_plan() {
    ui::TfrmLearnRemote dialog(0.21, {});
    QVERIFY(!dialog.AddButton()->isEnabled());
    QVERIFY(dialog.AddFile(kPresses));
    // 24 labelled presses and one without a label.
    QCOMPARE(dialog.Presses()->rowCount(), 25);
    QCOMPARE(dialog.Presses()->item(0, 2)->text(), QString("equal"));
    QVERIFY(dialog.AddButton()->isEnabled());
    const analysis::LearnResult& result = dialog.Session().Result();
    QVERIFY(!result.plan.empty());
    QCOMPARE(dialog.LabelText(), QString::fromStdString(analysis::LabelText(result.plan.front().label)));
    QVERIFY(dialog.HintText().startsWith("Press next:"));
    QVERIFY(dialog.ReportText().contains("function temp (key 1)"));

    // A press arriving takes the label in the field, typed or planned.
    dialog.show();
    auto* label = dialog.findChild<QLineEdit*>("edtLabel");
    label->clear();
    QTest::keyClicks(label, "power=on mode=cool fan=low temp=16 swing=off");
    dialog.CaptureReceived(FirstPressTicks(), 38000);
    QCOMPARE(dialog.Session().Presses(), 26);
    QCOMPARE(dialog.Presses()->rowCount(), 26);
    QCOMPARE(dialog.Presses()->item(24, 1)->text(), QString("power=on mode=cool fan=low temp=16 swing=off"));
    QCOMPARE(dialog.Presses()->item(24, 2)->text(), QString("equal"));
    QVERIFY(dialog.grab().save(testing::ScreenshotDir() + "/learn-remote.png"));

    QVERIFY(!dialog.AddFile("no-such-file.jsonl"));
    QVERIFY(dialog.HintText().contains("no-such-file.jsonl"));
  }

  void learn_remote_stores_the_record() {
    testing::MainWindowFixture f(false);
    QAction* learn = f.Action("actLearnRemote");
    QVERIFY(learn != nullptr);
    f.prompts.dialogs.push_back([](QDialog& dialog) {
      auto& learner = dynamic_cast<ui::TfrmLearnRemote&>(dialog);
      learner.AddFile(kPresses);
      return int(QDialog::Accepted);
    });
    learn->trigger();
    QCOMPARE(f.workbench.library.Size(), 1);
    const store::TdiskAir& stored = f.workbench.library.Records()[0].Record;
    QCOMPARE(int(stored.KeyCount), 6);
    QCOMPARE(QString::fromStdString(stored.CodeNo.str()), QString("0001"));
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::LearnRemoteTest)
#include "learn_remote_test.moc"
