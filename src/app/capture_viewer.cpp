#include "app/capture_viewer.h"

#include <QAction>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QVBoxLayout>
#include <algorithm>

#include "capture/decode_report.h"
#include "ir/decode.h"
#include "ir/format_tree.h"
#include "ir/protocol.h"
#include "ui/translate_form.h"
#include "ui/ui_text.h"
#include "ui/waveview/format_tree_widget.h"
#include "ui/waveview/move_wave_handle.h"
#include "ui/waveview/wave_show.h"
#include "wave/tree_synthesis.h"

namespace klimavo::app {
namespace {

constexpr int kCaptureZoom = 29;  // 5 ms per division: a whole frame in view
constexpr int kListWidth = 300;
constexpr QSize kMinimumSize(860, 520);
constexpr int kTreeWidth = 220;

}  // namespace

CaptureFileLoad LoadCaptureFile(const QString& file, const lang::Language& language) {
  capture::ReadOptions options;
  options.source = file.toStdString();
  capture::ReadResult read = capture::ReadCaptureFile(file.toStdString(), options);
  CaptureFileLoad load;
  if (read.ok())
    load.captures = std::move(read.captures);
  else
    load.error = ui::LangText(language, 100) + "\n" + QString::fromStdString(read.error->What());
  return load;
}

CaptureViewer::CaptureViewer(std::vector<capture::CaptureRead> captures, double decode_tolerance,
                             const lang::Language& language, QString source, QWidget* parent)
    : QMainWindow(parent),
      captures_(std::move(captures)),
      tolerance_(decode_tolerance),
      language_(language),
      source_(std::move(source)) {
  setObjectName("frmCaptureViewer");
  setWindowTitle("Klimavo — " + source_);
  resize(1047, 569);
  // Chinese texts in a Chinese font first, so rows are measured in the font they are drawn in.
  QFont window_font = font();
  window_font.setFamilies({"SimSun", "WenQuanYi Micro Hei", "Noto Sans CJK SC", window_font.family()});
  setFont(window_font);

  auto* outer = new QSplitter(Qt::Horizontal, this);
  outer->setObjectName("splitter");
  outer->setChildrenCollapsible(false);
  auto* left = new QWidget(outer);
  auto* left_layout = new QVBoxLayout(left);
  left_layout->setContentsMargins(4, 4, 0, 4);
  search_ = new QLineEdit(left);
  search_->setObjectName("edtSearch");
  search_->setPlaceholderText(ui::LangText(language_, 102));
  search_->setClearButtonEnabled(true);
  count_ = new QLabel(left);
  count_->setObjectName("lblCount");
  list_ = new QListWidget(left);
  list_->setObjectName("lstCaptures");
  // Long source paths lose their beginning, so the file name stays readable; the tooltip has it all.
  list_->setTextElideMode(Qt::ElideLeft);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  for (std::size_t i = 0; i < captures_.size(); ++i) {
    auto* item = new QListWidgetItem(RowText(static_cast<int>(i)), list_);
    item->setToolTip(item->text());
  }
  left_layout->addWidget(search_);
  left_layout->addWidget(count_);
  left_layout->addWidget(list_, 1);

  auto* right = new QSplitter(Qt::Vertical, outer);
  auto* top = new QWidget(right);
  auto* top_layout = new QVBoxLayout(top);
  capture_view_ = new ui::TWaveShow(top);
  capture_view_->setObjectName("wavCapture");
  capture_view_->SetTitle("CHO");
  capture_view_->SetShowFocus(true);
  capture_view_->SetShowLineAB(true);
  capture_bar_ = new ui::TMoveWaveHandle(top);
  capture_bar_->SetFitToContent(true);
  capture_view_->SetScrollBarCtl(capture_bar_);
  capture_bar_->SetFielsID(kCaptureZoom);
  top_layout->addWidget(capture_view_, 1);
  top_layout->addWidget(capture_bar_);
  summary_ = new QPlainTextEdit(top);
  summary_->setObjectName("memoSummary");
  summary_->setReadOnly(true);
  summary_->setMaximumHeight(90);
  top_layout->addWidget(summary_);

  auto* bottom = new QSplitter(Qt::Horizontal, right);
  tree_ = new ui::FormatTreeWidget(bottom);
  tree_->SetCaptionWords(ui::FormatTreeWidget::CaptionWordsOf(language_));
  tree_->setMaximumWidth(260);
  auto* tree_side = new QWidget(bottom);
  auto* tree_layout = new QVBoxLayout(tree_side);
  tree_view_ = new ui::TWaveShow(tree_side);
  tree_view_->setObjectName("wavTree");
  tree_view_->SetTitle("STD");
  tree_view_->SetTreeViewData(tree_);
  tree_view_->SetIsFromTreeView(true);
  tree_bar_ = new ui::TMoveWaveHandle(tree_side);
  tree_bar_->SetFitToContent(true);
  tree_view_->SetScrollBarCtl(tree_bar_);
  tree_bar_->SetFielsID(kCaptureZoom);
  tree_layout->addWidget(tree_view_, 1);
  tree_layout->addWidget(tree_bar_);
  bottom->setStretchFactor(1, 1);
  bottom->setSizes({kTreeWidth, width() - kListWidth - kTreeWidth});
  outer->addWidget(left);
  outer->addWidget(right);
  outer->setStretchFactor(1, 1);
  outer->setSizes({kListWidth, width() - kListWidth});
  setCentralWidget(outer);
  BuildMenus();

  ui::TranslateForm(this, language_);
  const bool chinese = language_.IsChinese();
  capture_view_->SetChinese(chinese);
  tree_view_->SetChinese(chinese);
  connect(list_, &QListWidget::currentRowChanged, this, &CaptureViewer::ShowCapture);
  connect(search_, &QLineEdit::textChanged, this, &CaptureViewer::Search);
  UpdateCount();
  // Small enough for a small screen, large enough that no control is cut.
  setMinimumSize(minimumSizeHint().expandedTo(kMinimumSize));
  if (!captures_.empty()) list_->setCurrentRow(0);
}

void CaptureViewer::BuildMenus() {
  auto* view = menuBar()->addMenu("&View");
  view->setObjectName("mnuView");
  QAction* fit = view->addAction("&Fit the whole capture");
  fit->setObjectName("actFitCapture");
  fit->setShortcut(QKeySequence(Qt::Key_F));
  connect(fit, &QAction::triggered, this, &CaptureViewer::FitWholeCapture);
}

QString CaptureViewer::RowText(int index) const {
  const capture::CaptureRead& c = captures_[static_cast<std::size_t>(index)];
  const QString name = c.name ? QString::fromStdString(*c.name) : QString("capture %1").arg(index + 1);
  const QString origin = c.origin ? QString::fromStdString(*c.origin) : QFileInfo(source_).fileName();
  return QString("%1  %2  (%3, %4)\n%5")
      .arg(index + 1, 3, 10, QChar('0'))
      .arg(name, ui::LangText(language_, 104).arg(c.line),
           ui::LangText(language_, 105).arg(c.durations.size()), origin);
}

void CaptureViewer::UpdateCount() {
  int shown = 0;
  for (int i = 0; i < list_->count(); ++i) shown += list_->item(i)->isHidden() ? 0 : 1;
  count_->setText(ui::LangText(language_, 103).arg(shown).arg(list_->count()));
}

void CaptureViewer::Search(const QString& text) {
  const QString wanted = text.trimmed();
  int first_shown = -1;
  for (int i = 0; i < list_->count(); ++i) {
    const bool match = wanted.isEmpty() || list_->item(i)->text().contains(wanted, Qt::CaseInsensitive);
    list_->item(i)->setHidden(!match);
    if (match && first_shown < 0) first_shown = i;
  }
  UpdateCount();
  // The capture shown stays while it matches; otherwise the first match is shown.
  const int current = list_->currentRow();
  if ((current < 0 || list_->item(current)->isHidden()) && first_shown >= 0)
    list_->setCurrentRow(first_shown);
  if (list_->currentItem()) list_->scrollToItem(list_->currentItem());
}

void CaptureViewer::FitWholeCapture() {
  capture_bar_->FitWholeContent();
  tree_bar_->FitWholeContent();
}

void CaptureViewer::ShowCapture(int index) {
  if (index < 0 || index >= static_cast<int>(captures_.size())) return;
  shown_ = index;
  const ir::Capture capture = capture::ToCapture(captures_[static_cast<std::size_t>(index)]);
  capture_view_->ClearWave();
  capture_view_->SetWave(capture.Durations);
  capture_view_->SetCarrier(capture.Carrier);
  capture_view_->SetRecordNo(index + 1);
  // A capture starts at its beginning, never zoomed out further than it needs.
  capture_bar_->ZoomAndPosition(std::min(capture_bar_->FielsID(), capture_bar_->MaxUsefulZoom()), 0);
  summary_->clear();

  ir::Tcomp_aval result;
  if (!ir::DecodeCapture(capture.Durations, capture.Carrier, false, true, tolerance_, result)) {
    summary_->setPlainText(ui::LangText(language_, 101));
    tree_->Control().Items.clear();
    tree_->RefreshItems();
    tree_view_->FullRedraw();
    tree_bar_->ZoomAndPosition(tree_bar_->FielsID(), 0);
    return;
  }
  const capture::SummaryLabels labels = capture::SummaryLabelsIn(language_);
  const capture::DecodeReport report = capture::MakeDecodeReport(result, true, false);
  summary_->setPlainText(QString::fromStdString(capture::DecodeReportText(report, labels)));
  capture_view_->SetDecodeTexts(report.protocol, capture::HexBytes(report.bytes, " "));

  tree_->ShowFormatTree(ir::BuildFormatTree(result.Params, result.Protocol, true));
  wave::SetNodeValues(tree_->Control(), result.Bytes, false);
  tree_view_->SetRepeatCount(result.Protocol.Repeat > 1 ? result.Protocol.Repeat : 0);
  tree_view_->FullRedraw();
  tree_bar_->ZoomAndPosition(std::min(tree_bar_->FielsID(), tree_bar_->MaxUsefulZoom()), 0);
}

}  // namespace klimavo::app
