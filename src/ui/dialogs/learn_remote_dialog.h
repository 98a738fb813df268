#pragma once
// The Learn remote window: a thin view over analysis::LearnSession. It asks
// for the next press by its label (the press plan's first, which the user may
// overwrite with any label), takes each capture as it arrives (learner, kernel
// receiver, pulse feed) or the labelled captures of a file, and shows every
// press with its check-back result and the functions found so far with their
// certainty. "Add to library" ends it with the learned record.

#include <QDialog>

#include "analysis/learn_session.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace klimavo::ui {

class TfrmLearnRemote : public QDialog {
  Q_OBJECT

 public:
  TfrmLearnRemote(double decode_tolerance, const config::TimingAdjustments& timing, QWidget* parent = nullptr);

  /// A capture: durations in 0.1 µs, carrier in Hz (0 = unknown); it gets the label in the label field.
  void CaptureReceived(const ir::TIRIntegerArr& durations, std::int32_t carrier);
  /// Adds every capture of a file with the labels the file gives; false (and
  /// the fault shown) when the file cannot be read.
  bool AddFile(const QString& path);

  const analysis::LearnSession& Session() const { return session_; }
  QString LabelText() const;
  QString HintText() const;
  QString ReportText() const;
  QTableWidget* Presses() const { return presses_; }
  QPushButton* AddButton() const { return add_; }

 private:
  void BuildLayout();
  void Show(const analysis::LearnResult& result);
  void OpenFile();

  analysis::LearnSession session_;
  QLineEdit* label_ = nullptr;
  QLabel* hint_ = nullptr;
  QTableWidget* presses_ = nullptr;
  QPlainTextEdit* report_ = nullptr;
  QPushButton* add_ = nullptr;
};

}  // namespace klimavo::ui
