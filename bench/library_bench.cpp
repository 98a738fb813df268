// Load, save and keyword-filter a library of 10,000 records with six keys and
// five code lines per key, and the memory the loaded library takes.
// Targets: load <= 0.5 s, save <= 1 s, filter <= 20 ms, RAM <= 1.5 x file size.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "base/date_time.h"
#include "store/library.h"
#include "store/library_list.h"

namespace {

namespace fs = std::filesystem;
using namespace klimavo;

constexpr int kRecords = 10000;
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
  ir::TStrProt_Listbase frame{ir::TStrProtItem::Split(0), ir::TStrProtItem::Data(35), ir::TStrProtItem::Split(1),
                              ir::TStrProtItem::Data(32), ir::TStrProtItem::Split(2)};
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
  fs::path dir;
  fs::path file;
  store::TdiskAirList list;
  Fixture() {
    std::string pattern = (fs::temp_directory_path() / "klimavo-library-bench-XXXXXX").string();
    dir = ::mkdtemp(pattern.data());
    file = dir / store::kLibraryFileName;
    for (int i = 0; i < kRecords; ++i) list.push_back(MakeRecord(i));
    store::SaveLibraryFile(list, file);
  }
  ~Fixture() { fs::remove_all(dir); }
};

Fixture& Shared() {
  static Fixture f;
  return f;
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
  Fixture& f = Shared();
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
}
BENCHMARK(BM_LoadLibrary)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SaveLibrary(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) store::SaveLibraryFile(f.list, f.file);
}
BENCHMARK(BM_SaveLibrary)->Unit(benchmark::kMillisecond)->Iterations(3);

// The bytes of a save without the disk: what the save costs before the write and flush.
void BM_LibraryFileBytes(benchmark::State& state) {
  Fixture& f = Shared();
  for (auto _ : state) benchmark::DoNotOptimize(store::LibraryFileBytes(f.list, 45000.0).size());
}
BENCHMARK(BM_LibraryFileBytes)->Unit(benchmark::kMillisecond)->Iterations(3);

// Parsing a library already in memory: what the load costs without the disk.
void BM_ParseLibraryBytes(benchmark::State& state) {
  Fixture& f = Shared();
  klimavo::base::Bytes bytes = store::LibraryFileBytes(f.list, 45000.0);
  for (auto _ : state) {
    store::TdiskAirList list;
    benchmark::DoNotOptimize(store::ParseLibraryBytes(bytes, list));
  }
}
BENCHMARK(BM_ParseLibraryBytes)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_FilterLibrary(benchmark::State& state) {
  Fixture& f = Shared();
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
BENCHMARK(BM_FilterLibrary)->Unit(benchmark::kMillisecond);

void BM_ListWholeLibraryByTime(benchmark::State& state) {
  Fixture& f = Shared();
  store::LibraryListQuery query;
  query.sort_column = 3;
  for (auto _ : state) benchmark::DoNotOptimize(store::BuildLibraryList(f.list, query).size());
}
BENCHMARK(BM_ListWholeLibraryByTime)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
