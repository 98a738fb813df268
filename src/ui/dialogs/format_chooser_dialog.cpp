#include "ui/dialogs/format_chooser_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "lang/text_numbers.h"
#include "ui/translate_form.h"
#include "ui/ui_text.h"
#include "ui/waveview/move_wave_handle.h"
#include "ui/waveview/wave_show.h"
#include "ui/widgets/data_grid.h"

namespace klimavo::ui {
namespace {

constexpr int kWidth = 860;
constexpr int kHeight = 480;
constexpr int kEditPanelWidth = 330;
constexpr int kCaptureZoom = 29;  // 5 ms per division: a whole frame in view
constexpr int kDurationColumnPixels = 62;
constexpr int kNoColumnPixels = 28;
constexpr const char* kHiddenRecordNumber = "181";
constexpr int kSlotRole = Qt::UserRole + 1;

DataGrid* MakeGrid(QWidget* parent, const char* name, int columns) {
  auto* grid = new DataGrid(parent);
  grid->setObjectName(name);
  grid->SetMode(DataGrid::Mode::EditInsert);
  grid->SetColumns(columns);
  return grid;
}

// Fills a grid with rows of cells plus one blank row to type a new one into
// while there is room for it.
void FillRows(DataGrid* grid, const std::vector<std::vector<std::string>>& rows, int max_rows) {
  grid->clearContents();
  const int n = static_cast<int>(rows.size());
  grid->SetRows(n < max_rows ? n + 1 : n);
  for (int r = 0; r < n; ++r)
    for (std::size_t c = 0; c < rows[static_cast<std::size_t>(r)].size(); ++c)
      grid->SetCell(static_cast<int>(c) + 1, r + 1,
                    QString::fromStdString(rows[static_cast<std::size_t>(r)][c]));
}

std::vector<std::vector<std::string>> RowsOf(const DataGrid* grid) {
  std::vector<std::vector<std::string>> rows;
  for (int r = 1; r <= grid->Rows(); ++r) {
    std::vector<std::string> row;
    for (int c = 1; c <= grid->Columns(); ++c) row.push_back(grid->Cell(c, r).toStdString());
    rows.push_back(std::move(row));
  }
  return rows;
}

QLabel* Caption(QWidget* parent, const char* name, const QString& text) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(name);
  return label;
}

}  // namespace

TfrmGeShiSelect::TfrmGeShiSelect(const store::TdiskAir& record, double decode_tolerance,
                                 const lang::Language& language, DialogMessages messages, QWidget* parent)
    : QDialog(parent),
      model_(std::make_unique<workflow::FormatChooserModel>(record, decode_tolerance)),
      language_(language),
      messages_(std::move(messages)) {
  setObjectName("frmGeShiSelect");
  setWindowTitle("初步解码");
  resize(kWidth, kHeight);

  auto* layout = new QVBoxLayout(this);
  auto* panes = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  wave_ = new TWaveShow(this);
  wave_->setObjectName("wavCapture");
  wave_->SetTitle("CHO");
  wave_->SetShowFocus(true);
  wave_->SetShowLineAB(false);
  wave_->SetShowMoveOnStatus(false);
  bar_ = new TMoveWaveHandle(this);
  bar_->setObjectName("barCapture");
  wave_->SetScrollBarCtl(bar_);
  bar_->SetFielsID(kCaptureZoom);
  memo_ = new QPlainTextEdit(this);
  memo_->setObjectName("memoSummary");
  memo_->setReadOnly(true);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo_->setMaximumHeight(120);
  left->addWidget(wave_, 1);
  left->addWidget(bar_);
  left->addWidget(memo_);
  panes->addLayout(left, 1);
  edit_panel_ = BuildEditPanel();
  edit_panel_->setVisible(false);
  panes->addWidget(edit_panel_);
  layout->addLayout(panes, 1);

  auto* bottom = new QHBoxLayout;
  info_ = new QLabel(LangText(language_, 46), this);
  info_->setObjectName("lblInfo");
  info_->setWordWrap(true);
  QPalette red = info_->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  info_->setPalette(red);
  copy_check_ = new QCheckBox(this);
  copy_check_->setObjectName("chkCopy");
  copy_check_->setChecked(true);
  copy_check_->setVisible(false);
  record_edit_ = new QLineEdit(kHiddenRecordNumber, this);
  record_edit_->setObjectName("edtRecordNo");
  record_edit_->setVisible(false);
  compare_button_ = new QPushButton("Compare", this);
  compare_button_->setObjectName("btnCompareRecord");
  compare_button_->setVisible(false);
  try_harder_ = new QPushButton("Try harder", this);
  try_harder_->setObjectName("btnTryHarder");
  try_harder_->setToolTip(
      "Read the capture again where the first reading fails or looks wrong: other tolerances, "
      "inverted polarity, sections, two-bit symbols, stray pulses");
  try_harder_->setEnabled(false);
  next_ = new QPushButton("下一步", this);
  next_->setObjectName("btnNext");
  next_->setDefault(true);
  next_->setEnabled(false);
  cancel_ = new QPushButton("取消", this);
  cancel_->setObjectName("btnCancel");
  bottom->addWidget(info_, 1);
  bottom->addWidget(copy_check_);
  bottom->addWidget(record_edit_);
  bottom->addWidget(compare_button_);
  bottom->addWidget(try_harder_);
  bottom->addWidget(next_);
  bottom->addWidget(cancel_);
  layout->addLayout(bottom);

  TranslateForm(this, language_);
  wave_->SetChinese(language_.IsChinese());
  connect(next_, &QPushButton::clicked, this, &TfrmGeShiSelect::NextClicked);
  connect(try_harder_, &QPushButton::clicked, this, &TfrmGeShiSelect::TryHarderClicked);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  connect(compare_button_, &QPushButton::clicked, this,
          [this] { emit CompareWithRecordRequested(record_edit_->text().toInt()); });
}

