#pragma once
// The scroll bar that drives the horizontal position and the zoom of one or
// more waveform views together. By default its range is the fixed one of the
// zoom; fitted to the content, it ends where the longest attached content ends
// and zooming out stops once that content fits, so it never shows empty time.

#include <QScrollBar>
#include <vector>

namespace klimavo::ui {

class TWaveShow;

class TMoveWaveHandle : public QScrollBar {
  Q_OBJECT

 public:
  explicit TMoveWaveHandle(QWidget* parent = nullptr);

  /// Adds a view once.
  void Attach(TWaveShow* view);
  void Detach(TWaveShow* view);
  const std::vector<TWaveShow*>& Views() const { return views_; }

  /// The zoom index of the attached views (`FielsID`).
  int FielsID() const { return zoom_index_; }
  /// Zooms every view, then updates the range and the page step.
  void SetFielsID(int zoom_index);
  /// Position and zoom of every view at once, without reacting to its own change.
  void ZoomAndPosition(int zoom_index, int position);
  /// Copies both cursor times into every view and redraws those that show them.
  void SetCursors(std::int64_t a, std::int64_t b);
  /// Full redraw of every view.
  void RedrawAll();
  /// Range and zoom-out limited by the attached content (see above).
  void SetFitToContent(bool on);
  bool FitsToContent() const { return fit_to_content_; }
  /// Recomputes the range after the views' content or sizes changed.
  void UpdateRange();
  /// The coarsest zoom worth having: the one at which the longest content just
  /// fits its view (the coarsest of all when no view has content).
  int MaxUsefulZoom() const;
  /// Shows the whole of the longest content: the zoom at which it fits, from its start.
  void FitWholeContent();
  /// Every view reloads its colours and redraws (the colour-reload message).
  void ReloadColours();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void PositionChanged(int value);
  int ContentFitZoom() const;

  std::vector<TWaveShow*> views_;
  int zoom_index_ = 0;
  bool suppress_ = false;
  bool fit_to_content_ = false;
};

}  // namespace klimavo::ui
