// klimavo: the Qt workbench.
#include <QApplication>

#include "app/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  klimavo::app::TfrmAirEditor window;
  window.show();
  return QApplication::exec();
}
