// Tasmota raw strings from arbitrary bytes, plain and compact; what reads
// writes back exactly.
#include <cstddef>
#include <cstdint>

#include "format_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  klimavo::fuzz::FuzzFormat("tasmota", std::string_view(reinterpret_cast<const char*>(data), size), 0);
  return 0;
}
