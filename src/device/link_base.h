#pragma once
// TIRTongxun, the base of the device link: the state every window sees
// (connected, listening, learn mode), the two events (status and capture), the
// setters the windows call, and the virtual operations the HID transport and the
// learner manager fill in. Events are raised on the owner's thread.

#include <atomic>
#include <cstdint>
#include <functional>

#include "base/byte_io.h"
#include "ir/ir_types.h"

namespace klimavo::device {

class TIRTongxun {
 public:
  using StatusHandler = std::function<void(bool connected)>;
  /// Durations in 0.1 µs (marks positive), carrier in Hz (0 = unknown).
  using CaptureHandler = std::function<void(const ir::TIRIntegerArr& durations, std::int32_t carrier)>;

  TIRTongxun() = default;
  TIRTongxun(const TIRTongxun&) = delete;
  TIRTongxun& operator=(const TIRTongxun&) = delete;
  virtual ~TIRTongxun() = default;

  bool Connected() const { return connected_.load(); }
  bool Listening() const { return listening_; }
  int LearnMode() const { return learn_mode_.load(); }

  /// Stores the flag and calls ListeningChanged when it differs.
  void SetListening(bool value);
  /// Stores the mode and calls LearnModeChanged when it differs (1 close, 2 long range).
  void SetLearnMode(int value);
  /// At most one receiver each; an empty function removes it.
  void SetOnStatus(StatusHandler handler) { on_status_ = std::move(handler); }
  void SetOnCapture(CaptureHandler handler) { on_capture_ = std::move(handler); }
  /// The status receiver now assigned (a dialog that takes it over puts it back).
  const StatusHandler& OnStatus() const { return on_status_; }

  // The virtual operations of the link; the base does nothing and answers false.
  virtual void ListeningChanged() {}
  virtual void LearnModeChanged() {}
  virtual void CancelPending() {}
  virtual bool WriteReport(const base::Bytes& /*data*/) { return false; }
  virtual void WriteAndReadReply(base::Bytes& /*data*/) {}
  virtual bool ReadReport(base::Bytes& /*data*/, int /*timeout_ms*/) { return false; }
  virtual bool AuxWrite(const base::Bytes& /*data*/) { return false; }
  virtual bool AuxRead(base::Bytes& /*data*/) { return false; }
  virtual bool AuxTransact(base::Bytes& /*data*/, int /*expected_length*/) { return false; }
  virtual bool ReadReply(base::Bytes& /*data*/) { return false; }
  virtual bool NeedsStopCommand() { return false; }
  virtual bool SendBlock(const base::Bytes& /*data*/) { return false; }
  virtual bool SupportsLongRange() { return false; }
  virtual void SelectModelSet(std::uint8_t /*set_number*/) {}
  virtual bool HasLearnerModel() { return false; }

 protected:
  /// Written only by the transport.
  void SetConnected(bool value) { connected_.store(value); }
  /// Raises OnStatus when a receiver is assigned.
  void RaiseStatus(bool connected);
  /// Raises OnCapture; an exception of the receiver is caught and dropped, so the
  /// link carries on with the next capture.
  void RaiseCapture(const ir::TIRIntegerArr& durations, std::int32_t carrier);

 private:
  std::atomic<bool> connected_{false};
  bool listening_ = false;
  std::atomic<int> learn_mode_{0};
  StatusHandler on_status_;
  CaptureHandler on_capture_;
};

}  // namespace klimavo::device
