#pragma once
// The library list of the main window as a model/view table: the rows are a
// vector of library indices over the library's records (no item per cell),
// so a library of 100,000 records is filtered, sorted and shown at once.
// Cells are addressed as in DataGrid: columns brand, code number, memo,
// change time and the (hidden) library index, counted from 1; rows from 1.

#include <QAbstractTableModel>
#include <QTableView>
#include <vector>

#include "store/protocol_record.h"

namespace klimavo::ui {

/// The library list's rows: library indices shown with their record's texts.
class LibraryListModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  static constexpr int kColumns = 5;
  explicit LibraryListModel(QObject* parent = nullptr);

  /// Shows `rows` (library indices) of `library` with the memo of the
  /// language (Chinese when `chinese`). `library` must outlive the model's
  /// next SetRows.
  void SetRows(const store::TdiskAirList& library, std::vector<int> rows, bool chinese);
  /// The library index of a row (0-based); -1 outside the list.
  int IndexAt(int row) const;
  void SetHeading(int column, const QString& text);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  const store::TdiskAirList* library_ = nullptr;
  std::vector<int> rows_;
  bool chinese_ = false;
  QString headings_[kColumns];
};

class LibraryGrid : public QTableView {
  Q_OBJECT

 public:
  explicit LibraryGrid(QWidget* parent = nullptr);

  /// Shows the rows; the current row stays where it was (within the new count).
  void SetRows(const store::TdiskAirList& library, std::vector<int> rows, bool chinese);
  int Columns() const { return LibraryListModel::kColumns; }
  int Rows() const { return model_->rowCount(); }
  QString Cell(int column, int row) const;
  /// The library index of a row (1-based); -1 outside the list.
  int IndexAt(int row) const { return model_->IndexAt(row - 1); }
  QString Heading(int column) const;
  void SetHeading(int column, const QString& text);
  void SetColumnHidden(int column, bool hidden) { setColumnHidden(column - 1, hidden); }
  bool IsColumnHidden(int column) const { return isColumnHidden(column - 1); }
  void SetColumnPixels(int column, int pixels) { setColumnWidth(column - 1, pixels); }
  /// The current row (1-based), 0 when there is none.
  int CurrentRow() const { return currentIndex().isValid() ? currentIndex().row() + 1 : 0; }
  void SetCurrentRow(int row);
  /// The selected rows (1-based) in selection order; the current row when none is selected.
  QList<int> SelectedRows() const;

 signals:
  /// The current row changed (1-based).
  void RowChanged(int row);
  /// A click on a row (1-based), also on the current one.
  void RowClicked(int row);
  /// A click on a heading (1-based column).
  void HeadingClicked(int column);

 private:
  LibraryListModel* model_;
};

}  // namespace klimavo::ui
