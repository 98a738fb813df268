#include "ui/widgets/compare_grid_widget.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>

namespace klimavo::ui {
namespace {

using analysis::BitMark;
using analysis::GridColumn;
using analysis::GridColumnKind;

constexpr int kValueDigits = 6;
constexpr int kChecksumBinaryChars = 8;
constexpr int kChecksumHexChars = 3;
constexpr int kHeaderLines = 3;
const QColor kHeaderBack(0xE4, 0xE4, 0xE4);
const QColor kFixedBack(0xEE, 0xEE, 0xEE);
const QColor kGridLine(0xC8, 0xC8, 0xC8);
const QColor kFrameLine(0x60, 0x60, 0x60);
const QColor kSelectedBack(0x1E, 0x3C, 0x8C);
const QColor kMatch(0x00, 0x80, 0x00);

QColor MarkColour(BitMark mark, bool selected) {
  switch (mark) {
    case BitMark::Differs:
      return selected ? QColor(0xFF, 0x80, 0x80) : Qt::red;
    case BitMark::Claimed:
      return selected ? QColor(0x90, 0xC0, 0xFF) : Qt::blue;
    case BitMark::Plain:
      break;
  }
  return selected ? Qt::white : Qt::black;
}

// The lines below and left of a cell; a frame starts with a dark line.
void DrawCellLines(QPainter& p, const GridColumn& c, const QRect& cell) {
  p.setPen(kGridLine);
  p.drawLine(cell.bottomLeft(), cell.bottomRight());
  const bool frame_start = c.kind == GridColumnKind::Bits && c.first_char == 0;
  p.setPen(frame_start ? kFrameLine : kGridLine);
  p.drawLine(cell.topLeft(), cell.bottomLeft());
}

}  // namespace

CompareGridGeometry CompareGridGeometry::Of(const analysis::CompareGridModel& model, int char_width,
                                            int row_height) {
  CompareGridGeometry g;
  g.char_width = char_width;
  g.row_height = row_height;
  g.rows = model.LineCount() + 1;
  int x = 0;
  for (const GridColumn& c : model.Columns()) {
    int w = kRowNumberWidth;
    switch (c.kind) {
      case GridColumnKind::RowNumber:
        break;
      case GridColumnKind::Bits:
        w = kCellMargin + char_width * (model.HexMode() ? 2 : model.ColumnBits());
        break;
      case GridColumnKind::Value:
        w = kCellMargin + char_width * kValueDigits;
        break;
      case GridColumnKind::Checksum:
        w = kCellMargin + char_width * (model.HexMode() ? kChecksumHexChars : kChecksumBinaryChars);
        break;
    }
    g.left.push_back(x);
    g.width.push_back(w);
    x += w;
  }
  return g;
}

int CompareGridGeometry::ColumnAt(int x) const {
  for (std::size_t c = 0; c < left.size(); ++c)
    if (x >= left[c] && x < left[c] + width[c]) return static_cast<int>(c);
  return -1;
}

TCompareGrid::TCompareGrid(QWidget* parent) : QAbstractScrollArea(parent), run_chooser_(new QComboBox(this)) {
  setObjectName("gridCompare");
  setFocusPolicy(Qt::StrongFocus);
  // Bits line up in their columns only in a fixed-pitch font.
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPointSize(font().pointSize());
  setFont(fixed);
  viewport()->setBackgroundRole(QPalette::Base);
  run_chooser_->setObjectName("cmbColumSelect");
  run_chooser_->hide();
  connect(run_chooser_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (model_ != nullptr && index >= 0 && index != model_->SelectedRun()) model_->SelectRun(index);
  });
}

TCompareGrid::~TCompareGrid() {
  if (model_ != nullptr) model_->SetListener({});
}

void TCompareGrid::SetModel(analysis::CompareGridModel* model) {
  if (model_ != nullptr) model_->SetListener({});
  model_ = model;
  if (model_ != nullptr) model_->SetListener([this](analysis::GridChange change) { ModelChanged(change); });
  selected_.clear();
  current_row_ = -1;
  run_items_ = -1;
  Relayout();
}

void TCompareGrid::ModelChanged(analysis::GridChange change) {
  switch (change) {
    case analysis::GridChange::RunChosen:
    case analysis::GridChange::Repaint:
      break;
    case analysis::GridChange::RowAdded:
      Relayout();
      verticalScrollBar()->setValue(verticalScrollBar()->maximum());
      break;
    case analysis::GridChange::Rebuilt:
      // Rows may have gone or moved: the selection no longer means them.
      if (!selected_.empty() || current_row_ >= 0) {
        selected_.clear();
        current_row_ = -1;
        emit SelectionChanged();
      }
      Relayout();
      break;
  }
  RefillRunChooser();
  viewport()->update();
}

