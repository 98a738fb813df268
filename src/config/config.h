#pragma once
// The persistent settings of config.ini and the settings derived from them.
//
// Every read has a default: a missing file or key, and a value that is not a
// 32-bit integer, read as the key's default. Values are taken as they are (no
// range check on reading); only the options dialog brings them into its ranges.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace klimavo::config {

/// Section and key names, spelled exactly as config.ini holds them.
inline constexpr std::string_view kSectionConfig = "Config";
inline constexpr std::string_view kSectionPara = "para";
inline constexpr std::string_view kSectionUpdateInfo = "updateinfo";
inline constexpr std::string_view kKeyLang = "lang";
inline constexpr std::string_view kKeyErrorOfDecode = "ErrorOfDeccode";
inline constexpr std::string_view kKeyTrimTime = "trimtime";
inline constexpr std::string_view kKeyLogicH = "LogicH";
inline constexpr std::string_view kKeyLogicL = "LogicL";
inline constexpr std::string_view kKeyWaveH = "WaveH";
inline constexpr std::string_view kKeyWaveL = "WaveL";
inline constexpr std::string_view kKeySkipBase = "Skipbase";
inline constexpr std::string_view kKeyProxyServer = "proxySvr";
inline constexpr std::string_view kKeyProxyPort = "proxtPort";
inline constexpr std::string_view kKeyReadOnly = "readonly";
inline constexpr std::string_view kKeyUpdateUrl = "UpdateUrl";

/// Defaults of the keys.
inline constexpr int kDefaultErrorOfDecodePercent = 21;
inline constexpr int kDefaultTrimTimeMs = 180;
inline constexpr int kDefaultProxyPort = 8000;
/// The decoding tolerance in force before the configuration has been read.
inline constexpr double kDecodeToleranceBeforeRead = 0.25;
/// Offsets subtracted from LogicL and WaveL to give the space compensations (µs).
inline constexpr std::int32_t kLogicLowOffsetUs = 40;
inline constexpr std::int32_t kWaveLowOffsetUs = 60;

/// The keys of config.ini with their defaults, as read from the file.
struct ConfigValues {
  int lang = 0;                                        ///< [Config] lang
  int error_of_decode = kDefaultErrorOfDecodePercent;  ///< [Config] ErrorOfDeccode, percent
  int trim_time = kDefaultTrimTimeMs;                  ///< [Config] trimtime, ms
  int logic_h = 0;                                     ///< [Config] LogicH, µs
  int logic_l = 0;                                     ///< [Config] LogicL, µs
  int wave_h = 0;                                      ///< [Config] WaveH, µs
  int wave_l = 0;                                      ///< [Config] WaveL, µs
  bool skip_base = false;                              ///< [Config] Skipbase
  std::string proxy_server;                            ///< [Config] proxySvr
  int proxy_port = kDefaultProxyPort;                  ///< [Config] proxtPort
  std::string update_url;                              ///< [Config] UpdateUrl
  bool read_only = false;                              ///< [para] readonly
  friend bool operator==(const ConfigValues&, const ConfigValues&) = default;
};

/// Timing adjustments of the frame tables (µs added to each kind of duration).
struct TimingAdjustments {
  std::int32_t LogicHighComp = 0;   ///< LogicH
  std::int32_t LogicLowComp = -40;  ///< LogicL - 40
  std::int32_t WaveHighComp = 0;    ///< WaveH
  std::int32_t WaveLowComp = -60;   ///< WaveL - 60
  friend bool operator==(const TimingAdjustments&, const TimingAdjustments&) = default;
};

/// The process-wide settings derived from the configuration. A default-made
/// value is the state before the configuration has been read.
struct DerivedSettings {
  double DecodeTolerance = kDecodeToleranceBeforeRead;
  TimingAdjustments Timing;
  bool SkipBaseData = false;
  bool ReadOnlyMode = false;
  int TrimTime = kDefaultTrimTimeMs;
};

/// The range of one spin edit of the options dialog.
struct OptionRange {
  int min;
  int max;
};
inline constexpr OptionRange kErrorOfDecodeRange{8, 100};
inline constexpr OptionRange kTrimTimeRange{30, 5000};
inline constexpr OptionRange kCompensationRange{-100, 100};

/// Reads config.ini (a missing file or key gives the default; a value that is
/// not a 32-bit integer reads as the default). Throws base::FileError when unreadable.
ConfigValues ReadConfig(const std::filesystem::path& config_ini);
/// The derived settings of the values read (tolerance = percent ÷ 100, offsets applied).
DerivedSettings Derive(const ConfigValues& values);
/// `ReadConfigInteger`: one key as an integer, default 0 (used at start-up for `lang`).
int ReadConfigInteger(const std::filesystem::path& config_ini, std::string_view section,
                      std::string_view key);
/// `LanguageNo` from `lang`: 0, a negative number or one above the count of languages means 1.
int CorrectLanguageNo(int lang, int language_count);
/// The values as the options dialog shows them: each spin edit brings its value into its range.
ConfigValues ClampToOptionRanges(const ConfigValues& values);
/// Writes the keys of the options dialog (atomically; creates the file): the seven
/// settings always, the update server and the proxy when they changed.
void WriteOptions(const std::filesystem::path& config_ini, const ConfigValues& values);
/// Writes one key of a section (language menu, "Read Only").
void WriteConfigInteger(const std::filesystem::path& config_ini, std::string_view section,
                        std::string_view key, long long value);

}  // namespace klimavo::config
