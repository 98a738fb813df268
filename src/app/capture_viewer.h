#pragma once
// A window that shows the captures of a file: each capture as a waveform, its
// blind decode as text, and the decoded format's standard form as a format tree
// beside a second waveform in tree mode. Opened by `klimavo --show-capture FILE`.

#include <QMainWindow>

#include <filesystem>
#include <vector>

#include "capture/capture_format.h"
#include "lang/language.h"

class QListWidget;
class QPlainTextEdit;

namespace klimavo::ui {
class TWaveShow;
class TMoveWaveHandle;
class FormatTreeWidget;
}  // namespace klimavo::ui

namespace klimavo::app {

class CaptureViewer : public QMainWindow {
  Q_OBJECT

 public:
  CaptureViewer(std::vector<capture::CaptureRead> captures, double decode_tolerance, const lang::Language& language,
                QString source, QWidget* parent = nullptr);

  /// Shows capture i (its waveform, decode and format tree).
  void ShowCapture(int index);
  ui::TWaveShow* CaptureView() const { return capture_view_; }
  ui::TWaveShow* TreeView() const { return tree_view_; }
  ui::FormatTreeWidget* Tree() const { return tree_; }

 private:
  std::vector<capture::CaptureRead> captures_;
  double tolerance_;
  const lang::Language& language_;
  QListWidget* list_ = nullptr;
  ui::TWaveShow* capture_view_ = nullptr;
  ui::TWaveShow* tree_view_ = nullptr;
  ui::TMoveWaveHandle* capture_bar_ = nullptr;
  ui::TMoveWaveHandle* tree_bar_ = nullptr;
  ui::FormatTreeWidget* tree_ = nullptr;
  QPlainTextEdit* summary_ = nullptr;
};

}  // namespace klimavo::app
