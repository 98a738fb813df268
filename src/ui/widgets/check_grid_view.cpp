#include "ui/widgets/check_grid_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace klimavo::ui {
namespace {

constexpr int kNumberColumnWidth = 26;
constexpr int kCellPadding = 8;
constexpr int kHexHeadingHeight = 16;
constexpr int kBinaryHeadingHeight = 48;
constexpr int kFirstHeadingHeight = 84;  ///< before the first layout
constexpr int kRowPadding = 4;

QColor ColourOf(analysis::CellColour colour) {
  switch (colour) {
    case analysis::CellColour::kRed:
      return Qt::red;
    case analysis::CellColour::kBlue:
      return Qt::blue;
    case analysis::CellColour::kBlack:
      break;
  }
  return Qt::black;
}

}  // namespace

CheckGridView::CheckGridView(QWidget* parent) : QAbstractScrollArea(parent) {
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
}

void CheckGridView::AddLine(analysis::TAcChkedLine line) {
  model_.AddLine(std::move(line));
  Relayout();
  verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void CheckGridView::Clear() {
  model_.Clear();
  current_ = {-1, -1};
  Relayout();
}

void CheckGridView::SetHexadecimal(bool hexadecimal) {
  hexadecimal_ = hexadecimal;
  Relayout();
}

void CheckGridView::Relayout() {
  laid_out_ = true;
  UpdateScrollBars();
  viewport()->update();
}

int CheckGridView::ColumnCount() const { return std::max(model_.CellColumns(), 1) + 1; }

int CheckGridView::RowCount() const { return static_cast<int>(model_.Lines().size()) + 2; }

int CheckGridView::ColumnWidth(int column) const {
  if (column == 0) return kNumberColumnWidth;
  const int a = fontMetrics().horizontalAdvance('A');
  return (hexadecimal_ ? 2 : analysis::kBitsPerCell) * a + kCellPadding;
}

int CheckGridView::RowHeight(int row) const {
  if (row > 0) return fontMetrics().height() + kRowPadding;
  if (!laid_out_) return kFirstHeadingHeight;
  return hexadecimal_ ? kHexHeadingHeight : kBinaryHeadingHeight;
}

int CheckGridView::ColumnX(int column) const {
  int x = 0;
  for (int c = 0; c < column; ++c) x += ColumnWidth(c);
  return x;
}

int CheckGridView::RowY(int row) const {
  int y = 0;
  for (int r = 0; r < row; ++r) y += RowHeight(r);
  return y;
}

void CheckGridView::UpdateScrollBars() {
  const int width = ColumnX(ColumnCount()) - ColumnWidth(0);
  const int height = RowY(RowCount()) - RowHeight(0);
  const QSize view = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, width - (view.width() - ColumnWidth(0))));
  horizontalScrollBar()->setPageStep(view.width());
  verticalScrollBar()->setRange(0, std::max(0, height - (view.height() - RowHeight(0))));
  verticalScrollBar()->setPageStep(view.height());
  verticalScrollBar()->setSingleStep(RowHeight(1));
  horizontalScrollBar()->setSingleStep(ColumnWidth(1));
}

QPoint CheckGridView::CellAt(const QPoint& point) const {
  auto find = [](int pos, int fixed, int scroll, int count, auto size) {
    if (pos < fixed) return 0;
    int at = fixed - scroll;
    for (int i = 1; i < count; ++i) {
      if (pos >= at && pos < at + size(i)) return i;
      at += size(i);
    }
    return -1;
  };
  const int c = find(point.x(), ColumnWidth(0), horizontalScrollBar()->value(), ColumnCount(),
                     [this](int i) { return ColumnWidth(i); });
  const int r = find(point.y(), RowHeight(0), verticalScrollBar()->value(), RowCount(),
                     [this](int i) { return RowHeight(i); });
  if (c < 0 || r < 0) return {-1, -1};
  return {c, r};
}

void CheckGridView::PaintHeadingCell(QPainter& painter, const QRect& rect, int column) const {
  painter.setPen(palette().color(QPalette::ButtonText));
  const QRect text = rect.adjusted(kCellPadding / 2, 0, 0, 0);
  if (hexadecimal_) {
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, QString::number(column - 1));
    return;
  }
  const QString lines = QString::fromStdString(model_.HeadingBitNumbers()) + "\n" +
                        QString::fromStdString(model_.HeadingLetters(column - 1)) + "\n" +
                        QString::number(column - 1);
  painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, lines);
}

