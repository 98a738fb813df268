#include "capture/capture_writer.h"

#include <cstdlib>

#include "base/text.h"

namespace klimavo::capture::write {

std::int32_t CarrierOf(const CaptureRead& capture) {
  return capture.carrier > 0 ? capture.carrier : ir::kDefaultCarrier;
}

ir::TIRIntegerArr SignalOf(const CaptureRead& capture) {
  ir::TIRIntegerArr out;
  out.reserve(capture.durations.size());
  for (std::int32_t d : capture.durations) {
    std::int64_t us = d;
    if (capture.unit == DurationUnit::kTenthMicroseconds) us = (us >= 0 ? us + 5 : us - 5) / 10;
    if (us == 0) continue;
    if (out.empty() && us < 0) continue;  // idle time before the first mark
    if (!out.empty() && (out.back() > 0) == (us > 0)) {
      const std::int64_t sum = std::llabs(out.back()) + std::llabs(us);
      const std::int64_t bounded = sum > kMaxMicros ? kMaxMicros : sum;
      out.back() = static_cast<std::int32_t>(us > 0 ? bounded : -bounded);
      continue;
    }
    const std::int64_t bounded = std::llabs(us) > kMaxMicros ? kMaxMicros : std::llabs(us);
    out.push_back(static_cast<std::int32_t>(us > 0 ? bounded : -bounded));
  }
  return out;
}

std::string LineSafe(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
  return out;
}

std::string NameOf(const CaptureRead& capture, std::size_t index) {
  if (capture.name && !capture.name->empty()) return LineSafe(*capture.name);
  return "signal_" + std::to_string(index + 1);
}

namespace {

std::string Word(std::string_view text) {
  std::string out = LineSafe(text);
  for (char& c : out)
    if (c == ' ' || c == '\t' || c == '=') c = '_';
  return out;
}

}  // namespace

std::string LabelComment(const CaptureLabel& label) {
  if (label.empty()) return {};
  std::string out = "# label";
  for (const LabelEntry& e : label) out += base::Concat({" ", Word(e.function), "=", Word(e.value)});
  return out + "\n";
}

WriteError Fault(const CaptureRead& capture, std::size_t index, std::string message) {
  std::string where = "capture " + std::to_string(index + 1);
  if (capture.name && !capture.name->empty()) where += " (" + LineSafe(*capture.name) + ")";
  return WriteError{index, where + ": " + message};
}

std::string JoinDurations(const ir::TIRIntegerArr& durations, std::string_view separator, bool magnitudes) {
  std::string out;
  for (std::size_t i = 0; i < durations.size(); ++i) {
    if (i) out += separator;
    const std::int64_t d = durations[i];
    out += std::to_string(magnitudes ? std::llabs(d) : d);
  }
  return out;
}

}  // namespace klimavo::capture::write
