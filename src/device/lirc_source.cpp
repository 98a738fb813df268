#include "device/lirc_source.h"

#include <algorithm>

namespace klimavo::device {

LircCaptureSource::LircCaptureSource(base::Dispatcher& dispatcher, Enumerator enumerate)
    : dispatcher_(dispatcher),
      enumerate_(std::move(enumerate)),
      alive_(std::make_shared<LircCaptureSource*>(this)) {}

LircCaptureSource::~LircCaptureSource() {
  monitor_.reset();  // no more notifications
  *alive_ = nullptr;
  CloseReceiver();
}

void LircCaptureSource::SetListening(bool on) {
  if (on == listening_) return;
  listening_ = on;
  if (on) {
    if (devices_.empty()) devices_ = enumerate_();
    OpenFirstReceiver();
  } else {
    CloseReceiver();
  }
  Changed();
}

void LircCaptureSource::Recheck() {
  devices_ = enumerate_();
  const bool active_present = std::any_of(devices_.begin(), devices_.end(),
                                          [&](const LircDeviceInfo& d) { return d.path == active_path_; });
  // A receiver whose node is gone, or that stopped reading, is replaced.
  if (receiver_ && (!active_present || receiver_->Finished())) {
    if (receiver_->Finished() && !receiver_->EndReason().empty()) problem_ = receiver_->EndReason();
    CloseReceiver();
  }
  if (listening_ && !receiver_) OpenFirstReceiver();
  Changed();
}

void LircCaptureSource::StartMonitor() {
  if (monitor_) return;
  std::weak_ptr<LircCaptureSource*> alive = alive_;
  monitor_ = std::make_unique<LircDeviceMonitor>([this, alive] {
    dispatcher_.Post([alive] {
      if (auto self = alive.lock(); self && *self) (*self)->Recheck();
    });
  });
}

void LircCaptureSource::OpenFirstReceiver() {
  for (const auto& d : devices_) {
    if (!d.features || !d.features->CanReceiveMode2()) continue;
    auto receiver = std::make_unique<LircReceiver>(dispatcher_);
    receiver->SetOnCapture([this](const ir::TIRIntegerArr& durations, std::int32_t carrier) {
      if (on_capture_) on_capture_(durations, carrier);
    });
    const std::string error = receiver->Start(d.path);
    if (!error.empty()) {
      problem_ = error;
      continue;
    }
    problem_.clear();
    receiver_ = std::move(receiver);
    active_path_ = d.path;
    return;
  }
}

void LircCaptureSource::CloseReceiver() {
  if (receiver_) receiver_->Stop();
  receiver_.reset();
  active_path_.clear();
}

void LircCaptureSource::Changed() {
  if (on_change_) on_change_();
}

}  // namespace klimavo::device
