#include "ui/dialogs/checksum_wizard_dialog.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/checksum_discovery/checksum_discovery_report.h"
#include "ir/checksum.h"
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
constexpr int kWindowHeight = 800;
constexpr int kWaveZoom = 29;
constexpr int kTextClose = 174;
constexpr int kTextQuestion = 267;
constexpr int kTextClearAllQuestion = 270;
constexpr int kTextRepeatMismatch = 150;
/// The notes of a search, in the order of analysis::DiscoveryNote.
constexpr int kTextNotes = 151;
constexpr int kTextCodesOfFormat = 156;
constexpr int kTextPressKeys = 157;
constexpr int kTextRivalsHeading = 370;
constexpr int kTextRivalOf = 371;
/// Shared with the function wizard, whose format view has the same title.
constexpr int kTextStandardFormat = 146;
constexpr int kHeadingPadding = 16;
constexpr int kNumberColumnPixels = 48;
constexpr int kComboColumnPixels = 150;
constexpr int kSmallComboPixels = 64;

using analysis::ItemColumn;

int GridColumn(ItemColumn c) { return static_cast<int>(c) + 1; }

}  // namespace

TfrmChechWizard::TfrmChechWizard(store::TdiskAir& record, const lang::Language& language,
                                 const config::DerivedSettings& settings, device::CaptureRouter& router,
                                 QWidget* parent)
    : QDialog(parent), logic_(record, settings.DecodeTolerance), language_(language) {
  setObjectName("frmChechWizard");
  setWindowTitle("空调红外遥控器校验辅助器");
  resize(kWindowWidth, kWindowHeight);
  setSizeGripEnabled(true);
  BuildWidgets();
  Connect();
  TranslateForm(this, language_);
  FitHeadings(items_);
  FitHeadings(zones_);
  format_label_->setText(LangText(language_, kTextPressKeys));
  tell_ = [](QWidget* owner, const QString& caption, const QString& text) {
    QMessageBox::information(owner, caption, text);
  };
  ask_ = [](QWidget* owner, const QString& caption, const QString& text) {
    return QMessageBox::question(owner, caption, text) == QMessageBox::Yes;
  };
  logic_.SetEvents(this);
  lease_ = router.Occupy(device::CaptureConsumer::ChecksumWizard,
                         [this](const ir::TIRIntegerArr& durations, std::int32_t carrier) {
                           CaptureReceived(durations, carrier);
                         });
}

TfrmChechWizard::~TfrmChechWizard() {
  lease_.Reset();
  logic_.SetEvents(nullptr);
  grid_->SetModel(nullptr);
}

// ----- Layout -----

void TfrmChechWizard::BuildWidgets() {
  auto* outer = new QVBoxLayout(this);
  format_label_ = new QLabel(this);
  format_label_->setObjectName("lblFormat");
  format_label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  outer->addWidget(format_label_);

  auto* splitter = new QSplitter(Qt::Horizontal, this);
  splitter->setObjectName("splWizard");
  auto* left = new QSplitter(Qt::Vertical, splitter);
  left->setObjectName("splChecksum");
  capture_ = new WizardCapturePane(&logic_.Grid(), left);
  grid_ = capture_->Grid();
  grid_->RunChooser()->hide();  // checksum mode shows no run values
  capture_->AddRowButtons();
  clear_all_ = capture_->ClearAll();
  delete_rows_ = capture_->DeleteRows();
  hex_ = new QRadioButton("16进制", capture_);
  hex_->setObjectName("rbHex");
  binary_ = new QRadioButton("2进制", capture_);
  binary_->setObjectName("rbBinary");
  auto* radix = new QButtonGroup(capture_);
  radix->addButton(hex_);
  radix->addButton(binary_);
  hex_->setChecked(true);
  capture_->ActionRow()->addStretch(1);
  capture_->ActionRow()->addWidget(hex_);
  capture_->ActionRow()->addWidget(binary_);
  left->addWidget(capture_);
  left->addWidget(BuildChecksumPanel());
  left->setStretchFactor(0, 3);
  left->setStretchFactor(1, 2);
  BuildGridMenu();

  splitter->addWidget(left);
  splitter->addWidget(BuildViews());
  splitter->setStretchFactor(0, 3);
  splitter->setStretchFactor(1, 1);
  splitter->setSizes({930, 330});
  outer->addWidget(splitter, 1);
  // Closing keeps the checksums found, as closing the window does.
  auto* close_row = new QHBoxLayout;
  close_row->addStretch(1);
  close_ = new QPushButton(LangText(language_, kTextClose), this);
  close_->setObjectName("btnClose");
  close_->setAutoDefault(false);
  connect(close_, &QPushButton::clicked, this, &QDialog::accept);
  close_row->addWidget(close_);
  outer->addLayout(close_row);
}

