#include "app/main_window.h"

#include <QAction>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <functional>

#include "base/gbk.h"
#include "base/ini_file.h"
#include "gui_test_support.h"
#include "main_window_fixture.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::app {
namespace {

struct Fixture : testing::MainWindowFixture {
  using MainWindowFixture::MainWindowFixture;
  QStringList Column(int column) {
    QStringList out;
    for (int r = 1; r <= Library()->Rows(); ++r) out << Library()->Cell(column, r);
    return out;
  }
  void ClickHeading(int column) { emit Library()->HeadingClicked(column); }
};

// A picture file of the given size with the given suffix.
QString PictureFile(const QString& dir, const QString& name, qint64 size) {
  const QString path = dir + "/" + name;
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  f.write(QByteArray(static_cast<int>(size), 'j'));
  return path;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void fileDialogsAskInTheWorkbenchsLanguage() {
    // Every file dialog of the main window: its command, its caption and filter texts.
    struct Case {
      const char* command;
      std::function<void(TfrmAirEditor&)> run;
      int caption, filter;
    };
    const Case cases[] = {
        {"load picture", [](TfrmAirEditor& w) { w.findChild<QPushButton*>("btnLoadPicture")->click(); }, 304,
         301},
        {"export", [](TfrmAirEditor& w) { w.ExportSelectedRecords(); }, 305, 302},
        {"import", [](TfrmAirEditor& w) { w.ImportRecords(); }, 306, 302},
        {"mobile file", [](TfrmAirEditor& w) { w.ExportMobileBundle(); }, 307, 303},
        {"readable records", [](TfrmAirEditor& w) { w.SaveReadableRecordsAs(); }, 308, 302},
    };
    for (int language : {0, 1}) {
      Fixture f(true);
      f.window.ChangeLanguage(language);
      auto text = [&](int number) {
        return QString::fromStdString(base::GbkToUtf8(f.workbench.language.Text(number)));
      };
      for (const Case& c : cases) {
        f.prompts.file_dialogs.clear();
        c.run(f.window);
        QCOMPARE(f.prompts.file_dialogs.size(), std::size_t{1});
        QCOMPARE(f.prompts.file_dialogs.front().first, text(c.caption));
        QCOMPARE(f.prompts.file_dialogs.front().second, text(c.filter));
        QVERIFY2(!text(c.caption).isEmpty() && !text(c.filter).isEmpty(), c.command);
        // The filter keeps the patterns the dialog filters by, in every language.
        QVERIFY2(text(c.filter).contains(QRegularExpression(R"(\(\*\.[a-z]+( \*\.[a-z]+)*\)$)")), c.command);
      }
      // Chinese captions are not the English ones.
      if (language == 1) QVERIFY(text(304) != QString("Load the picture of the remote"));
    }
  }

  void startsWithAnEmptyLibrary() {
    Fixture f(false);
    QCOMPARE(f.Library()->Rows(), 0);
    QCOMPARE(f.window.CurrentIndex(), -1);
    QVERIFY(!f.window.findChild<QPushButton*>("btnLoadPicture")->isEnabled());
    QVERIFY(!f.window.findChild<QPushButton*>("btnClearPicture")->isEnabled());
  }

  void startsWithTheSampleLibraryAndLoadsTheFirstRow() {
    Fixture f(true);
    QVERIFY(f.Library()->Rows() >= 6);
    QVERIFY(f.window.CurrentIndex() >= 0);
    QVERIFY(f.Library()->Heading(3).startsWith("Memo/Record:"));
    QVERIFY(f.window.findChild<QPushButton*>("btnLoadPicture")->isEnabled());
  }

  void headingClicksSortDescendingFirst() {
    Fixture f(true);
    f.ClickHeading(2);  // code numbers
    QStringList codes = f.Column(2);
    QStringList sorted = codes;
    std::sort(sorted.begin(), sorted.end());
    std::reverse(sorted.begin(), sorted.end());
    QCOMPARE(codes, sorted);
    f.ClickHeading(2);
    std::reverse(sorted.begin(), sorted.end());
    QCOMPARE(f.Column(2), sorted);
    f.ClickHeading(1);  // another column: descending again
    QVERIFY(f.window.SortDescending());
    QCOMPARE(f.window.SortColumn(), 0);
  }

  void keywordFiltersTheListAndKeepsTheRecordShown() {
    Fixture f(true);
    const int shown = f.window.CurrentIndex();
    f.Edit("edtKeyword")->setText("no-such-keyword-anywhere");
    QCOMPARE(f.Library()->Rows(), 0);
    QCOMPARE(f.window.CurrentIndex(), shown);
    f.Edit("edtKeyword")->setText("");
    QVERIFY(f.Library()->Rows() >= 6);
  }

  void editsMarkTheRecordModified() {
    Fixture f(true);
    QVERIFY(!f.window.RecordModified());
    QTest::keyClicks(f.Edit("edtBrand"), "X");
    QVERIFY(f.window.RecordModified());
    QVERIFY(f.window.findChild<QAction*>("actnSave")->isEnabled());
  }

  void saveChangesQuestionPaths() {
    struct Case {
      QMessageBox::StandardButton answer;
      bool moves;   // the other record becomes current
      bool stored;  // the change reached the library
    };
    for (const Case& c : {Case{QMessageBox::Cancel, false, false}, Case{QMessageBox::No, true, false},
                          Case{QMessageBox::Yes, true, true}}) {
      Fixture f(true);
      const int first = f.window.CurrentIndex();
      QTest::keyClicks(f.Edit("edtBrand"), "Z");
      const std::string brand = f.window.CurrentRecord().Brand.str();
      f.prompts.answers.push_back(c.answer);
      const int other_row = f.Library()->Cell(5, 1).toInt() == first ? 2 : 1;
      f.Library()->SetCurrentRow(other_row);
      QCOMPARE(f.prompts.questions.size(), std::size_t{1});
      QCOMPARE(f.window.CurrentIndex() != first, c.moves);
      const std::string stored =
          f.workbench.library.Records()[static_cast<std::size_t>(first)].Record.Brand.str();
      QCOMPARE(stored == brand, c.stored);
      if (!c.moves) QVERIFY(f.window.RecordModified());
    }
  }

  void readOnlyTakesNoChangesSoNoneAreDropped() {
    Fixture f(true);
    f.window.ToggleReadOnly();
    const std::string brand = f.window.CurrentRecord().Brand.str();
    QTest::keyClicks(f.Edit("edtBrand"), "Q");
    // The brand is read-only: nothing typed, nothing to lose on the record change.
    QCOMPARE(f.window.CurrentRecord().Brand.str(), brand);
    QVERIFY(!f.window.RecordModified());
    const int first = f.window.CurrentIndex();
    f.Library()->SetCurrentRow(f.Library()->Cell(5, 1).toInt() == first ? 2 : 1);
    QVERIFY(f.prompts.questions.empty());
    QVERIFY(f.window.CurrentIndex() != first);
    QCOMPARE(base::IniFile::Load(f.workbench.ConfigFile()).ReadInteger("para", "readonly", 0), 1);
  }

  void pictureSizeAndTypeLimits() {
    Fixture f(true);
    const QString dir = QString::fromStdString(f.home.path().string());
    f.window.LoadPictureFile(PictureFile(dir, "a.png", 10));
    QCOMPARE(f.prompts.messages.back(),
             QString::fromStdString(base::GbkToUtf8(f.workbench.language.Text(65))));
    f.window.LoadPictureFile(PictureFile(dir, "b.JPG", 102401));
    QCOMPARE(f.prompts.messages.back(),
             QString::fromStdString(base::GbkToUtf8(f.workbench.language.Text(32))));
    QVERIFY(!f.window.PictureModified());
    f.window.LoadPictureFile(PictureFile(dir, "c.jpeg", 102400));
    QVERIFY(f.window.PictureModified());
    QCOMPARE(f.window.CurrentPicture().Picture.size(), std::size_t{102400});
  }

  void languageSwitchTranslatesAndIsRemembered() {
    Fixture f(true);
    f.window.ChangeLanguage(1);
    QCOMPARE(f.workbench.language.LanguageNo(), 2);
    QVERIFY(f.window.windowTitle().contains("空调"));
    QCOMPARE(base::IniFile::Load(f.workbench.ConfigFile()).ReadInteger("Config", "lang", 0), 2);
    f.window.ChangeLanguage(0);
    QCOMPARE(f.window.windowTitle(), QString("Klimavo Protocols Analyser V2.01"));
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::MainWindowTest)
#include "main_window_test.moc"
