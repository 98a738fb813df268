#pragma once
// What the fuzz targets of the interchange formats share: arbitrary bytes are
// read with one format (default and small limits); whatever reads must be
// within the limits, and must read back the same through the format's own
// writer (the same durations within the format's resolution, the same state labels).
#include <cstdlib>
#include <string>
#include <string_view>

#include "capture/capture_format.h"
#include "capture/capture_writer.h"

namespace klimavo::fuzz {

inline void Require(bool condition) {
  if (!condition) std::abort();
}

inline void CheckRoundTrip(const capture::CaptureFormat& format, const capture::ReadResult& first,
                           int resolution) {
  if (!first.ok() || first.captures.empty() || !format.write) return;
  std::string text;
  if (format.write(first.captures, text)) return;  // a capture the format cannot hold: refused, not written
  const capture::ReadResult again = capture::ReadWithFormat(format, text, capture::ReadOptions{});
  Require(again.ok() && again.captures.size() == first.captures.size());
  for (std::size_t i = 0; i < first.captures.size(); ++i) {
    const ir::TIRIntegerArr signal = capture::write::SignalOf(first.captures[i]);
    const ir::TIRIntegerArr& back = again.captures[i].durations;
    Require(back.size() == signal.size());
    for (std::size_t k = 0; k < back.size(); ++k)
      Require(std::abs(std::int64_t{back[k]} - signal[k]) <= resolution);
    // The state functions of the label come back (a climate-code file adds fan "auto" where none is given).
    for (const capture::LabelEntry& e : first.captures[i].label) {
      if (e.function != "power" && e.function != "mode" && e.function != "fan" && e.function != "temp" &&
          e.function != "swing")
        continue;
      bool found = false;
      for (const capture::LabelEntry& b : again.captures[i].label) found = found || b == e;
      Require(found);
    }
  }
}

inline void FuzzFormat(std::string_view id, std::string_view text, int resolution) {
  const capture::CaptureFormat* format = capture::FindCaptureFormat(id);
  Require(format != nullptr);
  const int confidence = format->probe(text);
  Require(confidence >= capture::kProbeNo && confidence <= capture::kProbeCertain);
  for (bool small : {false, true}) {
    capture::ReadOptions options;
    options.source = "fuzz";
    if (small) {
      options.limits.line_bytes = 64;
      options.limits.durations = 8;
    }
    const capture::ReadResult r = capture::ReadWithFormat(*format, text, options);
    if (!r.ok()) {
      Require(r.error->file == "fuzz" && r.error->line >= 0);
      (void)r.error->What();
      continue;
    }
    for (const capture::CaptureRead& c : r.captures)
      Require(!c.durations.empty() && c.durations.size() <= options.limits.durations);
    if (!small) CheckRoundTrip(*format, r, resolution);
  }
}

}  // namespace klimavo::fuzz
