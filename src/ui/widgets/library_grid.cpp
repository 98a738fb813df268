#include "ui/widgets/library_grid.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <algorithm>
#include <utility>

#include "base/date_time.h"
#include "ui/ui_text.h"

namespace klimavo::ui {

LibraryListModel::LibraryListModel(QObject* parent) : QAbstractTableModel(parent) {}

void LibraryListModel::SetRows(const store::TdiskAirList& library, std::vector<int> rows, bool chinese) {
  beginResetModel();
  library_ = &library;
  rows_ = std::move(rows);
  chinese_ = chinese;
  endResetModel();
}

int LibraryListModel::IndexAt(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < rows_.size() ? rows_[static_cast<std::size_t>(row)] : -1;
}

void LibraryListModel::SetHeading(int column, const QString& text) {
  if (column < 0 || column >= kColumns) return;
  headings_[column] = text;
  emit headerDataChanged(Qt::Horizontal, column, column);
}

int LibraryListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int LibraryListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant LibraryListModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !library_ || !index.isValid()) return {};
  const int library_index = IndexAt(index.row());
  if (library_index < 0 || static_cast<std::size_t>(library_index) >= library_->size()) return {};
  const store::TdiskAir& r = (*library_)[static_cast<std::size_t>(library_index)].Record;
  switch (index.column()) {
    case 0:
      return FromGbk(r.Brand.str());
    case 1:
      return FromGbk(r.CodeNo.str());
    case 2:
      return FromGbk(chinese_ ? r.MemoCn.str() : r.MemoEn.str());
    case 3:
      return QString::fromStdString(base::FormatShortDateTime(r.ChangeTime));
    case 4:
      return QString::number(library_index);
    default:
      return {};
  }
}

QVariant LibraryListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumns)
    return {};
  return headings_[section];
}

LibraryGrid::LibraryGrid(QWidget* parent) : QTableView(parent), model_(new LibraryListModel(this)) {
  setModel(model_);
  verticalHeader()->setVisible(false);
  verticalHeader()->setDefaultSectionSize(18);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setHighlightSections(false);
  setWordWrap(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int section) { emit HeadingClicked(section + 1); });
  connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current, const QModelIndex& previous) {
            if (current.isValid() && current.row() != previous.row()) emit RowChanged(current.row() + 1);
          });
  connect(this, &QTableView::clicked, this,
          [this](const QModelIndex& index) { emit RowClicked(index.row() + 1); });
}

void LibraryGrid::SetRows(const store::TdiskAirList& library, std::vector<int> rows, bool chinese) {
  const int current_row = CurrentRow();
  const int current_column = std::max(0, currentIndex().column());
  model_->SetRows(library, std::move(rows), chinese);
  // As a grid whose cells were refilled: the cursor keeps its row where the list still has it.
  const int row = std::min(current_row, Rows());
  if (row > 0)
    selectionModel()->setCurrentIndex(model_->index(row - 1, current_column), QItemSelectionModel::NoUpdate);
}

QString LibraryGrid::Cell(int column, int row) const {
  return model_->data(model_->index(row - 1, column - 1)).toString();
}

QString LibraryGrid::Heading(int column) const {
  return model_->headerData(column - 1, Qt::Horizontal).toString();
}

void LibraryGrid::SetHeading(int column, const QString& text) { model_->SetHeading(column - 1, text); }

void LibraryGrid::SetCurrentRow(int row) {
  if (row >= 1 && row <= Rows())
    setCurrentIndex(model_->index(row - 1, std::max(0, currentIndex().column())));
}

QList<int> LibraryGrid::SelectedRows() const {
  QList<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.append(index.row() + 1);
  if (rows.isEmpty() && CurrentRow() > 0) rows.append(CurrentRow());
  return rows;
}

}  // namespace klimavo::ui
