#pragma once
// Sends a record's code through a kernel IR transmitter, so that a record can be
// tried on the air conditioner itself before a remote is programmed: the chip
// emulator runs the record's table image for the chosen key and key states, and
// the signal it produces goes out in pulse mode with the record's carrier. The
// CLI's `send` and the workbench's Send dialog both use this class.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/config.h"
#include "device/lirc_device.h"
#include "firmware/chip_emulator.h"
#include "store/protocol_record.h"

namespace klimavo::workflow {

using KeyStates = std::array<std::int32_t, firmware::kFunctionKeys>;

/// The emulated signal of one key press.
struct RecordSignal {
  ir::TIRIntegerArr micros;  ///< µs, marks positive
  std::uint32_t carrier_hz = 0;
};

/// The result of a send: "" in `error` when the signal went out.
struct SendOutcome {
  std::string error;
  std::vector<std::string> notes;  ///< settings a transmitter could not take
  std::size_t durations = 0;       ///< durations written
};

class RecordSender {
 public:
  RecordSender(store::TdiskAir record, store::TBtnLines lines, config::TimingAdjustments timing);

  /// The function keys' names (UTF-8), keys 0..5 as far as the record has them.
  std::vector<std::string> KeyNames() const;
  /// The state names of `key` (UTF-8); empty for a key the record lacks.
  std::vector<std::string> StateNames(int key) const;

  /// The signal the programmed remote sends for `key` pressed in `states`;
  /// nullopt with the reason in `error` when the image cannot be built or run.
  std::optional<RecordSignal> Signal(int key, const KeyStates& states, std::string& error) const;
  /// Emulates and sends through the device or stand-in at `path`.
  SendOutcome Send(const std::string& path, int key, const KeyStates& states,
                   std::uint32_t duty_cycle_percent = device::kDefaultDutyCyclePercent) const;

 private:
  store::TdiskAir record_;
  store::TBtnLines lines_;
  config::TimingAdjustments timing_;
};

/// The kernel IR devices that can send, by node; `problems` collects devices
/// that could not be asked.
std::vector<std::string> LircTransmitters(std::vector<std::string>* problems = nullptr);

}  // namespace klimavo::workflow