void TCompareGrid::Relayout() {
  const QFontMetrics fm(font());
  geometry_ = model_ != nullptr ? CompareGridGeometry::Of(*model_, fm.horizontalAdvance('0'), fm.height() + 4)
                                : CompareGridGeometry{};
  const QSize view = viewport()->size();
  const int fixed = geometry_.width.empty() ? 0 : geometry_.width[0];
  horizontalScrollBar()->setRange(0, std::max(0, geometry_.TotalWidth() - view.width()));
  horizontalScrollBar()->setPageStep(std::max(1, view.width() - fixed));
  horizontalScrollBar()->setSingleStep(geometry_.char_width * 4);
  verticalScrollBar()->setRange(0, std::max(0, geometry_.TotalHeight() - view.height()));
  verticalScrollBar()->setPageStep(std::max(1, view.height() - CompareGridGeometry::kHeaderHeight));
  verticalScrollBar()->setSingleStep(geometry_.row_height);
  RefillRunChooser();
}

void TCompareGrid::RefillRunChooser() {
  if (model_ == nullptr) {
    run_chooser_->hide();
    return;
  }
  const int runs = static_cast<int>(model_->Runs().size());
  if (runs != run_items_) {
    const QSignalBlocker block(run_chooser_);
    run_chooser_->clear();
    for (int i = 0; i < runs; ++i) run_chooser_->addItem(QString("No.%1").arg(i + 1));
    run_items_ = runs;
  }
  if (run_chooser_->currentIndex() != model_->SelectedRun() && model_->SelectedRun() < runs) {
    const QSignalBlocker block(run_chooser_);
    run_chooser_->setCurrentIndex(model_->SelectedRun());
  }
  run_chooser_->setVisible(!model_->ChecksumMode() && runs > 1);
}

int TCompareGrid::RowAt(int y) const {
  if (y < CompareGridGeometry::kHeaderHeight) return -1;
  return (y - CompareGridGeometry::kHeaderHeight + verticalScrollBar()->value()) / geometry_.row_height;
}

QRect TCompareGrid::CellRect(int column, int row) const {
  if (column < 0 || column >= static_cast<int>(geometry_.left.size())) return {};
  const int x =
      column == 0 ? 0 : geometry_.left[static_cast<std::size_t>(column)] - horizontalScrollBar()->value();
  const int w = geometry_.width[static_cast<std::size_t>(column)];
  if (row < 0) return {x, 0, w, CompareGridGeometry::kHeaderHeight};
  const int y =
      CompareGridGeometry::kHeaderHeight + row * geometry_.row_height - verticalScrollBar()->value();
  return {x, y, w, geometry_.row_height};
}

void TCompareGrid::SelectRow(int row) {
  selected_.clear();
  current_row_ = model_ != nullptr && row >= 0 && row < model_->LineCount() ? row : -1;
  if (current_row_ >= 0) selected_.insert(current_row_);
  anchor_row_ = current_row_;
  viewport()->update();
  emit SelectionChanged();
  emit CurrentRowChanged(current_row_);
}

void TCompareGrid::MoveCurrent(int row, bool extend) {
  if (model_ == nullptr || model_->LineCount() == 0) return;
  row = std::clamp(row, 0, model_->LineCount() - 1);
  if (extend && anchor_row_ >= 0) {
    selected_.clear();
    for (int r = std::min(anchor_row_, row); r <= std::max(anchor_row_, row); ++r) selected_.insert(r);
    current_row_ = row;
    viewport()->update();
    emit SelectionChanged();
    emit CurrentRowChanged(row);
  } else {
    SelectRow(row);
  }
  // Keep the current row in view.
  const QRect cell = CellRect(0, row);
  if (cell.top() < CompareGridGeometry::kHeaderHeight)
    verticalScrollBar()->setValue(verticalScrollBar()->value() -
                                  (CompareGridGeometry::kHeaderHeight - cell.top()));
  else if (cell.bottom() > viewport()->height())
    verticalScrollBar()->setValue(verticalScrollBar()->value() + cell.bottom() - viewport()->height());
}

void TCompareGrid::mousePressEvent(QMouseEvent* event) {
  setFocus();
  if (model_ == nullptr || event->button() == Qt::MiddleButton) return;
  const QPoint p = event->position().toPoint();
  const int fixed = geometry_.width.empty() ? 0 : geometry_.width[0];
  current_column_ = p.x() < fixed ? 0 : geometry_.ColumnAt(p.x() + horizontalScrollBar()->value());
  const int row = RowAt(p.y());
  if (row < 0 || row >= model_->LineCount()) {
    viewport()->update();
    return;
  }
  // A right click on a selected row keeps the selection for the pop-up menu.
  if (event->button() == Qt::RightButton && selected_.count(row) > 0) return;
  if (event->modifiers() & Qt::ControlModifier) {
    if (!selected_.erase(row)) selected_.insert(row);
    current_row_ = row;
    anchor_row_ = row;
    viewport()->update();
    emit SelectionChanged();
    emit CurrentRowChanged(row);
  } else {
    MoveCurrent(row, (event->modifiers() & Qt::ShiftModifier) != 0);
  }
}

