// The key editor window: its limits (8 keys, at least 2 states, the last key
// kept while two remain), adding a key from the last row, and OK.
#include <QTest>
#include <QToolButton>

#include "gui_test_support.h"
#include "store/library.h"
#include "ui/dialogs/key_editor_dialog.h"
#include "ui/widgets/data_grid.h"

namespace klimavo::ui {
namespace {

store::TdiskAir RecordWithKeys(int keys) {
  store::TdiskAir record;
  record.KeyCount = static_cast<std::uint8_t>(keys);
  for (int k = 0; k < keys; ++k) {
    record.Keys[static_cast<std::size_t>(k)].Name.assign("Key" + std::to_string(k));
    record.Keys[static_cast<std::size_t>(k)].StateCount = 2;
    record.Keys[static_cast<std::size_t>(k)].StateNames[0].assign("a");
    record.Keys[static_cast<std::size_t>(k)].StateNames[1].assign("b");
  }
  return record;
}

struct Editor {
  explicit Editor(int keys)
      : home(false),
        language(home.path(), 1),
        editor(RecordWithKeys(keys), language, home.path() / "data", Messages()) {
    editor.show();
    QCoreApplication::processEvents();
  }
  DialogMessages Messages() {
    DialogMessages m;
    m.tell = [this](QWidget* parent, const QString& caption, const QString& text) {
      prompts.Tell(parent, caption, text);
    };
    m.input = [this](QWidget* parent, const QString& caption, const QString& prompt, const QString& value) {
      ++inputs_asked;
      return prompts.InputText(parent, caption, prompt, value);
    };
    return m;
  }
  void Type(DataGrid* grid, int column, int row, const QString& text) {
    grid->item(row - 1, column - 1)->setText(text);
  }

  testing::TestHome home;
  lang::Language language;
  testing::ScriptedPrompts prompts;
  int inputs_asked = 0;
  TfrmStatusEditor editor;
};

}  // namespace

class KeyEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void eightKeysAreTheMost() {
    Editor e(8);
    QVERIFY(!e.editor.findChild<QToolButton*>("btnAddKey")->isEnabled());
    e.editor.AddKey();
    QCOMPARE(e.inputs_asked, 0);
    QCOMPARE(e.editor.Record().KeyCount, std::uint8_t{8});
    e.editor.KeyGrid()->SetCurrentRow(8);
    QTest::keyClick(e.editor.KeyGrid(), Qt::Key_Down);
    QCOMPARE(e.inputs_asked, 0);
    QCOMPARE(e.editor.KeyGrid()->Rows(), 8);
  }

  void downOnTheLastRowAddsAKey() {
    Editor e(3);
    e.prompts.inputs.push_back(QString("Swing"));
    e.editor.KeyGrid()->SetCurrentRow(3);
    QTest::keyClick(e.editor.KeyGrid(), Qt::Key_Down);
    QCOMPARE(e.inputs_asked, 1);
    // The box says what it asks for.
    QCOMPARE(e.prompts.input_boxes.back(),
             std::make_pair(QString("New key"), QString("Name of the new key:")));
    QCOMPARE(e.editor.KeyGrid()->Rows(), 4);
    QCOMPARE(e.editor.KeyGrid()->Cell(1, 4), QString("Swing"));
    QCOMPARE(e.editor.KeyGrid()->Cell(2, 4), QString("0"));
    QCOMPARE(e.editor.StateGrid()->Rows(), 0);
  }

  void aStateCountBelowTwoIsRefusedAndTheOldCountStays() {
    Editor e(3);
    e.Type(e.editor.KeyGrid(), 2, 2, "1");
    QCOMPARE(e.prompts.messages.back(), QString("A key needs at least 2 states."));
    QCOMPARE(e.editor.KeyGrid()->Cell(2, 2), QString("2"));
    QCOMPARE(e.editor.Record().Keys[1].StateCount, std::uint8_t{2});
    e.Type(e.editor.KeyGrid(), 2, 1, "4");
    QCOMPARE(e.editor.Record().Keys[0].StateCount, std::uint8_t{4});
    QCOMPARE(e.editor.StateGrid()->Rows(), 4);
  }

  void theLastKeyStaysWhileTwoRemain() {
    Editor e(3);
    e.editor.RemoveLastKey();
    QCOMPARE(e.editor.KeyGrid()->Rows(), 2);
    QVERIFY(e.prompts.messages.empty());
    e.editor.RemoveLastKey();
    QCOMPARE(e.prompts.messages.back(),
             QString("A record keeps at least 2 keys: the last one cannot be removed."));
    QCOMPARE(e.editor.KeyGrid()->Rows(), 2);
  }

  void okNeedsNamedStatesAndWritesTheTemplate() {
    Editor e(2);
    e.Type(e.editor.KeyGrid(), 2, 2, "3");
    e.editor.AcceptKeys();
    QCOMPARE(e.prompts.messages.back(), QString("A name must not be empty."));
    QCOMPARE(e.editor.result(), int(QDialog::Rejected));
    QCOMPARE(e.editor.KeyGrid()->CurrentRow(), 2);
    QCOMPARE(e.editor.StateGrid()->CurrentRow(), 3);
    QVERIFY(!std::filesystem::exists(e.home.path() / "data" / store::kTemplateFileName));
    e.Type(e.editor.StateGrid(), 1, 3, "c");
    e.editor.AcceptKeys();
    QCOMPARE(e.editor.result(), int(QDialog::Accepted));
    store::TdiskAir saved;
    QVERIFY(store::LoadTemplate(e.home.path() / "data", saved));
    QCOMPARE(saved.Keys[1].StateNames[2].str(), std::string("c"));
  }
};

}  // namespace klimavo::ui

QTEST_MAIN(klimavo::ui::KeyEditorTest)
#include "key_editor_test.moc"
