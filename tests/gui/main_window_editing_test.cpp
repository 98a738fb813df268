// The main window as a newcomer uses it: right clicks act on what they point
// at, the list and the editor agree, Save shows its result in the list, a
// cancelled filter takes its letters back, closing a menu changes nothing, and
// Read Only really is read-only.
#include <QAction>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "base/gbk.h"
#include "main_window_fixture.h"

namespace klimavo::app {
namespace {

using testing::MainWindowFixture;
using testing::RightClickAndChoose;

QString Lang(const Workbench& workbench, int number) {
  return QString::fromStdString(base::GbkToUtf8(workbench.language.Text(number)));
}

}  // namespace

class MainWindowEditingTest : public QObject {
  Q_OBJECT

 private slots:
  void rightClickSelectsTheKeyItActsOn() {
    MainWindowFixture f;
    auto* keys = f.window.findChild<QListWidget*>("listButtons");
    QVERIFY(keys->count() >= 2);
    QCOMPARE(keys->currentRow(), 0);
    f.prompts.inputs = {QString("Temperature")};
    QVERIFY(
        RightClickAndChoose(keys->viewport(), keys->visualItemRect(keys->item(1)).center(), "mnuRenameKey"));
    // The key under the pointer became current, showed its grid, and is the one renamed.
    QCOMPARE(keys->currentRow(), 1);
    QCOMPARE(f.prompts.input_boxes.size(), std::size_t{1});
    QVERIFY2(f.prompts.input_boxes[0].second.contains("Temp."), qPrintable(f.prompts.input_boxes[0].second));
    QCOMPARE(f.window.CurrentRecord().Keys[1].Name.str(), std::string("Temperature"));
    QVERIFY(f.window.CurrentRecord().Keys[0].Name.str() != "Temperature");
    QVERIFY(f.window.RecordModified());
  }

  void rightClickInTheListActsOnTheRowPointedAt() {
    MainWindowFixture f;
    const int row = 3;
    QVERIFY(f.Library()->Rows() > row);
    const QRect cell = f.Library()->visualRect(f.Library()->model()->index(row - 1, 0));
    RightClickAndChoose(f.Library()->viewport(), cell.center(), QString());
    QCOMPARE(f.window.CurrentIndex(), f.IndexOfRow(row));
    QCOMPARE(f.SelectedRows(), QList<int>{row});
  }

  void deleteRowRemovesTheModelRowPointedAt() {
    MainWindowFixture f;
    auto* models = f.window.findChild<ui::DataGrid*>("gridModels");
    models->SetRows(3);
    models->setItem(0, 0, new QTableWidgetItem("KFR-26GW"));
    models->setItem(1, 0, new QTableWidgetItem("KFR-35GW"));
    models->SetCurrentRow(1);
    const QRect second = models->visualRect(models->model()->index(1, 0));
    QVERIFY(RightClickAndChoose(models->viewport(), second.center(), "mnuDeleteModel"));
    QCoreApplication::processEvents();  // the row goes once the menu has closed
    QCOMPARE(models->Cell(1, 1), QString("KFR-26GW"));
    QVERIFY(models->Cell(1, 2).isEmpty());
    QCOMPARE(models->Rows(), 2);
  }

  void closingTheModelMenuWithEscapeChangesNothing() {
    MainWindowFixture f;
    auto* models = f.window.findChild<ui::DataGrid*>("gridModels");
    QVERIFY(models->Rows() >= 1);
    const QRect cell = models->visualRect(models->model()->index(models->Rows() - 1, 0));
    QVERIFY(RightClickAndChoose(models->viewport(), cell.center(), QString()));
    // Leaving the cell the click put in editing closes its editor unchanged.
    f.window.findChild<QLineEdit*>("edtKeyword")->setFocus();
    QCoreApplication::processEvents();
    QVERIFY(!f.window.PictureModified());
    QVERIFY(!f.window.RecordModified());
    QVERIFY(!f.Action("actnSave")->isEnabled());
    // A real edit still counts.
    models->setItem(models->Rows() - 1, 0, new QTableWidgetItem("KFR-35GW"));
    QVERIFY(f.window.PictureModified());
  }

