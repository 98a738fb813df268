// Load, save and keyword-filter libraries of 1,000, 10,000 and 100,000 records
// with six keys and five code lines per key (21.7 KB a record), and the memory
// the loaded library takes. Every benchmark runs at the three sizes, smallest
// first, so that growth shows; one library is held at a time.
// Targets: load and parse >= 1 GB/s from a warm cache; a save within 1.5 x the
// time of writing and syncing the same bytes (the save_per_write_sync counter);
// RAM <= 1.5 x file size.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "base/date_time.h"
#include "store/library.h"
#include "store/library_list.h"

namespace {

namespace fs = std::filesystem;
using namespace klimavo;

constexpr int kSizes[] = {1000, 10000, 100000};
constexpr int kKeys = 6;
constexpr int kLinesPerKey = 5;

store::LibraryRecord MakeRecord(int i) {
  store::LibraryRecord e;
  store::InitRecord(e.Record, 45000.0 + i / 100.0);
  const char* brands[] = {"Gree", "Midea", "Haier", "Daikin", "Mitsubishi", "Panasonic", "LG", "TCL"};
  e.Record.Brand.assign(brands[i % 8]);
  std::string code = std::to_string(i + 1);
  code.insert(0, code.size() < 4 ? 4 - code.size() : 0, '0');
  e.Record.CodeNo.assign(code);
  e.Record.MemoEn.assign("split unit, remote with display, model " + std::to_string(i * 7919 % 100000));
  e.Record.Slots[0].Text.assign("<0>[35]<1>[32]<2>");
  e.Record.KeyCount = kKeys;
  ir::TStrProt_Listbase frame{ir::TStrProtItem::Split(0), ir::TStrProtItem::Data(35),
                              ir::TStrProtItem::Split(1), ir::TStrProtItem::Data(32),
                              ir::TStrProtItem::Split(2)};
  e.Lines.assign(kKeys, {});
  for (int k = 0; k < kKeys; ++k) {
    e.Record.Keys[static_cast<std::size_t>(k)].Name.assign("Key" + std::to_string(k));
    for (int n = 0; n < kLinesPerKey; ++n) {
      store::TGrdDataLine line;
      line.Elements = frame;
      for (int b = 0; b < 9; ++b) line.Data.push_back(static_cast<std::uint8_t>(i + k * 31 + n * 7 + b));
      line.Repeat = 1;
      e.Lines[static_cast<std::size_t>(k)].push_back(line);
    }
  }
  return e;
}

struct Fixture {
  int records = 0;
  fs::path dir;
  fs::path file;
  store::TdiskAirList list;
  explicit Fixture(int count) : records(count) {
    std::string pattern = (fs::temp_directory_path() / "klimavo-library-bench-XXXXXX").string();
    dir = ::mkdtemp(pattern.data());
    file = dir / store::kLibraryFileName;
    list.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) list.push_back(MakeRecord(i));
    store::SaveLibraryFile(list, file);
  }
  ~Fixture() { fs::remove_all(dir); }
};

// The library of `count` records; the one of another size is dropped first.
Fixture& Shared(std::int64_t count) {
  static std::unique_ptr<Fixture> f;
  if (!f || f->records != count) {
    f.reset();
    f = std::make_unique<Fixture>(static_cast<int>(count));
  }
  return *f;
}

double Seconds(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// What the disk needs for the bytes alone: one plain write of them and a sync.
void WriteAndSync(const fs::path& path, const klimavo::base::Bytes& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::fsync(fd);
  ::close(fd);
}

long ResidentBytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * ::sysconf(_SC_PAGESIZE);
}

// Heap and inline bytes the library holds: the entries and every line's vectors.
std::size_t LibraryBytes(const store::TdiskAirList& list) {
  std::size_t bytes = list.capacity() * sizeof(store::LibraryRecord);
  for (const auto& e : list) {
    bytes += e.Lines.capacity() * sizeof(store::TGrdLines);
    for (const auto& lines : e.Lines) {
      bytes += lines.capacity() * sizeof(store::TGrdDataLine);
      for (const auto& line : lines)
        bytes += line.Data.capacity() + line.Elements.capacity() * sizeof(ir::TStrProtItem);
    }
  }
  return bytes;
}

