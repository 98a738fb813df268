// Feeds arbitrary bytes to every registered capture reader and probe, to the
// format detection, and to the conversion into decoder ticks. Readers must
// return captures or an error that names a line; they must never crash, read
// out of bounds or overflow.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "capture/capture_format.h"
#include "capture/decode_report.h"

namespace {

using klimavo::capture::CaptureFormat;
using klimavo::capture::DurationUnit;
using klimavo::capture::ReadOptions;
using klimavo::capture::ReadResult;

void Check(const ReadResult& r, const ReadOptions& options) {
  if (!r.ok()) {
    if (r.error->line < 0 || r.error->file != options.source) std::abort();
    (void)r.error->What();
    return;
  }
  for (const auto& c : r.captures) {
    if (c.durations.empty() || c.durations.size() > klimavo::capture::kMaxDurationsPerCapture) std::abort();
    const auto capture = klimavo::capture::ToCapture(c);
    if (capture.Durations.size() != c.durations.size()) std::abort();
    if (c.name) (void)klimavo::capture::JsonString(*c.name);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (DurationUnit unit : {DurationUnit::kMicroseconds, DurationUnit::kTenthMicroseconds}) {
    ReadOptions options;
    options.source = "fuzz";
    options.unit = unit;
    for (const CaptureFormat& format : klimavo::capture::CaptureFormats()) {
      const int confidence = format.probe(text);
      if (confidence < klimavo::capture::kProbeNo || confidence > klimavo::capture::kProbeCertain)
        std::abort();
      Check(format.read(text, options), options);
    }
    Check(klimavo::capture::ReadCaptureText(text, options), options);
  }
  return 0;
}
