// The main window and the learner: the device manager prepared at window
// creation, captures routed to the open consumer, listening switched on one
// second after the window appears, the near/far buttons and the status bar in
// step with the device, and the key of the simulated remote.
#include <QAction>
#include <QLabel>
#include <QPointer>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QToolBar>

#include "app/device_session.h"
#include "app/main_window.h"
#include "device/learner_models.h"
#include "ui/dialogs/wait_message.h"
#include "ui/ui_text.h"

namespace klimavo::app {
namespace {

constexpr int kListenDelayMs = 1000;
constexpr unsigned long kRangeSwitchPauseMs = 100;
constexpr int kCloseRange = 1;
constexpr int kLongRange = 2;
constexpr int kTextNoLearner = 79;
constexpr int kTextCaptureCut = 257;
constexpr int kTextNoConsumer = 271;

}  // namespace

void TfrmAirEditor::ConnectDeviceManager() {
  near_button_ = findChild<QAction*>("btnNearCapture");
  far_button_ = findChild<QAction*>("btnFarCapture");
  connect(near_button_, &QAction::triggered, this, [this] { CaptureButtonClicked(kCloseRange); });
  connect(far_button_, &QAction::triggered, this, [this] { CaptureButtonClicked(kLongRange); });
  // The press has a field of its own, so that it never covers what a command
  // (the filter's count, a written file) says in the hint field.
  status_press_ = new QLabel(this);
  status_press_->setObjectName("lblStatusPress");
  statusBar()->addPermanentWidget(status_press_);
  status_device_ = new QLabel(this);
  status_device_->setObjectName("lblStatusDevice");
  statusBar()->addPermanentWidget(status_device_);
  listen_timer_ = new QTimer(this);
  listen_timer_->setObjectName("tmrListen");
  listen_timer_->setInterval(kListenDelayMs);
  connect(listen_timer_, &QTimer::timeout, this, &TfrmAirEditor::ListenTimerTick);

  // The key of the simulated remote: a tool-bar button that only the simulated learner shows.
  simulated_key_ = new QAction("Press key", this);
  simulated_key_->setObjectName("actSimulatedKey");
  simulated_key_->setToolTip("Press a key of the simulated remote (F9)");
  simulated_key_->setVisible(false);
  simulated_key_->setEnabled(false);
  connect(simulated_key_, &QAction::triggered, this, &TfrmAirEditor::SimulatedKeyCommand);
  ui::SetWaitMessageLanguage(&workbench_.language, this);

  if (workbench_.device == nullptr) {
    ShowDeviceStatus(false);
    return;
  }
  if (workbench_.device->Simulated()) {
    if (auto* bar = findChild<QToolBar*>("ToolBar")) {
      bar->addSeparator();
      bar->addAction(simulated_key_);
    }
    simulated_key_->setVisible(true);
    simulated_key_->setEnabled(true);
    connect(workbench_.device, &DeviceSession::SimulatedKeyPressed, this,
            [this](int number, const QString& name, int levels, int sent) {
              QString text =
                  QString("%1/%2  %3").arg(number).arg(workbench_.device->SimulatedCaptureCount()).arg(name);
              // A press longer than the learner's packet loses its end: say so,
              // or its decode would be taken for the whole press.
              if (sent < levels)
                text += "  " + ui::LangText(workbench_.language, kTextCaptureCut).arg(levels).arg(sent);
              status_press_->setText(text);
            });
  }
  // The handlers outlive no window: they check that it still exists.
  QPointer<TfrmAirEditor> self(this);
  device::TMyHIDUSBMange& manager = workbench_.device->Manager();
  manager.SelectModelSet(0);
  manager.SetOnCapture([self](const ir::TIRIntegerArr& durations, std::int32_t carrier) {
    if (self) self->RouteCapture(durations, carrier);
  });
  manager.SetTrimTime(workbench_.settings.TrimTime);
  manager.SetLearnMode(kCloseRange);
  manager.SetOnStatus([self](bool connected) {
    if (self) self->ShowDeviceStatus(connected);
  });
  manager.SetListening(false);
  manager.SetWaitMessageHook(
      {[](const std::string& text) { ui::ShowWaitMessage(QString::fromStdString(text)); },
       [] { ui::HideWaitMessage(); }});
  // Kernel IR receivers capture beside the learner, into the same consumers.
  if (device::LircCaptureSource* lirc = workbench_.device->Lirc()) {
    lirc->SetOnCapture([self](const ir::TIRIntegerArr& durations, std::int32_t carrier) {
      if (self) self->RouteCapture(durations, carrier);
    });
    lirc->SetOnChange([self] {
      if (self && self->workbench_.device)
        self->ShowDeviceStatus(self->workbench_.device->Manager().Connected());
    });
  }
  // A learner found by the first search shows at once, not only after its next change.
  ShowDeviceStatus(manager.Connected());
}

void TfrmAirEditor::ApplyDeviceSettings() {
  if (workbench_.device) workbench_.device->Manager().SetTrimTime(workbench_.settings.TrimTime);
}

void TfrmAirEditor::StartCapturing() { listen_timer_->start(); }

void TfrmAirEditor::ListenTimerTick() {
  listen_timer_->stop();
  if (!workbench_.device) return;
  workbench_.device->Manager().SetListening(true);
  if (device::LircCaptureSource* lirc = workbench_.device->Lirc()) lirc->SetListening(true);
}

void TfrmAirEditor::RouteCapture(const ir::TIRIntegerArr& durations, std::int32_t carrier) {
  // What the press field says of an earlier press that nothing took goes.
  const QString word = ui::LangText(workbench_.language, kTextNoConsumer);
  QString press = status_press_->text();
  if (press.endsWith(word)) press = press.left(press.size() - word.size()).trimmed();
  if (workbench_.captures.Route(durations, carrier)) {
    status_press_->setText(press);
    return;
  }
  // Nothing takes the press: say so, after what the field says about it already.
  status_press_->setText(press.isEmpty() ? word : press + "  " + word);
}

void TfrmAirEditor::ShowDeviceStatus(bool connected) {
  far_button_->setVisible(true);
  bool long_range = false;
  QString state = ui::LangText(workbench_.language, kTextNoLearner);
  if (connected && workbench_.device) {
    device::TMyHIDUSBMange& manager = workbench_.device->Manager();
    long_range = manager.SupportsLongRange();
    if (const auto model = device::ModelAt(manager.ModelIndex()))
      state = QString::fromUtf8(model->product_name);
  } else if (device::LircCaptureSource* lirc = workbench_.device ? workbench_.device->Lirc() : nullptr;
             lirc && !lirc->ActivePath().empty()) {
    state = QString::fromStdString(lirc->ActivePath());  // a kernel IR receiver captures instead
  }
  near_button_->setEnabled(connected);
  far_button_->setEnabled(connected && long_range);
  status_device_->setText(state);
}

void TfrmAirEditor::CaptureButtonClicked(int tag) {
  if (!workbench_.device) return;
  device::TMyHIDUSBMange& manager = workbench_.device->Manager();
  manager.SetListening(false);
  QThread::msleep(kRangeSwitchPauseMs);
  manager.SetLearnMode(tag);
  manager.SetListening(true);
}

void TfrmAirEditor::SyncCaptureButtons() {
  if (!workbench_.device) return;
  const int mode = workbench_.device->Manager().LearnMode();
  if (mode == kCloseRange && far_button_->isChecked()) near_button_->setChecked(true);
  if (mode == kLongRange && near_button_->isChecked()) far_button_->setChecked(true);
}

void TfrmAirEditor::SimulatedKeyCommand() {
  if (workbench_.device) workbench_.device->PressSimulatedKey();
}

}  // namespace klimavo::app
