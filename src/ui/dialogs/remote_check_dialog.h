#pragma once
// The remote check window (`TfrmCheckAc`): every key press the learner
// captures is read with the current record's timing and formats and shown as
// a row of bits, with the state of each function (or, for a remote without
// display, the key) named in the top panel and every bit that contradicts the
// record in red. A thin view over analysis::RemoteCheck; it never changes the
// record.

#include <QDialog>
#include <array>
#include <vector>

#include "analysis/remote_check.h"
#include "lang/language.h"
#include "store/protocol_record.h"

class QAction;
class QLabel;

namespace klimavo::ui {

class CheckGridView;

class TfrmCheckAc : public QDialog {
  Q_OBJECT

 public:
  /// Prepares the check from the record (format list, field lists, bit order).
  TfrmCheckAc(const store::TdiskAir& record, double decode_tolerance, const lang::Language& language,
              QWidget* parent = nullptr);

  /// `CheckCapture`: durations in 0.1 µs, carrier in Hz (0 = unknown).
  void CheckCapture(const ir::TIRIntegerArr& durations, std::int32_t carrier);

  const analysis::RemoteCheck& Check() const { return check_; }
  const analysis::RemoteCheckResult& LastResult() const { return last_; }
  CheckGridView* Grid() const { return grid_; }
  QString InformationText() const;
  QString KeyText() const;
  /// How many bits and checksums of the shown result contradict the record.
  QString ErrorsText() const;
  QString ValueText(int key) const;
  QString NameText(int key) const;
  /// "Delete All", "2进制" and "16进制" of the grid's context menu.
  QAction* DeleteAllAction() const { return delete_all_; }
  QAction* BinaryAction() const { return binary_; }
  QAction* HexAction() const { return hex_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildLayout();
  void BuildContextMenu();
  void ShowResult(const analysis::RemoteCheckResult& result);

  const lang::Language& language_;
  analysis::RemoteCheck check_;
  analysis::RemoteCheckResult last_;
  std::array<QLabel*, analysis::kLabelledKeys> names_{};
  std::array<QLabel*, analysis::kLabelledKeys> values_{};
  QLabel* key_ = nullptr;
  QLabel* info_ = nullptr;
  QLabel* errors_ = nullptr;
  std::vector<analysis::RemoteCheckResult> results_;  ///< one per grid line
  CheckGridView* grid_ = nullptr;
  QAction* delete_all_ = nullptr;
  QAction* binary_ = nullptr;
  QAction* hex_ = nullptr;
};

}  // namespace klimavo::ui
