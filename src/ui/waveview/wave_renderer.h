#pragma once
// Paints a waveform view on any QPainter: grid and time axis, segments, levels
// with duration labels, the scope rectangle, the A/B cursors and the header.
// Tests paint into a QImage offscreen and check the pixels and texts.

#include <QPainter>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

#include "ui/waveview/wave_colours.h"
#include "ui/waveview/wave_state.h"

namespace klimavo::ui {

/// One piece of text the renderer drew, for tests and accessibility.
struct DrawnText {
  QString text;
  int x = 0;  ///< left edge
  int y = 0;  ///< top edge
};

class WaveRenderer {
 public:
  WaveRenderer(const WaveState& state, const WaveColours& colours, QSize size);

  /// The whole view in the fixed order: background, focus border, segments,
  /// levels, scope, cursors, header.
  void Paint(QPainter& painter);
  void PaintBackground(QPainter& painter);
  void PaintSegments(QPainter& painter);
  void PaintLevels(QPainter& painter);
  void PaintScope(QPainter& painter);
  void PaintCursors(QPainter& painter);
  void PaintHeader(QPainter& painter);

  /// Every text drawn by the last Paint, in drawing order.
  const std::vector<DrawnText>& Texts() const { return texts_; }

  /// The font of the view's labels for the language.
  static QFont LabelFont(bool chinese, int point_size = -1);
  /// The header's code value: hex of the field segments of the first pass.
  static QString CodeValueText(const WaveState& state);
  /// Text of a field segment: name + ":" + value in the view's value format.
  static QString FieldText(const WaveState& state, const WaveSegment& segment);

 private:
  int XAt(std::int64_t time) const;
  void TextAt(QPainter& painter, int x, int y, const QString& text);
  void TextCentred(QPainter& painter, int x0, int x1, int y, const QString& text);

  const WaveState& state_;
  const WaveColours& colours_;
  QSize size_;
  std::vector<std::int64_t> starts_;  ///< start time of every level, plus the total
  std::vector<DrawnText> texts_;
};

}  // namespace klimavo::ui
