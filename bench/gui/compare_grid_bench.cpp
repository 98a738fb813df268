// One redraw of the comparison grid widget over a large grid (200 rows, six
// 50-bit frames), in bits and in hexadecimal, on the offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "../compare_grid_fixture.h"
#include "analysis/compare_grid.h"
#include "ir/protocol.h"
#include "ui/widgets/compare_grid_widget.h"

namespace {

using klimavo::bench::LargeGrid;

void Redraw(benchmark::State& state, bool hex) {
  klimavo::analysis::CompareGridModel model;
  model.SetMaxRunWidth(6);
  model.SetLines(LargeGrid());
  model.SetHexMode(hex);
  klimavo::ui::TCompareGrid grid;
  grid.SetModel(&model);
  grid.resize(1280, 800);
  grid.show();
  QCoreApplication::processEvents();
  QImage image(grid.viewport()->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&image);
    grid.Render(painter, image.rect());
  }
}

void BM_CompareGridRedrawBits(benchmark::State& state) { Redraw(state, false); }
BENCHMARK(BM_CompareGridRedrawBits)->Unit(benchmark::kMillisecond);

void BM_CompareGridRedrawHex(benchmark::State& state) { Redraw(state, true); }
BENCHMARK(BM_CompareGridRedrawHex)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
