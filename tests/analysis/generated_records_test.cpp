// The verification tools on records nobody has captured: a few hundred
// generated records (record_generator.h), each pressed through its own table
// image in the chip emulator, as the programmed remote would send it.
// - The table image refuses exactly the records made to be refused.
// - Every press passes the remote check: it matches the format of its key with
//   no contradicting bit and every checksum computes; a remote without display
//   has the pressed key named.
// - A press of the power key's format, decoded as the format chooser decodes
//   it (without the record's timing), finds its record by filter by learning
//   when it is read into the format's bits.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "analysis/protocol_comparison.h"
#include "analysis/remote_check.h"
#include "config/config.h"
#include "firmware/table_image.h"
#include "ir/decode.h"
#include "press_emulation.h"
#include "record_generator.h"
#include "store/library.h"

namespace klimavo::analysis {
namespace {

using testing::GeneratedRecord;
using testing::Press;
using testing::Refusal;

constexpr double kTolerance = config::kDecodeToleranceBeforeRead;
constexpr std::uint32_t kFirstSeed = 1;
constexpr std::uint32_t kRecords = 300;
constexpr std::size_t kFailuresShown = 12;

int ExpectedImageError(Refusal refusal) {
  switch (refusal) {
    case Refusal::kNone:
      return 0;
    case Refusal::kTwoKeysWithParts:
      return 1 - 500;
    case Refusal::kZeroCount:
    case Refusal::kFourLogicCodes:
      return firmware::kImageErrTables;
    case Refusal::kFiveFormats:
      return firmware::kImageErrTooManyFormats;
  }
  return 0;
}

/// Failures collected over all records, shown once (the first few in full).
class Failures {
 public:
  void Add(const GeneratedRecord& g, const std::string& what) {
    if (list_.size() < kFailuresShown) list_.push_back(what + "\n    " + g.summary);
    ++count_;
    seeds_.insert(g.seed);
  }
  void Report() const {
    std::string text;
    for (const std::string& f : list_) text += "  " + f + "\n";
    EXPECT_EQ(count_, 0) << count_ << " failures in " << seeds_.size() << " records:\n" << text;
  }

 private:
  std::vector<std::string> list_;
  int count_ = 0;
  std::set<std::uint32_t> seeds_;
};

// Data bits of every repetition of a structure.
std::int64_t SentBits(const ir::TStrProt_Stru& protocol) {
  return ir::TotalBits(protocol.Elements) * std::max(protocol.Repeat, 1);
}

std::string PressName(const Press& p) {
  return "key " + std::to_string(p.key) + " state " + std::to_string(p.State());
}

TEST(GeneratedRecords, TheTableImageRefusesExactlyTheRecordsMadeToBeRefused) {
  std::map<Refusal, int> refused;
  Failures failures;
  for (std::uint32_t seed = kFirstSeed; seed < kFirstSeed + kRecords; ++seed) {
    const GeneratedRecord g = testing::GenerateRecord(seed);
    const testing::RecordEmulator emulator(g.editable);
    if (emulator.BuildResult() != ExpectedImageError(g.refusal))
      failures.Add(g, "image result " + std::to_string(emulator.BuildResult()));
    ++refused[g.refusal];
  }
  failures.Report();
  int total = 0;
  for (const auto& [reason, count] : refused)
    if (reason != Refusal::kNone) total += count;
  // Refused on purpose: about one record in twelve.
  EXPECT_GE(total, static_cast<int>(kRecords) * 3 / 100);
  EXPECT_LE(total, static_cast<int>(kRecords) * 15 / 100);
  std::string tally;
  for (const auto& [reason, count] : refused)
    tally += std::string(testing::RefusalName(reason)) + " " + std::to_string(count) + "; ";
  RecordProperty("refusals", tally);
  std::cout << "generated " << kRecords << " records: " << tally << "\n";
}

TEST(GeneratedRecords, EveryPressPassesTheRemoteCheckAndFindsItsRecord) {
  Failures failures;
  int presses = 0;
  int matched = 0;
  int read_otherwise = 0;
  for (std::uint32_t seed = kFirstSeed; seed < kFirstSeed + kRecords; ++seed) {
    const GeneratedRecord g = testing::GenerateRecord(seed);
    if (g.refusal != Refusal::kNone) continue;
    const store::TdiskAir& record = g.Record();
    const testing::RecordEmulator emulator(g.editable);
    if (emulator.BuildResult() != 0) continue;  // counted by the refusal test
    const RemoteCheck check(record, kTolerance);
    const store::TdiskAirList library{{record, store::PackLines(g.editable.bit_lines, record.LsbFirst != 0)}};
    TTheAcComp comparison(library, {kTolerance, false});
    testing::Dice dice(seed);
    for (const Press& press : testing::PressEveryKey(dice, record)) {
      const testing::Sent sent = emulator.Play(press);
      if (!sent.ran || sent.error != firmware::kEmulatorOk) {
        failures.Add(g, PressName(press) + ": the emulator stops or looks up wrongly, error " +
                            std::to_string(sent.error));
        continue;
      }
      ++presses;
      const int slot = testing::SlotOfPress(record, press);
      const RemoteCheckResult result = check.Check(sent.ticks, record.Params.Carrier);
      const bool checksums_ok =
          std::all_of(result.checksums.begin(), result.checksums.end(), [](bool b) { return b; });
      if (result.outcome != CheckOutcome::kChecked || !result.ErrorBits().empty() || !checksums_ok ||
          result.format != testing::FormatPosition(check.Formats(), slot)) {
        failures.Add(g, PressName(press) + ": remote check outcome " +
                            std::to_string(static_cast<int>(result.outcome)) + " format " +
                            std::to_string(result.format) + " flagged " +
                            std::to_string(result.ErrorBits().size()) + " checksums ok " +
                            std::to_string(checksums_ok));
        continue;
      }
      if (!check.HasDisplay()) {
        const bool minus = press.key == 1 && press.State() != 0;
        if (!result.key || result.key->key != press.key || result.key->minus != minus)
          failures.Add(
              g, PressName(press) + ": named key " + (result.key ? std::to_string(result.key->key) : "none"));
      }
      // Filter by learning is fed the power key's press; any key sending that
      // format must find the record as well.
      if (check.HasDisplay() && slot != record.Keys[0].Slot) continue;
      ir::Tcomp_aval decoded;
      if (!ir::DecodeCapture(sent.ticks, record.Params.Carrier, true, true, kTolerance, decoded)) {
        failures.Add(g, PressName(press) + ": does not decode");
        continue;
      }
      // Reading a capture without its record's timing can cut it differently
      // (other logic codes, a shorter data run); only a capture read into the
      // format's bits is the record's to find.
      if (SentBits(decoded.Protocol) !=
          SentBits(ir::ParseProtocol(record.Slots[static_cast<std::size_t>(slot)].Text.str()))) {
        ++read_otherwise;
        continue;
      }
      const std::vector<int> hits = comparison.CompareWithLibrary(decoded);
      if (hits.empty()) {
        const ComparisonRejection& why = comparison.Rejections().front();
        failures.Add(g, PressName(press) + ": match rejects it at step " + std::string(StepName(why.step)) +
                            " code " + std::to_string(why.code.value_or(-1)) + " decoded " +
                            ir::PrintProtocol(decoded.Protocol));
        continue;
      }
      ++matched;
    }
  }
  failures.Report();
  std::cout << presses << " presses checked, " << matched << " found by filter by learning, "
            << read_otherwise << " read into other bits without the record's timing\n";
}

}  // namespace
}  // namespace klimavo::analysis
