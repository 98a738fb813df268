#include "ui/dialogs/options_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "config/config.h"
#include "ui/translate_form.h"
#include "update/update_server.h"

namespace klimavo::ui {
namespace {

QSpinBox* AddSpin(QGridLayout* grid, int row, const char* name, const QString& label, int min, int max,
                  const QString& unit, QWidget* parent) {
  auto* caption = new QLabel(label, parent);
  caption->setObjectName(QString("lbl") + name);
  auto* spin = new QSpinBox(parent);
  spin->setObjectName(QString("spn") + name);
  spin->setRange(min, max);
  spin->setFixedWidth(62);
  caption->setBuddy(spin);
  // The dialog has a fixed size: a long caption takes a second line rather than being cut.
  caption->setWordWrap(true);
  auto* unit_label = new QLabel(unit, parent);
  unit_label->setObjectName(QString("lblUnit") + name);
  grid->setContentsMargins(6, 2, 6, 2);
  grid->setHorizontalSpacing(4);
  grid->setVerticalSpacing(2);
  grid->addWidget(caption, row, 0);
  grid->setColumnStretch(0, 1);
  grid->addWidget(spin, row, 1);
  grid->addWidget(unit_label, row, 2);
  return spin;
}

}  // namespace

QGroupBox* TFrmConfigure::BuildUpdateGroup() {
  auto* group = new QGroupBox("Online update", this);
  group->setObjectName("grpUpdate");
  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(6, 2, 6, 2);
  grid->setVerticalSpacing(2);
  update_url_label_ = new QLabel("Update server", group);
  update_url_label_->setObjectName("lblUpdateUrl");
  update_url_ = new QLineEdit(group);
  update_url_->setObjectName("edtUpdateUrl");
  update_url_->setPlaceholderText("https://…");
  update_url_label_->setBuddy(update_url_);
  auto* proxy_label = new QLabel("Proxy server", group);
  proxy_label->setObjectName("lblProxy");
  proxy_server_ = new QLineEdit(group);
  proxy_server_->setObjectName("edtProxy");
  proxy_label->setBuddy(proxy_server_);
  auto* port_label = new QLabel("Port", group);
  port_label->setObjectName("lblProxyPort");
  proxy_port_ = new QSpinBox(group);
  proxy_port_->setObjectName("spnProxyPort");
  proxy_port_->setRange(0, 65535);
  port_label->setBuddy(proxy_port_);
  grid->addWidget(update_url_label_, 0, 0);
  grid->addWidget(update_url_, 0, 1, 1, 3);
  grid->addWidget(proxy_label, 1, 0);
  grid->addWidget(proxy_server_, 1, 1);
  grid->addWidget(port_label, 1, 2);
  grid->addWidget(proxy_port_, 1, 3);
  grid->setColumnStretch(1, 1);
  return group;
}

TFrmConfigure::TFrmConfigure(std::filesystem::path config_ini, const lang::Language& language,
                             QWidget* parent)
    : QDialog(parent), config_ini_(std::move(config_ini)) {
  setObjectName("FrmConfigure");
  setWindowTitle("Configuration parameters");
  setFixedSize(441, 290);
  setSizeGripEnabled(false);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(6, 6, 6, 6);
  outer->setSpacing(6);
  auto* layout = new QHBoxLayout;
  layout->setSpacing(6);
  outer->addLayout(layout);
  auto* left = new QVBoxLayout;
  left->setSpacing(2);
  auto* error_group = new QGroupBox("Amount Of Error", this);
  error_group->setObjectName("grpError");
  auto* error_grid = new QGridLayout(error_group);
  error_ = AddSpin(error_grid, 0, "Error", "Decode of error", 8, 100, "%", error_group);
  auto* device_group = new QGroupBox("IR Reader Device", this);
  device_group->setObjectName("grpDevice");
  auto* device_grid = new QGridLayout(device_group);
  trim_ = AddSpin(device_grid, 0, "Trim", "The time of truncation", 30, 5000, "ms", device_group);
  auto* filter_group = new QGroupBox("Filter option", this);
  filter_group->setObjectName("grpFilter");
  auto* filter_layout = new QVBoxLayout(filter_group);
  filter_layout->setContentsMargins(6, 2, 6, 2);
  skip_base_ = new QCheckBox("Skip base data", filter_group);
  skip_base_->setObjectName("chkSkipBase");
  filter_layout->addWidget(skip_base_);
  left->addWidget(error_group);
  left->addWidget(device_group);
  left->addWidget(filter_group);

  auto* right = new QVBoxLayout;
  auto* comp_group = new QGroupBox("Compensate Time Of Rushing", this);
  comp_group->setObjectName("grpCompensate");
  auto* comp_grid = new QGridLayout(comp_group);
  logic_h_ = AddSpin(comp_grid, 0, "LogicH", "Logic code  higher", -100, 100, "us", comp_group);
  logic_l_ = AddSpin(comp_grid, 1, "LogicL", "Logic code low", -100, 100, "us", comp_group);
  wave_h_ = AddSpin(comp_grid, 2, "WaveH", "Split code higher", -100, 100, "us", comp_group);
  wave_l_ = AddSpin(comp_grid, 3, "WaveL", "Split code low", -100, 100, "us", comp_group);
  right->addWidget(comp_group);
  auto* buttons = new QHBoxLayout;
  auto* ok = new QPushButton("Ok", this);
  ok->setObjectName("btnOk");
  ok->setDefault(true);
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("btnCancel");
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(left);
  layout->addLayout(right);
  outer->addWidget(BuildUpdateGroup());
  outer->addStretch(1);
  outer->addLayout(buttons);

  TranslateForm(this, language);
  const config::ConfigValues values = config::ReadConfig(config_ini_);
  error_->setValue(values.error_of_decode);  // a spin edit brings a value into its range
  trim_->setValue(values.trim_time);
  logic_h_->setValue(values.logic_h);
  logic_l_->setValue(values.logic_l);
  wave_h_->setValue(values.wave_h);
  wave_l_->setValue(values.wave_l);
  skip_base_->setChecked(values.skip_base);
  update_url_->setText(QString::fromStdString(values.update_url));
  proxy_server_->setText(QString::fromStdString(values.proxy_server));
  proxy_port_->setValue(values.proxy_port);

  connect(ok, &QPushButton::clicked, this, &TFrmConfigure::AcceptAndWrite);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFrmConfigure::AcceptAndWrite() {
  config::ConfigValues values = config::ReadConfig(config_ini_);
  values.error_of_decode = error_->value();
  values.trim_time = trim_->value();
  values.logic_h = logic_h_->value();
  values.logic_l = logic_l_->value();
  values.wave_h = wave_h_->value();
  values.wave_l = wave_l_->value();
  values.skip_base = skip_base_->isChecked();
  // An update server is checked as the update will use it; empty means none.
  const std::string url = update_url_->text().trimmed().toStdString();
  const update::ServerAddress address = update::CheckServerAddress(url);
  if (!url.empty() && address.problem != update::AddressProblem::kNone) {
    QMessageBox::warning(
        this, windowTitle(),
        update_url_label_->text() + " " + QString::fromStdString(url) + ": http://, https:// or file://");
    update_url_->setFocus();
    return;
  }
  values.update_url = url.empty() ? std::string() : address.base_url;
  values.proxy_server = proxy_server_->text().trimmed().toStdString();
  values.proxy_port = proxy_port_->value();
  try {
    config::WriteOptions(config_ini_, values);
  } catch (const std::exception& e) {
    QMessageBox::critical(this, windowTitle(), QString::fromStdString(e.what()));
    return;
  }
  accept();
}

}  // namespace klimavo::ui
