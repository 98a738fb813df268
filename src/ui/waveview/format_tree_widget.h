#pragma once
// A tree control that holds a format tree: one item per node, each carrying a
// copy of the node's record (ShowFormatTree into a Qt tree).

#include <QTreeWidget>

#include "ir/format_tree.h"

namespace klimavo::ui {

class FormatTreeWidget : public QTreeWidget {
  Q_OBJECT

 public:
  explicit FormatTreeWidget(QWidget* parent = nullptr);

  /// Replaces the items by the tree; always succeeds.
  bool ShowFormatTree(const ir::TMyTeeView& view);
  /// The nodes with their records, in depth-first order.
  ir::FormatTreeControl& Control() { return control_; }
  const ir::FormatTreeControl& Control() const { return control_; }
  /// Refreshes the item captions after the records changed.
  void RefreshItems();
  /// The index in Control().Items of a tree item, -1 for none.
  static int ItemIndex(const QTreeWidgetItem* item);

 private:
  static constexpr int kItemIndexRole = Qt::UserRole + 1;
  ir::FormatTreeControl control_;
};

}  // namespace klimavo::ui
