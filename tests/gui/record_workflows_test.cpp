// The record workflows of the main window through the simulated learner: New
// from a capture to a record in the library file, Save as, Edit keys, Modify
// format, and the texts a user types.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidgetItem>
#include <QTest>

#include "device/packet_encoder.h"
#include "record_workflow_support.h"
#include "store/library.h"
#include "ui/dialogs/format_chooser_dialog.h"
#include "ui/dialogs/function_wizard_dialog.h"
#include "ui/dialogs/key_editor_dialog.h"
#include "ui/waveview/wave_show.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/library_grid.h"
#include "workflow/new_record.h"
#include "workflow/text_fields.h"

namespace klimavo::app {
namespace {

using testing::WaitFor;
using testing::WorkbenchFixture;

// Types a text into a grid cell as the user does: the cell's end of edit fires.
void TypeCell(ui::DataGrid* grid, int column, int row, const QString& text) {
  QTableWidgetItem* item = grid->item(row - 1, column - 1);
  if (!item) {
    grid->setItem(row - 1, column - 1, new QTableWidgetItem);
    item = grid->item(row - 1, column - 1);
  }
  item->setText(text);
}

store::ProtocolLibrary LibraryOnDisk(const std::filesystem::path& home) {
  store::ProtocolLibrary library(home / "data" / store::kLibraryFileName);
  library.Load();
  return library;
}

// Presses the simulated remote's key in the chooser and waits for the decode.
bool CaptureInto(ui::TfrmGeShiSelect& chooser, int decodes_before) {
  QTest::keyClick(&chooser, kSimulatedKeyShortcut);
  return WaitFor([&] {
    return chooser.Decoded() && !chooser.SummaryMemo()->toPlainText().isEmpty() &&
           chooser.Model().LastCapture().size() > 0 && decodes_before >= 0;
  });
}

}  // namespace

class RecordWorkflowsTest : public QObject {
  Q_OBJECT

 private slots:
  void newRecordFromACaptureEndsInTheLibraryFile() {
    WorkbenchFixture f;
    bool editor_ok = false;
    bool chooser_ok = false;
    ir::TIRGsPara accepted_timing;
    f.prompts.dialogs.push_back([&](QDialog& dialog) {
      auto& editor = dynamic_cast<ui::TfrmStatusEditor&>(dialog);
      editor.show();
      editor_ok = editor.windowTitle() == f.Text(43) && editor.KeyGrid()->Rows() == 6;
      TypeCell(editor.KeyGrid(), 1, 6, "Louvre");  // rename key 5
      TypeCell(editor.KeyGrid(), 2, 6, "3");       // three states
      editor.KeyGrid()->SetCurrentRow(6);
      TypeCell(editor.StateGrid(), 1, 1, "Up");
      TypeCell(editor.StateGrid(), 1, 2, "Middle");
      TypeCell(editor.StateGrid(), 1, 3, "Down");
      QTest::qWait(50);
      editor.grab().save(testing::ScreenshotDir() + "/key-editor.png");
      editor.AcceptKeys();
      return editor.result();
    });
    f.prompts.dialogs.push_back([&](QDialog& dialog) {
      auto& chooser = dynamic_cast<ui::TfrmGeShiSelect&>(dialog);
      chooser.show();
      const bool next_disabled_first = !chooser.NextButton()->isEnabled();
      chooser_ok = next_disabled_first && CaptureInto(chooser, 0) && chooser.NextButton()->isEnabled() &&
                   f.window->FormatChooser() == &chooser;
      QTest::qWait(50);
      chooser.grab().save(testing::ScreenshotDir() + "/format-chooser-decoded.png");
      accepted_timing = chooser.Result().Params;
      chooser.NextClicked();
      return chooser.result();
    });
    // The function wizard follows; the user looks at it and closes it before pressing a key.
    bool wizard_shown = false;
    f.prompts.dialogs.push_back([&](QDialog& dialog) {
      auto& wizard = dynamic_cast<ui::TfrmWizard&>(dialog);
      wizard.show();
      wizard_shown = QTest::qWaitForWindowExposed(&wizard);
      wizard.reject();
      return wizard.result();
    });
    f.window->findChild<QAction*>("actnNew")->trigger();
    QVERIFY(editor_ok);
    QVERIFY(chooser_ok);
    QVERIFY(wizard_shown);
    // The decoded format outlives the wizard: the record can be analysed further.
    QVERIFY(f.window->findChild<QAction*>("actAutoWizard")->isEnabled());
    QVERIFY(f.window->FormatChooser() == nullptr);
    QVERIFY(!f.workbench.captures.Occupied(device::CaptureConsumer::FormatChooser));

    const store::TdiskAir& record = f.window->CurrentRecord();
    QCOMPARE(f.window->CurrentIndex(), -1);
    QCOMPARE(record.Brand.str(), std::string("New File"));
    QCOMPARE(record.CodeNo.str(), std::string("0107"));
    QCOMPARE(record.Slots[0].Text.str(), std::string("<0><1>[32]<2><3><4>"));  // Admiral "Fan_2"
    QCOMPARE(record.Keys[5].Name.str(), std::string("Louvre"));
    QVERIFY(std::filesystem::exists(f.home.path() / "data" / store::kTemplateFileName));
    QAction* save = f.window->findChild<QAction*>("actnSave");
    QVERIFY(save->isEnabled());
    save->trigger();
    QVERIFY(!f.window->RecordModified());

    // Reopened from disk, the library holds the record as it was made.
    const store::ProtocolLibrary library = LibraryOnDisk(f.home.path());
    const int index = library.IndexOfCode("0107");
    QVERIFY(index >= 0);
    QCOMPARE(index, f.window->CurrentIndex());
    const store::TdiskAir& stored = library.Records()[static_cast<std::size_t>(index)].Record;
    QCOMPARE(stored.Slots[0].Text.str(), std::string("<0><1>[32]<2><3><4>"));
    QCOMPARE(stored.Slots[0].Code[0], std::uint8_t{0x20});
    QVERIFY(stored.Params == accepted_timing);
    QVERIFY(std::abs(stored.Params.Carrier - 38000) < 380);  // the press's own carrier
    QCOMPARE(stored.Keys[5].StateNames[2].str(), std::string("Down"));
  }

