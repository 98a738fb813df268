// Checksum discovery on 20 codes of 16 bytes (one frame of 128 bits): the
// time an engineer waits after pressing "Find checksum".

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "analysis/checksum_discovery/checksum_discovery.h"
#include "ir/checksum.h"
#include "ir/protocol.h"

namespace {

using klimavo::ir::TCrcItem;
using klimavo::ir::TSSByteArray;

constexpr int kRows = 20;
constexpr int kBits = 128;

enum Content { kAirConditioner, kRandomBytes, kNoChecksum };

// kAirConditioner: a fixed header in bytes 0..4, a few function fields that
// change in bytes 5..8, zero bytes up to byte 14 and the sum of bytes 0..14 in
// byte 15. kRandomBytes: every byte random, the same sum. kNoChecksum: random.
std::vector<TSSByteArray> Codes(Content content, const klimavo::ir::TStrProt_Listbase& elements) {
  TCrcItem sum;
  sum.ZoneCount = 1;
  sum.Zones[0] = {0, 0, 0, 119};
  sum.TargetBit = 120;
  std::mt19937 random(2024);
  std::vector<TSSByteArray> rows;
  for (int r = 0; r < kRows; ++r) {
    TSSByteArray bits(kBits, 0);
    for (int i = 0; i < kBits; ++i) {
      const bool header = i < 40 && ((0x5A3C0F1Eu >> (i % 32)) & 1u);
      const bool fields = i >= 40 && i < 72;
      if (content == kAirConditioner)
        bits[static_cast<std::size_t>(i)] = header   ? 1
                                            : fields ? static_cast<std::uint8_t>(random() & 1u)
                                                     : 0;
      else
        bits[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(random() & 1u);
    }
    if (content != kNoChecksum) {
      const auto value = static_cast<std::uint32_t>(klimavo::ir::CrcCalculate(bits, sum, elements, true));
      for (int i = 0; i < 8; ++i)
        bits[static_cast<std::size_t>(120 + i)] = static_cast<std::uint8_t>((value >> i) & 1u);
    }
    rows.push_back(bits);
  }
  return rows;
}

void BM_DiscoverChecksum(benchmark::State& state) {
  const auto elements = klimavo::ir::ParseProtocol("<0>[128]<1>").Elements;
  const auto rows = Codes(static_cast<Content>(state.range(0)), elements);
  std::size_t candidates = 0;
  for (auto _ : state) {
    const auto result = klimavo::analysis::DiscoverChecksums(elements, rows, true);
    candidates = result.candidates.size();
    benchmark::DoNotOptimize(result.candidates.data());
  }
  state.counters["candidates"] = static_cast<double>(candidates);
}
BENCHMARK(BM_DiscoverChecksum)
    ->ArgName("content")
    ->Arg(kAirConditioner)
    ->Arg(kRandomBytes)
    ->Arg(kNoChecksum)
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