void BM_LoadLibrary(benchmark::State& state) {
  Fixture& f = Shared(state.range(0));
  double file_size = static_cast<double>(fs::file_size(f.file));
  std::size_t held = 0;
  long rss_growth = 0;
  for (auto _ : state) {
    store::TdiskAirList list;
    long before = ResidentBytes();
    bool ok = store::LoadLibraryFile(f.file, list);
    rss_growth = ResidentBytes() - before;
    if (!ok) state.SkipWithError("the library did not load");
    held = LibraryBytes(list);
    benchmark::DoNotOptimize(list.data());
  }
  state.counters["file_MB"] = file_size / 1e6;
  state.counters["held_MB"] = static_cast<double>(held) / 1e6;
  state.counters["held_per_file"] = static_cast<double>(held) / file_size;
  state.counters["rss_growth_MB"] = static_cast<double>(rss_growth) / 1e6;
  state.counters["rss_per_file"] = static_cast<double>(rss_growth) / file_size;
  state.SetBytesProcessed(static_cast<std::int64_t>(file_size) * state.iterations());
}

// A save (bytes built, written to a temporary file, synced, renamed over the
// library, folder synced) against a plain write and sync of the same bytes,
// timed alternately in the same iterations; the time shown is the save's.
void BM_SaveLibrary(benchmark::State& state) {
  Fixture& f = Shared(state.range(0));
  const klimavo::base::Bytes bytes = store::LibraryFileBytes(f.list, 45000.0);
  const fs::path reference = f.dir / "write-and-sync.dat";
  double save_seconds = 0;
  double reference_seconds = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    WriteAndSync(reference, bytes);
    reference_seconds += Seconds(start);
    start = std::chrono::steady_clock::now();
    store::SaveLibraryFile(f.list, f.file);
    const double save = Seconds(start);
    save_seconds += save;
    state.SetIterationTime(save);
  }
  fs::remove(reference);
  const double n = static_cast<double>(state.iterations());
  state.counters["write_sync_ms"] = reference_seconds / n * 1e3;
  state.counters["save_per_write_sync"] = save_seconds / reference_seconds;
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes.size()) * state.iterations());
}

// The bytes of a save without the disk: what the save costs before the write and flush.
void BM_LibraryFileBytes(benchmark::State& state) {
  Fixture& f = Shared(state.range(0));
  std::size_t size = 0;
  for (auto _ : state) {
    size = store::LibraryFileBytes(f.list, 45000.0).size();
    benchmark::DoNotOptimize(size);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(size) * state.iterations());
}

// Parsing a library already in memory: what the load costs without the disk.
void BM_ParseLibraryBytes(benchmark::State& state) {
  Fixture& f = Shared(state.range(0));
  klimavo::base::Bytes bytes = store::LibraryFileBytes(f.list, 45000.0);
  for (auto _ : state) {
    store::TdiskAirList list;
    benchmark::DoNotOptimize(store::ParseLibraryBytes(bytes, list));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes.size()) * state.iterations());
}

void BM_FilterLibrary(benchmark::State& state) {
  Fixture& f = Shared(state.range(0));
  store::LibraryListQuery query;
  query.keyword = "model 12";
  query.sort_column = 1;
  std::size_t rows = 0;
  for (auto _ : state) {
    rows = store::BuildLibraryList(f.list, query).size();
    benchmark::DoNotOptimize(rows);
  }
  state.counters["rows"] = static_cast<double>(rows);
}

void BM_ListWholeLibraryByTime(benchmark::State& state) {
  Fixture& f = Shared(state.range(0));
  store::LibraryListQuery query;
  query.sort_column = 3;
  for (auto _ : state) benchmark::DoNotOptimize(store::BuildLibraryList(f.list, query).size());
}

// Size by size, so that one library is built and held at a time.
[[maybe_unused]] const bool kRegistered = [] {
  for (const int size : kSizes) {
    benchmark::RegisterBenchmark("BM_LoadLibrary", BM_LoadLibrary)
        ->Arg(size)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("BM_SaveLibrary", BM_SaveLibrary)
        ->Arg(size)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3)
        ->UseManualTime();
    benchmark::RegisterBenchmark("BM_LibraryFileBytes", BM_LibraryFileBytes)
        ->Arg(size)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("BM_ParseLibraryBytes", BM_ParseLibraryBytes)
        ->Arg(size)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(3);
    benchmark::RegisterBenchmark("BM_FilterLibrary", BM_FilterLibrary)
        ->Arg(size)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ListWholeLibraryByTime", BM_ListWholeLibraryByTime)
        ->Arg(size)
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace

BENCHMARK_MAIN();
