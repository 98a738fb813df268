#include "ui/dialogs/wait_message.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/translate_form.h"

namespace klimavo::ui {
namespace {

constexpr int kWidth = 260;
constexpr int kHeight = 80;

QPointer<Tfrmmsg>& Window() {
  static QPointer<Tfrmmsg> window;
  return window;
}

struct Translation {
  const lang::Language* language = nullptr;
  QPointer<QObject> owner;
  int applied = 0;  ///< the language number the window shows
};

Translation& CurrentTranslation() {
  static Translation translation;
  return translation;
}

// The window lives until the application ends; it is deleted while the
// application still exists.
void DeleteWindow() { delete Window().data(); }

}  // namespace

Tfrmmsg::Tfrmmsg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowDoesNotAcceptFocus) {
  setObjectName("frmmsg");
  // The notice never takes the focus from the window the user works in.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setWindowTitle("Infomation");
  setFixedSize(kWidth, kHeight);
  auto* layout = new QVBoxLayout(this);
  label_ = new QLabel(kWaitMessageDefaultText, this);
  label_->setObjectName("lblMessage");
  label_->setWordWrap(true);
  label_->setAlignment(Qt::AlignCenter);
  layout->addWidget(label_);
}

void Tfrmmsg::SetText(const QString& text) { label_->setText(text); }

QString Tfrmmsg::Text() const { return label_->text(); }

void SetWaitMessageLanguage(const lang::Language* language, QObject* owner) {
  CurrentTranslation().language = language;
  CurrentTranslation().owner = owner;
  CurrentTranslation().applied = 0;
}

void ShowWaitMessage(const QString& text) {
  if (!Window()) {
    Window() = new Tfrmmsg;
    qAddPostRoutine(DeleteWindow);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
      const QRect area = screen->availableGeometry();
      Window()->move(area.center() - QPoint(kWidth / 2, kHeight / 2));
    }
  }
  Tfrmmsg* window = Window();
  Translation& translation = CurrentTranslation();
  if (!translation.owner) translation.language = nullptr;
  if (translation.language && translation.applied != translation.language->LanguageNo()) {
    TranslateForm(window, *translation.language);
    translation.applied = translation.language->LanguageNo();
  }
  window->SetText(text);
  if (!window->isVisible()) window->show();
  // Show it now. Only the window's own events are delivered: the notice is
  // shown from inside hand-overs of the device link, which must not run other
  // queued work (or user input) before they return.
  QCoreApplication::sendPostedEvents(window);
  QCoreApplication::sendPostedEvents(window->findChild<QLabel*>());
  window->repaint();
}

void HideWaitMessage() {
  if (Window() && Window()->isVisible()) Window()->hide();
}

Tfrmmsg* WaitMessageWindow() { return Window(); }

}  // namespace klimavo::ui
