#pragma once
// The programming dialog (`TfrmDownProc`): shows, while a table image goes
// into the universal remote, whether the device is there, an animation, the
// progress and the device's error codes. The transfer runs on the programming
// thread (device::ProgrammingJob); the texts come from
// device::ProgrammingProgress, which `klimavo-cli device program` shares.
// Closing the dialog in any way stops the thread; it closes with OK only when
// every block was acknowledged.

#include <QDialog>
#include <filesystem>
#include <memory>

#include "base/dispatcher.h"
#include "device/link_base.h"
#include "device/programming.h"
#include "device/programming_progress.h"
#include "lang/language.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace klimavo::ui {

class TfrmDownProc : public QDialog {
  Q_OBJECT

 public:
  /// Takes over the link's status receiver until it closes and asks the link
  /// to look for the programmer (model set 0). A null link leaves the dialog
  /// waiting for a device.
  TfrmDownProc(device::TIRTongxun* link, device::Clock& clock, const lang::Language& language,
               std::filesystem::path binn_dir, QWidget* parent = nullptr);
  ~TfrmDownProc() override;

  /// Starts the transfer of `image` (stopping one that runs).
  void StartProgramming(base::Bytes image);
  /// Asks the thread to end and waits for it.
  void StopProgramming();

  const device::ProgrammingProgress& Progress() const { return progress_; }
  QString StatusText() const;
  QString CaptionText() const;
  QProgressBar* Bar() const { return bar_; }
  QPushButton* CancelButton() const { return cancel_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void done(int result) override;

 private:
  void StatusChanged(bool connected);
  void Received(const device::ProgramMessage& message);
  void Refresh();
  QString TextOf(const device::ProgramText& text) const;
  void ShowPicture(device::ProgramPicture picture);

  device::TIRTongxun* link_;
  device::Clock& clock_;
  const lang::Language& language_;
  std::filesystem::path binn_dir_;
  device::TIRTongxun::StatusHandler previous_status_;
  base::EventLoopDispatcher dispatcher_;
  std::unique_ptr<device::ProgrammingJob> job_;
  device::ProgrammingProgress progress_;
  bool closing_ = false;
  QTimer* animation_ = nullptr;
  QLabel* picture_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* caption_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace klimavo::ui
