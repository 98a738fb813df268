#include "config/config.h"

#include <algorithm>
#include <limits>

#include "base/ini_file.h"

namespace klimavo::config {
namespace {

// An integer key whose value does not fit 32 bits reads as its default, as a
// value that is not an integer does: the settings are 32-bit everywhere.
int ReadInt(const base::IniFile& ini, std::string_view section, std::string_view key, int fallback) {
  long long v = ini.ReadInteger(section, key, fallback);
  if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return fallback;
  return static_cast<int>(v);
}

bool ReadBoolean(const base::IniFile& ini, std::string_view section, std::string_view key) {
  return ini.ReadInteger(section, key, 0) != 0;
}

int Clamp(int value, OptionRange range) { return std::clamp(value, range.min, range.max); }

}  // namespace

ConfigValues ReadConfig(const std::filesystem::path& config_ini) {
  const base::IniFile ini = base::IniFile::Load(config_ini);
  ConfigValues v;
  v.lang = ReadInt(ini, kSectionConfig, kKeyLang, 0);
  v.error_of_decode = ReadInt(ini, kSectionConfig, kKeyErrorOfDecode, kDefaultErrorOfDecodePercent);
  v.trim_time = ReadInt(ini, kSectionConfig, kKeyTrimTime, kDefaultTrimTimeMs);
  v.logic_h = ReadInt(ini, kSectionConfig, kKeyLogicH, 0);
  v.logic_l = ReadInt(ini, kSectionConfig, kKeyLogicL, 0);
  v.wave_h = ReadInt(ini, kSectionConfig, kKeyWaveH, 0);
  v.wave_l = ReadInt(ini, kSectionConfig, kKeyWaveL, 0);
  v.skip_base = ReadBoolean(ini, kSectionConfig, kKeySkipBase);
  v.proxy_server = ini.ReadString(kSectionConfig, kKeyProxyServer, "");
  v.proxy_port = ReadInt(ini, kSectionConfig, kKeyProxyPort, kDefaultProxyPort);
  v.update_url = ini.ReadString(kSectionConfig, kKeyUpdateUrl, "");
  v.read_only = ReadBoolean(ini, kSectionPara, kKeyReadOnly);
  return v;
}

DerivedSettings Derive(const ConfigValues& values) {
  DerivedSettings d;
  d.DecodeTolerance = values.error_of_decode / 100.0;
  // The offsets are applied in 64 bits and saturated, so a hand-written extreme
  // value cannot overflow; every value the dialog can write stays exact.
  auto offset = [](int value, std::int32_t minus) {
    long long r = static_cast<long long>(value) - minus;
    return static_cast<std::int32_t>(std::max<long long>(r, std::numeric_limits<std::int32_t>::min()));
  };
  d.Timing.LogicHighComp = values.logic_h;
  d.Timing.LogicLowComp = offset(values.logic_l, kLogicLowOffsetUs);
  d.Timing.WaveHighComp = values.wave_h;
  d.Timing.WaveLowComp = offset(values.wave_l, kWaveLowOffsetUs);
  d.SkipBaseData = values.skip_base;
  d.ReadOnlyMode = values.read_only;
  d.TrimTime = values.trim_time;
  return d;
}

int ReadConfigInteger(const std::filesystem::path& config_ini, std::string_view section,
                      std::string_view key) {
  return ReadInt(base::IniFile::Load(config_ini), section, key, 0);
}

int CorrectLanguageNo(int lang, int language_count) {
  if (lang <= 0 || lang > language_count) return 1;
  return lang;
}

ConfigValues ClampToOptionRanges(const ConfigValues& values) {
  ConfigValues v = values;
  v.error_of_decode = Clamp(v.error_of_decode, kErrorOfDecodeRange);
  v.trim_time = Clamp(v.trim_time, kTrimTimeRange);
  v.logic_h = Clamp(v.logic_h, kCompensationRange);
  v.logic_l = Clamp(v.logic_l, kCompensationRange);
  v.wave_h = Clamp(v.wave_h, kCompensationRange);
  v.wave_l = Clamp(v.wave_l, kCompensationRange);
  return v;
}

void WriteOptions(const std::filesystem::path& config_ini, const ConfigValues& values) {
  base::IniFile ini = base::IniFile::Load(config_ini);
  ini.WriteInteger(kSectionConfig, kKeyErrorOfDecode, values.error_of_decode);
  ini.WriteInteger(kSectionConfig, kKeyTrimTime, values.trim_time);
  ini.WriteInteger(kSectionConfig, kKeyLogicH, values.logic_h);
  ini.WriteInteger(kSectionConfig, kKeyLogicL, values.logic_l);
  ini.WriteInteger(kSectionConfig, kKeyWaveH, values.wave_h);
  ini.WriteInteger(kSectionConfig, kKeyWaveL, values.wave_l);
  ini.WriteBool(kSectionConfig, kKeySkipBase, values.skip_base);
  // The update server and the proxy are written only when they changed, so a
  // file that never named them keeps taking the defaults.
  const ConfigValues before = ReadConfig(config_ini);
  if (values.update_url != before.update_url)
    ini.WriteString(kSectionConfig, kKeyUpdateUrl, values.update_url);
  if (values.proxy_server != before.proxy_server)
    ini.WriteString(kSectionConfig, kKeyProxyServer, values.proxy_server);
  if (values.proxy_port != before.proxy_port)
    ini.WriteInteger(kSectionConfig, kKeyProxyPort, values.proxy_port);
  ini.Save(config_ini);
}

void WriteConfigInteger(const std::filesystem::path& config_ini, std::string_view section,
                        std::string_view key, long long value) {
  base::IniFile ini = base::IniFile::Load(config_ini);
  ini.WriteInteger(section, key, value);
  ini.Save(config_ini);
}

}  // namespace klimavo::config
