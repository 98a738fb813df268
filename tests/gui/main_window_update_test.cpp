// The main window's part of the online update: the automatic check starts when
// the window is first shown and asks through the window whether it is active,
// the update notice asks its question, Yes runs the Update command (whose
// dialog installs the files) and No leaves the check stopped, and the window
// can be closed while the check waits.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>

#include "app/main_window.h"
#include "base/gbk.h"
#include "base/ini_file.h"
#include "gui_test_support.h"
#include "ui/dialogs/update_dialog.h"
#include "update/test_http_server.h"
#include "update/update_outcome.h"

namespace klimavo::app {
namespace {

using klimavo::testing::Route;
using klimavo::testing::TestHttpServer;
using namespace std::chrono_literals;

constexpr update::AutoCheckTiming kFastTiming{50ms, 50ms};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

/// Closes the update dialog once it has finished (or after `limit`), from the
/// event loop of its modal run; remembers how it ended.
class DialogCloser : public QObject {
 public:
  explicit DialogCloser(std::chrono::milliseconds limit = 20s) {
    timer_.setInterval(20);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    deadline_.start();
    limit_ = limit;
    timer_.start();
  }
  bool seen = false;
  bool finished = false;
  QString label;

 private:
  void Poll() {
    auto* dialog = qobject_cast<ui::TfrmUpdate*>(QApplication::activeModalWidget());
    if (!dialog) return;
    seen = true;
    if (!dialog->Finished() && deadline_.elapsed() < limit_.count()) return;
    finished = dialog->Finished();
    label = dialog->Label()->text();
    timer_.stop();
    QTest::mouseClick(dialog->Button(), Qt::LeftButton);
  }
  QTimer timer_;
  QElapsedTimer deadline_;
  std::chrono::milliseconds limit_{};
};

}  // namespace

class MainWindowUpdateTest : public QObject {
  Q_OBJECT

 private:
  static QString Text(const Workbench& workbench, int number) {
    return QString::fromStdString(base::GbkToUtf8(workbench.language.Text(number)));
  }
  static void Publish(TestHttpServer& server, const std::string& library) {
    server.Serve("/upld/ac/v2/up.txt",
                 "softid=1\r\nfilecount=1\r\nfilename0=acprotocl.dat\r\nfiledate0=2099-01-01\r\n");
    server.Serve("/upld/ac/v2/acprotocl.dat", library);
  }

 private slots:
  void theCheckAsksWhenTheWindowIsActiveAndYesUpdates() {
    TestHttpServer server;
    testing::TestHome home(true);
    const std::string new_library = ReadFile(home.path() / "data/acprotocl.dat") + std::string(100, '\0');
    Publish(server, new_library);
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    prompts.answers = {QMessageBox::Yes};
    TfrmAirEditor window(workbench, prompts);
    window.SetUpdateServer(server.BaseUrl());
    window.SetAutoUpdateTiming(kFastTiming, 2000ms);
    QVERIFY(window.AutoUpdate() == nullptr);
    window.show();
    QVERIFY(window.AutoUpdate() != nullptr);
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(!window.AnswerUpdateQuery());
    DialogCloser closer;
    QVERIFY(QTest::qWaitFor([&] { return closer.seen && !QApplication::activeModalWidget(); }, 20000));
    QCOMPARE(prompts.questions.size(), std::size_t{1});
    QCOMPARE(prompts.questions[0], Text(workbench, update::kTextUpdateQuestion));
    QVERIFY(closer.finished);
    QCOMPARE(closer.label, Text(workbench, update::kTextUpdated));
    QCOMPARE(ReadFile(home.path() / "data/acprotocl.dat"), new_library);
    QCOMPARE(base::IniFile::Load(home.path() / "config.ini").ReadString("updateinfo", "acprotocl.dat", ""),
             std::string("2099-01-01"));
    // The Update command ended the checker for good.
    QVERIFY(window.AutoUpdate() == nullptr);
  }

