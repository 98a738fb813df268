#include "ui/dialogs/programming_dialog.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/translate_form.h"
#include "ui/ui_text.h"

namespace klimavo::ui {
namespace {

constexpr int kAnimationMs = 800;
constexpr int kTextClose = 174;
constexpr int kTextAllBlocksChecked = 268;
constexpr int kStatusWidth = 186;
constexpr int kPictureWidth = 128;
constexpr int kPictureHeight = 96;

}  // namespace

TfrmDownProc::TfrmDownProc(device::TIRTongxun* link, device::Clock& clock, const lang::Language& language,
                           std::filesystem::path binn_dir, QWidget* parent)
    : QDialog(parent), link_(link), clock_(clock), language_(language), binn_dir_(std::move(binn_dir)) {
  setObjectName("frmDownProc");
  setWindowTitle("Infomation");

  picture_ = new QLabel(this);
  picture_->setObjectName("imgPicture");
  picture_->setFixedSize(kPictureWidth, kPictureHeight);
  picture_->setAlignment(Qt::AlignCenter);
  status_ = new QLabel(this);
  status_->setObjectName("lblStatus");
  status_->setFixedWidth(kStatusWidth);
  status_->setWordWrap(true);
  caption_ = new QLabel(this);
  caption_->setObjectName("lblCaption");
  bar_ = new QProgressBar(this);
  bar_->setObjectName("barProgress");
  bar_->setRange(0, 1);
  bar_->setValue(0);
  cancel_ = new QPushButton("&Cancel", this);
  cancel_->setObjectName("btnCancel");

  auto* texts = new QVBoxLayout;
  texts->addWidget(status_);
  texts->addStretch(1);
  texts->addWidget(caption_);
  texts->addWidget(bar_);
  auto* top = new QHBoxLayout;
  top->addWidget(picture_);
  top->addLayout(texts, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cancel_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);

  animation_ = new QTimer(this);
  animation_->setInterval(kAnimationMs);
  connect(animation_, &QTimer::timeout, this, [this] {
    progress_.Animate();
    ShowPicture(progress_.Picture());
  });
  // The programming thread's hand-overs run when the Qt event loop next turns.
  QPointer<TfrmDownProc> self(this);
  dispatcher_.SetTaskQueuedHook([self] {
    QMetaObject::invokeMethod(
        self.data(),
        [self] {
          if (self) self->dispatcher_.ProcessPending();
        },
        Qt::QueuedConnection);
  });
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

  TranslateForm(this, language_);
  Refresh();
  if (link_ != nullptr) {
    previous_status_ = link_->OnStatus();
    // The link may report from its own threads: the dialog is updated on its own.
    link_->SetOnStatus([this](bool connected) {
      QMetaObject::invokeMethod(
          this, [this, connected] { StatusChanged(connected); }, Qt::AutoConnection);
    });
    link_->SelectModelSet(0);
  }
}

TfrmDownProc::~TfrmDownProc() {
  StopProgramming();
  if (link_ != nullptr && !closing_) link_->SetOnStatus(previous_status_);
}

void TfrmDownProc::StartProgramming(base::Bytes image) {
  progress_ = device::ProgrammingProgress();
  progress_.Connected(link_ != nullptr && link_->Connected());
  Refresh();
  if (link_ == nullptr) return;
  StopProgramming();
  job_ = std::make_unique<device::ProgrammingJob>(*link_, dispatcher_, clock_,
                                                  [this](const device::ProgramMessage& m) { Received(m); });
  job_->Start(std::move(image));
}

void TfrmDownProc::StopProgramming() {
  if (job_) job_->Stop();
}

void TfrmDownProc::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  StatusChanged(link_ != nullptr && link_->Connected());
}

void TfrmDownProc::StatusChanged(bool connected) {
  progress_.Connected(connected);
  if (progress_.Animating())
    animation_->start();
  else
    animation_->stop();
  Refresh();
}

void TfrmDownProc::Received(const device::ProgramMessage& message) {
  progress_.Apply(message);
  Refresh();
  if (message.kind != device::ProgramMessage::Kind::kTransferOver || closing_) return;
  animation_->stop();
  if (progress_.Completed()) {
    // The dialog stays until it is closed, so that "finished" can be read.
    cancel_->setText(LangText(language_, kTextClose));
    cancel_->setDefault(true);
    cancel_->setFocus();
    return;
  }
  // Closed later, never from inside a hand-over of the thread.
  QTimer::singleShot(0, this, [this] { reject(); });
}

void TfrmDownProc::done(int) {
  if (closing_) return;
  closing_ = true;
  StopProgramming();
  animation_->stop();
  if (link_ != nullptr) link_->SetOnStatus(previous_status_);
  // Only a transfer whose every block was echoed counts as done, however the
  // dialog is closed after it.
  QDialog::done(progress_.Completed() ? QDialog::Accepted : QDialog::Rejected);
}

QString TfrmDownProc::TextOf(const device::ProgramText& text) const {
  if (text.text >= 0) return LangText(language_, text.text);
  return QString::fromStdString(text.literal);
}

QString TfrmDownProc::StatusText() const { return status_->text(); }
QString TfrmDownProc::CaptionText() const { return caption_->text(); }

void TfrmDownProc::Refresh() {
  status_->setText(TextOf(progress_.Status()));
  // Once every block came back the window waits to be closed, and says so.
  caption_->setText(progress_.Completed() ? TextOf({kTextAllBlocksChecked, {}})
                                          : TextOf(progress_.Caption()));
  bar_->setRange(0, std::max(progress_.Maximum(), 1));
  bar_->setValue(std::min(progress_.Position(), bar_->maximum()));
  ShowPicture(progress_.Picture());
}

void TfrmDownProc::ShowPicture(device::ProgramPicture picture) {
  const std::filesystem::path file =
      binn_dir_ / ("downImg" + std::to_string(static_cast<int>(picture)) + ".bmp");
  const QString name = QString::fromStdString(file.string());
  if (!QFileInfo::exists(name)) return;
  picture_->setPixmap(QPixmap(name));
}

}  // namespace klimavo::ui