QWidget* TfrmChechWizard::BuildChecksumPanel() {
  auto* panel = new QWidget(this);
  panel->setObjectName("pnlChecksum");
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);

  auto* flags = new QHBoxLayout;
  record_flag_ = new QCheckBox("有校验", panel);
  record_flag_->setObjectName("chkHadCrc");
  auto* format_label = new QLabel("格式", panel);
  format_label->setObjectName("lblFormats");
  formats_ = new QComboBox(panel);
  formats_->setObjectName("cmbFormat");
  formats_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  format_label->setBuddy(formats_);
  format_flag_ = new QCheckBox("有校验", panel);
  format_flag_->setObjectName("chkGShad");
  count_label_ = new QLabel("校验数", panel);
  count_label_->setObjectName("lblCount");
  count_ = new QComboBox(panel);
  count_->setObjectName("cmbCount");
  for (int n = 1; n <= analysis::kMaxChosenItems; ++n) count_->addItem(QString::number(n));
  count_label_->setBuddy(count_);
  find_ = new QPushButton("查找校验", panel);
  find_->setObjectName("btnFind");
  find_->setAutoDefault(false);
  find_->setShortcut(QKeySequence("Ctrl+F"));
  flags->addWidget(record_flag_);
  flags->addSpacing(12);
  flags->addWidget(format_label);
  flags->addWidget(formats_);
  flags->addWidget(format_flag_);
  flags->addSpacing(12);
  flags->addWidget(count_label_);
  flags->addWidget(count_);
  flags->addStretch(1);
  flags->addWidget(find_);
  layout->addLayout(flags);

  auto* tables = new QHBoxLayout;
  items_ = new DataGrid(panel);
  items_->setObjectName("gridItems");
  items_->SetMode(DataGrid::Mode::EditInsert);
  items_->SetColumns(analysis::kItemColumns);
  const QStringList item_headings{"目标帧",   "目标起点", "目标位宽", "计算区域数",
                                  "计算方式", "计算位宽", "外部常数", "常数操作"};
  for (int c = 0; c < analysis::kItemColumns; ++c) {
    items_->SetHeading(c + 1, item_headings[c]);
    items_->SetColumnPixels(c + 1, kNumberColumnPixels);
  }
  items_->SetColumnPixels(GridColumn(ItemColumn::Kind), kComboColumnPixels);
  items_->SetColumnPixels(GridColumn(ItemColumn::ZoneCount), kSmallComboPixels);
  items_->SetColumnPixels(GridColumn(ItemColumn::ConstOp), kSmallComboPixels + 8);
  BuildItemsMenu();
  zones_ = new DataGrid(panel);
  zones_->setObjectName("gridZones");
  zones_->SetMode(DataGrid::Mode::EditInsert);
  zones_->SetColumns(analysis::kZoneColumns);
  const QStringList zone_headings{"起点帧", "起点位", "止点帧", "止点位"};
  for (int c = 0; c < analysis::kZoneColumns; ++c) {
    zones_->SetHeading(c + 1, zone_headings[c]);
    zones_->SetColumnPixels(c + 1, kNumberColumnPixels);
  }
  tables->addWidget(items_, 3);
  tables->addWidget(zones_, 1);
  layout->addLayout(tables, 1);

  note_ = new QLabel(panel);
  note_->setObjectName("lblNote");
  note_->setWordWrap(true);
  layout->addWidget(note_);
  candidates_ = new QListWidget(panel);
  candidates_->setObjectName("lstCandidates");
  candidates_->setMaximumHeight(110);
  layout->addWidget(candidates_);
  // Definitions the codes cannot tell from a candidate: shown, so that the
  // engineer sees what the search could not decide and may choose one.
  rivals_label_ = new QLabel(panel);
  rivals_label_->setObjectName("lblRivals");
  rivals_label_->setWordWrap(true);
  rivals_label_->hide();
  layout->addWidget(rivals_label_);
  rivals_ = new QListWidget(panel);
  rivals_->setObjectName("lstRivals");
  rivals_->setMaximumHeight(90);
  rivals_->hide();
  layout->addWidget(rivals_);
  return panel;
}

