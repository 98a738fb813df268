// Filter by learning over libraries of 1,000, 10,000 and 100,000 records (the
// six sample records over and over, so a sixth of them get as far as the code
// bits) with one decoded press, and the remote check of one press.
// Targets: the search of 10,000 records <= 100 ms, of 100,000 <= 1 s (it runs
// while the user waits for the list); one remote check <= 1 ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "analysis/protocol_comparison.h"
#include "analysis/remote_check.h"
#include "firmware/chip_emulator.h"
#include "firmware/table_image.h"
#include "ir/decode.h"
#include "store/library.h"
#include "store/record_json.h"

namespace {

using namespace klimavo;

constexpr double kTolerance = 0.25;

std::vector<store::EditableRecord> Samples() {
  std::vector<std::filesystem::path> files;
  for (const auto& e :
       std::filesystem::directory_iterator(std::filesystem::path(KLIMAVO_SOURCE_DIR) / "data/library"))
    if (e.path().extension() == ".json") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  std::vector<store::EditableRecord> samples;
  for (const auto& f : files) {
    std::ifstream in(f);
    std::stringstream text;
    text << in.rdbuf();
    samples.push_back(store::RecordFromJsonText(text.str()));
  }
  return samples;
}

// The power key of the first sample, as its programmed remote sends it (0.1 µs).
ir::TIRIntegerArr Press(const store::EditableRecord& sample) {
  base::Bytes image;
  firmware::BuildTableImage(sample.record, sample.bit_lines, false, {}, image);
  firmware::TACRusher rusher;
  rusher.Load(sample.record.LsbFirst != 0, image, {1, 8, 1, 0, 0, 0, 0, 0});
  ir::TIRIntegerArr micros;
  rusher.Run(micros);
  for (auto& d : micros) d *= 10;
  return micros;
}

void FilterByLearning(benchmark::State& state) {
  const auto samples = Samples();
  store::TdiskAirList library;
  for (int i = 0; i < state.range(0); ++i) {
    const auto& s = samples[static_cast<std::size_t>(i) % samples.size()];
    library.push_back({s.record, store::PackLines(s.bit_lines, s.record.LsbFirst != 0)});
  }
  ir::Tcomp_aval decoded;
  ir::DecodeCapture(Press(samples[0]), 38000, true, true, kTolerance, decoded);
  analysis::TTheAcComp comparison(library, {kTolerance, false});
  std::size_t hits = 0;
  for (auto _ : state) {
    hits = comparison.CompareWithLibrary(decoded).size();
    benchmark::DoNotOptimize(hits);
  }
  state.counters["hits"] = static_cast<double>(hits);
}
BENCHMARK(FilterByLearning)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void RemoteCheckOfOnePress(benchmark::State& state) {
  const auto samples = Samples();
  const analysis::RemoteCheck check(samples[0].record, kTolerance);
  const ir::TIRIntegerArr press = Press(samples[0]);
  for (auto _ : state) benchmark::DoNotOptimize(check.Check(press, 38000));
}
BENCHMARK(RemoteCheckOfOnePress)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
