// The main window's layout between runs (geometry, panes, library columns),
// its minimum size, the menu entries of the tool-bar and list commands, the
// read-only state of the editors and the commands that are not built yet.
#include <QAction>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QToolBar>
#include <algorithm>
#include <array>

#include "app/main_window.h"
#include "base/file_error.h"
#include "config/window_layout.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::app {
namespace {

constexpr config::WindowSize kFirstStartSize{1047, 569};
constexpr std::size_t kPaneCount = 3;
constexpr int kLibraryColumns = 4;  // the visible ones; the fifth holds the library index
constexpr int kMemoColumn = 3;
// The widths the list starts from; FitLibraryColumns widens them to their texts.
constexpr std::array<int, kLibraryColumns> kLibraryColumnWidths = {54, 46, 143, 77};
constexpr int kMaxFittedColumnWidth = 120;
constexpr std::array<int, kPaneCount> kPaneMinimumWidths = {240, 170, 345};
constexpr int kColumnPadding = 14;
// The rows whose texts the fitted widths are measured on: enough to see every
// kind of text, few enough that a list of 100,000 records opens at once.
constexpr int kFittedRows = 2000;
// The window never gets smaller than its layout needs, nor than this.
constexpr QSize kMinimumFloor(640, 480);

config::WindowRect ToRect(const QRect& r) { return {r.x(), r.y(), r.width(), r.height()}; }

// A menu text as a button shows it: without its mnemonic ("&Save", "保存(&S)") or a trailing "...".
QString WithoutMnemonic(QString text) {
  static const QRegularExpression kBracketed(R"(\(&[^&]\))");
  text.remove(kBracketed);
  text.replace("&&", QString(QChar(0x1))).remove('&').replace(QChar(0x1), "&");
  if (text.endsWith("...")) text.chop(3);
  return text.trimmed();
}

QAction* ActionAfter(QMenu* menu, QAction* action) {
  const QList<QAction*> actions = menu->actions();
  const qsizetype i = actions.indexOf(action);
  return i >= 0 && i + 1 < actions.size() ? actions[i + 1] : nullptr;
}

}  // namespace

void TfrmAirEditor::CompleteMenus() {
  // File: New, Save, Save as | Import..., Export..., Delete | Exit. The list's
  // commands are the same actions as in its context menu.
  auto* file = findChild<QMenu*>("mnuFile");
  file->insertAction(ActionAfter(file, actn_save_), act_save_as_);
  QList<QAction*> list_commands;
  for (const char* name : {"mnuImport", "mnuExport", "mnuDeleteRecords"})
    list_commands << library_grid_->findChild<QAction*>(name);
  file->insertActions(actn_close_, list_commands);
  file->insertSeparator(actn_close_);
  // Delete removes the selected records while the list has the focus.
  QAction* delete_records = list_commands.back();
  delete_records->setShortcut(QKeySequence::Delete);
  delete_records->setShortcutContext(Qt::WidgetWithChildrenShortcut);

  // Tools: the tool-bar commands in tool-bar order, before Update.
  auto* tools = findChild<QMenu*>("mnuTools");
  auto* bar = findChild<QToolBar*>("ToolBar");
  auto action = [bar](const char* name) { return bar->findChild<QAction*>(name); };
  QAction* before = ActionAfter(tools, act_auto_wizard_);
  tools->insertActions(before, {actn_checked_, actn_re_geshi_});
  tools->insertSeparator(before);
  tools->insertActions(before, {action("btnNearCapture"), action("btnFarCapture")});
  tools->insertSeparator(before);
  tools->insertActions(before,
                       {actn_program_, actn_send_, action("btnCompareCode"), action("btnCheckImages")});
}

void TfrmAirEditor::SetPaneMinimums() {
  // Each pane keeps room for its controls and texts (in the current language):
  // record fields and keys, the model column and picture buttons, the keyword
  // row and a readable list.
  auto* splitter = findChild<QSplitter*>("splitter");
  for (int i = 0; i < splitter->count() && i < static_cast<int>(kPaneMinimumWidths.size()); ++i) {
    QWidget* pane = splitter->widget(i);
    pane->setMinimumWidth(0);
    if (pane->layout()) pane->layout()->activate();
    pane->setMinimumWidth(
        std::max(kPaneMinimumWidths[static_cast<std::size_t>(i)], pane->minimumSizeHint().width()));
  }
}

void TfrmAirEditor::SetUpLibraryColumns() {
  QHeaderView* header = library_grid_->horizontalHeader();
  header->setStretchLastSection(false);
  header->setMinimumSectionSize(config::kMinColumnWidth);
  for (int c = 1; c <= kLibraryColumns; ++c) {
    header->setSectionResizeMode(c - 1, c == kMemoColumn ? QHeaderView::Stretch : QHeaderView::Interactive);
    library_grid_->SetColumnPixels(c, kLibraryColumnWidths[static_cast<std::size_t>(c - 1)]);
  }
}

