#pragma once
// Applies the per-window entries of the language file to a Qt window: each
// entry names a component of the window by its object name and one of its
// texts by the language file's own property path ("lblBrand.Caption",
// "Font.Name", "gridLibrary.Col[3].Heading"); how those paths map to Qt
// properties lives here, in one place.

#include <QWidget>

#include "lang/language.h"

namespace klimavo::ui {

/// Applies the entries of the window's section (by its objectName) for the
/// language's current number, with the fallback to the base language.
void TranslateForm(QWidget* window, const lang::Language& language);
/// Applies one path=value entry (UTF-8) to a window.
void ApplyFormEntry(QWidget* window, const std::string& path, const QString& value);

}  // namespace klimavo::ui
