#pragma once
// The one place where the workbench's GBK texts become Qt strings and back:
// records and language files hold GBK bytes, Qt widgets hold QString.

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace klimavo::lang {
class Language;
}

namespace klimavo::ui {

/// A GBK text as a Qt string (bytes GBK cannot read become U+FFFD).
QString FromGbk(std::string_view gbk);
/// A Qt string as GBK; nullopt when it has a character GBK lacks.
std::optional<std::string> ToGbk(const QString& text);
/// Language text `number` of the current language as a Qt string.
QString LangText(const lang::Language& language, int number);

}  // namespace klimavo::ui
