#pragma once
// The texts Qt gives the standard buttons of message boxes, input boxes and
// button boxes ("OK", "Cancel", "&Yes", ...), taken from the language file so
// that a Chinese workbench does not ask its questions with English buttons.

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

 private:
  const lang::Language& language_;
};

}  // namespace klimavo::ui
