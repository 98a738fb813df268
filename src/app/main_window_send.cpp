// The Send command: the current record's code through a kernel IR transmitter.
#include "app/main_window.h"
#include "app/send_dialog.h"
#include "workflow/record_sender.h"

namespace klimavo::app {

void TfrmAirEditor::SendCommand() {
  workflow::RecordSender sender(session_.Record(), session_.Lines(), workbench_.settings.Timing);
  SendDialog dialog(std::move(sender), workflow::LircTransmitters(), workbench_.language, this);
  prompts_.RunDialog(dialog);
}

}  // namespace klimavo::app
