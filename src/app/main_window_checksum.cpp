// The main window's "Checksum assistant": the checksum analysis wizard over
// the current record.
#include <QAction>
#include <QMessageBox>

#include "app/device_session.h"
#include "app/main_window.h"
#include "ui/dialogs/checksum_wizard_dialog.h"

namespace klimavo::app {

void TfrmAirEditor::BuildChecksumCommands() {
  connect(actn_checked_, &QAction::triggered, this, &TfrmAirEditor::ChecksumAssistantCommand);
}

void TfrmAirEditor::ChecksumAssistantCommand() {
  // The wizard holds its capture slot for as long as it exists, also when it
  // ends by an error.
  ui::TfrmChechWizard wizard(session_.Record(), workbench_.language, workbench_.settings, workbench_.captures,
                             this);
  wizard.SetTell([this](QWidget* parent, const QString& caption, const QString& text) {
    prompts_.Tell(parent, caption, text);
  });
  wizard.SetAsk([this](QWidget* parent, const QString& caption, const QString& text) {
    return prompts_.Ask(parent, caption, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
  });
  // It opens the learner at long range; the near and far items of its
  // waveform menu switch the range while it is open.
  wizard.SetLearnModeHandler([this](int tag) {
    if (workbench_.device) workbench_.device->Manager().SetLearnMode(tag);
  });
  // However the wizard ends (OK, Esc, an error), the learner goes back to the
  // range it had before and the capture buttons follow it.
  struct RestoreLearnMode {
    TfrmAirEditor* window;
    device::TMyHIDUSBMange* manager;
    int mode;
    ~RestoreLearnMode() {
      if (manager != nullptr && manager->LearnMode() != mode) manager->SetLearnMode(mode);
      window->SyncCaptureButtons();
    }
  } restore{this, workbench_.device ? &workbench_.device->Manager() : nullptr,
            workbench_.device ? workbench_.device->Manager().LearnMode() : 0};
  prompts_.RunDialog(wizard);
  if (wizard.RecordChanged()) MarkRecordModified();
  ShowCurrentRecord();
}

}  // namespace klimavo::app
