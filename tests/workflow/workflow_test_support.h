#pragma once
// Helpers of the workflow tests: captures of the corpus by source and name, the
// language files of a new home, and small records.

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "ir/ir_types.h"
#include "lang/language.h"
#include "store/protocol_record.h"

namespace klimavo::workflow::testing {

/// The capture `name` of `source` in the corpus, in 0.1 µs; nullopt when the
/// corpus does not hold it.
inline std::optional<ir::Capture> CorpusCapture(const std::string& source, const std::string& name) {
  std::ifstream in(KLIMAVO_CORPUS_FILE);
  for (std::string line; std::getline(in, line);) {
    const auto json = nlohmann::json::parse(line);
    if (json["source"] != source || json["name"] != name) continue;
    ir::Capture capture;
    capture.Carrier = json["carrier_hz"].get<std::int32_t>();
    for (std::int32_t us : json["durations_us"].get<ir::TIRIntegerArr>())
      capture.Durations.push_back(us * 10);
    return capture;
  }
  return std::nullopt;
}

/// The language files of a new home (English when `language_no` is 1).
inline lang::Language HomeLanguage(int language_no) {
  return lang::Language(std::string(KLIMAVO_SOURCE_DIR) + "/data/home", language_no);
}

/// A record with the given keys, each with its state names.
inline store::TdiskAir RecordWithKeys(
    const std::vector<std::pair<std::string, std::vector<std::string>>>& keys) {
  store::TdiskAir record;
  record.KeyCount = static_cast<std::uint8_t>(keys.size());
  for (std::size_t k = 0; k < keys.size(); ++k) {
    record.Keys[k].Name.assign(keys[k].first);
    record.Keys[k].StateCount = static_cast<std::uint8_t>(keys[k].second.size());
    for (std::size_t s = 0; s < keys[k].second.size(); ++s)
      record.Keys[k].StateNames[s].assign(keys[k].second[s]);
  }
  return record;
}

}  // namespace klimavo::workflow::testing
