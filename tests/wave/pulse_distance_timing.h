#pragma once
// The timing of a pulse-distance protocol the waveform tests build format trees
// from: 560/560 and 560/1690 µs symbols, a 9000/4500 leader and a 560/20000 trailer.

#include "ir/ir_types.h"

namespace klimavo::testing {

inline ir::TIRGsPara PulseDistanceTiming() {
  ir::TIRGsPara p;
  p.LogicCount = 2;
  p.Logic[0] = {560, -560, ir::kUnusedDuration, ir::kUnusedDuration};
  p.Logic[1] = {560, -1690, ir::kUnusedDuration, ir::kUnusedDuration};
  p.SplitCount = 2;
  p.Split[0] = {9000, -4500};
  p.Split[1] = {560, -20000};
  return p;
}

}  // namespace klimavo::testing
