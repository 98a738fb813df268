#include "ui/dialogs/about_dialog.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/translate_form.h"

namespace klimavo::ui {
namespace {

constexpr char kTitle[] = "Klimavo workbench for air-conditioner IR protocols";
constexpr char kWebAddress[] = "https://klimavo.example.org";
constexpr char kMailAddress[] = "support@klimavo.example.org";

QLabel* LinkLabel(const QString& text, const QString& url, QWidget* parent) {
  auto* label = new QLabel(QString("<a href=\"%1\">%2</a>").arg(url, text), parent);
  label->setCursor(Qt::PointingHandCursor);
  label->setTextInteractionFlags(Qt::TextBrowserInteraction);
  QObject::connect(label, &QLabel::linkActivated,
                   [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
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
  // The version is the build's (the project version), the one the main window's caption shows.
  auto* title_row = new QHBoxLayout;
  title_row->setSpacing(4);
  auto* title = new QLabel(kTitle, this);
  title->setObjectName("lblTitle");
  auto* version = new QLabel(KLIMAVO_UI_VERSION, this);
  version->setObjectName("lblVersion");
  title_row->addWidget(title);
  title_row->addWidget(version);
  title_row->addStretch(1);
  layout->addLayout(title_row);
  layout->addWidget(LinkLabel(kWebAddress, kWebAddress, this));
  layout->addWidget(LinkLabel(kMailAddress, QString("mailto:") + kMailAddress, this));
  layout->addStretch(1);
  // A button that closes the box, for a desktop without a window manager's close button.
  auto* buttons = new QHBoxLayout;
  auto* close = new QPushButton("Close", this);
  close->setObjectName("btnClose");
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addStretch(1);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  TranslateForm(this, language);
}

}  // namespace klimavo::ui
