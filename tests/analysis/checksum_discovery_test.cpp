#include "analysis/checksum_discovery/checksum_discovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "analysis/checksum_discovery/checksum_discovery_report.h"
#include "analysis/checksum_rows.h"
#include "checksum_item_builder.h"
#include "ir/checksum.h"
#include "ir/protocol.h"

namespace klimavo::analysis {
namespace {

using ir::TCrcItem;
using ir::TCrcZone;
using testing::CrcItem;
using testing::CrcItemBuilder;
using testing::RandomCodes;
using testing::Zone;

std::string Describe(const TCrcItem& i) {
  std::string s = "target " + std::to_string(i.TargetFrame) + "/" + std::to_string(i.TargetBit) + "/" +
                  std::to_string(i.TargetWidth) + " kind " + std::to_string(i.Kind) + " width " +
                  std::to_string(i.OperandWidth) + " const " + std::to_string(i.Const) + " op " +
                  std::to_string(i.ConstOp) + " zones";
  for (int z = 0; z < i.ZoneCount && z < 2; ++z) {
    const auto& zz = i.Zones[static_cast<std::size_t>(z)];
    s += " " + std::to_string(zz.StartFrame) + ":" + std::to_string(zz.StartBit) + "-" +
         std::to_string(zz.EndFrame) + ":" + std::to_string(zz.EndBit);
  }
  return s;
}

// The candidates, one per line, for failure messages.
std::string ListOf(const ChecksumDiscovery& result) {
  return std::string(DiscoveryNoteName(result.note)) + "\n" + DiscoveryText(result);
}

bool SameTarget(const TCrcItem& a, const TCrcItem& b) {
  return a.TargetFrame == b.TargetFrame && a.TargetBit == b.TargetBit && a.TargetWidth == b.TargetWidth;
}

// The item holds (computes the value at its target) on fresh random codes
// that carry the true checksums.
::testing::AssertionResult HoldsOnFreshCodes(const ir::TStrProt_Listbase& elements,
                                             const std::vector<TCrcItem>& truth, const TCrcItem& found,
                                             bool lsb_first) {
  for (const auto& bits : RandomCodes(elements, truth, lsb_first, 64, 4242)) {
    const std::int32_t computed = ir::CrcCalculate(bits, found, elements, lsb_first);
    if (computed < 0 || computed != ir::CrcReadTarget(bits, found, elements, lsb_first))
      return ::testing::AssertionFailure() << Describe(found) << " fails on a fresh code";
  }
  return ::testing::AssertionSuccess();
}

enum class Target { Listed, MayBeOther };
enum class Note { Ok, MayStayOpen };

// The best candidate holds on codes the search did not see, and (unless the
// checksum has equivalent forms at other targets) a candidate for the true
// target is listed and holds too.
void ExpectFound(const char* protocol, const TCrcItem& truth, bool lsb_first, int rows, const char* what,
                 Target target = Target::Listed, Note note = Note::Ok) {
  SCOPED_TRACE(std::string(what) + (lsb_first ? " LSB-first" : " MSB-first"));
  const auto elements = ir::ParseProtocol(protocol).Elements;
  const auto codes = RandomCodes(elements, {truth}, lsb_first, rows, 99);
  const ChecksumDiscovery result = DiscoverChecksums(elements, codes, lsb_first);
  ASSERT_FALSE(result.candidates.empty()) << DiscoveryNoteName(result.note);
  EXPECT_LE(result.candidates.size(), static_cast<std::size_t>(kMaxChecksumCandidates));
  EXPECT_TRUE(HoldsOnFreshCodes(elements, {truth}, result.candidates[0], lsb_first));
  for (std::size_t i = 1; i < result.candidates.size(); ++i)
    EXPECT_FALSE(CandidateBefore(result.candidates[i], result.candidates[i - 1])) << i;
  if (target == Target::MayBeOther) return;
  const auto same = std::find_if(result.candidates.begin(), result.candidates.end(),
                                 [&](const TCrcItem& c) { return SameTarget(c, truth); });
  ASSERT_NE(same, result.candidates.end())
      << "no candidate for the target; best " << Describe(result.candidates[0]);
  EXPECT_TRUE(HoldsOnFreshCodes(elements, {truth}, *same, lsb_first));
  if (note == Note::Ok) {
    EXPECT_EQ(result.note, DiscoveryNote::Ok) << ListOf(result);
  }
}

struct KindCase {
  int kind;
  int width;
};

class DiscoveryFindsEachKind : public ::testing::TestWithParam<KindCase> {};

TEST_P(DiscoveryFindsEachKind, OneZoneWithoutConstant) {
  const KindCase k = GetParam();
  // Eight bytes: the checksum over bytes 0..6 sits in byte 7. An exclusive or
  // of nibbles is a nibble and gets a 4-bit target: in a byte its upper half
  // would be 0 in every code, and whether a zone takes those bits in would be
  // open.
  const bool nibble_xor = (k.kind == 6 || k.kind == 10) && k.width == 4;
  const TCrcItem truth =
      CrcItem(k.kind, {Zone(0, 0, 55)}).Operands(k.width).Target(0, 56, nibble_xor ? 4 : 8);
  // Before the nibble exchange, a sum plus 255 differs from the sum only for
  // sums ending in hexadecimal 0: twelve codes leave that open half the time.
  const Note note = k.kind == 7 ? Note::MayStayOpen : Note::Ok;
  for (bool lsb : {true, false}) ExpectFound("<0>[64]<1>", truth, lsb, 12, "kind", Target::Listed, note);
}

INSTANTIATE_TEST_SUITE_P(Kinds, DiscoveryFindsEachKind,
                         ::testing::Values(KindCase{0, 8}, KindCase{0, 4}, KindCase{1, 8}, KindCase{1, 4},
                                           KindCase{2, 8}, KindCase{3, 8}, KindCase{4, 8}, KindCase{5, 8},
                                           KindCase{6, 8}, KindCase{6, 4}, KindCase{7, 8}, KindCase{7, 4},
                                           KindCase{8, 8}, KindCase{8, 4}, KindCase{9, 8}, KindCase{9, 4},
                                           KindCase{10, 8}, KindCase{10, 4}));

struct ConstantCase {
  const char* what;
  TCrcItem truth;
};

class DiscoverySolvesConstants : public ::testing::TestWithParam<ConstantCase> {};

TEST_P(DiscoverySolvesConstants, OneZoneWithConstant) {
  for (bool lsb : {true, false}) ExpectFound("<0>[64]<1>", GetParam().truth, lsb, 12, GetParam().what);
}

const CrcItemBuilder kSumOverBytes0To6 = CrcItem(0, {Zone(0, 0, 55)}).Target(0, 56);

INSTANTIATE_TEST_SUITE_P(
    Operations, DiscoverySolvesConstants,
    ::testing::Values(ConstantCase{"+", kSumOverBytes0To6.Constant(0x2A, 0)},
                      ConstantCase{"- (found as + of the complement)", kSumOverBytes0To6.Constant(5, 1)},
                      ConstantCase{"xor", kSumOverBytes0To6.Constant(0x5A, 2)},
                      ConstantCase{"*", kSumOverBytes0To6.Constant(3, 3)},
                      ConstantCase{"/ with quotients wider than the target",
                                   kSumOverBytes0To6.Constant(3, 4)},
                      ConstantCase{"/ with quotients inside the target", kSumOverBytes0To6.Constant(20, 4)},
                      ConstantCase{"and", kSumOverBytes0To6.Constant(0x7E, 5)},
                      ConstantCase{"or", kSumOverBytes0To6.Constant(0x81, 6)},
                      ConstantCase{"complemented sum + constant",
                                   CrcItem(1, {Zone(0, 0, 55)}).Target(0, 56).Constant(1, 0)},
                      ConstantCase{"xor of nibbles, xor constant, into 4 bits",
                                   CrcItem(6, {Zone(0, 0, 55)}).Operands(4).Target(0, 56, 4).Constant(9, 2)},
                      ConstantCase{"nibble sum + constant into 4 bits",
                                   CrcItem(9, {Zone(0, 0, 55)}).Target(0, 60, 4).Constant(10, 0)},
                      ConstantCase{"sum + constant before the nibble exchange",
                                   CrcItem(7, {Zone(0, 0, 55)}).Target(0, 56).Constant(0x31, 0)},
                      ConstantCase{"count of ones xor constant",
                                   CrcItem(2, {Zone(0, 0, 55)}).Target(0, 56).Constant(0x55, 2)}));

struct TwoZoneCase {
  const char* what;
  TCrcItem truth;
};

class DiscoveryFindsTwoZones : public ::testing::TestWithParam<TwoZoneCase> {};

TEST_P(DiscoveryFindsTwoZones, AroundATargetInTheMiddle) {
  // An exclusive or of all other bytes makes the exclusive or of all bytes 0,
  // and a complemented sum of them makes the sum of all bytes 255: every byte
  // is then a checksum of the others, and the one after its zones is listed.
  const int kind = GetParam().truth.Kind;
  const Target target = kind == 6 || kind == 1 ? Target::MayBeOther : Target::Listed;
  for (bool lsb : {true, false})
    ExpectFound("<0>[64]<1>", GetParam().truth, lsb, 16, GetParam().what, target);
}

// Eight bytes; the checksum in byte 4 covers bytes 0..3 and 5..7.
CrcItemBuilder Around(int kind, int width) {
  return CrcItem(kind, {Zone(0, 0, 31), Zone(0, 40, 63)}).Operands(width).Target(0, 32);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DiscoveryFindsTwoZones,
    ::testing::Values(TwoZoneCase{"sum", Around(0, 8)}, TwoZoneCase{"nibble sum", Around(0, 4)},
                      TwoZoneCase{"inverted sum", Around(1, 8)}, TwoZoneCase{"xor", Around(6, 8)},
                      TwoZoneCase{"count of ones", Around(2, 8)}, TwoZoneCase{"shifted sum", Around(8, 4)},
                      TwoZoneCase{"nibble sum (kind 9)", Around(9, 8)},
                      TwoZoneCase{"sum + constant", Around(0, 8).Constant(0x33, 0)},
                      TwoZoneCase{"xor, xor constant", Around(6, 4).Constant(0xC, 2)}));

TEST(ChecksumDiscovery, FindsAZoneAcrossFramesAndATargetInALaterFrame) {
  const TCrcItem truth = CrcItem(0, {TCrcZone{0, 0, 1, 39}}).Target(1, 40);
  for (bool lsb : {true, false}) ExpectFound("<0>[48]<1>[48]<2>", truth, lsb, 12, "frames");
}

TEST(ChecksumDiscovery, FindsTwoChecksumsOfOneCode) {
  const auto elements = ir::ParseProtocol("<0>[64]<1>").Elements;
  const TCrcItem nibble = CrcItem(0, {Zone(0, 0, 23)}).Operands(4).Target(0, 24, 4);
  const TCrcItem last = CrcItem(1, {Zone(0, 0, 55)}).Target(0, 56);
  const auto codes = RandomCodes(elements, {nibble, last}, true, 16, 5);
  const ChecksumDiscovery result = DiscoverChecksums(elements, codes, true);
  ASSERT_FALSE(result.candidates.empty());
  int matched = 0;
  for (const TCrcItem& c : result.candidates) {
    EXPECT_TRUE(HoldsOnFreshCodes(elements, {nibble, last}, c, true));
    if (SameTarget(c, nibble) || SameTarget(c, last)) ++matched;
  }
  EXPECT_GE(matched, 2);
  EXPECT_EQ(result.note, DiscoveryNote::Ok) << ListOf(result);
}

// Formats with frames shorter than a zone step or a target and with split
// codes between data groups: whatever is found holds.
TEST(ChecksumDiscovery, CopesWithOddFormats) {
  for (const char* protocol : {"[3]<0>[1]<1>[20]", "<0>[2]<1>[2]<2>[12]<3>", "<0>[9]<1>[7]<0>[16]<1>"}) {
    SCOPED_TRACE(protocol);
    const auto elements = ir::ParseProtocol(protocol).Elements;
    const int last = ir::DataRunCount(elements) - 1;
    const TCrcItem sum = CrcItem(0, {Zone(0, 0, 1)})
                             .Operands(4)
                             .Target(last, static_cast<int>(ir::BitsInRun(elements, last)) - 4, 4);
    const auto codes = RandomCodes(elements, {sum}, true, 10, 3);
    const ChecksumDiscovery result = DiscoverChecksums(elements, codes, true);
    for (const TCrcItem& c : result.candidates) EXPECT_TRUE(HoldsOnFreshCodes(elements, {sum}, c, true));
  }
}

TEST(ChecksumDiscovery, InventsNothingForCodesNoChecksumExplains) {
  for (bool lsb : {true, false}) {
    for (int rows : {4, 6, 16}) {
      SCOPED_TRACE(std::to_string(rows) + " rows");
      const auto elements = ir::ParseProtocol("<0>[64]<1>").Elements;
      const auto codes = RandomCodes(elements, {}, lsb, rows, 1234u + static_cast<unsigned>(rows));
      const ChecksumDiscovery result = DiscoverChecksums(elements, codes, lsb);
      EXPECT_TRUE(result.candidates.empty()) << Describe(result.candidates[0]);
      if (rows >= 16)
        EXPECT_EQ(result.note, DiscoveryNote::NoCandidate);
      else
        EXPECT_NE(result.note, DiscoveryNote::Ok);
    }
  }
}

struct NoteCase {
  const char* what;
  std::vector<std::string> rows;  // "0"/"1" texts
  DiscoveryNote note;
  int used_rows;
};

class DiscoveryNotes : public ::testing::TestWithParam<NoteCase> {};

TEST_P(DiscoveryNotes, SayWhyThereIsNoList) {
  const NoteCase& c = GetParam();
  std::vector<ir::TSSByteArray> rows;
  for (const std::string& text : c.rows) {
    ir::TSSByteArray bits;
    for (char ch : text) bits.push_back(ch == '1' ? 1 : 0);
    rows.push_back(bits);
  }
  const ChecksumDiscovery result = DiscoverChecksums(ir::ParseProtocol("<0>[16]<1>").Elements, rows, true);
  EXPECT_EQ(result.note, c.note) << c.what;
  EXPECT_EQ(result.rows, c.used_rows) << c.what;
  EXPECT_TRUE(result.candidates.empty()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DiscoveryNotes,
    ::testing::Values(NoteCase{"no rows", {}, DiscoveryNote::TooFewRows, 0},
                      NoteCase{"one row", {"1010101011110000"}, DiscoveryNote::TooFewRows, 1},
                      NoteCase{"rows of another length are left out",
                               {"1010101011110000", "10101010", "101010101111000011"},
                               DiscoveryNote::TooFewRows,
                               1},
                      NoteCase{"the same code three times",
                               {"1010101011110000", "1010101011110000", "1010101011110000"},
                               DiscoveryNote::RowsTooAlike,
                               3}));

TEST(ChecksumDiscovery, SaysAmbiguousWhenTheRowsCannotPlaceTheZoneEnd) {
  // Bytes 4..6 are zero in every row: the sum over bytes 0..6 in byte 7 may
  // or may not include them.
  const auto elements = ir::ParseProtocol("<0>[64]<1>").Elements;
  const TCrcItem truth = CrcItem(0, {Zone(0, 0, 55)}).Target(0, 56);
  auto codes = RandomCodes(elements, {}, true, 10, 77);
  for (auto& bits : codes) {
    std::fill(bits.begin() + 32, bits.begin() + 56, 0);
    testing::WriteTarget(bits, elements, truth,
                         static_cast<std::uint32_t>(ir::CrcCalculate(bits, truth, elements, true)), true);
  }
  const ChecksumDiscovery result = DiscoverChecksums(elements, codes, true);
  ASSERT_FALSE(result.candidates.empty());
  EXPECT_EQ(result.note, DiscoveryNote::Ambiguous) << ListOf(result);
  // The zone up to the target comes first: it also holds when those bytes are set.
  EXPECT_TRUE(HoldsOnFreshCodes(elements, {truth}, result.candidates[0], true));
  // The rivals are named: each fits every code, at its candidate's target, and
  // reads other bits than the candidate.
  ASSERT_FALSE(result.rivals.empty()) << ListOf(result);
  for (const ChecksumRival& rival : result.rivals) {
    SCOPED_TRACE(Describe(rival.item));
    ASSERT_LT(rival.candidate, result.candidates.size());
    const TCrcItem& candidate = result.candidates[rival.candidate];
    EXPECT_TRUE(SameTarget(rival.item, candidate));
    EXPECT_FALSE(rival.item == candidate);
    for (const auto& bits : codes)
      EXPECT_EQ(ir::CrcCalculate(bits, rival.item, elements, true),
                ir::CrcReadTarget(bits, rival.item, elements, true));
  }
  // One of them stops the zone where the bytes that are 0 in every code begin.
  EXPECT_TRUE(std::any_of(result.rivals.begin(), result.rivals.end(), [](const ChecksumRival& r) {
    return r.item.ZoneCount == 1 && r.item.Zones[0].EndBit == 31;
  })) << RivalsText(result);
}

TEST(ChecksumDiscovery, ListsNoRivalWhenTheCodesSettleTheDefinition) {
  const auto elements = ir::ParseProtocol("<0>[64]<1>").Elements;
  const TCrcItem truth = CrcItem(0, {Zone(0, 0, 55)}).Target(0, 56);
  const ChecksumDiscovery result =
      DiscoverChecksums(elements, RandomCodes(elements, {truth}, true, 10, 77), true);
  EXPECT_EQ(result.note, DiscoveryNote::Ok) << ListOf(result);
  EXPECT_TRUE(result.rivals.empty()) << RivalsText(result);
}

// The report writes each rival as a checksum item with the index of the
// candidate it rivals; the fields before "rivals" are as they always were.
TEST(ChecksumDiscoveryReport, RivalsFollowTheNoteWithTheirCandidatesIndex) {
  ChecksumDiscovery result;
  result.rows = 3;
  result.note = DiscoveryNote::Ambiguous;
  result.candidates = {CrcItem(0, {Zone(0, 0, 15)}).Target(0, 16), CrcItem(1, {Zone(0, 0, 7)}).Target(0, 24)};
  result.rivals = {{1, CrcItem(1, {Zone(0, 0, 15)}).Target(0, 24)}};
  const std::string item0 =
      R"({"index": 0, "target": [0, 16, 8], "zones": [[0, 0, 0, 15]], "kind": 0, "width": 8, "const": 0, )"
      R"("const_op": 0, "aux_const": 0, "aux_op": 0})";
  const std::string item1 =
      R"({"index": 1, "target": [0, 24, 8], "zones": [[0, 0, 0, 7]], "kind": 1, "width": 8, "const": 0, )"
      R"("const_op": 0, "aux_const": 0, "aux_op": 0})";
  const std::string rival =
      R"({"index": 1, "target": [0, 24, 8], "zones": [[0, 0, 0, 15]], "kind": 1, "width": 8, "const": 0, )"
      R"("const_op": 0, "aux_const": 0, "aux_op": 0})";
  EXPECT_EQ(DiscoveryJson(result, "<0>[32]<1>"), R"({"rows": 3, "format": "<0>[32]<1>", "candidates": [)" +
                                                     item0 + ", " + item1 +
                                                     R"(], "note": "ambiguous", "rivals": [)" + rival + "]}");
  EXPECT_EQ(DiscoveryText(result), item0 + "\n" + item1 + "\n");
  EXPECT_EQ(RivalsText(result), rival + "\n");
  result.rivals.clear();
  EXPECT_EQ(RivalsText(result), "");
  EXPECT_NE(DiscoveryJson(result, "").find(R"("note": "ambiguous", "rivals": []})"), std::string::npos);
}

struct OrderCase {
  const char* what;
  TCrcItem before;
  TCrcItem after;
};

class CandidateOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(CandidateOrder, ListsByTheFixedKeys) {
  EXPECT_TRUE(CandidateBefore(GetParam().before, GetParam().after)) << GetParam().what;
  EXPECT_FALSE(CandidateBefore(GetParam().after, GetParam().before)) << GetParam().what;
}

const CrcItemBuilder kBase = CrcItem(6, {Zone(0, 8, 40)}).Target(1, 16);

TCrcItem Changed(TCrcItem item, void (*change)(TCrcItem&)) {
  change(item);
  return item;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, CandidateOrder,
    ::testing::Values(
        OrderCase{"one zone before two", Changed(kBase, [](TCrcItem& i) { i.Kind = 10; }),
                  CrcItem(0, {Zone(0, 0, 7), Zone(0, 16, 23)}).Target(0, 8)},
        OrderCase{"no constant before a constant", Changed(kBase, [](TCrcItem& i) { i.Kind = 10; }),
                  CrcItem(0, {Zone(0, 0, 7)}).Target(0, 8).Constant(1, 0)},
        OrderCase{"kind", Changed(kBase, [](TCrcItem& i) { i.Kind = 1; }), kBase},
        OrderCase{"operand width 8 before 4", Changed(kBase, [](TCrcItem& i) { i.TargetFrame = 3; }),
                  Changed(kBase, [](TCrcItem& i) { i.OperandWidth = 4; })},
        OrderCase{"target frame", kBase, Changed(kBase, [](TCrcItem& i) { i.TargetFrame = 2; })},
        OrderCase{"target bit", kBase, Changed(kBase, [](TCrcItem& i) { i.TargetBit = 20; })},
        OrderCase{"target width 8 before 4", kBase, Changed(kBase, [](TCrcItem& i) { i.TargetWidth = 4; })},
        OrderCase{"earlier zone start", Changed(kBase, [](TCrcItem& i) { i.Zones[0].StartBit = 4; }), kBase},
        OrderCase{"the longer of two zones ending on a nibble boundary",
                  Changed(kBase, [](TCrcItem& i) { i.Zones[0].EndBit = 47; }),
                  Changed(kBase, [](TCrcItem& i) { i.Zones[0].EndBit = 43; })},
        OrderCase{"a zone ending on a nibble boundary before a longer one",
                  Changed(kBase, [](TCrcItem& i) { i.Zones[0].EndBit = 39; }), kBase},
        OrderCase{"a zone ending just before the target",
                  Changed(kBase,
                          [](TCrcItem& i) {
                            i.Zones[0].EndBit = 14;
                            i.TargetFrame = 0;
                            i.TargetBit = 15;
                          }),
                  Changed(kBase,
                          [](TCrcItem& i) {
                            i.Zones[0].EndBit = 50;
                            i.TargetFrame = 0;
                            i.TargetBit = 15;
                          })},
        OrderCase{"constant operation", kBase.Constant(9, 0), kBase.Constant(1, 2)},
        OrderCase{"constant", kBase.Constant(1, 2), kBase.Constant(9, 2)}));

}  // namespace
}  // namespace klimavo::analysis

namespace klimavo::analysis {
namespace {

using lang::kChineseLanguageNo;
using testing::CrcItem;
using testing::Zone;

struct SummaryCase {
  const char* name;
  ir::TCrcItem item;
  int language_no;
  std::string expected;
};

class CandidateSummaryLine : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(CandidateSummaryLine, NamesTargetKindZonesAndConstant) {
  const lang::Language language(std::filesystem::path(KLIMAVO_SOURCE_DIR) / "data/home",
                                GetParam().language_no);
  EXPECT_EQ(CandidateSummary(GetParam().item, language), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Items, CandidateSummaryLine,
    ::testing::Values(
        SummaryCase{"one_zone", CrcItem(0, {Zone(0, 0, 103)}).Target(0, 104), 1,
                    "[0, 104, 8] = CheckSum(8)  0:0 - 0:103"},
        SummaryCase{
            "two_zones_and_a_constant_of_three_digits",
            CrcItem(1, {Zone(0, 0, 15), Zone(1, 8, 31)}).Operands(4).Target(1, 4, 4).Constant(0x1A3, 5), 1,
            "[1, 4, 4] = Flips of CheckSum(4)  0:0 - 0:15  1:8 - 1:31  and 1A3"},
        SummaryCase{"chinese_kind_name", CrcItem(0, {Zone(0, 0, 7)}).Target(0, 8).Constant(0x0F, 2),
                    kChineseLanguageNo, "[0, 8, 8] = \xC7\xF3\xBA\xCD(8)  0:0 - 0:7  xor 0F"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace klimavo::analysis
