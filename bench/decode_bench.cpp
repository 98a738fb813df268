// Decoding throughput over the shared corpus of real captures, and the protocol
// text and bit packing helpers on the decoder's path.

#include <benchmark/benchmark.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "ir/assisted_decode.h"
#include "ir/captures_alike.h"
#include "ir/decode.h"
#include "ir/protocol.h"

namespace {

using klimavo::ir::TIRIntegerArr;

struct BenchCapture {
  std::string source;  ///< the remote file it came from
  TIRIntegerArr ticks;
  std::int32_t carrier = 0;
};

const std::vector<BenchCapture>& Corpus() {
  static const std::vector<BenchCapture> corpus = [] {
    std::vector<BenchCapture> out;
    std::ifstream in(KLIMAVO_CORPUS_FILE);
    std::string line;
    while (std::getline(in, line)) {
      const auto j = nlohmann::json::parse(line);
      BenchCapture c;
      c.source = j.at("source").get<std::string>();
      c.carrier = j.at("carrier_hz");
      for (std::int32_t us : j.at("durations_us")) c.ticks.push_back(us * 10);
      out.push_back(std::move(c));
    }
    return out;
  }();
  return corpus;
}

// One iteration decodes every capture of the corpus once.
void BM_DecodeCorpus(benchmark::State& state) {
  const auto& corpus = Corpus();
  if (corpus.empty()) {
    state.SkipWithError("no corpus");
    return;
  }
  const bool both_orders = state.range(0) != 0;
  std::size_t durations = 0;
  for (const BenchCapture& c : corpus) durations += c.ticks.size();
  klimavo::ir::Tcomp_aval result;
  for (auto _ : state) {
    for (const BenchCapture& c : corpus) {
      const bool ok = klimavo::ir::DecodeCapture(c.ticks, c.carrier, both_orders, true,
                                                 klimavo::ir::kDefaultDecodeTolerance, result);
      benchmark::DoNotOptimize(ok);
      benchmark::DoNotOptimize(result.Bytes.data());
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * corpus.size()));
  state.counters["durations/s"] = benchmark::Counter(
      static_cast<double>(durations) * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeCorpus)->Arg(1)->Arg(0);

// The assisted decode over the same corpus, beside BM_DecodeCorpus: most
// captures read soundly at once, so it should cost at most three times as much.
void BM_AssistedDecodeCorpus(benchmark::State& state) {
  const auto& corpus = Corpus();
  if (corpus.empty()) {
    state.SkipWithError("no corpus");
    return;
  }
  const bool both_orders = state.range(0) != 0;
  std::int64_t improved = 0;
  for (auto _ : state) {
    improved = 0;
    for (const BenchCapture& c : corpus) {
      const auto decode = klimavo::ir::AssistedDecodeCapture(c.ticks, c.carrier, both_orders, true,
                                                             klimavo::ir::kDefaultDecodeTolerance);
      improved += decode.outcome == klimavo::ir::AssistOutcome::kImproved ? 1 : 0;
      benchmark::DoNotOptimize(decode.result.Bytes.data());
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * corpus.size()));
  state.counters["improved"] = static_cast<double>(improved);
}
BENCHMARK(BM_AssistedDecodeCorpus)->Arg(1)->Arg(0);

// As `decode --assist` reads the corpus one remote file at a time: the
// assisted decode of each capture, then the file's captures read alike.
void BM_AssistedDecodeCorpusFiles(benchmark::State& state) {
  const auto& corpus = Corpus();
  if (corpus.empty()) {
    state.SkipWithError("no corpus");
    return;
  }
  const bool both_orders = state.range(0) != 0;
  std::int64_t reread = 0;
  for (auto _ : state) {
    reread = 0;
    std::vector<klimavo::ir::AlikeCapture> file;
    for (std::size_t i = 0; i < corpus.size(); ++i) {
      const BenchCapture& c = corpus[i];
      file.push_back({c.ticks, klimavo::ir::AssistedDecodeCapture(c.ticks, c.carrier, both_orders, true,
                                                                  klimavo::ir::kDefaultDecodeTolerance)});
      if (i + 1 < corpus.size() && corpus[i + 1].source == c.source) continue;
      reread += klimavo::ir::ReadCapturesAlike(file, both_orders, true, klimavo::ir::kDefaultDecodeTolerance);
      benchmark::DoNotOptimize(file.back().decode.result.Bytes.data());
      file.clear();
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * corpus.size()));
  state.counters["read alike"] = static_cast<double>(reread);
}
BENCHMARK(BM_AssistedDecodeCorpusFiles)->Arg(1)->Arg(0);

// Growth: 1,000, 10,000 and 100,000 captures (the corpus over and over, each
// one its own copy) decoded with both bit orders, one iteration each pass.
void BM_DecodeCaptures(benchmark::State& state) {
  const auto& corpus = Corpus();
  if (corpus.empty()) {
    state.SkipWithError("no corpus");
    return;
  }
  const auto count = static_cast<std::size_t>(state.range(0));
  std::vector<BenchCapture> captures;
  captures.reserve(count);
  for (std::size_t i = 0; i < count; ++i) captures.push_back(corpus[i % corpus.size()]);
  klimavo::ir::Tcomp_aval result;
  for (auto _ : state) {
    for (const BenchCapture& c : captures) {
      const bool ok = klimavo::ir::DecodeCapture(c.ticks, c.carrier, true, true,
                                                 klimavo::ir::kDefaultDecodeTolerance, result);
      benchmark::DoNotOptimize(ok);
      benchmark::DoNotOptimize(result.Bytes.data());
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
}
BENCHMARK(BM_DecodeCaptures)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_ParseProtocol(benchmark::State& state) {
  const std::string texts[] = {"<0>[32]<1>", "(<0>[48]<1>)*2", "<0>[8*4+3]<1><2>[64]<3>",
                               "<0><1>[56]<2><1>[56]<2>"};
  for (auto _ : state)
    for (const std::string& t : texts) benchmark::DoNotOptimize(klimavo::ir::ParseProtocol(t));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * std::size(texts)));
}
BENCHMARK(BM_ParseProtocol);

void BM_BitsToBytes(benchmark::State& state) {
  const auto elements = klimavo::ir::ParseProtocol("<0>[35]<1>[32]<2>[64]").Elements;
  klimavo::ir::TSSByteArray bits(131);
  for (std::size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<std::uint8_t>((i * 7 / 3) % 2);
  klimavo::ir::TSSByteArray bytes;
  for (auto _ : state) {
    benchmark::DoNotOptimize(klimavo::ir::BitsToBytes(elements, bits, true, bytes));
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_BitsToBytes);

}  // namespace

BENCHMARK_MAIN();