  // A press longer than a learner's packet (two frames of 144 bits) makes in
  // the workbench the very record `library new --from-capture` makes of it.
  void newOnALongPressMakesTheRecordLibraryNewMakes() {
    testing::TestHome home(true);
    app::Workbench workbench(home.path());
    testing::ScriptedPrompts prompts;
    app::DeviceSessionOptions options = testing::FastSimulatedLearner();
    capture::CaptureRead long_press = options.captures.front();
    long_press.carrier = 38000;
    long_press.durations.clear();
    for (int frame = 0; frame < 2; ++frame) {
      long_press.durations.insert(long_press.durations.end(), {9000, -4500});
      for (int bit = 0; bit < 144; ++bit)
        long_press.durations.insert(long_press.durations.end(), {560, (bit * 7) % 3 == 0 ? -1690 : -560});
      long_press.durations.insert(long_press.durations.end(), {560, -20000});
    }
    long_press.durations.pop_back();
    QVERIFY(long_press.durations.size() > device::MaxPacketLevels(options.simulated.model));
    options.captures = {long_press};
    app::DeviceSession device(options);
    workbench.device = &device;
    TfrmAirEditor window(workbench, prompts);
    window.show();
    QCoreApplication::processEvents();

    prompts.dialogs.push_back([](QDialog& dialog) {
      dynamic_cast<ui::TfrmStatusEditor&>(dialog).AcceptKeys();
      return dialog.result();
    });
    prompts.dialogs.push_back([](QDialog& dialog) {
      auto& chooser = dynamic_cast<ui::TfrmGeShiSelect&>(dialog);
      chooser.show();
      if (!CaptureInto(chooser, 0)) return int(QDialog::Rejected);
      chooser.NextClicked();
      return chooser.result();
    });
    prompts.dialogs.push_back([](QDialog& dialog) {
      dialog.reject();
      return dialog.result();
    });
    window.NewCommand();
    QCOMPARE(window.CurrentIndex(), -1);
    const store::TdiskAir& made = window.CurrentRecord();
    QCOMPARE(made.Slots[0].Text.str(), std::string("(<0>[144]<1>)*2"));
    QCOMPARE(int(made.Params.Carrier), 38000);

    workflow::NewRecordRequest request;
    request.capture = capture::ToCapture(long_press);
    request.decode_tolerance = workbench.settings.DecodeTolerance;
    request.now = made.ChangeTime;
    const workflow::NewRecordResult cli =
        workflow::NewRecordFromCapture(workbench.library, workbench.DataDir(), request);
    QVERIFY(cli.ok());
    QVERIFY(cli.record.ToImage() == made.ToImage());
  }

