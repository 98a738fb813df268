#pragma once
// The options dialog: decoding tolerance, the learner's truncation time, the
// timing compensations of the frame tables and the comparison filter option.

#include <QDialog>

#include <filesystem>

#include "lang/language.h"

class QCheckBox;
class QSpinBox;

namespace klimavo::ui {

class TFrmConfigure : public QDialog {
  Q_OBJECT

 public:
  TFrmConfigure(std::filesystem::path config_ini, const lang::Language& language, QWidget* parent = nullptr);

  /// Writes the seven keys with the values shown and closes with OK.
  void AcceptAndWrite();

  QSpinBox* ErrorSpin() const { return error_; }
  QSpinBox* TrimSpin() const { return trim_; }
  QSpinBox* LogicHighSpin() const { return logic_h_; }
  QSpinBox* LogicLowSpin() const { return logic_l_; }
  QSpinBox* WaveHighSpin() const { return wave_h_; }
  QSpinBox* WaveLowSpin() const { return wave_l_; }
  QCheckBox* SkipBaseCheck() const { return skip_base_; }

 private:
  std::filesystem::path config_ini_;
  QSpinBox* error_ = nullptr;
  QSpinBox* trim_ = nullptr;
  QSpinBox* logic_h_ = nullptr;
  QSpinBox* logic_l_ = nullptr;
  QSpinBox* wave_h_ = nullptr;
  QSpinBox* wave_l_ = nullptr;
  QCheckBox* skip_base_ = nullptr;
};

}  // namespace klimavo::ui
