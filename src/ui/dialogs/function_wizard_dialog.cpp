#include "ui/dialogs/function_wizard_dialog.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabBar>
#include <QVBoxLayout>

#include "base/gbk.h"
#include "lang/text_numbers.h"
#include "ui/translate_form.h"
#include "ui/ui_text.h"
#include "ui/waveview/format_tree_widget.h"
#include "ui/waveview/wizard_wave_panel.h"
#include "ui/widgets/compare_grid_widget.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/wizard_capture_pane.h"

namespace klimavo::ui {
namespace {

constexpr int kWindowWidth = 1280;
constexpr int kWindowHeight = 760;
constexpr int kWaveZoom = 38;
constexpr int kTextCodeTooLong = 140;
constexpr int kTextRepeatMismatch = 141;
constexpr int kTextTooManyFormats = 142;
constexpr int kTextStandardFormat = 146;
constexpr int kTextChecksumKeepsTheBits = 240;
constexpr int kTextKeyStates = 269;
constexpr int kTextClearAllQuestion = 270;
constexpr int kTextQuestion = 267;
constexpr int kTextClose = 174;
constexpr int kNameColumnPixels = 110;
constexpr int kStatesColumnPixels = 52;
constexpr int kByteColumnPixels = 32;
constexpr int kByteColumns = 8;
constexpr int kHeadingPadding = 14;
constexpr int kMainPanel = 0;
constexpr int kNoDisplayPanel = 1;

// Shows a caption only while the control it names is shown, so that no caption
// stands beside an empty place.
class FollowVisibility : public QObject {
 public:
  FollowVisibility(QWidget* control, QWidget* caption) : QObject(caption), caption_(caption) {
    control->installEventFilter(this);
    caption->setVisible(!control->isHidden());
  }

  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::ShowToParent) caption_->setVisible(true);
    if (event->type() == QEvent::HideToParent) caption_->setVisible(false);
    return false;
  }

 private:
  QWidget* caption_;
};

}  // namespace

TfrmWizard::TfrmWizard(store::TdiskAir& record, store::TBtnLines& lines, const lang::Language& language,
                       const config::DerivedSettings& settings, device::CaptureRouter& router,
                       QWidget* parent)
    : QDialog(parent),
      logic_(record, lines, language, settings.DecodeTolerance, settings.Timing),
      language_(language) {
  setObjectName("frmWizard");
  resize(kWindowWidth, kWindowHeight);
  setSizeGripEnabled(true);
  BuildWidgets();
  Connect();
  TranslateForm(this, language_);
  ApplyTexts();
  tell_ = [](QWidget* owner, const QString& caption, const QString& text) {
    QMessageBox::information(owner, caption, text);
  };
  ask_ = [](QWidget* owner, const QString& caption, const QString& text) {
    return QMessageBox::question(owner, caption, text) == QMessageBox::Yes;
  };
  logic_.SetEvents(this);
  lease_ = router.Occupy(device::CaptureConsumer::FunctionWizard,
                         [this](const ir::TIRIntegerArr& durations, std::int32_t carrier) {
                           CaptureReceived(durations, carrier);
                         });
}

TfrmWizard::~TfrmWizard() {
  lease_.Reset();
  logic_.SetEvents(nullptr);
  grid_->SetModel(nullptr);
}

// ----- Layout -----

void TfrmWizard::BuildWidgets() {
  auto* outer = new QVBoxLayout(this);
  tabs_ = new QTabBar(this);
  tabs_->setObjectName("tabKeys");
  tabs_->setExpanding(false);
  outer->addWidget(tabs_);

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->setObjectName("splWizard");
  panels_ = new QStackedWidget(splitter);
  panels_->addWidget(BuildMainPanel());
  panels_->addWidget(BuildNoDisplayPanel());
  splitter->addWidget(panels_);
  splitter->addWidget(BuildViews());
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 2);
  splitter->setSizes({830, 450});
  outer->addWidget(splitter, 1);
  outer->addLayout(BuildCloseRow());
}

QHBoxLayout* TfrmWizard::BuildCloseRow() {
  // Closing keeps the analysis, as closing the window does.
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  close_ = new QPushButton(LangText(language_, kTextClose), this);
  close_->setObjectName("btnClose");
  close_->setAutoDefault(false);
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
  row->addWidget(close_);
  return row;
}

