// The Learn remote window: labelled captures from a file and from the capture
// path show up as presses with their check, the label field follows the press
// plan, and Tools > Learn remote stores the learned record in the library.
#include <QAction>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "analysis/learn_report.h"
#include "capture/capture_format.h"
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
    testing::TestHome home(true);
    lang::Language language(home.path(), 1);
    ui::TfrmLearnRemote dialog(language, 0.21, {});
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

  void the_whole_table_is_offered_for_export() {
    testing::TestHome home(true);
    lang::Language language(home.path(), 1);
    ui::TfrmLearnRemote dialog(language, 0.21, {});
    const QString folder = QString::fromStdString(home.path().string());
    QVERIFY(!dialog.ExportButton()->isEnabled());
    QVERIFY(!dialog.ExportTable(folder + "/early.jsonl", "jsonl"));
    QVERIFY(!std::filesystem::exists(home.path() / "early.jsonl"));
    QVERIFY(dialog.AddFile(kPresses));
    QVERIFY(dialog.ExportButton()->isEnabled());
    const struct {
      const char* format;
      const char* file;
      const char* first_line_part;
    } cases[] = {
        {"jsonl", "table.jsonl", R"({"name": "off", "label": {"power": "off"}, "basis": "pressed", )"},
        {"climate-json", "table.json", R"("commands": {)"},
        {"flipper", "table.ir", "Filetype: IR signals file"},
    };
    for (const auto& c : cases) {
      const QString path = folder + "/" + c.file;
      QVERIFY2(dialog.ExportTable(path, c.format), qPrintable(dialog.HintText()));
      QVERIFY2(dialog.HintText().startsWith("Table written: ") && dialog.HintText().endsWith(c.file),
               qPrintable(dialog.HintText()));
      std::ifstream in(path.toStdString());
      const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
      QVERIFY2(text.find(c.first_line_part) != std::string::npos, c.format);
      const capture::ReadResult back = capture::ReadCaptureFile(path.toStdString(), capture::ReadOptions{});
      QVERIFY2(back.ok(), c.format);
      QVERIFY2(back.captures.size() > 24, c.format);
    }
    QVERIFY(!dialog.ExportTable(folder + "/no/such/folder/t.jsonl", "jsonl"));
    QVERIFY2(dialog.HintText().startsWith("The table could not be written: "), qPrintable(dialog.HintText()));
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
