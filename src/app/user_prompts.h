#pragma once
// The questions and messages the windows put to the user. The workbench uses
// the real dialogs; tests hand in scripted answers, so every path of a command
// can be driven without a modal loop.

#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <optional>

namespace klimavo::app {

class UserPrompts {
 public:
  virtual ~UserPrompts() = default;
  virtual QMessageBox::StandardButton Ask(QWidget* parent, const QString& caption, const QString& text,
                                          QMessageBox::StandardButtons buttons) = 0;
  virtual void Tell(QWidget* parent, const QString& caption, const QString& text) = 0;
  virtual std::optional<QString> OpenFile(QWidget* parent, const QString& caption, const QString& filter) = 0;
  virtual std::optional<QString> SaveFile(QWidget* parent, const QString& caption, const QString& filter,
                                          const QString& suffix) = 0;
  virtual std::optional<QString> InputText(QWidget* parent, const QString& caption, const QString& prompt,
                                           const QString& value) = 0;
  /// Runs a modal dialog and returns its result (QDialog::Accepted or Rejected).
  virtual int RunDialog(QDialog& dialog);
  /// A question answered by one of `buttons` (the last one cancels); returns
  /// the index of the button chosen, the last one when the box is closed. The
  /// real dialog unless a subclass answers.
  virtual int Choose(QWidget* parent, const QString& caption, const QString& text,
                     const QStringList& buttons);
};

/// The real dialogs.
class DialogPrompts : public UserPrompts {
 public:
  QMessageBox::StandardButton Ask(QWidget* parent, const QString& caption, const QString& text,
                                  QMessageBox::StandardButtons buttons) override;
  void Tell(QWidget* parent, const QString& caption, const QString& text) override;
  std::optional<QString> OpenFile(QWidget* parent, const QString& caption, const QString& filter) override;
  std::optional<QString> SaveFile(QWidget* parent, const QString& caption, const QString& filter,
                                  const QString& suffix) override;
  std::optional<QString> InputText(QWidget* parent, const QString& caption, const QString& prompt,
                                   const QString& value) override;
};

}  // namespace klimavo::app
