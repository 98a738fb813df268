#include "analysis/key_simulation.h"

#include "firmware/table_image.h"

namespace klimavo::analysis {
namespace {

constexpr std::int32_t kTicksPerMicro = 10;

}  // namespace

std::optional<SimulatedPress> SimulateKeyPress(
    const store::TdiskAir& record, const store::TBtnLines& lines,
    const std::array<std::int32_t, firmware::kFunctionKeys>& states, int pressed_key,
    const config::TimingAdjustments& timing, SimulationFailure* failure) {
  SimulationFailure ignored;
  SimulationFailure& why = failure != nullptr ? *failure : ignored;
  why = SimulationFailure{};
  if (pressed_key < 0 || pressed_key >= firmware::kFunctionKeys) {
    why.not_a_function_key = true;
    return std::nullopt;
  }
  base::Bytes image;
  why.image_error = firmware::BuildTableImage(record, lines, false, timing, image);
  if (why.image_error != 0) return std::nullopt;
  firmware::StateBlock block{};
  for (std::size_t k = 0; k < states.size(); ++k) block[k] = states[k];
  block[firmware::kFunctionKeys] = pressed_key;
  firmware::TACRusher rusher(timing);
  rusher.Load(record.LsbFirst != 0, image, block);
  ir::TIRIntegerArr micros;
  if (!rusher.Run(micros) || micros.empty()) {
    why.emulator_error = rusher.ErrorCode();
    return std::nullopt;
  }
  SimulatedPress press;
  press.durations.reserve(micros.size());
  for (std::int32_t d : micros) press.durations.push_back(d * kTicksPerMicro);
  press.key_states = rusher.KeyStates();
  return press;
}

}  // namespace klimavo::analysis
