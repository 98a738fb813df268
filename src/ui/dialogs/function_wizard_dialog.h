#pragma once
// TfrmWizard: the function analysis wizard's window, a thin binding of widgets
// to analysis::FunctionWizard. Key tabs above; the comparison grid with its
// pop-up menu, the row actions and the settings of the analysis; the states
// table, the fixed-value boxes and the remote type; on the right the format
// tree and two waveform views (the capture and the standard form). A remote
// without display gets a panel with one stored code per key instead.
//
// While the window exists it holds the function analysis wizard's capture
// slot, so device captures and the pulse feed reach it.

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

#include "analysis/function_wizard.h"
#include "config/config.h"
#include "device/capture_router.h"
#include "lang/language.h"
#include "store/protocol_record.h"

class QAction;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTabBar;

namespace klimavo::ui {

class DataGrid;
class TCompareGrid;
class WizardCapturePane;
class WizardWavePanel;

class TfrmWizard : public QDialog, private analysis::FunctionWizardEvents {
  Q_OBJECT

 public:
  /// Shows a message (caption, text) and returns when the user has read it.
  using Tell = std::function<void(QWidget* parent, const QString& caption, const QString& text)>;

  TfrmWizard(store::TdiskAir& record, store::TBtnLines& lines, const lang::Language& language,
             const config::DerivedSettings& settings, device::CaptureRouter& router,
             QWidget* parent = nullptr);
  ~TfrmWizard() override;

  /// How messages are shown (a message box by default).
  void SetTell(Tell tell) { tell_ = std::move(tell); }
  /// Asks a yes/no question; true for yes. By default a message box.
  using Ask = std::function<bool(QWidget* parent, const QString& caption, const QString& text)>;
  void SetAsk(Ask ask) { ask_ = std::move(ask); }
  /// What the near and far items of the waveform menu do (the learner's learn mode 1 or 2).
  void SetLearnModeHandler(std::function<void(int)> handler) { learn_mode_ = std::move(handler); }

  /// The capture consumer's entry: durations in 0.1 µs, carrier in Hz.
  void CaptureReceived(const ir::TIRIntegerArr& durations, std::int32_t carrier);
  analysis::FunctionWizard& Logic() { return logic_; }
  /// Whether the wizard changed the record (known once the window has closed).
  bool RecordChanged() const { return logic_.RecordChanged(); }
  /// Ends the analysis once: gives up the capture slot and, when the window
  /// was shown, saves the rows and squeezes the format slots. Closing the
  /// window does it; the opener calls it too, however the window ended.
  void Finish();

  TCompareGrid* Grid() const { return grid_; }
  DataGrid* StatesTable() const { return states_; }
  DataGrid* NoDisplayTable() const { return no_display_; }
  QTabBar* KeyTabs() const { return tabs_; }

 signals:
  /// The stored code of a format slot changed: the record summary is stale.
  void StoredCodesChanged();

 public slots:
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // FunctionWizardEvents
  void Changed(analysis::WizardEvent event) override;
  void Message(analysis::WizardMessage message) override;

  void BuildWidgets();
  QHBoxLayout* BuildCloseRow();
  QWidget* BuildMainPanel();
  QWidget* BuildNoDisplayPanel();
  QWidget* BuildViews();
  void BuildGridMenu();
  void Connect();
  void ApplyTexts();

  void ShowKey();
  void ShowFormatTree();
  void ShowFieldValues();
  void ShowCapture(bool clear);
  void FillStatesTable();
  void FillNoDisplayTable();
  void SetNoDisplayByteColumns(int columns);
  void ShowRemoteType();
  void UpdateRowActions();
  void StatesCellEdited(int column, int row);

  analysis::FunctionWizard logic_;
  const lang::Language& language_;
  device::CaptureRouter::Lease lease_;
  Tell tell_;
  Ask ask_;
  std::function<void(int)> learn_mode_;
  QString simulate_caption_;
  QPushButton* close_ = nullptr;
  bool filling_ = false;
  bool shown_ = false;
  bool finished_ = false;

  QTabBar* tabs_ = nullptr;
  QStackedWidget* panels_ = nullptr;
  QLabel* format_label_ = nullptr;
  WizardCapturePane* capture_ = nullptr;
  TCompareGrid* grid_ = nullptr;
  QPushButton* clear_all_ = nullptr;
  QPushButton* delete_rows_ = nullptr;
  QPushButton* set_initial_ = nullptr;
  QSpinBox* max_run_ = nullptr;
  QCheckBox* lsb_first_ = nullptr;
  QCheckBox* ignore_zoned_ = nullptr;
  QPushButton* swap_ = nullptr;
  QPushButton* auto_extract_ = nullptr;
  QPushButton* simulate_ = nullptr;
  std::array<QRadioButton*, 2> with_display_{};
  std::array<QRadioButton*, 2> without_display_{};
  DataGrid* states_ = nullptr;
  std::array<QCheckBox*, analysis::kFixedValueBoxes> fixed_{};
  QLabel* temperature_ = nullptr;
  DataGrid* no_display_ = nullptr;
  QPushButton* simulate_no_display_ = nullptr;
  WizardWavePanel* views_ = nullptr;
  QAction* sort_ascending_ = nullptr;
  QAction* sort_descending_ = nullptr;
  QAction* delete_column_ = nullptr;  ///< in the states table's and the no-display table's menus
  int states_cursor_column_ = 0;
};

}  // namespace klimavo::ui
