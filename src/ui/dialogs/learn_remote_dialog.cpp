#include "ui/dialogs/learn_remote_dialog.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include "analysis/learn_report.h"
#include "base/atomic_file.h"
#include "capture/capture_format.h"
#include "capture/signal_export.h"
#include "ui/standard_button_texts.h"
#include "ui/ui_text.h"

namespace klimavo::ui {
namespace {

constexpr int kWidth = 1040;
constexpr int kHeight = 560;
enum PressColumn { kSourceColumn, kLabelColumn, kCheckColumn, kPressColumns };
// The formats the whole table is offered in: those the climate-code
// collections and the common senders read.
constexpr const char* kTableFormats[] = {"jsonl", "climate-json", "broadlink", "flipper", "pronto"};

// Texts of the window (numbers 320-349 of the language file).
constexpr int kTextWindow = 321;
constexpr int kTextNextPress = 322;
constexpr int kTextOpenFile = 323;
constexpr int kTextAdd = 324;
constexpr int kTextClose = 325;
constexpr int kTextExport = 326;
constexpr int kTextFirstPress = 327;
constexpr int kTextBadLabel = 328;
constexpr int kTextPressNext = 329;
constexpr int kTextAllReproduced = 330;
constexpr int kTextSomeDiffer = 331;
constexpr int kTextPressHeading = 332;
constexpr int kTextLabelHeading = 333;
constexpr int kTextSentHeading = 334;
constexpr int kTextNotSent = 335;
constexpr int kTextDiffersAt = 336;
constexpr int kTextEqual = 337;
constexpr int kTextLabelledCaptures = 338;
constexpr int kTextExportTitle = 340;
constexpr int kTextTableWritten = 341;
constexpr int kTextTableFault = 342;
constexpr int kTextFormat = 343;
constexpr int kTextWithheld = 344;

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

TfrmLearnRemote::TfrmLearnRemote(const lang::Language& language, double decode_tolerance,
                                 const config::TimingAdjustments& timing, QWidget* parent)
    : QDialog(parent), language_(language), timing_(timing), session_(decode_tolerance, timing) {
  setObjectName("frmLearnRemote");
  setWindowTitle(Text(kTextWindow));
  resize(kWidth, kHeight);
  BuildLayout();
  hint_->setText(Text(kTextFirstPress));
  add_->setEnabled(false);
  export_->setEnabled(false);
}

QString TfrmLearnRemote::Text(int number) const { return LangText(language_, number); }

void TfrmLearnRemote::BuildLayout() {
  auto* layout = new QVBoxLayout(this);
  auto* next = new QHBoxLayout;
  auto* caption = new QLabel(Text(kTextNextPress), this);
  label_ = new QLineEdit(this);
  label_->setObjectName("edtLabel");
  label_->setPlaceholderText("power=on mode=cool fan=low temp=16");
  auto* open = new QPushButton(Text(kTextOpenFile), this);
  open->setObjectName("btnOpenFile");
  next->addWidget(caption);
  next->addWidget(label_, 1);
  next->addWidget(open);
  layout->addLayout(next);
  hint_ = new QLabel(this);
  hint_->setObjectName("lblHint");
  hint_->setWordWrap(true);
  layout->addWidget(hint_);

  auto* split = new QSplitter(Qt::Horizontal, this);
  presses_ = new QTableWidget(0, kPressColumns, split);
  presses_->setObjectName("gridPresses");
  presses_->setHorizontalHeaderLabels(
      {Text(kTextPressHeading), Text(kTextLabelHeading), Text(kTextSentHeading)});
  presses_->horizontalHeader()->setStretchLastSection(true);
  presses_->verticalHeader()->setVisible(false);
  presses_->setWordWrap(false);
  presses_->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  presses_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  presses_->setSelectionBehavior(QAbstractItemView::SelectRows);
  report_ = new QPlainTextEdit(split);
  report_->setObjectName("memReport");
  report_->setReadOnly(true);
  report_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  report_->setLineWrapMode(QPlainTextEdit::NoWrap);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);
  split->setSizes({kWidth * 3 / 5, kWidth * 2 / 5});
  layout->addWidget(split, 1);

  auto* buttons = new QHBoxLayout;
  auto* format_caption = new QLabel(Text(kTextFormat), this);
  export_format_ = new QComboBox(this);
  export_format_->setObjectName("cmbExportFormat");
  for (const char* id : kTableFormats) export_format_->addItem(id);
  format_caption->setBuddy(export_format_);
  export_ = new QPushButton(Text(kTextExport), this);
  export_->setObjectName("btnExport");
  buttons->addWidget(format_caption);
  buttons->addWidget(export_format_);
  buttons->addWidget(export_);
  buttons->addStretch(1);
  add_ = new QPushButton(Text(kTextAdd), this);
  add_->setObjectName("btnAdd");
  add_->setDefault(true);
  auto* close = new QPushButton(Text(kTextClose), this);
  close->setObjectName("btnClose");
  buttons->addWidget(add_);
  buttons->addWidget(close);
  layout->addLayout(buttons);

