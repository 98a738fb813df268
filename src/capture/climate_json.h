#pragma once
// The JSON files of the community climate-code collections: one air
// conditioner per file, its codes nested by the state they set.
//
//   {"manufacturer": "...", "supportedModels": [...], "supportedController": "Broadlink",
//    "commandsEncoding": "Base64", "minTemperature": 16, "maxTemperature": 30, "precision": 1,
//    "operationModes": ["cool", "heat"], "fanModes": ["low", "high"], "swingModes": ["off", "on"],
//    "commands": {"off": "JgB...",
//                 "cool": {"low": {"16": "JgB...", ...}, ...},        mode → fan → temperature
//                 "heat": {"low": {"off": {"16": "JgB..."}}}}}       … → swing → temperature
//
// Reading gives one capture per code, named by its place ("cool/low/24") and
// labelled with the state it sets ({power: off}, or {mode, fan, temp, swing}).

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "capture/capture_format.h"

namespace klimavo::capture {

/// What a written climate-code file says about the air conditioner.
struct ClimateFileInfo {
  std::string manufacturer;
  std::vector<std::string> models;
};

/// Writes labelled captures as one climate-code file with Broadlink base64
/// packets: a capture labelled power=off is the "off" code, every other needs
/// mode and temp (fan, when missing, is "auto"; swing adds its level). Modes,
/// fans, swings and temperatures keep the order in which the captures first
/// name them; the lists and the temperature range are taken from the labels.
std::optional<WriteError> WriteClimateJson(std::span<const CaptureRead> captures, const ClimateFileInfo& info,
                                           std::string& out);

}  // namespace klimavo::capture