TfrmGeShiSelect::~TfrmGeShiSelect() = default;

QWidget* TfrmGeShiSelect::BuildEditPanel() {
  auto* panel = new QWidget(this);
  panel->setObjectName("pnlEdit");
  panel->setFixedWidth(kEditPanelWidth);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  logic_grid_ = MakeGrid(panel, "gridLogic", workflow::kLogicGridColumns);
  for (int c = 1; c <= workflow::kLogicGridColumns; ++c) {
    logic_grid_->SetHeading(c, QString("Width %1").arg(c));
    logic_grid_->SetColumnPixels(c, kDurationColumnPixels);
  }
  split_grid_ = MakeGrid(panel, "gridSplit", workflow::kSplitGridColumns);
  for (int c = 1; c <= workflow::kSplitGridColumns; ++c) {
    split_grid_->SetHeading(c, QString("Width %1").arg(c));
    split_grid_->SetColumnPixels(c, kDurationColumnPixels);
  }
  auto* carrier_row = new QHBoxLayout;
  carrier_edit_ = new QLineEdit(panel);
  carrier_edit_->setObjectName("edtFreq");
  auto* freq = Caption(panel, "lblFreq", "Freq:");
  freq->setBuddy(carrier_edit_);
  carrier_row->addWidget(freq);
  carrier_row->addWidget(carrier_edit_, 1);
  protocol_grid_ = MakeGrid(panel, "gridProtocol", 2);
  protocol_grid_->SetHeading(1, "No");
  protocol_grid_->SetHeading(2, "Protocol");
  protocol_grid_->SetColumnPixels(1, kNoColumnPixels);
  protocol_grid_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(Caption(panel, "lblLogic", "Logic Code:"));
  layout->addWidget(logic_grid_, 3);
  layout->addWidget(Caption(panel, "lblSplit", "Spilit Code:"));
  layout->addWidget(split_grid_, 3);
  layout->addLayout(carrier_row);
  layout->addWidget(Caption(panel, "lblProtocol", "Protocol"));
  layout->addWidget(protocol_grid_, 2);
  return panel;
}

void TfrmGeShiSelect::SetBothOrders(bool on) { model_->SetBothOrders(on); }
void TfrmGeShiSelect::SetLsbFirst(bool on) { model_->SetLsbFirst(on); }

void TfrmGeShiSelect::SetEditMode(bool on) {
  model_->SetEditMode(on);
  if (!on) return;
  FillGrids();
  if (!edit_panel_->isVisible()) resize(width() + kEditPanelWidth, height());
  edit_panel_->setVisible(true);
  next_->setEnabled(model_->NextEnabled());
}

void TfrmGeShiSelect::SetNextCaption(const QString& caption) { next_->setText(caption); }
void TfrmGeShiSelect::SetNextVisible(bool visible) { next_->setVisible(visible); }
void TfrmGeShiSelect::SetCancelCaption(const QString& caption) { cancel_->setText(caption); }

