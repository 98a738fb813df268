#include "ui/dialogs/dialog_messages.h"

#include <QInputDialog>
#include <QMessageBox>

namespace klimavo::ui {

void DialogMessages::Tell(QWidget* parent, const QString& caption, const QString& text) const {
  if (tell) {
    tell(parent, caption, text);
  } else {
    QMessageBox::information(parent, caption, text);
  }
}

std::optional<QString> DialogMessages::Input(QWidget* parent, const QString& caption, const QString& prompt,
                                             const QString& value) const {
  if (input) return input(parent, caption, prompt, value);
  bool ok = false;
  const QString text = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, value, &ok);
  if (!ok) return std::nullopt;
  return text;
}

}  // namespace klimavo::ui
