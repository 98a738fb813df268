#pragma once
// A main window over a fresh home, shown, with scripted answers; and the
// helpers that drive it as a user would (right clicks that open context menus).

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "app/main_window.h"
#include "gui_test_support.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::testing {

struct MainWindowFixture {
  explicit MainWindowFixture(bool with_library = true)
      : home(with_library), workbench(home.path()), window(workbench, prompts) {
    window.show();
    QCoreApplication::processEvents();
  }
  ui::LibraryGrid* Library() { return window.findChild<ui::LibraryGrid*>("gridLibrary"); }
  QLineEdit* Edit(const char* name) { return window.findChild<QLineEdit*>(name); }
  QAction* Action(const char* name) { return window.findChild<QAction*>(name); }
  /// The library index shown in list row r.
  int IndexOfRow(int row) { return Library()->Cell(5, row).toInt(); }
  /// The rows selected in the library list.
  QList<int> SelectedRows() {
    QList<int> rows;
    for (const QModelIndex& i : Library()->selectionModel()->selectedRows()) rows << i.row() + 1;
    return rows;
  }

  TestHome home;
  ScriptedPrompts prompts;
  app::Workbench workbench;
  app::TfrmAirEditor window;
};

/// Right-clicks `target` at `pos` through the window system, as a mouse would,
/// and then chooses the context-menu entry named `entry` (or closes the menu
/// with Escape when `entry` is empty). Returns false when no menu opened.
inline bool RightClickAndChoose(QWidget* target, QPoint pos, const QString& entry) {
  bool menu_opened = false;
  QTimer::singleShot(0, [&menu_opened, entry] {
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu) return;
    menu_opened = true;
    QAction* chosen = nullptr;
    for (QAction* a : menu->actions())
      if (!entry.isEmpty() && a->objectName() == entry) chosen = a;
    if (chosen) {
      menu->setActiveAction(chosen);
      QTest::keyClick(menu, Qt::Key_Return);
    } else {
      QTest::keyClick(menu, Qt::Key_Escape);
    }
  });
  QWidget* top = target->window();
  const QPoint in_window = target->mapTo(top, pos);
  QTest::mousePress(top->windowHandle(), Qt::RightButton, Qt::NoModifier, in_window);
  QTest::mouseRelease(top->windowHandle(), Qt::RightButton, Qt::NoModifier, in_window);
  QCoreApplication::processEvents();
  return menu_opened;
}

}  // namespace klimavo::testing
