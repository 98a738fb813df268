#include "device/simulated_device.h"

#include <algorithm>

#include "device/learner_models.h"
#include "device/learner_packets.h"
#include "device/packet_encoder.h"

namespace klimavo::device {
namespace {

constexpr std::uint32_t kReadSliceMs = 5;  ///< a waiting read re-checks its state this often
constexpr std::uint32_t kReplyDelayMs = 1;
constexpr std::uint8_t kFinishMark = 0xBE;
constexpr std::uint8_t kHeaderBlockMark = 0xAA;
constexpr std::uint8_t kDataBlockMark = 0xA0;
constexpr std::uint8_t kSequenceMask = 0xF8;
constexpr std::size_t kBlockBytes = 8;
constexpr std::size_t kPlayedCapturesKept = 64;  ///< presses queued but not yet received
constexpr std::uint8_t kModel11Prefix[] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};

bool Due(std::uint32_t due, std::uint32_t now) { return static_cast<std::int32_t>(now - due) >= 0; }

bool HasModel11Prefix(const base::Bytes& r) {
  return r.size() >= 14 && std::equal(std::begin(kModel11Prefix), std::end(kModel11Prefix), r.begin() + 1) &&
         r[9] == 0x88;
}

bool IsModel12Command(const base::Bytes& r) {
  return r.size() >= 9 && r[1] == 0xF1 && r[2] == 0xF2 && r[3] == 0x04;
}

}  // namespace

class SimulatedDevice::Handle final : public DeviceHandle {
 public:
  Handle(SimulatedDevice& device, std::uint64_t generation, bool read_write)
      : device_(device), generation_(generation), read_write_(read_write) {}
  bool CanReadWrite() const override { return read_write_; }
  std::size_t InputReportLength() const override { return device_.options_.input_report_length; }
  std::size_t OutputReportLength() const override { return device_.options_.output_report_length; }
  bool Write(const base::Bytes& report, int /*timeout_ms*/) override {
    return read_write_ && device_.Write(generation_, report);
  }
  bool Read(base::Bytes& report, int timeout_ms) override {
    return read_write_ && device_.Read(generation_, device_.CancelEpoch(), report, timeout_ms);
  }
  void Cancel() override { device_.Cancel(); }

 private:
  SimulatedDevice& device_;
  std::uint64_t generation_;
  bool read_write_;
};

SimulatedDevice::SimulatedDevice(Clock& clock, SimulatedOptions options) : clock_(clock), options_(options) {}

SimulatedDevice::~SimulatedDevice() = default;

std::vector<DeviceInfo> SimulatedDevice::Enumerate() {
  std::lock_guard lock(mutex_);
  if (!present_) return {};
  const auto model = ModelAt(options_.model);
  DeviceInfo info;
  info.path = "sim:" + std::to_string(instance_);
  info.product = model ? std::string(model->product_name) : "unknown";
  info.instance = info.path;
  return {info};
}

std::unique_ptr<DeviceHandle> SimulatedDevice::Open(const DeviceInfo& device, std::string* error) {
  std::lock_guard lock(mutex_);
  if (!present_ || device.instance != "sim:" + std::to_string(instance_)) return nullptr;
  if (deny_access_ && error) *error = device.path + ": permission denied";
  return std::make_unique<Handle>(*this, generation_, !deny_access_);
}

void SimulatedDevice::SetChangeHandler(std::function<void()> handler) {
  std::lock_guard lock(handler_mutex_);
  change_handler_ = std::move(handler);
}

void SimulatedDevice::Notify() {
  std::lock_guard lock(handler_mutex_);
  if (change_handler_) change_handler_();
}

void SimulatedDevice::QueueCapture(const ir::Capture& capture) {
  base::Bytes packet = EncodePacket(options_.model, capture);
  if (options_.exact_captures) {
    std::lock_guard lock(mutex_);
    played_.emplace_back(packet, capture);
    if (played_.size() > kPlayedCapturesKept) played_.pop_front();
  }
  QueuePacket(std::move(packet));
}

