#pragma once
// The Learn remote window: a thin view over analysis::LearnSession. It asks
// for the next press by its label (the press plan's first, which the user may
// overwrite with any label), takes each capture as it arrives (learner, kernel
// receiver, pulse feed) or the labelled captures of a file, and shows every
// press with its check-back result and the functions found so far with their
// certainty. "Add to library" ends it with the learned record; "Export
// table..." writes the code of every state of the record so far, in a chosen
// format, through the same code as `export-signals --all-states`.

#include <QDialog>

#include "analysis/learn_session.h"
#include "lang/language.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace klimavo::ui {

class TfrmLearnRemote : public QDialog {
  Q_OBJECT

 public:
  TfrmLearnRemote(const lang::Language& language, double decode_tolerance,
                  const config::TimingAdjustments& timing, QWidget* parent = nullptr);

  /// A capture: durations in 0.1 µs, carrier in Hz (0 = unknown); it gets the label in the label field.
  void CaptureReceived(const ir::TIRIntegerArr& durations, std::int32_t carrier);
  /// Adds every capture of a file with the labels the file gives; false (and
  /// the fault shown) when the file cannot be read.
  bool AddFile(const QString& path);

  /// Writes the code of every state of the record learned so far to `path` in
  /// `format` (a capture format id, or climate-json), with each code's basis;
  /// false (and the fault shown) when there is no record or it cannot be written.
  bool ExportTable(const QString& path, const QString& format);

  const analysis::LearnSession& Session() const { return session_; }
  QString LabelText() const;
  QString HintText() const;
  QString ReportText() const;
  QTableWidget* Presses() const { return presses_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* ExportButton() const { return export_; }

 private:
  void BuildLayout();
  void Show(const analysis::LearnResult& result);
  void OpenFile();
  void ChooseExportFile();
  QString Text(int number) const;

  const lang::Language& language_;
  config::TimingAdjustments timing_;
  analysis::LearnSession session_;
  QLineEdit* label_ = nullptr;
  QLabel* hint_ = nullptr;
  QTableWidget* presses_ = nullptr;
  QPlainTextEdit* report_ = nullptr;
  QPushButton* add_ = nullptr;
  QComboBox* export_format_ = nullptr;
  QPushButton* export_ = nullptr;
};

}  // namespace klimavo::ui
