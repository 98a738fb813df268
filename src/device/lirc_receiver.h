#pragma once
// A kernel IR receiver as a capture source beside the learner: a reading thread
// takes the mode2 samples of a /dev/lirc* device (or of a recorded stream in a
// regular file or a pipe), joins them into captures and hands each one to the
// owner's thread with RunAndWait, where OnCapture receives it in 0.1 µs with
// its carrier, exactly as the learner's captures arrive. A recorded stream
// ends at its end; a device runs until Stop.

#include <atomic>
#include <string>
#include <thread>

#include "base/dispatcher.h"
#include "device/link_base.h"
#include "device/lirc_device.h"
#include "device/lirc_samples.h"

namespace klimavo::device {

class LircReceiver {
 public:
  using CaptureHandler = TIRTongxun::CaptureHandler;

  explicit LircReceiver(base::Dispatcher& dispatcher);
  ~LircReceiver();
  LircReceiver(const LircReceiver&) = delete;
  LircReceiver& operator=(const LircReceiver&) = delete;

  /// Opens `path`, prepares a device for mode2 reception and starts reading.
  /// Returns "" when reading started, else why not (nothing runs then).
  std::string Start(const std::string& path);
  /// Starts reading an open descriptor, which the receiver then owns and closes.
  std::string StartDescriptor(int fd, const std::string& name);
  /// Ends the reading thread (serving hand-overs while it finishes) and closes the source.
  void Stop();

  /// At most one receiver; an empty function removes it. An exception of the
  /// receiver is caught and dropped, so later captures still arrive.
  void SetOnCapture(CaptureHandler handler) { on_capture_ = std::move(handler); }
  bool Running() const { return thread_.joinable(); }
  /// The source ended by itself (a recorded stream's end, a read error, an unplugged device).
  bool Finished() const { return finished_.load(); }
  /// Why reading stopped: "" at a stream's end or after Stop. Valid once Finished.
  const std::string& EndReason() const { return end_reason_; }
  const std::string& Name() const { return name_; }
  const LircFeatures& Features() const { return features_; }
  /// Captures delivered and lost so far (owner's thread, once Finished or stopped).
  const Mode2Counts& Counts() const { return counts_; }

 private:
  void Read();

  base::Dispatcher& dispatcher_;
  CaptureHandler on_capture_;
  std::thread thread_;
  int fd_ = -1;
  std::string name_;
  LircFeatures features_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{false};
  std::string end_reason_;
  Mode2Counts counts_;
};

}  // namespace klimavo::device
