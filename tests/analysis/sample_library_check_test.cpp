// Every record of the sample library is checked with its own signals: the
// chip image emulator plays each function key in a few states, as the
// programmed remote would send it, and the remote check reads every press as
// one of the record's formats with no contradicting bit; filter by learning,
// fed the same press decoded as the format chooser decodes it, lists the record.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "analysis/protocol_comparison.h"
#include "analysis/remote_check.h"
#include "config/config.h"
#include "ir/decode.h"
#include "signal_support.h"
#include "store/library.h"

namespace klimavo::analysis {
namespace {

constexpr double kTolerance = config::kDecodeToleranceBeforeRead;
constexpr int kFunctionKeys = 6;
constexpr int kTemperatureKey = 1;

std::vector<int> StatesToTry(int state_count) {
  std::vector<int> states{0, 1, state_count / 2, state_count - 1};
  std::sort(states.begin(), states.end());
  states.erase(std::unique(states.begin(), states.end()), states.end());
  std::erase_if(states, [&](int s) { return s < 0 || s >= state_count; });
  return states;
}

struct Sample {
  std::string file;
  store::EditableRecord editable;
};

std::vector<Sample> LoadSamples() {
  std::vector<Sample> samples;
  for (const auto& file : testing::SampleRecordFiles())
    samples.push_back({file.filename().string(), testing::LoadSampleRecord(file)});
  return samples;
}

store::TdiskAirList LibraryOf(const std::vector<Sample>& samples) {
  store::TdiskAirList library;
  for (const Sample& s : samples)
    library.push_back(
        {s.editable.record, store::PackLines(s.editable.bit_lines, s.editable.record.LsbFirst != 0)});
  return library;
}

TEST(SampleLibrary, EveryRecordsOwnSignalsPassTheRemoteCheckAndFindTheRecord) {
  const std::vector<Sample> samples = LoadSamples();
  ASSERT_FALSE(samples.empty());
  const store::TdiskAirList library = LibraryOf(samples);
  TTheAcComp comparison(library, {kTolerance, false});
  int presses = 0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const store::TdiskAir& record = samples[i].editable.record;
    const RemoteCheck check(record, kTolerance);
    for (int key = 0; key < kFunctionKeys; ++key) {
      for (int state : StatesToTry(record.Keys[static_cast<std::size_t>(key)].StateCount)) {
        SCOPED_TRACE(samples[i].file + " key " + std::to_string(key) + " state " + std::to_string(state));
        const ir::TIRIntegerArr signal =
            testing::EmulatePress(record, samples[i].editable.bit_lines, key, state);
        ASSERT_FALSE(signal.empty());
        const RemoteCheckResult result = check.Check(signal, record.Params.Carrier);
        EXPECT_EQ(result.outcome, CheckOutcome::kChecked);
        EXPECT_EQ(result.ErrorBits(), std::vector<int>{});
        EXPECT_TRUE(
            std::all_of(result.checksums.begin(), result.checksums.end(), [](bool ok) { return ok; }));
        if (!check.HasDisplay()) {
          ASSERT_TRUE(result.key.has_value());
          const bool minus = key == kTemperatureKey && state != 0;
          EXPECT_EQ(result.key->key, key);
          EXPECT_EQ(result.key->minus, minus);
        }

        ir::Tcomp_aval decoded;
        ASSERT_TRUE(ir::DecodeCapture(signal, record.Params.Carrier, true, true, kTolerance, decoded));
        const std::vector<int> hits = comparison.CompareWithLibrary(decoded);
        EXPECT_NE(std::find(hits.begin(), hits.end(), static_cast<int>(i)), hits.end());
        ++presses;
      }
    }
  }
  EXPECT_GT(presses, 0);
}

}  // namespace
}  // namespace klimavo::analysis