  connect(open, &QPushButton::clicked, this, &TfrmLearnRemote::OpenFile);
  connect(export_, &QPushButton::clicked, this, &TfrmLearnRemote::ChooseExportFile);
  connect(add_, &QPushButton::clicked, this, &QDialog::accept);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void TfrmLearnRemote::CaptureReceived(const ir::TIRIntegerArr& durations, std::int32_t carrier) {
  std::string error;
  std::optional<capture::CaptureLabel> label = analysis::ParseLabelText(label_->text().toStdString(), error);
  ir::Capture capture;
  capture.Durations = durations;
  capture.Carrier = carrier > 0 ? carrier : ir::kDefaultCarrier;
  const std::string source = "press " + std::to_string(session_.Presses() + 1);
  Show(session_.Add(capture, label.value_or(capture::CaptureLabel{}), source));
  if (!label) hint_->setText(Text(kTextBadLabel).arg(Q(error)));
}

bool TfrmLearnRemote::AddFile(const QString& path) {
  capture::ReadOptions options;
  options.source = path.toStdString();
  const capture::ReadResult read = capture::ReadCaptureFile(path.toStdString(), options);
  if (!read.ok()) {
    hint_->setText(Q(read.error->What()));
    return false;
  }
  // Presses are named by file name and line: the folder would crowd the list.
  const std::string name = QFileInfo(path).fileName().toStdString();
  std::vector<analysis::LearnInput> inputs;
  for (const capture::CaptureRead& c : read.captures)
    inputs.push_back({name + ":" + std::to_string(c.line), c.label, capture::ToCapture(c)});
  Show(session_.AddAll(std::move(inputs)));
  return true;
}

void TfrmLearnRemote::OpenFile() {
  const QString path = QFileDialog::getOpenFileName(this, Text(kTextLabelledCaptures), QString(), QString(),
                                                    nullptr, FileDialogOptions());
  if (!path.isEmpty()) AddFile(path);
}

void TfrmLearnRemote::ChooseExportFile() {
  const QString format = export_format_->currentText();
  const QString suggested = format == "jsonl"          ? "table.jsonl"
                            : format == "climate-json" ? "table.json"
                            : format == "flipper"      ? "table.ir"
                                                       : "table.txt";
  const QString path = QFileDialog::getSaveFileName(this, Text(kTextExportTitle), suggested, QString(),
                                                    nullptr, FileDialogOptions());
  if (!path.isEmpty()) ExportTable(path, format);
}

bool TfrmLearnRemote::ExportTable(const QString& path, const QString& format) {
  const analysis::LearnResult& result = session_.Result();
  const auto fail = [this](const QString& why) {
    hint_->setText(Text(kTextTableFault).arg(why));
    return false;
  };
  if (!result.made) return fail(Q(result.error));
  const capture::CaptureFormat* chosen = capture::FindCaptureFormat(format.toStdString());
  if (!chosen) return fail(format);
  // The labels of the presses the record was learned from say which codes were pressed.
  capture::AllStatesRequest request;
  request.pressed.emplace();
  for (const analysis::CheckedPress& c : result.checked) {
    request.pressed->push_back(c.label);
    if (!c.Equal()) request.not_reproduced.push_back(c.label);
  }
  const capture::SignalExporter exporter(result.record.record, result.record.bit_lines, timing_);
  const capture::TableText table =
      capture::WriteAllStatesTable(exporter, result.record.record, *chosen, std::move(request));
  if (table.error) return fail(Q(*table.error));
  try {
    base::WriteFileAtomically(path.toStdString(), table.text);
  } catch (const std::exception& e) {
    return fail(Q(e.what()));
  }
  QString written = Text(kTextTableWritten).arg(table.codes).arg(QFileInfo(path).fileName());
  if (table.withheld > 0) written += " " + Text(kTextWithheld).arg(table.withheld);
  hint_->setText(written);
  return true;
}

void TfrmLearnRemote::Show(const analysis::LearnResult& result) {
  // Every labelled press with its check; the presses left out at the end.
  presses_->setRowCount(0);
  const auto add_row = [this](const std::string& source, const QString& label, const QString& check) {
    const int row = presses_->rowCount();
    presses_->insertRow(row);
    presses_->setItem(row, kSourceColumn, new QTableWidgetItem(Q(source)));
    presses_->setItem(row, kLabelColumn, new QTableWidgetItem(label));
    auto* check_item = new QTableWidgetItem(check);
    check_item->setToolTip(check);  // a long reason is cut off at the window's edge
    presses_->setItem(row, kCheckColumn, check_item);
  };
  const auto check_text = [this](const analysis::CheckedPress& c) {
    if (!c.sent) return Text(kTextNotSent);
    if (c.first_difference) return Text(kTextDiffersAt).arg(*c.first_difference);
    return Text(kTextEqual);
  };
  for (const analysis::CheckedPress& c : result.checked)
    add_row(c.source, Q(analysis::LabelText(c.label)), check_text(c));
  for (const analysis::UnusedPress& u : result.unused) add_row(u.source, "", Q(u.reason));
  presses_->resizeColumnToContents(kSourceColumn);
  presses_->resizeColumnToContents(kLabelColumn);
  presses_->scrollToBottom();
  report_->setPlainText(Q(analysis::LearnReportText(result)));
  add_->setEnabled(result.made);
  export_->setEnabled(result.made);
  label_->setText(Q(analysis::LabelText(session_.SuggestedLabel())));
  if (!result.plan.empty())
    hint_->setText(Text(kTextPressNext)
                       .arg(Q(analysis::LabelText(result.plan.front().label)), Q(result.plan.front().reason))
                       .arg(result.plan.size()));
  else if (result.made)
    hint_->setText(Text(result.AllReproduced() ? kTextAllReproduced : kTextSomeDiffer));
  else
    hint_->setText(Q(result.error));
}

QString TfrmLearnRemote::LabelText() const { return label_->text(); }
QString TfrmLearnRemote::HintText() const { return hint_->text(); }
QString TfrmLearnRemote::ReportText() const { return report_->toPlainText(); }

}  // namespace klimavo::ui
