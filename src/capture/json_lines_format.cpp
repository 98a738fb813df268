// JSON Lines of the capture corpus, one capture per line:
//
//   {"source": "...", "name": "POWER", "carrier_hz": 38000, "durations_us": [9000, -4500, ...]}
//
// `durations_us` is required (signed integers in µs); `carrier_hz` and `name`
// are optional; a string `source` is kept as the capture's origin; other keys
// are ignored. Blank lines are skipped.
#include <nlohmann/json.hpp>
#include <string>

#include "capture/formats.h"
#include "capture/text_scan.h"

namespace klimavo::capture {
namespace {

constexpr const char* kDurationsKey = "durations_us";
constexpr const char* kCarrierKey = "carrier_hz";
constexpr const char* kNameKey = "name";
constexpr const char* kSourceKey = "source";

int Probe(std::string_view text) {
  const auto lines = scan::FirstMeaningfulLines(text, 1);
  if (lines.empty() || lines[0].front() != '{') return kProbeNo;
  return 90;
}

// An integer of a JSON value within ±max; false for anything else.
bool IntegerIn(const nlohmann::json& value, std::int64_t max, std::int64_t& out) {
  if (value.is_number_unsigned()) {
    const auto u = value.get<std::uint64_t>();
    if (u > static_cast<std::uint64_t>(max)) return false;
    out = static_cast<std::int64_t>(u);
    return true;
  }
  if (!value.is_number_integer()) return false;
  const auto i = value.get<std::int64_t>();
  if (i > max || i < -max) return false;
  out = i;
  return true;
}

ReadResult Read(std::string_view text, const ReadOptions& options) {
  const scan::ErrorSink errors(options);
  scan::CaptureCollector collector(options, DurationUnit::kMicroseconds);
  for (const scan::Line& line : scan::SplitLines(text)) {
    if (scan::IsBlank(line.text)) continue;
    const std::string_view trimmed = scan::Trimmed(line.text);
    const nlohmann::json object = nlohmann::json::parse(trimmed, nullptr, false);
    if (object.is_discarded() || !object.is_object())
      return errors.Fail(line.number, trimmed, "not a JSON object");
    const auto durations = object.find(kDurationsKey);
    if (durations == object.end() || !durations->is_array())
      return errors.Fail(line.number, kDurationsKey, "missing or not an array");
    if (durations->size() > kMaxDurationsPerCapture)
      return errors.Fail(line.number, kDurationsKey, "more than 1000000 durations in one capture");
    std::int64_t carrier = options.default_carrier;
    if (const auto c = object.find(kCarrierKey); c != object.end() && !IntegerIn(*c, kMaxCarrierHz, carrier))
      return errors.Fail(line.number, kCarrierKey, "not a carrier in Hz (0 to 1000000)");
    if (carrier < 0) return errors.Fail(line.number, kCarrierKey, "not a carrier in Hz (0 to 1000000)");
    std::optional<std::string> name;
    if (const auto n = object.find(kNameKey); n != object.end()) {
      if (!n->is_string()) return errors.Fail(line.number, kNameKey, "not a string");
      name = n->get<std::string>();
    }
    collector.SetNextCarrier(static_cast<std::int32_t>(carrier));
    CaptureRead& capture = collector.Open(line.number);
    capture.name = std::move(name);
    if (const auto o = object.find(kSourceKey); o != object.end() && o->is_string())
      capture.origin = o->get<std::string>();
    for (std::size_t i = 0; i < durations->size(); ++i) {
      std::int64_t v = 0;
      if (!IntegerIn((*durations)[i], kMaxMicros, v))
        return errors.Fail(line.number, std::string(kDurationsKey) + "[" + std::to_string(i) + "]",
                           "not a duration in µs (an integer of at most 214748364)");
      (void)collector.Append(static_cast<std::int32_t>(v));
    }
    collector.Close();
  }
  ReadResult r;
  r.captures = collector.Finish();
  return r;
}

}  // namespace

const CaptureFormat& JsonLinesFormat() {
  static const CaptureFormat format{
      "jsonl", "JSON Lines: durations_us, carrier_hz, optional name (the capture corpus)", 20, &Probe, &Read};
  return format;
}

}  // namespace klimavo::capture
