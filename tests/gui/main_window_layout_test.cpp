// The main window's frame: where it opens and what it remembers, its minimum
// size, the library columns, the menus with their mnemonics and the Delete key,
// the availability of every command, the language menu and the version.
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTest>
#include <QToolBar>

#include "base/ini_file.h"
#include "config/window_layout.h"
#include "main_window_fixture.h"
#include "ui/dialogs/about_dialog.h"

namespace klimavo::app {

// The screens of these tests: a 1600x1000 primary screen and a second one to its right.
constexpr char kScreens[] =
    R"({"screens": [{"name": "primary", "x": 0, "y": 0, "width": 1600, "height": 1000, "logicalDpi": 96},)"
    R"( {"name": "second", "x": 1600, "y": 0, "width": 1280, "height": 1024, "logicalDpi": 96}]})";

namespace {

using testing::MainWindowFixture;

QStringList Names(const QList<QAction*>& actions) {
  QStringList names;
  for (QAction* a : actions) names << (a->isSeparator() ? QString("|") : a->objectName());
  return names;
}

QMenu* Menu(TfrmAirEditor& window, const char* name) { return window.findChild<QMenu*>(name); }

void WriteWindowSection(const std::filesystem::path& config, const char* text) {
  base::IniFile ini = base::IniFile::Load(config);
  const base::IniFile window = base::IniFile::FromText(text);
  for (const auto& [key, value] : window.Entries("window")) ini.WriteString("window", key, value);
  ini.Save(config);
}

QRect Available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

}  // namespace

class MainWindowLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void firstStartIsCentredAndFitsTheScreen() {
    MainWindowFixture f;
    const QRect g = f.window.geometry();
    const QRect screen = Available();
    QCOMPARE(screen, QRect(0, 0, 1600, 1000));
    QCOMPARE(g, QRect((1600 - 1047) / 2, (1000 - 569) / 2, 1047, 569));
  }

  void savedLayoutComesBackAndDamageGivesTheDefaults() {
    struct Case {
      const char* window_section;
      bool restored;
    };
    const Case cases[] = {
        {"[window]\ngeometry=3,7,900,600\nsplitters=300,200,380\nlibcols=111,50,100,97\n", true},
        {"[window]\ngeometry=abc\nsplitters=1\nlibcols=-5,0,x\n", false},
        {"[window]\ngeometry=5000,5000,900,600\n", false},  // off every screen
        {"[window]\ngeometry=0,0,99999,99999\n", false},
    };
    for (const Case& c : cases) {
      testing::TestHome home(true);
      WriteWindowSection(home.path() / "config.ini", c.window_section);
      Workbench workbench(home.path());
      testing::ScriptedPrompts prompts;
      TfrmAirEditor window(workbench, prompts);
      window.show();
      QCoreApplication::processEvents();
      const QRect g = window.geometry();
      QVERIFY2(Available().contains(g), c.window_section);
      if (c.restored) {
        QCOMPARE(g, QRect(3, 7, 900, 600));
        QCOMPARE(window.findChild<ui::LibraryGrid*>("gridLibrary")->columnWidth(0), 111);
        // The panes keep their proportions (the saved sizes add up to a little less than the splitter).
        QVERIFY(std::abs(window.findChild<QSplitter*>("splitter")->sizes().value(0) - 300) <= 8);
      } else {
        QCOMPARE(g, QRect((1600 - 1047) / 2, (1000 - 569) / 2, 1047, 569));  // the first start's place
      }
    }
  }

  void closingRemembersTheLayout() {
    testing::TestHome home(true);
    QRect closed_at;
    QList<int> panes;
    int brand_width = 0;
    {
      Workbench workbench(home.path());
      testing::ScriptedPrompts prompts;
      TfrmAirEditor window(workbench, prompts);
      window.show();
      QCoreApplication::processEvents();
      window.setGeometry(3, 20, window.minimumWidth() + 3, window.minimumHeight() + 5);
      window.findChild<ui::LibraryGrid*>("gridLibrary")->setColumnWidth(0, 123);
      auto* splitter = window.findChild<QSplitter*>("splitter");
      QList<int> sizes = splitter->sizes();
      sizes[0] += 25;
      sizes[2] -= 25;
      splitter->setSizes(sizes);
      QCoreApplication::processEvents();
      closed_at = window.geometry();
      panes = splitter->sizes();
      brand_width = 123;
      QVERIFY(window.close());
    }
    const config::WindowLayout saved = config::ReadWindowLayout(home.path() / "config.ini", 3, 4);
    QVERIFY(saved.geometry.has_value());
    QCOMPARE(saved.library_columns.size(), std::size_t{4});
    QCOMPARE(saved.library_columns[0], brand_width);
    Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    TfrmAirEditor window(workbench, prompts);
    window.show();
    QCoreApplication::processEvents();
    QCOMPARE(window.geometry(), closed_at);
    QCOMPARE(window.findChild<QSplitter*>("splitter")->sizes(), panes);
    QCOMPARE(window.findChild<ui::LibraryGrid*>("gridLibrary")->columnWidth(0), brand_width);
  }

