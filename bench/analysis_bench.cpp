// The comparison grid: rebuilding a large grid (what every row operation and
// setting change costs) and reading its differences.
#include <benchmark/benchmark.h>

#include "analysis/compare_grid.h"
#include "compare_grid_fixture.h"
#include "ir/protocol.h"

namespace {

using klimavo::analysis::CompareGridModel;

using klimavo::bench::LargeGrid;
constexpr int kRows = klimavo::bench::kGridRows;

void BM_CompareGridRebuild(benchmark::State& state) {
  const auto lines = LargeGrid();
  CompareGridModel grid;
  grid.SetMaxRunWidth(6);
  for (auto _ : state) {
    grid.SetLines(lines);
    benchmark::DoNotOptimize(grid.Runs().size());
  }
  state.counters["runs"] = static_cast<double>(grid.Runs().size());
}
BENCHMARK(BM_CompareGridRebuild)->Unit(benchmark::kMillisecond);

void BM_CompareGridDifferences(benchmark::State& state) {
  CompareGridModel grid;
  grid.SetMaxRunWidth(6);
  grid.SetLines(LargeGrid());
  for (auto _ : state) benchmark::DoNotOptimize(grid.GetDifferences(kRows).size());
}
BENCHMARK(BM_CompareGridDifferences)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
