// Runs the chip image emulator over arbitrary images and state blocks: it must
// never read outside the image, whatever the pointers and lengths say.
#include <cstddef>
#include <cstdint>

#include "firmware/chip_emulator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  klimavo::firmware::StateBlock states{};
  for (std::size_t i = 0; i < 7; ++i) states[i] = data[i % 3] % (i == 6 ? 7 : 16);
  const bool lsb_first = (data[3] & 1) != 0;
  klimavo::base::Bytes image(data + 4, data + size);
  klimavo::firmware::TACRusher rusher;
  rusher.Load(lsb_first, image, states);
  klimavo::ir::TIRIntegerArr durations;
  rusher.Run(durations);
  return 0;
}
