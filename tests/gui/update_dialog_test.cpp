// The update dialog over a local server: progress while a file downloads, the
// outcome and the button's caption at the end, "&Abort" in the middle of a
// download copying nothing, and no server set. Screenshots mid-download and
// finished, in English and Chinese.
#include "ui/dialogs/update_dialog.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <fstream>

#include "base/gbk.h"
#include "gui_test_support.h"
#include "store/library.h"
#include "ui/qt_dispatcher.h"
#include "update/test_http_server.h"
#include "update/update_outcome.h"

namespace klimavo::ui {
namespace {

using klimavo::testing::Route;
using klimavo::testing::TestHttpServer;
using namespace std::chrono_literals;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

QString LangText(const lang::Language& language, int number) {
  return QString::fromStdString(base::GbkToUtf8(language.Text(number)));
}

update::ServerSettings Server(const std::string& url) {
  update::ServerSettings server;
  server.base_url = url;
  server.read_timeout = 2s;
  return server;
}

}  // namespace

class UpdateDialogTest : public QObject {
  Q_OBJECT

 private:
  // Publishes a changed library that arrives slowly, so the dialog can be seen mid-download.
  static void PublishSlowLibrary(TestHttpServer& server, const std::string& library) {
    server.Serve("/upld/ac/v2/up.txt",
                 "softid=1\r\nfilecount=1\r\nfilename0=acprotocl.dat\r\nfiledate0=2099-01-01\r\n");
    server.Set("/upld/ac/v2/acprotocl.dat",
               Route{library, Route::Mode::kTrickle, true, 0, library.size() / 40, 25ms});
  }