QWidget* TfrmWizard::BuildMainPanel() {
  // The capture pane is the whole panel: the format row above its grid, the
  // settings and the states table below its action row.
  capture_ = new WizardCapturePane(&logic_.Grid(), this);
  capture_->setObjectName("pnlMain");
  QWidget* panel = capture_;
  QVBoxLayout* layout = capture_->Layout();
  grid_ = capture_->Grid();
  layout->setStretchFactor(grid_, 3);

  auto* top = new QHBoxLayout;
  format_label_ = new QLabel(panel);
  format_label_->setObjectName("lblFormat");
  format_label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  top->addWidget(format_label_, 1);
  auto* run_label = new QLabel("Value of run", panel);
  run_label->setObjectName("lblRun");
  run_label->setBuddy(grid_->RunChooser());
  top->addWidget(run_label);
  top->addWidget(grid_->RunChooser());
  // The run chooser is there only while the codes differ in more than one run.
  new FollowVisibility(grid_->RunChooser(), run_label);
  layout->insertLayout(0, top);
  BuildGridMenu();

  // Row actions after the pane's own; the settings of the analysis below.
  capture_->AddRowButtons();
  clear_all_ = capture_->ClearAll();
  delete_rows_ = capture_->DeleteRows();
  set_initial_ = capture_->NewButton("btnSetInitial", "设为初始值");
  auto_extract_ = capture_->NewButton("btnAutoExtract", "自动提取");
  auto_extract_->setShortcut(QKeySequence("Ctrl+E"));
  swap_ = capture_->NewButton("btnSwap", "0/1互换");
  simulate_ = capture_->NewButton("btnSimulate", "Simulate");
  simulate_->setShortcut(QKeySequence("Ctrl+R"));
  for (QPushButton* b : {set_initial_, swap_, auto_extract_, simulate_}) capture_->ActionRow()->addWidget(b);
  capture_->ActionRow()->addStretch(1);

  auto* settings = new QHBoxLayout;
  auto* max_run_label = new QLabel("变化最大位数", panel);
  max_run_label->setObjectName("lblMaxRun");
  max_run_ = new QSpinBox(panel);
  max_run_->setObjectName("spnMaxRun");
  max_run_->setRange(0, analysis::kWizardMaxRunWidthLimit);
  max_run_->setValue(analysis::kWizardMaxRunWidth);
  max_run_label->setBuddy(max_run_);
  lsb_first_ = new QCheckBox("低位在前", panel);
  lsb_first_->setObjectName("chkLsbFirst");
  ignore_zoned_ = new QCheckBox("忽略已验证的位", panel);
  ignore_zoned_->setObjectName("chkIgnoreZoned");
  settings->addWidget(max_run_label);
  settings->addWidget(max_run_);
  settings->addSpacing(12);
  settings->addWidget(lsb_first_);
  settings->addWidget(ignore_zoned_);
  settings->addStretch(1);
  with_display_[kMainPanel] = new QRadioButton("有屏遥控器", panel);
  with_display_[kMainPanel]->setObjectName("rbWithDisplay");
  without_display_[kMainPanel] = new QRadioButton("无屏遥控器", panel);
  without_display_[kMainPanel]->setObjectName("rbWithoutDisplay");
  auto* group = new QButtonGroup(panel);
  group->addButton(with_display_[kMainPanel]);
  group->addButton(without_display_[kMainPanel]);
  settings->addWidget(with_display_[kMainPanel]);
  settings->addWidget(without_display_[kMainPanel]);
  layout->addLayout(settings);

  // The states table beside the fixed-value boxes.
  auto* lower = new QHBoxLayout;
  states_ = new DataGrid(panel);
  states_->setObjectName("gridStates");
  states_->SetMode(DataGrid::Mode::EditInsert);
  states_->setContextMenuPolicy(Qt::ActionsContextMenu);
  // The no-display table's pop-up menu offers the same item: it too clears the
  // key column under the states table's cursor.
  delete_column_ = new QAction("删除当前列", this);
  delete_column_->setObjectName("mnuDeleteColumn");
  connect(delete_column_, &QAction::triggered, this, [this] { logic_.DeleteColumn(states_cursor_column_); });
  states_->addAction(delete_column_);
  lower->addWidget(states_, 1);
  auto* boxes = new QVBoxLayout;
  for (int i = 0; i < analysis::kFixedValueBoxes; ++i) {
    fixed_[static_cast<std::size_t>(i)] = new QCheckBox(panel);
    fixed_[static_cast<std::size_t>(i)]->setObjectName(QString("chkFixed%1").arg(i));
    boxes->addWidget(fixed_[static_cast<std::size_t>(i)]);
  }
  temperature_ = new QLabel(panel);
  temperature_->setObjectName("lblTemperature");
  QFont big = temperature_->font();
  big.setPointSize(big.pointSize() + 6);
  big.setBold(true);
  temperature_->setFont(big);
  boxes->addWidget(temperature_);
  boxes->addStretch(1);
  lower->addLayout(boxes);
  layout->addLayout(lower, 2);
  return panel;
}

