// The side panel of the two analysis wizards: the format tree of the current
// format above its standard waveform and, in the function wizard, the captured
// waveform over it. Both waves scroll and zoom together on one bar, and each
// wave has a context menu for the learner's range and the value display.
#pragma once

#include <QSplitter>
#include <cstdint>
#include <vector>

namespace klimavo::ir {
class TMyTeeView;
}

namespace klimavo::ui {

class FormatTreeWidget;
class TMoveWaveHandle;
class TWaveShow;

class WizardWavePanel : public QSplitter {
  Q_OBJECT

 public:
  enum class Waves { FormatOnly, CaptureAndFormat };
  /// The learner ranges the wave menus offer, as the device link numbers them.
  static constexpr int kNearRange = 1;
  static constexpr int kLongRange = 2;

  /// `format_title` heads the standard waveform; `zoom` is the bar's zoom
  /// setting; `chinese` makes the waves name their fields in Chinese.
  WizardWavePanel(Waves waves, const QString& format_title, int zoom, bool chinese, QWidget* parent);

  FormatTreeWidget* Tree() const { return tree_; }
  /// The captured waveform; null in a panel made with Waves::FormatOnly.
  TWaveShow* CaptureView() const { return capture_view_; }
  TWaveShow* FormatView() const { return format_view_; }
  TMoveWaveHandle* WaveBar() const { return wave_bar_; }

  /// Rebuilds the tree and the standard waveform for a new format.
  void ShowFormat(const ir::TMyTeeView& tree, const std::vector<std::uint8_t>& field_bytes, int repeat_count);
  /// Writes new field values into the tree and redraws the standard waveform.
  void ShowFieldValues(const std::vector<std::uint8_t>& field_bytes, int repeat_count);
  /// Shows a captured signal in the capture view; no-op without one.
  void ShowCapture(const std::vector<std::int32_t>& durations, std::int32_t carrier);
  void ClearCapture();

 signals:
  /// The user chose a learner range from a wave's menu (kNearRange or kLongRange).
  void RangeChosen(int range);

 private:
  void BuildWaveMenus();
  void SetValueFormat(int format);
  std::vector<TWaveShow*> Views() const;

  FormatTreeWidget* tree_ = nullptr;
  TWaveShow* capture_view_ = nullptr;
  TWaveShow* format_view_ = nullptr;
  TMoveWaveHandle* wave_bar_ = nullptr;
};

}  // namespace klimavo::ui