void TfrmAirEditor::FitLibraryColumns() {
  // Brand, code number and change time as wide as their widest text (within
  // bounds), so the memo column, which stretches, gets the rest.
  const QFontMetrics metrics(library_grid_->font());
  const QFontMetrics heading_metrics(library_grid_->horizontalHeader()->font());
  for (int c = 1; c <= kLibraryColumns; ++c) {
    if (c == kMemoColumn) continue;
    int width = kLibraryColumnWidths[static_cast<std::size_t>(c - 1)];
    width = std::max(width, heading_metrics.horizontalAdvance(library_grid_->Heading(c)) + kColumnPadding);
    const int rows = std::min(library_grid_->Rows(), kFittedRows);
    for (int r = 1; r <= rows && width < kMaxFittedColumnWidth; ++r)
      width = std::max(width, metrics.horizontalAdvance(library_grid_->Cell(c, r)) + kColumnPadding);
    library_grid_->SetColumnPixels(c, std::min(width, kMaxFittedColumnWidth));
  }
}

void TfrmAirEditor::ApplyToolBarTexts() {
  // Tool-bar buttons show the command without the menu's mnemonic; so does a hint that is only the caption.
  for (QAction* action : findChild<QToolBar*>("ToolBar")->actions()) {
    if (action->isSeparator()) continue;
    const QString plain = WithoutMnemonic(action->text());
    const bool hint_is_caption =
        action->toolTip() == QString(action->text()).remove('&') || action->toolTip() == action->iconText();
    action->setIconText(plain);
    if (hint_is_caption) action->setToolTip(plain);
  }
}

void TfrmAirEditor::UpdateMinimumSize() {
  ensurePolished();
  SetPaneMinimums();
  setMinimumSize(0, 0);
  if (layout()) layout()->activate();
  setMinimumSize(minimumSizeHint().expandedTo(kMinimumFloor));
}

void TfrmAirEditor::RestoreWindowLayout() {
  UpdateMinimumSize();
  config::WindowLayout layout;
  try {
    layout = config::ReadWindowLayout(workbench_.ConfigFile(), kPaneCount, kLibraryColumns);
  } catch (const base::FileError&) {
    // An unreadable config.ini gives the defaults, as for every other setting.
  }
  std::vector<config::WindowRect> screens;
  if (QScreen* primary = QGuiApplication::primaryScreen())
    screens.push_back(ToRect(primary->availableGeometry()));
  for (QScreen* screen : QGuiApplication::screens())
    if (screen != QGuiApplication::primaryScreen()) screens.push_back(ToRect(screen->availableGeometry()));
  const config::WindowRect placed =
      config::PlaceWindow(layout.geometry, kFirstStartSize, {minimumWidth(), minimumHeight()}, screens);
  setGeometry(placed.x, placed.y, placed.width, placed.height);
  if (layout.maximised) setWindowState(windowState() | Qt::WindowMaximized);
  // The panes get their sizes once the window has its own (at the first show).
  pending_splitter_sizes_ = layout.splitters;
  if (!layout.library_columns.empty()) {
    for (int c = 1; c <= kLibraryColumns; ++c)
      if (c != kMemoColumn)
        library_grid_->SetColumnPixels(c, layout.library_columns[static_cast<std::size_t>(c - 1)]);
    library_columns_restored_ = true;
  }
}

void TfrmAirEditor::ApplySavedPaneSizes() {
  if (pending_splitter_sizes_.empty()) return;
  findChild<QSplitter*>("splitter")
      ->setSizes(QList<int>(pending_splitter_sizes_.begin(), pending_splitter_sizes_.end()));
  pending_splitter_sizes_.clear();
}

void TfrmAirEditor::SaveWindowLayout() {
  config::WindowLayout layout;
  layout.maximised = isMaximized();
  layout.geometry = ToRect(layout.maximised ? normalGeometry() : geometry());
  const QList<int> sizes = findChild<QSplitter*>("splitter")->sizes();
  layout.splitters.assign(sizes.begin(), sizes.end());
  for (int c = 1; c <= kLibraryColumns; ++c)
    layout.library_columns.push_back(
        std::clamp(library_grid_->columnWidth(c - 1), config::kMinColumnWidth, config::kMaxColumnWidth));
  try {
    config::WriteWindowLayout(workbench_.ConfigFile(), layout);
  } catch (const base::FileError&) {
    // The layout is a convenience: a config.ini that cannot be written must not keep the window open.
  }
}

void TfrmAirEditor::ApplyReadOnlyState() {
  // Read Only: nothing of the record can be changed, so nothing typed is lost.
  const bool read_only = workbench_.settings.ReadOnlyMode;
  brand_edit_->setReadOnly(read_only);
  code_edit_->setReadOnly(read_only);
  memo_edit_->setReadOnly(read_only);
  model_grid_->SetReadOnly(read_only);
  key_list_->findChild<QAction*>("mnuRenameKey")->setEnabled(!read_only);
  // Edit keys works on a stored record only.
  key_list_->findChild<QAction*>("mnuEditKeys")->setEnabled(!read_only && session_.Index() >= 0);
  model_grid_->findChild<QAction*>("mnuDeleteModel")->setEnabled(!read_only);
  load_picture_button_->setEnabled(session_.Index() >= 0 && !read_only);
  clear_picture_button_->setEnabled(session_.Index() >= 0 && !read_only);
  act_save_as_->setEnabled(!read_only);
}

}  // namespace klimavo::app
