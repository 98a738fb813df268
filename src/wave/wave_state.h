#pragma once
// The state of one waveform view: the levels it shows, the labelled segments
// laid over them, zoom, scroll position, cursors and header values. Plain data,
// shared by the renderer, the controllers and the widget.

#include <cstdint>
#include <string>
#include <vector>

namespace klimavo::wave {

inline constexpr std::int32_t kNoCarrier = 2147483647;

/// A labelled stretch of levels drawn above the trace.
struct WaveSegment {
  enum Kind : std::uint8_t { kFrameBox = 0, kField = 1, kBitNumber = 2 };
  std::int32_t StartLevel = 0;
  std::int32_t EndLevel = 0;
  std::uint8_t Kind = kFrameBox;
  std::uint8_t NodeId = 0;  ///< tree node (fields), bit number (bits), place of the frame (boxes)
  std::string Name;         ///< label text (UTF-8 here; GBK in the records)
  std::int32_t Value = 0;   ///< field value
  std::uint8_t SymbolCount = 0;
  std::uint8_t Radix = 2;
  std::int32_t TreeItem = -1;  ///< index of the format-tree item that made it (tree mode), -1 for none
};

/// A run of levels, first and last index inclusive.
struct LevelRange {
  std::int32_t First = 0;
  std::int32_t Last = 0;
  friend bool operator==(const LevelRange&, const LevelRange&) = default;
};

struct WaveState {
  std::vector<std::int32_t> Durations;  ///< 0.1 µs, marks positive
  std::vector<WaveSegment> Segments;
  int ZoomIndex = 0;
  int Position = 0;  ///< horizontal scroll offset in pixels
  std::int64_t CursorA = 1000;
  std::int64_t CursorB = 20000;
  int FocusedLevel = -1;
  bool Scrolling = true;  ///< accepts new data (false: fixed)
  int RecordNo = 0;
  std::string ProtocolName;
  std::string ProtocolName2;
  /// The code bytes a decoded capture carries (hex, UTF-8); shown as the code
  /// value when no format tree supplies one.
  std::string CodeText;
  std::int32_t Carrier = kNoCarrier;
  int RepeatCount = 0;
  int SymbolRadix = 2;
  int ValueFormat = 0;  ///< 0 hex, 1 digits of the radix, 2 decimal
  int AlternativeIndex = 0;
  std::string Title;
  bool TreeMode = false;  ///< levels are synthesised from a format tree
  bool ShowLineAB = false;
  bool ShowFocus = false;
  bool ShowMoveOnStatus = false;
  bool DrawScope = false;
  std::int64_t ScopeStart = 0;
  std::int64_t ScopeEnd = 0;
  bool Chinese = false;                ///< language identifier 2052
  std::vector<LevelRange> Highlights;  ///< levels shown as selected (the chosen format-tree item)

  void Clear();
};

/// The levels a format-tree item covers: all levels for the root, the frame's
/// levels (every time it is drawn) for a frame, the field's levels for a leaf.
std::vector<LevelRange> LevelsOfTreeItem(const WaveState& state, int tree_item);

}  // namespace klimavo::wave
