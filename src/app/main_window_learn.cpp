// Tools ▸ Learn remote: the Learn remote window, fed with every capture while
// it is open, and the learned record stored in the library when it ends with
// "Add to library".
#include <QAction>
#include <QMenu>
#include <QStatusBar>

#include "app/main_window.h"
#include "base/date_time.h"
#include "lang/text_numbers.h"
#include "ui/dialogs/learn_remote_dialog.h"
#include "ui/ui_text.h"

namespace klimavo::app {

void TfrmAirEditor::BuildLearnCommand() {
  auto* tools = findChild<QMenu*>("mnuTools");
  auto* learn = new QAction(ui::LangText(workbench_.language, 320), this);
  learn->setObjectName("actLearnRemote");
  // Last in Tools, after the tool-bar commands and Update, which mirror the tool bar.
  tools->addSeparator();
  tools->addAction(learn);
  connect(learn, &QAction::triggered, this, &TfrmAirEditor::LearnRemoteCommand);
}

void TfrmAirEditor::LearnRemoteCommand() {
  ui::TfrmLearnRemote dialog(workbench_.language, workbench_.settings.DecodeTolerance,
                             workbench_.settings.Timing, this);
  bool accepted = false;
  {
    // The window takes the captures (and the pulse feed's) for exactly as long
    // as it exists; it holds the function wizard's slot, which is free while it is open.
    const device::CaptureRouter::Lease lease =
        workbench_.captures.Occupy(device::CaptureConsumer::FunctionWizard,
                                   [&dialog](const ir::TIRIntegerArr& durations, std::int32_t carrier) {
                                     dialog.CaptureReceived(durations, carrier);
                                   });
    accepted = prompts_.RunDialog(dialog) == QDialog::Accepted;
  }
  SyncCaptureButtons();
  if (!accepted || !dialog.Session().Result().made) return;
  store::EditableRecord learned = dialog.Session().Result().record;
  auto lock = BeginStoreWrite();
  if (!lock) return;
  try {
    learned.record.CodeNo.assign(workbench_.library.NextCodeNumber());
    learned.record.ChangeTime = base::NowAsDateTime();
    const int index = workbench_.library.StoreRecord(learned.record, learned.bit_lines, -1);
    lock.reset();
    statusBar()->showMessage(ui::LangText(workbench_.language, 339).arg(index));
  } catch (const std::exception& e) {
    lock.reset();  // no message box while other programs wait for the files
    prompts_.Tell(this, ui::LangText(workbench_.language, lang::kTextInformation),
                  QString::fromStdString(e.what()));
  }
  RefreshLibraryListKeepingRecord();
}

}  // namespace klimavo::app