void CheckGridView::PaintCell(QPainter& painter, const QRect& rect, int column, int row,
                              bool selected) const {
  const int line = row - 1;
  const int cell = column - 1;
  const int x0 = rect.left() + kCellPadding / 2;
  if (hexadecimal_) {
    const QString text = QString::fromStdString(model_.HexText(line, cell));
    painter.setPen(selected ? Qt::white : model_.HexRed(line, cell) ? Qt::red : Qt::black);
    painter.drawText(rect.adjusted(kCellPadding / 2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
    return;
  }
  const std::string digits = model_.BinaryText(line, cell);
  const std::vector<analysis::CellColour> colours = model_.BinaryColours(line, cell);
  const int advance = fontMetrics().horizontalAdvance('A');
  for (int i = 0; i < analysis::kBitsPerCell; ++i) {
    const QChar digit(digits[static_cast<std::size_t>(i)]);
    if (digit == ' ') continue;
    const bool red = colours[static_cast<std::size_t>(i)] == analysis::CellColour::kRed;
    painter.setPen(selected && !red ? QColor(Qt::white) : ColourOf(colours[static_cast<std::size_t>(i)]));
    painter.drawText(QRect(x0 + i * advance, rect.top(), advance, rect.height()), Qt::AlignCenter,
                     QString(digit));
  }
}

void CheckGridView::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  painter.setFont(font());
  const QColor fixed = palette().color(QPalette::Button);
  const QColor lines = palette().color(QPalette::Mid);
  const int dx = horizontalScrollBar()->value();
  const int dy = verticalScrollBar()->value();
  const int fixed_w = ColumnWidth(0);
  const int fixed_h = RowHeight(0);
  const int columns = ColumnCount();
  const int rows = RowCount();

  auto cell_rect = [&](int c, int r) {
    const int x = c == 0 ? 0 : ColumnX(c) - dx;
    const int y = r == 0 ? 0 : RowY(r) - dy;
    return QRect(x, y, ColumnWidth(c), RowHeight(r));
  };
  // Scrolling cells first, then the fixed row and column over them.
  painter.save();
  painter.setClipRect(QRect(fixed_w, fixed_h, viewport()->width(), viewport()->height()));
  for (int r = 1; r < rows; ++r) {
    for (int c = 1; c < columns; ++c) {
      const QRect rect = cell_rect(c, r);
      if (!rect.intersects(viewport()->rect())) continue;
      const bool selected = QPoint(c, r) == current_ && r <= static_cast<int>(model_.Lines().size());
      if (selected) painter.fillRect(rect, palette().color(QPalette::Highlight));
      if (r <= static_cast<int>(model_.Lines().size())) PaintCell(painter, rect, c, r, selected);
      painter.setPen(lines);
      painter.drawRect(rect.adjusted(0, 0, -1, -1));
    }
  }
  painter.restore();
  painter.save();
  painter.setClipRect(QRect(fixed_w, 0, viewport()->width(), fixed_h));
  for (int c = 1; c < columns; ++c) {
    const QRect rect = cell_rect(c, 0);
    painter.fillRect(rect, fixed);
    if (c <= model_.CellColumns()) PaintHeadingCell(painter, rect, c);
    painter.setPen(lines);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
  }
  painter.restore();
  painter.save();
  painter.setClipRect(QRect(0, fixed_h, fixed_w, viewport()->height()));
  for (int r = 1; r < rows; ++r) {
    const QRect rect = cell_rect(0, r);
    painter.fillRect(rect, fixed);
    painter.setPen(palette().color(QPalette::ButtonText));
    if (r <= static_cast<int>(model_.Lines().size()))
      painter.drawText(rect, Qt::AlignCenter, QString::number(r));
    painter.setPen(lines);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
  }
  painter.restore();
  const QRect corner = cell_rect(0, 0);
  painter.fillRect(corner, fixed);
  painter.setPen(lines);
  painter.drawRect(corner.adjusted(0, 0, -1, -1));
}

void CheckGridView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void CheckGridView::mousePressEvent(QMouseEvent* event) {
  const QPoint cell = CellAt(event->position().toPoint());
  if (cell.x() >= 1 && cell.y() >= 1) SetCurrent(cell);
  QAbstractScrollArea::mousePressEvent(event);
}

void CheckGridView::SetCurrent(QPoint cell) {
  const bool other_line = cell.y() != current_.y();
  current_ = cell;
  viewport()->update();
  const int line = cell.y() - 1;
  if (other_line && line >= 0 && line < static_cast<int>(model_.Lines().size())) emit LineChosen(line);
}

void CheckGridView::keyPressEvent(QKeyEvent* event) {
  QPoint next = current_.x() < 1 ? QPoint(1, 1) : current_;
  switch (event->key()) {
    case Qt::Key_Left:
      next.rx() -= 1;
      break;
    case Qt::Key_Right:
      next.rx() += 1;
      break;
    case Qt::Key_Up:
      next.ry() -= 1;
      break;
    case Qt::Key_Down:
      next.ry() += 1;
      break;
    default:
      QAbstractScrollArea::keyPressEvent(event);
      return;
  }
  next.setX(std::clamp(next.x(), 1, ColumnCount() - 1));
  next.setY(std::clamp(next.y(), 1, RowCount() - 1));
  SetCurrent(next);
}

}  // namespace klimavo::ui
