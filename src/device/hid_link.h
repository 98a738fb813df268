#pragma once
// THIDWRClass, the USB HID side of the device link: finds the learner among the
// devices of a transport by its product name, opens it, writes and reads single
// reports with time-outs, rechecks the devices after plug and unplug
// notifications (debounced), and runs the listening thread that joins reports
// into packets and hands each packet to the owner's thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "base/dispatcher.h"
#include "device/clock.h"
#include "device/learner_models.h"
#include "device/link_base.h"
#include "device/recheck_debounce.h"
#include "device/transport.h"

namespace klimavo::device {

// Timings of the transport and the listening loop, in ms.
inline constexpr int kWriteTimeoutMs = 300;
inline constexpr int kListenReadTimeoutMs = 60;
inline constexpr int kListenIdleSleepMs = 2;
inline constexpr std::uint32_t kPacketGapMs = 50;
inline constexpr std::uint32_t kRearmAfterMs = 1000;
inline constexpr std::size_t kPacketInitialBytes = 20480;
inline constexpr std::size_t kPacketGrowBytes = 1024;

class THIDWRClass : public TIRTongxun {
 public:
  /// The link works on `transport`, hands over to `dispatcher`'s owner (the
  /// thread that calls the setters) and takes its time from `clock`.
  THIDWRClass(Transport& transport, base::Dispatcher& dispatcher, Clock& clock);
  ~THIDWRClass() override;

  /// Searches the transport's devices; on a match `handle` holds it open.
  bool FindDevice(std::shared_ptr<DeviceHandle>& handle, std::string& instance);
  /// (Re)opens the learner; sets Connected and restarts a wanted listener.
  bool Open();
  /// Compares the devices present with the current state; reopens and raises
  /// OnStatus when the device appeared, disappeared or was replaced.
  void Recheck();
  /// A device-change notification (owner's thread): starts the debounce.
  void DeviceChangeNotified();
  /// One tick of the 100 ms recheck timer (owner's thread).
  void TimerTick();
  /// Runs the 100 ms timer on a thread of its own that posts TimerTick to the
  /// dispatcher while the debounce is active (the CLI and the GUI use it; tests tick by hand).
  void StartRecheckTimer();

  void StartListener();
  void StopListener();
  void SetListener(bool on);
  bool ListenerRunning() const { return listener_running_; }

  /// Truncation time (ms) carried by the learn commands of models 11 and 12.
  void SetTrimTime(int value) { trim_time_.store(value); }
  int TrimTime() const { return trim_time_.load(); }
  int ModelIndex() const { return model_index_.load(); }
  std::size_t ReadReportLength() const;
  std::size_t WriteReportLength() const;
  /// Why the last matching device could only be opened for queries ("" when none).
  const std::string& OpenProblem() const { return open_problem_; }
  const std::vector<std::string>& ProductNames() const { return product_names_; }
  const EnabledModels& Enabled() const { return enabled_; }

  void CancelPending() override;
  bool WriteReport(const base::Bytes& data) override;
  void WriteAndReadReply(base::Bytes& data) override;
  bool ReadReport(base::Bytes& data, int timeout_ms) override;
  bool NeedsStopCommand() override { return device::NeedsStopCommand(ModelIndex()); }
  bool SupportsLongRange() override { return device::SupportsLongRange(ModelIndex()); }
  bool HasLearnerModel() override { return device::HasLearnerModel(ModelIndex()); }
  void LearnModeChanged() override { ApplyLearnMode(); }

  /// Decodes one packet on the owner's thread; clears `armed` to re-arm later.
  virtual void PacketReceived(const std::uint8_t* packet, std::size_t length, bool& armed);
  /// Sends the learn mode to a learner that takes it at once (model 11).
  virtual void ApplyLearnMode() {}
  virtual bool StartLearning() { return false; }
  virtual bool StopLearning() { return false; }
  virtual bool IsContinuous() { return device::IsContinuous(ModelIndex()); }

 protected:
  std::vector<std::string> product_names_;
  EnabledModels enabled_;
  base::Dispatcher& dispatcher() { return dispatcher_; }
  /// The capture behind a packet the transport played itself (Transport::TakePlayedCapture).
  std::optional<ir::Capture> TakePlayedCapture(std::span<const std::uint8_t> packet) {
    return transport_.TakePlayedCapture(packet);
  }
  Clock& clock() { return clock_; }

 private:
  std::shared_ptr<DeviceHandle> CurrentHandle() const;
  void ListenLoop();
  void RunListenLoop();

  Transport& transport_;
  base::Dispatcher& dispatcher_;
  Clock& clock_;
  std::atomic<int> model_index_{0};
  std::atomic<int> trim_time_{180};
  RecheckDebounce debounce_;
  std::atomic<bool> debounce_active_{false};
  mutable std::mutex handle_mutex_;
  std::shared_ptr<DeviceHandle> handle_;
  std::string device_instance_;
  std::string open_problem_;

  std::thread listen_thread_;
  std::atomic<bool> listen_stop_{false};
  std::atomic<bool> listen_finished_{false};
  bool listener_running_ = false;

  std::thread timer_thread_;
  std::atomic<bool> timer_stop_{false};
  /// Lets tasks posted by other threads find out on the owner's thread whether the link still exists.
  std::shared_ptr<THIDWRClass*> alive_;
};

}  // namespace klimavo::device