  void anUnsavedNewRecordIsAskedAboutBeforeItIsLeft() {
    WorkbenchFixture f;
    f.prompts.dialogs.push_back([](QDialog& dialog) {
      dynamic_cast<ui::TfrmStatusEditor&>(dialog).AcceptKeys();
      return dialog.result();
    });
    f.prompts.dialogs.push_back([](QDialog& dialog) {
      auto& chooser = dynamic_cast<ui::TfrmGeShiSelect&>(dialog);
      chooser.show();
      if (!CaptureInto(chooser, 0)) return int(QDialog::Rejected);
      chooser.NextClicked();
      return chooser.result();
    });
    f.window->NewCommand();
    QCOMPARE(f.window->CurrentIndex(), -1);
    const int size = f.workbench.library.Size();
    f.prompts.answers.push_back(QMessageBox::Cancel);
    auto* library = f.window->findChild<ui::LibraryGrid*>("gridLibrary");
    library->SetCurrentRow(library->CurrentRow() == 1 ? 2 : 1);
    QCOMPARE(f.prompts.questions.size(), std::size_t{1});
    QCOMPARE(f.prompts.questions.back(), f.Text(18));
    QCOMPARE(f.window->CurrentIndex(), -1);
    f.prompts.answers.push_back(QMessageBox::Yes);
    library->SetCurrentRow(library->CurrentRow() == 1 ? 2 : 1);
    QCOMPARE(LibraryOnDisk(f.home.path()).Size(), size + 1);
    QVERIFY(f.window->CurrentIndex() >= 0);
  }

  void newEndsWithoutARecordWhenTheChooserIsCancelled() {
    WorkbenchFixture f;
    const store::TdiskAir shown = f.window->CurrentRecord();
    f.prompts.dialogs.push_back([](QDialog& dialog) {
      dynamic_cast<ui::TfrmStatusEditor&>(dialog).AcceptKeys();
      return dialog.result();
    });
    f.prompts.dialogs.push_back([](QDialog&) { return int(QDialog::Rejected); });
    f.window->NewCommand();
    QVERIFY(f.window->CurrentRecord() == shown);
    QVERIFY(!f.workbench.captures.Occupied(device::CaptureConsumer::FormatChooser));
  }

  void saveAsWithAnUnchangedCodeIsRefused() {
    WorkbenchFixture f;
    const int shown = f.window->CurrentIndex();
    QVERIFY(shown >= 0);
    const int size = f.workbench.library.Size();
    f.window->SaveAsCommand();
    QCOMPARE(f.prompts.messages.back(), f.Text(68));
    QCOMPARE(f.window->CurrentIndex(), shown);
    QCOMPARE(LibraryOnDisk(f.home.path()).Size(), size);

    auto* code = f.window->findChild<QLineEdit*>("edtCodeNo");
    code->setText("0777");
    emit code->textEdited("0777");
    f.window->SaveAsCommand();
    QCOMPARE(f.window->CurrentIndex(), size);
    QCOMPARE(LibraryOnDisk(f.home.path()).IndexOfCode("0777"), size);
    QCOMPARE(LibraryOnDisk(f.home.path())
                 .IndexOfCode(f.workbench.library.Records()[std::size_t(shown)].Record.CodeNo.str()),
             shown);
  }

  void editKeysCopiesBackNamesAndStates() {
    WorkbenchFixture f;
    const store::TdiskAir before = f.window->CurrentRecord();
    f.prompts.dialogs.push_back([](QDialog& dialog) {
      auto& editor = dynamic_cast<ui::TfrmStatusEditor&>(dialog);
      TypeCell(editor.KeyGrid(), 1, 1, "Power!");
      editor.AcceptKeys();
      return editor.result();
    });
    f.window->findChild<QAction*>("mnuEditKeys")->trigger();
    QCOMPARE(f.window->CurrentRecord().Keys[0].Name.str(), std::string("Power!"));
    QVERIFY(f.window->CurrentRecord().Keys[0].Columns == before.Keys[0].Columns);
    QVERIFY(f.window->RecordModified());
  }

