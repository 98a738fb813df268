#pragma once
// The texts Qt gives the standard buttons of message boxes, input boxes and
// button boxes ("OK", "Cancel", "&Yes", ...), taken from the language file so
// that a Chinese workbench does not ask its questions with English buttons.
// Qt's other texts (the labels of its file dialogs, ...) come, in Chinese, from
// Qt's own Chinese translation.

#include <QFileDialog>
#include <QTranslator>

#include "lang/language.h"

namespace klimavo::ui {

/// A translator for Qt's standard button texts. It reads the language's current
/// number at every look-up, so a change of language needs no reinstallation;
/// in English Qt's own texts (with their mnemonics) stay.
class StandardButtonTexts : public QTranslator {
  Q_OBJECT

 public:
  explicit StandardButtonTexts(const lang::Language& language, QObject* parent = nullptr);

  QString translate(const char* context, const char* source_text, const char* disambiguation = nullptr,
                    int n = -1) const override;
  bool isEmpty() const override { return false; }
  /// False when Qt's Chinese translation is not installed (Qt's texts then stay English).
  bool HasQtChinese() const { return has_qt_chinese_; }

 private:
  const lang::Language& language_;
  QTranslator qt_chinese_;
  bool has_qt_chinese_ = false;
};

/// The file dialog to use: Qt's own while Qt's texts are translated (it speaks
/// the workbench's language), the desktop's otherwise.
QFileDialog::Options FileDialogOptions();

}  // namespace klimavo::ui