QWidget* TfrmChechWizard::BuildViews() {
  views_ = new WizardWavePanel(WizardWavePanel::Waves::FormatOnly, LangText(language_, kTextStandardFormat),
                               kWaveZoom, language_.IsChinese(), this);
  views_->Tree()->SetCaptionWords(FormatTreeWidget::CaptionWordsOf(language_));
  connect(views_, &WizardWavePanel::RangeChosen, this, [this](int range) {
    if (learn_mode_) learn_mode_(range);
  });
  return views_;
}

void TfrmChechWizard::BuildGridMenu() {
  grid_->setContextMenuPolicy(Qt::ActionsContextMenu);
  capture_->AddRowOrderActions([this] { logic_.RemoveDuplicateRows(); },
                               [this](bool ascending) { logic_.SortRows(ascending); });
  capture_->AddMenuAction("mnuHex", "显示16进制", [this] { hex_->setChecked(true); });
  capture_->AddMenuAction("mnuBinary", "显示2进制", [this] { binary_->setChecked(true); });
}

void TfrmChechWizard::BuildItemsMenu() {
  items_->setContextMenuPolicy(Qt::ActionsContextMenu);
  auto preset = [this](const char* name, const char* caption, analysis::ChecksumPreset which) {
    auto* a = new QAction(caption, items_);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, [this, which] { logic_.ApplyPreset(which); });
    items_->addAction(a);
  };
  preset("mnuLast4", "最后4", analysis::ChecksumPreset::Last4);
  preset("mnuLast8", "最后8位", analysis::ChecksumPreset::Last8);
}

// ----- Wiring -----

