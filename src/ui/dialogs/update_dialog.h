#pragma once
// The update dialog: a label, a progress gauge and one button over the
// download sequence of update::UpdateDownload. The button is "&Abort" while
// the sequence runs (it stops the running download and closes the dialog, and
// nothing is copied); at the end its caption tells the outcome and it closes
// the dialog.

#include <QDialog>
#include <filesystem>
#include <memory>

#include "base/dispatcher.h"
#include "lang/language.h"
#include "update/update_download.h"
#include "update/update_server.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace klimavo::ui {

class TfrmUpdate : public QDialog {
  Q_OBJECT

 public:
  /// The dialog's result when it was closed by "&Abort" (or Escape) before the end.
  static constexpr int kResultAbort = 3;

  TfrmUpdate(base::Dispatcher& dispatcher, const std::filesystem::path& home, update::ServerSettings server,
             const lang::Language& language, QWidget* parent = nullptr);
  ~TfrmUpdate() override;

  /// Set before showing: the update starts by itself once the dialog is shown.
  void SetAutoStart(bool auto_start) { auto_start_ = auto_start; }
  /// Starts the download sequence (once).
  void StartUpdate();

  /// True once the sequence has reported its outcome.
  bool Finished() const;
  /// The outcome (meaningful once Finished).
  const update::UpdateOutcome& Outcome() const;
  /// True when files were copied into the data folder.
  bool FilesCopied() const { return Finished() && !Outcome().copied.empty(); }

  QLabel* Label() const { return label_; }
  QProgressBar* Gauge() const { return gauge_; }
  QPushButton* Button() const { return button_; }

 public slots:
  /// Escape: as "&Abort".
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ButtonClicked();
  void ShowDownloading(const std::string& name);
  void ShowProgress(std::int64_t total, std::int64_t received);
  void ShowInstalling();
  void ShowOutcome(const update::UpdateOutcome& outcome);

  const lang::Language& language_;
  bool auto_start_ = false;
  QLabel* label_ = nullptr;
  QProgressBar* gauge_ = nullptr;
  QPushButton* button_ = nullptr;
  QTimer* timer_ = nullptr;
  /// Last: destroyed first, so no report of the sequence reaches a dying dialog.
  std::unique_ptr<update::UpdateDownload> download_;
};

}  // namespace klimavo::ui
