#pragma once
// The options dialog: decoding tolerance, the learner's truncation time, the
// timing compensations of the frame tables, the comparison filter option, and
// the update server with its proxy.

#include <QDialog>
#include <filesystem>

#include "lang/language.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace klimavo::ui {

class TFrmConfigure : public QDialog {
  Q_OBJECT

 public:
  TFrmConfigure(std::filesystem::path config_ini, const lang::Language& language, QWidget* parent = nullptr);

  /// Writes the values shown and closes with OK; an update server that is not
  /// an http://, https:// or file:// address is refused with a message.
  void AcceptAndWrite();

  QSpinBox* ErrorSpin() const { return error_; }
  QSpinBox* TrimSpin() const { return trim_; }
  QSpinBox* LogicHighSpin() const { return logic_h_; }
  QSpinBox* LogicLowSpin() const { return logic_l_; }
  QSpinBox* WaveHighSpin() const { return wave_h_; }
  QSpinBox* WaveLowSpin() const { return wave_l_; }
  QCheckBox* SkipBaseCheck() const { return skip_base_; }
  QLineEdit* UpdateUrlEdit() const { return update_url_; }
  QLineEdit* ProxyServerEdit() const { return proxy_server_; }
  QSpinBox* ProxyPortSpin() const { return proxy_port_; }

 private:
  QGroupBox* BuildUpdateGroup();

  std::filesystem::path config_ini_;
  QSpinBox* error_ = nullptr;
  QSpinBox* trim_ = nullptr;
  QSpinBox* logic_h_ = nullptr;
  QSpinBox* logic_l_ = nullptr;
  QSpinBox* wave_h_ = nullptr;
  QSpinBox* wave_l_ = nullptr;
  QCheckBox* skip_base_ = nullptr;
  QLabel* update_url_label_ = nullptr;
  QLineEdit* update_url_ = nullptr;
  QLineEdit* proxy_server_ = nullptr;
  QSpinBox* proxy_port_ = nullptr;
};

}  // namespace klimavo::ui
