#include "ui/dialogs/learn_remote_dialog.h"

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
#include "capture/capture_format.h"
#include "ui/standard_button_texts.h"

namespace klimavo::ui {
namespace {

constexpr int kWidth = 1040;
constexpr int kHeight = 560;
enum PressColumn { kSourceColumn, kLabelColumn, kCheckColumn, kPressColumns };

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString CheckText(const analysis::CheckedPress& c) {
  if (!c.sent) return "not sent";
  if (c.first_difference) return QString("differs at bit %1").arg(*c.first_difference);
  return "equal";
}

}  // namespace

TfrmLearnRemote::TfrmLearnRemote(double decode_tolerance, const config::TimingAdjustments& timing, QWidget* parent)
    : QDialog(parent), session_(decode_tolerance, timing) {
  setObjectName("frmLearnRemote");
  setWindowTitle("Learn remote");
  resize(kWidth, kHeight);
  BuildLayout();
  hint_->setText("Type the state of the remote for the first press, e.g. power=on mode=cool fan=low temp=16, "
                 "then press that key, or open a file of labelled captures.");
  add_->setEnabled(false);
}

void TfrmLearnRemote::BuildLayout() {
  auto* layout = new QVBoxLayout(this);
  auto* next = new QHBoxLayout;
  auto* caption = new QLabel("Next press:", this);
  label_ = new QLineEdit(this);
  label_->setObjectName("edtLabel");
  label_->setPlaceholderText("power=on mode=cool fan=low temp=16");
  auto* open = new QPushButton("Open file...", this);
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
  presses_->setHorizontalHeaderLabels({"Press", "Label", "Sent back"});
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
  buttons->addStretch(1);
  add_ = new QPushButton("Add to library", this);
  add_->setObjectName("btnAdd");
  auto* close = new QPushButton("Close", this);
  close->setObjectName("btnClose");
  buttons->addWidget(add_);
  buttons->addWidget(close);
  layout->addLayout(buttons);

  connect(open, &QPushButton::clicked, this, &TfrmLearnRemote::OpenFile);
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
  if (!label) hint_->setText(Q("The label could not be read (" + error + "); the press was taken without one."));
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
  const QString path =
      QFileDialog::getOpenFileName(this, "Labelled captures", QString(), QString(), nullptr, FileDialogOptions());
  if (!path.isEmpty()) AddFile(path);
}

void TfrmLearnRemote::Show(const analysis::LearnResult& result) {
  // Every labelled press with its check; the presses left out at the end.
  presses_->setRowCount(0);
  const auto add_row = [this](const std::string& source, const QString& label, const QString& check) {
    const int row = presses_->rowCount();
    presses_->insertRow(row);
    presses_->setItem(row, kSourceColumn, new QTableWidgetItem(Q(source)));
    presses_->setItem(row, kLabelColumn, new QTableWidgetItem(label));
    presses_->setItem(row, kCheckColumn, new QTableWidgetItem(check));
  };
  for (const analysis::CheckedPress& c : result.checked) add_row(c.source, Q(analysis::LabelText(c.label)), CheckText(c));
  for (const analysis::UnusedPress& u : result.unused) add_row(u.source, "", Q(u.reason));
  presses_->resizeColumnToContents(kSourceColumn);
  presses_->resizeColumnToContents(kLabelColumn);
  presses_->scrollToBottom();
  report_->setPlainText(Q(analysis::LearnReportText(result)));
  add_->setEnabled(result.made);
  label_->setText(Q(analysis::LabelText(session_.SuggestedLabel())));
  if (!result.plan.empty())
    hint_->setText(Q("Press next: " + analysis::LabelText(result.plan.front().label) + " — " + result.plan.front().reason +
                     " (" + std::to_string(result.plan.size()) + " planned)."));
  else if (result.made)
    hint_->setText(result.AllReproduced() ? "Nothing is open: every press comes out of the record bit-exact."
                                          : "Nothing is planned, but some presses do not come out of the record exactly.");
  else
    hint_->setText(Q(result.error));
}

QString TfrmLearnRemote::LabelText() const { return label_->text(); }
QString TfrmLearnRemote::HintText() const { return hint_->text(); }
QString TfrmLearnRemote::ReportText() const { return report_->toPlainText(); }

}  // namespace klimavo::ui
