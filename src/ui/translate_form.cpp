#include "ui/translate_form.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>

#include "base/text.h"
#include "lang/form_entry.h"
#include "ui/ui_text.h"
#include "ui/widgets/data_grid.h"
#include "ui/widgets/library_grid.h"

namespace klimavo::ui {
namespace {

// Sets a text property ("Caption", "Hint", "Text", "Title") of one object.
bool SetTextProperty(QObject* object, const QString& property, const QString& value) {
  const QString p = property.toUpper();
  if (auto* action = qobject_cast<QAction*>(object)) {
    if (p == "CAPTION")
      action->setText(value);
    else if (p == "HINT") {
      action->setToolTip(value);
      action->setStatusTip(value);
    } else
      return false;
    return true;
  }
  if (auto* menu = qobject_cast<QMenu*>(object)) {
    if (p != "CAPTION") return false;
    menu->setTitle(value);
    return true;
  }
  auto* widget = qobject_cast<QWidget*>(object);
  if (!widget) return false;
  if (p == "HINT") {
    widget->setToolTip(value);
    widget->setStatusTip(value);
    return true;
  }
  if (p != "CAPTION" && p != "TEXT") return false;
  if (widget->isWindow())
    widget->setWindowTitle(value);
  else if (auto* label = qobject_cast<QLabel*>(widget))
    label->setText(value);
  else if (auto* button = qobject_cast<QAbstractButton*>(widget))
    button->setText(value);
  else if (auto* group = qobject_cast<QGroupBox*>(widget))
    group->setTitle(value);
  else if (auto* edit = qobject_cast<QLineEdit*>(widget))
    edit->setText(value);
  else
    return false;
  return true;
}

// A list of strings ("Items", "Lines"): item i replaces line i while lines exist.
bool SetListProperty(QObject* object, const QString& value) {
  const auto items = lang::SplitListValue(value.toStdString());
  if (auto* combo = qobject_cast<QComboBox*>(object)) {
    for (int i = 0; i < combo->count() && i < static_cast<int>(items.size()); ++i)
      combo->setItemText(i, QString::fromStdString(items[static_cast<std::size_t>(i)]));
    return true;
  }
  if (auto* list = qobject_cast<QListWidget*>(object)) {
    for (int i = 0; i < list->count() && i < static_cast<int>(items.size()); ++i)
      list->item(i)->setText(QString::fromStdString(items[static_cast<std::size_t>(i)]));
    return true;
  }
  return false;
}

void SetFontName(QWidget* window, const QString& name) {
  QFont font = window->font();
  font.setFamilies({name, font.family()});
  window->setFont(font);
}

}  // namespace

void ApplyFormEntry(QWidget* window, const std::string& path, const QString& value) {
  const lang::FormEntryPath entry = lang::ParseFormEntryPath(path);
  const QString property = QString::fromStdString(entry.property);
  switch (entry.target) {
    case lang::EntryTarget::kWindowProperty:
      SetTextProperty(window, property, value);
      return;
    case lang::EntryTarget::kFontName:
      SetFontName(window, value);
      return;
    case lang::EntryTarget::kFontSize:
      if (auto size = lang::EntryIntegerValue(value.toStdString()); size && *size > 0 && *size < 100) {
        QFont font = window->font();
        font.setPointSize(static_cast<int>(*size));
        window->setFont(font);
      }
      return;
    case lang::EntryTarget::kComponentProperty: {
      QObject* object = window->findChild<QObject*>(QString::fromStdString(entry.component));
      if (!object) return;
      const QString p = property.toUpper();
      if (p == "ITEMS" || p == "LINES")
        SetListProperty(object, value);
      else
        SetTextProperty(object, property, value);
      return;
    }
    case lang::EntryTarget::kSubProperty: {
      QObject* object = window->findChild<QObject*>(QString::fromStdString(entry.component));
      if (!object) return;
      if (auto* grid = qobject_cast<DataGrid*>(object); grid && entry.column) {
        grid->SetHeading(*entry.column, value);
        return;
      }
      if (auto* list = qobject_cast<LibraryGrid*>(object); list && entry.column) {
        list->SetHeading(*entry.column, value);
        return;
      }
      // A labelled edit: its label is the QLabel whose buddy it is.
      if (auto* widget = qobject_cast<QWidget*>(object)) {
        for (QLabel* label : window->findChildren<QLabel*>())
          if (label->buddy() == widget) label->setText(value);
      }
      return;
    }
    default:
      return;
  }
}

void TranslateForm(QWidget* window, const lang::Language& language) {
  for (const auto& [path, value] : language.FormEntries(window->objectName().toStdString()))
    ApplyFormEntry(window, path, FromGbk(value));
}

}  // namespace klimavo::ui