void TfrmChechWizard::Connect() {
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
    UpdateRowActions();
  });
  connect(hex_, &QRadioButton::toggled, this, [this](bool on) { logic_.SetHexMode(on); });
  connect(record_flag_, &QCheckBox::toggled, this, [this](bool on) {
    if (!filling_) logic_.SetRecordHasChecksum(on);
  });
  connect(format_flag_, &QCheckBox::toggled, this, [this](bool on) {
    if (!filling_) logic_.SetFormatHasChecksum(on);
  });
  connect(formats_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (!filling_) logic_.SelectFormat(index);
  });
  connect(count_, &QComboBox::activated, this, [this](int index) { logic_.SetItemCount(index + 1); });
  connect(items_, &DataGrid::CellEdited, this, &TfrmChechWizard::ItemCellEdited);
  connect(items_, &DataGrid::RowChanged, this, [this](int row) {
    if (!filling_ && row >= 1) logic_.SelectItem(row - 1);
  });
  connect(zones_, &DataGrid::CellEdited, this, &TfrmChechWizard::ZoneCellEdited);
  connect(find_, &QPushButton::clicked, this, &TfrmChechWizard::FindChecksum);
  // The highlighted candidate is the one in the item: a click, the arrow keys
  // and Enter all put it there.
  const auto apply = [this](QListWidgetItem* item) {
    if (!filling_ && item != nullptr) logic_.ApplyCandidate(candidates_->row(item));
  };
  connect(candidates_, &QListWidget::itemActivated, this, apply);
  connect(candidates_, &QListWidget::itemClicked, this, apply);
  connect(candidates_, &QListWidget::currentItemChanged, this,
          [apply](QListWidgetItem* item, QListWidgetItem*) { apply(item); });
  // A rival chosen the same way goes into the item instead; the highlight
  // leaves the other list, so that only what the item holds is highlighted.
  const auto apply_rival = [this](QListWidgetItem* item) {
    if (filling_ || item == nullptr) return;
    logic_.ApplyRival(rivals_->row(item));
    Highlight(candidates_, -1);
  };
  connect(rivals_, &QListWidget::itemActivated, this, apply_rival);
  connect(rivals_, &QListWidget::itemClicked, this, apply_rival);
  connect(rivals_, &QListWidget::currentItemChanged, this,
          [apply_rival](QListWidgetItem* item, QListWidgetItem*) { apply_rival(item); });
  connect(candidates_, &QListWidget::currentItemChanged, this,
          [this](QListWidgetItem* item, QListWidgetItem*) {
            if (!filling_ && item != nullptr) Highlight(rivals_, -1);
          });
}

void TfrmChechWizard::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  if (learn_mode_) learn_mode_(WizardWavePanel::kLongRange);  // the wizard listens at long range
  logic_.Open();
  ShowCandidates();
  UpdateRowActions();
}

void TfrmChechWizard::CaptureReceived(const ir::TIRIntegerArr& durations, std::int32_t carrier) {
  logic_.CaptureReceived(durations, carrier);
  UpdateRowActions();
}

void TfrmChechWizard::FindChecksum() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  logic_.FindChecksum();
  QApplication::restoreOverrideCursor();
}

// ----- What the logic asks to show -----

void TfrmChechWizard::Changed(analysis::ChecksumWizardEvent event) {
  using analysis::ChecksumWizardEvent;
  switch (event) {
    case ChecksumWizardEvent::FormatsChanged:
      ShowFormats();
      break;
    case ChecksumWizardEvent::FlagsChanged:
      ShowFlags();
      break;
    case ChecksumWizardEvent::ItemsChanged:
      FillItems();
      break;
    case ChecksumWizardEvent::ZonesChanged:
      FillZones();
      break;
    case ChecksumWizardEvent::FormatTreeChanged:
      ShowFormatTree();
      break;
    case ChecksumWizardEvent::FieldValuesChanged:
      ShowFieldValues();
      break;
    case ChecksumWizardEvent::FormatLabelChanged:
      format_label_->setText(FromGbk(logic_.FormatLabel()));
      break;
    case ChecksumWizardEvent::DiscoveryChanged:
      ShowCandidates();
      break;
  }
}

void TfrmChechWizard::Message(analysis::ChecksumWizardMessage message) {
  if (message == analysis::ChecksumWizardMessage::RepeatMismatch && tell_)
    tell_(this, LangText(language_, lang::kTextInformation), LangText(language_, kTextRepeatMismatch));
}

void TfrmChechWizard::ShowFormats() {
  filling_ = true;
  formats_->clear();
  for (const std::string& text : logic_.FormatTexts()) formats_->addItem(FromGbk(text));
  formats_->setCurrentIndex(logic_.SelectedFormat());
  filling_ = false;
}

