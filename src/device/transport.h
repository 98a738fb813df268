#pragma once
// The transport under the device link: finds HID devices, opens one, and moves
// single reports with time-outs. Two implementations: the hidraw transport for
// real learners (hid_transport.h) and the simulated learner/programmer
// (simulated_device.h). The link above never knows which one it talks to.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "ir/ir_types.h"

namespace klimavo::device {

/// One HID device present on the system.
struct DeviceInfo {
  std::string path;      ///< opens the device (a hidraw node, or a simulated name)
  std::string product;   ///< USB product string as reported
  std::string instance;  ///< identifies this attachment; a re-plugged or other device differs
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
};

/// An open device. Reads and writes may run on two threads at once; each call
/// has its own time-out. Lengths count the report-ID byte.
class DeviceHandle {
 public:
  virtual ~DeviceHandle() = default;
  /// False for a handle that was opened for queries only: it counts as found,
  /// but its reads and writes fail.
  virtual bool CanReadWrite() const = 0;
  virtual std::size_t InputReportLength() const = 0;
  virtual std::size_t OutputReportLength() const = 0;
  /// Writes one output report of exactly OutputReportLength bytes; true when all went out.
  virtual bool Write(const base::Bytes& report, int timeout_ms) = 0;
  /// Reads one input report (report-ID byte first) into `report`; true when a
  /// whole report arrived within the time-out.
  virtual bool Read(base::Bytes& report, int timeout_ms) = 0;
  /// Ends the reads and writes outstanding now; they return false.
  virtual void Cancel() = 0;
};

/// Finds and opens devices and reports plugging and unplugging.
class Transport {
 public:
  virtual ~Transport() = default;
  /// Short name for listings ("hidraw", "simulated").
  virtual std::string Name() const = 0;
  /// The devices present now, in enumeration order.
  virtual std::vector<DeviceInfo> Enumerate() = 0;
  /// Opens a device for reading and writing, else for queries only; nullptr when
  /// it is gone. `error` receives a readable reason when read/write access failed.
  virtual std::unique_ptr<DeviceHandle> Open(const DeviceInfo& device, std::string* error) = 0;
  /// Installs the receiver of device-change notifications (any thread; nullptr removes it).
  virtual void SetChangeHandler(std::function<void()> handler) = 0;
  /// The capture a packet was made from, when this transport played it itself
  /// and hands its presses over exactly (the simulated learner); a real learner
  /// only has what its packet carries. Each played capture is handed over once.
  virtual std::optional<ir::Capture> TakePlayedCapture(std::span<const std::uint8_t> /*packet*/) {
    return std::nullopt;
  }
};

}  // namespace klimavo::device
