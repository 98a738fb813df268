#pragma once
// The format chooser (TfrmGeShiSelect, "初步解码"): every capture routed to it
// is drawn in a waveform view, decoded without prior knowledge and summarised;
// "下一步" takes the latest decode. In edit mode the record's timing and frame
// texts are shown in editable grids. A thin binding of FormatChooserModel.

#include <QDialog>
#include <memory>
#include <vector>

#include "lang/language.h"
#include "store/protocol_record.h"
#include "ui/dialogs/dialog_messages.h"
#include "workflow/format_chooser_model.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace klimavo::ui {

class DataGrid;
class TMoveWaveHandle;
class TWaveShow;

class TfrmGeShiSelect : public QDialog {
  Q_OBJECT

 public:
  /// Works on a copy of `record`, whose timing and frame texts fill the edit grids.
  TfrmGeShiSelect(const store::TdiskAir& record, double decode_tolerance, const lang::Language& language,
                  DialogMessages messages, QWidget* parent = nullptr);
  ~TfrmGeShiSelect() override;

  // Set by the opener before showing.
  void SetBothOrders(bool on);
  void SetLsbFirst(bool on);
  /// Shows the record's timing in the edit grids; going on reads them back.
  void SetEditMode(bool on);
  void SetNextCaption(const QString& caption);
  void SetNextVisible(bool visible);
  void SetCancelCaption(const QString& caption);

  /// A capture from the learner (durations in 0.1 µs, carrier in Hz).
  void CaptureArrived(const ir::TIRIntegerArr& durations, std::int32_t carrier);
  /// "下一步".
  void NextClicked();
  /// "Try harder": the assisted decode of the capture shown.
  void TryHarderClicked();

  /// The latest decode, or in edit mode the timing read from the grids.
  const ir::Tcomp_aval& Result() const { return model_->Result(); }
  bool LsbFirst() const { return model_->LsbFirst(); }
  bool Decoded() const { return model_->Decoded(); }
  /// The protocol grid's rows as they are now, each with the slot it came from.
  std::vector<workflow::ProtocolRow> ProtocolRows() const;
  const workflow::FormatChooserModel& Model() const { return *model_; }

  QPushButton* NextButton() const { return next_; }
  QPushButton* TryHarderButton() const { return try_harder_; }
  TWaveShow* WaveView() const { return wave_; }
  QPlainTextEdit* SummaryMemo() const { return memo_; }
  DataGrid* LogicGrid() const { return logic_grid_; }
  DataGrid* SplitGrid() const { return split_grid_; }
  DataGrid* ProtocolGrid() const { return protocol_grid_; }
  QLineEdit* CarrierEdit() const { return carrier_edit_; }
  QLabel* InfoLabel() const { return info_; }

 signals:
  /// A capture decoded while both bit orders are asked for: the opener filters
  /// the library by it (connect queued: the opener reads Result afterwards).
  void FilterDecoded();
  /// The hidden test button: compare the result with one library record.
  void CompareWithRecordRequested(int library_index);

 private:
  QWidget* BuildEditPanel();
  void FillGrids();
  workflow::ChooserGrids ReadGridTexts() const;
  QString FaultText(const workflow::GridFault& fault) const;
  void ShowDecoded(const workflow::FormatChooserModel::Arrival& arrival);

  std::unique_ptr<workflow::FormatChooserModel> model_;
  lang::Language language_;
  DialogMessages messages_;
  TWaveShow* wave_ = nullptr;
  TMoveWaveHandle* bar_ = nullptr;
  QPlainTextEdit* memo_ = nullptr;
  QWidget* edit_panel_ = nullptr;
  DataGrid* logic_grid_ = nullptr;
  DataGrid* split_grid_ = nullptr;
  DataGrid* protocol_grid_ = nullptr;
  QLineEdit* carrier_edit_ = nullptr;
  QLabel* info_ = nullptr;
  QPushButton* next_ = nullptr;
  QPushButton* try_harder_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QCheckBox* copy_check_ = nullptr;
  QLineEdit* record_edit_ = nullptr;
  QPushButton* compare_button_ = nullptr;
  int captures_ = 0;  ///< captures shown so far, numbered in the view's header
};

}  // namespace klimavo::ui