void TfrmChechWizard::ShowFlags() {
  filling_ = true;
  record_flag_->setChecked(logic_.RecordHasChecksum());
  format_flag_->setChecked(logic_.FormatHasChecksum());
  count_->setCurrentIndex(logic_.ItemCountChoice());
  const bool has_formats = !logic_.FormatTexts().empty();
  record_flag_->setEnabled(has_formats);
  for (QWidget* w : std::initializer_list<QWidget*>{formats_, format_flag_, count_label_})
    w->setEnabled(logic_.FormatControlsEnabled());
  for (QWidget* w : std::initializer_list<QWidget*>{count_, items_, zones_})
    w->setEnabled(logic_.ItemControlsEnabled());
  find_->setEnabled(has_formats);
  filling_ = false;
}

void TfrmChechWizard::FitHeadings(DataGrid* table) {
  // Headings wrap onto two lines; a column is as wide as its longest word, or
  // half its heading, whichever is more.
  QHeaderView* header = table->horizontalHeader();
  header->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::Alignment(Qt::TextWordWrap)));
  const QFontMetrics metrics(header->font());
  table->SetHeadingHeight(2 * metrics.lineSpacing() + kHeadingPadding / 2);
  for (int c = 1; c <= table->Columns(); ++c) {
    const QString heading = table->Heading(c);
    int word = 0;
    for (const QString& part : heading.split(' ', Qt::SkipEmptyParts))
      word = std::max(word, metrics.horizontalAdvance(part));
    const int half = (metrics.horizontalAdvance(heading) + 1) / 2;
    table->SetColumnPixels(c, std::max(table->columnWidth(c - 1), std::max(word, half) + kHeadingPadding));
  }
}

QComboBox* TfrmChechWizard::ItemCombo(int row, ItemColumn column, const QStringList& entries, int choice) {
  auto* combo = new QComboBox(items_);
  combo->setObjectName(QString("cmbItem%1_%2").arg(row).arg(static_cast<int>(column)));
  combo->addItems(entries);
  combo->setCurrentIndex(choice);
  connect(combo, &QComboBox::activated, this, [this, row, column](int index) {
    // The refill after the choice would delete this combo inside its own signal.
    QMetaObject::invokeMethod(
        this,
        [this, row, column, index] {
          logic_.ChooseItem(row, column, index);
          FillItems();
        },
        Qt::QueuedConnection);
  });
  items_->setCellWidget(row, GridColumn(column) - 1, combo);
  return combo;
}

void TfrmChechWizard::FillItems() {
  filling_ = true;
  const int rows = logic_.ItemRows();
  items_->SetRows(rows);
  QStringList kinds;
  for (int k = 0; k < ir::kCrcKindCount; ++k) kinds << FromGbk(lang::CrcKindName(k, language_.LanguageNo()));
  QStringList ops;
  for (int op = 0; op < ir::kCrcConstOpCount; ++op) ops << QString::fromStdString(lang::CrcOpName(op));
  for (int r = 0; r < rows; ++r) {
    const analysis::ItemRow item = logic_.Item(r);
    items_->SetCell(GridColumn(ItemColumn::TargetFrame), r + 1, QString::number(item.target_frame));
    items_->SetCell(GridColumn(ItemColumn::TargetBit), r + 1, QString::number(item.target_bit));
    items_->SetCell(GridColumn(ItemColumn::TargetWidth), r + 1, QString::number(item.target_width));
    items_->SetCell(GridColumn(ItemColumn::OperandWidth), r + 1, QString::number(item.operand_width));
    items_->SetCell(GridColumn(ItemColumn::Constant), r + 1, QString::fromStdString(item.constant));
    ItemCombo(r, ItemColumn::ZoneCount, {"1", "2"}, item.zone_choice);
    ItemCombo(r, ItemColumn::Kind, kinds, item.kind_choice);
    ItemCombo(r, ItemColumn::ConstOp, ops, item.op_choice);
  }
  if (rows > 0) items_->SetCurrentRow(logic_.CurrentItem() + 1);
  filling_ = false;
  FillZones();
}

