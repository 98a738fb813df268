// Exporting a whole table: every state of the Gree sample record (601 signals:
// off, 5 modes x 4 fans x 2 swings x 15 temperatures) run in the chip emulator,
// then written as a climate-code file, Broadlink packets and JSON Lines, and
// the climate-code file read back, and the table of a learned record with
// each code's basis. Target: the export of a 600-state table
// (emulation and writing) well under 0.5 s on one core.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "capture/capture_format.h"
#include "capture/climate_json.h"
#include "capture/signal_export.h"
#include "store/record_json.h"

namespace {

using namespace klimavo;

const store::EditableRecord& Gree() {
  static const store::EditableRecord record = [] {
    std::ifstream in(std::filesystem::path(KLIMAVO_SOURCE_DIR) / "data/library/01-gree.json");
    std::stringstream text;
    text << in.rdbuf();
    return store::RecordFromJsonText(text.str());
  }();
  return record;
}

const std::vector<capture::CaptureRead>& AllStates() {
  static const std::vector<capture::CaptureRead> captures =
      capture::SignalExporter(Gree().record, Gree().bit_lines, {}).ExportAllStates().captures;
  return captures;
}

void BM_EmulateAllStates(benchmark::State& state) {
  for (auto _ : state) {
    const capture::SignalExporter exporter(Gree().record, Gree().bit_lines, {});
    const capture::SignalExport out = exporter.ExportAllStates();
    if (out.error || out.captures.size() != 601) state.SkipWithError("export failed");
    benchmark::DoNotOptimize(out.captures.data());
  }
  state.SetItemsProcessed(state.iterations() * 601);
}
BENCHMARK(BM_EmulateAllStates)->Unit(benchmark::kMillisecond);

void BM_WriteAllStates(benchmark::State& state, const char* id) {
  const capture::CaptureFormat* format = capture::FindCaptureFormat(id);
  for (auto _ : state) {
    std::string text;
    if (format->write(AllStates(), text)) state.SkipWithError("write failed");
    benchmark::DoNotOptimize(text.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(AllStates().size()));
}
BENCHMARK_CAPTURE(BM_WriteAllStates, climate_json, "climate-json")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteAllStates, broadlink, "broadlink")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_WriteAllStates, jsonl, "jsonl")->Unit(benchmark::kMillisecond);

// The table of a learned record as `export-signals --pressed` writes it: 30
// pressed codes compared with the table's codes (each read blind), every
// state's basis, the JSON Lines written.
void BM_WriteLearnedTable(benchmark::State& state) {
  capture::AllStatesRequest request;
  for (std::size_t i = 1; i < AllStates().size() && request.pressed_codes.size() < 30; i += 20)
    request.pressed_codes.push_back(AllStates()[i]);
  const capture::CaptureFormat* jsonl = capture::FindCaptureFormat("jsonl");
  for (auto _ : state) {
    const capture::SignalExporter exporter(Gree().record, Gree().bit_lines, {});
    const capture::TableText table = capture::WriteAllStatesTable(exporter, Gree().record, *jsonl, request);
    if (table.error || table.codes != 601) state.SkipWithError("export failed");
    benchmark::DoNotOptimize(table.text.data());
  }
  state.SetItemsProcessed(state.iterations() * 601);
}
BENCHMARK(BM_WriteLearnedTable)->Unit(benchmark::kMillisecond);

void BM_ReadClimateJson(benchmark::State& state) {
  std::string text;
  capture::WriteClimateJson(AllStates(), capture::ClimateFileInfo{}, text);
  for (auto _ : state) {
    const capture::ReadResult r = capture::ReadCaptureText(text, capture::ReadOptions{});
    if (!r.ok() || r.captures.size() != 601) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(r.captures.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ReadClimateJson)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
