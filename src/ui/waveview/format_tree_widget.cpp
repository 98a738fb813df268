#include "ui/waveview/format_tree_widget.h"

#include <vector>

#include "base/gbk.h"

namespace klimavo::ui {

FormatTreeWidget::FormatTreeWidget(QWidget* parent) : QTreeWidget(parent) {
  setObjectName("FormatTree");
  setHeaderHidden(true);
  setColumnCount(1);
}

bool FormatTreeWidget::ShowFormatTree(const ir::TMyTeeView& view) {
  ir::ShowFormatTree(view, control_);
  RefreshItems();
  return true;
}

void FormatTreeWidget::RefreshItems() {
  clear();
  std::vector<QTreeWidgetItem*> items;
  items.reserve(control_.Items.size());
  for (const auto& node : control_.Items) {
    QString caption = QString::fromStdString(base::GbkToUtf8(node.Caption));
    if (const auto* leaf = std::get_if<ir::FormatLeafRecord>(&node.Record))
      caption += "  " + QString::fromStdString(base::GbkToUtf8(leaf->Text));
    QTreeWidgetItem* item = nullptr;
    if (node.Parent >= 0 && static_cast<std::size_t>(node.Parent) < items.size())
      item = new QTreeWidgetItem(items[static_cast<std::size_t>(node.Parent)], QStringList{caption});
    else
      item = new QTreeWidgetItem(this, QStringList{caption});
    item->setData(0, kItemIndexRole, static_cast<int>(items.size()));
    items.push_back(item);
  }
  expandAll();
}

int FormatTreeWidget::ItemIndex(const QTreeWidgetItem* item) {
  return item ? item->data(0, kItemIndexRole).toInt() : -1;
}

}  // namespace klimavo::ui
