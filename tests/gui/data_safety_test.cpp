// The main window with a damaged library (protected: nothing writes it, the
// records read whole are listed and can be saved as an exchange file) and with
// a library that klimavo-cli changes while the window is open.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <fstream>

#include "app/main_window.h"
#include "base/atomic_file.h"
#include "base/gbk.h"
#include "gui_test_support.h"
#include "store/exchange_file.h"
#include "store/picture_store.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::app {
namespace {

namespace fs = std::filesystem;

base::Bytes Read(const fs::path& p) { return base::ReadWholeFile(p).value_or(base::Bytes{}); }

void Write(const fs::path& p, const base::Bytes& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Cuts the last `bytes` bytes off a file, the way an interrupted copy does.
void CutShort(const fs::path& p, std::size_t bytes) {
  base::Bytes data = Read(p);
  data.resize(data.size() - bytes);
  Write(p, data);
}

struct Window {
  explicit Window(const fs::path& home) : workbench(home), window(workbench, prompts) {
    window.show();
    QCoreApplication::processEvents();  // the start-up message comes once the window shows
  }
  ui::LibraryGrid* List() { return window.findChild<ui::LibraryGrid*>("gridLibrary"); }
  QAction* Action(const char* name) {
    for (QAction* a : window.findChildren<QAction*>())
      if (a->objectName() == name) return a;
    return nullptr;
  }
  QString Text(int number) {
    return QString::fromStdString(base::GbkToUtf8(workbench.language.Text(number)));
  }

  testing::ScriptedPrompts prompts;
  Workbench workbench;
  TfrmAirEditor window;
};

int CodesIn(const fs::path& library_file) {
  store::ProtocolLibrary library(library_file);
  library.Load();
  return library.Size();
}

}  // namespace

class DataSafetyTest : public QObject {
  Q_OBJECT

 private slots:
  void aDamagedLibraryOpensProtectedWithItsIntactRecords() {
    testing::TestHome home(true);
    const fs::path library = home.path() / "data/acprotocl.dat";
    const int all = CodesIn(library);
    CutShort(library, 10);  // the last record is no longer whole
    const base::Bytes damaged = Read(library);
    Window w(home.path());

    QVERIFY(w.window.LibraryProtected());
    QCOMPARE(w.prompts.messages.size(), std::size_t{1});
    const QString message = w.prompts.messages.front();
    QVERIFY(!w.Text(120).isEmpty() && !w.Text(120).contains("error in language.ini"));
    QMessageBox box(QMessageBox::Information, w.Text(9), message, QMessageBox::Ok, &w.window);
    box.show();
    QVERIFY(box.grab().save(testing::ScreenshotDir() + "/protected-library-message.png"));
    QVERIFY2(message.contains(w.Text(120)), qPrintable(message));
    QVERIFY2(message.contains(QString::fromStdString(library.string())), qPrintable(message));
    QVERIFY2(message.contains(w.Text(123)), qPrintable(message));  // the length field
    QVERIFY2(message.contains(w.Text(130) + " " + QString::number(all - 1)), qPrintable(message));
    QCOMPARE(w.List()->Rows(), all - 1);

    // Every command that writes the library or the picture store is disabled.
    QTest::keyClicks(w.window.findChild<QLineEdit*>("edtBrand"), "X");
    QVERIFY(w.window.RecordModified());
    for (const char* name : {"actnSave", "actSaveAs", "mnuImport", "mnuDeleteRecords"})
      QVERIFY2(!w.Action(name)->isEnabled(), name);
    QVERIFY(w.Action("actSaveReadable")->isEnabled());
    QVERIFY(w.Action("mnuExport")->isEnabled());
    QVERIFY(w.window.findChild<QLabel*>("lblProtected")->isVisible());
    // And refused when called all the same.
    w.window.SaveCommand();
    QCOMPARE(w.prompts.messages.back(), w.Text(132));
    w.prompts.answers.push_back(QMessageBox::Yes);
    w.List()->selectRow(0);
    w.window.DeleteSelectedRecords();
    QCOMPARE(w.prompts.messages.back(), w.Text(132));
    QCOMPARE(Read(library), damaged);
    QVERIFY(w.window.grab().save(testing::ScreenshotDir() + "/main-window-protected.png"));
  }