std::optional<ir::Capture> SimulatedDevice::TakePlayedCapture(std::span<const std::uint8_t> packet) {
  std::lock_guard lock(mutex_);
  // Oldest first: of two presses with the same packet, the first arrives first.
  for (auto it = played_.begin(); it != played_.end(); ++it) {
    const base::Bytes& sent = it->first;
    if (packet.size() >= sent.size() && std::equal(sent.begin(), sent.end(), packet.begin())) {
      ir::Capture capture = std::move(it->second);
      played_.erase(it);
      return capture;
    }
  }
  return std::nullopt;
}

void SimulatedDevice::QueuePacket(base::Bytes packet) {
  std::lock_guard lock(mutex_);
  packets_.push_back(std::move(packet));
  if (learning_ && !sending_) ScheduleNextPacketLocked(options_.first_report_delay_ms);
}

void SimulatedDevice::Unplug() {
  {
    std::lock_guard lock(mutex_);
    present_ = false;
    ++generation_;
    learning_ = false;
    sending_ = false;
    outgoing_.clear();
  }
  Notify();
}

void SimulatedDevice::Plug(bool new_instance) {
  {
    std::lock_guard lock(mutex_);
    present_ = true;
    ++generation_;
    if (new_instance) ++instance_;
  }
  Notify();
}

void SimulatedDevice::DenyAccess(bool deny) {
  std::lock_guard lock(mutex_);
  deny_access_ = deny;
}

void SimulatedDevice::DropReplies(int count) {
  std::lock_guard lock(mutex_);
  drop_replies_ = count;
}

void SimulatedDevice::CorruptReplies(int count) {
  std::lock_guard lock(mutex_);
  corrupt_replies_ = count;
}

std::vector<ReceivedReport> SimulatedDevice::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<ReceivedReport> SimulatedDevice::LearnCommands() const {
  std::vector<ReceivedReport> learn;
  for (const auto& r : Received()) {
    if (IsLearnCommand(r.bytes)) learn.push_back(r);
  }
  return learn;
}

std::size_t SimulatedDevice::PendingPackets() const {
  std::lock_guard lock(mutex_);
  return packets_.size() + (sending_ ? 1 : 0);
}

std::uint32_t SimulatedDevice::LastReportSentMs() const {
  std::lock_guard lock(mutex_);
  return last_report_sent_ms_;
}

bool SimulatedDevice::Learning() const {
  std::lock_guard lock(mutex_);
  return learning_;
}

std::uint64_t SimulatedDevice::CancelEpoch() const {
  std::lock_guard lock(mutex_);
  return cancel_epoch_;
}

void SimulatedDevice::Cancel() {
  std::lock_guard lock(mutex_);
  ++cancel_epoch_;
}

bool SimulatedDevice::IsLearnCommand(const base::Bytes& r) const {
  if (options_.model == kPulseModel) return HasModel11Prefix(r) && r[13] != 0;
  if (options_.model == kBigEndianModel) return IsModel12Command(r) && r[6] == 1;
  return r.size() >= 4 && r[1] == 0xAA && (r[2] == 0xF0 || r[2] == 0xF4) && r[3] == 0xFF;
}

bool SimulatedDevice::IsStopCommand(const base::Bytes& r) const {
  if (options_.model == kPulseModel) return HasModel11Prefix(r) && r[13] == 0;
  if (options_.model == kBigEndianModel) return IsModel12Command(r) && r[6] == 0;
  return r.size() >= 9 && std::all_of(r.begin() + 1, r.begin() + 9, [](std::uint8_t b) { return b == 0xFF; });
}

void SimulatedDevice::ScheduleReportLocked(base::Bytes report, std::uint32_t due_ms) {
  report.resize(options_.input_report_length, 0);
  outgoing_.push_back(Scheduled{due_ms, std::move(report)});
}

