#pragma once
// The kernel IR devices present on the system (libudev, subsystem "lirc"): each
// /dev/lirc* node with the name of the remote-control device above it, and what
// it can do. A monitor reports plugging and unplugging, as the hidraw transport
// does for the learner.

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "device/lirc_device.h"

namespace klimavo::device {

struct LircDeviceInfo {
  std::string path;    ///< the device node, /dev/lircN
  std::string name;    ///< the driver's name for the receiver ("" when the kernel gives none)
  std::string driver;  ///< the kernel driver ("" when unknown)
  /// What the device can do; nullopt when it could not be opened (`problem` says why).
  std::optional<LircFeatures> features;
  std::string problem;
};

/// The lirc devices present now, in the order of their node names.
std::vector<LircDeviceInfo> EnumerateLircDevices();
/// The features of one node (opened read-only for the query); `problem` on failure.
std::optional<LircFeatures> ProbeLircDevice(const std::string& path, std::string& problem);
/// The message for a lirc device that cannot be opened (`error_number`: errno of the open).
std::string LircOpenFailureMessage(const std::string& path, int error_number);

/// Watches the "lirc" subsystem; `handler` runs on the monitor's own thread
/// after each added or removed device.
class LircDeviceMonitor {
 public:
  explicit LircDeviceMonitor(std::function<void()> handler);
  ~LircDeviceMonitor();
  LircDeviceMonitor(const LircDeviceMonitor&) = delete;
  LircDeviceMonitor& operator=(const LircDeviceMonitor&) = delete;

 private:
  void Run();

  std::function<void()> handler_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace klimavo::device
