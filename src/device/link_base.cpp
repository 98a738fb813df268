#include "device/link_base.h"

namespace klimavo::device {

void TIRTongxun::SetListening(bool value) {
  if (value == listening_) return;
  listening_ = value;
  ListeningChanged();
}

void TIRTongxun::SetLearnMode(int value) {
  if (value == learn_mode_.load()) return;
  learn_mode_.store(value);
  LearnModeChanged();
}

void TIRTongxun::RaiseStatus(bool connected) {
  if (on_status_) on_status_(connected);
}

void TIRTongxun::RaiseCapture(const ir::TIRIntegerArr& durations, std::int32_t carrier) {
  if (!on_capture_) return;
  try {
    on_capture_(durations, carrier);
  } catch (...) {
    // The capture is lost; the link carries on.
  }
}

}  // namespace klimavo::device
