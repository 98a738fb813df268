#include "app/main_window.h"

namespace klimavo::app {

TfrmAirEditor::TfrmAirEditor(QWidget* parent) : QMainWindow(parent) {
  setObjectName("frmAirEditor");
  setWindowTitle("Klimavo Protocols Analyser V2.01");
  resize(1047, 569);
}

}  // namespace klimavo::app
