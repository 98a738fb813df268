// What users of the workbench wait for in its windows: start-up to the first
// shown window, refilling the library list per keystroke and sorting it by a
// heading, each with libraries of 1,000, 10,000 and 100,000 records so that
// growth shows; and one redraw of a long capture. Runs on the offscreen platform.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "app/main_window.h"
#include "app/user_prompts.h"
#include "app/workbench.h"
#include "base/home.h"
#include "store/library.h"
#include "ui/waveview/wave_renderer.h"
#include "ui/widgets/library_grid.h"

namespace {

namespace fs = std::filesystem;

// A home whose library holds `count` records, copied from the sample library.
fs::path LargeHome(int count) {
  const fs::path home = fs::temp_directory_path() / ("klimavo-bench-home-" + std::to_string(count));
  if (fs::exists(home / "data" / klimavo::store::kLibraryFileName)) return home;
  fs::remove_all(home);
  fs::copy(KLIMAVO_SEED_DIR, home, fs::copy_options::recursive);
  klimavo::store::TdiskAirList sample;
  klimavo::store::LoadLibraryFile(home / "data" / klimavo::store::kLibraryFileName, sample);
  klimavo::store::TdiskAirList big;
  big.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count && !sample.empty(); ++i) {
    auto entry = sample[static_cast<std::size_t>(i) % sample.size()];
    entry.Record.CodeNo.assign(std::to_string(1000 + i));
    big.push_back(std::move(entry));
  }
  klimavo::store::SaveLibraryFile(big, home / "data" / klimavo::store::kLibraryFileName);
  return home;
}

class Prompts : public klimavo::app::DialogPrompts {};

long ResidentBytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * ::sysconf(_SC_PAGESIZE);
}

void BM_StartupToFirstShownWindow(benchmark::State& state) {
  const fs::path home = LargeHome(static_cast<int>(state.range(0)));
  long resident = 0;
  for (auto _ : state) {
    // From reading the home to the window drawn on the screen; closing it is not timed.
    const auto start = std::chrono::steady_clock::now();
    klimavo::app::Workbench workbench(home);
    Prompts prompts;
    klimavo::app::TfrmAirEditor window(workbench, prompts);
    window.show();
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(window.CurrentIndex());
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    resident = ResidentBytes();
  }
  const double file_size =
      static_cast<double>(fs::file_size(home / "data" / klimavo::store::kLibraryFileName));
  state.counters["file_MB"] = file_size / 1e6;
  state.counters["rss_MB"] = static_cast<double>(resident) / 1e6;
  state.counters["rss_per_file"] = static_cast<double>(resident) / file_size;
}
BENCHMARK(BM_StartupToFirstShownWindow)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseManualTime();

void BM_RefillLibraryListPerKeystroke(benchmark::State& state) {
  const fs::path home = LargeHome(static_cast<int>(state.range(0)));
  klimavo::app::Workbench workbench(home);
  Prompts prompts;
  klimavo::app::TfrmAirEditor window(workbench, prompts);
  window.show();
  QCoreApplication::processEvents();
  auto* keyword = window.findChild<QLineEdit*>("edtKeyword");
  const char* keys[] = {"1", "12", "123", "12", "1", ""};
  std::size_t i = 0;
  // Each keystroke with the list drawn again, as the user sees it.
  for (auto _ : state) {
    keyword->setText(keys[i++ % 6]);
    QCoreApplication::processEvents();
  }
}
BENCHMARK(BM_RefillLibraryListPerKeystroke)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

// One click on a heading of the whole list: the list sorted again by that column.
void BM_SortLibraryListByHeading(benchmark::State& state) {
  const fs::path home = LargeHome(static_cast<int>(state.range(0)));
  klimavo::app::Workbench workbench(home);
  Prompts prompts;
  klimavo::app::TfrmAirEditor window(workbench, prompts);
  window.show();
  QCoreApplication::processEvents();
  auto* list = window.findChild<klimavo::ui::LibraryGrid*>("gridLibrary");
  int column = 1;
  for (auto _ : state) {
    emit list->HeadingClicked(column);
    QCoreApplication::processEvents();
    column = column % 4 + 1;
  }
}
BENCHMARK(BM_SortLibraryListByHeading)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_RedrawCaptureOf2000Levels(benchmark::State& state) {
  klimavo::wave::WaveState wave;
  for (int i = 0; i < 2000; ++i) wave.Durations.push_back(i % 2 == 0 ? 5600 : -(5600 + (i % 3) * 11300));
  wave.ZoomIndex = static_cast<int>(state.range(0));
  wave.ShowLineAB = true;
  const auto colours = klimavo::ui::WaveColours::Defaults();
  QImage image(1000, 300, QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter painter(&image);
    klimavo::ui::WaveRenderer renderer(wave, colours, image.size());
    renderer.Paint(painter);
  }
}
BENCHMARK(BM_RedrawCaptureOf2000Levels)->Arg(11)->Arg(29)->Arg(38)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
