#pragma once
// The kernel IR receivers as the device manager's second capture source, beside
// the learner: keeps the list of /dev/lirc* devices (refreshed when one is
// plugged or unplugged), and while listening reads from the first one that
// receives, raising each capture on the owner's thread in 0.1 µs with its
// carrier, as the learner does. A receiver that goes away is replaced by the
// next one present.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/dispatcher.h"
#include "device/lirc_device_list.h"
#include "device/lirc_receiver.h"

namespace klimavo::device {

class LircCaptureSource {
 public:
  using Enumerator = std::function<std::vector<LircDeviceInfo>()>;

  /// `enumerate` lists the devices (libudev by default; tests give their own).
  explicit LircCaptureSource(base::Dispatcher& dispatcher, Enumerator enumerate = EnumerateLircDevices);
  ~LircCaptureSource();
  LircCaptureSource(const LircCaptureSource&) = delete;
  LircCaptureSource& operator=(const LircCaptureSource&) = delete;

  void SetOnCapture(LircReceiver::CaptureHandler handler) { on_capture_ = std::move(handler); }
  /// Called on the owner's thread after the device list or the active receiver changed.
  void SetOnChange(std::function<void()> handler) { on_change_ = std::move(handler); }
  /// Reads from the first receiver while on; closes it when off.
  void SetListening(bool on);
  bool Listening() const { return listening_; }
  /// Lists the devices again and (re)opens a receiver as needed (owner's thread).
  void Recheck();
  /// Watches for plugged and unplugged devices; each change leads to a Recheck.
  void StartMonitor();

  const std::vector<LircDeviceInfo>& Devices() const { return devices_; }
  /// The node being read ("" when none).
  const std::string& ActivePath() const { return active_path_; }
  /// Why the last receiver could not be opened or stopped reading ("" when none).
  const std::string& Problem() const { return problem_; }

 private:
  void OpenFirstReceiver();
  void CloseReceiver();
  void Changed();

  base::Dispatcher& dispatcher_;
  Enumerator enumerate_;
  LircReceiver::CaptureHandler on_capture_;
  std::function<void()> on_change_;
  std::unique_ptr<LircReceiver> receiver_;
  std::unique_ptr<LircDeviceMonitor> monitor_;
  std::vector<LircDeviceInfo> devices_;
  std::string active_path_;
  std::string problem_;
  bool listening_ = false;
  /// Lets tasks the monitor posted find out whether the source still exists.
  std::shared_ptr<LircCaptureSource*> alive_;
};

}  // namespace klimavo::device
