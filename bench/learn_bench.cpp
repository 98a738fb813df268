// Learning a whole remote from 30 labelled presses: blind decoding, the reading
// against the format, checksum discovery in both bit orders, the bit analysis,
// the record and every press sent back through the chip emulator — the time an
// engineer waits after the last press.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "analysis/remote_learner.h"

namespace {

using klimavo::analysis::LearnInput;
using klimavo::analysis::RemoteLearner;

const std::vector<std::string> kModes = {"cool", "auto", "dry", "fan", "heat"};
const std::vector<std::string> kFans = {"low", "auto", "mid", "high"};

int IndexOf(const std::vector<std::string>& list, const std::string& v) {
  for (std::size_t i = 0; i < list.size(); ++i)
    if (list[i] == v) return static_cast<int>(i);
  return 0;
}

// A 14-byte code: header, power/mode/fan, temperature, swing, a byte sum last;
// dry sends the fan as auto.
klimavo::ir::TIRIntegerArr Durations(bool on, const std::string& mode, const std::string& fan, int temp,
                                     bool swing) {
  const int f = mode == "dry" ? 1 : IndexOf(kFans, fan);
  std::vector<int> bytes = {0x23,      0xCB,
                            0x26,      0x01,
                            0x00,      (on ? 0x20 : 0) | IndexOf(kModes, mode),
                            temp - 16, f << 3 | (swing ? 0x40 : 0),
                            0,         0,
                            0,         0,
                            0,         0};
  int sum = 0;
  for (std::size_t i = 0; i + 1 < bytes.size(); ++i) sum += bytes[i];
  bytes.back() = sum & 0xFF;
  klimavo::ir::TIRIntegerArr d = {34000, -17000};
  for (int byte : bytes)
    for (int i = 0; i < 8; ++i) {
      d.push_back(4400);
      d.push_back((byte >> i) & 1 ? -13000 : -4200);
    }
  d.push_back(4400);
  return d;
}

LearnInput Press(const std::string& mode, const std::string& fan, int temp, bool swing = false,
                 bool on = true) {
  LearnInput in;
  in.source = "bench";
  if (on)
    in.label = {{"power", "on"},
                {"mode", mode},
                {"fan", fan},
                {"temp", std::to_string(temp)},
                {"swing", swing ? "on" : "off"}};
  else
    in.label = {{"power", "off"}};
  in.capture.Durations = Durations(on, mode, fan, temp, swing);
  return in;
}

void LearnThirtyPresses(benchmark::State& state) {
  RemoteLearner learner;
  for (int t = 16; t <= 30; ++t) learner.Add(Press("cool", "low", t));
  for (std::size_t m = 1; m < kModes.size(); ++m) learner.Add(Press(kModes[m], "low", 24));
  for (std::size_t f = 1; f < kFans.size(); ++f) learner.Add(Press("cool", kFans[f], 24));
  learner.Add(Press("cool", "low", 24, true));
  learner.Add(Press("cool", "low", 16, false, false));  // off, sent from the state of the first press
  for (std::size_t m = 1; m < kModes.size(); ++m) learner.Add(Press(kModes[m], "auto", 16));
  learner.Add(Press("heat", "low", 30));
  learner.Add(Press("auto", "low", 16));
  for (auto _ : state) {
    const auto result = learner.Learn();
    benchmark::DoNotOptimize(result.made);
    if (!result.AllReproduced()) state.SkipWithError("the learned record does not reproduce the presses");
  }
  state.counters["presses"] = static_cast<double>(learner.Inputs().size());
}
BENCHMARK(LearnThirtyPresses)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
