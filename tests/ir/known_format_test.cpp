#include "ir/known_format.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "ir/protocol.h"

namespace klimavo::ir {
namespace {

constexpr double kTolerance = 0.21;
constexpr std::int32_t x = kUnusedDuration;

TIRGsPara Params(std::initializer_list<std::array<std::int32_t, 4>> logic,
                 std::initializer_list<std::array<std::int32_t, 2>> split) {
  TIRGsPara p;
  for (const auto& code : logic) p.Logic[p.LogicCount++] = code;
  for (const auto& code : split) p.Split[p.SplitCount++] = code;
  return p;
}

// Pulse distance: equal marks, the space tells the bit.
const TIRGsPara kDistance = Params({{560, -560, x, x}, {560, -1690, x, x}}, {{9000, -4500}, {560, -20000}});
// Pulse width: the mark tells the bit.
const TIRGsPara kWidth = Params({{500, -1000, x, x}, {1000, -500, x, x}}, {{3000, -3000}});
// Bi-phase with half-bit T = 500, and a leader and an end mark.
const TIRGsPara kBiphase = Params({{500, -500, x, x}, {-500, 500, x, x}}, {{2000, -1000}, {3000, -3000}});

std::string Text(const TStrProt_Listbase& elements) { return PrintElements(elements); }

TEST(IsBiphaseFormat, NeedsTwoLogicCodesOfEqualHalves) {
  EXPECT_TRUE(IsBiphaseFormat(kBiphase));
  EXPECT_FALSE(IsBiphaseFormat(kDistance));
  TIRGsPara three = kBiphase;
  three.LogicCount = 3;
  EXPECT_FALSE(IsBiphaseFormat(three));
}

struct LogicCase {
  const char* what;
  const TIRGsPara* params;
  std::int64_t mark;
  std::int64_t space;
  bool is_last;
  int expected;
};

TEST(MatchLogicCode, ReadsMarkAndSpaceOrTheLastMarkAlone) {
  const TIRGsPara three = Params({{500, -500, x, x}, {500, -1000, x, x}, {500, -1500, x, x}}, {});
  TIRGsPara damaged = kDistance;
  damaged.LogicCount = 200;  // more than the table holds
  const LogicCase cases[] = {
      {"bit 0", &kDistance, 560, -560, false, 0},
      {"bit 1 within the tolerance", &kDistance, 600, -1800, false, 1},
      {"no such space", &kDistance, 560, -3000, false, -1},
      {"a mark far off", &kDistance, 900, -560, false, -1},
      {"equal marks: the last pair is never a bit", &kDistance, 560, -560, true, -1},
      {"different marks: the last pair by its mark", &kWidth, 1000, -99999, true, 1},
      {"different marks: the last pair, bit 0", &kWidth, 500, 0, true, 0},
      {"three logic codes", &three, 500, -1500, false, 2},
      {"a damaged count stops at the table", &damaged, 560, -1690, false, 1},
  };
  for (const LogicCase& c : cases) {
    EXPECT_EQ(MatchLogicCode({*c.params, kTolerance}, c.mark, c.space, c.is_last), c.expected) << c.what;
  }
  TIRGsPara none;
  EXPECT_EQ(MatchLogicCode({none, kTolerance}, 560, -560, false), -1);
}

TEST(MatchSplitCode, ReadsMarkAndSpaceUnlessLast) {
  const KnownFormat f{kDistance, kTolerance};
  EXPECT_EQ(MatchSplitCode(f, 9000, -4500, false), 0);
  EXPECT_EQ(MatchSplitCode(f, 560, -20000, false), 1);
  EXPECT_EQ(MatchSplitCode(f, 560, -4500, false), -1);
  EXPECT_EQ(MatchSplitCode(f, 560, -4500, true), 1);  // the mark alone
  EXPECT_EQ(MatchSplitCode(f, 4000, -4500, true), -1);
  TIRGsPara damaged = kDistance;
  damaged.SplitCount = 255;
  EXPECT_EQ(MatchSplitCode({damaged, kTolerance}, 7777, -7777, false), -1);
}

struct CaptureCase {
  const char* what;
  const TIRGsPara* params;
  TIRIntegerArr durations;
  int expected;
  const char* bits;      // expected bits as digits
  const char* elements;  // PrintElements of the expected elements
};

class MatchCaptureTable : public ::testing::TestWithParam<CaptureCase> {};

TEST_P(MatchCaptureTable, ReadsTheCapture) {
  const CaptureCase& c = GetParam();
  TSSByteArray bits;
  TStrProt_Listbase elements;
  EXPECT_EQ(MatchCapture(c.durations, {*c.params, kTolerance}, bits, elements), c.expected) << c.what;
  std::string digits;
  for (std::uint8_t b : bits) digits += static_cast<char>('0' + b);
  EXPECT_EQ(digits, c.bits) << c.what;
  EXPECT_EQ(Text(elements), c.elements) << c.what;
}

const TIRGsPara kThree = Params({{500, -500, x, x}, {500, -1000, x, x}, {500, -1500, x, x}}, {{4000, -4000}});

INSTANTIATE_TEST_SUITE_P(
    Pairs, MatchCaptureTable,
    ::testing::Values(
        CaptureCase{"pulse distance: the final pair is a split code by its mark",
                    &kDistance,
                    {9000, -4500, 560, -1690, 560, -560, 560, -560, 560, -7000},
                    3,
                    "100",
                    "<0>[1][1][1]<1>"},
        CaptureCase{"pulse width: the final pair is a bit by its mark",
                    &kWidth,
                    {3000, -3000, 1000, -500, 500, -1000, 1000, -40000},
                    3,
                    "101",
                    "<0>[1][1][1]"},
        CaptureCase{"three logic codes give 0, 1 and 2",
                    &kThree,
                    {4000, -4000, 500, -1500, 500, -500, 500, -1000, 4000, -9},
                    3,
                    "201",
                    "<0>[1][1][1]<0>"},
        CaptureCase{"an odd duration at the end is not a pair",
                    &kDistance,
                    {9000, -4500, 560, -560, 560, -560, 560},
                    1,
                    "0",
                    "<0>[1]<1>"},
        CaptureCase{"pair 2 matches nothing: -2",
                    &kDistance,
                    {9000, -4500, 560, -1690, 7000, -560, 560, -560},
                    -2,
                    "1",
                    "<0>[1]"},
        CaptureCase{"the first pair matches nothing: 0", &kDistance, {7000, -7000, 560, -560}, 0, "", ""},
        CaptureCase{"no pairs: no bits", &kDistance, {9000}, 0, "", ""}));

INSTANTIATE_TEST_SUITE_P(
    Biphase, MatchCaptureTable,
    ::testing::Values(
        CaptureCase{"halves and run-together halves",
                    &kBiphase,
                    {500, -500, 500, -1000, 1000, -500},
                    4,
                    "0010",
                    "[4]"},
        CaptureCase{
            "a leading 2T mark is bit 1 then bit 0", &kBiphase, {1000, -500, 500, -500}, 3, "100", "[3]"},
        CaptureCase{"a leader split code",
                    &kBiphase,
                    {2000, -1000, 500, -500, 500, -1000, 1000, -500},
                    4,
                    "0010",
                    "<0>[4]"},
        CaptureCase{"a leader whose space holds the next half-bit",
                    &kBiphase,
                    {2000, -1500, 1000, -500, 500, -500},
                    3,
                    "100",
                    "<0>[3]"},
        CaptureCase{"a split space read again less T",
                    &kBiphase,
                    {2000, -1500, 500, -500, 500, -500},
                    2,
                    "00",
                    "<0>[2]"},
        CaptureCase{
            "a final mark that is a split code", &kBiphase, {500, -500, 500, -500, 3000}, 2, "00", "[2]<1>"},
        CaptureCase{"a final mark that is nothing fails", &kBiphase, {500, -500, 500, -500, 7000}, 0, "", ""},
        CaptureCase{
            "a pair that is nothing fails", &kBiphase, {500, -500, 7000, -7000, 500, -500}, 0, "", ""},
        CaptureCase{"three durations are too few", &kBiphase, {500, -500, 500}, 0, "", ""}));

TEST(MatchCapture, BiphaseBitsInvertWhenTheFirstLogicHalfIsASpace) {
  const TIRGsPara inverted = Params({{-500, 500, x, x}, {500, -500, x, x}}, {});
  TSSByteArray bits;
  TStrProt_Listbase elements;
  ASSERT_EQ(MatchCapture({500, -500, 500, -1000, 1000, -500}, {inverted, kTolerance}, bits, elements), 4);
  EXPECT_EQ(bits, (TSSByteArray{1, 1, 0, 1}));
}

TEST(MatchCapture, BiphaseReadsAtMost512Bits) {
  TIRIntegerArr durations;
  for (int i = 0; i < 600; ++i) {
    durations.push_back(500);
    durations.push_back(-500);
  }
  TSSByteArray bits;
  TStrProt_Listbase elements;
  EXPECT_EQ(MatchCapture(durations, {kBiphase, kTolerance}, bits, elements), 512);
  EXPECT_EQ(bits.size(), 512u);
  EXPECT_EQ(Text(elements), "[512]");
}

struct ProtocolCase {
  const char* what;
  const TIRGsPara* params;
  const char* protocol;
  TIRIntegerArr durations;
  bool ok;
  const char* bits;
};

class MatchCaptureToProtocolTable : public ::testing::TestWithParam<ProtocolCase> {};

TEST_P(MatchCaptureToProtocolTable, FollowsTheStructure) {
  const ProtocolCase& c = GetParam();
  TSSByteArray bits;
  const bool ok =
      MatchCaptureToProtocol(c.durations, {*c.params, kTolerance}, ParseProtocol(c.protocol), bits);
  EXPECT_EQ(ok, c.ok) << c.what;
  if (!ok || !c.ok) return;
  std::string digits;
  for (std::uint8_t b : bits) digits += static_cast<char>('0' + b);
  EXPECT_EQ(digits, c.bits) << c.what;
}

// Four-split timing for the run-together case: split 1 is a pure gap.
const TIRGsPara kGap =
    Params({{500, -500, x, x}, {500, -1500, x, x}}, {{9000, -4500}, {0, -5000}, {500, -20000}});

INSTANTIATE_TEST_SUITE_P(
    Cases, MatchCaptureToProtocolTable,
    ::testing::Values(
        ProtocolCase{"a frame sent once: the end pulse by its mark",
                     &kDistance,
                     "<0>[3]<1>",
                     {9000, -4500, 560, -1690, 560, -560, 560, -1690, 560, -99},
                     true,
                     "101"},
        ProtocolCase{
            "a repeated frame: only the first is read",
            &kDistance,
            "(<0>[2]<1>)*2",
            {9000, -4500, 560, -1690, 560, -560, 560, -20000, 9000, -4500, 560, -560, 560, -560, 560, -99},
            true,
            "10"},
        ProtocolCase{
            "a repeated frame: its end split must match on the space too",
            &kDistance,
            "(<0>[2]<1>)*2",
            {9000, -4500, 560, -1690, 560, -560, 560, -9000, 9000, -4500, 560, -560, 560, -560, 560, -99},
            false,
            ""},
        ProtocolCase{"extra pairs after the frame",
                     &kDistance,
                     "<0>[2]<1>",
                     {9000, -4500, 560, -560, 560, -1690, 560, -20000, 1, -1, 2, -2},
                     true,
                     "01"},
        ProtocolCase{"pulse width: the last bit by its mark",
                     &kWidth,
                     "<0>[3]",
                     {3000, -3000, 500, -1000, 1000, -500, 1000, -77777},
                     true,
                     "011"},
        ProtocolCase{"pulse distance: the last bit cannot be read",
                     &kDistance,
                     "<0>[2]",
                     {9000, -4500, 560, -560, 560, -560},
                     false,
                     ""},
        ProtocolCase{"a bit run together with the gap after it",
                     &kGap,
                     "<0>[2]<1>[2]<2>",
                     {9000, -4500, 500, -500, 500, -5500, 500, -1500, 500, -500, 500, -99},
                     true,
                     "0010"},
        ProtocolCase{"no second reading before the last element",
                     &kGap,
                     "<0>[2]<1>",
                     {9000, -4500, 500, -500, 500, -5500},
                     false,
                     ""},
        ProtocolCase{"a split index beyond the split count",
                     &kDistance,
                     "<0>[1]<5>",
                     {9000, -4500, 560, -560, 560, -99},
                     false,
                     ""},
        ProtocolCase{"a bad split after a bad last bit",
                     &kDistance,
                     "<0>[1]<5>[1]",
                     {9000, -4500, 560, -9999, 560, -560},
                     false,
                     ""},
        ProtocolCase{
            "running out of pairs", &kDistance, "<0>[8]<1>", {9000, -4500, 560, -560, 560, -560}, false, ""},
        ProtocolCase{"the leader does not match",
                     &kDistance,
                     "<0>[1]<1>",
                     {4000, -4500, 560, -560, 560, -99},
                     false,
                     ""},
        ProtocolCase{"fewer than two pairs", &kDistance, "<1>", {560, -560, 560}, false, ""},
        ProtocolCase{"repeat 0 succeeds with no bits", &kDistance, "(<0>[8])*0", {7, -7, 7, -7}, true, ""},
        ProtocolCase{
            "a bi-phase format is not supported", &kBiphase, "[4]", {500, -500, 500, -500}, false, ""}));

// Real captures, read with a timing written down by hand.
std::optional<TIRIntegerArr> CorpusCapture(std::string_view source, std::string_view name) {
  std::ifstream in(KLIMAVO_CORPUS_FILE);
  for (std::string line; std::getline(in, line);) {
    const auto capture = nlohmann::json::parse(line);
    if (capture["source"] == source && capture["name"] == name)
      return capture["durations_us"].get<TIRIntegerArr>();
  }
  return std::nullopt;
}

const TIRGsPara kGree = Params({{650, -550, x, x}, {650, -1650, x, x}}, {{9000, -4500}, {650, -20000}});

// ACs/GREE/Gree_airco.ir "Off": a leader, 35 bits, a 20 ms gap, 32 bits and a
// final mark.
TEST(KnownFormatOnRealCaptures, BothReadingsAgreeOnAGreeFrame) {
  auto durations = CorpusCapture("ACs/GREE/Gree_airco.ir", "Off");
  ASSERT_TRUE(durations) << "the capture is missing from the corpus";
  const KnownFormat f{kGree, kTolerance};
  const TStrProt_Stru protocol = ParseProtocol("<0>[35]<1>[32]<1>");
  TSSByteArray along;
  // The capture ends in its final mark: the end split has no pair to read.
  EXPECT_FALSE(MatchCaptureToProtocol(*durations, f, protocol, along));

  durations->push_back(-20000);
  ASSERT_TRUE(MatchCaptureToProtocol(*durations, f, protocol, along));
  TSSByteArray bits;
  TStrProt_Listbase elements;
  ASSERT_EQ(MatchCapture(*durations, f, bits, elements), 67);
  EXPECT_EQ(bits, along);
  EXPECT_EQ(PrintProtocol({elements, 1}), "<0>[35]<1>[32]<1>");
  TSSByteArray bytes;
  ASSERT_TRUE(BitsToBytes(protocol.Elements, bits, true, bytes));
  EXPECT_EQ(bytes, (TSSByteArray{0x64, 0x07, 0x20, 0x50, 0x02, 0x0B, 0x40, 0x00, 0x90}));
}

// ACs/GREE/Gree_airco.ir "Warm": without the gap code the reading fails at the
// pair after the 35 bits (pair 36).
TEST(KnownFormatOnRealCaptures, ReportsThePairThatMatchesNothing) {
  const auto durations = CorpusCapture("ACs/GREE/Gree_airco.ir", "Warm");
  ASSERT_TRUE(durations) << "the capture is missing from the corpus";
  TIRGsPara no_gap = kGree;
  no_gap.SplitCount = 1;
  TSSByteArray bits;
  TStrProt_Listbase elements;
  EXPECT_EQ(MatchCapture(*durations, {no_gap, kTolerance}, bits, elements), -36);
}

// ACs/Lamborghini/Unknown_Model_1.ir "Off": two leaders, 56 bits and a 40 ms
// gap, sent twice (the second time without the gap).
TEST(KnownFormatOnRealCaptures, ARepeatedFrameIsReadOnceAndItsGapMustMatch) {
  auto durations = CorpusCapture("ACs/Lamborghini/Unknown_Model_1.ir", "Off");
  ASSERT_TRUE(durations) << "the capture is missing from the corpus";
  ASSERT_EQ(durations->size(), 235u);
  const TIRGsPara params =
      Params({{600, -520, x, x}, {600, -1650, x, x}}, {{3150, -3000}, {3120, -4400}, {580, -40000}});
  const KnownFormat f{params, kTolerance};
  TSSByteArray all;
  TStrProt_Listbase elements;
  ASSERT_EQ(MatchCapture(*durations, f, all, elements), 112 - 1);  // the very last bit is the end pair
  EXPECT_EQ(PrintProtocol({elements, 1}), "<0><1>[56]<2><0><1>[55]<2>");

  TSSByteArray first;
  ASSERT_TRUE(MatchCaptureToProtocol(*durations, f, ParseProtocol("(<0><1>[56]<2>)*2"), first));
  EXPECT_EQ(first, TSSByteArray(all.begin(), all.begin() + 56));

  (*durations)[117] = -20000;  // the gap after the first frame no longer matches its split code
  EXPECT_FALSE(MatchCaptureToProtocol(*durations, f, ParseProtocol("(<0><1>[56]<2>)*2"), first));
  EXPECT_TRUE(
      MatchCaptureToProtocol(*durations, f, ParseProtocol("<0><1>[56]<2>"), first));  // sent once: the mark
}

}  // namespace
}  // namespace klimavo::ir
