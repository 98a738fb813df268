#include "ui/widgets/wizard_capture_pane.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/widgets/compare_grid_widget.h"

namespace klimavo::ui {

WizardCapturePane::WizardCapturePane(analysis::CompareGridModel* model, QWidget* parent) : QWidget(parent) {
  setObjectName("pnlCapture");
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(0, 0, 0, 0);
  grid_ = new TCompareGrid(this);
  grid_->SetModel(model);
  layout_->addWidget(grid_, 1);
  actions_ = new QHBoxLayout;
  layout_->addLayout(actions_);
}

void WizardCapturePane::AddRowButtons() {
  clear_all_ = NewButton("btnClearAll", "清除全部");
  delete_rows_ = NewButton("btnDeleteRows", "删除选中行");
  delete_rows_->setShortcut(QKeySequence::Delete);
  actions_->addWidget(clear_all_);
  actions_->addWidget(delete_rows_);
}

QPushButton* WizardCapturePane::NewButton(const char* name, const char* caption) {
  auto* button = new QPushButton(caption, this);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

QAction* WizardCapturePane::AddMenuAction(const char* name, const char* caption, std::function<void()> slot) {
  auto* action = new QAction(caption, grid_);
  action->setObjectName(name);
  connect(action, &QAction::triggered, this, std::move(slot));
  grid_->addAction(action);
  return action;
}

WizardCapturePane::RowOrderActions WizardCapturePane::AddRowOrderActions(
    std::function<void()> remove_duplicates, std::function<void(bool)> sort) {
  RowOrderActions actions;
  actions.remove_duplicates =
      AddMenuAction("mnuRemoveDuplicates", "删除重复的行", std::move(remove_duplicates));
  actions.sort_ascending = AddMenuAction("mnuSortAscending", "根据不同的列的值正序", [sort] { sort(true); });
  actions.sort_descending =
      AddMenuAction("mnuSortDescending", "根据不同的列的值倒序", [sort] { sort(false); });
  return actions;
}

}  // namespace klimavo::ui
