#include "ui/waveview/move_wave_handle.h"

#include <algorithm>

#include "ui/waveview/wave_show.h"
#include "wave/wave_geometry.h"

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

void TMoveWaveHandle::SetFitToContent(bool on) {
  fit_to_content_ = on;
  UpdateRange();
}

void TMoveWaveHandle::UpdateRange() {
  int maximum = wave::ScrollBarMax(zoom_index_);
  if (fit_to_content_) {
    maximum = 0;
    for (const TWaveShow* view : views_)
      maximum = std::max(maximum, wave::ContentScrollMax(wave::TotalTime(view->State().Durations),
                                                         zoom_index_, view->width()));
  }
  setMaximum(maximum);
  setPageStep(std::max(1, width() - 20));
  setSingleStep(10);
}

int TMoveWaveHandle::ContentFitZoom() const {
  int zoom = -1;
  for (const TWaveShow* view : views_) {
    const std::int64_t total = wave::TotalTime(view->State().Durations);
    if (total > 0) zoom = std::max(zoom, wave::FitZoomIndex(total, view->width()));
  }
  return zoom < 0 ? wave::kMaxZoomIndex : zoom;
}

int TMoveWaveHandle::MaxUsefulZoom() const {
  return fit_to_content_ ? ContentFitZoom() : wave::kMaxZoomIndex;
}

void TMoveWaveHandle::FitWholeContent() { ZoomAndPosition(ContentFitZoom(), 0); }

void TMoveWaveHandle::resizeEvent(QResizeEvent* event) {
  QScrollBar::resizeEvent(event);
  UpdateRange();
}

void TMoveWaveHandle::PositionChanged(int value) {
  if (suppress_) return;
  for (TWaveShow* view : views_) view->SetPosition(value);
}

void TMoveWaveHandle::SetFielsID(int zoom_index) {
  zoom_index_ = std::clamp(zoom_index, 0, wave::kMaxZoomIndex);
  for (TWaveShow* view : views_) view->SetZoom(zoom_index_);
  UpdateRange();
}

void TMoveWaveHandle::ZoomAndPosition(int zoom_index, int position) {
  suppress_ = true;
  zoom_index_ = std::clamp(zoom_index, 0, wave::kMaxZoomIndex);
  UpdateRange();
  position = std::clamp(position, 0, maximum());
  for (TWaveShow* view : views_) {
    view->SetPosition(position);
    view->SetZoom(zoom_index_);
  }
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
