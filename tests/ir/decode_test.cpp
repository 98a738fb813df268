#include "ir/decode.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <random>

#include "ir/decode_internal.h"
#include "ir/ir_text.h"
#include "ir/protocol.h"
#include "ir/tolerance.h"

namespace klimavo::ir {
namespace {

constexpr double kTol = kDefaultDecodeTolerance;

// Builds captures in µs and hands them to DecodeCapture in 0.1 µs ticks.
class CaptureBuilder {
 public:
  CaptureBuilder& Pair(std::int32_t mark, std::int32_t space) {
    us_.push_back(mark);
    us_.push_back(space);
    return *this;
  }
  CaptureBuilder& Mark(std::int32_t mark) {
    us_.push_back(mark);
    return *this;
  }
  // Pulse-distance bits: 560 µs marks, 560 µs spaces for 0 and 1690 µs for 1.
  CaptureBuilder& Bits(const std::vector<int>& bits, std::int32_t zero_space = -560,
                       std::int32_t one_space = -1690) {
    for (int b : bits) Pair(560, b != 0 ? one_space : zero_space);
    return *this;
  }
  CaptureBuilder& Byte(std::uint8_t value) {  // LSB first
    for (int k = 0; k < 8; ++k) Bits({(value >> k) & 1});
    return *this;
  }
  TIRIntegerArr Ticks() const {
    TIRIntegerArr ticks;
    for (std::int32_t d : us_) ticks.push_back(d * 10);
    return ticks;
  }
  const TIRIntegerArr& Micros() const { return us_; }

