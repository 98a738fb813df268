// Arduino C arrays from arbitrary bytes: comments, declarations and values in
// any order; what reads writes back exactly.
#include <cstddef>
#include <cstdint>

#include "format_round_trip.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  klimavo::fuzz::FuzzFormat("arduino", std::string_view(reinterpret_cast<const char*>(data), size), 0);
  return 0;
}
