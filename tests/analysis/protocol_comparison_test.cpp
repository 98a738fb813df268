// Filter by learning: a decoded capture fits a record when logic codes, the
// power key's frame structure, the stored code of a remote without display,
// the checksums and every function field agree; a record that fails late
// leaves a (library index, reason code) pair.

#include "analysis/protocol_comparison.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ir/decode.h"
#include "ir/protocol.h"
#include "record_fixtures.h"
#include "signal_support.h"

namespace klimavo::analysis {
namespace {

using testing::ByteSum;
using testing::DisplayRecord;
using testing::PressBits;

constexpr double kTolerance = 0.25;
const std::vector<int> kStoredStates{0, 8, 1, 0, 0, 0};

// The record with its stored code (power off, 24 degrees, mode 1) in slot 0.
store::TdiskAir Recorded(store::TdiskAir r) {
  ir::TSSByteArray bytes;
  ir::BitsToBytes(ir::ParseProtocol(r.Slots[0].Text.str()).Elements, PressBits(r, kStoredStates), true,
                  bytes);
  std::copy(bytes.begin(), bytes.end(), r.Slots[0].Code.begin());
  return r;
}

store::TdiskAir NecRecord() { return Recorded(DisplayRecord("<0>[32]<2>", 0, ByteSum(0, 3, 0, 24))); }

// The capture as the format chooser decodes it in filter mode.
ir::Tcomp_aval Decoded(const store::TdiskAir& r, const ir::TSSByteArray& bits) {
  const ir::TIRIntegerArr capture =
      testing::SynthesiseBits(r.Params, ir::ParseProtocol(r.Slots[0].Text.str()).Elements, bits);
  ir::Tcomp_aval result;
  EXPECT_TRUE(ir::DecodeCapture(capture, 38000, true, true, kTolerance, result));
  return result;
}

struct Outcome {
  bool match;
  std::optional<ComparisonStep> step;
  std::optional<int> code;
  std::vector<ComparisonDiagnostic> diagnostics;
};

Outcome Compare(const store::TdiskAir& record, const ir::Tcomp_aval& capture, bool skip_base_data = false,
                store::TBtnLines lines = {}) {
  if (lines.empty()) lines.resize(record.KeyCount);
  const store::TdiskAirList library{{record, lines}};
  TTheAcComp comparison(library, {kTolerance, skip_base_data});
  Outcome out;
  out.match = comparison.CompareWithRecord(capture, 0);
  if (!comparison.Rejections().empty()) {
    out.step = comparison.Rejections()[0].step;
    out.code = comparison.Rejections()[0].code;
  }
  out.diagnostics = comparison.Diagnostics();
  return out;
}

struct Case {
  const char* name;
  std::function<void(store::TdiskAir&)> change_record;
  std::function<void(ir::TSSByteArray&)> change_press;  // after the checksum was computed
  std::vector<int> states;
  bool skip_base_data;
  Outcome expected;
};

TEST(ProtocolComparison, EachStepDecidesInTurn) {
  const auto nothing = [](auto&) {};
  const auto flip = [](int bit) {
    return [bit](ir::TSSByteArray& b) { b[static_cast<std::size_t>(bit)] ^= 1; };
  };
  const std::vector<Case> cases{
      {"the stored press", nothing, nothing, kStoredStates, false, {true, {}, {}, {}}},
      {"other states of every key", nothing, nothing, {1, 3, 4, 2, 1, 6}, false, {true, {}, {}, {}}},
      {"other logic codes",
       [](auto& r) { r.Params.Logic[1][1] = -1300; },
       nothing,
       kStoredStates,
       false,
       {false, ComparisonStep::kLogic, {}, {}}},
      {"a third logic code",
       [](auto& r) { r.Params.LogicCount = 3; },
       nothing,
       kStoredStates,
       false,
       {false, ComparisonStep::kLogic, {}, {}}},
      {"other bit count",
       [](auto& r) { r.Slots[0].Text.assign("<0>[40]<2>"); },
       nothing,
       kStoredStates,
       false,
       {false, ComparisonStep::kStructure, {}, {}}},
      {"other split codes only",
       [](auto& r) { r.Slots[0].Text.assign("<1>[32]<0>"); },
       nothing,
       kStoredStates,
       false,
       {true, {}, {}, {}}},
      {"power key without a format slot",
       [](auto& r) { r.Keys[0].Slot = r.Keys[0].Slot2 = store::kNoSlot; },
       nothing,
       kStoredStates,
       false,
       {false, ComparisonStep::kStructure, {}, {}}},
      {"power key's second slot fits",
       [](auto& r) {
         r.Slots[1] = r.Slots[0];
         r.Slots[0].Text.assign("<0>[16]<2>");
         r.Keys[0].Slot2 = 1;
       },
       nothing,
       kStoredStates,
       false,
       {true, {}, {}, {}}},
      {"with two power codes the power field of both is a base bit",
       [](auto& r) {
         r.Slots[1] = r.Slots[0];
         r.Slots[0].Text.assign("<0>[16]<2>");
         r.Keys[0].Slot2 = 1;
       },
       nothing,
       {1, 8, 1, 0, 0, 0},
       false,
       {false, ComparisonStep::kCodeBits, 1, {{0, 1}}}},
      {"checksum that does not compute",
       nothing,
       flip(30),
       kStoredStates,
       false,
       {false, ComparisonStep::kChecksum, {}, {}}},
      {"checksum flag of the record clear",
       [](auto& r) { r.HasChecksum = 0; },
       flip(30),
       kStoredStates,
       false,
       {true, {}, {}, {}}},
      {"first field carries a value of no state and not the stored one",
       [](auto& r) { r.Keys[0].Columns[0].Values[1] = 0; },
       nothing,
       {1, 8, 1, 0, 0, 0},
       false,
       {false, ComparisonStep::kCodeBits, 1, {{0, 1}}}},
      {"third field off its values",
       [](auto& r) { r.Keys[2].Columns[0].Values[4] = 9; },
       nothing,
       {0, 8, 4, 0, 0, 0},
       false,
       {false, ComparisonStep::kCodeBits, 3, {{0, 3}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    store::TdiskAir original = NecRecord();
    ir::TSSByteArray bits = PressBits(original, c.states);
    c.change_press(bits);
    store::TdiskAir record = original;
    c.change_record(record);
    const Outcome got = Compare(record, Decoded(original, bits), c.skip_base_data);
    EXPECT_EQ(got.match, c.expected.match);
    EXPECT_EQ(got.step, c.expected.step);
    EXPECT_EQ(got.code, c.expected.code);
    EXPECT_EQ(got.diagnostics, c.expected.diagnostics);
  }
}

TEST(ProtocolComparison, BaseBitsCountUnlessSkipped) {
  // Without checksums, a bit outside every field and target (bit 26) differs
  // from the stored code: the base-bit test names its position + 1.
  store::TdiskAir record = NecRecord();
  ir::TSSByteArray bits = PressBits(record, kStoredStates);
  record.HasChecksum = 0;
  record.Slots[0].Crc.HasChecksum = 0;
  bits[26] ^= 1;
  const ir::Tcomp_aval capture = Decoded(record, bits);
  const Outcome strict = Compare(record, capture, false);
  EXPECT_FALSE(strict.match);
  EXPECT_EQ(strict.step, ComparisonStep::kCodeBits);
  EXPECT_EQ(strict.code, 27);
  EXPECT_EQ(strict.diagnostics, (std::vector<ComparisonDiagnostic>{{0, 27}}));
  EXPECT_TRUE(Compare(record, capture, true).match);

  // A checksum target is no base bit: with the checksum item kept on the slot
  // but the record-wide flag clear, its bits may differ.
  record.Slots[0].Crc.HasChecksum = 1;
  ir::TSSByteArray target_changed = PressBits(record, kStoredStates);
  target_changed[26] ^= 1;
  EXPECT_TRUE(Compare(record, Decoded(record, target_changed), false).match);
}

TEST(ProtocolComparison, ARecordWithoutColumnsMatchesItsStoredCodeOnly) {
  store::TdiskAir record = NecRecord();
  for (std::size_t k = 0; k < record.KeyCount; ++k)
    for (auto& column : record.Keys[k].Columns) column.Frame = store::kUnusedFrame;
  const ir::TSSByteArray stored = PressBits(NecRecord(), kStoredStates);
  EXPECT_TRUE(Compare(record, Decoded(record, stored)).match);
  ir::TSSByteArray other = PressBits(NecRecord(), {1, 8, 1, 0, 0, 0});
  const Outcome got = Compare(record, Decoded(record, other));
  EXPECT_FALSE(got.match);
  EXPECT_EQ(got.step, ComparisonStep::kCodeBits);  // the power bit is a base bit now
  EXPECT_EQ(got.code, 1);
}

TEST(ProtocolComparison, ARemoteWithoutDisplayMatchesOnlyItsStoredCodes) {
  // Slot q holds key q's code; slot 6, after the last key, temperature down.
  // Slot 7 holds a code that belongs to no key.
  for (bool lsb_first : {true, false}) {
    SCOPED_TRACE(lsb_first);
    store::TdiskAir record = NecRecord();
    record.RemoteType = 1;
    record.HasChecksum = 0;
    record.LsbFirst = lsb_first ? 1 : 0;
    for (std::uint8_t q = 0; q < 8; ++q)
      record.Slots[q].Code = {0xA5, 0x5A, static_cast<std::uint8_t>(0x10 + q),
                              static_cast<std::uint8_t>(0xEF - q)};
    const ir::TStrProt_Listbase elements = ir::ParseProtocol("<0>[32]<2>").Elements;
    for (auto [q, match] :
         {std::pair{0, true}, std::pair{3, true}, std::pair{6, true}, std::pair{7, false}}) {
      SCOPED_TRACE(q);
      ir::TSSByteArray bits;
      const auto& code = record.Slots[static_cast<std::size_t>(q)].Code;
      ir::BytesToBits(elements, ir::TSSByteArray(code.begin(), code.begin() + 4), lsb_first, bits);
      const Outcome got = Compare(record, Decoded(record, bits));
      EXPECT_EQ(got.match, match);
      if (!match) {
        EXPECT_EQ(got.step, ComparisonStep::kStoredCode);
      }
    }
  }
}

TEST(ProtocolComparison, ACodeLongerThanTheStoredBytesAndABitCountOffItsStructureAreReportedOnce) {
  // More than 64 code bytes cannot be read from a slot: reason 1. Bits that
  // do not fill the structure: reason 2. Each is reported once.
  store::TdiskAir record = NecRecord();
  record.HasChecksum = 0;
  record.Slots[0].Text.assign("<0>[520]<2>");
  ir::Tcomp_aval capture;
  capture.LogicCodes = {{560, -560}, {560, -1690}};
  capture.Protocol = ir::ParseProtocol("<0>[520]<1>");
  capture.Bits.assign(520, 0);
  Outcome got = Compare(record, capture);
  EXPECT_EQ(got.code, kReasonStoredCodeUnreadable);
  EXPECT_EQ(got.diagnostics, (std::vector<ComparisonDiagnostic>{{0, kReasonStoredCodeUnreadable}}));

  record.Slots[0].Text.assign("<0>[32]<2>");
  capture.Protocol = ir::ParseProtocol("<0>[32]<1>");
  capture.Bits.assign(32, 0);
  got = Compare(record, capture);
  EXPECT_TRUE(got.match || got.step == ComparisonStep::kCodeBits);
  capture.Bits.assign(31, 0);  // one bit short of its structure
  got = Compare(record, capture);
  EXPECT_EQ(got.code, kReasonBitCountDiffers);
  EXPECT_EQ(got.diagnostics, (std::vector<ComparisonDiagnostic>{{0, kReasonBitCountDiffers}}));
}

TEST(ProtocolComparison, TheLibrarySearchListsEveryFittingRecordAndCanBeCancelled) {
  store::TdiskAir other = NecRecord();
  other.Params.Logic[1][1] = -1200;
  const store::TdiskAir nec = NecRecord();
  const store::TdiskAirList library{
      {nec, store::TBtnLines(6)}, {other, store::TBtnLines(6)}, {nec, store::TBtnLines(6)}};
  TTheAcComp comparison(library, {kTolerance, false});
  const ir::Tcomp_aval capture = Decoded(nec, PressBits(nec, kStoredStates));
  EXPECT_EQ(comparison.CompareWithLibrary(capture), (std::vector<int>{0, 2}));
  ASSERT_EQ(comparison.Rejections().size(), 1u);
  EXPECT_EQ(comparison.Rejections()[0].index, 1);
  EXPECT_FALSE(comparison.Cancelled());

  EXPECT_EQ(comparison.CompareWithLibrary(capture, [](int done, int) { return done < 2; }),
            (std::vector<int>{0}));
  EXPECT_TRUE(comparison.Cancelled());
  EXPECT_FALSE(comparison.CompareWithRecord(capture, 3));
}

// Zones of the power key that sends two formats, of a column taken from
// another key, and of the values another key's code fixes.
TEST(ProtocolComparison, FunctionZonesFollowTheSlotUnderTest) {
  store::TdiskAir r = NecRecord();
  r.Slots[1] = r.Slots[0];
  r.Keys[0].Slot2 = 1;
  store::TdiskBitColumn& both = r.Keys[0].Columns[0];  // bits 0-3: states 0 and 1 set
  store::TdiskBitColumn& first = r.Keys[0].Columns[1] = both;
  first.BitPos = 24;
  first.Values[1] = store::kUnsetValue;
  store::TdiskBitColumn& second = r.Keys[0].Columns[2] = both;
  second.BitPos = 28;
  second.Values[0] = store::kUnsetValue;
  store::TdiskBitColumn& from_fan = r.Keys[0].Columns[3] = both;
  from_fan.Kind = 208 + 3;
  from_fan.Values[0] = 0;  // column 0 of key 3
  r.Keys[4].Slot = 1;
  r.Keys[2].FixedFlags = 1u << 1;  // mode's code also fixes the temperature
  store::TBtnLines lines(6);
  lines[2].push_back({{0x00, 0x0B, 0x00, 0x00}, {}, 0, 0});  // temperature field (bits 4-7) = 0
  const ir::TStrProt_Listbase elements = ir::ParseProtocol("<0>[32]<1>").Elements;

  ASSERT_TRUE(HasTwoPowerCodes(r));
  auto describe = [](const ComparisonZones& zones) {
    std::vector<std::tuple<int, int, std::vector<std::int64_t>>> out;
    for (const auto& z : zones) out.emplace_back(z.bit, z.kind, z.allowed);
    return out;
  };
  using Zones = std::vector<std::tuple<int, int, std::vector<std::int64_t>>>;
  EXPECT_EQ(describe(BuildFunctionZones(r, lines, 0, elements, true)),
            (Zones{{24, kZonePowerFirst, {0}},
                   {4, kZoneColumn, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 0}},
                   {8, kZoneColumn, {2, 3, 4, 5, 6}},
                   {12, kZoneColumn, {3, 4, 5, 6}},
                   {20, kZoneColumn, {5, 6, 7, 8, 9, 10, 11}}}));
  EXPECT_EQ(
      describe(BuildFunctionZones(r, lines, 1, elements, true)),
      (Zones{{28, kZonePowerSecond, {1}}, {16, kZoneColumn, {4, 5}}, {12, kZoneFromKey, {3, 4, 5, 6}}}));

  r.Keys[0].Slot2 = store::kNoSlot;
  EXPECT_FALSE(HasTwoPowerCodes(r));
  const ComparisonZones single = BuildFunctionZones(r, lines, 0, elements, true);
  ASSERT_FALSE(single.empty());
  EXPECT_EQ(single[0].bit, 0);
  EXPECT_EQ(single[0].allowed, (std::vector<std::int64_t>{0, 1}));
}

TEST(ProtocolComparison, LooseStructuresIgnoreSplitNumbersOnly) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  };
  for (const Case& c : {Case{"<0>[32]<1>", "<3>[32]<2>", true}, Case{"<0>[16][16]<1>", "<0>[32]<1>", true},
                        Case{"<0>[32]<1>", "<0>[31]<1>", false}, Case{"<0>[32]<1>", "[32]<0><1>", false},
                        Case{"(<0>[32]<1>)*2", "<0>[32]<1>", false}, Case{"<0>[32]", "<0>[32]<1>", false}}) {
    SCOPED_TRACE(std::string(c.a) + " / " + c.b);
    EXPECT_EQ(SameStructureLoose(ir::ParseProtocol(c.a), ir::ParseProtocol(c.b)), c.same);
  }
}

}  // namespace
}  // namespace klimavo::analysis
