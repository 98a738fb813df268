#pragma once
// Firmware simulation: a record turned into its table image and run in the chip
// image emulator for a state of the six function keys and a pressed key, giving
// the signal the programmed remote would send.

#include <array>
#include <cstdint>
#include <optional>

#include "config/config.h"
#include "firmware/chip_emulator.h"
#include "ir/ir_types.h"
#include "store/protocol_record.h"

namespace klimavo::analysis {

/// States of keys 0..5 when the workbench starts: power 1, temperature 1, mode 1.
inline constexpr std::array<std::int32_t, firmware::kFunctionKeys> kInitialKeyStates{1, 1, 1, 0, 0, 0};

struct SimulatedPress {
  ir::TIRIntegerArr durations;  ///< 0.1 µs ticks, ready for the capture path
  std::array<std::int32_t, firmware::kFunctionKeys> key_states{};  ///< as the run left them
};

/// Why a simulated press sent nothing.
struct SimulationFailure {
  bool not_a_function_key = false;  ///< the pressed key is not one of keys 0..5
  int image_error = 0;              ///< the table image's error code, or 0
  int emulator_error = 0;           ///< the emulator's error code when it sent nothing
};

/// Builds the record's table image (no download header) and runs it with the
/// key states and the pressed key; nothing when the image cannot be built, the
/// run fails or produces no signal, or the pressed key is not one of keys 0..5,
/// and then `failure` (when given) says which.
std::optional<SimulatedPress> SimulateKeyPress(
    const store::TdiskAir& record, const store::TBtnLines& lines,
    const std::array<std::int32_t, firmware::kFunctionKeys>& states, int pressed_key,
    const config::TimingAdjustments& timing, SimulationFailure* failure = nullptr);

}  // namespace klimavo::analysis
