#include "ui/ui_text.h"

#include "base/gbk.h"
#include "lang/language.h"

namespace klimavo::ui {

QString FromGbk(std::string_view gbk) { return QString::fromStdString(base::GbkToUtf8(gbk)); }

std::optional<std::string> ToGbk(const QString& text) { return base::Utf8ToGbk(text.toStdString()); }

QString LangText(const lang::Language& language, int number) { return FromGbk(language.Text(number)); }

}  // namespace klimavo::ui