void TfrmGeShiSelect::FillGrids() {
  const workflow::ChooserGrids grids = model_->Grids();
  carrier_edit_->setText(QString::fromStdString(grids.carrier));
  FillRows(logic_grid_, grids.logic, ir::TIRGsPara::kMaxLogic);
  FillRows(split_grid_, grids.split, ir::TIRGsPara::kMaxSplit);
  std::vector<std::vector<std::string>> rows;
  for (std::size_t i = 0; i < grids.protocols.size(); ++i)
    rows.push_back({std::to_string(i + 1), grids.protocols[i].text});
  FillRows(protocol_grid_, rows, static_cast<int>(store::kFormatSlots));
  for (int r = 1; r <= protocol_grid_->Rows(); ++r) {
    if (!protocol_grid_->item(r - 1, 0)) protocol_grid_->SetCell(1, r, QString());
    QTableWidgetItem* number = protocol_grid_->item(r - 1, 0);
    number->setFlags(number->flags() & ~Qt::ItemIsEditable);
    number->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
    const std::size_t i = static_cast<std::size_t>(r - 1);
    number->setData(kSlotRole, i < grids.protocols.size() ? grids.protocols[i].slot : -1);
  }
}

void TfrmGeShiSelect::CaptureArrived(const ir::TIRIntegerArr& durations, std::int32_t carrier) {
  wave_->ClearWave();
  wave_->SetWave(durations);
  wave_->SetCarrier(carrier);
  wave_->SetRecordNo(++captures_);
  bar_->RedrawAll();
  memo_->clear();
  const auto arrival = model_->CaptureArrived(durations, carrier);
  ShowDecoded(arrival);
  if (!arrival.decoded) info_->setText(LangText(language_, workflow::kTextNoDecoding));
  try_harder_->setEnabled(model_->CanTryHarder());
}

void TfrmGeShiSelect::ShowDecoded(const workflow::FormatChooserModel::Arrival& arrival) {
  const capture::SummaryLabels labels = capture::SummaryLabelsIn(language_);
  memo_->setPlainText(QString::fromStdString(model_->Summary(labels)));
  const capture::DecodeReport report = model_->Report();
  if (report.ok)
    wave_->SetDecodeTexts(report.protocol, capture::HexBytes(report.bytes, " "));
  else
    wave_->SetDecodeTexts({}, {});
  if (arrival.decoded) {
    info_->clear();
    if (arrival.filter_decoded) emit FilterDecoded();
    if (copy_check_->isChecked()) FillGrids();
  }
  next_->setEnabled(model_->NextEnabled());
}

void TfrmGeShiSelect::TryHarderClicked() {
  ShowDecoded(model_->TryHarder());
  info_->setText(LangText(language_, model_->AssistVerdictText()));
}

workflow::ChooserGrids TfrmGeShiSelect::ReadGridTexts() const {
  workflow::ChooserGrids grids;
  grids.carrier = carrier_edit_->text().toStdString();
  grids.logic = RowsOf(logic_grid_);
  grids.split = RowsOf(split_grid_);
  grids.protocols = ProtocolRows();
  return grids;
}

std::vector<workflow::ProtocolRow> TfrmGeShiSelect::ProtocolRows() const {
  std::vector<workflow::ProtocolRow> rows;
  for (int r = 1; r <= protocol_grid_->Rows(); ++r) {
    const QTableWidgetItem* number = protocol_grid_->item(r - 1, 0);
    const int slot = number ? number->data(kSlotRole).toInt() : -1;
    rows.push_back(workflow::ProtocolRow{slot, protocol_grid_->Cell(2, r).trimmed().toStdString()});
  }
  return rows;
}

QString TfrmGeShiSelect::FaultText(const workflow::GridFault& fault) const {
  const QString text = LangText(language_, fault.text);
  if (fault.text != workflow::kTextNumberOutOfRange) return text;
  const QString value = "\"" + QString::fromStdString(fault.value) + "\"";
  if (fault.grid == workflow::GridName::Carrier)
    return text + " " + findChild<QLabel*>("lblFreq")->text() + " " + value + " (0..65535)";
  const DataGrid* grid = fault.grid == workflow::GridName::Logic ? logic_grid_ : split_grid_;
  const QLabel* label = findChild<QLabel*>(fault.grid == workflow::GridName::Logic ? "lblLogic" : "lblSplit");
  return text + " " + label->text() + " " + QString::number(fault.row) + ", " + grid->Heading(fault.column) +
         ": " + value;
}

void TfrmGeShiSelect::NextClicked() {
  if (const auto fault = model_->Next(ReadGridTexts())) {
    messages_.Tell(this, LangText(language_, lang::kTextInformation), FaultText(*fault));
    return;
  }
  accept();
}

}  // namespace klimavo::ui
