#include "wave/wave_state.h"

namespace klimavo::wave {

void WaveState::Clear() {
  Durations.clear();
  Segments.clear();
  RecordNo = 0;
  ProtocolName.clear();
  ProtocolName2.clear();
  CodeText.clear();
  Carrier = kNoCarrier;
  FocusedLevel = -1;
  Highlights.clear();
}

std::vector<LevelRange> LevelsOfTreeItem(const WaveState& state, int tree_item) {
  std::vector<LevelRange> ranges;
  if (tree_item < 0 || state.Durations.empty()) return ranges;
  if (tree_item == 0) {
    ranges.push_back({0, static_cast<std::int32_t>(state.Durations.size()) - 1});
    return ranges;
  }
  for (const WaveSegment& s : state.Segments)
    if (s.TreeItem == tree_item && s.Kind != WaveSegment::kBitNumber)
      ranges.push_back({s.StartLevel, s.EndLevel});
  return ranges;
}

}  // namespace klimavo::wave
