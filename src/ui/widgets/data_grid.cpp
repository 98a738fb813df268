#include "ui/widgets/data_grid.h"

#include <QHeaderView>
#include <algorithm>

namespace klimavo::ui {

DataGrid::DataGrid(QWidget* parent) : QTableWidget(parent) {
  verticalHeader()->setVisible(false);
  verticalHeader()->setDefaultSectionSize(18);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  horizontalHeader()->setHighlightSections(false);
  setWordWrap(true);
  SetMode(Mode::BrowseOnly);
  connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int section) { emit HeadingClicked(section + 1); });
  connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int, int previous_row, int) {
    if (row != previous_row && row >= 0) emit RowChanged(row + 1);
  });
  connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (filling_) return;
    const bool unchanged = editing_.isValid() && editing_.row() == item->row() &&
                           editing_.column() == item->column() && editing_text_ == item->text();
    if (!unchanged) emit CellEdited(item->column() + 1, item->row() + 1);
  });
}

void DataGrid::SetMode(Mode mode) {
  mode_ = mode;
  switch (mode) {
    case Mode::ListBox:
      setSelectionBehavior(QAbstractItemView::SelectRows);
      setSelectionMode(QAbstractItemView::ExtendedSelection);
      break;
    case Mode::BrowseOnly:
    case Mode::EditInsert:
      setSelectionBehavior(QAbstractItemView::SelectItems);
      setSelectionMode(QAbstractItemView::SingleSelection);
      break;
  }
  ApplyEditTriggers();
}

void DataGrid::SetReadOnly(bool read_only) {
  read_only_ = read_only;
  ApplyEditTriggers();
}

void DataGrid::ApplyEditTriggers() {
  const bool editable = mode_ == Mode::EditInsert && !read_only_;
  setEditTriggers(editable ? QAbstractItemView::AllEditTriggers : QAbstractItemView::NoEditTriggers);
}

bool DataGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  if (read_only_) return false;
  const bool opened = QTableWidget::edit(index, trigger, event);
  if (opened) {
    editing_ = index;
    editing_text_ = index.data(Qt::EditRole).toString();
  }
  return opened;
}

void DataGrid::SetColumns(int count) { setColumnCount(count); }

void DataGrid::SetRows(int count) { setRowCount(std::max(0, count)); }

QString DataGrid::Cell(int column, int row) const {
  const QTableWidgetItem* it = item(row - 1, column - 1);
  return it ? it->text() : QString();
}

void DataGrid::SetCell(int column, int row, const QString& text) {
  if (row < 1 || column < 1 || row > rowCount() || column > columnCount()) return;
  filling_ = true;
  QTableWidgetItem* it = item(row - 1, column - 1);
  if (!it) {
    it = new QTableWidgetItem(text);
    setItem(row - 1, column - 1, it);
  } else {
    it->setText(text);
  }
  filling_ = false;
}

QString DataGrid::Heading(int column) const {
  const QTableWidgetItem* it = horizontalHeaderItem(column - 1);
  return it ? it->text() : QString();
}

void DataGrid::SetHeading(int column, const QString& text) {
  if (column < 1 || column > columnCount()) return;
  QTableWidgetItem* it = horizontalHeaderItem(column - 1);
  if (!it) {
    setHorizontalHeaderItem(column - 1, new QTableWidgetItem(text));
  } else {
    it->setText(text);
  }
}

void DataGrid::SetHeadingHeight(int pixels) { horizontalHeader()->setFixedHeight(pixels); }

void DataGrid::SetColumnHidden(int column, bool hidden) { setColumnHidden(column - 1, hidden); }

bool DataGrid::IsColumnHidden(int column) const { return isColumnHidden(column - 1); }

void DataGrid::SetColumnPixels(int column, int pixels) { setColumnWidth(column - 1, pixels); }

int DataGrid::CurrentRow() const { return currentRow() + 1; }

void DataGrid::SetCurrentRow(int row) {
  if (row >= 1 && row <= rowCount()) setCurrentCell(row - 1, std::max(0, currentColumn()));
}

QList<int> DataGrid::SelectedRows() const {
  QList<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows()) rows.append(index.row() + 1);
  if (rows.isEmpty() && currentRow() >= 0) rows.append(currentRow() + 1);
  return rows;
}

}  // namespace klimavo::ui
