#pragma once
// A simulated learner and programmer behind the real device manager, for the
// GUI tests: its hand-overs are served by the Qt event loop, its captures go
// through the workbench's capture router like the learner's.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <functional>

#include "base/dispatcher.h"
#include "device/capture_router.h"
#include "device/clock.h"
#include "device/learner_manager.h"
#include "device/learner_packets.h"
#include "device/simulated_device.h"

namespace klimavo::testing {

class SimulatedLink {
 public:
  SimulatedLink() {
    QObject::connect(&pump_, &QTimer::timeout, [this] { dispatcher_.ProcessPending(); });
    pump_.start(1);
    manager_.SelectModelSet(0);
  }
  ~SimulatedLink() {
    manager_.SetOnCapture(nullptr);
    manager_.SetListening(false);
    pump_.stop();
  }

  /// Listens as the main window does: every capture goes to `router`.
  void RouteTo(const device::CaptureRouter& router) {
    manager_.SetOnCapture(
        [&router](const ir::TIRIntegerArr& d, std::int32_t carrier) { router.Route(d, carrier); });
    manager_.SetListening(false);
    manager_.SetLearnMode(device::kCloseRange);
    manager_.SetListening(true);
  }

  device::TMyHIDUSBMange& Manager() { return manager_; }
  device::SimulatedDevice& Device() { return device_; }
  device::Clock& Clock() { return device::SteadyClock::Instance(); }

 private:
  base::EventLoopDispatcher dispatcher_;
  device::SimulatedDevice device_{device::SteadyClock::Instance(), device::SimulatedOptions{.model = 7}};
  device::TMyHIDUSBMange manager_{device_, dispatcher_, device::SteadyClock::Instance()};
  QTimer pump_;
};

/// Serves events until `done()` or `timeout_ms` passed; true when done.
inline bool WaitFor(const std::function<bool()>& done, int timeout_ms = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > timeout_ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

}  // namespace klimavo::testing
