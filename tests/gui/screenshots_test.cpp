// Renders the windows of the workbench to PNG files in the build folder
// (screenshots/), so a reviewer can see them without a display: the main
// window and the capture viewer in both languages at a large size and at
// their minimum size, the about box, the rename box, the checksum assistant
// listing the rivals of its candidates and the Learn remote window at its end
// (presses learned, the table exported).
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <random>

#include "analysis/wizard_fixtures.h"
#include "app/capture_viewer.h"
#include "app/main_window.h"
#include "base/gbk.h"
#include "capture/capture_format.h"
#include "gui_test_support.h"
#include "ir/synthetic_misses.h"
#include "ui/dialogs/about_dialog.h"
#include "ui/dialogs/checksum_wizard_dialog.h"
#include "ui/dialogs/format_chooser_dialog.h"
#include "ui/dialogs/learn_remote_dialog.h"
#include "ui/dialogs/options_dialog.h"
#include "ui/waveview/wave_show.h"

namespace klimavo::app {
namespace {

constexpr QSize kLargeSize(1600, 1000);

QString Shot(const QString& name) { return testing::ScreenshotDir() + "/" + name + ".png"; }

// Shows the window at a size (its minimum when the size is empty) and saves it.
bool SaveAt(QWidget& window, QSize size, const QString& name) {
  window.resize(size.isEmpty() ? window.minimumSize() : size);
  window.show();
  QCoreApplication::processEvents();
  return window.grab().save(Shot(name));
}

std::vector<capture::CaptureRead> SampleCaptures() {
  const QString sample = QString(KLIMAVO_SOURCE_DIR) + "/data/samples/ac_remote.ir";
  auto read = capture::ReadCaptureFile(sample.toStdString(), capture::ReadOptions{});
  return read.captures;
}

}  // namespace

class ScreenshotsTest : public QObject {
  Q_OBJECT

 private slots:
  void mainWindowInBothLanguagesLargeAndAtItsMinimum() {
    testing::TestHome home(true);
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor window(workbench, prompts);
    QVERIFY(SaveAt(window, {1047, 569}, "main-window-en"));
    QVERIFY(SaveAt(window, kLargeSize, "main-window-en-large"));
    QVERIFY(SaveAt(window, {}, "main-window-en-minimum"));
    window.ChangeLanguage(1);
    QVERIFY(SaveAt(window, {1047, 569}, "main-window-zh"));
    QVERIFY(SaveAt(window, kLargeSize, "main-window-zh-large"));
    QVERIFY(SaveAt(window, {}, "main-window-zh-minimum"));
  }

  void optionsDialog() {
    testing::TestHome home(false);
    lang::Language language(home.path(), 1);
    ui::TFrmConfigure dialog(home.path() / "config.ini", language);
    dialog.show();
    QCoreApplication::processEvents();
    QVERIFY(dialog.grab().save(Shot("options-dialog")));
  }

  // The format chooser after "Try harder" on a capture whose blind reading
  // took a stray lead-in pulse for a data bit.
  void formatChooserAfterTryHarder() {
    testing::TestHome home(false);
    lang::Language language(home.path(), 1);
    ui::TfrmGeShiSelect chooser(store::TdiskAir{}, 0.21, language, {});
    QVERIFY(!chooser.TryHarderButton()->isEnabled());
    chooser.show();
    chooser.CaptureArrived(ir::synthetic::ToTicks(ir::synthetic::StrayLeadIn({0x20, 0xDF, 0x10, 0xEF})),
                           38000);
    QVERIFY(chooser.TryHarderButton()->isEnabled());
    QVERIFY(!chooser.SummaryMemo()->toPlainText().contains("assist:"));
    QTest::mouseClick(chooser.TryHarderButton(), Qt::LeftButton);
    QCoreApplication::processEvents();
    QVERIFY(chooser.SummaryMemo()->toPlainText().contains("assist: lead-in of 1 pulse"));
    QCOMPARE(chooser.InfoLabel()->text(),
             QString("Read again: the changes and their reasons follow the summary."));
    QVERIFY(chooser.NextButton()->isEnabled());
    QVERIFY(chooser.grab().save(Shot("format-chooser-try-harder")));
  }

