#include "ui/waveview/wizard_wave_panel.h"

#include <QAction>
#include <QVBoxLayout>

#include "ir/format_tree.h"
#include "ui/waveview/format_tree_widget.h"
#include "ui/waveview/move_wave_handle.h"
#include "ui/waveview/wave_show.h"
#include "wave/tree_synthesis.h"

namespace klimavo::ui {
namespace {

constexpr int kHexValues = 0;
constexpr int kSymbolValues = 1;

}  // namespace

WizardWavePanel::WizardWavePanel(Waves waves, const QString& format_title, int zoom, bool chinese,
                                 QWidget* parent)
    : QSplitter(Qt::Vertical, parent) {
  setObjectName("splViews");
  tree_ = new FormatTreeWidget(this);
  tree_->setObjectName("treeFormat");
  auto* box = new QWidget(this);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(0, 0, 0, 0);
  if (waves == Waves::CaptureAndFormat) {
    capture_view_ = new TWaveShow(box);
    capture_view_->setObjectName("wavCapture");
    capture_view_->SetTitle("CH0");
    capture_view_->SetShowFocus(true);
    layout->addWidget(capture_view_, 1);
  }
  format_view_ = new TWaveShow(box);
  format_view_->setObjectName("wavFormat");
  format_view_->SetTitle(format_title);
  format_view_->SetTreeViewData(tree_);
  format_view_->SetIsFromTreeView(true);
  layout->addWidget(format_view_, 1);
  // The bar is made after the waves, so that it outlives them: a wave detaches
  // itself from its bar when it is destroyed.
  wave_bar_ = new TMoveWaveHandle(box);
  wave_bar_->setObjectName("barWaves");
  for (TWaveShow* view : Views()) view->SetScrollBarCtl(wave_bar_);
  layout->addWidget(wave_bar_);
  addWidget(tree_);
  addWidget(box);
  setStretchFactor(0, 1);
  setStretchFactor(1, capture_view_ ? 2 : 1);

  wave_bar_->SetFielsID(zoom);
  for (TWaveShow* view : Views()) {
    view->SetValueFormat(kSymbolValues);
    view->SetChinese(chinese);
  }
  BuildWaveMenus();
}

std::vector<TWaveShow*> WizardWavePanel::Views() const {
  if (capture_view_ == nullptr) return {format_view_};
  return {capture_view_, format_view_};
}

void WizardWavePanel::BuildWaveMenus() {
  for (TWaveShow* view : Views()) {
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
    // With two waves the second one's actions carry a "2", so that each menu
    // has names of its own in the language file.
    const QString suffix = (capture_view_ != nullptr && view == format_view_) ? "2" : "";
    auto add = [&](const QString& name, const char* caption, auto slot) {
      auto* a = new QAction(QString::fromUtf8(caption), view);
      a->setObjectName(name + suffix);
      connect(a, &QAction::triggered, this, slot);
      view->addAction(a);
    };
    add("mnuNear", "近距离", [this] { emit RangeChosen(kNearRange); });
    add("mnuFar", "远距离", [this] { emit RangeChosen(kLongRange); });
    add("mnuShowHex", "显示16进制", [this] { SetValueFormat(kHexValues); });
    add("mnuShowSymbols", "显示2进制", [this] { SetValueFormat(kSymbolValues); });
  }
}

void WizardWavePanel::SetValueFormat(int format) {
  for (TWaveShow* view : Views()) view->SetValueFormat(format);
  wave_bar_->RedrawAll();
}

void WizardWavePanel::ShowFormat(const ir::TMyTeeView& tree, const std::vector<std::uint8_t>& field_bytes,
                                 int repeat_count) {
  tree_->ShowFormatTree(tree);
  tree_->expandAll();
  ShowFieldValues(field_bytes, repeat_count);
}

void WizardWavePanel::ShowFieldValues(const std::vector<std::uint8_t>& field_bytes, int repeat_count) {
  wave::SetNodeValues(tree_->Control(), field_bytes, false);
  tree_->RefreshItems();
  tree_->expandAll();
  format_view_->SetRepeatCount(repeat_count > 1 ? repeat_count : 0);
  format_view_->FullRedraw();
}

void WizardWavePanel::ShowCapture(const std::vector<std::int32_t>& durations, std::int32_t carrier) {
  if (capture_view_ == nullptr) return;
  capture_view_->ClearWave();
  capture_view_->SetWave(durations);
  capture_view_->SetCarrier(carrier);
  wave_bar_->RedrawAll();
}

void WizardWavePanel::ClearCapture() {
  if (capture_view_ == nullptr) return;
  capture_view_->ClearWave();
  wave_bar_->RedrawAll();
}

}  // namespace klimavo::ui
