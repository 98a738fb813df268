#include "analysis/checksum_discovery/checksum_discovery_report.h"

#include <cstdio>
#include <nlohmann/json.hpp>

#include "base/text.h"
#include "capture/decode_report.h"
#include "ir/checksum.h"
#include "store/record_json.h"

namespace klimavo::analysis {
namespace {

// JSON on one line with the separators the CLI prints everywhere.
void AppendCompact(std::string& out, const nlohmann::ordered_json& j) {
  if (j.is_object()) {
    out += '{';
    bool first = true;
    for (const auto& [key, value] : j.items()) {
      if (!first) out += ", ";
      first = false;
      out += capture::JsonString(key);
      out += ": ";
      AppendCompact(out, value);
    }
    out += '}';
  } else if (j.is_array()) {
    out += '[';
    for (std::size_t i = 0; i < j.size(); ++i) {
      if (i) out += ", ";
      AppendCompact(out, j[i]);
    }
    out += ']';
  } else if (j.is_string()) {
    out += capture::JsonString(j.get<std::string>());
  } else {
    out += j.dump();
  }
}

}  // namespace

std::string CandidateJson(std::size_t index, const ir::TCrcItem& item) {
  std::string out;
  AppendCompact(out, store::CrcItemToJson(index, item));
  return out;
}

std::string DiscoveryJson(const ChecksumDiscovery& result, std::string_view format) {
  std::string out = "{\"rows\": " + std::to_string(result.rows) +
                    ", \"format\": " + capture::JsonString(format) + ", \"candidates\": [";
  for (std::size_t i = 0; i < result.candidates.size(); ++i) {
    if (i) out += ", ";
    out += CandidateJson(i, result.candidates[i]);
  }
  out += "], \"note\": " + capture::JsonString(DiscoveryNoteName(result.note)) + ", \"rivals\": [";
  for (std::size_t i = 0; i < result.rivals.size(); ++i) {
    if (i) out += ", ";
    out += CandidateJson(result.rivals[i].candidate, result.rivals[i].item);
  }
  out += "]}";
  return out;
}

std::string DiscoveryText(const ChecksumDiscovery& result) {
  std::string out;
  for (std::size_t i = 0; i < result.candidates.size(); ++i)
    out += CandidateJson(i, result.candidates[i]) + "\n";
  return out;
}

std::string RivalsText(const ChecksumDiscovery& result) {
  std::string out;
  for (const ChecksumRival& rival : result.rivals) out += CandidateJson(rival.candidate, rival.item) + "\n";
  return out;
}

std::string CandidateSummary(const ir::TCrcItem& item, const lang::Language& language) {
  auto number = [](int n) { return std::to_string(n); };
  std::string text = base::Concat(
      {"[", number(item.TargetFrame), ", ", number(item.TargetBit), ", ", number(item.TargetWidth),
       "] = ", lang::CrcKindName(item.Kind, language.LanguageNo()), "(", number(item.OperandWidth), ")"});
  for (int z = 0; z < item.ZoneCount && z < ir::kMaxCrcZones; ++z) {
    const ir::TCrcZone& zone = item.Zones[static_cast<std::size_t>(z)];
    text += "  " + number(zone.StartFrame) + ":" + number(zone.StartBit) + " - " + number(zone.EndFrame) +
            ":" + number(zone.EndBit);
  }
  if (item.Const != 0) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%02X", static_cast<unsigned>(item.Const));
    text += "  " + lang::CrcOpName(item.ConstOp) + " " + hex;
  }
  return text;
}

}  // namespace klimavo::analysis
