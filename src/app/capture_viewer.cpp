#include "app/capture_viewer.h"

#include <QHBoxLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QVBoxLayout>

#include "base/gbk.h"
#include "capture/decode_report.h"
#include "ir/decode.h"
#include "ir/format_tree.h"
#include "ir/protocol.h"
#include "ui/translate_form.h"
#include "ui/waveview/format_tree_widget.h"
#include "ui/waveview/move_wave_handle.h"
#include "ui/waveview/tree_synthesis.h"
#include "ui/waveview/wave_show.h"

namespace klimavo::app {
namespace {

constexpr int kCaptureZoom = 29;  // 5 ms per division: a whole frame in view


}  // namespace

CaptureViewer::CaptureViewer(std::vector<capture::CaptureRead> captures, double decode_tolerance,
                             const lang::Language& language, QString source, QWidget* parent)
    : QMainWindow(parent), captures_(std::move(captures)), tolerance_(decode_tolerance), language_(language) {
  setObjectName("frmCaptureViewer");
  setWindowTitle("Klimavo — " + source);
  resize(1047, 569);

  auto* central = new QWidget(this);
  auto* outer = new QHBoxLayout(central);
  list_ = new QListWidget(central);
  list_->setObjectName("lstCaptures");
  list_->setMaximumWidth(200);
  for (std::size_t i = 0; i < captures_.size(); ++i) {
    const auto& c = captures_[i];
    QString label = c.name ? QString::fromStdString(*c.name) : QString("capture %1").arg(i + 1);
    list_->addItem(QString("%1  (%2)").arg(label).arg(c.durations.size()));
  }
  outer->addWidget(list_);

  auto* right = new QSplitter(Qt::Vertical, central);
  auto* top = new QWidget(right);
  auto* top_layout = new QVBoxLayout(top);
  capture_view_ = new ui::TWaveShow(top);
  capture_view_->setObjectName("wavCapture");
  capture_view_->SetTitle("CHO");
  capture_view_->SetShowFocus(true);
  capture_view_->SetShowLineAB(true);
  capture_bar_ = new ui::TMoveWaveHandle(top);
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
  tree_->setMaximumWidth(260);
  auto* tree_side = new QWidget(bottom);
  auto* tree_layout = new QVBoxLayout(tree_side);
  tree_view_ = new ui::TWaveShow(tree_side);
  tree_view_->setObjectName("wavTree");
  tree_view_->SetTitle("STD");
  tree_view_->SetTreeViewData(tree_);
  tree_view_->SetIsFromTreeView(true);
  tree_bar_ = new ui::TMoveWaveHandle(tree_side);
  tree_view_->SetScrollBarCtl(tree_bar_);
  tree_bar_->SetFielsID(kCaptureZoom);
  tree_layout->addWidget(tree_view_, 1);
  tree_layout->addWidget(tree_bar_);
  outer->addWidget(right, 1);
  setCentralWidget(central);

  ui::TranslateForm(this, language_);
  const bool chinese = language_.IsChinese();
  capture_view_->SetChinese(chinese);
  tree_view_->SetChinese(chinese);
  connect(list_, &QListWidget::currentRowChanged, this, &CaptureViewer::ShowCapture);
  if (!captures_.empty()) list_->setCurrentRow(0);
}

void CaptureViewer::ShowCapture(int index) {
  if (index < 0 || index >= static_cast<int>(captures_.size())) return;
  const ir::Capture capture = capture::ToCapture(captures_[static_cast<std::size_t>(index)]);
  capture_view_->ClearWave();
  capture_view_->SetWave(capture.Durations);
  capture_view_->SetCarrier(capture.Carrier);
  capture_view_->SetRecordNo(index + 1);
  summary_->clear();

  ir::Tcomp_aval result;
  if (!ir::DecodeCapture(capture.Durations, capture.Carrier, false, true, tolerance_, result)) {
    summary_->setPlainText("no decoding");
    tree_->Control().Items.clear();
    tree_->RefreshItems();
    tree_view_->FullRedraw();
    return;
  }
  auto label = [this](int n) { return base::GbkToUtf8(language_.Text(n)); };
  const capture::SummaryLabels labels{label(53), label(54), label(55)};
  summary_->setPlainText(QString::fromStdString(
      capture::DecodeReportText(capture::MakeDecodeReport(result, true, false), labels)));

  tree_->ShowFormatTree(ir::BuildFormatTree(result.Params, result.Protocol, true));
  ui::SetNodeValues(tree_->Control(), result.Bytes, false);
  tree_view_->SetRepeatCount(result.Protocol.Repeat > 1 ? result.Protocol.Repeat : 0);
  tree_view_->FullRedraw();
}

}  // namespace klimavo::app
