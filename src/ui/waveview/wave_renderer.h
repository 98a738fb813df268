#pragma once
// Paints a waveform view on any QPainter: grid and time axis, segments, levels
// with duration labels, the scope rectangle, the A/B cursors and the header.
// Tests paint into a QImage offscreen and check the pixels and texts.

#include <QFontMetrics>
#include <QPainter>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "ui/waveview/wave_colours.h"
#include "wave/wave_state.h"

namespace klimavo::ui {

/// One piece of text the renderer drew, for tests and accessibility.
struct DrawnText {
  QString text;
  int x = 0;      ///< left edge
  int y = 0;      ///< top edge
  int width = 0;  ///< advance of the text in the font it was drawn in
};

/// One field of the header line: a label and its value.
struct HeaderField {
  QString label;
  int label_x = 0;       ///< usual place of the label
  int value_offset = 0;  ///< usual distance from the label to the value
  WaveRole role = WaveRole::Title;
  QString value;
  bool elidable = false;  ///< a long value that may be shortened when the line is too wide
};

/// Where a header field is drawn, with its value as drawn (maybe shortened).
struct PlacedHeaderField {
  HeaderField field;
  int label_x = 0;
  int value_x = 0;
  QString value;
  /// The right end of what is drawn.
  int End(const QFontMetrics& metrics) const;
};

class WaveRenderer {
 public:
  WaveRenderer(const wave::WaveState& state, const WaveColours& colours, QSize size);

  /// The whole view in the fixed order: background, focus border, highlighted
  /// levels, segments, levels, scope, cursors, header.
  void Paint(QPainter& painter);
  void PaintBackground(QPainter& painter);
  void PaintHighlights(QPainter& painter);
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
  static QString CodeValueText(const wave::WaveState& state);
  /// Text of a field segment: name + ":" + value in the view's value format.
  static QString FieldText(const wave::WaveState& state, const wave::WaveSegment& segment);
  /// Places the header fields on one line of that width without overlaps:
  /// fields keep their usual places while they fit; on a narrow view the last
  /// fields keep their whole texts at the right edge and the long values give way.
  static std::vector<PlacedHeaderField> LayOutHeader(const std::vector<HeaderField>& fields, int width,
                                                     const QFontMetrics& metrics);

 private:
  int XAt(std::int64_t time) const;
  bool Highlighted(std::size_t level) const;
  void TextAt(QPainter& painter, int x, int y, const QString& text);
  void TextCentred(QPainter& painter, int x0, int x1, int y, const QString& text);

  const wave::WaveState& state_;
  const WaveColours colours_;  // a copy: callers may pass a temporary
  QSize size_;
  std::vector<std::int64_t> starts_;  ///< start time of every level, plus the total
  std::vector<DrawnText> texts_;
};

}  // namespace klimavo::ui
