#pragma once
// The persistent settings of config.ini and the settings derived from them.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace klimavo::config {

/// The keys of config.ini with their defaults, as read from the file.
struct ConfigValues {
  int lang = 0;              ///< [Config] lang
  int error_of_decode = 21;  ///< [Config] ErrorOfDeccode, percent
  int trim_time = 180;       ///< [Config] trimtime, ms
  int logic_h = 0;           ///< [Config] LogicH, µs
  int logic_l = 0;           ///< [Config] LogicL, µs
  int wave_h = 0;            ///< [Config] WaveH, µs
  int wave_l = 0;            ///< [Config] WaveL, µs
  bool skip_base = false;    ///< [Config] Skipbase
  std::string proxy_server;  ///< [Config] proxySvr
  int proxy_port = 8000;     ///< [Config] proxtPort
  bool read_only = false;    ///< [para] readonly
};

/// Timing adjustments of the frame tables (µs added to each kind of duration).
struct TimingAdjustments {
  std::int32_t LogicHighComp = 0;    ///< LogicH
  std::int32_t LogicLowComp = -40;   ///< LogicL - 40
  std::int32_t WaveHighComp = 0;     ///< WaveH
  std::int32_t WaveLowComp = -60;    ///< WaveL - 60
};

/// The process-wide settings derived from the configuration.
struct DerivedSettings {
  double DecodeTolerance = 0.21;
  TimingAdjustments Timing;
  bool SkipBaseData = false;
  bool ReadOnlyMode = false;
  int TrimTime = 180;
};

/// Reads config.ini (a missing file or key gives the default; a value that is
/// not an integer reads as the default). Throws base::FileError when unreadable.
ConfigValues ReadConfig(const std::filesystem::path& config_ini);
DerivedSettings Derive(const ConfigValues& values);
/// Writes the seven keys of the options dialog (atomically; creates the file).
void WriteOptions(const std::filesystem::path& config_ini, const ConfigValues& values);
/// Writes one key of a section (language menu, "Read Only").
void WriteConfigInteger(const std::filesystem::path& config_ini, std::string_view section,
                        std::string_view key, long long value);

}  // namespace klimavo::config
