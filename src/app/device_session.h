#pragma once
// The process-wide device manager of the workbench and what it runs on: the
// learner manager over the hidraw transport, or over the simulated learner
// (`klimavo --simulate-device`), which plays the captures of a file, one per
// simulated key press. Hand-overs from the link's threads are served by the Qt
// event loop. Created before the main window, destroyed after it.

#include <QObject>
#include <QString>
#include <filesystem>
#include <memory>
#include <vector>

#include "base/dispatcher.h"
#include "capture/capture_format.h"
#include "device/learner_manager.h"
#include "device/lirc_source.h"
#include "device/simulated_device.h"

namespace klimavo::app {

/// The key that presses a key of the simulated remote, in every window.
inline constexpr Qt::Key kSimulatedKeyShortcut = Qt::Key_F9;

struct DeviceSessionOptions {
  bool simulate = false;
  /// The captures the simulated learner plays, in order (wrapping around).
  std::vector<capture::CaptureRead> captures;
  device::SimulatedOptions simulated;
  /// The link's clock; the steady clock when null.
  device::Clock* clock = nullptr;
};

/// The sample captures installed with the program (data/samples/ac_captures.txt):
/// beside the executable's share folder, in the build tree or installed.
std::filesystem::path DefaultSimulatedCaptures();

class DeviceSession : public QObject {
  Q_OBJECT

 public:
  explicit DeviceSession(DeviceSessionOptions options, QObject* parent = nullptr);
  ~DeviceSession() override;

  device::TMyHIDUSBMange& Manager() { return *manager_; }
  /// The kernel IR receivers beside the learner (null with the simulated learner).
  device::LircCaptureSource* Lirc() { return lirc_.get(); }
  bool Simulated() const { return simulated_ != nullptr; }
  device::SimulatedDevice* SimulatedLearner() { return simulated_; }
  int SimulatedCaptureCount() const { return static_cast<int>(captures_.size()); }
  /// Sends the next capture of the file to the simulated learner; returns its
  /// number (from 1), 0 when there is nothing to send.
  int PressSimulatedKey();

 signals:
  /// A simulated key was pressed: which capture (from 1) and its name in the
  /// file; `levels` of the capture, of which the learner's packet carried
  /// `sent` (fewer when the capture was cut).
  void SimulatedKeyPressed(int number, const QString& name, int levels, int sent);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  base::EventLoopDispatcher dispatcher_;
  std::unique_ptr<device::Transport> transport_;
  device::SimulatedDevice* simulated_ = nullptr;
  std::unique_ptr<device::TMyHIDUSBMange> manager_;
  std::unique_ptr<device::LircCaptureSource> lirc_;
  std::vector<capture::CaptureRead> captures_;
  std::size_t next_capture_ = 0;
};

}  // namespace klimavo::app
