// Reading large capture files: JSON Lines files of many corpus captures, read
// capture by capture and collected as a whole, and one line of a million
// durations. Reports throughput and the process's peak resident memory
// (getrusage); the peak only grows, so run one benchmark per process
// (--benchmark_filter) to see the peak of that case alone. Target: the
// streamed read's peak does not grow with the file.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "capture/capture_format.h"

namespace {

namespace fs = std::filesystem;
using namespace klimavo;

double PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

// A temporary folder with JSON Lines files of the corpus captures, repeated;
// written line by line so making them does not raise the peak memory.
class GeneratedFiles {
 public:
  GeneratedFiles() {
    std::string pattern = (fs::temp_directory_path() / "klimavo-capture-bench-XXXXXX").string();
    dir_ = ::mkdtemp(pattern.data());
  }
  ~GeneratedFiles() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  GeneratedFiles(const GeneratedFiles&) = delete;
  GeneratedFiles& operator=(const GeneratedFiles&) = delete;

  // One line of `count` durations.
  fs::path LongLine(std::int64_t count) {
    const fs::path file = dir_ / ("line-" + std::to_string(count) + ".jsonl");
    if (fs::exists(file)) return file;
    std::ofstream out(file, std::ios::binary);
    out << "{\"name\":\"long\",\"carrier_hz\":38000,\"durations_us\":[";
    for (std::int64_t i = 0; i < count; ++i) out << (i ? "," : "") << (i % 2 ? -560 : 560);
    out << "]}\n";
    return file;
  }

  // A file of `count` captures, the corpus lines over and over.
  fs::path JsonLines(std::int64_t count) {
    const fs::path file = dir_ / ("captures-" + std::to_string(count) + ".jsonl");
    if (fs::exists(file)) return file;
    std::vector<std::string> lines;
    std::ifstream corpus(KLIMAVO_CORPUS_FILE);
    for (std::string line; std::getline(corpus, line);) lines.push_back(line);
    std::ofstream out(file, std::ios::binary);
    for (std::int64_t i = 0; i < count && !lines.empty(); ++i)
      out << lines[static_cast<std::size_t>(i) % lines.size()] << '\n';
    return file;
  }

 private:
  fs::path dir_;
};

GeneratedFiles& Files() {
  static GeneratedFiles files;
  return files;
}

void ReportFile(benchmark::State& state, const fs::path& file, std::size_t captures) {
  const auto bytes = static_cast<std::int64_t>(fs::file_size(file));
  state.SetBytesProcessed(bytes * state.iterations());
  state.SetItemsProcessed(static_cast<std::int64_t>(captures) * state.iterations());
  state.counters["file_MiB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
  state.counters["peak_rss_MiB"] = PeakRssMiB();
}

// Every capture of the file collected in memory.
void BM_ReadJsonLinesCollected(benchmark::State& state) {
  const fs::path file = Files().JsonLines(state.range(0));
  std::size_t captures = 0;
  for (auto _ : state) {
    const capture::ReadResult r = capture::ReadCaptureFile(file, capture::ReadOptions{file.string()});
    if (!r.ok()) {
      state.SkipWithError(r.error->What().c_str());
      return;
    }
    captures = r.captures.size();
    benchmark::DoNotOptimize(r.captures.data());
  }
  ReportFile(state, file, captures);
}
BENCHMARK(BM_ReadJsonLinesCollected)->Arg(10'000)->Arg(40'000)->Unit(benchmark::kMillisecond)->Iterations(1);

// Each capture handed over and dropped, as `klimavo-cli decode` does.
void BM_ReadJsonLinesStreamed(benchmark::State& state) {
  const fs::path file = Files().JsonLines(state.range(0));
  std::size_t captures = 0;
  std::size_t durations = 0;
  for (auto _ : state) {
    captures = durations = 0;
    const capture::StreamResult r =
        capture::StreamCaptureFile(file, capture::ReadOptions{file.string()}, [&](capture::CaptureRead&& c) {
          ++captures;
          durations += c.durations.size();
        });
    if (!r.ok()) {
      state.SkipWithError(r.error->What().c_str());
      return;
    }
  }
  benchmark::DoNotOptimize(durations);
  ReportFile(state, file, captures);
}
BENCHMARK(BM_ReadJsonLinesStreamed)
    ->Arg(10'000)
    ->Arg(40'000)
    ->Arg(100'000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The longest capture there may be, on one line: the line and its durations,
// no document of a million values.
void BM_ReadMillionDurationLine(benchmark::State& state) {
  const fs::path file = Files().LongLine(static_cast<std::int64_t>(capture::kMaxDurationsPerCapture));
  for (auto _ : state) {
    const capture::ReadResult r = capture::ReadCaptureFile(file, capture::ReadOptions{file.string()});
    if (!r.ok()) {
      state.SkipWithError(r.error->What().c_str());
      return;
    }
    benchmark::DoNotOptimize(r.captures.data());
  }
  ReportFile(state, file, 1);
}
BENCHMARK(BM_ReadMillionDurationLine)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
