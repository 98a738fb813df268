// Checksum discovery on real captures of air conditioners whose checksum was
// worked out by hand from the decoded bytes. Discovery sees some captures of a
// remote; its best candidate must hold on the others.

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "analysis/checksum_discovery/checksum_discovery.h"
#include "ir/checksum.h"
#include "ir/decode.h"
#include "ir/protocol.h"

namespace klimavo::analysis {
namespace {

using ir::TCrcItem;

struct RemoteCase {
  const char* source;    ///< "source" of the captures in the corpus
  const char* protocol;  ///< the decoded format whose captures are used
  bool lsb_first;
  TCrcItem by_hand;  ///< the checksum as worked out by hand
  int seen;          ///< captures given to discovery; the rest are held out
};

struct Decoded {
  std::string name;
  ir::TSSByteArray bits;
};

std::vector<Decoded> DecodeRemote(const RemoteCase& c) {
  std::vector<Decoded> out;
  std::ifstream in(KLIMAVO_CORPUS_FILE);
  for (std::string line; std::getline(in, line);) {
    const auto capture = nlohmann::json::parse(line);
    if (capture["source"] != c.source) continue;
    ir::TIRIntegerArr ticks;
    for (std::int32_t us : capture["durations_us"]) ticks.push_back(us * 10);
    ir::Tcomp_aval result;
    if (!ir::DecodeCapture(ticks, capture["carrier_hz"], false, c.lsb_first, ir::kDefaultDecodeTolerance,
                           result))
      continue;
    if (ir::PrintProtocol(result.Protocol) == c.protocol) out.push_back({capture["name"], result.Bits});
  }
  return out;
}

TCrcItem Item(int kind, int width, std::vector<ir::TCrcZone> zones, int frame, int bit, int target_width = 8,
              int constant = 0, int op = 0) {
  TCrcItem item;
  item.Kind = static_cast<std::uint8_t>(kind);
  item.OperandWidth = static_cast<std::uint8_t>(width);
  item.ZoneCount = static_cast<std::uint8_t>(zones.size());
  for (std::size_t z = 0; z < zones.size(); ++z) item.Zones[z] = zones[z];
  item.TargetFrame = static_cast<std::uint8_t>(frame);
  item.TargetBit = static_cast<std::uint16_t>(bit);
  item.TargetWidth = static_cast<std::uint8_t>(target_width);
  item.Const = static_cast<std::uint16_t>(constant);
  item.ConstOp = static_cast<std::uint8_t>(op);
  return item;
}

bool Holds(const ir::TSSByteArray& bits, const TCrcItem& item, const ir::TStrProt_Listbase& elements,
           bool lsb) {
  const std::int32_t computed = ir::CrcCalculate(bits, item, elements, lsb);
  return computed >= 0 && computed == ir::CrcReadTarget(bits, item, elements, lsb);
}

class RealRemotes : public ::testing::TestWithParam<RemoteCase> {};

TEST_P(RealRemotes, BestCandidateHoldsOnCapturesDiscoveryDidNotSee) {
  const RemoteCase& c = GetParam();
  const auto elements = ir::ParseProtocol(c.protocol).Elements;
  const std::vector<Decoded> captures = DecodeRemote(c);
  ASSERT_GT(static_cast<int>(captures.size()), c.seen) << c.source;
  for (const Decoded& d : captures) ASSERT_TRUE(Holds(d.bits, c.by_hand, elements, c.lsb_first)) << d.name;

  std::vector<ir::TSSByteArray> seen;
  for (int i = 0; i < c.seen; ++i) seen.push_back(captures[static_cast<std::size_t>(i)].bits);
  const ChecksumDiscovery result = DiscoverChecksums(elements, seen, c.lsb_first);
  ASSERT_FALSE(result.candidates.empty()) << c.source << ": " << DiscoveryNoteName(result.note);
  const TCrcItem& best = result.candidates[0];
  for (std::size_t i = static_cast<std::size_t>(c.seen); i < captures.size(); ++i)
    EXPECT_TRUE(Holds(captures[i].bits, best, elements, c.lsb_first))
        << c.source << " " << captures[i].name << ": best candidate kind " << int(best.Kind) << " target "
        << int(best.TargetFrame) << "/" << best.TargetBit << "/" << int(best.TargetWidth);
}

INSTANTIATE_TEST_SUITE_P(Corpus, RealRemotes,
                         ::testing::Values(
                             // 18 bytes; byte 17 is the sum of bytes 0..16.
                             RemoteCase{"ACs/Mitsubishi/mitsubishi-MSY-GE10VA.ir", "(<0>[144]<1>)*2", true,
                                        Item(0, 8, {{0, 0, 0, 135}}, 0, 136), 4},
                             // 14 bytes, most significant bit first; byte 13 is the sum of bytes 0..12.
                             RemoteCase{"ACs/Haier/Haier_AC_AS18GD3HRA.ir", "<0><1>[112]<2>", false,
                                        Item(0, 8, {{0, 0, 0, 103}}, 0, 104), 4},
                             // A 5-bit lead frame, then 19 bytes whose last is the sum of the 18 before it.
                             RemoteCase{"ACs/Daikin/Daikin_ARC480A41.ir", "[5]<0><1>[152]<0>", true,
                                        Item(0, 8, {{1, 0, 1, 143}}, 1, 144), 4},
                             // 13 bytes; the upper nibble of byte 12 is the exclusive or of every
                             // nibble before it.
                             RemoteCase{"ACs/Sharp/Sharp_AH_X9VEW_AC.ir", "<0>[104]<1>", true,
                                        Item(6, 4, {{0, 0, 0, 99}}, 0, 100, 4), 4},
                             // 16 bytes; byte 15 is 0 minus the sum of bytes 7..14 (the complement
                             // of the sum, plus 1).
                             RemoteCase{"ACs/Fujitsu/Fujitsu_AC_ASU18RLF.ir", "<0>[128]<1>", true,
                                        Item(1, 8, {{0, 56, 0, 119}}, 0, 120, 8, 1, 0), 4},
                             // 4 bytes, most significant bit first; byte 3 is the complement of byte 2.
                             RemoteCase{"ACs/Haier/Haier_AC_HWE08XCR-L.ir", "<0>[32]<1>", false,
                                        Item(1, 8, {{0, 16, 0, 23}}, 0, 24), 4}));

}  // namespace
}  // namespace klimavo::analysis