  void atTheMinimumSizeNothingIsCut() {
    MainWindowFixture f;
    for (int tag : {0, 1}) {
      f.window.ChangeLanguage(tag);
      f.window.resize(f.window.minimumSize());
      QCoreApplication::processEvents();
      QCOMPARE(f.window.size(), f.window.minimumSize());
      QVERIFY(f.window.minimumWidth() <= 1047 && f.window.minimumHeight() <= 569);
      for (QWidget* w : f.window.centralWidget()->findChildren<QWidget*>()) {
        if (!w->isVisible() || !(qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w))) continue;
        const QSize needed = w->minimumSizeHint();
        QVERIFY2(w->width() >= needed.width() && w->height() >= needed.height(),
                 qPrintable(QString("%1 (language %2): %3x%4 < %5x%6")
                                .arg(w->objectName())
                                .arg(tag + 1)
                                .arg(w->width())
                                .arg(w->height())
                                .arg(needed.width())
                                .arg(needed.height())));
      }
      // The bit-field headings are three lines ("Frame:0", "Bit:42", "Width:1"): none is cut.
      const ui::DataGrid* parts = f.window.findChild<ui::DataGrid*>("gridParts");
      const QHeaderView* heading = parts->horizontalHeader();
      for (int c = 1; c <= parts->Columns(); ++c) {
        const int needed = QFontMetrics(heading->font()).size(0, parts->Heading(c)).height();
        QVERIFY2(heading->height() >= needed, qPrintable(QString("heading %1 (language %2): %3 < %4")
                                                             .arg(c)
                                                             .arg(tag + 1)
                                                             .arg(heading->height())
                                                             .arg(needed)));
      }
    }
  }

  void theMemoColumnTakesTheRestOfTheList() {
    MainWindowFixture f;
    ui::LibraryGrid* list = f.Library();
    for (QSize size : {QSize(1047, 569), QSize(1600, 1000)}) {
      f.window.resize(size);
      QCoreApplication::processEvents();
      int used = 0;
      for (int c = 0; c < 4; ++c) used += list->columnWidth(c);
      QCOMPARE(used, list->viewport()->width());
      QCOMPARE(list->horizontalHeader()->sectionResizeMode(0), QHeaderView::Interactive);
      QCOMPARE(list->horizontalHeader()->sectionResizeMode(2), QHeaderView::Stretch);
    }
    // Brand and change time are as wide as their texts.
    const QFontMetrics metrics(list->font());
    for (int r = 1; r <= list->Rows(); ++r)
      for (int c : {1, 4})
        QVERIFY2(metrics.horizontalAdvance(list->Cell(c, r)) < list->columnWidth(c - 1),
                 qPrintable(list->Cell(c, r)));
  }

  void menusHoldTheListAndToolBarCommandsWithMnemonics() {
    MainWindowFixture f;
    QCOMPARE(Names(Menu(f.window, "mnuFile")->actions()),
             QStringList({"actnNew", "actnSave", "actSaveAs", "actSaveReadable", "|", "mnuImport",
                          "mnuExport", "mnuDeleteRecords", "|", "actnClose"}));
    // Tools: the tool-bar commands (all but the File ones) in tool-bar order, before Update.
    QStringList bar;
    for (QAction* a : f.window.findChild<QToolBar*>("ToolBar")->actions())
      if (!a->isSeparator() &&
          !QStringList({"actnNew", "actnSave", "actSaveAs", "actnClose"}).contains(a->objectName()))
        bar << a->objectName();
    QStringList tools = Names(Menu(f.window, "mnuTools")->actions());
    tools = tools.mid(0, tools.indexOf("mnuUpdate"));
    tools.removeAll("|");
    QCOMPARE(tools, bar);
    // Every menu and every entry has a mnemonic, unique within its menu, in both languages.
    for (int tag : {0, 1}) {
      f.window.ChangeLanguage(tag);
      QList<QMenu*> menus;
      for (QAction* top : f.window.menuBar()->actions()) menus << top->menu();
      menus << Menu(f.window, "mnuLanguage");
      QSet<int> titles;
      for (QAction* top : f.window.menuBar()->actions()) {
        const QKeySequence mnemonic = QKeySequence::mnemonic(top->text());
        QVERIFY2(!mnemonic.isEmpty() && !titles.contains(mnemonic[0].toCombined()), qPrintable(top->text()));
        titles << mnemonic[0].toCombined();
      }
      for (QMenu* menu : menus) {
        if (menu == Menu(f.window, "mnuLanguage")) continue;  // language names are written as such
        QSet<int> keys;
        for (QAction* a : menu->actions()) {
          if (a->isSeparator()) continue;
          const QKeySequence mnemonic = QKeySequence::mnemonic(a->text());
          QVERIFY2(!mnemonic.isEmpty(), qPrintable(a->text()));
          QVERIFY2(!keys.contains(mnemonic[0].toCombined()), qPrintable(menu->title() + ": " + a->text()));
          keys << mnemonic[0].toCombined();
        }
      }
    }
  }

  void altOpensAMenuByItsMnemonic() {
    MainWindowFixture f;
    f.window.activateWindow();
    QTimer::singleShot(0, [] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (menu) {
        menu->setProperty("seen", true);
        menu->close();
      }
    });
    QTest::keyClick(&f.window, Qt::Key_F, Qt::AltModifier);
    QTRY_VERIFY(Menu(f.window, "mnuFile")->property("seen").toBool());
  }

  void deleteKeyDeletesTheSelectedRecordsOnlyFromTheList() {
    MainWindowFixture f;
    const std::size_t before = f.workbench.library.Records().size();
    // In the brand field Delete edits the text.
    f.Edit("edtBrand")->setFocus();
    f.prompts.answers = {QMessageBox::Yes};
    QTest::keyClick(f.Edit("edtBrand"), Qt::Key_Delete);
    QVERIFY(f.prompts.questions.empty());
    // In the list it deletes the selected record, after the question.
    f.Library()->setFocus();
    f.Library()->selectRow(1);
    QTest::keyClick(f.Library(), Qt::Key_Delete);
    QCOMPARE(f.prompts.questions.size(), std::size_t{1});
    QCOMPARE(f.workbench.library.Records().size(), before - 1);
  }

  void everyCommandIsAvailableOnAStoredRecordWithAFormat() {
    MainWindowFixture f;
    QVERIFY(!f.window.CurrentRecord().Slots[0].Text.empty());  // a record that enables the wizards
    for (const char* name :
         {"mnuUpdate",     "actAutoWizard",    "actnChecked",  "actnNew",        "actSaveAs",
          "mnuEditKeys",   "actnReGeshi",      "actnProgram",  "btnCompareCode", "btnCheckImages",
          "mnuConvertOne", "mnuMobileFile",    "mnuCreateCpp", "actnClose",      "mnuImport",
          "mnuExport",     "mnuDeleteRecords", "mnuRenameKey", "mnuReadOnly",    "mnuSettings",
          "mnuAbout",      "mnuDeleteModel"})
      QVERIFY2(f.Action(name)->isEnabled(), name);
    QVERIFY(f.window.findChild<QPushButton*>("btnResetFilter")->isEnabled());
    QVERIFY(f.window.findChild<QPushButton*>("btnLearnFilter")->isEnabled());
  }

  void theLanguageMenuChecksTheCurrentLanguage() {
    MainWindowFixture f;
    for (int tag : {1, 0}) {
      f.window.ChangeLanguage(tag);
      QCoreApplication::processEvents();
      QList<QAction*> items;
      for (QAction* a : Menu(f.window, "mnuLanguage")->actions())
        if (a->objectName().startsWith("mnuLanguage")) items << a;
      QCOMPARE(items.size(), 2);
      QVERIFY(items[tag]->isChecked());
      QVERIFY(!items[1 - tag]->isChecked());
    }
  }

  void aboutShowsTheCaptionsVersionAndCloses() {
    MainWindowFixture f;
    ui::AboutDialog about(f.home.path(), f.workbench.language, &f.window);
    const QString version = about.findChild<QLabel*>("lblVersion")->text();
    QCOMPARE(version, QString("2.01"));
    QCOMPARE(f.window.windowTitle(), "Klimavo Protocols Analyser V" + version);
    about.show();
    QCoreApplication::processEvents();
    auto* close = about.findChild<QPushButton*>("btnClose");
    QVERIFY(close && close->isVisible());
    QTest::mouseClick(close, Qt::LeftButton);
    QVERIFY(!about.isVisible());
    // The Chinese caption names the same version.
    f.window.ChangeLanguage(1);
    QVERIFY(f.window.windowTitle().endsWith("V" + version));
  }
};

}  // namespace klimavo::app

int main(int argc, char** argv) {
  const QString screens =
      QDir::tempPath() + QString("/klimavo-screens-%1.json").arg(QCoreApplication::applicationPid());
  QFile file(screens);
  if (!file.open(QIODevice::WriteOnly) || file.write(klimavo::app::kScreens) < 0) return 1;
  file.close();
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + screens).toUtf8());
  QApplication app(argc, argv);
  QFile::remove(screens);
  klimavo::app::MainWindowLayoutTest test;
  QTEST_SET_MAIN_SOURCE_PATH
  return QTest::qExec(&test, argc, argv);
}
#include "main_window_layout_test.moc"
