// Fuzzes the initialisation file parser with arbitrary text: every query and
// the text form must work on whatever it parsed, and a written key reads back.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/ini_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using klimavo::base::IniFile;
  std::string_view text(reinterpret_cast<const char*>(data), size);
  IniFile ini = IniFile::FromText(text);
  for (const auto& section : ini.SectionNames()) {
    for (const auto& [key, value] : ini.Entries(section)) {
      (void)ini.ReadInteger(section, key, 0);
      (void)value;
    }
  }
  (void)ini.ReadString("Config", "lang", "");
  std::string written = ini.ToText();
  IniFile again = IniFile::FromText(written);
  again.WriteString("Config", "lang", "2");
  if (again.ReadInteger("config", "LANG", 0) != 2) __builtin_trap();
  (void)again.ToText();
  return 0;
}
