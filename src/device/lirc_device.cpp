#include "device/lirc_device.h"

#include <linux/lirc.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "device/lirc_samples.h"

namespace klimavo::device {
namespace {

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

/// One setting ioctl that takes a 32-bit value.
bool SetValue(int fd, unsigned long request, std::uint32_t value) {
  std::uint32_t v = value;
  return ::ioctl(fd, request, &v) == 0;
}

}  // namespace

bool LircFeatures::CanReceiveMode2() const { return (bits & LIRC_CAN_REC_MODE2) != 0; }
bool LircFeatures::CanSendPulses() const { return (bits & LIRC_CAN_SEND_PULSE) != 0; }
bool LircFeatures::CanSetSendCarrier() const { return (bits & LIRC_CAN_SET_SEND_CARRIER) != 0; }
bool LircFeatures::CanSetDutyCycle() const { return (bits & LIRC_CAN_SET_SEND_DUTY_CYCLE) != 0; }
bool LircFeatures::CanSetReceiveTimeout() const { return (bits & LIRC_CAN_SET_REC_TIMEOUT) != 0; }
bool LircFeatures::CanMeasureCarrier() const { return (bits & LIRC_CAN_MEASURE_CARRIER) != 0; }

std::string LircFeatures::Describe() const {
  if (!device) return "stream";
  std::string text;
  auto add = [&](bool has, const char* name) {
    if (!has) return;
    if (!text.empty()) text += ", ";
    text += name;
  };
  add(CanReceiveMode2(), "receive");
  add(CanSendPulses(), "send");
  add(CanSetSendCarrier(), "send carrier");
  add(CanSetDutyCycle(), "duty cycle");
  add(CanSetReceiveTimeout(), "receive timeout");
  add(CanMeasureCarrier(), "carrier report");
  return text.empty() ? "none" : text;
}

std::optional<LircFeatures> QueryLircFeatures(int fd, std::string* error) {
  LircFeatures features;
  std::uint32_t bits = 0;
  if (::ioctl(fd, LIRC_GET_FEATURES, &bits) == 0) {
    features.device = true;
    features.bits = bits;
    return features;
  }
  if (errno == ENOTTY) return features;  // a regular file or a pipe
  if (error) *error = Reason("the features query failed");
  return std::nullopt;
}

std::string PrepareLircReceiver(int fd, const LircFeatures& features) {
  if (!features.device) return "";
  if (!features.CanReceiveMode2()) return "the device cannot receive (no mode2 reception)";
  if (!SetValue(fd, LIRC_SET_REC_MODE, LIRC_MODE_MODE2)) return Reason("the device refuses mode2 reception");
  if (features.CanSetReceiveTimeout()) {
    // The driver reports a timeout after this much silence: the capture gap,
    // held within what the driver allows, keeps long gaps inside one capture.
    std::uint32_t low = 0;
    std::uint32_t high = 0;
    std::uint32_t timeout = kLircCaptureGapUs;
    if (::ioctl(fd, LIRC_GET_MIN_TIMEOUT, &low) == 0 && ::ioctl(fd, LIRC_GET_MAX_TIMEOUT, &high) == 0 &&
        low <= high)
      timeout = std::clamp(timeout, low, high);
    if (!SetValue(fd, LIRC_SET_REC_TIMEOUT, timeout))
      return Reason("the device refuses a receive timeout of " + std::to_string(timeout) + " µs");
  }
  if (features.CanMeasureCarrier() && !SetValue(fd, LIRC_SET_MEASURE_CARRIER_MODE, 1))
    return Reason("the device refuses to report the carrier");
  return "";
}

std::vector<std::uint32_t> PulseModeDurations(const ir::TIRIntegerArr& durations) {
  std::vector<std::uint32_t> out;
  bool last_pulse = false;
  for (const std::int32_t d : durations) {
    if (d == 0) continue;
    const bool pulse = d > 0;
    if (out.empty() && !pulse) continue;  // silence before the signal
    const auto magnitude = static_cast<std::uint32_t>(pulse ? d : -static_cast<std::int64_t>(d));
    if (!out.empty() && pulse == last_pulse) {
      out.back() = static_cast<std::uint32_t>(
          std::min<std::uint64_t>(std::uint64_t{out.back()} + magnitude, UINT32_MAX));
    } else {
      out.push_back(magnitude);
    }
    last_pulse = pulse;
  }
  if (!out.empty() && !last_pulse) out.pop_back();  // the kernel's signal ends with a pulse
  return out;
}

std::string SendLircSignal(int fd, const ir::TIRIntegerArr& durations, const LircSendSettings& settings,
                           std::vector<std::string>* notes) {
  const std::vector<std::uint32_t> signal = PulseModeDurations(durations);
  if (signal.empty()) return "the signal has no pulse";
  std::string error;
  const auto features = QueryLircFeatures(fd, &error);
  if (!features) return error;
  if (features->device) {
    if (!features->CanSendPulses()) return "the device cannot send (no pulse-mode transmitter)";
    if (!SetValue(fd, LIRC_SET_SEND_MODE, LIRC_MODE_PULSE)) return Reason("the device refuses pulse mode");
    if (features->CanSetSendCarrier()) {
      if (!SetValue(fd, LIRC_SET_SEND_CARRIER, settings.carrier_hz))
        return Reason("the device refuses a carrier of " + std::to_string(settings.carrier_hz) + " Hz");
    } else if (notes) {
      notes->push_back("the transmitter's carrier is fixed; " + std::to_string(settings.carrier_hz) +
                       " Hz was not set");
    }
    if (features->CanSetDutyCycle()) {
      if (!SetValue(fd, LIRC_SET_SEND_DUTY_CYCLE, settings.duty_cycle_percent))
        return Reason("the device refuses a duty cycle of " + std::to_string(settings.duty_cycle_percent) +
                      "%");
    } else if (notes) {
      notes->push_back("the transmitter's duty cycle is fixed; " +
                       std::to_string(settings.duty_cycle_percent) + "% was not set");
    }
  }
  // The kernel takes the whole signal in one write; a short write lost part of it.
  const std::size_t bytes = signal.size() * sizeof(std::uint32_t);
  ssize_t written = -1;
  do {
    written = ::write(fd, signal.data(), bytes);
  } while (written < 0 && errno == EINTR);
  if (written < 0) return Reason("sending " + std::to_string(signal.size()) + " durations failed");
  if (static_cast<std::size_t>(written) != bytes)
    return "only " + std::to_string(written) + " of " + std::to_string(bytes) +
           " bytes of the signal were written";
  return "";
}

}  // namespace klimavo::device
