#pragma once
// The capture pane of the two analysis wizards: the comparison grid of the
// captured presses above a row that starts with the buttons "清除全部" and
// "删除选中行" (the wizard adds its own after them), and the helpers that fill
// the grid's pop-up menu, with the row-order items both wizards offer.

#include <QWidget>
#include <functional>

class QAction;
class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

namespace klimavo::analysis {
class CompareGridModel;
}

namespace klimavo::ui {

class TCompareGrid;

class WizardCapturePane : public QWidget {
  Q_OBJECT

 public:
  WizardCapturePane(analysis::CompareGridModel* model, QWidget* parent);

  TCompareGrid* Grid() const { return grid_; }
  QPushButton* ClearAll() const { return clear_all_; }
  QPushButton* DeleteRows() const { return delete_rows_; }
  /// The pane's column: the grid (stretch 1) and the action row. A wizard may
  /// put rows of its own above and below them.
  QVBoxLayout* Layout() const { return layout_; }
  /// The row under the grid; the wizard appends its own buttons and settings.
  QHBoxLayout* ActionRow() const { return actions_; }
  /// Puts "清除全部" and "删除选中行" (shortcut Delete) first in the action row.
  /// A call of its own, so that a wizard can create the widgets beside the
  /// grid first and keep its tab order.
  void AddRowButtons();
  /// A button of the pane that is not placed yet: the wizard adds it to the
  /// action row in the order it shows them.
  QPushButton* NewButton(const char* name, const char* caption);

  /// Appends a named item to the grid's pop-up menu.
  QAction* AddMenuAction(const char* name, const char* caption, std::function<void()> slot);

  /// The row-order items both wizards put first in the grid's menu.
  struct RowOrderActions {
    QAction* remove_duplicates = nullptr;
    QAction* sort_ascending = nullptr;
    QAction* sort_descending = nullptr;
  };
  /// `sort(true)` sorts ascending by the differing columns, `sort(false)` descending.
  RowOrderActions AddRowOrderActions(std::function<void()> remove_duplicates, std::function<void(bool)> sort);

 private:
  QVBoxLayout* layout_ = nullptr;
  TCompareGrid* grid_ = nullptr;
  QHBoxLayout* actions_ = nullptr;
  QPushButton* clear_all_ = nullptr;
  QPushButton* delete_rows_ = nullptr;
};

}  // namespace klimavo::ui