  void noLeavesTheProgramAsItWasAndTheCheckStopped() {
    TestHttpServer server;
    testing::TestHome home(true);
    const std::string old_library = ReadFile(home.path() / "data/acprotocl.dat");
    Publish(server, old_library + "new");
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    prompts.answers = {QMessageBox::No};
    TfrmAirEditor window(workbench, prompts);
    window.SetUpdateServer(server.BaseUrl());
    window.SetAutoUpdateTiming(kFastTiming, 2000ms);
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitFor([&] { return !prompts.questions.empty(); }, 20000));
    QTest::qWait(300);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(window.AutoUpdate()->Finished());
    QCOMPARE(server.RequestsFor("/upld/ac/v2/up.txt"), 1);
    QCOMPARE(server.RequestsFor("/upld/ac/v2/acprotocl.dat"), 0);
    QCOMPARE(ReadFile(home.path() / "data/acprotocl.dat"), old_library);
    // Showing the window again does not start another check.
    window.hide();
    window.show();
    QTest::qWait(300);
    QCOMPARE(server.RequestsFor("/upld/ac/v2/up.txt"), 1);
    QCOMPARE(prompts.questions.size(), std::size_t{1});
  }

  void noNoticeWithoutAnUpdateOrAServer() {
    TestHttpServer server;
    testing::TestHome home(true);
    server.Serve("/upld/ac/v2/up.txt", "softid=1\r\nfilecount=0\r\n");
    for (const bool with_server : {true, false}) {
      Workbench workbench(home.path());
      testing::ScriptedPrompts prompts;
      TfrmAirEditor window(workbench, prompts);
      if (with_server) window.SetUpdateServer(server.BaseUrl());
      window.SetAutoUpdateTiming(kFastTiming, 2000ms);
      window.show();
      if (with_server) {
        QVERIFY(QTest::qWaitFor([&] { return window.AutoUpdate()->Finished(); }, 20000));
      } else {
        QVERIFY(window.AutoUpdate() == nullptr);
      }
      QTest::qWait(200);
      QVERIFY(prompts.questions.empty());
    }
    QCOMPARE(server.RequestsFor("/upld/ac/v2/up.txt"), 1);
  }

  void theUpdateMenuItemRunsTheDialog() {
    testing::TestHome home(true);
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor window(workbench, prompts);
    window.show();
    QAction* item = window.findChild<QAction*>("mnuUpdate");
    QVERIFY(item != nullptr);
    DialogCloser closer;
    item->trigger();
    QVERIFY(closer.finished);
    // No server set: the dialog says so.
    QCOMPARE(closer.label, Text(workbench, update::kTextNoServer));
  }

  void theNoticeWithoutAnUpdateSaysNothing() {
    testing::TestHome home(true);
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor window(workbench, prompts);
    window.UpdateNotice(false, "msg");
    QVERIFY(prompts.questions.empty());
    // Any parameter but 1 asks for nothing.
    window.PostUpdateRequest(0);
    QTest::qWait(50);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
  }

  // The check found an update and waits, asking every few milliseconds, while
  // another window is active; closing the main window then ends it at once.
  void closingTheWindowWhileTheCheckWaitsEndsIt() {
    TestHttpServer server;
    testing::TestHome home(true);
    Publish(server, "new");
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    auto window = std::make_unique<TfrmAirEditor>(workbench, prompts);
    window->SetUpdateServer(server.BaseUrl());
    window->SetAutoUpdateTiming(kFastTiming, 2000ms);
    window->show();
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QVERIFY(window->AnswerUpdateQuery());
    QVERIFY(QTest::qWaitFor([&] { return server.RequestsFor("/upld/ac/v2/up.txt") == 1; }, 20000));
    QTest::qWait(300);
    QVERIFY(!window->AutoUpdate()->Finished());
    QElapsedTimer timer;
    timer.start();
    window.reset();
    QVERIFY(timer.elapsed() < 2000);
    QTest::qWait(100);
    QVERIFY(prompts.questions.empty());
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::MainWindowUpdateTest)
#include "main_window_update_test.moc"