void SimulatedDevice::ScheduleNextPacketLocked(std::uint32_t delay_ms) {
  if (packets_.empty()) return;
  const base::Bytes packet = std::move(packets_.front());
  packets_.pop_front();
  if (packet.empty()) return;
  sending_ = true;
  const std::size_t n = options_.input_report_length - 1;
  std::uint32_t due = clock_.NowMs() + delay_ms;
  for (std::size_t at = 0; at < packet.size(); at += n, due += options_.report_interval_ms) {
    base::Bytes report{kReportId};
    report.insert(report.end(), packet.begin() + static_cast<std::ptrdiff_t>(at),
                  packet.begin() + static_cast<std::ptrdiff_t>(std::min(packet.size(), at + n)));
    ScheduleReportLocked(std::move(report), due);
  }
  outgoing_.back().report.push_back(1);  // marks the last report of the packet (cut off before delivery)
}

bool SimulatedDevice::Write(std::uint64_t generation, const base::Bytes& report) {
  std::lock_guard lock(mutex_);
  if (!present_ || generation != generation_ || report.size() != options_.output_report_length) return false;
  const std::uint32_t now = clock_.NowMs();
  received_.push_back(ReceivedReport{now, report});
  if (IsLearnCommand(report)) {
    if (learning_) return true;
    learning_ = true;
    if (options_.acknowledge_learn) ScheduleReportLocked({kReportId, 0xAA, 0xF0, 0x00}, now + kReplyDelayMs);
    if (!sending_) ScheduleNextPacketLocked(options_.first_report_delay_ms);
  } else if (IsStopCommand(report)) {
    learning_ = false;
    sending_ = false;
    outgoing_.clear();
    if (StopCommandHasReply(options_.model)) ScheduleReportLocked({kReportId, 0xFF}, now + kReplyDelayMs);
  } else if (report.size() > kBlockBytes &&
             (report[1] == kHeaderBlockMark || (report[1] & kSequenceMask) == kDataBlockMark)) {
    if (drop_replies_ > 0) {
      --drop_replies_;
      return true;
    }
    base::Bytes echo(report.begin(), report.begin() + 1 + kBlockBytes);
    if (corrupt_replies_ > 0) {
      --corrupt_replies_;
      echo[2] ^= 0x5A;
    }
    ScheduleReportLocked(std::move(echo), now + kReplyDelayMs);
  } else if (report.size() > 1 && report[1] == kFinishMark) {
    learning_ = false;
  }
  return true;
}

bool SimulatedDevice::Read(std::uint64_t generation, std::uint64_t cancel_epoch, base::Bytes& report,
                           int timeout_ms) {
  const std::uint32_t start = clock_.NowMs();
  const auto timeout = static_cast<std::uint32_t>(std::max(timeout_ms, 0));
  for (;;) {
    std::uint32_t step = kReadSliceMs;
    {
      std::lock_guard lock(mutex_);
      if (!present_ || generation != generation_ || cancel_epoch != cancel_epoch_) return false;
      const std::uint32_t now = clock_.NowMs();
      if (!outgoing_.empty() && Due(outgoing_.front().due_ms, now)) {
        report = std::move(outgoing_.front().report);
        outgoing_.pop_front();
        last_report_sent_ms_ = now;
        if (report.size() > options_.input_report_length) {  // the last report of a packet
          report.resize(options_.input_report_length);
          sending_ = false;
          if (IsContinuous(options_.model) && learning_) {
            ScheduleNextPacketLocked(options_.continuous_gap_ms);
          } else if (!IsContinuous(options_.model)) {
            learning_ = false;
          }
        }
        return true;
      }
      const std::uint32_t elapsed = TicksSince(now, start);
      if (elapsed >= timeout) return false;
      step = std::min(step, timeout - elapsed);
      if (!outgoing_.empty())
        step = std::min(step, std::max<std::uint32_t>(1, outgoing_.front().due_ms - now));
    }
    clock_.SleepMs(step);
  }
}

}  // namespace klimavo::device
