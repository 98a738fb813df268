#pragma once
// TfrmChechWizard: the checksum analysis wizard's window, a thin binding of
// widgets to analysis::ChecksumWizard. The comparison grid in checksum mode
// (each item of the selected format computed for every row, green where it
// holds and red where not); below it the format, both checksum flags, the item
// count, the items and zones tables, and "Find checksum" with the list of
// candidates it found; on the right the format tree and the standard form of
// the code last captured or chosen.
//
// While the window exists it holds the checksum wizard's capture slot, so
// device captures and the pulse feed reach it.

#include <QDialog>
#include <functional>

#include "analysis/checksum_wizard.h"
#include "config/config.h"
#include "device/capture_router.h"
#include "lang/language.h"
#include "store/protocol_record.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace klimavo::ui {

class DataGrid;
class TCompareGrid;
class WizardCapturePane;
class WizardWavePanel;

class TfrmChechWizard : public QDialog, private analysis::ChecksumWizardEvents {
  Q_OBJECT

 public:
  /// Shows a message (caption, text) and returns when the user has read it.
  using Tell = std::function<void(QWidget* parent, const QString& caption, const QString& text)>;

  TfrmChechWizard(store::TdiskAir& record, const lang::Language& language,
                  const config::DerivedSettings& settings, device::CaptureRouter& router,
                  QWidget* parent = nullptr);
  ~TfrmChechWizard() override;

  /// How messages are shown (a message box by default).
  void SetTell(Tell tell) { tell_ = std::move(tell); }
  /// Asks a yes/no question; true for yes. By default a message box.
  using Ask = std::function<bool(QWidget* parent, const QString& caption, const QString& text)>;
  void SetAsk(Ask ask) { ask_ = std::move(ask); }
  /// What the near and far items of the waveform menu do (the learner's learn mode 1 or 2).
  void SetLearnModeHandler(std::function<void(int)> handler) { learn_mode_ = std::move(handler); }

  /// The capture consumer's entry: durations in 0.1 µs, carrier in Hz.
  void CaptureReceived(const ir::TIRIntegerArr& durations, std::int32_t carrier);
  analysis::ChecksumWizard& Logic() { return logic_; }
  /// Whether the wizard changed the record.
  bool RecordChanged() const { return logic_.RecordChanged(); }

  TCompareGrid* Grid() const { return grid_; }
  DataGrid* ItemsTable() const { return items_; }
  DataGrid* ZonesTable() const { return zones_; }
  QListWidget* Candidates() const { return candidates_; }
  /// The definitions that fit the rows as well as a candidate; hidden without any.
  QListWidget* Rivals() const { return rivals_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // ChecksumWizardEvents
  void Changed(analysis::ChecksumWizardEvent event) override;
  void Message(analysis::ChecksumWizardMessage message) override;

  void BuildWidgets();
  QWidget* BuildChecksumPanel();
  QWidget* BuildViews();
  void BuildGridMenu();
  void BuildItemsMenu();
  void Connect();

  void ShowFormats();
  void ShowFlags();
  void FillItems();
  void FillZones();
  void ShowCandidates();
  void ShowRivals(const analysis::ChecksumDiscovery& found);
  /// Moves a list's highlight without putting its entry into the item.
  void Highlight(QListWidget* list, int row);
  void ShowFormatTree();
  void ShowFieldValues();
  void UpdateRowActions();
  /// Widens the columns of a table to show their headings whole.
  static void FitHeadings(DataGrid* table);
  void ItemCellEdited(int column, int row);
  void ZoneCellEdited(int column, int row);
  void FindChecksum();
  QComboBox* ItemCombo(int row, analysis::ItemColumn column, const QStringList& entries, int choice);

  analysis::ChecksumWizard logic_;
  const lang::Language& language_;
  device::CaptureRouter::Lease lease_;
  Tell tell_;
  Ask ask_;
  QPushButton* close_ = nullptr;
  std::function<void(int)> learn_mode_;
  bool filling_ = false;
  bool shown_ = false;

  QLabel* format_label_ = nullptr;
  WizardCapturePane* capture_ = nullptr;
  TCompareGrid* grid_ = nullptr;
  QPushButton* clear_all_ = nullptr;
  QPushButton* delete_rows_ = nullptr;
  QRadioButton* hex_ = nullptr;
  QRadioButton* binary_ = nullptr;
  QCheckBox* record_flag_ = nullptr;
  QComboBox* formats_ = nullptr;
  QCheckBox* format_flag_ = nullptr;
  QLabel* count_label_ = nullptr;
  QComboBox* count_ = nullptr;
  DataGrid* items_ = nullptr;
  DataGrid* zones_ = nullptr;
  QPushButton* find_ = nullptr;
  QLabel* note_ = nullptr;
  QListWidget* candidates_ = nullptr;
  QLabel* rivals_label_ = nullptr;
  QListWidget* rivals_ = nullptr;
  WizardWavePanel* views_ = nullptr;
};

}  // namespace klimavo::ui
