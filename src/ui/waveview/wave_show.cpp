#include "ui/waveview/wave_show.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <cstdlib>

#include "base/text.h"
#include "ir/ir_text.h"
#include "ir/tolerance.h"
#include "ui/ui_text.h"
#include "ui/waveview/format_tree_widget.h"
#include "ui/waveview/move_wave_handle.h"
#include "ui/waveview/wave_renderer.h"
#include "wave/tree_synthesis.h"
#include "wave/wave_geometry.h"

namespace klimavo::ui {
namespace {

constexpr char kTraceMime[] = "application/x-klimavo-trace";
constexpr int kIconSize = 16;
constexpr int kDragEdge = 5;
constexpr int kKeyScrollStep = 10;
constexpr int kFieldTop = 16;
constexpr int kFieldBottom = 25;

TWaveShow::ColourSource& ColourSourceSlot() {
  static TWaveShow::ColourSource source = [] { return WaveColours::Defaults(); };
  return source;
}

std::optional<QString> AskWithInputBox(QWidget* parent, const QString& caption, const QString& label,
                                       const QString& value) {
  bool ok = false;
  const QString text = QInputDialog::getText(parent, caption, label, QLineEdit::Normal, value, &ok);
  if (!ok) return std::nullopt;
  return text;
}

TWaveShow::ValuePrompt& ValuePromptSlot() {
  static TWaveShow::ValuePrompt prompt = AskWithInputBox;
  return prompt;
}

}  // namespace

void TWaveShow::SetValuePrompt(ValuePrompt prompt) {
  ValuePromptSlot() = prompt ? std::move(prompt) : ValuePrompt(AskWithInputBox);
}

TWaveShow::TWaveShow(QWidget* parent) : QWidget(parent), colours_(ColourSourceSlot()()) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setAcceptDrops(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumHeight(120);
}

TWaveShow::~TWaveShow() {
  if (bar_) bar_->Detach(this);
}

void TWaveShow::SetColourSource(ColourSource source) { ColourSourceSlot() = std::move(source); }

void TWaveShow::SetTitle(const QString& title) {
  state_.Title = title.toStdString();
  update();
}

void TWaveShow::SetScrollBarCtl(TMoveWaveHandle* bar) {
  if (bar_) bar_->Detach(this);
  bar_ = bar;
  if (bar_) {
    bar_->Attach(this);
    state_.ZoomIndex = bar_->FielsID();
    state_.Position = bar_->value();
    bar_->UpdateRange();
  }
}

void TWaveShow::SetTreeViewData(FormatTreeWidget* tree) {
  disconnect(tree_selection_);
  tree_ = tree;
  if (tree_)
    tree_selection_ = connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
      HighlightTreeItem(FormatTreeWidget::ItemIndex(item));
    });
}

void TWaveShow::ContentChanged() {
  if (bar_) bar_->UpdateRange();
}

void TWaveShow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ContentChanged();
}

void TWaveShow::HighlightTreeItem(int tree_item) {
  highlighted_item_ = tree_item;
  state_.Highlights = wave::LevelsOfTreeItem(state_, tree_item);
  update();
  if (state_.Highlights.empty()) return;
  // Bring the first highlighted level into view when it is outside.
  std::int64_t start = 0;
  const auto first = static_cast<std::size_t>(state_.Highlights.front().First);
  for (std::size_t i = 0; i < first && i < state_.Durations.size(); ++i)
    start += std::llabs(state_.Durations[i]);
  const int x = wave::XAtTime(start, state_.Position, state_.ZoomIndex);
  if (x < wave::kLeftMargin || x > width() - wave::kRightMargin)
    MoveScroll(std::max(0, state_.Position + x - 2 * wave::kRightMargin));
}
void TWaveShow::SetIsFromTreeView(bool on) { state_.TreeMode = on; }
void TWaveShow::SetShowLineAB(bool on) {
  state_.ShowLineAB = on;
  update();
}
void TWaveShow::SetShowFocus(bool on) {
  state_.ShowFocus = on;
  update();
}
void TWaveShow::SetShowMoveOnStatus(bool on) {
  state_.ShowMoveOnStatus = on;
  update();
}
void TWaveShow::SetChinese(bool chinese) {
  state_.Chinese = chinese;
  update();
}

