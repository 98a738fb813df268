#pragma once
// The main window of the workbench.

#include <QMainWindow>

namespace klimavo::app {

class TfrmAirEditor : public QMainWindow {
  Q_OBJECT

 public:
  explicit TfrmAirEditor(QWidget* parent = nullptr);
};

}  // namespace klimavo::app
