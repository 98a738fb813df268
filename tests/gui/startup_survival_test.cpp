// The workbench survives what a newcomer's home may hold: a damaged or
// unreadable library or config.ini at start-up, a config.ini that cannot be
// written, and an error that escapes a command into the event loop.
#include <QAction>
#include <QTest>
#include <fstream>

#include "app/main_window.h"
#include "app/workbench_application.h"
#include "gui_test_support.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::app {
namespace {

namespace fs = std::filesystem;

void WriteGarbage(const fs::path& file, std::size_t bytes) {
  std::ofstream out(file, std::ios::binary);
  for (std::size_t i = 0; i < bytes; ++i) out.put(static_cast<char>((i * 131 + 7) % 256));
}

// An object whose events end in an exception, as a broken command would.
class Throwing : public QObject {
 protected:
  void customEvent(QEvent*) override { throw std::runtime_error("the command failed"); }
};

}  // namespace

class StartupSurvivalTest : public QObject {
  Q_OBJECT

 private slots:
  void damagedOrUnreadableFilesDoNotEndTheProgram() {
    struct Case {
      const char* what;
      std::function<void(const fs::path& home)> damage;
      int library_rows;
    } cases[] = {
        {"a library cut short", [](const fs::path& h) { fs::resize_file(h / "data/acprotocl.dat", 5000); },
         0},
        {"a library of garbage", [](const fs::path& h) { WriteGarbage(h / "data/acprotocl.dat", 20000); }, 0},
        {"a library that is a folder",
         [](const fs::path& h) {
           fs::remove(h / "data/acprotocl.dat");
           fs::create_directory(h / "data/acprotocl.dat");
         },
         0},
        {"a config.ini of garbage", [](const fs::path& h) { WriteGarbage(h / "config.ini", 3000); }, 6},
        {"a config.ini that is a folder", [](const fs::path& h) { fs::create_directory(h / "config.ini"); },
         6},
    };
    for (const Case& c : cases) {
      testing::TestHome home(true);
      c.damage(home.path());
      Workbench workbench(home.path());
      testing::ScriptedPrompts prompts;
      TfrmAirEditor window(workbench, prompts);
      window.show();
      QCoreApplication::processEvents();
      QCOMPARE(window.findChild<ui::LibraryGrid*>("gridLibrary")->Rows(), c.library_rows);
    }
  }

  void aConfigIniThatCannotBeWrittenGivesAMessage() {
    testing::TestHome home(true);
    fs::create_directory(home.path() / "config.ini");
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor window(workbench, prompts);
    window.show();
    QCoreApplication::processEvents();
    window.findChild<QAction*>("mnuReadOnly")->trigger();
    QCOMPARE(prompts.messages.size(), std::size_t{1});
    QVERIFY(prompts.messages.back().contains("config.ini"));
    QVERIFY(workbench.settings.ReadOnlyMode);
    window.ChangeLanguage(1);
    QCOMPARE(prompts.messages.size(), std::size_t{2});
    QCOMPARE(workbench.language.LanguageNo(), 2);
  }

  // The workbench starts in the language the CLI uses for the same config.ini:
  // a value outside the listed languages is English, whatever its low byte.
  void everyLangValueOutsideTheLanguagesStartsInEnglish() {
    const struct {
      const char* value;
      int language_no;
    } cases[] = {{"1", 1}, {"2", 2}, {"0", 1}, {"3", 1}, {"258", 1}, {"-254", 1}, {"4294967298", 1}};
    for (const auto& c : cases) {
      testing::TestHome home(true);
      std::ofstream(home.path() / "config.ini", std::ios::binary) << "[Config]\nlang=" << c.value << "\n";
      Workbench workbench(home.path());
      QVERIFY2(workbench.language.LanguageNo() == c.language_no, c.value);
      testing::ScriptedPrompts prompts;
      TfrmAirEditor window(workbench, prompts);
      window.show();
      QCoreApplication::processEvents();
      const auto* item = window.findChild<QAction*>(QString("mnuLanguage%1").arg(c.language_no - 1));
      QVERIFY2(item != nullptr && item->isChecked(), c.value);
    }
  }

  void anErrorEscapingIntoTheEventLoopIsShownAndTheProgramGoesOn() {
    auto* app = qobject_cast<WorkbenchApplication*>(QCoreApplication::instance());
    QVERIFY(app != nullptr);
    QStringList shown;
    app->SetErrorReporter([&](const QString&, const QString& text) { shown << text; });
    Throwing target;
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    QCOMPARE(shown, (QStringList{"the command failed", "the command failed"}));
    app->SetErrorReporter(nullptr);
  }
};

}  // namespace klimavo::app

int main(int argc, char** argv) {
  klimavo::app::WorkbenchApplication app(argc, argv);
  klimavo::app::StartupSurvivalTest test;
  return QTest::qExec(&test, argc, argv);
}
#include "startup_survival_test.moc"
