#pragma once
// Applies the per-window entries of the language file to a Qt window: the
// entries address components by their object names and Delphi-style property
// paths ("lblBrand.Caption", "Font.Name", "gridLibrary.Col[3].Heading"); the
// mapping from those property names to Qt properties lives here, in one place.

#include <QWidget>

#include "lang/language.h"

namespace klimavo::ui {

/// Applies the entries of the window's section (by its objectName) for the
/// language's current number, with the fallback to the base language.
void TranslateForm(QWidget* window, const lang::Language& language);
/// Applies one path=value entry (UTF-8) to a window.
void ApplyFormEntry(QWidget* window, const std::string& path, const QString& value);

}  // namespace klimavo::ui
