// Renders the windows of the workbench to PNG files in the build folder
// (screenshots/), so a reviewer can see them without a display.
#include <QTest>

#include "app/capture_viewer.h"
#include "app/main_window.h"
#include "capture/capture_format.h"
#include "gui_test_support.h"
#include "ui/dialogs/options_dialog.h"
#include "ui/waveview/wave_show.h"

namespace klimavo::app {

class ScreenshotsTest : public QObject {
  Q_OBJECT

 private slots:
  void mainWindowInBothLanguages() {
    testing::TestHome home(true);
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor window(workbench, prompts);
    window.show();
    QCoreApplication::processEvents();
    QVERIFY(window.grab().save(testing::ScreenshotDir() + "/main-window-en.png"));
    window.ChangeLanguage(1);
    QCoreApplication::processEvents();
    QVERIFY(window.grab().save(testing::ScreenshotDir() + "/main-window-zh.png"));
  }

  void optionsDialog() {
    testing::TestHome home(false);
    lang::Language language(home.path(), 1);
    ui::TFrmConfigure dialog(home.path() / "config.ini", language);
    dialog.show();
    QCoreApplication::processEvents();
    QVERIFY(dialog.grab().save(testing::ScreenshotDir() + "/options-dialog.png"));
  }

  void waveformInCaptureAndTreeMode() {
    const QString sample = QString(KLIMAVO_SOURCE_DIR) + "/data/samples/ac_remote.ir";
    capture::ReadOptions options;
    auto read = capture::ReadCaptureFile(sample.toStdString(), options);
    QVERIFY(read.ok());
    QVERIFY(!read.captures.empty());
    testing::TestHome home(false);
    lang::Language language(home.path(), 1);
    CaptureViewer viewer(read.captures, 0.21, language, sample);
    viewer.show();
    QCoreApplication::processEvents();
    QVERIFY(!viewer.CaptureView()->IsEmpty());
    QVERIFY(!viewer.TreeView()->IsEmpty());
    QVERIFY(viewer.grab().save(testing::ScreenshotDir() + "/capture-viewer.png"));
    QVERIFY(viewer.CaptureView()->grab().save(testing::ScreenshotDir() + "/waveform-capture.png"));
    QVERIFY(viewer.TreeView()->grab().save(testing::ScreenshotDir() + "/waveform-tree.png"));
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::ScreenshotsTest)
#include "screenshots_test.moc"
