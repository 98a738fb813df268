#include "app/device_session.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMetaObject>
#include <QPointer>
#include <algorithm>

#include "device/hid_transport.h"
#include "device/packet_encoder.h"

#ifndef KLIMAVO_SAMPLES_DIR
#define KLIMAVO_SAMPLES_DIR ""
#endif

namespace klimavo::app {
namespace {

constexpr const char* kSampleCaptures = "ac_captures.txt";

std::filesystem::path ExecutableDir() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::filesystem::path() : exe.parent_path();
}

}  // namespace

std::filesystem::path DefaultSimulatedCaptures() {
  std::error_code ec;
  const std::filesystem::path beside = ExecutableDir() / "../share/klimavo/samples" / kSampleCaptures;
  if (std::filesystem::is_regular_file(beside, ec)) return std::filesystem::weakly_canonical(beside, ec);
  return std::filesystem::path(KLIMAVO_SAMPLES_DIR) / kSampleCaptures;
}

DeviceSession::DeviceSession(DeviceSessionOptions options, QObject* parent)
    : QObject(parent), captures_(std::move(options.captures)) {
  // Hand-overs from the link's threads run when the Qt event loop next turns.
  QPointer<DeviceSession> self(this);
  dispatcher_.SetTaskQueuedHook([self] {
    if (!self) return;
    QMetaObject::invokeMethod(
        self.data(),
        [self] {
          if (self) self->dispatcher_.ProcessPending();
        },
        Qt::QueuedConnection);
  });
  device::Clock& clock = options.clock ? *options.clock : device::SteadyClock::Instance();
  if (options.simulate) {
    auto simulated = std::make_unique<device::SimulatedDevice>(clock, options.simulated);
    simulated_ = simulated.get();
    transport_ = std::move(simulated);
    QCoreApplication::instance()->installEventFilter(this);
  } else {
    transport_ = std::make_unique<device::HidrawTransport>();
    lirc_ = std::make_unique<device::LircCaptureSource>(dispatcher_);
    lirc_->StartMonitor();
  }
  manager_ = std::make_unique<device::TMyHIDUSBMange>(*transport_, dispatcher_, clock);
  manager_->StartRecheckTimer();
}

DeviceSession::~DeviceSession() {
  if (simulated_) QCoreApplication::instance()->removeEventFilter(this);
  manager_->SetListening(false);
  manager_->SetOnStatus(nullptr);
  manager_->SetOnCapture(nullptr);
  manager_->SetWaitMessageHook({});
  lirc_.reset();
  manager_.reset();
  dispatcher_.Shutdown();
}

int DeviceSession::PressSimulatedKey() {
  if (!simulated_ || captures_.empty()) return 0;
  const std::size_t index = next_capture_;
  next_capture_ = (next_capture_ + 1) % captures_.size();
  const ir::Capture capture = capture::ToCapture(captures_[index]);
  simulated_->QueueCapture(capture);
  const int number = static_cast<int>(index) + 1;
  const auto& name = captures_[index].name;
  const std::size_t levels = capture.Durations.size();
  const std::size_t sent = simulated_->Options().exact_captures
                               ? levels
                               : std::min(levels, device::MaxPacketLevels(simulated_->Options().model));
  emit SimulatedKeyPressed(number, name ? QString::fromStdString(*name) : QString(), static_cast<int>(levels),
                           static_cast<int>(sent));
  return number;
}

bool DeviceSession::eventFilter(QObject* watched, QEvent* event) {
  // The simulated remote answers its key in every window, also in a modal dialog.
  if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == kSimulatedKeyShortcut && !key->isAutoRepeat()) {
      PressSimulatedKey();
      return true;
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace klimavo::app