void TCompareGrid::keyPressEvent(QKeyEvent* event) {
  if (model_ == nullptr) return;
  const bool extend = (event->modifiers() & Qt::ShiftModifier) != 0;
  const int page =
      std::max(1, (viewport()->height() - CompareGridGeometry::kHeaderHeight) / geometry_.row_height);
  switch (event->key()) {
    case Qt::Key_Up:
      MoveCurrent(current_row_ - 1, extend);
      return;
    case Qt::Key_Down:
      MoveCurrent(current_row_ + 1, extend);
      return;
    case Qt::Key_PageUp:
      MoveCurrent(current_row_ - page, extend);
      return;
    case Qt::Key_PageDown:
      MoveCurrent(current_row_ + page, extend);
      return;
    case Qt::Key_Home:
      MoveCurrent(0, extend);
      return;
    case Qt::Key_End:
      MoveCurrent(model_->LineCount() - 1, extend);
      return;
    default:
      break;
  }
  if (event->matches(QKeySequence::SelectAll)) {
    selected_.clear();
    for (int r = 0; r < model_->LineCount(); ++r) selected_.insert(r);
    viewport()->update();
    emit SelectionChanged();
    return;
  }
  QAbstractScrollArea::keyPressEvent(event);
}

void TCompareGrid::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  Relayout();
}

bool TCompareGrid::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::ToolTip && model_ != nullptr) {
    auto* help = static_cast<QHelpEvent*>(event);
    const int column = geometry_.ColumnAt(help->pos().x() + horizontalScrollBar()->value());
    if (column > 0 && model_->Columns()[static_cast<std::size_t>(column)].kind == GridColumnKind::Bits) {
      const GridColumn& c = model_->Columns()[static_cast<std::size_t>(column)];
      const int offset =
          (help->pos().x() + horizontalScrollBar()->value() -
           geometry_.left[static_cast<std::size_t>(column)] - CompareGridGeometry::kCellMargin / 2) /
          std::max(1, geometry_.char_width);
      const int bit = c.first_char + std::clamp(offset, 0, model_->ColumnBits() - 1);
      QToolTip::showText(help->globalPos(),
                         model_->HexMode() ? QString("Frame %1, bits %2-%3")
                                                 .arg(c.frame)
                                                 .arg(c.first_char)
                                                 .arg(c.first_char + model_->ColumnBits() - 1)
                                           : QString("Frame %1, bit %2").arg(c.frame).arg(bit),
                         viewport());
      return true;
    }
    QToolTip::hideText();
    return true;
  }
  return QAbstractScrollArea::viewportEvent(event);
}

void TCompareGrid::paintEvent(QPaintEvent* event) {
  QPainter p(viewport());
  Render(p, event->rect());
}

void TCompareGrid::Render(QPainter& p, const QRect& area) const {
  p.fillRect(area, palette().color(QPalette::Base));
  if (model_ == nullptr || geometry_.left.empty()) return;
  p.setFont(font());
  const int columns = static_cast<int>(geometry_.left.size());
  const int first_row = std::max(0, RowAt(std::max(area.top(), CompareGridGeometry::kHeaderHeight)));
  const int last_row =
      std::min(geometry_.rows - 1, RowAt(std::max(area.bottom(), CompareGridGeometry::kHeaderHeight)));
  // Scrolling columns first, then the fixed column and the header over them.
  for (int c = 1; c < columns; ++c) {
    const QRect header = CellRect(c, -1);
    if (header.right() < geometry_.width[0] || header.left() > area.right()) continue;
    // How a bit is marked does not depend on the row: worked out once per column.
    ColumnMarks marks;
    const GridColumn& column = model_->Columns()[static_cast<std::size_t>(c)];
    if (column.kind == GridColumnKind::Bits) {
      for (int i = 0; i < model_->ColumnBits(); ++i)
        marks.bits.push_back(model_->MarkOf(column.frame, column.first_char + i));
      marks.any = std::find(marks.bits.begin(), marks.bits.end(), BitMark::Differs) != marks.bits.end();
    }
    for (int r = first_row; r <= last_row; ++r)
      PaintCell(p, c, r, CellRect(c, r), selected_.count(r) > 0, marks);
  }
  for (int r = first_row; r <= last_row; ++r) PaintCell(p, 0, r, CellRect(0, r), selected_.count(r) > 0, {});
  for (int c = 1; c < columns; ++c) {
    const QRect header = CellRect(c, -1);
    if (header.right() < geometry_.width[0] || header.left() > area.right()) continue;
    PaintHeader(p, c, header);
  }
  PaintHeader(p, 0, CellRect(0, -1));
}