void TfrmChechWizard::FillZones() {
  filling_ = true;
  const int rows = logic_.ZoneRows();
  zones_->SetRows(rows);
  for (int r = 0; r < rows; ++r) {
    const analysis::ZoneRow zone = logic_.Zone(r);
    const int values[] = {zone.start_frame, zone.start_bit, zone.end_frame, zone.end_bit};
    for (int c = 0; c < analysis::kZoneColumns; ++c)
      zones_->SetCell(c + 1, r + 1, QString::number(values[c]));
  }
  filling_ = false;
}

void TfrmChechWizard::ItemCellEdited(int column, int row) {
  if (filling_ || row < 1 || column < 1 || column > analysis::kItemColumns) return;
  const std::string text = items_->Cell(column, row).toStdString();
  // Refused or normalised values ("-1" stores 8) are shown again as stored,
  // once control is back in the event loop.
  QMetaObject::invokeMethod(
      this,
      [this, column, row, text] {
        logic_.EditItem(row - 1, static_cast<ItemColumn>(column - 1), text);
        FillItems();
      },
      Qt::QueuedConnection);
}

void TfrmChechWizard::ZoneCellEdited(int column, int row) {
  if (filling_ || row < 1 || column < 1 || column > analysis::kZoneColumns) return;
  const std::string text = zones_->Cell(column, row).toStdString();
  QMetaObject::invokeMethod(
      this,
      [this, column, row, text] {
        logic_.EditZone(row - 1, static_cast<analysis::ZoneColumn>(column - 1), text);
        FillZones();
      },
      Qt::QueuedConnection);
}

void TfrmChechWizard::ShowCandidates() {
  // The search put its best candidate into the item already.
  const bool was_filling = filling_;
  filling_ = true;
  candidates_->clear();
  const analysis::ChecksumDiscovery& found = logic_.Discovery();
  if (!logic_.Searched()) {
    note_->clear();
    ShowRivals(found);
    filling_ = was_filling;
    return;
  }
  note_->setText(QString("%1 %2: %3")
                     .arg(found.rows)
                     .arg(LangText(language_, kTextCodesOfFormat))
                     .arg(LangText(language_, kTextNotes + static_cast<int>(found.note))));
  for (const ir::TCrcItem& item : found.candidates)
    candidates_->addItem(FromGbk(analysis::CandidateSummary(item, language_)));
  if (!found.candidates.empty()) candidates_->setCurrentRow(0);
  ShowRivals(found);
  filling_ = was_filling;
}

void TfrmChechWizard::ShowRivals(const analysis::ChecksumDiscovery& found) {
  rivals_->clear();
  const bool any = !found.rivals.empty();
  rivals_label_->setVisible(any);
  rivals_->setVisible(any);
  if (!any) return;
  rivals_label_->setText(LangText(language_, kTextRivalsHeading).arg(found.rivals.size()));
  for (const analysis::ChecksumRival& rival : found.rivals)
    rivals_->addItem(LangText(language_, kTextRivalOf).arg(rival.candidate + 1) + "  " +
                     FromGbk(analysis::CandidateSummary(rival.item, language_)));
}

void TfrmChechWizard::Highlight(QListWidget* list, int row) {
  const bool was_filling = filling_;
  filling_ = true;
  list->setCurrentRow(row);
  filling_ = was_filling;
}

void TfrmChechWizard::ShowFormatTree() {
  if (const ir::TMyTeeView* tree = logic_.FormatTree())
    views_->ShowFormat(*tree, logic_.FieldBytes(), logic_.RepeatCount());
}

void TfrmChechWizard::ShowFieldValues() {
  views_->ShowFieldValues(logic_.FieldBytes(), logic_.RepeatCount());
}

void TfrmChechWizard::UpdateRowActions() {
  clear_all_->setEnabled(logic_.Grid().LineCount() > 0);
  delete_rows_->setEnabled(!grid_->SelectedRows().empty());
}

}  // namespace klimavo::ui
