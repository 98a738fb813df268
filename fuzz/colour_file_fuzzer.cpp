// Fuzzes the colour scheme reader: any bytes parse without reading out of
// bounds, the current colours are always defined, and what is written back
// reads back the same.
#include <cstddef>
#include <cstdint>
#include <span>

#include "store/colour_scheme.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace klimavo::store;
  ColourScheme scheme = ParseColourScheme(std::span<const std::uint8_t>(data, size));
  TIR_ColorItem current = CurrentColours(scheme);
  (void)current;
  auto bytes = ColourSchemeBytes(scheme.Header, scheme.Items);
  if (bytes.size() != kColourHeaderSize + kColourItemSize * scheme.Items.size()) __builtin_trap();
  ColourScheme back = ParseColourScheme(bytes);
  if (back.Items != scheme.Items || back.State != ColourFileState::kRead) __builtin_trap();
  return 0;
}
