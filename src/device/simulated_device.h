#pragma once
// A simulated learner and programmer behind the transport interface. It
// enumerates as a chosen model, answers learn and stop commands, sends queued
// captures as that model's packets split into reports with realistic timing,
// echoes programming blocks, and can be told to answer wrongly, drop replies,
// refuse access, unplug and come back. Its time is the link's clock, so tests
// on a manual clock run fast and deterministic.

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "device/clock.h"
#include "device/transport.h"
#include "ir/ir_types.h"

namespace klimavo::device {

struct SimulatedOptions {
  int model = 7;                         ///< model index the device enumerates as
  std::size_t input_report_length = 65;  ///< including the report-ID byte
  std::size_t output_report_length = 65;
  std::uint32_t first_report_delay_ms = 200;  ///< from arming (or queueing) to the first report
  std::uint32_t report_interval_ms = 4;       ///< between the reports of one packet
  std::uint32_t continuous_gap_ms = 400;      ///< between packets of a continuous learner
  bool acknowledge_learn = false;             ///< model 8: a lone AA F0 00 report answers a learn command
  /// The link receives a queued capture exactly as queued (TakePlayedCapture):
  /// its packet still goes through the link, but a long capture is not cut to
  /// the packet's levels and the carrier is not re-measured from the packet.
  bool exact_captures = false;
};

/// A report the simulated device received, with the time it arrived.
struct ReceivedReport {
  std::uint32_t time_ms;
  base::Bytes bytes;
};

class SimulatedDevice final : public Transport {
 public:
  SimulatedDevice(Clock& clock, SimulatedOptions options);
  ~SimulatedDevice() override;

  std::string Name() const override { return "simulated"; }
  std::vector<DeviceInfo> Enumerate() override;
  std::unique_ptr<DeviceHandle> Open(const DeviceInfo& device, std::string* error) override;
  void SetChangeHandler(std::function<void()> handler) override;
  std::optional<ir::Capture> TakePlayedCapture(std::span<const std::uint8_t> packet) override;

  /// Sends `capture` as the model's packet when the learner is armed.
  void QueueCapture(const ir::Capture& capture);
  /// Sends raw packet bytes (split into reports) when the learner is armed.
  void QueuePacket(base::Bytes packet);
  /// Removes the device; open handles fail from now on. Notifies the link.
  void Unplug();
  /// Attaches it again (as a new attachment when `new_instance`). Notifies the link.
  void Plug(bool new_instance = false);
  /// Makes read/write opens fail with a permission error (query-only handles).
  void DenyAccess(bool deny);
  /// The next `count` programming blocks get no echo.
  void DropReplies(int count);
  /// The next `count` programming blocks are echoed with byte 2 changed.
  void CorruptReplies(int count);

  std::vector<ReceivedReport> Received() const;
  /// Received reports that were learn commands (of the device's model family).
  std::vector<ReceivedReport> LearnCommands() const;
  std::size_t PendingPackets() const;
  /// Clock time at which the last report went out to the link.
  std::uint32_t LastReportSentMs() const;
  bool Learning() const;
  const SimulatedOptions& Options() const { return options_; }

 private:
  class Handle;
  struct Scheduled {
    std::uint32_t due_ms;
    base::Bytes report;
  };
  bool Write(std::uint64_t generation, const base::Bytes& report);
  bool Read(std::uint64_t generation, std::uint64_t cancel_epoch, base::Bytes& report, int timeout_ms);
  std::uint64_t CancelEpoch() const;
  void Cancel();
  void Notify();
  void ScheduleNextPacketLocked(std::uint32_t delay_ms);
  void ScheduleReportLocked(base::Bytes report, std::uint32_t due_ms);
  bool IsLearnCommand(const base::Bytes& report) const;
  bool IsStopCommand(const base::Bytes& report) const;

  Clock& clock_;
  SimulatedOptions options_;
  mutable std::mutex mutex_;
  std::mutex handler_mutex_;
  std::function<void()> change_handler_;
  bool present_ = true;
  bool deny_access_ = false;
  std::uint64_t generation_ = 1;
  int instance_ = 1;
  std::uint64_t cancel_epoch_ = 0;
  bool learning_ = false;
  bool sending_ = false;  ///< a packet's reports are scheduled
  std::uint32_t last_report_sent_ms_ = 0;
  int drop_replies_ = 0;
  int corrupt_replies_ = 0;
  std::deque<base::Bytes> packets_;
  /// With exact captures: the queued captures not yet handed over, oldest
  /// first, with the packets made of them.
  std::deque<std::pair<base::Bytes, ir::Capture>> played_;
  std::deque<Scheduled> outgoing_;
  std::vector<ReceivedReport> received_;
};

}  // namespace klimavo::device
