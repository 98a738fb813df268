#include "ui/dialogs/update_dialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/translate_form.h"
#include "ui/ui_text.h"

namespace klimavo::ui {
namespace {

constexpr int kWidth = 425;
constexpr int kHeight = 157;
/// The gauge counts in thousandths of the announced size.
constexpr int kGaugeSteps = 1000;
/// Lines of an outcome the label shows.
constexpr int kOutcomeLines = 4;
/// From showing the dialog to the start of the update.
constexpr int kStartDelayMs = 100;

}  // namespace

TfrmUpdate::TfrmUpdate(base::Dispatcher& dispatcher, const std::filesystem::path& home,
                       update::ServerSettings server, const lang::Language& language, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      language_(language) {
  setObjectName("frmUpdate");
  setWindowTitle("Update data");
  setFixedSize(kWidth, kHeight);

  auto* layout = new QVBoxLayout(this);
  label_ = new QLabel("Please wait...", this);
  label_->setObjectName("lblMessage");
  label_->setWordWrap(true);
  label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  gauge_ = new QProgressBar(this);
  gauge_->setObjectName("pbDownload");
  gauge_->setRange(0, kGaugeSteps);
  gauge_->setVisible(false);
  button_ = new QPushButton("&Abort", this);
  button_->setObjectName("btnAbort");
  button_->setVisible(false);
  button_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(button_);
  layout->addWidget(label_, 1);
  layout->addWidget(gauge_);
  layout->addLayout(buttons);
  timer_ = new QTimer(this);
  timer_->setObjectName("tmrStart");
  timer_->setInterval(kStartDelayMs);
  connect(timer_, &QTimer::timeout, this, [this] {
    auto_start_ = false;
    timer_->stop();
    StartUpdate();
  });
  connect(button_, &QPushButton::clicked, this, &TfrmUpdate::ButtonClicked);

  update::UpdateDownload::Events events;
  events.downloading = [this](const std::string& name) { ShowDownloading(name); };
  events.progress = [this](std::int64_t total, std::int64_t received) { ShowProgress(total, received); };
  events.installing = [this] { ShowInstalling(); };
  events.finished = [this](const update::UpdateOutcome& outcome) { ShowOutcome(outcome); };
  download_ =
      std::make_unique<update::UpdateDownload>(dispatcher, std::move(server), home, std::move(events));
  TranslateForm(this, language_);
}

TfrmUpdate::~TfrmUpdate() = default;

bool TfrmUpdate::Finished() const { return download_->Finished() && !download_->Aborted(); }

const update::UpdateOutcome& TfrmUpdate::Outcome() const { return download_->Outcome(); }

void TfrmUpdate::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  if (auto_start_) timer_->start();
}

void TfrmUpdate::StartUpdate() {
  gauge_->setValue(0);
  gauge_->setVisible(true);
  button_->setVisible(true);
  button_->setFocus();
  download_->Start();
}

void TfrmUpdate::ButtonClicked() {
  if (Finished()) {
    accept();
    return;
  }
  download_->Abort();
  done(kResultAbort);
}

void TfrmUpdate::reject() { ButtonClicked(); }

void TfrmUpdate::ShowDownloading(const std::string& name) {
  label_->setText(LangText(language_, update::kTextDownloading) + "\n" + FromGbk(name));
  gauge_->setRange(0, kGaugeSteps);
  gauge_->setValue(0);
}

void TfrmUpdate::ShowProgress(std::int64_t total, std::int64_t received) {
  if (total <= 0) {
    gauge_->setRange(0, 0);  // size unknown: a busy gauge
    return;
  }
  gauge_->setRange(0, kGaugeSteps);
  gauge_->setValue(
      static_cast<int>(std::clamp<std::int64_t>(received * kGaugeSteps / total, 0, kGaugeSteps)));
}

void TfrmUpdate::ShowInstalling() {
  label_->setText(LangText(language_, update::kTextPleaseWait));
  label_->repaint();
}

void TfrmUpdate::ShowOutcome(const update::UpdateOutcome& outcome) {
  // The label has room for a few lines: a longer outcome is cut, and the whole
  // of it is the label's tool tip.
  const QString full = FromGbk(update::OutcomeLabel(outcome, language_));
  QStringList lines = full.split('\n');
  if (lines.size() > kOutcomeLines) {
    lines = lines.mid(0, kOutcomeLines - 1);
    lines.append("...");
  }
  label_->setText(lines.join('\n'));
  label_->setToolTip(full);
  button_->setText(LangText(language_, outcome.button_text));
  button_->setVisible(true);
  // A full gauge tells of files updated; after anything else it would only mislead.
  const bool updated = outcome.text == update::kTextUpdated;
  gauge_->setRange(0, kGaugeSteps);
  gauge_->setValue(updated ? kGaugeSteps : 0);
  gauge_->setVisible(updated);
}

}  // namespace klimavo::ui