QWidget* TfrmWizard::BuildNoDisplayPanel() {
  auto* panel = new QWidget(this);
  panel->setObjectName("pnlNoDisplay");
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* top = new QHBoxLayout;
  with_display_[kNoDisplayPanel] = new QRadioButton("有屏遥控器", panel);
  with_display_[kNoDisplayPanel]->setObjectName("rbWithDisplay2");
  without_display_[kNoDisplayPanel] = new QRadioButton("无屏遥控器", panel);
  without_display_[kNoDisplayPanel]->setObjectName("rbWithoutDisplay2");
  auto* group = new QButtonGroup(panel);
  group->addButton(with_display_[kNoDisplayPanel]);
  group->addButton(without_display_[kNoDisplayPanel]);
  top->addWidget(with_display_[kNoDisplayPanel]);
  top->addWidget(without_display_[kNoDisplayPanel]);
  top->addStretch(1);
  simulate_no_display_ = new QPushButton("Simulate", panel);
  simulate_no_display_->setObjectName("btnSimulate2");
  simulate_no_display_->setAutoDefault(false);
  top->addWidget(simulate_no_display_);
  layout->addLayout(top);
  auto* hint = new QLabel(panel);
  hint->setObjectName("lblNoDisplayHint");
  hint->setWordWrap(true);
  layout->addWidget(hint);
  no_display_ = new DataGrid(panel);
  no_display_->setObjectName("gridNoDisplay");
  no_display_->SetMode(DataGrid::Mode::BrowseOnly);
  no_display_->setSelectionBehavior(QAbstractItemView::SelectRows);
  no_display_->setContextMenuPolicy(Qt::ActionsContextMenu);
  no_display_->addAction(delete_column_);
  SetNoDisplayByteColumns(kByteColumns);
  layout->addWidget(no_display_, 1);
  return panel;
}

QWidget* TfrmWizard::BuildViews() {
  views_ =
      new WizardWavePanel(WizardWavePanel::Waves::CaptureAndFormat, LangText(language_, kTextStandardFormat),
                          kWaveZoom, language_.IsChinese(), this);
  views_->Tree()->SetCaptionWords(FormatTreeWidget::CaptionWordsOf(language_));
  connect(views_, &WizardWavePanel::RangeChosen, this, [this](int range) {
    if (learn_mode_) learn_mode_(range);
  });
  return views_;
}

void TfrmWizard::BuildGridMenu() {
  grid_->setContextMenuPolicy(Qt::CustomContextMenu);
  const auto order = capture_->AddRowOrderActions([this] { logic_.RemoveDuplicateRows(); },
                                                  [this](bool ascending) { logic_.SortRows(ascending); });
  sort_ascending_ = order.sort_ascending;
  sort_descending_ = order.sort_descending;
  capture_->AddMenuAction("mnuReverse", "颠倒顺序", [this] { logic_.ReverseRows(); });
  capture_->AddMenuAction("mnuBinary", "2进制", [this] { logic_.Grid().SetHexMode(false); });
  capture_->AddMenuAction("mnuHex", "16进制", [this] { logic_.Grid().SetHexMode(true); });
  connect(grid_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    // Sorting needs a column beyond the second to have been chosen.
    const bool sortable = grid_->CurrentColumn() > 1;
    sort_ascending_->setEnabled(sortable);
    sort_descending_->setEnabled(sortable);
    QMenu menu(this);
    menu.addActions(grid_->actions());
    menu.exec(grid_->viewport()->mapToGlobal(at));
  });
}