  void theShownRecordsRowIsAlwaysTheSelectedOne() {
    MainWindowFixture f;
    // At start-up.
    QCOMPARE(f.SelectedRows(), QList<int>{f.window.findChild<ui::LibraryGrid*>("gridLibrary")->CurrentRow()});
    QCOMPARE(f.IndexOfRow(f.SelectedRows().value(0)), f.window.CurrentIndex());
    const int shown = f.window.CurrentIndex();
    // After sorting, in both directions: the same record, its new row selected.
    for (int column : {2, 2, 4, 1}) {
      emit f.Library()->HeadingClicked(column);
      QCOMPARE(f.window.CurrentIndex(), shown);
      QCOMPARE(f.SelectedRows().size(), 1);
      QCOMPARE(f.IndexOfRow(f.SelectedRows()[0]), shown);
    }
    // Filtered out with nothing in the list: the record stays, no row is selected.
    f.Edit("edtKeyword")->setText("no-such-keyword-anywhere");
    QCOMPARE(f.window.CurrentIndex(), shown);
    QVERIFY(f.SelectedRows().isEmpty());
    // Back again: its row is selected again.
    f.Edit("edtKeyword")->setText("");
    QCOMPARE(f.IndexOfRow(f.SelectedRows().value(0)), shown);
  }

  void saveShowsTheStoredRecordInTheListAtOnce() {
    MainWindowFixture f;
    const int shown = f.window.CurrentIndex();
    const QString old_time = f.Library()->Cell(4, f.SelectedRows().value(0));
    QLineEdit* code = f.Edit("edtCodeNo");
    code->selectAll();
    QTest::keyClicks(code, "7777");
    f.window.SaveCommand();
    QVERIFY(!f.window.RecordModified());
    const int row = f.SelectedRows().value(0);
    QCOMPARE(f.IndexOfRow(row), shown);
    QCOMPARE(f.Library()->Cell(2, row), QString("7777"));
    QVERIFY(f.Library()->Cell(4, row) != old_time);
    QVERIFY(f.Library()->Cell(4, row).startsWith(QDate::currentDate().toString("yy-MM-dd")));
    f.Edit("edtKeyword")->setText("7777");
    QCOMPARE(f.Library()->Rows(), 1);
    QCOMPARE(f.IndexOfRow(1), shown);
  }

  void aCancelledFilterGivesBackWhatTheBoxHeld() {
    struct Case {
      QMessageBox::StandardButton answer;
      bool filtered;  // the keyword stays and the list is filtered
    };
    for (const Case& c : {Case{QMessageBox::Cancel, false}, Case{QMessageBox::No, true}}) {
      MainWindowFixture f;
      const int rows = f.Library()->Rows();
      const int shown = f.window.CurrentIndex();
      QTest::keyClicks(f.Edit("edtBrand"), "X");
      QVERIFY(f.window.RecordModified());
      f.prompts.answers = {c.answer};
      // Typing a keyword the shown record does not match: every letter reaches the box.
      QTest::keyClicks(f.Edit("edtKeyword"), "TCL");
      QCOMPARE(f.Edit("edtKeyword")->text(), QString("TCL"));
      QTRY_COMPARE(f.prompts.questions.size(), std::size_t{1});
      if (c.filtered) {
        QCOMPARE(f.Edit("edtKeyword")->text(), QString("TCL"));
        QCOMPARE(f.Library()->Rows(), 1);
        QCOMPARE(f.window.CurrentIndex(), f.IndexOfRow(1));
        QCOMPARE(f.SelectedRows(), QList<int>{1});
      } else {
        QCOMPARE(f.Edit("edtKeyword")->text(), QString());
        QCOMPARE(f.Library()->Rows(), rows);
        QCOMPARE(f.window.CurrentIndex(), shown);
        QVERIFY(f.window.RecordModified());
        QCOMPARE(f.IndexOfRow(f.SelectedRows().value(0)), shown);
      }
      QTest::qWait(50);
      QCOMPARE(f.prompts.questions.size(), std::size_t{1});  // asked once, not again
    }
  }

