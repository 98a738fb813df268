// The analysis tools on codes of generated records (record_generator.h): code
// bits made straight from a record's formats, fields and checksums.
// - Two codes that differ in one bit: the compare grid shows exactly that bit
//   as the one differing run, with the two rows' bit values.
// - Codes of a format with one checksum item: checksum discovery lists an item
//   on the same target that computes the same value for every code.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis/checksum_discovery/checksum_discovery.h"
#include "analysis/compare_grid.h"
#include "ir/checksum.h"
#include "ir/protocol.h"
#include "record_generator.h"

namespace klimavo::analysis {
namespace {

using testing::Dice;
using testing::GeneratedRecord;
using testing::generator_detail::CodeBits;
using testing::generator_detail::RandomBits;
using testing::generator_detail::RandomStates;

constexpr std::uint32_t kFirstSeed = 1;
constexpr std::uint32_t kRecords = 300;
// Records whose checksum is searched for: the search is the slow part.
constexpr int kSearchedRecords = 8;
// Enough codes that a checksum stands out from chance.
constexpr int kCodesPerSearch = 24;
constexpr std::size_t kLongestSearchedFormat = 48;
// Constant operations "and" and "or" can fix most bits of the value: such a
// checksum carries too little evidence to be told from chance.
constexpr std::uint8_t kConstAnd = 5;
constexpr std::uint8_t kConstOr = 6;

// A code of a format slot: random bits, the keys in random states, checksums computed.
ir::TSSByteArray RandomCode(Dice& dice, const store::TdiskAir& r, std::size_t slot) {
  const auto bits =
      static_cast<std::size_t>(ir::TotalBits(ir::ParseProtocol(r.Slots[slot].Text.str()).Elements));
  return CodeBits(r, slot, RandomBits(dice, bits), RandomStates(dice, r));
}

// The frame and bit of a code bit's index.
std::pair<int, int> FrameBitOf(const ir::TStrProt_Listbase& elements, int index) {
  for (int f = 0; f < ir::DataRunCount(elements); ++f) {
    const auto bits = static_cast<int>(ir::BitsInRun(elements, f));
    if (index < bits) return {f, index};
    index -= bits;
  }
  return {-1, -1};
}

TEST(GeneratedCodes, TheCompareGridFindsTheOneFlippedBit) {
  for (std::uint32_t seed = kFirstSeed; seed < kFirstSeed + kRecords; ++seed) {
    const GeneratedRecord g = testing::GenerateRecord(seed);
    const store::TdiskAir& r = g.Record();
    Dice dice(seed);
    const ir::TStrProt_Stru format = ir::ParseProtocol(r.Slots[0].Text.str());
    const ir::TSSByteArray code = RandomCode(dice, r, 0);
    const int flipped = dice.Between(0, static_cast<int>(code.size()) - 1);
    ir::TSSByteArray changed = code;
    changed[static_cast<std::size_t>(flipped)] ^= 1;
    const auto [frame, bit] = FrameBitOf(format.Elements, flipped);

    CompareGridModel grid;
    grid.SetLowPre(r.LsbFirst != 0);
    grid.AddLine(code, format);
    grid.AddLine(changed, format);
    ASSERT_EQ(grid.Runs().size(), 1u) << g.summary << "\n  flipped bit " << flipped;
    const ir::TSameInfo& run = grid.Runs()[0];
    EXPECT_EQ(run.Frame, frame) << g.summary;
    EXPECT_EQ(run.Bit, bit) << g.summary;
    EXPECT_EQ(run.Width, 1) << g.summary;
    EXPECT_EQ(grid.RunValueOf(0, 0), code[static_cast<std::size_t>(flipped)]) << g.summary;
    EXPECT_EQ(grid.RunValueOf(0, 1), changed[static_cast<std::size_t>(flipped)]) << g.summary;
  }
}

// The first format of a record that has exactly one checksum item, and that
// item's value is not masked by its constant.
int SlotWithOneChecksum(const store::TdiskAir& r) {
  if (r.HasChecksum == 0) return -1;
  for (std::size_t f = 0; f < store::kFormatSlots; ++f) {
    const ir::TCrcBlock& crc = r.Slots[f].Crc;
    if (r.Slots[f].Text.str().empty() || crc.HasChecksum == 0 || crc.Count != 1) continue;
    const bool masked =
        crc.Items[0].Const != 0 && (crc.Items[0].ConstOp == kConstAnd || crc.Items[0].ConstOp == kConstOr);
    return masked ? -1 : static_cast<int>(f);
  }
  return -1;
}

TEST(GeneratedCodes, ChecksumDiscoveryFindsTheGeneratedChecksum) {
  int searched = 0;
  for (std::uint32_t seed = kFirstSeed; searched < kSearchedRecords && seed < kFirstSeed + kRecords; ++seed) {
    const GeneratedRecord g = testing::GenerateRecord(seed);
    const store::TdiskAir& r = g.Record();
    const int slot = SlotWithOneChecksum(r);
    if (slot < 0) continue;
    const auto s = static_cast<std::size_t>(slot);
    const ir::TStrProt_Listbase elements = ir::ParseProtocol(r.Slots[s].Text.str()).Elements;
    if (static_cast<std::size_t>(ir::TotalBits(elements)) > kLongestSearchedFormat) continue;
    ++searched;
    const bool lsb = r.LsbFirst != 0;
    const ir::TCrcItem& item = r.Slots[s].Crc.Items[0];
    Dice dice(seed);
    std::vector<ir::TSSByteArray> codes;
    for (int i = 0; i < kCodesPerSearch; ++i) codes.push_back(RandomCode(dice, r, s));

    const ChecksumDiscovery found = DiscoverChecksums(elements, codes, lsb);
    const auto same_checksum = [&](const ir::TCrcItem& c) {
      return c.TargetFrame == item.TargetFrame && c.TargetBit == item.TargetBit &&
             c.TargetWidth == item.TargetWidth &&
             std::all_of(codes.begin(), codes.end(), [&](const auto& code) {
               return ir::CrcCalculate(code, c, elements, lsb) == ir::CrcCalculate(code, item, elements, lsb);
             });
    };
    EXPECT_TRUE(std::any_of(found.candidates.begin(), found.candidates.end(), same_checksum))
        << g.summary << "\n  slot " << slot << ", note " << DiscoveryNoteName(found.note) << ", "
        << found.candidates.size() << " candidates";
  }
  EXPECT_EQ(searched, kSearchedRecords) << "too few generated records with one checksum item";
}

}  // namespace
}  // namespace klimavo::analysis