 private:
  TIRIntegerArr us_;
};

CaptureBuilder NecFrame(std::initializer_list<std::uint8_t> bytes) {
  CaptureBuilder b;
  b.Pair(9000, -4500);
  for (std::uint8_t v : bytes) b.Byte(v);
  b.Mark(560);
  return b;
}

Tcomp_aval Decode(const TIRIntegerArr& ticks, bool both = true, bool lsb = true, double tol = kTol) {
  Tcomp_aval r;
  EXPECT_TRUE(DecodeCapture(ticks, 38000, both, lsb, tol, r));
  return r;
}

TEST(DecodeCapture, PulseDistanceFrameGivesLeaderDataAndEndPulse) {
  const Tcomp_aval r = Decode(NecFrame({0x12, 0x34, 0x56, 0x78}).Ticks());
  EXPECT_EQ(PrintProtocol(r.Protocol), "<0>[32]<1>");
  EXPECT_EQ(r.Params.LogicCount, 2);
  EXPECT_EQ(r.LogicCodes, (std::vector<TIRIntegerArr>{{560, -560}, {560, -1690}}));
  EXPECT_EQ(r.Params.SplitCount, 2);
  EXPECT_EQ(r.Params.Split[0], (std::array<std::int32_t, 2>{9000, -4500}));
  // The final mark got the first space appended and is matched by its mark alone.
  EXPECT_EQ(r.Params.Split[1], (std::array<std::int32_t, 2>{560, -4500}));
  EXPECT_EQ(r.Bytes, (TSSByteArray{0x12, 0x34, 0x56, 0x78}));
  EXPECT_EQ(r.Bits.size(), 32u);
  EXPECT_EQ(r.Carrier, 38000);
  EXPECT_EQ(r.Params.Carrier, 38000);
  EXPECT_EQ(r.Protocol.Repeat, 1);
}

TEST(DecodeCapture, ACaptureEndingWithAMarkGetsItsFirstSpace) {
  CaptureBuilder ended = NecFrame({0xA5, 0x0F});
  CaptureBuilder spaced = NecFrame({0xA5, 0x0F});
  spaced.Mark(-4500);
  const Tcomp_aval a = Decode(ended.Ticks());
  const Tcomp_aval b = Decode(spaced.Ticks());
  EXPECT_EQ(PrintProtocol(a.Protocol), PrintProtocol(b.Protocol));
  EXPECT_EQ(a.Params, b.Params);
  EXPECT_EQ(a.Bits, b.Bits);
}

TEST(DecodeCapture, TicksAreTruncatedTowardZero) {
  TIRIntegerArr ticks = NecFrame({0x01, 0x80}).Ticks();
  for (std::int32_t& t : ticks) t += t > 0 ? 9 : -9;  // 0.9 µs more in magnitude: the same µs
  const Tcomp_aval r = Decode(ticks);
  EXPECT_EQ(r.LogicCodes, (std::vector<TIRIntegerArr>{{560, -560}, {560, -1690}}));
  EXPECT_EQ(r.Params.Split[0], (std::array<std::int32_t, 2>{9000, -4500}));
}

TEST(DecodeCapture, TheShorterSpaceOrMarkIsLogicZeroWhateverItsFrequency) {
  struct Case {
    const char* name;
    std::int32_t zero_mark, zero_space, one_mark, one_space;
    std::uint8_t byte0, byte1;
  };
  const Case cases[] = {
      {"distance, zeros frequent", 560, -560, 560, -1690, 0x11, 0x02},
      {"distance, ones frequent", 560, -560, 560, -1690, 0xEE, 0xFD},
      {"width, zeros frequent", 500, -500, 1500, -500, 0x11, 0x01},
      {"width, ones frequent", 500, -500, 1500, -500, 0xEE, 0xFE},
  };
  for (const Case& c : cases) {
    CaptureBuilder b;
    b.Pair(3000, -3000);
    for (std::uint8_t v : {c.byte0, c.byte1})
      for (int k = 0; k < 8; ++k) {
        const bool one = (v >> k) & 1;
        b.Pair(one ? c.one_mark : c.zero_mark, one ? c.one_space : c.zero_space);
      }
    b.Pair(8000, -20000);
    const Tcomp_aval r = Decode(b.Ticks());
    EXPECT_EQ(PrintProtocol(r.Protocol), "<0>[16]<1>") << c.name;
    EXPECT_EQ(r.Bytes, (TSSByteArray{c.byte0, c.byte1})) << c.name;
    EXPECT_EQ(r.Params.Logic[0][0], c.zero_mark) << c.name;
    EXPECT_EQ(r.Params.Logic[1][1], c.one_space) << c.name;
  }
}

TEST(DecodeCapture, ShortOrStructurelessCapturesFailAndLeaveTheResult) {
  const std::vector<TIRIntegerArr> captures = {
      {},
      {5000},
      {5000, -5000},
      {5600, -5600, 5600},
      {90000, -45000, 5600, -5600},
      NecFrame({}).Ticks(),                                                              // no data at all
      CaptureBuilder().Pair(9000, -4500).Bits({1, 0, 1, 1, 0, 0, 1}).Mark(560).Ticks(),  // 7 bits
  };
  for (const TIRIntegerArr& ticks : captures) {
    Tcomp_aval r;
    r.Carrier = 1234;
    r.Bits = {7};
    EXPECT_FALSE(DecodeCapture(ticks, 38000, true, true, kTol, r)) << ticks.size();
    EXPECT_EQ(r.Carrier, 1234);
    EXPECT_EQ(r.Bits, (TSSByteArray{7}));
  }
}

TEST(DecodeCapture, BothOrdersFillBytesAndBytesMsb) {
  const TIRIntegerArr ticks = NecFrame({0x01, 0x03, 0xC0}).Ticks();
  Tcomp_aval r = Decode(ticks, true, false);
  EXPECT_EQ(r.Bytes, (TSSByteArray{0x01, 0x03, 0xC0}));
  EXPECT_EQ(r.BytesMsb, (TSSByteArray{0x80, 0xC0, 0x03}));
  ASSERT_TRUE(DecodeCapture(ticks, 36000, false, false, kTol, r));
  EXPECT_EQ(r.Bytes, (TSSByteArray{0x80, 0xC0, 0x03}));
  EXPECT_TRUE(r.BytesMsb.empty());  // no stale bytes of the previous decode
  EXPECT_EQ(r.Params.Carrier, 36000);
  ASSERT_TRUE(DecodeCapture(ticks, 100000, false, true, kTol, r));
  EXPECT_EQ(r.Bytes, (TSSByteArray{0x01, 0x03, 0xC0}));
  EXPECT_EQ(r.Carrier, 100000);
  EXPECT_EQ(r.Params.Carrier, static_cast<std::uint16_t>(100000));
}

TEST(DecodeCapture, RepeatedFramesAreDescribedOnce) {
  for (std::int32_t last_gap : {-20000, -60000}) {
    CaptureBuilder b;
    for (int frame = 0; frame < 3; ++frame) {
      b.Pair(4400, -4400).Byte(0xB2).Byte(0x4D);
      b.Pair(560, frame == 2 ? last_gap : -20000);
    }
    const Tcomp_aval r = Decode(b.Ticks());
    EXPECT_EQ(PrintProtocol(r.Protocol), "(<0>[16]<1>)*3") << last_gap;
    EXPECT_EQ(r.Protocol.Elements.size(), 3u);
    EXPECT_EQ(r.Bits.size(), 16u);
    EXPECT_EQ(r.Bytes, (TSSByteArray{0xB2, 0x4D}));
  }
}

TEST(DecodeCapture, FramesWithDifferentDataDoNotRepeat) {
  CaptureBuilder b;
  b.Pair(4400, -4400).Byte(0xB2).Byte(0x4D).Pair(560, -20000);
  b.Pair(4400, -4400).Byte(0xB2).Byte(0x4C).Pair(560, -20000);
  const Tcomp_aval r = Decode(b.Ticks());
  EXPECT_EQ(PrintProtocol(r.Protocol), "<0>[16]<1><0>[16]<1>");
  EXPECT_EQ(r.Bits.size(), 32u);
  EXPECT_EQ(r.Bytes, (TSSByteArray{0xB2, 0x4D, 0xB2, 0x4C}));
}

// Manchester code: bit 0 is a mark half then a space half, bit 1 the reverse.
CaptureBuilder Biphase(std::int32_t t, const std::vector<int>& bits) {
  TIRIntegerArr levels{4 * t, -2 * t};  // a leader the histogram leaves out
  for (int b : bits) {
    levels.push_back(b ? -t : t);
    levels.push_back(b ? t : -t);
  }
  levels.push_back(-20000);
  CaptureBuilder out;
  for (std::int32_t d : MergeSameSign(levels)) out.Mark(d);
  return out;
}

TEST(DecodeCapture, BiphaseCaptureFindsTheHalfBitPeriod) {
  const std::vector<int> bits = {0, 1, 1, 0, 1, 0, 0, 0, 1, 1, 1, 0, 0, 1, 0, 1, 1, 0, 0, 1};
  const CaptureBuilder capture = Biphase(889, bits);
  const Tcomp_aval r = Decode(capture.Ticks());
  EXPECT_EQ(r.LogicCodes, (std::vector<TIRIntegerArr>{{889, -889}, {-889, 889}}));
  // The last half-bit mark is read as the second half of the final bit.
  EXPECT_EQ(PrintProtocol(r.Protocol), "<0>[20]");
  EXPECT_EQ(r.Bits, TSSByteArray(bits.begin(), bits.end()));

  // The pulse-pair reading of the same capture has more data groups and loses.
  TIRWaveStruArr classes;
  TClassIndexArr indexes;
  ClassifyPairs(capture.Micros(), kTol, classes, indexes);
  const DecoderResult pair = DecodePairClasses(classes, indexes, kTol);
  const DecoderResult biphase = DecodeBiphase(capture.Micros());
  EXPECT_EQ(biphase.groups, 1);
  EXPECT_EQ(biphase.text, "<0>[20]");
  EXPECT_GT(pair.groups, biphase.groups);
}

TEST(DecodeBiphase, FailsWithoutAOneToTwoRatio) {
  EXPECT_EQ(DecodeBiphase({4000, -4000, 500}).groups, -1);
  EXPECT_EQ(DecodeBiphase({4000, -4000, 500, -500}).groups, -1);   // one histogram entry
  EXPECT_EQ(DecodeBiphase(NecFrame({0x55}).Micros()).groups, -1);  // 560 and 1690
}

TEST(DecodeBiphase, KeepsAtMost512Bits) {
  std::vector<int> bits(700);
  for (std::size_t i = 0; i < bits.size(); ++i) bits[i] = static_cast<int>((i * 5 + i / 7) % 2);
  const DecoderResult r = DecodeBiphase(Biphase(500, bits).Micros());
  ASSERT_GT(r.groups, 0);
  EXPECT_EQ(r.bits.size(), kMaxBiphaseBits);
  EXPECT_EQ(TotalBits(ParseProtocol(r.text).Elements), 512);
}

TEST(DecodePairClasses, NineSplitCodesFailEightSucceed) {
  for (int splits : {8, 9}) {
    CaptureBuilder b;
    // Leader marks 30 % apart: distinct classes and distinct split codes.
    double leader = 3000;
    // splits - 1 leaders and the end pulse.
    for (int k = 0; k + 1 < splits; ++k, leader *= 1.3)
      b.Pair(static_cast<std::int32_t>(leader), -3000).Byte(static_cast<std::uint8_t>(0x5A ^ k));
    b.Mark(560);
    Tcomp_aval r;
    const bool ok = DecodeCapture(b.Ticks(), 38000, true, true, kTol, r);
    EXPECT_EQ(ok, splits == 8) << splits;
    if (ok) {
      EXPECT_EQ(r.Params.SplitCount, 8);
    }
  }
}

TEST(DecodePairClasses, ClassIndexesBeyond255DoNotWrap) {
  TIRWaveStruArr classes = {{560, -560}, {560, -1690}};
  for (int k = 2; k < 300; ++k) classes.push_back({9000 + k, -4500});
  // Class 256 is a leader; a byte index would have made it class 0, a data bit.
  const TClassIndexArr indexes = {256, 0, 1, 0, 1, 0, 1, 0, 1, 1, 0, 299};
  const DecoderResult r = DecodePairClasses(classes, indexes, kTol);
  EXPECT_EQ(r.text, "<0>[10]<0>");
  EXPECT_EQ(r.groups, 1);
  EXPECT_EQ(r.bits, (TSSByteArray{0, 1, 0, 1, 0, 1, 0, 1, 1, 0}));
}

TEST(ClassifyPairs, MatchesOnRunningMeansAndKeepsExactMeans) {
  // 100 and 120 match (t = 21); the running mean 110 then takes 132 (t = 23),
  // which 100 alone would not have taken. The final class is the exact mean.
  TIRWaveStruArr classes;
  TClassIndexArr indexes;
  ClassifyPairs({100, -100, 120, -100, 132, -101, 5000, -5000, 33}, kTol, classes, indexes);
  ASSERT_EQ(classes.size(), 3u);
  EXPECT_EQ(classes[0].First, (100 + 120 + 132) / 3);
  EXPECT_EQ(classes[0].Second, (-100 - 100 - 101) / 3);  // truncated toward zero
  // The trailing mark got the space before it appended again: (33, -5000).
  EXPECT_EQ(classes[2].First, 33);
  EXPECT_EQ(classes[2].Second, -5000);
  EXPECT_EQ(indexes, (TClassIndexArr{0, 0, 0, 1, 2}));
  TIRWaveStruArr none;
  ClassifyPairs({100, -100}, kTol, none, indexes);
  EXPECT_TRUE(none.empty());
  EXPECT_TRUE(indexes.empty());
}

TEST(ClassifyPairs, ManyDistinctPairsGetDistinctIndexes) {
  // 17 marks and 17 spaces, each more than 21 % from the others: 289 classes.
  const std::int32_t values[] = {1, 2, 3, 5, 7, 10, 13, 17, 22, 29, 38, 49, 64, 83, 108, 140, 182};
  TIRIntegerArr d;
  for (std::int32_t m : values)
    for (std::int32_t s : values) {
      d.push_back(m);
      d.push_back(-s);
    }
  TIRWaveStruArr classes;
  TClassIndexArr indexes;
  ClassifyPairs(d, kTol, classes, indexes);
  ASSERT_EQ(classes.size(), 289u);
  for (std::uint32_t i = 0; i < indexes.size(); ++i) EXPECT_EQ(indexes[i], i);
  Tcomp_aval r;
  TIRIntegerArr ticks;
  for (std::int32_t v : d) ticks.push_back(v * 10);
  DecodeCapture(ticks, 38000, true, true, kTol, r);  // must simply not fault
}

TEST(DecodeCapture, ProtocolKeepsAtMost512Elements) {
  CaptureBuilder b;
  std::uint32_t state = 12345;
  std::size_t bit_count = 0;
  for (int frame = 0; frame < 400; ++frame) {
    b.Pair(3000, -3000);
    for (int k = 0; k < 4; ++k, ++bit_count) {
      state = state * 1103515245u + 12345u;
      b.Bits({static_cast<int>((state >> 16) & 1)});
    }
  }
  b.Mark(3000);
  const Tcomp_aval r = Decode(b.Ticks());
  EXPECT_EQ(r.Protocol.Repeat, 1);
  EXPECT_EQ(r.Protocol.Elements.size(), kMaxProtocolElements);
  EXPECT_EQ(r.Bits.size(), bit_count);
  EXPECT_EQ(r.Bytes.size(), 256u);
}

struct FixTailCase {
  const char* before;
  std::vector<std::uint8_t> bits;
  std::array<std::int32_t, 2> logic_marks;
  int expected_result;
  const char* after;
};

TEST(FixTail, TurnsAFinalBitIntoAnEndPulse) {
  const FixTailCase cases[] = {
      {"<0>[8]<1>[1]", {0, 0, 0, 0, 0, 0, 0, 0, 1}, {560, 1200}, -1, "<0>[8]<1><2>"},
      {"<0>[9]", {0, 0, 0, 0, 0, 0, 0, 0, 1}, {560, 560}, -1, "<0>[8]<1>"},   // equal marks
      {"<0>[9]", {0, 0, 0, 0, 0, 0, 0, 0, 1}, {560, 1200}, -1, "<0>[8]<1>"},  // 9 - 1 is a multiple of 4
      {"<0>[8]<0>[7]", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, {560, 1200}, 0, "<0>[8]<0>[7]"},
      {"<0>[7]<0>[8]",
       std::vector<std::uint8_t>(15, 1),
       {560, 1200},
       -1,
       "<0>[7]<0>[7]<1>"},                                                  // 7 = 8 - 1 before
      {"<0>[8]<1>", {1, 1, 1, 1, 1, 1, 1, 1}, {560, 560}, 0, "<0>[8]<1>"},  // ends with a split
  };
  for (const FixTailCase& c : cases) {
    TIRGsPara params;
    params.LogicCount = 2;
    params.Logic[0] = {c.logic_marks[0], -560, kUnusedDuration, kUnusedDuration};
    params.Logic[1] = {c.logic_marks[1], -1690, kUnusedDuration, kUnusedDuration};
    params.SplitCount = 1;
    params.Split[0] = {9000, -4500};
    if (std::string_view(c.before).find("<1>") != std::string_view::npos) {
      params.SplitCount = 2;
      params.Split[1] = {3000, -3000};
    }
    TStrProt_Listbase elements = ParseProtocol(c.before).Elements;
    EXPECT_EQ(FixTail(params, c.bits, elements, kTol), c.expected_result) << c.before;
    EXPECT_EQ(PrintElements(elements), c.after) << c.before;
    if (c.expected_result < 0) {
      const std::int32_t mark = params.Logic[c.bits.back()][0];
      EXPECT_EQ(params.Split[params.SplitCount - 1][0], mark) << c.before;
      EXPECT_EQ(params.Split[params.SplitCount - 1][1], -4500) << c.before;  // the space of split code 0
    }
  }
}

TEST(FixTail, FirstEndPulseCodeGetsTheNegatedMarkAndNinthIsRefused) {
  TIRGsPara params;
  params.Logic[0] = {560, -560, kUnusedDuration, kUnusedDuration};
  params.Logic[1] = {560, -1690, kUnusedDuration, kUnusedDuration};
  TStrProt_Listbase elements = ParseProtocol("[1]").Elements;
  EXPECT_EQ(FixTail(params, {1}, elements, kTol), -1);
  EXPECT_EQ(params.Split[0], (std::array<std::int32_t, 2>{560, -560}));

  TIRGsPara full;
  full.Logic[0] = {560, -560, kUnusedDuration, kUnusedDuration};
  full.SplitCount = 8;
  for (int k = 0; k < 8; ++k) full.Split[static_cast<std::size_t>(k)] = {5000 + 1000 * k, -3000};
  elements = ParseProtocol("<0>[1]").Elements;
  EXPECT_EQ(FixTail(full, {0}, elements, kTol), 0);
  EXPECT_EQ(PrintElements(elements), "<0>[1]");
}

struct RepeatCase {
  const char* before;
  std::vector<std::uint8_t> bits;
  const char* after;
};

TEST(DetectRepeat, FindsTheShortestPeriod) {
  const std::vector<std::uint8_t> b8{1, 0, 1, 1, 0, 0, 1, 0};
  std::vector<std::uint8_t> b16 = b8;
  b16.insert(b16.end(), b8.begin(), b8.end());
  std::vector<std::uint8_t> b16_diff = b16;
  b16_diff[15] ^= 1;
  const RepeatCase cases[] = {
      {"<0>[8]<0>[8]", b16, "(<0>[8])*2"},
      {"<0>[8]<1><0>[8]<2>", b16, "(<0>[8]<1>)*2"},            // the last split element may differ
      {"<0>[8]<1><0>[8]<2>", b16_diff, "<0>[8]<1><0>[8]<2>"},  // the bits must repeat too
      {"<0>[8]<1>[8]<2>", b16, "<0>[8]<1>[8]<2>"},             // last data element may not differ
      {"<0>[4]<0>[4]<0>[4]<0>[4]", b16, "(<0>[4]<0>[4])*2"},   // bits repeat every 8, not every 4
      {"<0>[4]<0>[4]<0>[4]<0>[4]", {1, 0, 1, 1, 1, 0, 1, 1}, "(<0>[4])*4"},
      {"<0>[8]<0>", b8, "<0>[8]<0>"},      // fewer than four elements
      {"<0><0><0><0>", {}, "(<0><0>)*2"},  // p = 1 is never tried
      {"<0>[8]<1><0>[8]<1><0>", b16, "<0>[8]<1><0>[8]<1><0>"},
      {"<0>[8]<0>[8]", b8, "(<0>[8])*2"},  // bits beyond the list are not compared
  };
  for (const RepeatCase& c : cases) {
    TStrProt_Stru protocol = ParseProtocol(c.before);
    DetectRepeat(c.bits, protocol);
    EXPECT_EQ(PrintProtocol(protocol), c.after) << c.before;
  }
}

TEST(MergeCarrierPulses, JoinsPulsesOfABurstIntoOneMark) {
  struct Case {
    TIRIntegerArr in;
    int k;
    TIRIntegerArr out;
  };
  const Case cases[] = {
      {{100, -200, 100, -200, 100, -5000, 100, -100}, 12, {700, -5000, 200}},
      {{300, -419}, 12, {719}},                 // 419 + 300 < 720: inside the burst
      {{300, -420, 50}, 12, {300, -420, 50}},   // 720 is not under 720
      {{-900, 100}, 12, {0, -900, 100}},        // a leading gap closes an empty mark
      {{100, -700, -30}, 12, {100, -700, 30}},  // the pulse width is kept over a closing gap
      {{}, 12, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(MergeCarrierPulses(c.in, c.k), c.out);
}

TEST(DecoderWindows, AgreeWithIsNearForEveryFactorAndSign) {
  // The decoders test closeness through precomputed windows and a per-factor
  // cache; both must answer exactly as IsNear does.
  std::mt19937_64 random(20261210);
  std::uniform_int_distribution<std::int64_t> duration(-40000, 40000);
  std::uniform_int_distribution<std::int64_t> small(-300, 300);
  const double factors[] = {0.0, 0.01, 0.08, 0.09, 0.1, 0.12, 0.15, 0.21, 0.25, 0.5, 0.999, 1.0, 2.5, -0.1};
  for (double factor : factors) {
    detail::ToleranceCache cache;
    cache.Prepare(factor);
    for (int i = 0; i < 20000; ++i) {
      const std::int64_t b = i % 2 == 0 ? duration(random) : small(random);
      const std::int64_t a =
          i % 3 == 0 ? b + small(random) / 4 : (i % 3 == 1 ? -b + small(random) : duration(random));
      const bool expected = IsNear(a, b, factor, factor);
      ASSERT_EQ(detail::NearWindow::Of(b, factor).Contains(a), expected) << a << " " << b << " " << factor;
      ASSERT_EQ(cache.WindowOf(b).Contains(a), expected) << a << " " << b << " " << factor;
    }
    for (std::int64_t b : {std::int64_t{0}, std::int64_t{1}, std::int64_t{-1}})
      for (std::int64_t a = -3; a <= 3; ++a)
        ASSERT_EQ(cache.WindowOf(b).Contains(a), IsNear(a, b, factor, factor));
  }
}

TEST(DecoderWindows, OneCacheAnswersForEachFactorInTurn) {
  // A cache keeps the tables of a few factors: going back to an earlier factor,
  // or to one whose table was given up, must never answer with another's.
  std::mt19937_64 random(20261211);
  std::uniform_int_distribution<std::int64_t> duration(-20000, 20000);
  std::uniform_int_distribution<std::int64_t> small(-300, 300);
  const double turns[] = {0.21, 0.25, 0.21, 0.1, 0.15, 0.3, 0.4,  0.21,
                          2.5,  0.25, -0.1, 0.1, 0.21, 0.0, 0.35, 0.4};
  detail::ToleranceCache cache;
  for (double factor : turns) {
    cache.Prepare(factor);
    for (int i = 0; i < 4000; ++i) {
      const std::int64_t b = duration(random);
      const std::int64_t a = i % 2 == 0 ? b + small(random) * b / 1000 : duration(random);
      ASSERT_EQ(cache.WindowOf(b).Contains(a), IsNear(a, b, factor, factor))
          << a << " " << b << " " << factor;
    }
  }
}

TEST(TIRGsParaReset, LeavesNoCodesAndEveryDurationSlotUnused) {
  TIRGsPara params;
  params.LogicCount = 3;
  params.Split[5][1] = 7;
  params.Reset();
  EXPECT_EQ(params.Carrier, 38000);
  EXPECT_EQ(params.LogicCount, 0);
  EXPECT_EQ(params.SplitCount, 0);
  int unused = 0;
  for (const auto& row : params.Logic)
    for (std::int32_t d : row) unused += d == kUnusedDuration;
  for (const auto& row : params.Split)
    for (std::int32_t d : row) unused += d == kUnusedDuration;
  EXPECT_EQ(unused, 48);
}

// ---- Real captures from the shared corpus ----

struct CorpusCapture {
  std::string source;
  std::string name;
  std::int32_t carrier = 0;
  TIRIntegerArr ticks;
};

const std::vector<CorpusCapture>& Corpus() {
  static const std::vector<CorpusCapture> corpus = [] {
    std::vector<CorpusCapture> out;
    std::ifstream in(KLIMAVO_CORPUS_FILE);
    std::string line;
    while (std::getline(in, line)) {
      const auto j = nlohmann::json::parse(line);
      CorpusCapture c{j.at("source"), j.at("name"), j.at("carrier_hz"), {}};
      for (std::int32_t us : j.at("durations_us")) c.ticks.push_back(us * 10);
      out.push_back(std::move(c));
    }
    return out;
  }();
  return corpus;
}

const CorpusCapture* FindCapture(std::string_view source, std::string_view name) {
  for (const CorpusCapture& c : Corpus())
    if (c.source == source && c.name == name) return &c;
  return nullptr;
}

struct CorpusCase {
  const char* source;
  const char* name;
  const char* protocol;
  std::size_t bits;
  bool biphase;
};

TEST(DecodeCorpus, RealCapturesDecodeToTheirStructure) {
  const CorpusCase cases[] = {
      {"ACs/Fujidenzo/Fujidenzo_FEA5001_AC.ir", "Timer", "<0>[32]<1>", 32, false},
      {"ACs/Airmax/Airmax.ir", "Power_on", "(<0>[48]<1>)*2", 48, false},
      {"ACs/General_Electric/GE_AC.ir", "POWER", "(<0>[8]<1>[8]<2>)*3", 16, false},
      {"ACs/Fujitsu/Fujitsu_AC.ir", "POWER", "<0>[128]<1>", 128, false},
      {"ACs/Airwell/Airwell.ir", "POWER", "<0>[34]<0>[34]<0>[34]<1>", 102, true},
  };
  for (const CorpusCase& c : cases) {
    const CorpusCapture* capture = FindCapture(c.source, c.name);
    ASSERT_NE(capture, nullptr) << c.source << " " << c.name;
    const Tcomp_aval r = Decode(capture->ticks);
    EXPECT_EQ(PrintProtocol(r.Protocol), c.protocol) << c.source << " " << c.name;
    EXPECT_EQ(r.Bits.size(), c.bits) << c.source << " " << c.name;
    EXPECT_EQ(r.Params.Logic[1][0] < 0, c.biphase) << c.source << " " << c.name;
  }
}

TEST(DecodeCorpus, FujidenzoTimerTimingAndBytes) {
  // ACs/Fujidenzo/Fujidenzo_FEA5001_AC.ir, "Timer": a 32-bit pulse-distance frame.
  const CorpusCapture* capture = FindCapture("ACs/Fujidenzo/Fujidenzo_FEA5001_AC.ir", "Timer");
  ASSERT_NE(capture, nullptr);
  const Tcomp_aval r = Decode(capture->ticks, true);
  EXPECT_EQ(r.LogicCodes, (std::vector<TIRIntegerArr>{{586, -601}, {586, -1680}}));
  ASSERT_EQ(r.Bytes.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    std::uint8_t reversed = 0;
    for (int k = 0; k < 8; ++k) reversed |= static_cast<std::uint8_t>(((r.Bytes[i] >> k) & 1) << (7 - k));
    EXPECT_EQ(r.BytesMsb[i], reversed);
  }
}

TEST(DecodeCorpus, EveryCaptureDecodesConsistentlyInBothOrdersAndAtSeveralTolerances) {
  ASSERT_GT(Corpus().size(), 100u);
  for (double tol : {0.05, 0.21, 0.4, 1.0}) {
    int decoded = 0;
    for (const CorpusCapture& c : Corpus()) {
      Tcomp_aval r;
      if (!DecodeCapture(c.ticks, c.carrier, true, true, tol, r)) continue;
      ++decoded;
      const std::string where = c.source + " " + c.name;
      ASSERT_EQ(r.LogicCodes.size(), r.Params.LogicCount) << where;
      ASSERT_EQ(r.Params.Carrier, static_cast<std::uint16_t>(c.carrier)) << where;
      const auto claimed = static_cast<std::size_t>(TotalBits(r.Protocol.Elements));
      ASSERT_LE(claimed, r.Bits.size()) << where;
      const TSSByteArray first(r.Bits.begin(), r.Bits.begin() + static_cast<std::ptrdiff_t>(claimed));
      TSSByteArray lsb;
      TSSByteArray msb;
      ASSERT_TRUE(BytesToBits(r.Protocol.Elements, r.Bytes, true, lsb)) << where;
      ASSERT_TRUE(BytesToBits(r.Protocol.Elements, r.BytesMsb, false, msb)) << where;
      EXPECT_EQ(lsb, first) << where;
      EXPECT_EQ(msb, first) << where;
      EXPECT_EQ(PrintProtocol(ParseProtocol(PrintProtocol(r.Protocol))), PrintProtocol(r.Protocol)) << where;
      Tcomp_aval msb_only;
      ASSERT_TRUE(DecodeCapture(c.ticks, c.carrier, false, false, tol, msb_only)) << where;
      EXPECT_EQ(msb_only.Bytes, r.BytesMsb) << where;
    }
    if (tol == kTol) {
      EXPECT_GT(decoded, 600) << tol;
    }
  }
}

}  // namespace
}  // namespace klimavo::ir