  void readOnlyLocksEveryEditorOfTheRecord() {
    MainWindowFixture f;
    const std::string brand = f.window.CurrentRecord().Brand.str();
    f.window.ToggleReadOnly();
    for (const char* name : {"edtBrand", "edtCodeNo"}) QVERIFY2(f.Edit(name)->isReadOnly(), name);
    QVERIFY(f.window.findChild<QPlainTextEdit*>("memoRecord")->isReadOnly());
    QVERIFY(f.window.findChild<ui::DataGrid*>("gridModels")->IsReadOnly());
    for (const char* name : {"mnuRenameKey", "mnuEditKeys", "mnuDeleteModel", "actSaveAs", "actnSave",
                             "mnuDeleteRecords", "mnuImport"})
      QVERIFY2(!f.Action(name)->isEnabled(), name);
    // Nor does Delete reach the library when it is called past its menu.
    const std::size_t records = f.workbench.library.Size();
    f.Library()->selectRow(0);
    f.prompts.answers = {QMessageBox::Yes};
    f.window.DeleteSelectedRecords();
    QCOMPARE(f.workbench.library.Size(), records);
    for (const char* name : {"btnLoadPicture", "btnClearPicture"})
      QVERIFY2(!f.window.findChild<QPushButton*>(name)->isEnabled(), name);
    // Typing reaches nothing, so nothing can be lost on the next record change.
    QTest::keyClicks(f.Edit("edtBrand"), "Q");
    QCOMPARE(f.window.CurrentRecord().Brand.str(), brand);
    QVERIFY(!f.window.RecordModified());
    // Off again: editable again.
    f.window.ToggleReadOnly();
    QVERIFY(!f.Edit("edtBrand")->isReadOnly());
    QVERIFY(f.window.findChild<QPushButton*>("btnLoadPicture")->isEnabled());
    for (const char* name : {"mnuDeleteRecords", "mnuImport"}) QVERIFY2(f.Action(name)->isEnabled(), name);
  }

  void statusBarMenuAndQuestionsSayWhatTheyAre() {
    MainWindowFixture f;
    auto* index = f.window.findChild<QLabel*>("lblStatusIndex");
    QCOMPARE(index->text(), QString("Library index %1").arg(f.window.CurrentIndex()));
    QVERIFY(f.Action("mnuMobileFile")->text().startsWith("Export"));
    f.Library()->selectRow(0);
    f.prompts.answers = {QMessageBox::No};
    f.window.DeleteSelectedRecords();
    QCOMPARE(f.prompts.question_captions, std::vector<QString>{"Question"});
    // The status bar follows a change of language.
    f.window.ChangeLanguage(1);
    QCOMPARE(index->text(), QString("库索引 %1").arg(f.window.CurrentIndex()));
    f.window.ChangeLanguage(0);
    QCOMPARE(index->text(), QString("Library index %1").arg(f.window.CurrentIndex()));
  }

  void exportSaysWhatItWrote() {
    MainWindowFixture f;
    f.Library()->selectRow(0);
    const QString target = QString::fromStdString((f.home.path() / "one.acpf").string());
    f.prompts.files = {target};
    f.window.ExportSelectedRecords();
    QVERIFY(QFile::exists(target));
    QCOMPARE(f.prompts.messages, std::vector<QString>{QString("Records exported: 1, to %1").arg(target)});
  }

  void tabLeavesTheMemoBox() {
    MainWindowFixture f;
    auto* memo = f.window.findChild<QPlainTextEdit*>("memoRecord");
    const QString text = memo->toPlainText();
    f.window.activateWindow();
    memo->setFocus();
    QVERIFY(QTest::qWaitFor([&] { return memo->hasFocus(); }));
    QTest::keyClick(memo, Qt::Key_Tab);
    QVERIFY(!memo->hasFocus());
    QCOMPARE(memo->toPlainText(), text);
    QVERIFY(!f.window.RecordModified());
  }

  void readOnlyAsksAboutChangesMadeBeforeIt() {
    MainWindowFixture f;
    QTest::keyClicks(f.Edit("edtBrand"), "Z");
    f.prompts.answers = {QMessageBox::Cancel};
    f.window.findChild<QAction*>("mnuReadOnly")->trigger();
    QCOMPARE(f.prompts.questions, std::vector<QString>{Lang(f.workbench, 18)});
    QVERIFY(!f.workbench.settings.ReadOnlyMode);
    QVERIFY(!f.window.findChild<QAction*>("mnuReadOnly")->isChecked());
    QVERIFY(!f.Edit("edtBrand")->isReadOnly());
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::MainWindowEditingTest)
#include "main_window_editing_test.moc"
