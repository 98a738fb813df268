#include "ui/standard_button_texts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <cstring>

#include "ui/ui_text.h"

namespace klimavo::ui {
namespace {

/// Qt's texts of the standard buttons and the language texts that replace them.
struct ButtonText {
  const char* qt_text;
  int number;
};
constexpr ButtonText kButtonTexts[] = {
    {"OK", 170},   {"Cancel", 171}, {"&Yes", 172},    {"&No", 173},  {"Close", 174},
    {"Save", 175}, {"Abort", 176},  {"Discard", 177}, {"Open", 178}, {"Apply", 179},
};

}  // namespace

StandardButtonTexts::StandardButtonTexts(const lang::Language& language, QObject* parent)
    : QTranslator(parent), language_(language) {
  has_qt_chinese_ = qt_chinese_.load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

QString StandardButtonTexts::translate(const char* context, const char* source_text,
                                       const char* disambiguation, int n) const {
  if (language_.LanguageNo() <= 1 || context == nullptr || source_text == nullptr) return {};
  if (std::strcmp(context, "QPlatformTheme") == 0) {
    for (const ButtonText& b : kButtonTexts) {
      if (std::strcmp(source_text, b.qt_text) != 0) continue;
      const std::string text = language_.Text(b.number);
      if (!text.empty()) return FromGbk(text);
    }
  }
  if (language_.IsChinese() && has_qt_chinese_)
    return qt_chinese_.translate(context, source_text, disambiguation, n);
  return {};
}

QFileDialog::Options FileDialogOptions() {
  // The desktop's dialog speaks the desktop's language, not the workbench's.
  const QString look_in = "Look in:";
  return QCoreApplication::translate("QFileDialog", "Look in:") == look_in ? QFileDialog::Options()
                                                                           : QFileDialog::DontUseNativeDialog;
}

}  // namespace klimavo::ui
