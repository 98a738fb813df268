// Firmware table generation: the chip-image check over 10,000 records (target
// 2 s), the table file for 1,000 records (target 1 s), and one image build.
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

#include "firmware/chip_image_check.h"
#include "firmware/table_file.h"
#include "firmware/table_image.h"
#include "store/library.h"

namespace {

using namespace klimavo;

// A six-key record with NEC-like timing; `variant` spreads carriers, formats,
// checksums and remote types over the library like a real one.
store::TdiskAir BenchRecord(int variant) {
  store::TdiskAir r;
  r.Brand.assign("Brand" + std::to_string(variant % 97));
  r.CodeNo.assign(std::to_string(1000 + variant % 9000));
  r.KeyCount = 6;
  r.Params.Carrier = static_cast<std::uint16_t>(36000 + (variant % 5) * 1000);
  r.Params.LogicCount = 2;
  r.Params.Logic[0] = {560 + variant % 40, -560, ir::kUnusedDuration, ir::kUnusedDuration};
  r.Params.Logic[1] = {560, -1690 - (variant % 7) * 100, ir::kUnusedDuration, ir::kUnusedDuration};
  r.Params.SplitCount = 2;
  r.Params.Split[0] = {9000, -4500};
  r.Params.Split[1] = {560, -20000};
  const int bytes = 6 + variant % 8;
  r.Slots[0].Text.assign("<0>[" + std::to_string(bytes * 8) + "]<1>");
  for (int b = 0; b < bytes; ++b)
    r.Slots[0].Code[static_cast<std::size_t>(b)] = static_cast<std::uint8_t>(variant * 31 + b);
  const std::uint8_t states[6] = {2, 15, 5, 4, 2, 7};
  for (std::size_t k = 0; k < 6; ++k) {
    store::TdiskKey& key = r.Keys[k];
    key.Name.assign("Key" + std::to_string(k));
    key.Slot = 0;
    key.StateCount = states[k];
    for (std::size_t c = 0; c < 2; ++c) {
      store::TdiskBitColumn& col = key.Columns[c];
      col.Frame = 0;
      col.BitPos = static_cast<std::uint16_t>(8 * c + 4 * k % 8 + 16 * (k / 2));
      col.Width = 4;
      for (std::size_t s = 0; s < states[k]; ++s) col.Values[s] = static_cast<std::uint8_t>((s + k + c) & 15);
    }
  }
  if (variant % 3 == 0) {
    r.HasChecksum = 1;
    r.Slots[0].Crc.HasChecksum = 1;
    r.Slots[0].Crc.Count = 1;
    ir::TCrcItem& item = r.Slots[0].Crc.Items[0];
    item.TargetBit = static_cast<std::uint16_t>((bytes - 1) * 8);
    item.ZoneCount = 1;
    item.Zones[0] = {0, 0, 0, static_cast<std::uint16_t>((bytes - 1) * 8 - 1)};
    item.Kind = static_cast<std::uint8_t>(variant % 2);
  }
  if (variant % 4 == 1) {
    r.Slots[1] = r.Slots[0];
    r.Keys[1].Slot = 1;
  }
  if (variant % 5 == 2) r.RemoteType = 1;
  return r;
}

const store::ProtocolLibrary& BenchLibrary(int size) {
  static std::map<int, store::ProtocolLibrary> libraries;
  auto it = libraries.find(size);
  if (it == libraries.end()) {
    it = libraries.emplace(size, store::ProtocolLibrary("/nonexistent/acprotocl.dat")).first;
    for (int i = 0; i < size; ++i)
      it->second.MutableRecords().push_back({BenchRecord(i), store::TBtnLines(6)});
  }
  return it->second;
}

void BM_CheckImages10000(benchmark::State& state) {
  const auto& library = BenchLibrary(10000);
  std::size_t listed = 0;
  for (auto _ : state) {
    auto result = firmware::CheckAllChipImages(library, config::TimingAdjustments{});
    listed = result.listed.size();
    benchmark::DoNotOptimize(result);
  }
  state.counters["listed"] = static_cast<double>(listed);  // records whose image failed
}
BENCHMARK(BM_CheckImages10000)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TableFile1000(benchmark::State& state) {
  const auto& library = BenchLibrary(1000);
  std::vector<int> indices(1000);
  for (int i = 0; i < 1000; ++i) indices[static_cast<std::size_t>(i)] = i;
  for (auto _ : state) {
    std::string text =
        firmware::JoinCrLf(firmware::TableFileLines(library, indices, config::TimingAdjustments{}, {}));
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_TableFile1000)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_BuildTableImage(benchmark::State& state) {
  const store::TdiskAir record = BenchRecord(static_cast<int>(state.range(0)));
  const store::TBtnLines lines(6);
  for (auto _ : state) {
    base::Bytes image;
    int code = firmware::BuildTableImage(record, lines, false, config::TimingAdjustments{}, image);
    benchmark::DoNotOptimize(code);
    benchmark::DoNotOptimize(image);
  }
}
BENCHMARK(BM_BuildTableImage)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
