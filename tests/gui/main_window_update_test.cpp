// The main window's part of the online update: the automatic check starts when
// the window is first shown and asks through the window whether it is active,
// the update notice asks its question, Yes runs the Update command (whose
// dialog installs the files, after which the window settles the library that
// changed on disk) and No leaves the check stopped, and the window can be
// closed while the check waits.
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <functional>

#include "app/main_window.h"
#include "base/gbk.h"
#include "base/ini_file.h"
#include "gui_test_support.h"
#include "main_window_fixture.h"
#include "store/library.h"
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

/// Plays the user of the update dialog that a command runs: shows it (the
/// update starts by itself), waits for the outcome and presses the button.
struct UpdateDialogPlayer {
  bool ran = false;
  bool finished = false;
  QString label;
  int operator()(QDialog& shown) {
    auto& dialog = dynamic_cast<ui::TfrmUpdate&>(shown);
    ran = true;
    dialog.show();
    finished = QTest::qWaitFor([&] { return dialog.Finished(); }, 20000);
    label = dialog.Label()->text();
    QTest::mouseClick(dialog.Button(), Qt::LeftButton);
    return dialog.result();
  }
};

/// The seed library without its first record, as a server would publish it.
std::string LibraryWithoutFirstRecord(const std::filesystem::path& home) {
  const std::filesystem::path copy = home / "published.dat";
  std::filesystem::copy_file(home / "data/acprotocl.dat", copy);
  store::ProtocolLibrary library(copy);
  library.Load();
  library.DeleteRecords({0});
  const std::string bytes = ReadFile(copy);
  std::filesystem::remove(copy);
  return bytes;
}

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
    const std::string old_library = ReadFile(home.path() / "data/acprotocl.dat");
    const std::string new_library = LibraryWithoutFirstRecord(home.path());
    Publish(server, new_library);
    Workbench workbench(home.path());
    const int records_before = workbench.library.Size();
    testing::ScriptedPrompts prompts;
    prompts.answers = {QMessageBox::Yes};
    UpdateDialogPlayer player;
    prompts.dialogs.push_back(std::ref(player));
    // The library changed on disk: Reload.
    prompts.choices = {0};
    TfrmAirEditor window(workbench, prompts);
    window.SetUpdateServer(server.BaseUrl());
    window.SetAutoUpdateTiming(kFastTiming, 2000ms);
    QVERIFY(window.AutoUpdate() == nullptr);
    window.show();
    QVERIFY(window.AutoUpdate() != nullptr);
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QVERIFY(!window.AnswerUpdateQuery());
    QVERIFY(QTest::qWaitFor([&] { return player.ran && prompts.choices.empty(); }, 20000));
    QCOMPARE(prompts.questions.size(), std::size_t{2});
    QVERIFY(prompts.questions[0].startsWith(Text(workbench, update::kTextUpdateQuestion)));
    QVERIFY(player.finished);
    // The outcome names the copy of the replaced library, kept to restore it from.
    const std::filesystem::path kept = home.path() / "Backup/acprotocl.dat";
    QCOMPARE(player.label, Text(workbench, update::kTextUpdated) + "\n" +
                               Text(workbench, update::kTextKeptCopy) + " " +
                               QString::fromStdString(kept.string()));
    QCOMPARE(ReadFile(kept), old_library);
    QCOMPARE(ReadFile(home.path() / "data/acprotocl.dat"), new_library);
    QCOMPARE(base::IniFile::Load(home.path() / "config.ini").ReadString("updateinfo", "acprotocl.dat", ""),
             std::string("2099-01-01"));
    // Right after the update the window asked about the changed library, and
    // Reload took the new one.
    QCOMPARE(workbench.library.Size(), records_before - 1);
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
    testing::MainWindowFixture f;
    UpdateDialogPlayer player;
    f.prompts.dialogs.push_back(std::ref(player));
    QAction* item = f.Action("mnuUpdate");
    QVERIFY(item != nullptr);
    item->trigger();
    QVERIFY(player.finished);
    // No server set: the dialog says so, and nothing was copied, so nothing is asked.
    QCOMPARE(player.label, Text(f.workbench, update::kTextNoServer));
    QVERIFY(f.prompts.questions.empty());
  }

  // While the protected notice is shown (a damaged library), Tools > Update
  // treats the library as every writer does: it is not replaced.
  void theUpdateNeverReplacesADamagedLibrary() {
    TestHttpServer server;
    testing::TestHome home(true);
    const std::filesystem::path file = home.path() / "data/acprotocl.dat";
    Publish(server, LibraryWithoutFirstRecord(home.path()));
    std::string damaged = ReadFile(file);
    damaged.resize(damaged.size() - 10);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << damaged;
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor window(workbench, prompts);
    QVERIFY(window.LibraryProtected());
    window.SetUpdateServer(server.BaseUrl());
    UpdateDialogPlayer player;
    prompts.dialogs.push_back(std::ref(player));
    window.UpdateCommand();
    QVERIFY(player.finished);
    QVERIFY2(player.label.startsWith(Text(workbench, update::kTextUpdateFailed)), qPrintable(player.label));
    QVERIFY2(player.label.contains("damaged"), qPrintable(player.label));
    QCOMPARE(server.RequestsFor("/upld/ac/v2/acprotocl.dat"), 0);
    QCOMPARE(ReadFile(file), damaged);
  }

  void theNoticeAsksOnlyWithAnUpdateAndQuotesTheServer() {
    testing::TestHome home(true);
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor window(workbench, prompts);
    window.UpdateNotice(false, "msg");
    QVERIFY(prompts.questions.empty());
    // With an update the server's message follows the question, without its control characters.
    prompts.answers = {QMessageBox::No};
    window.UpdateNotice(true, "New records\x1b[31m for 2027\a");
    QCOMPARE(prompts.questions, std::vector<QString>{Text(workbench, update::kTextUpdateQuestion) +
                                                     "\n\nThe server says: New records[31m for 2027"});
    prompts.questions.clear();
    // Any parameter but 1 asks for nothing.
    UpdateDialogPlayer player;
    prompts.dialogs.push_back(std::ref(player));
    window.PostUpdateRequest(0);
    QTest::qWait(50);
    QVERIFY(!player.ran);
    window.PostUpdateRequest(1);
    QVERIFY(QTest::qWaitFor([&] { return player.ran; }, 5000));
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
