#include "ui/waveview/wave_state.h"

namespace klimavo::ui {

void WaveState::Clear() {
  Durations.clear();
  Segments.clear();
  RecordNo = 0;
  ProtocolName.clear();
  ProtocolName2.clear();
  Carrier = kNoCarrier;
  FocusedLevel = -1;
}

}  // namespace klimavo::ui
