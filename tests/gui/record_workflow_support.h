#pragma once
// The workbench of the record-workflow GUI tests: a seeded home, the main
// window over it and the simulated learner playing the sample captures, fast.

#include <QCoreApplication>
#include <QTest>
#include <chrono>
#include <functional>

#include "app/device_session.h"
#include "app/main_window.h"
#include "base/gbk.h"
#include "capture/capture_format.h"
#include "gui_test_support.h"

namespace klimavo::testing {

/// The sample captures (data/samples/ac_captures.txt): Admiral "Fan_2",
/// Airmax "Power_on", Daikin ARC480A41 "OFF", from the capture corpus.
inline std::vector<capture::CaptureRead> SampleCaptures() {
  capture::ReadOptions options;
  const auto read =
      capture::ReadCaptureFile(std::string(KLIMAVO_SOURCE_DIR) + "/data/samples/ac_captures.txt", options);
  return read.captures;
}

inline app::DeviceSessionOptions FastSimulatedLearner() {
  app::DeviceSessionOptions options;
  options.simulate = true;
  options.captures = SampleCaptures();
  options.simulated.first_report_delay_ms = 20;
  options.simulated.report_interval_ms = 1;
  options.simulated.exact_captures = true;  // as the workbench runs it
  return options;
}

/// Serves the event loop until `done()` or the time-out; true when done.
inline bool WaitFor(const std::function<bool()>& done, int timeout_ms = 10000) {
  const auto start = std::chrono::steady_clock::now();
  while (!done()) {
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(timeout_ms)) return false;
    QTest::qWait(10);
  }
  return true;
}

struct WorkbenchFixture {
  explicit WorkbenchFixture(bool with_library = true, bool with_device = true)
      : home(with_library), workbench(home.path()) {
    if (with_device) {
      device = std::make_unique<app::DeviceSession>(FastSimulatedLearner());
      workbench.device = device.get();
    }
    window = std::make_unique<app::TfrmAirEditor>(workbench, prompts);
    window->show();
    QCoreApplication::processEvents();
  }
  ~WorkbenchFixture() {
    window.reset();
    device.reset();
  }
  QString Text(int n) const { return QString::fromStdString(base::GbkToUtf8(workbench.language.Text(n))); }

  TestHome home;
  ScriptedPrompts prompts;
  app::Workbench workbench;
  std::unique_ptr<app::DeviceSession> device;
  std::unique_ptr<app::TfrmAirEditor> window;
};

}  // namespace klimavo::testing
