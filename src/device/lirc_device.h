#pragma once
// The kernel's IR character devices (/dev/lirc*): what a device can do (the
// features ioctl), preparing one to receive mode2 samples, and sending a signal
// through one in pulse mode.
//
// Every function takes a file descriptor. A regular file or a pipe stands in
// for a device in tests and recordings: its ioctls fail with ENOTTY, which
// means "no features" there, so nothing is set and the samples or durations
// are just read or written. A real device that rejects a setting is an error.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ir/ir_types.h"

namespace klimavo::device {

/// The duty cycle a signal is sent with when none is given, in percent.
inline constexpr std::uint32_t kDefaultDutyCyclePercent = 33;

/// The answer of the features ioctl.
struct LircFeatures {
  bool device = false;     ///< false for a stand-in (regular file, pipe): no ioctl applies
  std::uint32_t bits = 0;  ///< LIRC_CAN_* bits

  bool CanReceiveMode2() const;
  bool CanSendPulses() const;
  bool CanSetSendCarrier() const;
  bool CanSetDutyCycle() const;
  bool CanSetReceiveTimeout() const;
  bool CanMeasureCarrier() const;
  /// "receive, send, carrier, ..." for listings; "stream" for a stand-in.
  std::string Describe() const;
};

/// Queries `fd`. ENOTTY gives a stand-in's empty features; any other failure
/// gives nullopt and the reason in `error`.
std::optional<LircFeatures> QueryLircFeatures(int fd, std::string* error);

/// Prepares a device for captures: mode2 reception, the receive timeout set to
/// the capture gap (held within the driver's range), carrier reports switched
/// on where the driver measures the carrier. Returns "" when ready (always for
/// a stand-in), else why the device cannot receive.
std::string PrepareLircReceiver(int fd, const LircFeatures& features);

/// The signal as the kernel takes it: µs durations, an odd count beginning and
/// ending with a pulse. Leading and trailing spaces are dropped, intervals of
/// one kind in a row are joined and zero durations left out. `durations` are in
/// µs, marks positive.
std::vector<std::uint32_t> PulseModeDurations(const ir::TIRIntegerArr& durations);

struct LircSendSettings {
  std::uint32_t carrier_hz = static_cast<std::uint32_t>(ir::kDefaultCarrier);
  std::uint32_t duty_cycle_percent = kDefaultDutyCyclePercent;
};

/// Sends `durations` (µs, marks positive) through `fd`: pulse mode, carrier and
/// duty cycle on a device, then one write of the pulse-mode durations. Returns
/// "" when the whole signal went out, else the reason. `notes` receives what
/// was left out on a device that lacks a setting (a fixed carrier, for example).
std::string SendLircSignal(int fd, const ir::TIRIntegerArr& durations, const LircSendSettings& settings,
                           std::vector<std::string>* notes = nullptr);

}  // namespace klimavo::device
