#include "config/config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/atomic_file.h"
#include "base/file_error.h"
#include "base/ini_file.h"

namespace klimavo::config {
namespace {

namespace fs = std::filesystem;

// A fresh folder per test; config.ini inside it does not exist until written.
class ConfigFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("klimavo_config_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    path_ = dir_ / "config.ini";
  }
  void TearDown() override { fs::remove_all(dir_); }
  void Write(std::string_view text) { base::WriteFileAtomically(path_, text); }

  fs::path dir_;
  fs::path path_;
};

TEST_F(ConfigFile, MissingFileGivesEveryDefault) {
  const ConfigValues v = ReadConfig(path_);
  EXPECT_EQ(v, ConfigValues{});
  EXPECT_EQ(CorrectLanguageNo(v.lang, 2), 1);
  const DerivedSettings d = Derive(v);
  EXPECT_DOUBLE_EQ(d.DecodeTolerance, 0.21);
  EXPECT_EQ(d.TrimTime, 180);
  EXPECT_EQ(d.Timing, (TimingAdjustments{0, -40, 0, -60}));
  EXPECT_FALSE(d.SkipBaseData);
  EXPECT_FALSE(d.ReadOnlyMode);
  EXPECT_EQ(v.proxy_port, 8000);
  EXPECT_EQ(v.proxy_server, "");
  EXPECT_FALSE(fs::exists(path_));  // reading never creates the file
}

TEST(DerivedSettings, BeforeReadingTheToleranceIs25Percent) {
  EXPECT_DOUBLE_EQ(DerivedSettings{}.DecodeTolerance, 0.25);
}

// One line of config.ini and what it must read as.
struct KeyCase {
  const char* text;
  ConfigValues expected;
};

ConfigValues With(void (*edit)(ConfigValues&)) {
  ConfigValues v;
  edit(v);
  return v;
}

TEST_F(ConfigFile, KeysReadAsTheirValuesOrTheirDefaults) {
  const KeyCase cases[] = {
      {"[Config]\nErrorOfDeccode=5\n", With([](ConfigValues& v) { v.error_of_decode = 5; })},
      {"[config]\nerrorofdeccode = 30\n", With([](ConfigValues& v) { v.error_of_decode = 30; })},
      {"[Config]\nErrorOfDeccode=abc\n", ConfigValues{}},
      {"[Config]\nErrorOfDeccode=12.5\n", ConfigValues{}},
      {"[Config]\nErrorOfDecode=50\n", ConfigValues{}},            // the key is spelled ErrorOfDeccode
      {"[Config]\nErrorOfDeccode=99999999999\n", ConfigValues{}},  // beyond 32 bits: default
      {"[Config]\ntrimtime=10000\n", With([](ConfigValues& v) { v.trim_time = 10000; })},  // no range check
      {"[Config]\nLogicH=-7\nLogicL=40\nWaveH=3\nWaveL=60\n", With([](ConfigValues& v) {
         v.logic_h = -7;
         v.logic_l = 40;
         v.wave_h = 3;
         v.wave_l = 60;
       })},
      {"[Config]\nSkipbase=5\n", With([](ConfigValues& v) { v.skip_base = true; })},  // any non-zero
      {"[Config]\nSkipbase=0\n", ConfigValues{}},
      {"[Config]\nSkipbase=yes\n", ConfigValues{}},
      {"[para]\nreadonly=1\n", With([](ConfigValues& v) { v.read_only = true; })},
      {"[Config]\nreadonly=1\n", ConfigValues{}},  // only [para] counts
      {"[Config]\nproxySvr= proxy.example \nproxtPort=3128\n", With([](ConfigValues& v) {
         v.proxy_server = "proxy.example";
         v.proxy_port = 3128;
       })},
      {"[Config]\nlang=2\n", With([](ConfigValues& v) { v.lang = 2; })},
  };
  for (const KeyCase& c : cases) {
    SCOPED_TRACE(c.text);
    Write(c.text);
    EXPECT_EQ(ReadConfig(path_), c.expected);
  }
}

TEST(Derive, ToleranceAndCompensations) {
  struct Case {
    ConfigValues values;
    double tolerance;
    TimingAdjustments timing;
  };
  const Case cases[] = {
      {ConfigValues{}, 0.21, {0, -40, 0, -60}},
      {With([](ConfigValues& v) { v.error_of_decode = 5; }),
       0.05,
       {0, -40, 0, -60}},  // kept below the dialog's 8
      {With([](ConfigValues& v) {
         v.logic_l = 40;
         v.wave_l = 60;
       }),
       0.21,
       {0, 0, 0, 0}},
      {With([](ConfigValues& v) {
         v.logic_h = 100;
         v.logic_l = -100;
         v.wave_h = -100;
         v.wave_l = 100;
       }),
       0.21,
       {100, -140, -100, 40}},
      {With([](ConfigValues& v) { v.logic_l = -2147483647 - 1; }), 0.21, {0, -2147483647 - 1, 0, -60}},
  };
  for (const Case& c : cases) {
    const DerivedSettings d = Derive(c.values);
    EXPECT_DOUBLE_EQ(d.DecodeTolerance, c.tolerance);
    EXPECT_EQ(d.Timing, c.timing);
  }
}

TEST(CorrectLanguageNo, ZeroNegativeAndBeyondTheListMeanOne) {
  const struct {
    int lang, count, expected;
  } cases[] = {{0, 2, 1}, {1, 2, 1}, {2, 2, 2}, {3, 2, 1}, {-1, 2, 1}, {2, 0, 1}};
  for (const auto& c : cases)
    EXPECT_EQ(CorrectLanguageNo(c.lang, c.count), c.expected) << c.lang << "/" << c.count;
}

TEST(ClampToOptionRanges, TheDialogBringsHandWrittenValuesIntoRange) {
  ConfigValues v;
  v.error_of_decode = 5;
  v.trim_time = 6000;
  v.logic_h = -101;
  v.wave_l = 250;
  const ConfigValues shown = ClampToOptionRanges(v);
  EXPECT_EQ(shown.error_of_decode, 8);
  EXPECT_EQ(shown.trim_time, 5000);
  EXPECT_EQ(shown.logic_h, -100);
  EXPECT_EQ(shown.wave_l, 100);
  EXPECT_DOUBLE_EQ(Derive(v).DecodeTolerance, 0.05);  // reading itself never clamps
}

TEST_F(ConfigFile, WriteOptionsCreatesTheFileWithTheSevenKeys) {
  WriteOptions(path_, ConfigValues{});
  EXPECT_EQ(base::IniFile::Load(path_).ToText(),
            "[Config]\r\nErrorOfDeccode=21\r\ntrimtime=180\r\nLogicH=0\r\nLogicL=0\r\nWaveH=0\r\nWaveL=0\r\n"
            "Skipbase=0\r\n");
}

TEST_F(ConfigFile, WritingKeepsOtherKeysAndRoundTrips) {
  Write("; hand-made\n[Config]\nlang=2\nproxySvr=p\n[updateinfo]\nacprotocl.dat=2026-01-01\n");
  ConfigValues v = ReadConfig(path_);
  v.error_of_decode = 33;
  v.skip_base = true;
  v.wave_l = -5;
  WriteOptions(path_, v);
  WriteConfigInteger(path_, kSectionPara, kKeyReadOnly, 1);
  const ConfigValues back = ReadConfig(path_);
  v.read_only = true;
  EXPECT_EQ(back, v);
  const base::IniFile ini = base::IniFile::Load(path_);
  EXPECT_EQ(ini.ReadString("updateinfo", "acprotocl.dat", ""), "2026-01-01");
  EXPECT_EQ(ReadConfigInteger(path_, kSectionConfig, kKeyLang), 2);
  EXPECT_EQ(ReadConfigInteger(path_, kSectionConfig, "missing"), 0);
}

TEST_F(ConfigFile, AnUnwritableFileRaisesAFileError) {
  const fs::path blocked = dir_ / "no_such_folder" / "config.ini";
  EXPECT_THROW(WriteConfigInteger(blocked, kSectionConfig, kKeyLang, 1), base::FileError);
  EXPECT_THROW(WriteOptions(blocked, ConfigValues{}), base::FileError);
}

}  // namespace
}  // namespace klimavo::config
