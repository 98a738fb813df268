#include "ui/waveview/format_tree_widget.h"

#include <utility>
#include <vector>

#include "lang/language.h"
#include "ui/ui_text.h"

namespace klimavo::ui {
namespace {

constexpr int kTextFrame = 48;
constexpr int kTextLogic = 274;
constexpr int kTextWave = 275;

}  // namespace

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
    QString caption = ShownCaption(FromGbk(node.Caption), words_);
    if (const auto* leaf = std::get_if<ir::FormatLeafRecord>(&node.Record))
      caption += "  " + FromGbk(leaf->Text);
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

void FormatTreeWidget::SetCaptionWords(TreeCaptionWords words) { words_ = std::move(words); }

TreeCaptionWords FormatTreeWidget::CaptionWordsOf(const lang::Language& language) {
  return TreeCaptionWords{LangText(language, kTextFrame), LangText(language, kTextLogic),
                          LangText(language, kTextWave)};
}

QString FormatTreeWidget::ShownCaption(const QString& caption, const TreeCaptionWords& words) {
  const TreeCaptionWords built;
  const std::pair<const QString&, const QString&> pairs[] = {
      {built.frame, words.frame}, {built.logic, words.logic}, {built.wave, words.wave}};
  for (const auto& [word, shown] : pairs) {
    if (!caption.startsWith(word) || caption.size() == word.size()) continue;
    const QString number = caption.mid(word.size());
    bool all_digits = true;
    for (QChar c : number) all_digits = all_digits && c.isDigit();
    if (all_digits) return shown + number;
  }
  return caption;
}

int FormatTreeWidget::ItemIndex(const QTreeWidgetItem* item) {
  return item ? item->data(0, kItemIndexRole).toInt() : -1;
}

}  // namespace klimavo::ui
