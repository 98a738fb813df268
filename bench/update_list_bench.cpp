// The update list at its largest: reading an "up.txt" of 4096 files, comparing
// it with as many recorded dates, and checking every listed name, as the
// update dialog does before its first download.
#include <benchmark/benchmark.h>

#include <string>

#include "update/update_list.h"

namespace {

using namespace klimavo::update;

std::string LargestList() {
  std::string text = "softid=1\r\nmsg=benchmark\r\nfilecount=" + std::to_string(kMaxListedFiles) + "\r\n";
  for (long long i = 0; i < kMaxListedFiles; ++i) {
    const std::string n = std::to_string(i);
    text += "filename" + n + "=data_file_" + n + ".dat\r\nfiledate" + n + "=2024-05-01 10:" + n + "\r\n";
  }
  return text;
}

void BM_ParseLargestList(benchmark::State& state) {
  const std::string text = LargestList();
  for (auto _ : state) benchmark::DoNotOptimize(ParseUpdateList(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseLargestList)->Unit(benchmark::kMillisecond);

void BM_ChangedFilesAndNameChecks(benchmark::State& state) {
  const UpdateList list = ParseUpdateList(LargestList());
  RecordedDates recorded;
  for (std::size_t i = 0; i < list.files.size(); i += 2) recorded.Set(list.files[i].name, list.files[i].date);
  for (auto _ : state) {
    const auto changed = ChangedFiles(list, recorded);
    int plain = 0;
    for (const auto& file : changed) plain += IsPlainFileName(file.name) ? 1 : 0;
    benchmark::DoNotOptimize(plain);
  }
}
BENCHMARK(BM_ChangedFilesAndNameChecks)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
