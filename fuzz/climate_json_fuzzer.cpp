// Climate-code JSON files from arbitrary bytes: the reader keeps to its limits
// and its nesting bound, and what it reads writes back to the same labels and,
// within a packet unit, the same durations.
#include <cstddef>
#include <cstdint>

#include "format_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  klimavo::fuzz::FuzzFormat("climate-json", std::string_view(reinterpret_cast<const char*>(data), size), 31);
  return 0;
}
