#pragma once
// TCompareGrid: the code comparison grid as an owner-drawn widget over
// analysis::CompareGridModel. One code per row, one group of columns per frame,
// a fixed header row (column numbers, bit indexes, field letters) and a fixed
// row-number column; differing bits red, bits of other keys' fields blue, the
// value of the chosen run (or in checksum mode the checksums, green when they
// match) in the last columns. The run chooser ("No.1", "No.2", ...) is a combo
// box the grid owns and the window places.

#include <QAbstractScrollArea>
#include <set>
#include <vector>

#include "analysis/compare_grid.h"

class QComboBox;

namespace klimavo::ui {

/// Where each column and row of the grid lies, in unscrolled pixels.
struct CompareGridGeometry {
  static constexpr int kHeaderHeight = 48;
  static constexpr int kRowNumberWidth = 26;
  static constexpr int kCellMargin = 8;

  int char_width = 8;
  int row_height = 18;
  int rows = 1;  ///< the model's rows and one empty row
  std::vector<int> left;
  std::vector<int> width;

  static CompareGridGeometry Of(const analysis::CompareGridModel& model, int char_width, int row_height);
  int TotalWidth() const { return left.empty() ? 0 : left.back() + width.back(); }
  int TotalHeight() const { return kHeaderHeight + rows * row_height; }
  /// The column at an unscrolled x, or -1.
  int ColumnAt(int x) const;
};

class TCompareGrid : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit TCompareGrid(QWidget* parent = nullptr);
  ~TCompareGrid() override;

  /// Shows a model (not owned; it must outlive the grid or be replaced first).
  void SetModel(analysis::CompareGridModel* model);
  analysis::CompareGridModel* Model() const { return model_; }
  QComboBox* RunChooser() const { return run_chooser_; }
  const CompareGridGeometry& Geometry() const { return geometry_; }

  /// The row with the focus, -1 when none.
  int CurrentRow() const { return current_row_; }
  /// The model column last clicked, -1 when none.
  int CurrentColumn() const { return current_column_; }
  std::vector<int> SelectedRows() const { return {selected_.begin(), selected_.end()}; }
  /// Makes a row current and the only one selected (-1 clears the selection).
  void SelectRow(int row);
  /// The rectangle of a cell in viewport coordinates (row -1: the header).
  QRect CellRect(int column, int row) const;
  /// Draws the visible part of the grid, as the widget does, onto any painter.
  void Render(QPainter& painter, const QRect& area) const;

 signals:
  void CurrentRowChanged(int row);
  void SelectionChanged();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool viewportEvent(QEvent* event) override;

 private:
  void ModelChanged(analysis::GridChange change);
  void Relayout();
  void RefillRunChooser();
  void MoveCurrent(int row, bool extend);
  void PaintHeader(QPainter& p, int column, const QRect& cell) const;
  /// The marks of a bit column's characters, the same in every row.
  struct ColumnMarks {
    std::vector<analysis::BitMark> bits;
    bool any = false;  ///< some bit differs (checksum mode: lies in a checksum target)
  };
  void PaintCell(QPainter& p, int column, int row, const QRect& cell, bool selected,
                 const ColumnMarks& marks) const;
  int RowAt(int y) const;
  /// Where the text of a cell stands (point-placed text draws faster than aligned text).
  int Baseline(const QRect& cell) const;

  analysis::CompareGridModel* model_ = nullptr;
  QComboBox* run_chooser_ = nullptr;
  CompareGridGeometry geometry_;
  std::set<int> selected_;
  int current_row_ = -1;
  int current_column_ = -1;
  int anchor_row_ = -1;
  int run_items_ = -1;
};

}  // namespace klimavo::ui
