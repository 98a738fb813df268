#pragma once
// The wait message: a small always-on-top notice ("Infomation", "Please
// wait...") shown while the workbench is busy, e.g. while a learner packet is
// decoded or the library is rewritten. One window for the whole program,
// created on first use and owned by the application.

#include <QDialog>

#include "lang/language.h"

class QLabel;

namespace klimavo::ui {

inline constexpr const char* kWaitMessageDefaultText = "Please wait...";

class Tfrmmsg : public QDialog {
  Q_OBJECT

 public:
  explicit Tfrmmsg(QWidget* parent = nullptr);
  void SetText(const QString& text);
  QString Text() const;

 private:
  QLabel* label_ = nullptr;
};

/// The language the notice's caption follows while `owner` exists (the main
/// window and its workbench's language); without one it keeps its built-in caption.
void SetWaitMessageLanguage(const lang::Language* language, QObject* owner);
/// Shows the notice with `text` at once (the window is created on first use).
void ShowWaitMessage(const QString& text);
/// Hides the notice when it is shown.
void HideWaitMessage();
/// The notice window, or nullptr before its first use (for tests).
Tfrmmsg* WaitMessageWindow();

/// Shows the notice for the lifetime of the scope, also when an exception leaves it.
class WaitMessageScope {
 public:
  explicit WaitMessageScope(const QString& text = kWaitMessageDefaultText) { ShowWaitMessage(text); }
  ~WaitMessageScope() { HideWaitMessage(); }
  WaitMessageScope(const WaitMessageScope&) = delete;
  WaitMessageScope& operator=(const WaitMessageScope&) = delete;
};

}  // namespace klimavo::ui
