// The comparison grid: rebuilding a large grid (what every row operation and
// setting change costs), reading its differences, and filling it with the
// thousands of rows `analyse compare` reads from a file (all rows at once, so
// the time grows with the row count, not its square).
#include <benchmark/benchmark.h>

#include <random>

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

// Rows of one 32-bit frame, as a file of captures of one remote gives them.
klimavo::store::TGrdLines ManyRows(int rows) {
  std::mt19937 random(7);
  std::bernoulli_distribution bit(0.5);
  const auto elements = klimavo::ir::ParseProtocol("<0>[32]").Elements;
  klimavo::store::TGrdLines lines(static_cast<std::size_t>(rows));
  for (auto& line : lines) {
    line.Data.resize(32);
    for (auto& b : line.Data) b = bit(random) ? 1 : 0;
    line.Elements = elements;
    line.Repeat = 1;
  }
  return lines;
}

void BM_CompareGridManyRows(benchmark::State& state) {
  const auto lines = ManyRows(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    CompareGridModel grid;
    grid.SetLines(lines);
    benchmark::DoNotOptimize(grid.GetDifferences(grid.LineCount()).size());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_CompareGridManyRows)
    ->Arg(2000)
    ->Arg(16000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
