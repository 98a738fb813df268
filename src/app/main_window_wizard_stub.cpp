// Replaced by the function analysis wizard.
#include "app/main_window.h"

namespace klimavo::app {

void TfrmAirEditor::AssistantAnalyserCommand() {}

}  // namespace klimavo::app
