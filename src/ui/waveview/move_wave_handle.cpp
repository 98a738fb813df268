#include "ui/waveview/move_wave_handle.h"

#include <algorithm>

#include "ui/waveview/wave_geometry.h"
#include "ui/waveview/wave_show.h"

namespace klimavo::ui {

TMoveWaveHandle::TMoveWaveHandle(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
  setFocusPolicy(Qt::NoFocus);
  setObjectName("MoveWaveHandle");
  UpdateRange();
  connect(this, &QScrollBar::valueChanged, this, &TMoveWaveHandle::PositionChanged);
}

void TMoveWaveHandle::Attach(TWaveShow* view) {
  if (std::find(views_.begin(), views_.end(), view) == views_.end()) views_.push_back(view);
}

void TMoveWaveHandle::Detach(TWaveShow* view) {
  views_.erase(std::remove(views_.begin(), views_.end(), view), views_.end());
}

void TMoveWaveHandle::UpdateRange() {
  setMaximum(ScrollBarMax(zoom_index_));
  setPageStep(std::max(1, width() - 20));
  setSingleStep(10);
}

void TMoveWaveHandle::resizeEvent(QResizeEvent* event) {
  QScrollBar::resizeEvent(event);
  setPageStep(std::max(1, width() - 20));
}

void TMoveWaveHandle::PositionChanged(int value) {
  if (suppress_) return;
  for (TWaveShow* view : views_) view->SetPosition(value);
}

void TMoveWaveHandle::SetFielsID(int zoom_index) {
  zoom_index_ = std::clamp(zoom_index, 0, kMaxZoomIndex);
  for (TWaveShow* view : views_) view->SetZoom(zoom_index_);
  UpdateRange();
}

void TMoveWaveHandle::ZoomAndPosition(int zoom_index, int position) {
  suppress_ = true;
  for (TWaveShow* view : views_) {
    view->SetPosition(position);
    view->SetZoom(zoom_index);
  }
  zoom_index_ = std::clamp(zoom_index, 0, kMaxZoomIndex);
  UpdateRange();
  setValue(position);
  suppress_ = false;
}

void TMoveWaveHandle::SetCursors(std::int64_t a, std::int64_t b) {
  for (TWaveShow* view : views_) view->SetCursorTimes(a, b);
}

void TMoveWaveHandle::RedrawAll() {
  for (TWaveShow* view : views_) view->FullRedraw();
}

void TMoveWaveHandle::ReloadColours() {
  for (TWaveShow* view : views_) view->ReloadColours();
}

}  // namespace klimavo::ui
