#include "ui/dialogs/about_dialog.h"

#include <QDesktopServices>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/translate_form.h"

#ifndef KLIMAVO_UI_VERSION
#define KLIMAVO_UI_VERSION "2.1.0"
#endif

namespace klimavo::ui {
namespace {

constexpr char kTitle[] = "Klimavo workbench for air-conditioner IR protocols";
constexpr char kWebAddress[] = "https://klimavo.example.org";
constexpr char kMailAddress[] = "support@klimavo.example.org";

QLabel* LinkLabel(const QString& text, const QString& url, QWidget* parent) {
  auto* label = new QLabel(QString("<a href=\"%1\">%2</a>").arg(url, text), parent);
  label->setCursor(Qt::PointingHandCursor);
  label->setTextInteractionFlags(Qt::TextBrowserInteraction);
  QObject::connect(label, &QLabel::linkActivated, [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
  return label;
}

}  // namespace

AboutDialog::AboutDialog(const std::filesystem::path& home, const lang::Language& language, QWidget* parent)
    : QDialog(parent) {
  setObjectName("frmAbout");
  setWindowTitle("About");
  setFixedSize(479, 179);
  const QString picture = QString::fromStdString((home / "help/images/about.jpg").string());
  QPixmap background(picture);
  if (!background.isNull()) {
    QPalette palette;
    palette.setBrush(QPalette::Window, background.scaled(size()));
    setPalette(palette);
    setAutoFillBackground(true);
  }
  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(kTitle, this);
  title->setObjectName("lblTitle");
  auto* version = new QLabel(KLIMAVO_UI_VERSION ".0", this);
  version->setObjectName("lblVersion");
  layout->addWidget(title);
  layout->addWidget(version);
  layout->addWidget(LinkLabel(kWebAddress, kWebAddress, this));
  layout->addWidget(LinkLabel(kMailAddress, QString("mailto:") + kMailAddress, this));
  TranslateForm(this, language);
}

}  // namespace klimavo::ui
