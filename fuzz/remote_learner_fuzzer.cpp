// Learns a remote from arbitrary labelled captures, as `klimavo-cli learn`
// does with files from anywhere: any capture file (labels from JSON Lines
// objects or "# label" comments, any names and values), at most 40 captures.
// The learner must make a record within the record's tables or say why not,
// and its report must print in text and JSON whatever the labels say.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "analysis/learn_report.h"
#include "analysis/remote_learner.h"
#include "capture/capture_format.h"
#include "store/protocol_record.h"

namespace {

using namespace klimavo;

constexpr std::size_t kMaxCaptures = 40;
constexpr std::size_t kMaxDurations = 2000;

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  capture::ReadOptions options;
  options.limits.durations = kMaxDurations;
  const capture::ReadResult read =
      capture::ReadCaptureText(std::string_view(reinterpret_cast<const char*>(data), size), options);
  if (!read.ok()) return 0;
  analysis::RemoteLearner learner;
  for (std::size_t i = 0; i < read.captures.size() && i < kMaxCaptures; ++i)
    learner.Add({"in:" + std::to_string(i), read.captures[i].label, capture::ToCapture(read.captures[i])});
  const analysis::LearnResult result = learner.Learn();
  (void)analysis::LearnReportJson(result, std::nullopt).dump();
  (void)analysis::LearnReportText(result);
  if (!result.made) return 0;
  const store::TdiskAir& r = result.record.record;
  Check(r.KeyCount <= store::kMaxKeys);
  for (std::size_t k = 0; k < r.UsedKeys(); ++k) Check(r.Keys[k].StateCount <= store::kMaxStates);
  for (const analysis::LearnedFunction& f : result.functions) {
    Check(f.states.size() <= store::kMaxStates);
    for (const analysis::LearnedColumn& c : f.columns) Check(c.width >= 1 && c.width <= 8);
    for (const analysis::LearnedState& s : f.states) Check(s.values.size() == f.columns.size());
  }
  for (const analysis::PlannedPress& p : result.plan) Check(!p.label.empty());
  return 0;
}
