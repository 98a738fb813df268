#pragma once
// TMyHIDUSBMange, the learner device manager: the model table, the learn and stop
// commands of each model family, and the decoding of the three packet formats
// into captures raised through OnCapture. The process-wide device manager is one
// of these, created before any window and destroyed at exit.

#include <functional>
#include <string>

#include "device/hid_link.h"
#include "device/learner_packets.h"

namespace klimavo::device {

/// Time-out of the reply to a stop command or a block, and of ReadReply (ms).
inline constexpr int kCommandReplyTimeoutMs = 300;
inline constexpr int kReadReplyTimeoutMs = 400;

/// The small notice shown while a packet is decoded ("Waiting..."); the GUI
/// installs a window, the CLI and the tests leave it empty or count the calls.
struct WaitMessageHook {
  std::function<void(const std::string& text)> show;
  std::function<void()> hide;
};

class TMyHIDUSBMange : public THIDWRClass {
 public:
  TMyHIDUSBMange(Transport& transport, base::Dispatcher& dispatcher, Clock& clock);
  ~TMyHIDUSBMange() override;

  /// Accepts the models of set n (0, 1, 2; other numbers: all) and rechecks.
  void SelectModelSet(std::uint8_t set_number) override;
  void ListeningChanged() override;
  bool ReadReply(base::Bytes& data) override;
  bool SendBlock(const base::Bytes& data) override;
  void ApplyLearnMode() override;
  bool StartLearning() override;
  bool StopLearning() override;
  void PacketReceived(const std::uint8_t* packet, std::size_t length, bool& armed) override;

  /// The last capture raised (0.1 µs) and its carrier (Hz).
  const ir::TIRIntegerArr& CaptureDurations() const { return capture_durations_; }
  std::int32_t CaptureCarrier() const { return capture_carrier_; }

  void SetWaitMessageHook(WaitMessageHook hook) { wait_hook_ = std::move(hook); }
  void ShowWaitMessage(const std::string& text);
  void HideWaitMessage();

 private:
  ir::TIRIntegerArr capture_durations_;
  std::int32_t capture_carrier_ = 0;
  WaitMessageHook wait_hook_;
};

}  // namespace klimavo::device
