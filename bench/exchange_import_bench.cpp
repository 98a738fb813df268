// Importing an exchange file of 1,500 records, 150 of them with a picture of
// 60 KB and two model names, into a workbench home that already holds 200
// records and 20 pictures: the time from the exchange file to both files
// rewritten on disk. Target: a few seconds at most (the pictures are stored in
// one rewrite of the picture store, not one per record).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/atomic_file.h"
#include "store/exchange_file.h"
#include "store/library.h"
#include "store/picture_store.h"

namespace {

namespace fs = std::filesystem;
using namespace klimavo;

constexpr int kImported = 1500;
constexpr int kEveryNthHasAPicture = 10;
constexpr int kExisting = 200;
constexpr std::size_t kPictureBytes = 60 * 1024;

store::LibraryRecord MakeRecord(int i) {
  store::LibraryRecord e;
  store::InitRecord(e.Record, 45000.0 + i / 100.0);
  e.Record.Brand.assign("Brand" + std::to_string(i % 40));
  std::string code = std::to_string(i + 1);
  code.insert(0, code.size() < 4 ? 4 - code.size() : 0, '0');
  e.Record.CodeNo.assign(code);
  e.Record.Slots[0].Text.assign("<0>[35]<1>[32]<2>");
  e.Record.KeyCount = 6;
  ir::TStrProt_Listbase frame{ir::TStrProtItem::Split(0), ir::TStrProtItem::Data(35),
                              ir::TStrProtItem::Split(1), ir::TStrProtItem::Data(32),
                              ir::TStrProtItem::Split(2)};
  e.Lines.assign(6, {});
  for (int k = 0; k < 6; ++k) {
    e.Record.Keys[static_cast<std::size_t>(k)].Name.assign("Key" + std::to_string(k));
    for (int n = 0; n < 3; ++n) {
      store::TGrdDataLine line;
      line.Elements = frame;
      for (int b = 0; b < 9; ++b) line.Data.push_back(static_cast<std::uint8_t>(i + k * 31 + n * 7 + b));
      e.Lines[static_cast<std::size_t>(k)].push_back(line);
    }
  }
  return e;
}

store::TMemPic_Info Picture(int i) {
  store::TMemPic_Info info;
  info.Names = {"KFR-" + std::to_string(i) + "GW", "KFR-" + std::to_string(i) + "W"};
  info.Picture.assign(kPictureBytes, static_cast<std::uint8_t>(i));
  return info;
}

// A home with `count` records, every tenth with a picture.
void FillHome(const fs::path& data, int first, int count) {
  fs::create_directories(data);
  store::TdiskAirList list;
  std::vector<store::RawPictureEntry> pictures;
  for (int i = first; i < first + count; ++i) {
    list.push_back(MakeRecord(i));
    if (i % kEveryNthHasAPicture == 0)
      pictures.push_back(store::MakeRawEntry(list.back().Record.CodeNo.str(), Picture(i)));
  }
  store::SaveLibraryFile(list, data / store::kLibraryFileName);
  base::WriteFileAtomically(data / std::string(store::kPictureStoreFileName),
                            store::PictureFileBytes(pictures));
}

void BM_ImportWithPictures(benchmark::State& state) {
  std::string pattern = (fs::temp_directory_path() / "klimavo-import-bench-XXXXXX").string();
  const fs::path root = ::mkdtemp(pattern.data());
  const fs::path source_home = root / "source";
  FillHome(source_home, 0, kImported);
  store::ProtocolLibrary source(source_home / store::kLibraryFileName);
  source.Load();
  std::vector<int> all(kImported);
  for (int i = 0; i < kImported; ++i) all[static_cast<std::size_t>(i)] = i;
  const fs::path exchange = root / "all.acpf";
  store::ExportRecords(source, all, source_home, exchange);

  const fs::path target = root / "target";
  int imported = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(target);
    FillHome(target, 5000, kExisting);
    store::ProtocolLibrary library(target / store::kLibraryFileName);
    library.Load();
    state.ResumeTiming();
    imported = store::ImportRecords(library, target, exchange).count;
  }
  state.counters["records"] = imported;
  state.counters["exchange_MB"] = static_cast<double>(fs::file_size(exchange)) / 1e6;
  fs::remove_all(root);
}
BENCHMARK(BM_ImportWithPictures)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
