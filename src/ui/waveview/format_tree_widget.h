#pragma once
// A tree control that holds a format tree: one item per node, each carrying a
// copy of the node's record (ShowFormatTree into a Qt tree).

#include <QTreeWidget>

#include "ir/format_tree.h"

namespace klimavo::lang {
class Language;
}

namespace klimavo::ui {

/// The words the built tree's captions start with ("Frame0", "Logic3", "Wave1"),
/// as they are shown: the node keeps its own caption, only the item text changes.
struct TreeCaptionWords {
  QString frame = "Frame";
  QString logic = "Logic";
  QString wave = "Wave";
};

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
  /// Shows the built captions in these words from the next refresh on.
  void SetCaptionWords(TreeCaptionWords words);
  /// The caption words in the language's own texts.
  static TreeCaptionWords CaptionWordsOf(const lang::Language& language);
  /// A caption as shown: a built caption (a caption word and its number) in
  /// `words`, any other caption unchanged.
  static QString ShownCaption(const QString& caption, const TreeCaptionWords& words);
  /// The index in Control().Items of a tree item, -1 for none.
  static int ItemIndex(const QTreeWidgetItem* item);

 private:
  static constexpr int kItemIndexRole = Qt::UserRole + 1;
  ir::FormatTreeControl control_;
  TreeCaptionWords words_;
};

}  // namespace klimavo::ui
