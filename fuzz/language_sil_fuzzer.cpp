// Fuzzes the language-name lists and per-window entries over arbitrary
// Language.sil contents, down to the parsing of every entry path and value.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/ini_file.h"
#include "lang/form_entry.h"
#include "lang/language.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace klimavo;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  base::IniFile names = base::IniFile::FromText(text);
  (void)lang::LanguageCountOf(names);
  for (int language_no : {0, 1, 2, 3}) {
    (void)lang::LanguageNamesOf(names, language_no);
    for (const auto& [path, value] : lang::FormEntriesOf(names, language_no, "frmAirEditor")) {
      lang::FormEntryPath entry = lang::ParseFormEntryPath(path);
      if (entry.column && *entry.column < 0) __builtin_trap();
      (void)lang::SplitListValue(value);
      (void)lang::EntryIntegerValue(value);
    }
  }
  (void)lang::ParseFormEntryPath(text);
  return 0;
}
