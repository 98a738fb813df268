#pragma once
// The application object of the workbench. An exception that a command lets
// escape into the event loop is shown as a message and the workbench carries
// on, instead of ending the program.

#include <QApplication>
#include <functional>

namespace klimavo::app {

class WorkbenchApplication : public QApplication {
  Q_OBJECT

 public:
  /// How an escaped error is shown (caption, the error's text, empty when it
  /// has none); a message box by default.
  using ErrorReporter = std::function<void(const QString& caption, const QString& text)>;

  WorkbenchApplication(int& argc, char** argv);
  void SetErrorReporter(ErrorReporter reporter) { reporter_ = std::move(reporter); }
  bool notify(QObject* receiver, QEvent* event) override;

 private:
  void Report(const QString& text);
  ErrorReporter reporter_;
  bool reporting_ = false;
};

}  // namespace klimavo::app
