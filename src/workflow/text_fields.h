#pragma once
// The record's texts as the user types them: UTF-8 in the windows, GBK in the
// record. A text with a character that GBK cannot hold is refused with a
// message that names the field; it is never stored as an empty text.

#include <optional>
#include <string>
#include <string_view>

#include "lang/language.h"

namespace klimavo::workflow {

/// The fields a user types into, each with the language text that names it.
enum class TextField { Brand, CodeNo, Memo, KeyName, StateName };

inline constexpr int kTextNotGbk = 70;
/// A cell or count that is not a whole number within its range.
inline constexpr int kTextNumberOutOfRange = 76;
/// Language text that names the field (71 brand ... 75 state name).
int FieldNameText(TextField field);

/// The GBK form of a typed text; nullopt when it has a character GBK lacks.
std::optional<std::string> RecordText(std::string_view utf8);
/// The message for a refused text (UTF-8): text 70 followed by the field's name.
std::string NotGbkMessage(const lang::Language& language, TextField field);
/// A language text as UTF-8.
std::string TextUtf8(const lang::Language& language, int number);

}  // namespace klimavo::workflow
