#pragma once
// The remote check's grid (`TAcCheckedGrid`): a drawn grid over a
// CheckGridModel with one fixed column (row numbers) and one fixed row (column
// numbers, or in binary mode the bit numbers, the field letters and the column
// index). A cell holds 8 bits: in binary mode each digit is red when flagged,
// blue inside a known field, black otherwise; in hexadecimal mode two digits,
// red when a bit of them is flagged. A selected cell is drawn white on the
// selection colour.

#include <QAbstractScrollArea>

#include "analysis/check_grid.h"

namespace klimavo::ui {

class CheckGridView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit CheckGridView(QWidget* parent = nullptr);

  analysis::CheckGridModel& Model() { return model_; }
  const analysis::CheckGridModel& Model() const { return model_; }

  /// Adds a line, lays the grid out again and scrolls to the last line.
  void AddLine(analysis::TAcChkedLine line);
  /// Empties the grid ("Delete All").
  void Clear();
  void SetHexadecimal(bool hexadecimal);
  bool Hexadecimal() const { return hexadecimal_; }
  /// Lays out and repaints after the model changed.
  void Relayout();

  // Geometry, for drawing and tests.
  int ColumnCount() const;  ///< cell columns + 1 (2 when there are none)
  int RowCount() const;     ///< lines + 2
  int ColumnWidth(int column) const;
  int RowHeight(int row) const;
  /// The cell (column, row) under a viewport point; (-1, -1) outside.
  QPoint CellAt(const QPoint& point) const;
  QPoint CurrentCell() const { return current_; }

 signals:
  /// A cell of line `line` (from 0) became current, by a click or a key.
  void LineChosen(int line);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void PaintHeadingCell(QPainter& painter, const QRect& rect, int column) const;
  void PaintCell(QPainter& painter, const QRect& rect, int column, int row, bool selected) const;
  int ColumnX(int column) const;  ///< content x of a column (column 0 fixed)
  int RowY(int row) const;
  void UpdateScrollBars();
  void SetCurrent(QPoint cell);

  analysis::CheckGridModel model_;
  bool hexadecimal_ = false;
  bool laid_out_ = false;
  QPoint current_{-1, -1};  ///< no cell selected until one is clicked
};

}  // namespace klimavo::ui