  void aDamagedPictureStoreProtectsToo() {
    testing::TestHome home(true);
    const fs::path pictures = home.path() / "data/picmem.dat";
    store::StorePicture("0101", {{"KFR-35GW"}, base::Bytes(500, 0xD8)}, pictures);
    CutShort(pictures, 10);
    Window w(home.path());
    QVERIFY(w.window.LibraryProtected());
    QVERIFY(w.prompts.messages.front().contains(QString::fromStdString(pictures.string())));
    QVERIFY(!w.Action("actnSave")->isEnabled());
    QVERIFY(w.List()->Rows() >= 6);  // the library itself is whole
  }

  void saveReadableRecordsWritesAnExchangeFileThatImportsBackWhole() {
    testing::TestHome home(true);
    const fs::path library = home.path() / "data/acprotocl.dat";
    store::StorePicture("0101", {{"KFR-35GW"}, base::Bytes(500, 0xD8)}, home.path() / "data/picmem.dat");
    CutShort(library, 10);
    Window w(home.path());
    const int readable = w.workbench.library.Size();
    const QString target = QString::fromStdString((home.path() / "rescued.acpf").string());
    w.prompts.files.push_back(target);
    w.window.SaveReadableRecordsAs();
    QCOMPARE(w.prompts.messages.back(), w.Text(139) + " " + QString::number(readable));

    testing::TestHome other(false);
    store::ProtocolLibrary rescued(other.path() / "data/acprotocl.dat");
    const store::ImportResult result =
        store::ImportRecords(rescued, other.path() / "data", target.toStdString());
    QCOMPARE(result.count, readable);
    QVERIFY(result.damaged_pictures.empty());
    for (int i = 0; i < readable; ++i) {
      const auto& back = rescued.Records()[static_cast<std::size_t>(i)];
      const auto& kept = w.workbench.library.Records()[static_cast<std::size_t>(i)];
      QCOMPARE(back.Record.Brand.str(), kept.Record.Brand.str());
      QVERIFY(back.Lines == kept.Lines);
    }
    store::TMemPic_Info picture;
    QVERIFY(store::LoadPicture(result.first_new_code, picture, other.path() / "data/picmem.dat"));
    QCOMPARE(picture.Names, std::vector<std::string>{"KFR-35GW"});
  }

  // Saving the readable records never replaces the home's own files, however
  // the chosen file is named (here the damaged library itself).
  void savingReadableRecordsNeverReplacesTheHomesOwnFiles() {
    testing::TestHome home(true);
    const fs::path library = home.path() / "data/acprotocl.dat";
    CutShort(library, 10);
    const base::Bytes damaged = Read(library);
    Window w(home.path());
    w.prompts.files.push_back(QString::fromStdString((home.path() / "data/../data/acprotocl.dat").string()));
    w.window.SaveReadableRecordsAs();
    QVERIFY2(w.prompts.messages.back().contains("own file"), qPrintable(w.prompts.messages.back()));
    QCOMPARE(Read(library), damaged);
  }

  // The picture store is damaged after the window opened: a delete refuses,
  // and the list, the record shown and both files stay as they were.
  void aDeleteThatFailsChangesNothing() {
    testing::TestHome home(true);
    const fs::path pictures = home.path() / "data/picmem.dat";
    store::StorePicture("0101", {{"KFR-35GW"}, base::Bytes(500, 0xD8)}, pictures);
    Window w(home.path());
    QVERIFY(!w.window.LibraryProtected());
    const int rows = w.List()->Rows();
    w.List()->selectRow(0);  // the record shown is the one to delete
    const int shown = w.window.CurrentIndex();
    QVERIFY(shown >= 0);
    CutShort(pictures, 10);
    const base::Bytes library = Read(home.path() / "data/acprotocl.dat");
    const base::Bytes damaged = Read(pictures);
    w.prompts.answers.push_back(QMessageBox::Yes);
    w.window.DeleteSelectedRecords();
    QVERIFY(w.prompts.messages.back().contains("damaged"));
    QCOMPARE(w.List()->Rows(), rows);
    QCOMPARE(w.window.CurrentIndex(), shown);
    QCOMPARE(Read(home.path() / "data/acprotocl.dat"), library);
    QCOMPARE(Read(pictures), damaged);
  }