void TWaveShow::SetWave(const std::vector<std::int32_t>& durations) {
  state_.Durations = durations;
  state_.FocusedLevel = -1;
  state_.Highlights.clear();
  update();
  ContentChanged();
}

void TWaveShow::ClearWave() {
  state_.Clear();
  update();
  ContentChanged();
}

void TWaveShow::SetCarrier(std::int32_t carrier) {
  state_.Carrier = carrier;
  update();
}
void TWaveShow::SetDecodeTexts(const std::string& protocol, const std::string& code) {
  state_.ProtocolName = protocol;
  state_.ProtocolName2.clear();
  state_.CodeText = code;
  update();
}
void TWaveShow::SetRecordNo(int number) {
  state_.RecordNo = number;
  update();
}
void TWaveShow::SetRepeatCount(int count) { state_.RepeatCount = count; }

void TWaveShow::SetZoom(int index) {
  if (index == state_.ZoomIndex || index < 0 || index > wave::kMaxZoomIndex) return;
  state_.ZoomIndex = index;
  update();
}

void TWaveShow::SetPosition(int position) {
  state_.Position = position;
  update();
}

void TWaveShow::SetValueFormat(int format) {
  if (format == state_.ValueFormat) return;
  state_.ValueFormat = format;
  update();
}

void TWaveShow::SetCursorTimes(std::int64_t a, std::int64_t b) {
  state_.CursorA = a;
  state_.CursorB = b;
  if (state_.ShowLineAB) update();
}

bool TWaveShow::IsTreeMode() const { return state_.TreeMode && tree_ && tree_->Control().Items.size() > 2; }

bool TWaveShow::IsEmpty() const {
  if (state_.TreeMode) return !tree_ || tree_->Control().Items.size() < 3;
  return state_.Durations.empty();
}

void TWaveShow::FullRedraw() {
  if (IsTreeMode()) {
    wave::SynthesiseFromTree(tree_->Control(), state_);
    state_.Highlights = wave::LevelsOfTreeItem(state_, highlighted_item_);
  }
  update();
  ContentChanged();
}

void TWaveShow::ReloadColours() {
  colours_ = ColourSourceSlot()();
  update();
}

void TWaveShow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  WaveRenderer renderer(state_, colours_, size());
  renderer.Paint(painter);
  if (state_.ShowMoveOnStatus) {
    // The scrolling/fixed icon: a green arrow while the view takes new data, a red square when fixed.
    QRect icon(0, 0, kIconSize, kIconSize);
    painter.fillRect(icon, Qt::white);
    if (state_.Scrolling) {
      painter.setBrush(QColor(0, 160, 0));
      painter.setPen(Qt::NoPen);
      const QPoint arrow[3] = {{3, 3}, {13, 8}, {3, 13}};
      painter.drawPolygon(arrow, 3);
    } else {
      painter.fillRect(QRect(4, 4, 8, 8), QColor(200, 0, 0));
    }
  }
}

bool TWaveShow::OverIcon(QPoint p) const {
  return state_.ShowMoveOnStatus && p.x() >= 0 && p.x() < kIconSize && p.y() >= 0 && p.y() < kIconSize;
}

void TWaveShow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  setFocus();
  const QPoint p = event->position().toPoint();
  if (OverIcon(p)) {
    state_.Scrolling = !state_.Scrolling;
    update();
    return;
  }
  press_point_ = p;
  press_position_ = state_.Position;
  grab_ = Grab::Trace;
  if (state_.ShowLineAB) {
    const int xa = wave::XAtTime(state_.CursorA, state_.Position, state_.ZoomIndex);
    const int xb = wave::XAtTime(state_.CursorB, state_.Position, state_.ZoomIndex);
    if (std::abs(p.x() - xa) <= 1) {
      grab_ = Grab::CursorA;
      press_cursor_time_ = state_.CursorA;
    } else if (std::abs(p.x() - xb) <= 1) {
      grab_ = Grab::CursorB;
      press_cursor_time_ = state_.CursorB;
    }
  }
}

