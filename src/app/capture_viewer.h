#pragma once
// A window that shows the captures of a file: each capture as a waveform, its
// blind decode as text, and the decoded format's standard form as a format tree
// beside a second waveform in tree mode. Opened by `klimavo --show-capture FILE`.
// The list names each capture with its source file and line and can be searched.

#include <QMainWindow>
#include <filesystem>
#include <vector>

#include "capture/capture_format.h"
#include "lang/language.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;

namespace klimavo::ui {
class TWaveShow;
class TMoveWaveHandle;
class FormatTreeWidget;
}  // namespace klimavo::ui

namespace klimavo::app {

/// The captures of a file, or the message to show when it cannot be read.
struct CaptureFileLoad {
  std::vector<capture::CaptureRead> captures;
  QString error;  ///< empty when the file was read
  bool ok() const { return error.isEmpty(); }
};

/// Reads a capture file for the viewer; the error names the file, line and token at fault.
CaptureFileLoad LoadCaptureFile(const QString& file, const lang::Language& language);

class CaptureViewer : public QMainWindow {
  Q_OBJECT

 public:
  CaptureViewer(std::vector<capture::CaptureRead> captures, double decode_tolerance,
                const lang::Language& language, QString source, QWidget* parent = nullptr);

  /// Shows capture i (its waveform, decode and format tree), from its beginning.
  void ShowCapture(int index);
  /// Lists only the captures whose name, source or line contains the text (any case).
  void Search(const QString& text);
  /// Zooms both waveforms so that the whole capture and its standard form are in view.
  void FitWholeCapture();
  /// The capture shown, -1 for none.
  int ShownCapture() const { return shown_; }
  /// The text of capture i's row in the list.
  QString RowText(int index) const;
  ui::TWaveShow* CaptureView() const { return capture_view_; }
  ui::TWaveShow* TreeView() const { return tree_view_; }
  ui::FormatTreeWidget* Tree() const { return tree_; }
  QListWidget* List() const { return list_; }

 private:
  void BuildMenus();
  void UpdateCount();

  std::vector<capture::CaptureRead> captures_;
  double tolerance_;
  const lang::Language& language_;
  QString source_;
  int shown_ = -1;
  QLineEdit* search_ = nullptr;
  QLabel* count_ = nullptr;
  QListWidget* list_ = nullptr;
  ui::TWaveShow* capture_view_ = nullptr;
  ui::TWaveShow* tree_view_ = nullptr;
  ui::TMoveWaveHandle* capture_bar_ = nullptr;
  ui::TMoveWaveHandle* tree_bar_ = nullptr;
  ui::FormatTreeWidget* tree_ = nullptr;
  QPlainTextEdit* summary_ = nullptr;
};

}  // namespace klimavo::app
