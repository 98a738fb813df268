#include "app/user_prompts.h"

#include <QFileDialog>
#include <QInputDialog>

namespace klimavo::app {

int UserPrompts::RunDialog(QDialog& dialog) { return dialog.exec(); }

QMessageBox::StandardButton DialogPrompts::Ask(QWidget* parent, const QString& caption, const QString& text,
                                               QMessageBox::StandardButtons buttons) {
  return QMessageBox::question(parent, caption, text, buttons);
}

void DialogPrompts::Tell(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox::information(parent, caption, text);
}

std::optional<QString> DialogPrompts::OpenFile(QWidget* parent, const QString& caption, const QString& filter) {
  const QString file = QFileDialog::getOpenFileName(parent, caption, QString(), filter);
  if (file.isEmpty()) return std::nullopt;
  return file;
}

std::optional<QString> DialogPrompts::SaveFile(QWidget* parent, const QString& caption, const QString& filter,
                                               const QString& suffix) {
  QFileDialog dialog(parent, caption, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

std::optional<QString> DialogPrompts::InputText(QWidget* parent, const QString& caption, const QString& prompt,
                                                const QString& value) {
  bool ok = false;
  const QString text = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, value, &ok);
  if (!ok) return std::nullopt;
  return text;
}

}  // namespace klimavo::app