void TWaveShow::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if ((event->buttons() & Qt::LeftButton) && grab_ != Grab::None) {
    const int moved = press_point_.x() - p.x();
    if (grab_ == Grab::Trace) {
      if (drag_move_data_ && (p.y() < kDragEdge || p.y() > height() - kDragEdge)) {
        grab_ = Grab::None;
        StartDrag();
        return;
      }
      setCursor(Qt::OpenHandCursor);
      MoveScroll(std::max(0, press_position_ + moved));
    } else {
      std::int64_t t =
          press_cursor_time_ - static_cast<std::int64_t>(moved / wave::PixelsPerUnit(state_.ZoomIndex));
      if (!(event->modifiers() & Qt::ControlModifier)) t = wave::SnapToEdge(state_.Durations, t);
      std::int64_t a = grab_ == Grab::CursorA ? t : state_.CursorA;
      std::int64_t b = grab_ == Grab::CursorB ? t : state_.CursorB;
      if (bar_)
        bar_->SetCursors(a, b);
      else
        SetCursorTimes(a, b);
    }
  } else {
    const int xa = wave::XAtTime(state_.CursorA, state_.Position, state_.ZoomIndex);
    const int xb = wave::XAtTime(state_.CursorB, state_.Position, state_.ZoomIndex);
    const bool over_cursor = state_.ShowLineAB && (std::abs(p.x() - xa) <= 1 || std::abs(p.x() - xb) <= 1);
    setCursor(over_cursor ? Qt::SizeHorCursor : Qt::ArrowCursor);
    if (OverIcon(p))
      setToolTip(state_.Chinese ? (state_.Scrolling ? "数据滚动" : "数据固定")
                                : (state_.Scrolling ? "Scrolling" : "Fixed"));
  }
  const bool in_levels = p.y() >= wave::kHighLevelY && p.y() <= height() - wave::kLowLevelMargin;
  state_.FocusedLevel =
      in_levels ? wave::LevelAt(state_.Durations, wave::TimeAtX(p.x(), state_.Position, state_.ZoomIndex))
                : -1;
  update();
}

void TWaveShow::mouseReleaseEvent(QMouseEvent*) {
  grab_ = Grab::None;
  setCursor(Qt::ArrowCursor);
  update();
}

void TWaveShow::MoveScroll(int position) {
  if (bar_)
    bar_->setValue(position);
  else
    SetPosition(position);
}

void TWaveShow::Zoom(int step, int anchor_x) {
  const int index = state_.ZoomIndex + step;
  // A bar fitted to its content zooms out no further than needed to see all of it.
  const int coarsest = bar_ ? bar_->MaxUsefulZoom() : wave::kMaxZoomIndex;
  if (index < 0 || index > wave::kMaxZoomIndex || (step > 0 && index > coarsest)) {
    QApplication::beep();
    return;
  }
  std::int64_t t = wave::TimeAtX(anchor_x, state_.Position, state_.ZoomIndex);
  const std::int64_t total = wave::TotalTime(state_.Durations);
  if (t > total + 1000) t = total + 10;
  const int position =
      std::max(0, static_cast<int>(ir::RoundHalfEven(static_cast<double>(t) * wave::PixelsPerUnit(index))) -
                      anchor_x - wave::kLeftMargin);
  if (bar_) {
    bar_->ZoomAndPosition(index, position);
  } else {
    state_.Position = position;
    SetZoom(index);
  }
}

void TWaveShow::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta == 0) return;
  Zoom(delta < 0 ? 1 : -1, static_cast<int>(event->position().x()));
  event->accept();
}

void TWaveShow::keyPressEvent(QKeyEvent* event) {
  const int anchor = mapFromGlobal(QCursor::pos()).x();
  switch (event->key()) {
    case Qt::Key_Down:
      Zoom(1, anchor);
      break;
    case Qt::Key_Up:
      Zoom(-1, anchor);
      break;
    case Qt::Key_Left:
      MoveScroll(std::max(0, state_.Position - kKeyScrollStep));
      break;
    case Qt::Key_Right:
      MoveScroll(state_.Position + kKeyScrollStep);
      break;
    case Qt::Key_PageUp:
      MoveScroll(std::max(0, state_.Position - (width() - 8)));
      break;
    case Qt::Key_PageDown:
      MoveScroll(state_.Position + (width() - 8));
      break;
    case Qt::Key_Home:
      MoveScroll(0);
      break;
    case Qt::Key_Delete:
      if (state_.Scrolling && !state_.TreeMode)
        ClearWave();
      else
        QApplication::beep();
      break;
    default:
      emit KeyDown(event->key(), event->modifiers());
      // Keys the view has no use for go on to its window: Enter to the default button,
      // Escape to close a dialog.
      QWidget::keyPressEvent(event);
      return;
  }
  event->accept();
}