  void modifyFormatReplacesASlot() {
    WorkbenchFixture f;
    const store::TdiskAir before = f.window->CurrentRecord();
    QVERIFY(!before.Slots[0].Text.empty());
    QAction* modify = f.window->findChild<QAction*>("actnReGeshi");
    QVERIFY(modify->isEnabled());
    bool shown_ok = false;
    f.prompts.dialogs.push_back([&](QDialog& dialog) {
      auto& chooser = dynamic_cast<ui::TfrmGeShiSelect&>(dialog);
      chooser.show();
      shown_ok = chooser.findChild<QWidget*>("pnlEdit")->isVisible() && chooser.NextButton()->isEnabled() &&
                 chooser.NextButton()->text() == f.Text(38) &&
                 chooser.ProtocolGrid()->Cell(2, 1).toStdString() == before.Slots[0].Text.str();
      TypeCell(chooser.ProtocolGrid(), 2, 1, "<0>[40]<1>");
      QTest::qWait(50);
      chooser.grab().save(testing::ScreenshotDir() + "/format-chooser-edit.png");
      chooser.NextClicked();
      return chooser.result();
    });
    modify->trigger();
    QVERIFY(shown_ok);
    QCOMPARE(f.window->CurrentRecord().Slots[0].Text.str(), std::string("<0>[40]<1>"));
    QVERIFY(f.window->CurrentRecord().Slots[0].Code == before.Slots[0].Code);
    QVERIFY(f.window->CurrentRecord().Params == before.Params);
    QVERIFY(f.window->RecordModified());

    // A capture replaces the timing and the first frame; the other frames stay.
    f.prompts.dialogs.push_back([&](QDialog& dialog) {
      auto& chooser = dynamic_cast<ui::TfrmGeShiSelect&>(dialog);
      chooser.show();
      if (!CaptureInto(chooser, 0)) return int(QDialog::Rejected);
      chooser.NextClicked();
      return chooser.result();
    });
    modify->trigger();
    QCOMPARE(f.window->CurrentRecord().Slots[0].Text.str(), std::string("<0><1>[32]<2><3><4>"));
    QCOMPARE(f.window->CurrentRecord().Params.Split[0][0], 8983);
    for (std::size_t s = 1; s < store::kFormatSlots; ++s)
      QCOMPARE(f.window->CurrentRecord().Slots[s].Text.str(), before.Slots[s].Text.str());
  }

  void theChooserCancelledLeavesTheRecordAsItWas() {
    WorkbenchFixture f;
    const store::TdiskAir before = f.window->CurrentRecord();
    f.prompts.dialogs.push_back([&](QDialog& dialog) {
      auto& chooser = dynamic_cast<ui::TfrmGeShiSelect&>(dialog);
      chooser.show();
      CaptureInto(chooser, 0);
      return int(QDialog::Rejected);
    });
    f.window->ModifyFormat();
    QVERIFY(f.window->CurrentRecord() == before);
    QVERIFY(!f.window->RecordModified());
  }

  void typedTextsWithoutAGbkFormAreRefusedByField() {
    WorkbenchFixture f;
    const store::TdiskAir before = f.window->CurrentRecord();
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
    struct Case {
      const char* edit;
      workflow::TextField field;
    } cases[] = {{"edtBrand", workflow::TextField::Brand}, {"edtCodeNo", workflow::TextField::CodeNo}};
    for (const Case& c : cases) {
      auto* edit = f.window->findChild<QLineEdit*>(c.edit);
      const QString shown = edit->text();
      edit->setText(shown + smile);
      emit edit->textEdited(shown + smile);
      QCOMPARE(f.prompts.messages.back(),
               QString::fromStdString(workflow::NotGbkMessage(f.workbench.language, c.field)));
      QCOMPARE(edit->text(), shown);
    }
    auto* memo = f.window->findChild<QPlainTextEdit*>("memoRecord");
    const QString memo_shown = memo->toPlainText();
    memo->setPlainText("Memo " + smile);
    QCOMPARE(f.prompts.messages.back(), QString::fromStdString(workflow::NotGbkMessage(
                                            f.workbench.language, workflow::TextField::Memo)));
    QCOMPARE(memo->toPlainText(), memo_shown);
    QVERIFY(f.window->CurrentRecord() == before);
    QVERIFY(!f.window->RecordModified());

    f.prompts.inputs.push_back(smile);
    f.window->RenameKey();
    QCOMPARE(f.prompts.messages.back(), QString::fromStdString(workflow::NotGbkMessage(
                                            f.workbench.language, workflow::TextField::KeyName)));
    QVERIFY(f.window->CurrentRecord() == before);
  }
};

}  // namespace klimavo::app

QTEST_MAIN(klimavo::app::RecordWorkflowsTest)
#include "record_workflows_test.moc"
