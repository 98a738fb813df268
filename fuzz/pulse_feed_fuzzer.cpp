// Feeds arbitrary bytes to the pulse feed's line reader, split at a point the
// first byte chooses. Every train it hands over must be as long as the last
// "MSG 0 n" made it, hold only durations whose 0.1 µs count fits, and carry
// the feed's carrier.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "device/pulse_feed_protocol.h"

namespace {

using namespace klimavo;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t split = data[0] % (text.size() + 1);
  device::PulseFeedReader* self = nullptr;
  device::PulseFeedReader reader([&](const ir::TIRIntegerArr& durations, std::int32_t carrier) {
    Check(carrier == device::kFeedCarrier);
    Check(!durations.empty() && durations.size() == self->Train().size());
    Check(static_cast<std::int64_t>(durations.size()) <= device::kMaxFeedDurations);
    for (std::int32_t d : durations) Check(d % 10 == 0);
  });
  self = &reader;
  reader.Feed(text.substr(0, split));
  reader.Feed(text.substr(split));
  return 0;
}
