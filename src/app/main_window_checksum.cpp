// The main window's "Checksum assistant": the checksum analysis wizard over
// the current record.
#include <QAction>

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
  ui::TfrmChechWizard wizard(current_record_, workbench_.language, workbench_.settings, workbench_.captures,
                             this);
  wizard.SetTell([this](QWidget* parent, const QString& caption, const QString& text) {
    prompts_.Tell(parent, caption, text);
  });
  // It opens the learner at long range; the near and far items of its
  // waveform menu switch the range.
  wizard.SetLearnModeHandler([this](int tag) {
    if (workbench_.device) workbench_.device->Manager().SetLearnMode(tag);
  });
  // The capture buttons follow the learn mode however the wizard ends.
  struct SyncButtons {
    TfrmAirEditor* window;
    ~SyncButtons() { window->SyncCaptureButtons(); }
  } sync{this};
  prompts_.RunDialog(wizard);
  if (wizard.RecordChanged()) MarkRecordModified();
  ShowCurrentRecord();
}

}  // namespace klimavo::app
