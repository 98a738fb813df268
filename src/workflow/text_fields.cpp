#include "workflow/text_fields.h"

#include "base/gbk.h"

namespace klimavo::workflow {

int FieldNameText(TextField field) {
  switch (field) {
    case TextField::Brand:
      return 71;
    case TextField::CodeNo:
      return 72;
    case TextField::Memo:
      return 73;
    case TextField::KeyName:
      return 74;
    case TextField::StateName:
      return 75;
  }
  return 71;
}

std::optional<std::string> RecordText(std::string_view utf8) { return base::Utf8ToGbk(utf8); }

std::string TextUtf8(const lang::Language& language, int number) {
  return base::GbkToUtf8(language.Text(number));
}

std::string NotGbkMessage(const lang::Language& language, TextField field) {
  return TextUtf8(language, kTextNotGbk) + " " + TextUtf8(language, FieldNameText(field));
}

}  // namespace klimavo::workflow
