#include "app/workbench_application.h"

#include <QMessageBox>
#include <exception>

namespace klimavo::app {
namespace {

constexpr const char* kCaption = "Klimavo";

}  // namespace

WorkbenchApplication::WorkbenchApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool WorkbenchApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    Report(QString::fromStdString(e.what()));
  } catch (...) {
    Report(QString());
  }
  return false;
}

void WorkbenchApplication::Report(const QString& text) {
  // A message box runs its own event loop: an error while it is shown is not
  // reported on top of it.
  if (reporting_) return;
  reporting_ = true;
  if (reporter_) {
    reporter_(kCaption, text);
  } else {
    QMessageBox::critical(activeWindow(), kCaption,
                          text.isEmpty() ? QString("An unexpected error occurred.") : text);
  }
  reporting_ = false;
}

}  // namespace klimavo::app
