#pragma once
// The waveform view widget: an oscilloscope-like display of a capture (capture
// mode) or of a protocol's standard form synthesised from a format tree (tree
// mode), with zoom, scrolling through a shared scroll bar, A/B cursors, drag and
// drop of traces between views and editing of field values.

#include <QWidget>
#include <functional>
#include <optional>

#include "ui/waveview/wave_colours.h"
#include "wave/wave_state.h"

namespace klimavo::ui {

class TMoveWaveHandle;
class FormatTreeWidget;

class TWaveShow : public QWidget {
  Q_OBJECT

 public:
  using ColourSource = std::function<WaveColours()>;
  /// Asks for a text (caption, prompt, current value); nullopt when cancelled.
  using ValuePrompt =
      std::function<std::optional<QString>(QWidget*, const QString&, const QString&, const QString&)>;

  explicit TWaveShow(QWidget* parent = nullptr);
  ~TWaveShow() override;

  /// Where every view takes its colours from (the colour scheme of the home).
  static void SetColourSource(ColourSource source);
  /// How a field value is asked for when a field is double-clicked (an input box by default;
  /// an empty function restores it).
  static void SetValuePrompt(ValuePrompt prompt);

  // Published properties.
  void SetTitle(const QString& title);
  void SetScrollBarCtl(TMoveWaveHandle* bar);
  TMoveWaveHandle* ScrollBarCtl() const { return bar_; }
  void SetTreeViewData(FormatTreeWidget* tree);
  FormatTreeWidget* TreeViewData() const { return tree_; }
  void SetIsFromTreeView(bool on);
  void SetShowLineAB(bool on);
  void SetShowFocus(bool on);
  void SetShowMoveOnStatus(bool on);
  void SetDragMoveData(bool on) { drag_move_data_ = on; }
  void SetTag(int tag) { tag_ = tag; }
  int Tag() const { return tag_; }
  void SetChinese(bool chinese);

  /// Copies the durations (0.1 µs) into the view.
  void SetWave(const std::vector<std::int32_t>& durations);
  void ClearWave();
  void SetCarrier(std::int32_t carrier);
  void SetRecordNo(int number);
  /// What a decode of the shown capture found: the protocol text and the code
  /// bytes (UTF-8) for the header's protocol and code value fields.
  void SetDecodeTexts(const std::string& protocol, const std::string& code);
  void SetZoom(int index);
  void SetPosition(int position);
  void SetValueFormat(int format);
  void SetCursorTimes(std::int64_t a, std::int64_t b);
  void SetRepeatCount(int count);
  /// Redraw; in tree mode first rebuilds the levels from the tree.
  void FullRedraw();
  void ReloadColours();
  bool IsEmpty() const;
  bool IsTreeMode() const;

  /// Shows the levels a format-tree item covers as selected and scrolls them
  /// into view (-1: none). Selecting an item of the tree control does this.
  void HighlightTreeItem(int tree_item);

  /// Takes the trace of another view (drag and drop); false when this view
  /// does not accept it (fixed, tree mode, same tag, no drag-move).
  bool DropTraceFrom(TWaveShow* source);
  const WaveColours& Colours() const { return colours_; }

  const wave::WaveState& State() const { return state_; }
  wave::WaveState& MutableState() { return state_; }

 signals:
  void ParamsChanged();
  void KeyDown(int key, Qt::KeyboardModifiers modifiers);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  enum class Grab { None, Trace, CursorA, CursorB };

  void Zoom(int step, int anchor_x);
  void MoveScroll(int position);
  bool OverIcon(QPoint p) const;
  bool AcceptsDrop(const TWaveShow* source) const;
  void StartDrag();
  void EditField(int x);
  /// The levels changed: the scroll bar's range follows.
  void ContentChanged();

  wave::WaveState state_;
  WaveColours colours_;
  TMoveWaveHandle* bar_ = nullptr;
  FormatTreeWidget* tree_ = nullptr;
  bool drag_move_data_ = false;
  int tag_ = 0;
  Grab grab_ = Grab::None;
  QPoint press_point_;
  int press_position_ = 0;
  std::int64_t press_cursor_time_ = 0;
  int highlighted_item_ = -1;
  QMetaObject::Connection tree_selection_;
};

}  // namespace klimavo::ui