void TfrmWizard::ApplyTexts() {
  setWindowTitle(FromGbk(logic_.Caption()));
  simulate_caption_ = simulate_->text();
  for (int i = 0; i < analysis::kFixedValueBoxes; ++i)
    fixed_[static_cast<std::size_t>(i)]->setText(FromGbk(logic_.FixedValueCaption(i)));
}

// ----- Wiring -----

void TfrmWizard::Connect() {
  connect(tabs_, &QTabBar::currentChanged, this, [this](int index) {
    if (!filling_ && index >= 0) logic_.SwitchKey(index);
  });
  connect(grid_, &TCompareGrid::CurrentRowChanged, this, [this](int row) {
    if (!logic_.HandlingCapture() && row >= 0) logic_.SelectRow(row);
    UpdateRowActions();
  });
  connect(grid_, &TCompareGrid::SelectionChanged, this, [this] { UpdateRowActions(); });
  connect(clear_all_, &QPushButton::clicked, this, [this] {
    if (ask_ && !ask_(this, LangText(language_, kTextQuestion), LangText(language_, kTextClearAllQuestion)))
      return;
    logic_.ClearRows();
    UpdateRowActions();
  });
  connect(delete_rows_, &QPushButton::clicked, this, [this] {
    if (delete_rows_->isEnabled()) logic_.DeleteRows(grid_->SelectedRows());
  });
  connect(set_initial_, &QPushButton::clicked, this, [this] { logic_.SetAsInitialCode(); });
  connect(auto_extract_, &QPushButton::clicked, this, [this] { logic_.AutoExtract(); });
  connect(swap_, &QPushButton::clicked, this, [this] { logic_.SwapZeroOne(); });
  connect(simulate_, &QPushButton::clicked, this,
          [this] { logic_.Simulate(analysis::SimulationButton::Main); });
  connect(simulate_no_display_, &QPushButton::clicked, this,
          [this] { logic_.Simulate(analysis::SimulationButton::NoDisplay); });
  connect(max_run_, &QSpinBox::valueChanged, this, [this](int width) { logic_.SetMaxRunWidth(width); });
  connect(lsb_first_, &QCheckBox::toggled, this, [this](bool on) {
    if (filling_) return;
    if (!logic_.SetLsbFirst(on)) {
      const QSignalBlocker block(lsb_first_);
      lsb_first_->setChecked(!on);  // only while a format is shown
    }
  });
  connect(ignore_zoned_, &QCheckBox::toggled, this, [this](bool on) { logic_.SetIgnoreZoned(on); });
  for (std::size_t panel = 0; panel < 2; ++panel) {
    connect(with_display_[panel], &QRadioButton::toggled, this, [this](bool on) {
      if (!filling_ && on) logic_.SetRemoteType(analysis::kRemoteWithDisplay);
    });
    connect(without_display_[panel], &QRadioButton::toggled, this, [this](bool on) {
      if (!filling_ && on) logic_.SetRemoteType(analysis::kRemoteWithoutDisplay);
    });
  }
  for (int i = 0; i < analysis::kFixedValueBoxes; ++i)
    connect(fixed_[static_cast<std::size_t>(i)], &QCheckBox::toggled, this, [this, i](bool on) {
      if (!filling_) logic_.SetFixedValue(i, on);
    });
  connect(states_, &DataGrid::CellEdited, this, &TfrmWizard::StatesCellEdited);
  connect(states_, &QTableWidget::currentCellChanged, this, [this](int, int column) {
    const int key_column = std::max(0, column - 1);
    if (key_column == states_cursor_column_) return;
    states_cursor_column_ = key_column;
    // The temperature key names its first two states after the column under the cursor.
    if (logic_.SelectedKey() == analysis::kKeyTemperature && !filling_) FillStatesTable();
  });
  connect(no_display_, &DataGrid::RowChanged, this, [this](int row) {
    if (!filling_) logic_.SelectNoDisplayRow(row - 1);
  });
}

void TfrmWizard::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  filling_ = true;
  tabs_->blockSignals(true);
  while (tabs_->count() > 0) tabs_->removeTab(0);
  for (const std::string& name : logic_.KeyNames()) tabs_->addTab(FromGbk(name));
  tabs_->blockSignals(false);
  lsb_first_->setChecked(logic_.Grid().LowPre());
  filling_ = false;
  logic_.Show(max_run_->value());
  {
    const QSignalBlocker block(lsb_first_);
    lsb_first_->setChecked(logic_.Grid().LowPre());
  }
  UpdateRowActions();
}

