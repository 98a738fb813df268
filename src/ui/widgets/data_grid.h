#pragma once
// The grid of the workbench's windows: cells addressed by column and row
// (both counted from 1; row 0 is the heading row), headings that wrap, hidden
// columns, a column count set at run time, list-box mode with one selected row,
// browse-only and edit-insert modes, a current row with a change signal,
// heading clicks, an end-of-edit signal (only when a cell's text changed) and
// a context menu per grid.

#include <QTableWidget>

namespace klimavo::ui {

class DataGrid : public QTableWidget {
  Q_OBJECT

 public:
  enum class Mode { ListBox, BrowseOnly, EditInsert };

  explicit DataGrid(QWidget* parent = nullptr);
  using QTableWidget::edit;

  void SetMode(Mode mode);
  void SetColumns(int count);
  int Columns() const { return columnCount(); }
  void SetRows(int count);
  int Rows() const { return rowCount(); }
  QString Cell(int column, int row) const;
  void SetCell(int column, int row, const QString& text);
  QString Heading(int column) const;
  void SetHeading(int column, const QString& text);
  void SetHeadingHeight(int pixels);
  void SetColumnHidden(int column, bool hidden);
  bool IsColumnHidden(int column) const;
  void SetColumnPixels(int column, int pixels);
  /// The current row (1-based), 0 when there is none.
  int CurrentRow() const;
  void SetCurrentRow(int row);
  /// The selected rows (1-based) in selection order.
  QList<int> SelectedRows() const;
  /// A read-only grid opens no editor, whatever its mode.
  void SetReadOnly(bool read_only);
  bool IsReadOnly() const { return read_only_; }

 signals:
  void RowChanged(int row);
  void HeadingClicked(int column);
  void CellEdited(int column, int row);

 protected:
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

 private:
  void ApplyEditTriggers();

  Mode mode_ = Mode::BrowseOnly;
  bool filling_ = false;
  bool read_only_ = false;
  // The cell whose editor is open and its text when it opened: an editor
  // closed without a change is no edit.
  QPersistentModelIndex editing_;
  QString editing_text_;
};

}  // namespace klimavo::ui
