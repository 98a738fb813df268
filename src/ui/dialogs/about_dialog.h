#pragma once
// The about box: product title, web and e-mail addresses, version.

#include <QDialog>
#include <filesystem>

#include "lang/language.h"

namespace klimavo::ui {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  AboutDialog(const std::filesystem::path& home, const lang::Language& language, QWidget* parent = nullptr);
};

}  // namespace klimavo::ui