void TfrmWizard::done(int result) {
  Finish();
  QDialog::done(result);
}

void TfrmWizard::Finish() {
  if (finished_) return;
  finished_ = true;
  lease_.Reset();
  if (shown_) logic_.Close();
}

void TfrmWizard::CaptureReceived(const ir::TIRIntegerArr& durations, std::int32_t carrier) {
  logic_.CaptureReceived(durations, carrier);
  UpdateRowActions();
}

// ----- What the logic asks to show -----

void TfrmWizard::Changed(analysis::WizardEvent event) {
  using analysis::WizardEvent;
  switch (event) {
    case WizardEvent::KeyChanged:
      ShowKey();
      break;
    case WizardEvent::CaptureShown:
      ShowCapture(false);
      break;
    case WizardEvent::CaptureCleared:
      ShowCapture(true);
      break;
    case WizardEvent::FormatTreeChanged:
      ShowFormatTree();
      break;
    case WizardEvent::FieldValuesChanged:
      ShowFieldValues();
      break;
    case WizardEvent::FormatLabelChanged:
      format_label_->setText(FromGbk(logic_.FormatLabel()));
      break;
    case WizardEvent::StatesTableChanged:
      FillStatesTable();
      break;
    case WizardEvent::NoDisplayChanged:
      FillNoDisplayTable();
      break;
    case WizardEvent::TemperatureChanged:
      temperature_->setText(FromGbk(logic_.TemperatureLabel()));
      break;
    case WizardEvent::RemoteTypeChanged:
      ShowRemoteType();
      break;
    case WizardEvent::KeyZonesChanged:
      grid_->viewport()->update();
      break;
    case WizardEvent::StoredCodesChanged:
      emit StoredCodesChanged();
      break;
    case WizardEvent::SimulationCaption:
      // The button keeps its name; the key states the firmware ended with follow it.
      simulate_->setText(QString("%1 (%2 %3)")
                             .arg(simulate_caption_, LangText(language_, kTextKeyStates),
                                  QString::fromStdString(logic_.SimulationCaption())));
      break;
  }
}

void TfrmWizard::Message(analysis::WizardMessage message) {
  int text = kTextCodeTooLong;
  switch (message) {
    case analysis::WizardMessage::RepeatMismatch:
      text = kTextRepeatMismatch;
      break;
    case analysis::WizardMessage::TooManyFormats:
      text = kTextTooManyFormats;
      break;
    case analysis::WizardMessage::CodeTooLong:
      break;
    case analysis::WizardMessage::ChecksumKeepsTheBits:
      text = kTextChecksumKeepsTheBits;
      break;
    case analysis::WizardMessage::SimulationFailed:
      if (tell_)
        tell_(this, LangText(language_, lang::kTextInformation), FromGbk(logic_.SimulationProblem()));
      return;
  }
  if (tell_) tell_(this, LangText(language_, lang::kTextInformation), LangText(language_, text));
}

void TfrmWizard::ShowKey() {
  filling_ = true;
  if (tabs_->currentIndex() != logic_.SelectedKey()) tabs_->setCurrentIndex(logic_.SelectedKey());
  for (int i = 0; i < analysis::kFixedValueBoxes; ++i) {
    QCheckBox* box = fixed_[static_cast<std::size_t>(i)];
    box->setVisible(logic_.FixedValueBoxVisible(i));
    box->setChecked(logic_.FixedValue(i));
  }
  temperature_->setVisible(logic_.SelectedKey() == analysis::kKeyMode);
  filling_ = false;
  UpdateRowActions();
}

void TfrmWizard::ShowFormatTree() {
  if (const ir::TMyTeeView* tree = logic_.FormatTree())
    views_->ShowFormat(*tree, logic_.FieldBytes(), logic_.RepeatCount());
}

void TfrmWizard::ShowFieldValues() { views_->ShowFieldValues(logic_.FieldBytes(), logic_.RepeatCount()); }

void TfrmWizard::ShowCapture(bool clear) {
  if (clear)
    views_->ClearCapture();
  else
    views_->ShowCapture(logic_.LastCapture(), logic_.LastCarrier());
}

