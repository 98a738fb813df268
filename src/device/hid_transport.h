#pragma once
// The transport for real learners on Linux: hidapi's hidraw backend for finding,
// opening, reading and writing; the report descriptor (read with the hidraw
// HIDIOCGRDESC ioctl) for the report lengths; a libudev monitor on the hidraw
// subsystem for plug and unplug notifications.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "device/transport.h"

namespace klimavo::device {

/// Report lengths of a device, each including the report-ID byte.
struct ReportLengths {
  std::size_t input = 0;
  std::size_t output = 0;
  bool numbered = false;  ///< the device uses report IDs
};

/// Reads the input and output report lengths from a HID report descriptor: the
/// largest report of each kind, in bytes, plus one for the report ID. Nullopt for
/// a malformed descriptor (an item running past the end, unbalanced pop).
std::optional<ReportLengths> ParseReportDescriptor(std::span<const std::uint8_t> descriptor);

/// The message for a learner that is present but cannot be opened for reading
/// and writing (`error_number` is the errno of the failed open).
std::string OpenFailureMessage(const std::string& path, const std::string& product, int error_number);

/// UTF-8 form of a USB product string as hidapi returns it.
std::string WideToUtf8(const wchar_t* text);

class HidrawTransport final : public Transport {
 public:
  HidrawTransport();
  ~HidrawTransport() override;

  std::string Name() const override { return "hidraw"; }
  std::vector<DeviceInfo> Enumerate() override;
  std::unique_ptr<DeviceHandle> Open(const DeviceInfo& device, std::string* error) override;
  /// Starts the udev monitor with the first handler; notifications arrive on its thread.
  void SetChangeHandler(std::function<void()> handler) override;

 private:
  void MonitorLoop();
  void StopMonitor();

  std::mutex handler_mutex_;
  std::function<void()> handler_;
  std::thread monitor_;
  std::atomic<bool> monitor_stop_{false};
};

}  // namespace klimavo::device