bool TWaveShow::AcceptsDrop(const TWaveShow* source) const {
  return drag_move_data_ && source && source != this && source->Tag() != tag_ && state_.Scrolling &&
         !state_.TreeMode;
}

void TWaveShow::StartDrag() {
  auto* drag = new QDrag(this);
  auto* mime = new QMimeData;
  mime->setData(kTraceMime, QByteArray::number(reinterpret_cast<quintptr>(this)));
  drag->setMimeData(mime);
  drag->exec(Qt::MoveAction);
}

void TWaveShow::dragEnterEvent(QDragEnterEvent* event) {
  auto* source = qobject_cast<TWaveShow*>(event->source());
  if (event->mimeData()->hasFormat(kTraceMime) && AcceptsDrop(source)) event->acceptProposedAction();
}

void TWaveShow::dropEvent(QDropEvent* event) {
  if (DropTraceFrom(qobject_cast<TWaveShow*>(event->source()))) event->acceptProposedAction();
}

bool TWaveShow::DropTraceFrom(TWaveShow* source) {
  if (!AcceptsDrop(source)) return false;
  const wave::WaveState& from = source->State();
  state_.Durations = from.Durations;
  state_.Segments = from.Segments;
  state_.RecordNo = from.RecordNo;
  state_.ProtocolName = from.ProtocolName;
  state_.ProtocolName2 = from.ProtocolName2;
  state_.Carrier = from.Carrier;
  update();
  ContentChanged();
  if (from.Scrolling && !from.TreeMode) source->ClearWave();
  return true;
}

void TWaveShow::mouseDoubleClickEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (IsTreeMode() && p.y() >= kFieldTop && p.y() <= kFieldBottom) EditField(p.x());
}

void TWaveShow::EditField(int x) {
  const std::int64_t t = wave::TimeAtX(x, state_.Position, state_.ZoomIndex);
  const int level = wave::LevelAt(state_.Durations, t);
  if (level < 0) return;
  for (const wave::WaveSegment& s : state_.Segments) {
    if (s.Kind != wave::WaveSegment::kField || level < s.StartLevel || level > s.EndLevel) continue;
    for (auto& item : tree_->Control().Items) {
      auto* leaf = std::get_if<ir::FormatLeafRecord>(&item.Record);
      if (!leaf || item.Depth != 2 || leaf->Id != s.NodeId) continue;
      if (ir::IsEditableField(*leaf, false)) {
        const QString caption = state_.Chinese ? "请输入16进制数据" : "Input code value please";
        long long count = 0;
        base::ParseInteger(leaf->Text, count);
        const QString current = QString::fromStdString(ir::SymbolsToHexStr(
            static_cast<int>(count), state_.SymbolRadix, false, static_cast<std::uint32_t>(leaf->Value)));
        const std::optional<QString> text =
            ValuePromptSlot()(this, caption, FromGbk(leaf->KindName), current);
        if (!text) return;
        const QString trimmed = text->trimmed();
        bool valid = !trimmed.isEmpty();
        for (QChar c : trimmed) valid = valid && QString("0123456789abcdefABCDEF").contains(c);
        if (!valid) {
          QMessageBox::warning(this, caption, state_.Chinese ? "输入数据错误！" : "Data error！");
          return;
        }
        leaf->Value = ir::RadixStrToInt(trimmed.toStdString(), 16);
        FullRedraw();
        emit ParamsChanged();
      } else if (!leaf->IsData && leaf->Text.find('|') != std::string::npos) {
        ++state_.AlternativeIndex;
        FullRedraw();
      }
      return;
    }
  }
}

}  // namespace klimavo::ui
