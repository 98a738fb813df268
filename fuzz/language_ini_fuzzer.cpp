// Fuzzes the numbered-text lookup over arbitrary Language.ini contents, and
// the name translators over arbitrary GBK bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/ini_file.h"
#include "lang/language.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace klimavo;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  base::IniFile texts = base::IniFile::FromText(text);
  for (int language_no : {0, 1, 2, 3})
    for (int number : {0, 9, 27, 68, 100, -1}) (void)lang::TextOf(texts, language_no, number);
  for (int language_no : {1, 2}) {
    (void)lang::TranslateKeyName(text, language_no);
    (void)lang::TranslateStateName(text, language_no);
  }
  return 0;
}