void TfrmWizard::FillStatesTable() {
  const analysis::StatesTable table = logic_.States(states_cursor_column_);
  filling_ = true;
  const int columns = 1 + static_cast<int>(table.column_headings.size());
  states_->SetColumns(columns);
  states_->SetRows(static_cast<int>(table.row_headings.size()));
  states_->SetHeading(1, "");
  states_->SetColumnPixels(1, kNameColumnPixels);
  const QFontMetrics metrics(states_->horizontalHeader()->font());
  for (int c = 0; c < static_cast<int>(table.column_headings.size()); ++c) {
    const QString heading = FromGbk(table.column_headings[static_cast<std::size_t>(c)]);
    states_->SetHeading(c + 2, heading);
    // The mode key's flag columns carry longer headings than "Z1".
    states_->SetColumnPixels(
        c + 2, std::max(kStatesColumnPixels, metrics.horizontalAdvance(heading) + kHeadingPadding));
  }
  for (int r = 0; r < static_cast<int>(table.row_headings.size()); ++r) {
    states_->SetCell(1, r + 1, FromGbk(table.row_headings[static_cast<std::size_t>(r)]));
    if (QTableWidgetItem* item = states_->item(r, 0)) {
      item->setFlags(item->flags() & ~Qt::ItemIsEditable);
      item->setBackground(palette().color(QPalette::Window));
    }
    for (int c = 0; c < static_cast<int>(table.column_headings.size()); ++c)
      states_->SetCell(c + 2, r + 1,
                       FromGbk(table.cells[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)]));
  }
  filling_ = false;
}

void TfrmWizard::StatesCellEdited(int column, int row) {
  if (filling_ || column < 2) return;
  const std::string text = base::Utf8ToGbk(states_->Cell(column, row).toStdString()).value_or("");
  // Refilling the table from inside its own edit signal would delete the
  // item being edited: the logic's refill waits for the event loop.
  QMetaObject::invokeMethod(
      this, [this, row, column, text] { logic_.EditState(row - 1, column - 2, text); }, Qt::QueuedConnection);
}

void TfrmWizard::SetNoDisplayByteColumns(int columns) {
  no_display_->SetColumns(1 + columns);
  no_display_->SetColumnPixels(1, kNameColumnPixels);
  no_display_->SetHeading(1, "");
  for (int c = 0; c < columns; ++c) {
    no_display_->SetHeading(c + 2, QString::number(c + 1));
    no_display_->SetColumnPixels(c + 2, kByteColumnPixels);
  }
}

void TfrmWizard::FillNoDisplayTable() {
  filling_ = true;
  const int rows = logic_.NoDisplayRows();
  // A column for every byte of the longest code, and never fewer than eight.
  int columns = kByteColumns;
  for (int r = 0; r < rows; ++r)
    columns = std::max(columns, static_cast<int>(logic_.NoDisplayBytes(r).size()));
  if (columns != no_display_->columnCount() - 1) SetNoDisplayByteColumns(columns);
  no_display_->SetRows(rows);
  for (int r = 0; r < rows; ++r) {
    no_display_->SetCell(1, r + 1, FromGbk(logic_.NoDisplayName(r)));
    const std::vector<std::string> bytes = logic_.NoDisplayBytes(r);
    for (int c = 0; c < columns; ++c)
      no_display_->SetCell(c + 2, r + 1,
                           c < static_cast<int>(bytes.size())
                               ? QString::fromStdString(bytes[static_cast<std::size_t>(c)])
                               : QString());
  }
  no_display_->SetCurrentRow(logic_.NoDisplayRow() + 1);
  filling_ = false;
}

void TfrmWizard::ShowRemoteType() {
  filling_ = true;
  const bool without = logic_.RemoteType() == analysis::kRemoteWithoutDisplay;
  for (std::size_t panel = 0; panel < 2; ++panel) {
    with_display_[panel]->setChecked(!without);
    without_display_[panel]->setChecked(without);
  }
  panels_->setCurrentIndex(without ? kNoDisplayPanel : kMainPanel);
  filling_ = false;
}

void TfrmWizard::UpdateRowActions() {
  const bool has_rows = logic_.Grid().LineCount() > 0;
  const bool has_selection = !grid_->SelectedRows().empty();
  clear_all_->setEnabled(has_rows);
  delete_rows_->setEnabled(has_selection);
  set_initial_->setEnabled(grid_->CurrentRow() >= 0);
  swap_->setEnabled(logic_.FormatTree() != nullptr);
  lsb_first_->setEnabled(logic_.FormatTree() != nullptr);
}

}  // namespace klimavo::ui