void TCompareGrid::PaintHeader(QPainter& p, int column, const QRect& cell) const {
  p.fillRect(cell, kHeaderBack);
  const GridColumn& c = model_->Columns()[static_cast<std::size_t>(column)];
  const int line = cell.height() / kHeaderLines;
  p.setPen(Qt::black);
  auto centred = [&](int line_index, const QString& text) {
    p.drawText(QRect(cell.left(), cell.top() + line_index * line, cell.width(), line), Qt::AlignCenter, text);
  };
  switch (c.kind) {
    case GridColumnKind::RowNumber:
      break;
    case GridColumnKind::Value:
      centred(1, "Value");
      break;
    case GridColumnKind::Checksum:
      centred(1, QString("C%1").arg(c.item));
      break;
    case GridColumnKind::Bits: {
      centred(0, QString::number(column));
      if (model_->HexMode()) break;
      const int bits = model_->ColumnBits();
      for (int i = 0; i < bits; ++i) {
        const int position = c.first_char + i;
        const analysis::BitLetters letters = model_->LettersOf(c.frame, position);
        const QRect slot(cell.left() + CompareGridGeometry::kCellMargin / 2 + i * geometry_.char_width,
                         cell.top() + line, geometry_.char_width, line);
        const int index = model_->LowPre() ? i : bits - 1 - i;
        p.setPen(letters.second != 0 ? Qt::blue : Qt::black);
        p.drawText(slot, Qt::AlignCenter,
                   letters.second != 0 ? QString(QChar(letters.second)) : QString::number(index));
        if (letters.first != 0) {
          p.setPen(letters.first == analysis::kChecksumLetter ? Qt::red : Qt::blue);
          p.drawText(slot.translated(0, line), Qt::AlignCenter, QString(QChar(letters.first)));
        }
      }
      break;
    }
  }
  DrawCellLines(p, c, cell);
}

int TCompareGrid::Baseline(const QRect& cell) const {
  const QFontMetrics fm(font());
  return cell.top() + (cell.height() + fm.ascent() - fm.descent()) / 2;
}

void TCompareGrid::PaintCell(QPainter& p, int column, int row, const QRect& cell, bool selected,
                             const ColumnMarks& marks) const {
  const GridColumn& c = model_->Columns()[static_cast<std::size_t>(column)];
  const bool code_row = row < model_->LineCount();
  if (c.kind == GridColumnKind::RowNumber)
    p.fillRect(cell, kFixedBack);
  else if (selected && code_row)
    p.fillRect(cell, kSelectedBack);
  const QRect text =
      cell.adjusted(CompareGridGeometry::kCellMargin / 2, 0, -CompareGridGeometry::kCellMargin / 2, 0);
  if (code_row) {
    switch (c.kind) {
      case GridColumnKind::RowNumber:
        p.setPen(row == current_row_ ? Qt::blue : Qt::black);
        p.drawText(cell, Qt::AlignCenter, QString::number(row + 1));
        break;
      case GridColumnKind::Bits:
        if (model_->HexMode()) {
          p.setPen(MarkColour(marks.any ? BitMark::Differs : BitMark::Plain, selected));
          p.drawText(QPoint(text.left(), Baseline(cell)), QString::fromStdString(model_->ColumnText(row, c)));
        } else {
          // The grid's font is fixed-pitch: a run of characters of one colour
          // is one text, each character in its own slot.
          const std::string bits = model_->ColumnText(row, c);
          const int count = static_cast<int>(bits.size());
          const int baseline = Baseline(cell);
          for (int i = 0; i < count;) {
            const BitMark mark = marks.bits[static_cast<std::size_t>(i)];
            int j = i + 1;
            while (j < count && marks.bits[static_cast<std::size_t>(j)] == mark) ++j;
            const QColor colour = MarkColour(mark, selected);
            p.setPen(colour);
            p.drawText(QPoint(text.left() + i * geometry_.char_width, baseline),
                       QString::fromLatin1(bits.data() + i, j - i));
            i = j;
          }
        }
        break;
      case GridColumnKind::Value: {
        const std::int32_t value = model_->RunValue(row);
        p.setPen(selected ? Qt::white : Qt::black);
        if (value >= 0) p.drawText(text, Qt::AlignVCenter | Qt::AlignRight, QString::number(value));
        break;
      }
      case GridColumnKind::Checksum: {
        const analysis::ChecksumCell sum = model_->ChecksumOf(row, c.item);
        p.setPen(sum.Matches() ? kMatch : Qt::red);
        p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, QString::fromStdString(model_->ChecksumText(sum)));
        break;
      }
    }
  }
  DrawCellLines(p, c, cell);
}

}  // namespace klimavo::ui
