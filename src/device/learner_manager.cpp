#include "device/learner_manager.h"

#include <algorithm>

namespace klimavo::device {
namespace {

constexpr const char* kWaitingText = "Waiting...";
constexpr std::uint8_t kBlockFill = 0xFF;
constexpr std::uint8_t kBlockPrefixModel11[] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};

}  // namespace

TMyHIDUSBMange::TMyHIDUSBMange(Transport& transport, base::Dispatcher& dispatcher, Clock& clock)
    : THIDWRClass(transport, dispatcher, clock) {
  product_names_ = ModelProductNames();
}

TMyHIDUSBMange::~TMyHIDUSBMange() {
  // The listening thread calls the operations of this class; end it while they exist.
  StopListener();
}

void TMyHIDUSBMange::SelectModelSet(std::uint8_t set_number) {
  enabled_ = ModelSet(set_number);
  Recheck();
}

void TMyHIDUSBMange::ListeningChanged() {
  if (Connected()) SetListener(Listening());
}

bool TMyHIDUSBMange::ReadReply(base::Bytes& data) { return ReadReport(data, kReadReplyTimeoutMs); }

bool TMyHIDUSBMange::StartLearning() {
  CancelPending();
  return WriteReport(LearnCommand(ModelIndex(), LearnMode(), TrimTime()));
}

bool TMyHIDUSBMange::StopLearning() {
  const int model = ModelIndex();
  CancelPending();
  const bool ok = WriteReport(StopCommand(model, LearnMode(), TrimTime()));
  if (ok && StopCommandHasReply(model)) {
    base::Bytes reply;
    ReadReport(reply, kCommandReplyTimeoutMs);
  }
  return ok;
}

void TMyHIDUSBMange::ApplyLearnMode() {
  if (ModelIndex() != kPulseModel) return;
  CancelPending();
  WriteReport(PulseModelCommand(LearnMode() > 0, LearnMode(), TrimTime()));
}

bool TMyHIDUSBMange::SendBlock(const base::Bytes& data) {
  if (!Connected()) return false;
  base::Bytes payload;
  if (ModelIndex() == kPulseModel)
    payload.assign(std::begin(kBlockPrefixModel11), std::end(kBlockPrefixModel11));
  payload.insert(payload.end(), data.begin(), data.end());
  CancelPending();
  const std::size_t chunk = WriteReportLength() > 1 ? WriteReportLength() - 1 : 0;
  if (chunk == 0) return false;
  for (std::size_t at = 0; at < payload.size(); at += chunk) {
    base::Bytes report(WriteReportLength(), kBlockFill);
    report[0] = kReportId;
    const std::size_t take = std::min(chunk, payload.size() - at);
    std::copy_n(payload.begin() + static_cast<std::ptrdiff_t>(at), take, report.begin() + 1);
    if (!WriteReport(report)) break;
  }
  base::Bytes reply;
  return ReadReport(reply, kCommandReplyTimeoutMs);
}

void TMyHIDUSBMange::PacketReceived(const std::uint8_t* packet, std::size_t length, bool& armed) {
  ShowWaitMessage(kWaitingText);
  const std::span<const std::uint8_t> bytes(packet, length);
  const int model = ModelIndex();
  if (!HasPacketMark(bytes)) {
    armed = false;
  } else {
    const DecodedPacket decoded = DecodePacket(model, bytes);
    armed = model == kBigEndianModel ? false : decoded.complete;
    if (decoded.capture) {
      // A simulated learner may hand over the capture it played, uncut.
      const std::optional<ir::Capture> played = decoded.complete ? TakePlayedCapture(bytes) : std::nullopt;
      const ir::Capture& capture = played ? *played : *decoded.capture;
      capture_durations_ = capture.Durations;
      capture_carrier_ = capture.Carrier;
      RaiseCapture(capture_durations_, capture_carrier_);
    }
    if (ModelAt(model) && ModelAt(model)->format == PacketFormat::kTable && decoded.complete &&
        !IsContinuous()) {
      StartLearning();
    }
  }
  HideWaitMessage();
}

void TMyHIDUSBMange::ShowWaitMessage(const std::string& text) {
  if (wait_hook_.show) wait_hook_.show(text);
}

void TMyHIDUSBMange::HideWaitMessage() {
  if (wait_hook_.hide) wait_hook_.hide();
}

}  // namespace klimavo::device
