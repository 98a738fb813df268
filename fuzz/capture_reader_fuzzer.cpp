// Feeds arbitrary bytes to every registered capture reader and probe, to the
// format detection, and to the conversion into decoder ticks, with the default
// limits and with limits small enough for short inputs to reach them. Readers
// must hand over captures within the limits or stop with an error that names
// the file; they must never crash, read out of bounds or overflow. Reading the
// input in small pieces must give exactly what reading it whole gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "capture/capture_format.h"
#include "capture/decode_report.h"

namespace {

using klimavo::capture::CaptureFormat;
using klimavo::capture::CaptureRead;
using klimavo::capture::DurationUnit;
using klimavo::capture::ReadOptions;
using klimavo::capture::ReadResult;

void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckCapture(const CaptureRead& c, const ReadOptions& options) {
  Require(!c.durations.empty() && c.durations.size() <= options.limits.durations);
  Require(ToCapture(c).Durations.size() == c.durations.size());
  if (c.name) (void)klimavo::capture::JsonString(*c.name);
  for (const auto& entry : c.label) {
    Require(!entry.function.empty());
    (void)klimavo::capture::JsonString(entry.function);
    (void)klimavo::capture::JsonString(entry.value);
  }
}

void Check(const ReadResult& r, const ReadOptions& options) {
  if (!r.ok()) {
    Require(r.error->line >= 0 && r.error->file == options.source && r.captures.empty());
    (void)r.error->What();
    return;
  }
  for (const auto& c : r.captures) CheckCapture(c, options);
}

// The input fed `piece` bytes at a time reads as the whole input does.
void CheckPiecewise(std::string_view text, std::size_t piece, const ReadOptions& options,
                    const ReadResult& whole) {
  std::size_t at = 0;
  const klimavo::capture::ByteReader reader = [&](char* buffer, std::size_t size) -> std::ptrdiff_t {
    const std::size_t n = text.substr(at).copy(buffer, size < piece ? size : piece);
    at += n;
    return static_cast<std::ptrdiff_t>(n);
  };
  std::size_t handed = 0;
  const auto r = klimavo::capture::StreamCaptures(reader, options, [&](CaptureRead&& c) {
    CheckCapture(c, options);
    if (whole.ok()) {
      Require(handed < whole.captures.size());
      const CaptureRead& w = whole.captures[handed];
      Require(c.durations == w.durations && c.carrier == w.carrier && c.name == w.name && c.line == w.line);
    }
    ++handed;
  });
  Require(r.format == whole.format && r.ok() == whole.ok() && r.captures == handed);
  if (whole.ok())
    Require(handed == whole.captures.size());
  else
    Require(r.error->What() == whole.error->What());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (DurationUnit unit : {DurationUnit::kMicroseconds, DurationUnit::kTenthMicroseconds}) {
    for (bool small_limits : {false, true}) {
      ReadOptions options;
      options.source = "fuzz";
      options.unit = unit;
      if (small_limits) {
        options.limits.line_bytes = 64;
        options.limits.durations = 8;
      }
      for (const CaptureFormat& format : klimavo::capture::CaptureFormats()) {
        const int confidence = format.probe(text);
        Require(confidence >= klimavo::capture::kProbeNo && confidence <= klimavo::capture::kProbeCertain);
        Check(klimavo::capture::ReadWithFormat(format, text, options), options);
      }
      const ReadResult whole = klimavo::capture::ReadCaptureText(text, options);
      Check(whole, options);
      CheckPiecewise(text, 1 + size % 7, options, whole);
    }
  }
  return 0;
}