  void DownloadAndScreenshot(int language_no, const QString& suffix) {
    TestHttpServer server;
    testing::TestHome home(true);
    const std::filesystem::path library_file = home.path() / "data/acprotocl.dat";
    const std::string old_library = ReadFile(library_file);
    // A library that loads (an update installs nothing else): one record more.
    store::TdiskAirList records;
    QVERIFY(store::ParseLibraryBytes(
        std::span(reinterpret_cast<const std::uint8_t*>(old_library.data()), old_library.size()), records));
    records.push_back(records.front());
    const base::Bytes bytes = store::LibraryFileBytes(records, 1);
    const std::string new_library(bytes.begin(), bytes.end());
    PublishSlowLibrary(server, new_library);
    lang::Language language(home.path(), language_no);
    QtDispatcher dispatcher;
    TfrmUpdate dialog(dispatcher, home.path(), Server(server.BaseUrl()), language);
    dialog.SetAutoStart(true);
    dialog.show();
    QVERIFY(QTest::qWaitFor([&] { return dialog.Gauge()->value() > 100 && dialog.Gauge()->value() < 900; },
                            10000));
    QVERIFY(dialog.Gauge()->isVisible());
    QVERIFY(dialog.Button()->isVisible());
    QCOMPARE(dialog.Button()->text(), language_no == 2 ? QString("中止(&A)") : QString("&Abort"));
    QVERIFY(dialog.Label()->text().startsWith(LangText(language, update::kTextDownloading)));
    QVERIFY(dialog.Label()->text().contains("acprotocl.dat"));
    QVERIFY(dialog.grab().save(testing::ScreenshotDir() + "/update-dialog-downloading" + suffix + ".png"));

    QVERIFY(QTest::qWaitFor([&] { return dialog.Finished(); }, 20000));
    QCOMPARE(dialog.Label()->text(),
             LangText(language, update::kTextUpdated) + "\n" + LangText(language, update::kTextKeptCopy) +
                 " " + QString::fromStdString((home.path() / "Backup/acprotocl.dat").string()));
    QCOMPARE(dialog.Button()->text(), LangText(language, update::kTextDoneButton));
    QCOMPARE(dialog.Gauge()->value(), dialog.Gauge()->maximum());
    QVERIFY(dialog.FilesCopied());
    QCOMPARE(ReadFile(library_file), new_library);
    QVERIFY(dialog.grab().save(testing::ScreenshotDir() + "/update-dialog-finished" + suffix + ".png"));
    QTest::mouseClick(dialog.Button(), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }

 private slots:
  void downloadsWithProgressAndTellsTheOutcome() { DownloadAndScreenshot(1, ""); }
  void inChinese() { DownloadAndScreenshot(2, "-zh"); }

  void abortInTheMiddleCopiesNothing() {
    TestHttpServer server;
    testing::TestHome home(true);
    const std::filesystem::path library_file = home.path() / "data/acprotocl.dat";
    const std::string old_library = ReadFile(library_file);
    PublishSlowLibrary(server, old_library + "changed");
    const std::string old_config = ReadFile(home.path() / "config.ini");
    lang::Language language(home.path(), 1);
    QtDispatcher dispatcher;
    TfrmUpdate dialog(dispatcher, home.path(), Server(server.BaseUrl()), language);
    dialog.SetAutoStart(true);
    dialog.show();
    QVERIFY(QTest::qWaitFor([&] { return dialog.Gauge()->value() > 0; }, 10000));
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(dialog.Button(), Qt::LeftButton);
    QVERIFY(timer.elapsed() < 2000);
    QCOMPARE(dialog.result(), TfrmUpdate::kResultAbort);
    QVERIFY(!dialog.isVisible());
    QVERIFY(!dialog.FilesCopied());
    QTest::qWait(100);
    QCOMPARE(ReadFile(library_file), old_library);
    QCOMPARE(ReadFile(home.path() / "config.ini"), old_config);
  }

  void withoutAServerItSaysSo() {
    testing::TestHome home(false);
    lang::Language language(home.path(), 1);
    QtDispatcher dispatcher;
    TfrmUpdate dialog(dispatcher, home.path(), Server(""), language);
    dialog.SetAutoStart(true);
    dialog.show();
    QVERIFY(QTest::qWaitFor([&] { return dialog.Finished(); }, 5000));
    QCOMPARE(dialog.Label()->text(), LangText(language, update::kTextNoServer));
    QCOMPARE(dialog.Button()->text(), LangText(language, update::kTextCloseButton));
    QVERIFY(dialog.grab().save(testing::ScreenshotDir() + "/update-dialog-no-server.png"));
    // Escape closes it like the button.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }

  void aFailedDownloadNamesTheFileAndWhy() {
    TestHttpServer server;
    testing::TestHome home(true);
    server.Serve("/upld/ac/v2/up.txt",
                 "softid=1\r\nfilecount=2\r\nfilename0=acprotocl.dat\r\nfiledate0=2099-01-01\r\n"
                 "filename1=../config.ini\r\nfiledate1=2099-01-01\r\n");
    lang::Language language(home.path(), 1);
    QtDispatcher dispatcher;
    TfrmUpdate dialog(dispatcher, home.path(), Server(server.BaseUrl()), language);
    dialog.SetAutoStart(true);
    dialog.show();
    QVERIFY(QTest::qWaitFor([&] { return dialog.Finished(); }, 10000));
    QCOMPARE(dialog.Label()->text(), LangText(language, update::kTextUpdateFailed) + "\n" +
                                         LangText(language, update::kTextRefusedName) + " ../config.ini");
    QCOMPARE(dialog.Button()->text(), LangText(language, update::kTextCloseButton));
    QVERIFY(!dialog.Gauge()->isVisible());
    QVERIFY(dialog.grab().save(testing::ScreenshotDir() + "/update-dialog-refused.png"));
  }

  void aLongOutcomeIsCutAndWhollyInTheToolTip() {
    TestHttpServer server;
    testing::TestHome home(true);
    std::string list = "softid=1\r\nfilecount=6\r\n";
    for (int i = 0; i < 6; ++i)
      list += "filename" + std::to_string(i) + "=../f" + std::to_string(i) + "\r\nfiledate" +
              std::to_string(i) + "=1\r\n";
    server.Serve("/upld/ac/v2/up.txt", list);
    lang::Language language(home.path(), 1);
    QtDispatcher dispatcher;
    TfrmUpdate dialog(dispatcher, home.path(), Server(server.BaseUrl()), language);
    dialog.SetAutoStart(true);
    dialog.show();
    QVERIFY(QTest::qWaitFor([&] { return dialog.Finished(); }, 10000));
    const QStringList shown = dialog.Label()->text().split('\n');
    QCOMPARE(shown.size(), 4);
    QCOMPARE(shown.back(), QString("..."));
    QCOMPARE(dialog.Label()->toolTip().split('\n').size(), 7);
    QVERIFY(dialog.Label()->toolTip().endsWith("../f5"));
  }
};

}  // namespace klimavo::ui

QTEST_MAIN(klimavo::ui::UpdateDialogTest)
#include "update_dialog_test.moc"
