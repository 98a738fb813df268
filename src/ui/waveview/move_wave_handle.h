#pragma once
// The scroll bar that drives the horizontal position and the zoom of one or
// more waveform views together.

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
  /// Every view reloads its colours and redraws (the colour-reload message).
  void ReloadColours();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void UpdateRange();
  void PositionChanged(int value);

  std::vector<TWaveShow*> views_;
  int zoom_index_ = 0;
  bool suppress_ = false;
};

}  // namespace klimavo::ui
