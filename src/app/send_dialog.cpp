#include "app/send_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/translate_form.h"

namespace klimavo::app {
namespace {

constexpr int kMaxStates = 16;
constexpr std::array<const char*, firmware::kFunctionKeys> kKeyRoles{"Power", "Temperature", "Mode",
                                                                     "Fan",   "Swing",       "Vane"};

}  // namespace

SendDialog::SendDialog(workflow::RecordSender sender, std::vector<std::string> transmitters,
                       const lang::Language& language, QWidget* parent)
    : QDialog(parent), sender_(std::move(sender)) {
  setObjectName("SendDialog");
  setWindowTitle("Send");
  auto* form = new QFormLayout;
  const std::vector<std::string> key_names = sender_.KeyNames();
  auto key_label = [&](int k) {
    const auto index = static_cast<std::size_t>(k);
    QString name = index < key_names.size() ? QString::fromStdString(key_names[index]) : QString();
    return name.isEmpty() ? QString(kKeyRoles[index]) : name;
  };

  key_box_ = new QComboBox(this);
  key_box_->setObjectName("cbKey");
  for (int k = 0; k < firmware::kFunctionKeys; ++k)
    key_box_->addItem(QString("%1  %2").arg(k).arg(key_label(k)), k);
  auto* key_label_widget = new QLabel("Pressed key:", this);
  key_label_widget->setObjectName("lblKey");
  form->addRow(key_label_widget, key_box_);
  // Then the state of each function key, under the record's own key names.
  for (int k = 0; k < firmware::kFunctionKeys; ++k) {
    state_boxes_[static_cast<std::size_t>(k)] = StateBox(k);
    form->addRow(key_label(k) + ":", state_boxes_[static_cast<std::size_t>(k)]);
  }
  device_box_ = new QComboBox(this);
  device_box_->setObjectName("cbDevice");
  device_box_->setEditable(true);
  device_box_->setMinimumContentsLength(28);
  for (const auto& path : transmitters) device_box_->addItem(QString::fromStdString(path));
  device_box_->setToolTip("A /dev/lirc* device that can send; any path may be typed");
  auto* device_label = new QLabel("Transmitter:", this);
  device_label->setObjectName("lblDevice");
  form->addRow(device_label, device_box_);

  result_ = new QLabel(this);
  result_->setObjectName("lblResult");
  result_->setWordWrap(true);
  result_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  result_->setText(transmitters.empty() ? "No kernel IR transmitter was found: type the path of one."
                                        : "Choose the key and the states, then Send.");

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->button(QDialogButtonBox::Close)->setObjectName("btnClose");
  send_button_ = buttons->addButton("&Send", QDialogButtonBox::ActionRole);
  send_button_->setObjectName("btnSend");
  send_button_->setDefault(true);
  connect(send_button_, &QPushButton::clicked, this, [this] { SendNow(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(result_);
  layout->addWidget(buttons);
  SetStates(workflow::KeyStates{1, 1, 1, 0, 0, 0});
  ui::TranslateForm(this, language);
}

QComboBox* SendDialog::StateBox(int key) {
  auto* box = new QComboBox(this);
  box->setObjectName(QString("cbState%1").arg(key));
  const std::vector<std::string> names = sender_.StateNames(key);
  const int count = names.empty() ? kMaxStates : static_cast<int>(names.size());
  for (int s = 0; s < count; ++s) {
    const QString name = s < static_cast<int>(names.size())
                             ? QString::fromStdString(names[static_cast<std::size_t>(s)])
                             : QString();
    box->addItem(name.isEmpty() ? QString::number(s) : QString("%1  %2").arg(s).arg(name), s);
  }
  return box;
}

void SendDialog::SetKey(int key) { key_box_->setCurrentIndex(key_box_->findData(key)); }

void SendDialog::SetStates(const workflow::KeyStates& states) {
  for (std::size_t k = 0; k < states.size(); ++k) {
    const int index = state_boxes_[k]->findData(states[k]);
    if (index >= 0) state_boxes_[k]->setCurrentIndex(index);
  }
}

void SendDialog::SetDevice(const QString& path) { device_box_->setCurrentText(path); }

workflow::SendOutcome SendDialog::SendNow() {
  workflow::KeyStates states{};
  for (std::size_t k = 0; k < states.size(); ++k) states[k] = state_boxes_[k]->currentData().toInt();
  const QString device = device_box_->currentText().trimmed();
  workflow::SendOutcome outcome;
  if (device.isEmpty()) {
    outcome.error = "no transmitter: choose or type the path of one";
  } else {
    outcome = sender_.Send(device.toStdString(), key_box_->currentData().toInt(), states);
  }
  QString text = outcome.error.empty()
                     ? QString("Sent %1 durations through %2.").arg(outcome.durations).arg(device)
                     : QString("Not sent: %1").arg(QString::fromStdString(outcome.error));
  for (const auto& note : outcome.notes) text += "\n" + QString::fromStdString(note);
  result_->setText(text);
  return outcome;
}

QString SendDialog::ResultText() const { return result_->text(); }

}  // namespace klimavo::app
