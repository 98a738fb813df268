#include "base/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace klimavo::base {
namespace {

TEST(IniFile, ReadsCaseInsensitivelyWithDefaults) {
  IniFile ini = IniFile::FromText("[Config]\r\nLang = 2\r\nErrorOfDeccode=abc\r\n[para]\nreadonly=1\n");
  EXPECT_EQ(ini.ReadInteger("config", "LANG", 0), 2);
  EXPECT_EQ(ini.ReadInteger("Config", "ErrorOfDeccode", 21), 21);  // not an integer: default
  EXPECT_EQ(ini.ReadInteger("Config", "missing", 7), 7);
  EXPECT_TRUE(ini.ReadBool("PARA", "readonly", false));
}

TEST(IniFile, WritingAKeyCreatesTheFileAndKeepsOtherLines) {
  auto dir = std::filesystem::temp_directory_path() / "klimavo_ini_test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  auto path = dir / "config.ini";
  WriteIniString(path, "Config", "lang", "2");
  WriteIniString(path, "para", "readonly", "1");
  WriteIniString(path, "config", "LANG", "1");
  IniFile ini = IniFile::Load(path);
  EXPECT_EQ(ini.ReadInteger("Config", "lang", 0), 1);
  EXPECT_EQ(ini.ToText(), "[Config]\r\nlang=1\r\n[para]\r\nreadonly=1\r\n");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace klimavo::base
