#include <gtest/gtest.h>

#include "capture/broadlink_packet.h"
#include "capture/formats.h"
#include "reader_case.h"

namespace klimavo::capture {
namespace {

using testing::ReaderCase;
using namespace std::string_literals;

// Units of 8192/269 µs: 0x14 = 20 -> 609 µs, 0x12 = 18 -> 548, 0x36 = 54 -> 1644,
// 0x0128 = 296 -> 9014, 0x93 = 147 -> 4477; the closing gap 0x0D05 -> 101502.
const ir::TIRIntegerArr kShort{609, -548, 609, -1644, 609};

const ReaderCase kBroadlinkCases[] = {
    // 26 00 08 00 | 14 12 14 36 14 00 0D 05 | padding: the closing gap inside the count.
    {"base64, closing gap inside the count",
     "JgAIABQSFDYUAA0FAAAAAA==\n",
     {{kShort, 38000, std::nullopt, 1}}},
    {"base64 without padding, URL-safe alphabet", "JgAIABQSFDYUAA0FAAAAAA\n", {{kShort}}},
    {"hex, named, closing bytes after the count",
     "# a comment\n\ncool/24: 2600050014121436140d05\n",
     {{kShort, 38000, "cool/24", 3}}},
    {"hex with blanks between bytes, closing bytes inside the count",
     "26 00 07 00 14 12 14 36 14 0D 05\n",
     {{kShort}}},
    {"a name may hold colons", "a: b: 2600050014121436140d05\n", {{kShort, 38000, "a: b"}}},
    {"16-bit durations", "260005000001289314\n", {{{9014, -4477, 609}}}},
    {"sent twice: the copies apart by the closing gap",
     "26010300141214\n",
     {{{609, -548, 609, -101502, 609, -548, 609}}}},
    {"a zero duration joins the marks beside it", "260007001400000014121414\n", {{{1218, -548, 609}}}},
    {"one packet a line", "26000300141214\n26000100 14\n", {{{609, -548, 609}}, {{609}}}},
    {"not base64", "Jg$AIABQ\n", {}, 1, "Jg$AIABQ", "not a Broadlink packet"},
    {"odd hex digits", "260003001412141\n", {}, 1, "260003001412141", "not a Broadlink packet"},
    {"a radio packet", "sgADABQSFA==\n", {}, 1, "sgADABQSFA==", "not a Broadlink infrared packet"},
    {"count beyond the packet", "26000900141214\n", {}, 1, "26000900141214", "before its 9 duration bytes"},
    {"16-bit duration cut short", "26000300140001\n", {}, 1, "26000300140001", "cut short"},
    {"shorter than the head", "2600\n", {}, 1, "2600", "at least 4 bytes"},
    {"no mark", "26000300000000\n", {}, 1, "26000300000000", "no mark"},
    {"NUL inside a packet",
     "260003\0"s
     "00141214\n",
     {},
     1,
     "260003\\x0000141214",
     "control byte 0x00"},
};

TEST(BroadlinkFormat, ReadsPacketsOrNamesTheFault) {
  for (const ReaderCase& c : kBroadlinkCases) testing::CheckReaderCase(BroadlinkFormat(), c);
}

TEST(BroadlinkFormat, LimitsHold) {
  const ReaderCase cases[] = {
      {"repeats beyond the durations", "26010300141214\n", {}, 1, "26010300141214", "more than 4 durations"},
      {"line too long", "26000300141214141414141414141414141414\n", {}, 1, "", "longer than"},
  };
  for (const ReaderCase& c : cases) testing::CheckReaderCase(BroadlinkFormat(), c, testing::SmallLimits());
}

// What the writer puts into a packet: units rounded, 16-bit values after a
// 0x00, the closing gap after a last mark, zeros to whole 16-byte blocks.
TEST(BroadlinkPacket, WritesDurationsInUnits) {
  const struct {
    const char* label;
    ir::TIRIntegerArr signal;
    const char* hex;  // nullptr: an error
    const char* error;
  } cases[] = {
      {"bytes and the closing gap", {609, -548, 609}, "26000600141214000d05000000000000", nullptr},
      {"16-bit values", {9014, -4477, 70000}, "26000a00000128930008fb000d050000", nullptr},
      {"below one unit is one unit", {5, -5, 5}, "26000600010101000d05000000000000", nullptr},
      // A last space of 3333 units or a last 0x0D 0x05 pair would read as the closing gap.
      {"a last space that reads as the closing gap",
       {609, -101501},
       "2600040014000d060000000000000000",
       nullptr},
      {"a last 0x0D 0x05 pair", {396, -152}, "260004000d0000050000000000000000", nullptr},
      {"beyond 16 bits of units", {3'000'000}, nullptr, "longer than a Broadlink packet holds"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<std::uint8_t> packet;
    const std::string fault = broadlink::WritePacket(c.signal, packet);
    if (!c.hex) {
      EXPECT_NE(fault.find(c.error), std::string::npos) << fault;
      continue;
    }
    ASSERT_EQ(fault, "");
    EXPECT_EQ(broadlink::Hex(packet), c.hex);
    EXPECT_EQ(packet.size() % 16, 0u);
    ir::TIRIntegerArr back;
    ASSERT_EQ(broadlink::ReadPacket(packet, 100, back), "");
    ASSERT_EQ(back.size(), c.signal.size());
    for (std::size_t i = 0; i < back.size(); ++i) EXPECT_NEAR(back[i], c.signal[i], 31) << i;
  }
}

TEST(BroadlinkPacket, Base64AndHexReadBackAsTheBytes) {
  const std::vector<std::uint8_t> bytes{0x26, 0x00, 0xFF, 0x10, 0x3E, 0x3F};
  for (std::size_t n = 1; n <= bytes.size(); ++n) {
    const std::span<const std::uint8_t> part(bytes.data(), n);
    EXPECT_EQ(broadlink::PacketBytes(broadlink::Base64(part)),
              std::vector<std::uint8_t>(part.begin(), part.end()));
  }
  EXPECT_EQ(broadlink::Base64(bytes), "JgD/ED4/");
  EXPECT_EQ(broadlink::PacketBytes("JgD_ED4_"), bytes);
  EXPECT_EQ(broadlink::PacketBytes(broadlink::Hex(bytes)), bytes);
  EXPECT_FALSE(broadlink::PacketBytes("J"));
  EXPECT_FALSE(broadlink::PacketBytes(""));
}

}  // namespace
}  // namespace klimavo::capture