  // klimavo-cli adds a record while the window is open and the record shown
  // has unsaved changes; Save then asks, and each answer does what it says.
  void aLibraryChangedOnDiskIsNeverOverwrittenWithoutAQuestion() {
    const QString cli = qEnvironmentVariable("KLIMAVO_CLI");
    QVERIFY2(!cli.isEmpty(), "KLIMAVO_CLI names klimavo-cli");
    enum Answer { kReload = 0, kOverwrite = 1, kCancel = 2 };
    for (int answer : {kReload, kOverwrite, kCancel}) {
      testing::TestHome home(true);
      const fs::path library = home.path() / "data/acprotocl.dat";
      Window w(home.path());
      const int before = w.workbench.library.Size();
      const int shown = w.window.CurrentIndex();
      QTest::keyClicks(w.window.findChild<QLineEdit*>("edtBrand"), "Z");
      const std::string brand = w.window.CurrentRecord().Brand.str();

      const fs::path json = home.path() / "added.json";
      std::ofstream(json)
          << R"({"brand":"Added","code":"7001","keys":[{"name":"Power","states":["off","on"]}]})";
      QProcess add;
      add.setStandardOutputFile(QProcess::nullDevice());
      add.start(cli, {"--home", QString::fromStdString(home.path().string()), "library", "add",
                      QString::fromStdString(json.string())});
      QVERIFY(add.waitForFinished(60000));
      QCOMPARE(add.exitCode(), 0);
      QCOMPARE(CodesIn(library), before + 1);

      w.prompts.choices.push_back(answer);
      w.window.SaveCommand();
      QCOMPARE(w.prompts.questions.size(), std::size_t{1});
      QVERIFY(w.prompts.questions.front().contains(w.Text(133)));
      if (answer == kReload) {
        QMessageBox box(QMessageBox::Question, w.Text(9), w.prompts.questions.front(), QMessageBox::NoButton,
                        &w.window);
        for (int text : {135, 136, 137}) box.addButton(w.Text(text), QMessageBox::AcceptRole);
        box.show();
        QVERIFY(box.grab().save(testing::ScreenshotDir() + "/library-changed-question.png"));
      }
      switch (answer) {
        case kReload:  // the added record is shown; the changed record is kept as a new one
          QCOMPARE(CodesIn(library), before + 1);
          QCOMPARE(w.workbench.library.Size(), before + 1);
          QCOMPARE(w.List()->Rows(), before + 1);
          QCOMPARE(w.window.CurrentIndex(), -1);
          QVERIFY(w.window.RecordModified());
          QCOMPARE(w.window.CurrentRecord().Brand.str(), brand);
          break;
        case kOverwrite:  // the window's library with the change replaces the file
          QCOMPARE(CodesIn(library), before);
          QVERIFY(!w.window.RecordModified());
          QCOMPARE(w.workbench.library.Records()[static_cast<std::size_t>(shown)].Record.Brand.str(), brand);
          break;
        case kCancel:  // nothing happens
          QCOMPARE(CodesIn(library), before + 1);
          QCOMPARE(w.workbench.library.Size(), before);
          QVERIFY(w.window.RecordModified());
          break;
      }
      // Once settled, the next save asks nothing more.
      if (answer != kCancel) {
        w.window.SaveCommand();
        QCOMPARE(w.prompts.questions.size(), std::size_t{1});
      }
    }
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::DataSafetyTest)
#include "data_safety_test.moc"