  // The checksum assistant when the codes leave rivals to the best candidate:
  // byte 2 is 0 in every code, so the sum may or may not take it in.
  void checksumAssistantWithRivalsInBothLanguages() {
    testing::TestHome home(false);
    for (int language_no : {1, 2}) {
      Workbench workbench(home.path());
      workbench.language.SetLanguageNo(language_no);
      store::TdiskAir record = analysis::fixtures::NecRecord();
      ui::TfrmChechWizard wizard(record, workbench.language, workbench.settings, workbench.captures);
      wizard.resize(1280, 800);
      wizard.show();
      QVERIFY(QTest::qWaitForWindowExposed(&wizard));
      std::mt19937 random(5);
      for (int i = 0; i < 8; ++i) {
        const auto b0 = static_cast<std::uint8_t>(random());
        const auto b1 = static_cast<std::uint8_t>(random());
        workbench.captures.Route(analysis::fixtures::NecCapture(analysis::fixtures::BitsOf(
                                     "<0>[32]<1>", {b0, b1, 0, static_cast<std::uint8_t>(b0 + b1)})),
                                 38000);
      }
      QCoreApplication::processEvents();
      QTest::mouseClick(wizard.findChild<QPushButton*>("btnFind"), Qt::LeftButton);
      QVERIFY(wizard.Rivals()->count() > 0);
      QVERIFY(wizard.Rivals()->isVisible());
      QCoreApplication::processEvents();
      QVERIFY(wizard.grab().save(Shot(language_no == 1 ? "checksum-rivals-en" : "checksum-rivals-zh")));
      wizard.reject();
    }
  }

  void aboutBoxInBothLanguages() {
    testing::TestHome home(false);
    for (int language_no : {1, 2}) {
      lang::Language language(home.path(), language_no);
      ui::AboutDialog about(home.path(), language);
      about.show();
      QCoreApplication::processEvents();
      QVERIFY(about.grab().save(Shot(language_no == 1 ? "about-en" : "about-zh")));
    }
  }

  void learnRemoteAtItsEndInBothLanguages() {
    testing::TestHome home(false);
    const QString presses = QString(KLIMAVO_SOURCE_DIR) + "/tests/golden/learn_json/captures.jsonl";
    for (int language_no : {1, 2}) {
      lang::Language language(home.path(), language_no);
      ui::TfrmLearnRemote dialog(language, 0.21, {});
      QVERIFY(dialog.AddFile(presses));
      QVERIFY(dialog.ExportTable(QString::fromStdString((home.path() / "table.jsonl").string()), "jsonl"));
      dialog.show();
      QCoreApplication::processEvents();
      QVERIFY(dialog.grab().save(Shot(language_no == 1 ? "learn-remote-en" : "learn-remote-zh")));
    }
  }

  void renameBoxInBothLanguages() {
    // The box is a standard input dialog: rendered with the caption and prompt the command asks with.
    testing::TestHome home(true);
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor window(workbench, prompts);
    window.show();
    QCoreApplication::processEvents();
    for (int tag : {0, 1}) {
      window.ChangeLanguage(tag);
      window.RenameKey();
      QVERIFY(!prompts.input_boxes.empty());
      QInputDialog box(&window);
      box.setWindowTitle(prompts.input_boxes.back().first);
      box.setLabelText(prompts.input_boxes.back().second);
      box.setTextValue(QString::fromStdString(base::GbkToUtf8(window.CurrentRecord().Keys[0].Name.str())));
      box.show();
      QCoreApplication::processEvents();
      QVERIFY(box.grab().save(Shot(tag == 0 ? "rename-box-en" : "rename-box-zh")));
    }
  }

  void captureViewerInBothLanguagesLargeAndAtItsMinimum() {
    const auto captures = SampleCaptures();
    QVERIFY(!captures.empty());
    testing::TestHome home(false);
    for (int language_no : {1, 2}) {
      lang::Language language(home.path(), language_no);
      CaptureViewer viewer(captures, 0.21, language, "ac_remote.ir");
      const QString suffix = language_no == 1 ? "en" : "zh";
      QVERIFY(SaveAt(viewer, {1047, 569}, "capture-viewer-" + suffix));
      QVERIFY(!viewer.CaptureView()->IsEmpty());
      QVERIFY(!viewer.TreeView()->IsEmpty());
      QVERIFY(SaveAt(viewer, kLargeSize, "capture-viewer-" + suffix + "-large"));
      QVERIFY(SaveAt(viewer, {}, "capture-viewer-" + suffix + "-minimum"));
      if (language_no == 1) {
        viewer.resize(1047, 569);
        QCoreApplication::processEvents();
        QVERIFY(viewer.CaptureView()->grab().save(Shot("waveform-capture")));
        QVERIFY(viewer.TreeView()->grab().save(Shot("waveform-tree")));
      }
    }
  }

  void captureViewerOverTheCorpus() {
    const std::string corpus = KLIMAVO_CORPUS_FILE;
    auto read = capture::ReadCaptureFile(corpus, capture::ReadOptions{corpus});
    QVERIFY(read.ok());
    testing::TestHome home(false);
    lang::Language language(home.path(), 1);
    CaptureViewer viewer(std::move(read.captures), 0.21, language, QString::fromStdString(corpus));
    viewer.findChild<QLineEdit*>("edtSearch")->setText("Gree");
    QVERIFY(SaveAt(viewer, {1047, 569}, "capture-viewer-corpus"));
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::ScreenshotsTest)
#include "screenshots_test.moc"
