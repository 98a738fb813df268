// The learner's commands and the three packet formats, byte by byte.
#include "device/learner_packets.h"

#include <gtest/gtest.h>

#include <vector>

#include "device/packet_encoder.h"

namespace klimavo::device {
namespace {

using base::Bytes;

struct CommandCase {
  const char* name;
  Bytes (*build)();
  Bytes expected;
};

const CommandCase kCommandCases[] = {
    {"learn table close", [] { return LearnCommand(0, 1, 180); }, {0x00, 0xAA, 0xF0, 0xFF}},
    {"learn table long", [] { return LearnCommand(7, 2, 180); }, {0x00, 0xAA, 0xF4, 0xFF}},
    {"learn table mode 3 is close", [] { return LearnCommand(3, 3, 180); }, {0x00, 0xAA, 0xF0, 0xFF}},
    {"learn table mode 0 is close", [] { return LearnCommand(10, 0, 180); }, {0x00, 0xAA, 0xF0, 0xFF}},
    {"stop table",
     [] { return StopCommand(5, 1, 180); },
     {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    {"learn model 11",
     [] { return LearnCommand(11, 2, 180); },
     {0x00, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x88, 0xB4, 0x00, 0x04, 0x02}},
    {"stop model 11",
     [] { return StopCommand(11, 2, 180); },
     {0x00, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x88, 0xB4, 0x00, 0x04, 0x00}},
    {"model 11 trim low byte first",
     [] { return LearnCommand(11, 1, 0x1234); },
     {0x00, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x88, 0x34, 0x12, 0x04, 0x01}},
    {"model 11 only low 16 bits of trim",
     [] { return LearnCommand(11, 1, 0x12345); },
     {0x00, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF, 0x88, 0x45, 0x23, 0x04, 0x01}},
    {"learn model 12",
     [] { return LearnCommand(12, 1, 180); },
     {0x00, 0xF1, 0xF2, 0x04, 0x00, 0xB4, 0x01, 0x00, 0x8D}},
    {"stop model 12",
     [] { return StopCommand(12, 1, 180); },
     {0x00, 0xF1, 0xF2, 0x04, 0x00, 0xB4, 0x00, 0x00, 0x8C}},
    {"model 12 trim high byte first",
     [] { return LearnCommand(12, 2, 0x0102); },
     {0x00, 0xF1, 0xF2, 0x04, 0x01, 0x02, 0x01, 0x00, 0xDC}},
};

TEST(LearnerCommands, BytesOfEveryModelFamily) {
  for (const auto& c : kCommandCases) EXPECT_EQ(c.build(), c.expected) << c.name;
}

TEST(LearnerCommands, EveryTableModelUsesTheTableCommands) {
  for (int model = 0; model <= 10; ++model) {
    EXPECT_EQ(LearnCommand(model, 2, 180), (Bytes{0x00, 0xAA, 0xF4, 0xFF})) << model;
    EXPECT_TRUE(StopCommandHasReply(model)) << model;
  }
  EXPECT_FALSE(StopCommandHasReply(11));
  EXPECT_FALSE(StopCommandHasReply(12));
}

// A table packet: entries (mark ticks, space ticks), pair indexes, C and E.
Bytes TablePacket(const std::vector<std::pair<unsigned, unsigned>>& entries, const std::vector<int>& indexes,
                  unsigned cycles, unsigned final_ticks, std::uint8_t first = 0xAA) {
  const std::size_t index_bytes = (indexes.size() + 1) / 2;
  Bytes p(8 * (1 + entries.size() + (index_bytes + 7) / 8), 0);
  p[0] = first;
  p[2] = static_cast<std::uint8_t>(entries.size());
  p[3] = static_cast<std::uint8_t>(indexes.size());
  p[4] = cycles & 0xFF;
  p[5] = (cycles >> 8) & 0xFF;
  p[6] = final_ticks & 0xFF;
  p[7] = (final_ticks >> 8) & 0xFF;
  for (std::size_t j = 0; j < entries.size(); ++j) {
    const std::size_t at = 8 * (1 + j);
    p[at] = entries[j].first & 0xFF;
    p[at + 1] = (entries[j].first >> 8) & 0xFF;
    p[at + 2] = entries[j].second & 0xFF;
    p[at + 3] = (entries[j].second >> 8) & 0xFF;
    p[at + 4] = (entries[j].second >> 16) & 0xFF;
  }
  const std::size_t at = 8 * (1 + entries.size());
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    p[at + i / 2] |= static_cast<std::uint8_t>((indexes[i] & 0x0F) << (i % 2 == 0 ? 0 : 4));
  }
  return p;
}

const std::vector<std::pair<unsigned, unsigned>> kTwoEntries{{1500, 4500},
                                                             {1800, 1200}};  // 500/1500, 600/400 µs

TEST(PacketLimits, APacketCarriesAtMostItsModelsLevels) {
  ir::Capture press{{90000, -45000}, 38000};
  for (int bit = 0; bit < 300; ++bit) press.Durations.insert(press.Durations.end(), {5600, -16900});
  press.Durations.push_back(5600);
  for (int model : {0, 7, 11, 12}) {
    const DecodedPacket decoded = DecodePacket(model, EncodePacket(model, press));
    ASSERT_TRUE(decoded.complete && decoded.capture) << model;
    EXPECT_EQ(decoded.capture->Durations.size(), std::min(press.Durations.size(), MaxPacketLevels(model)))
        << model;
  }
  EXPECT_EQ(MaxPacketLevels(7), 511u);
}

TEST(TablePacket, NoCarrierTakesTheLastPairsMarkAsFinalMark) {
  const auto d = DecodeTablePacket(TablePacket(kTwoEntries, {0, 1, 0}, 0, 900));
  ASSERT_TRUE(d.complete);
  ASSERT_TRUE(d.capture);
  EXPECT_EQ(d.capture->Durations, (ir::TIRIntegerArr{5000, -15000, 6000, -4000, 5000, -15000, 5000}));
  EXPECT_EQ(d.capture->Carrier, 0);
}

TEST(TablePacket, CarrierFromCyclesOfTheFirstMarkKeepsFinalMark) {
  const auto d = DecodeTablePacket(TablePacket(kTwoEntries, {1, 0, 0, 1}, 23, 900));
  ASSERT_TRUE(d.capture);
  EXPECT_EQ(d.capture->Carrier, 38333);  // 23 cycles in 600 µs
  EXPECT_EQ(d.capture->Durations.size(), 9u);
  EXPECT_EQ(d.capture->Durations.back(), 3000);
}

TEST(TablePacket, CarrierBelow1000ReplacesFinalMark) {
  const struct {
    unsigned first_mark_ticks;
    unsigned cycles;
    std::int32_t carrier;
    std::int32_t final_mark;
  } cases[] = {
      {1500, 0, 0, 6000},     // no carrier: the mark of the last pair
      {3003, 1, 999, 6000},   // 1 cycle in 1001 µs
      {3000, 1, 1000, 3000},  // exactly 1000 Hz keeps E / 3
      {0, 5, 0, 6000},        // a first mark of 0 µs has no carrier
  };
  for (const auto& c : cases) {
    const auto d =
        DecodeTablePacket(TablePacket({{c.first_mark_ticks, 4500}, {1800, 1200}}, {0, 1, 1}, c.cycles, 900));
    ASSERT_TRUE(d.capture) << c.first_mark_ticks;
    EXPECT_EQ(d.capture->Carrier, c.carrier) << c.first_mark_ticks;
    EXPECT_EQ(d.capture->Durations.back(), c.final_mark) << c.first_mark_ticks;
  }
}

TEST(TablePacket, TicksRoundToNearestMicrosecond) {
  const auto d = DecodeTablePacket(TablePacket({{1501, 4502}, {1802, 1201}}, {0, 1, 0}, 901, 0));
  ASSERT_TRUE(d.capture);
  EXPECT_EQ(d.capture->Durations[0], 5000);
  EXPECT_EQ(d.capture->Durations[1], -15010);
  EXPECT_EQ(d.capture->Durations[2], 6010);
  EXPECT_EQ(d.capture->Durations[3], -4000);
}

struct RejectCase {
  const char* name;
  Bytes packet;
  bool complete;
};

TEST(TablePacket, PacketsThatRaiseNothing) {
  Bytes short_one = TablePacket(kTwoEntries, {0, 1, 0}, 0, 900);
  short_one.pop_back();
  const RejectCase cases[] = {
      {"two pairs only", TablePacket(kTwoEntries, {0, 1}, 0, 900), true},
      {"index past the table", TablePacket(kTwoEntries, {0, 2, 0}, 0, 900), true},
      {"shorter than its header says", short_one, false},
      {"shorter than a block", Bytes{0xAA, 0, 2, 3}, false},
      {"empty table", TablePacket({}, {}, 0, 0), true},
  };
  for (const auto& c : cases) {
    const auto d = DecodeTablePacket(c.packet);
    EXPECT_FALSE(d.capture) << c.name;
    EXPECT_EQ(d.complete, c.complete) << c.name;
  }
}

TEST(TablePacket, LongIndexListSpansSeveralBlocks) {
  std::vector<int> indexes(40, 1);
  indexes[0] = 0;
  const Bytes p = TablePacket(kTwoEntries, indexes, 0, 900);
  EXPECT_EQ(p.size(), 8u * (1 + 2 + 3));
  const auto d = DecodeTablePacket(p);
  ASSERT_TRUE(d.capture);
  EXPECT_EQ(d.capture->Durations.size(), 81u);
  EXPECT_FALSE(DecodeTablePacket(Bytes(p.begin(), p.end() - 8)).complete);
}

void PutVarint(Bytes& out, unsigned v) {
  do {
    std::uint8_t b = v & 0x7F;
    v >>= 7;
    if (v) b |= 0x80;
    out.push_back(b);
  } while (v);
}

Bytes PulsePacket(std::uint8_t kind, const std::vector<unsigned>& ticks, int length_adjust = 0) {
  Bytes body;
  for (unsigned t : ticks) PutVarint(body, t);
  Bytes p{0xAA,
          kind,
          static_cast<std::uint8_t>(ticks.size() & 0xFF),
          static_cast<std::uint8_t>(ticks.size() >> 8),
          0,
          0};
  const std::size_t total = 6 + body.size() + static_cast<std::size_t>(length_adjust);
  p[4] = total & 0xFF;
  p[5] = (total >> 8) & 0xFF;
  p.insert(p.end(), body.begin(), body.end());
  return p;
}

TEST(PulsePacket, GapUnder60UsJoinsTheMarkAndLongerGapEndsIt) {
  // 13 µs pulse + 20 µs gap (33 µs) merges; 13 µs pulse + 50 µs gap (63 µs) ends the mark.
  const auto d = DecodePulsePacket(PulsePacket(2, {156, 240, 156, 600, 156}));
  ASSERT_TRUE(d.complete);
  ASSERT_TRUE(d.capture);
  EXPECT_EQ(d.capture->Durations, (ir::TIRIntegerArr{460, -500, 130}));
  EXPECT_EQ(d.capture->Carrier, 38000);
}

TEST(PulsePacket, KindTwoAndKindFourDifferOnlyInCarrier) {
  const std::vector<unsigned> ticks{104, 212, 104, 212, 104, 212, 104, 212, 104};
  const auto fixed = DecodePulsePacket(PulsePacket(2, ticks));
  const auto measured = DecodePulsePacket(PulsePacket(4, ticks));
  ASSERT_TRUE(fixed.capture && measured.capture);
  EXPECT_EQ(fixed.capture->Durations, measured.capture->Durations);
  EXPECT_EQ(fixed.capture->Durations, (ir::TIRIntegerArr{1140}));
  EXPECT_EQ(fixed.capture->Carrier, 38000);
  EXPECT_EQ(measured.capture->Carrier, 37975);  // 48e6 / (4 × 316)
}

TEST(PulsePacket, MeasuredCarrierNeedsMoreThanEightIntervalsAndASmallSum) {
  EXPECT_EQ(DecodePulsePacket(PulsePacket(4, {104, 212, 104, 212, 104, 212, 104, 212})).capture->Carrier, 0);
  EXPECT_EQ(DecodePulsePacket(PulsePacket(4, {360, 360, 360, 360, 360, 360, 360, 360, 1})).capture->Carrier,
            0);
  EXPECT_EQ(DecodePulsePacket(PulsePacket(4, {359, 360, 360, 360, 360, 360, 360, 360, 1})).capture->Carrier,
            16672);  // 48e6 / 2879
}

TEST(PulsePacket, PacketsThatRaiseNothing) {
  Bytes overlong_number = PulsePacket(2, {156, 240, 156});
  overlong_number.resize(6);
  for (int i = 0; i < 6; ++i) overlong_number.push_back(0xFF);
  overlong_number.push_back(0x01);
  overlong_number[2] = 1;
  overlong_number[4] = static_cast<std::uint8_t>(overlong_number.size());
  const RejectCase cases[] = {
      {"length field larger than received", PulsePacket(2, {156, 240, 156}, 1), false},
      {"intervals run past the length field", PulsePacket(2, {156, 240, 156}, -1), true},
      {"header cut off", Bytes{0xAA, 2, 1, 0}, false},
      {"number longer than 32 bits", overlong_number, true},
  };
  for (const auto& c : cases) {
    const auto d = DecodePulsePacket(c.packet);
    EXPECT_FALSE(d.capture) << c.name;
    EXPECT_EQ(d.complete, c.complete) << c.name;
  }
}

Bytes BigEndianPacket(const std::vector<std::pair<unsigned, unsigned>>& entries,
                      const std::vector<int>& indexes, unsigned count) {
  const std::size_t index_bytes = (indexes.size() + 1) / 2;
  Bytes p(8 * (1 + entries.size() + (index_bytes + 7) / 8), 0);
  p[0] = 0xAA;
  p[2] = static_cast<std::uint8_t>(indexes.size() >> 8);
  p[3] = static_cast<std::uint8_t>(indexes.size());
  p[4] = static_cast<std::uint8_t>(entries.size());
  p[5] = static_cast<std::uint8_t>(count >> 8);
  p[6] = static_cast<std::uint8_t>(count);
  for (std::size_t j = 0; j < entries.size(); ++j) {
    const std::size_t at = 8 * (1 + j);
    p[at] = static_cast<std::uint8_t>(entries[j].first >> 8);
    p[at + 1] = static_cast<std::uint8_t>(entries[j].first);
    for (int k = 0; k < 4; ++k) p[at + 2 + k] = static_cast<std::uint8_t>(entries[j].second >> (24 - 8 * k));
  }
  const std::size_t at = 8 * (1 + entries.size());
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    p[at + i / 2] |= static_cast<std::uint8_t>((indexes[i] & 0x0F) << (i % 2 == 0 ? 0 : 4));
  }
  return p;
}

TEST(BigEndianPacket, ValuesCarrierAndDroppedLastSpace) {
  const auto d = DecodeBigEndianTablePacket(BigEndianPacket({{1120, 3360}, {18000, 9000}}, {1, 0, 0}, 43));
  ASSERT_TRUE(d.capture);
  EXPECT_EQ(d.capture->Durations, (ir::TIRIntegerArr{90000, -45000, 5600, -16800, 5600}));
  EXPECT_EQ(d.capture->Carrier, 38393);  // 1e7 / (5600 / 21.5)
}

TEST(BigEndianPacket, HalfTicksRoundToEven) {
  const auto d = DecodeBigEndianTablePacket(BigEndianPacket({{1121, 3363}, {1123, 1}}, {0, 1, 0}, 0));
  ASSERT_TRUE(d.capture);
  EXPECT_EQ(d.capture->Durations[0], 5600);    // 560.5 -> 560
  EXPECT_EQ(d.capture->Durations[1], -16820);  // 1681.5 -> 1682
  EXPECT_EQ(d.capture->Durations[2], 5620);    // 561.5 -> 562
  EXPECT_EQ(d.capture->Durations[3], 0);       // 0.5 -> 0
  EXPECT_EQ(d.capture->Carrier, 0);
}

TEST(BigEndianPacket, HugeSpaceStaysWithin32Bits) {
  const auto d = DecodeBigEndianTablePacket(BigEndianPacket({{1120, 0xFFFFFFFF}}, {0, 0, 0}, 0));
  ASSERT_TRUE(d.capture);
  EXPECT_EQ(d.capture->Durations[1], -2147483647);
}

TEST(BigEndianPacket, PacketsThatRaiseNothing) {
  const Bytes good = BigEndianPacket({{1120, 3360}, {18000, 9000}}, {1, 0, 0}, 43);
  const RejectCase cases[] = {
      {"two pairs", BigEndianPacket({{1120, 3360}}, {0, 0}, 43), false},
      {"index past the table", BigEndianPacket({{1120, 3360}}, {0, 1, 0}, 43), true},
      {"cut short", Bytes(good.begin(), good.end() - 1), false},
      {"shorter than a block", Bytes{0xAA, 0, 0, 3}, false},
  };
  for (const auto& c : cases) {
    const auto d = DecodeBigEndianTablePacket(c.packet);
    EXPECT_FALSE(d.capture) << c.name;
    EXPECT_EQ(d.complete, c.complete) << c.name;
  }
}

TEST(RoundDiv, HalvesGoToEven) {
  const struct {
    std::int64_t a, b, expected;
  } cases[] = {{5, 2, 2}, {7, 2, 4}, {-5, 2, -2}, {-7, 2, -4}, {4, 3, 1}, {5, 3, 2}, {0, 7, 0}};
  for (const auto& c : cases) EXPECT_EQ(RoundDiv(c.a, c.b), c.expected) << c.a << "/" << c.b;
}

// The simulated learner's encoder and the link's decoders agree on every model family.
TEST(PacketEncoder, RoundTripThroughEachFormat) {
  const ir::Capture nec{{90000, -45000, 5600, -16900, 5600, -5600, 5600, -16900, 5600, -5600, 5600}, 38000};
  for (int model : {0, 11, 12}) {
    const auto d = DecodePacket(model, EncodePacket(model, nec));
    ASSERT_TRUE(d.capture) << model;
    EXPECT_EQ(d.capture->Durations.size(), nec.Durations.size()) << model;
    for (std::size_t i = 0; i < nec.Durations.size(); ++i) {
      EXPECT_NEAR(d.capture->Durations[i], nec.Durations[i], 0.16 * std::abs(nec.Durations[i]) + 10)
          << model << " " << i;
    }
    EXPECT_NEAR(d.capture->Carrier, 38000, 1000) << model;
  }
}

}  // namespace
}  // namespace klimavo::device
