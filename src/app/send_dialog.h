#pragma once
// The Send dialog: sends the current record's code, as the programmed remote
// would send it for a key pressed in a state of the six function keys, through a
// kernel IR transmitter, so the record can be tried on the air conditioner. The
// user picks the key, the states and the transmitter and may send as often as
// they like; each result shows under the choices. A thin binding over
// workflow::RecordSender, which the CLI's `send` uses too.

#include <QDialog>
#include <array>
#include <string>
#include <vector>

#include "firmware/chip_emulator.h"
#include "lang/language.h"
#include "workflow/record_sender.h"

class QComboBox;
class QLabel;
class QPushButton;

namespace klimavo::app {

/// The key that opens the Send dialog from the main window.
inline constexpr const char* kSendShortcut = "Ctrl+T";

class SendDialog : public QDialog {
  Q_OBJECT

 public:
  /// `transmitters`: the device nodes offered first; any path may be typed.
  /// The dialog's texts come from `language` (section SendDialog).
  SendDialog(workflow::RecordSender sender, std::vector<std::string> transmitters,
             const lang::Language& language, QWidget* parent = nullptr);

  void SetKey(int key);
  void SetStates(const workflow::KeyStates& states);
  void SetDevice(const QString& path);
  /// Sends once with the choices shown; the result appears in the dialog.
  workflow::SendOutcome SendNow();
  QString ResultText() const;

 private:
  QComboBox* StateBox(int key);

  workflow::RecordSender sender_;
  QComboBox* key_box_ = nullptr;
  std::array<QComboBox*, firmware::kFunctionKeys> state_boxes_{};
  QComboBox* device_box_ = nullptr;
  QLabel* result_ = nullptr;
  QPushButton* send_button_ = nullptr;
};

}  // namespace klimavo::app
