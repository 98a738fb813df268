#include "app/user_prompts.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QPushButton>
#include <algorithm>
#include <vector>

#include "ui/standard_button_texts.h"

namespace klimavo::app {

int UserPrompts::RunDialog(QDialog& dialog) { return dialog.exec(); }

QMessageBox::StandardButton DialogPrompts::Ask(QWidget* parent, const QString& caption, const QString& text,
                                               QMessageBox::StandardButtons buttons) {
  return QMessageBox::question(parent, caption, text, buttons);
}

void DialogPrompts::Tell(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox::information(parent, caption, text);
}

int UserPrompts::Choose(QWidget* parent, const QString& caption, const QString& text,
                        const QStringList& buttons) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parent);
  std::vector<QAbstractButton*> added;
  for (int i = 0; i < buttons.size(); ++i) {
    const bool last = i + 1 == buttons.size();
    added.push_back(box.addButton(buttons[i], last ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
  }
  if (!added.empty()) box.setEscapeButton(added.back());
  box.exec();
  const auto chosen = std::find(added.begin(), added.end(), box.clickedButton());
  return chosen == added.end() ? static_cast<int>(buttons.size()) - 1
                               : static_cast<int>(chosen - added.begin());
}

std::optional<QString> DialogPrompts::OpenFile(QWidget* parent, const QString& caption,
                                               const QString& filter) {
  const QString file =
      QFileDialog::getOpenFileName(parent, caption, QString(), filter, nullptr, ui::FileDialogOptions());
  if (file.isEmpty()) return std::nullopt;
  return file;
}

std::optional<QString> DialogPrompts::SaveFile(QWidget* parent, const QString& caption, const QString& filter,
                                               const QString& suffix) {
  QFileDialog dialog(parent, caption, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOptions(ui::FileDialogOptions());
  dialog.setDefaultSuffix(suffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

std::optional<QString> DialogPrompts::InputText(QWidget* parent, const QString& caption,
                                                const QString& prompt, const QString& value) {
  bool ok = false;
  const QString text = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, value, &ok);
  if (!ok) return std::nullopt;
  return text;
}

}  // namespace klimavo::app
