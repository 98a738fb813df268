#include "ir/assisted_decode.h"

#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "ir/captures_alike.h"
#include "ir/decode.h"
#include "ir/protocol.h"
#include "synthetic_misses.h"

namespace klimavo::ir {
namespace {

using synthetic::Micros;
using synthetic::ToTicks;

constexpr double kTolerance = 0.21;
constexpr std::int32_t kCarrier = 38000;

const TSSByteArray kCode4{0x20, 0xDF, 0x10, 0xEF};
const TSSByteArray kCode6{0x4D, 0xB2, 0xF9, 0x06, 0x00, 0xFF};
const TSSByteArray kCode8{0x11, 0xDA, 0x27, 0x00, 0x02, 0x00, 0x00, 0xD7};

std::string Hex(const TSSByteArray& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (const std::uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

TSSByteArray Joined(std::initializer_list<TSSByteArray> parts) {
  TSSByteArray out;
  for (const TSSByteArray& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

std::string ChangesText(const AssistedDecode& d) {
  std::string out;
  for (const AssistChange& c : d.changes) out += "[" + c.change + ": " + c.why + "] ";
  return out;
}

struct MissCase {
  const char* name;
  Micros capture;
  TSSByteArray bytes;  // the code bytes sent
  const char* change;  // a change that must be named
  const char* why;     // and words its reason must hold
  int sections = 1;
  int bits_per_symbol = 1;
};

class RecoversMiss : public testing::TestWithParam<MissCase> {};

// Each kind of miss: the blind reading does not give the bytes sent, the
// assisted one does, and it names what it changed and why.
TEST_P(RecoversMiss, ReadsTheBytesSentAndExplains) {
  const MissCase& c = GetParam();
  const TIRIntegerArr ticks = ToTicks(c.capture);
  Tcomp_aval plain;
  const bool plain_ok = DecodeCapture(ticks, kCarrier, false, true, kTolerance, plain);
  ASSERT_FALSE(plain_ok && plain.Bytes == c.bytes) << "the blind reading already gets " << Hex(plain.Bytes);

  const AssistedDecode d = AssistedDecodeCapture(ticks, kCarrier, false, true, kTolerance);
  ASSERT_EQ(d.outcome, AssistOutcome::kImproved) << ChangesText(d);
  EXPECT_EQ(Hex(d.result.Bytes), Hex(c.bytes)) << PrintProtocol(d.result.Protocol) << " " << ChangesText(d);
  EXPECT_EQ(d.sections, c.sections);
  EXPECT_EQ(d.bits_per_symbol, c.bits_per_symbol);
  EXPECT_TRUE(DoubtsAbout(d.result).empty()) << PrintProtocol(d.result.Protocol);
  bool named = false;
  for (const AssistChange& change : d.changes) {
    EXPECT_FALSE(change.why.empty()) << change.change;
    if (change.change.find(c.change) != std::string::npos && change.why.find(c.why) != std::string::npos)
      named = true;
  }
  EXPECT_TRUE(named) << "no change '" << c.change << "' because of '" << c.why << "' in " << ChangesText(d);
  // The result keeps the form of a blind decode: bits pack into its bytes.
  TSSByteArray repacked;
  ASSERT_TRUE(BitsToBytes(d.result.Protocol.Elements, d.result.Bits, true, repacked));
  EXPECT_EQ(repacked, d.result.Bytes);
  EXPECT_EQ(d.result.LogicCodes.size(), d.result.Params.LogicCount);
}

INSTANTIATE_TEST_SUITE_P(
    EachKindOfMiss, RecoversMiss,
    testing::Values(
        MissCase{"jitter30", synthetic::Jittered(kCode6, 0.30), kCode6, "tolerance", "space classes merged"},
        MissCase{"jitter35", synthetic::Jittered(kCode8, 0.35), kCode8, "tolerance", "merged"},
        MissCase{"inverted", synthetic::Inverted(synthetic::CleanFrame(kCode4)), kCode4, "polarity inverted",
                 "begins with a space"},
        MissCase{"sections",
                 synthetic::Sections({{kCode8, synthetic::kShortLeader}, {kCode6, synthetic::kNecLike}}),
                 Joined({kCode8, kCode6}), "two sections", "headers (3500,-1750), (9000,-4500)", 2},
        MissCase{"three_sections",
                 synthetic::Sections({{kCode4, synthetic::kShortLeader},
                                      {kCode6, synthetic::kNecLike},
                                      {kCode8, synthetic::kShortLeader}}),
                 Joined({kCode4, kCode6, kCode8}), "three sections", "own timing", 3},
        MissCase{"two_bit", synthetic::TwoBitSymbols(kCode8), kCode8, "two-bit symbols", "four space lengths",
                 1, 2},
        MissCase{"stray_end", synthetic::StrayEndPulse(kCode4), kCode4, "end pulse", "33 bits"},
        MissCase{"stray_lead_in", synthetic::StrayLeadIn(kCode4), kCode4, "lead-in of 1 pulse",
                 "carry no data"}),
    [](const testing::TestParamInfo<MissCase>& param_info) { return std::string(param_info.param.name); });

TEST(AssistedDecode, SoundBlindReadingIsReturnedUntouched) {
  const TIRIntegerArr ticks = ToTicks(synthetic::CleanFrame(kCode4));
  Tcomp_aval plain;
  ASSERT_TRUE(DecodeCapture(ticks, kCarrier, true, true, kTolerance, plain));
  const AssistedDecode d = AssistedDecodeCapture(ticks, kCarrier, true, true, kTolerance);
  EXPECT_EQ(d.outcome, AssistOutcome::kPlain);
  EXPECT_TRUE(d.changes.empty());
  EXPECT_EQ(d.result.Bytes, plain.Bytes);
  EXPECT_EQ(d.result.BytesMsb, plain.BytesMsb);
  EXPECT_EQ(PrintProtocol(d.result.Protocol), PrintProtocol(plain.Protocol));
}

// A frame of 35 bits is doubtful (not whole bytes) but nothing reads it
// better: the blind reading stays, and the report says what was tried.
TEST(AssistedDecode, DoubtfulReadingWithNothingBetterIsKeptAndSaysWhatWasTried) {
  Micros capture = synthetic::FrameBody({0x12, 0x34, 0x56, 0x78}, synthetic::kNecLike);
  for (int bit : {1, 0, 1}) {
    capture.push_back(560);
    capture.push_back(bit ? -1690 : -560);
  }
  capture.push_back(560);
  const AssistedDecode d = AssistedDecodeCapture(ToTicks(capture), kCarrier, false, true, kTolerance);
  ASSERT_EQ(d.outcome, AssistOutcome::kKept) << ChangesText(d);
  EXPECT_EQ(PrintProtocol(d.result.Protocol), "<0>[35]<1>");
  EXPECT_EQ(d.result.Bytes, d.plain.Bytes);
  ASSERT_EQ(d.changes.size(), 1u);
  EXPECT_EQ(d.changes[0].change, "blind reading kept");
  EXPECT_NE(d.changes[0].why.find("a data group of 35 bits"), std::string::npos) << d.changes[0].why;
  EXPECT_NE(d.changes[0].why.find("tried"), std::string::npos) << d.changes[0].why;
}

// Noise that no reading supports is not claimed as a decode.
TEST(AssistedDecode, NoiseFailsAndNamesWhatWasTried) {
  const TIRIntegerArr noise = ToTicks({300, -7000, 2500, -900, 12000, -150, 800, -3300, 100, -60000, 4000});
  const AssistedDecode d = AssistedDecodeCapture(noise, kCarrier, false, true, kTolerance);
  EXPECT_EQ(d.outcome, AssistOutcome::kFailed);
  EXPECT_FALSE(d.ok());
  ASSERT_EQ(d.changes.size(), 1u);
  EXPECT_EQ(d.changes[0].change, "no decoding");
  EXPECT_NE(d.changes[0].why.find("tried tolerance 15 %, 10 %"), std::string::npos) << d.changes[0].why;
  EXPECT_NE(d.changes[0].why.find("two-bit symbols"), std::string::npos);
}

TEST(AssistedDecode, EmptyAndTinyCapturesFailWithoutFault) {
  for (const TIRIntegerArr& ticks :
       {TIRIntegerArr{}, TIRIntegerArr{5600}, TIRIntegerArr{-5600, 5600, -5600}}) {
    const AssistedDecode d = AssistedDecodeCapture(ticks, kCarrier, true, false, kTolerance);
    EXPECT_EQ(d.outcome, AssistOutcome::kFailed);
  }
}

// Two-bit symbols follow the bit order asked for: MSB-first bytes hold the
// symbol values high bits first, so the bytes of both orders agree.
TEST(AssistedDecode, TwoBitSymbolsPackInEitherOrder) {
  const TIRIntegerArr longer = ToTicks(synthetic::TwoBitSymbols(kCode8));
  const AssistedDecode both = AssistedDecodeCapture(longer, kCarrier, true, true, kTolerance);
  ASSERT_EQ(both.bits_per_symbol, 2);
  EXPECT_EQ(Hex(both.result.Bytes), Hex(kCode8));
  // MSB-first: the first symbol of a byte is its highest pair of bits.
  TSSByteArray expected;
  for (const std::uint8_t b : kCode8) {
    std::uint8_t v = 0;
    for (int s = 0; s < 4; ++s) v = static_cast<std::uint8_t>(v | (((b >> (2 * s)) & 3) << (6 - 2 * s)));
    expected.push_back(v);
  }
  EXPECT_EQ(Hex(both.result.BytesMsb), Hex(expected));
  EXPECT_EQ(both.result.Params.LogicCount, 4);
}

// ---- Captures of one remote read alike ----

AlikeCapture Press(const Micros& m) {
  const TIRIntegerArr ticks = ToTicks(m);
  return AlikeCapture{ticks, AssistedDecodeCapture(ticks, kCarrier, false, true, kTolerance)};
}

TEST(ReadCapturesAlike, ReadsExtraSplitMarkersAgainstTheSharedStructure) {
  auto press = Press;
  // One press caught a stray pulse after its end mark: read alone, it ends
  // in split markers the other presses do not have.
  Micros odd = synthetic::CleanFrame(kCode4);
  odd.push_back(-20000);
  odd.push_back(560);
  std::vector<AlikeCapture> captures{press(synthetic::CleanFrame(kCode4)),
                                     press(synthetic::CleanFrame(kCode6)), press(odd),
                                     press(synthetic::CleanFrame({0x01, 0x02, 0x03, 0x04}))};
  ASSERT_NE(PrintProtocol(captures[2].decode.result.Protocol), "<0>[32]<1>");
  const std::string sound_other = PrintProtocol(captures[1].decode.result.Protocol);

  EXPECT_EQ(ReadCapturesAlike(captures, false, true, kTolerance), 1);
  EXPECT_EQ(PrintProtocol(captures[2].decode.result.Protocol), "<0>[32]<1>");
  EXPECT_EQ(Hex(captures[2].decode.result.Bytes), Hex(kCode4));
  ASSERT_FALSE(captures[2].decode.changes.empty());
  EXPECT_EQ(captures[2].decode.changes.back().change, "read as <0>[32]<1>");
  EXPECT_NE(captures[2].decode.changes.back().why.find("2 of 4 captures"), std::string::npos)
      << captures[2].decode.changes.back().why;
  // A press of another length, read soundly, keeps its own structure.
  EXPECT_EQ(PrintProtocol(captures[1].decode.result.Protocol), sound_other);
  EXPECT_EQ(captures[1].decode.outcome, AssistOutcome::kPlain);
}

// A press whose data pair ran far beyond any tolerance is not forced into the
// shared structure: the known format cannot read that pair as a bit.
TEST(ReadCapturesAlike, APairNoTimingReadsIsNotForced) {
  Micros odd = synthetic::CleanFrame(kCode8);
  odd[2 + 2 * 20 + 1] = -2600;  // bit 20, a 1: its space ran long
  std::vector<AlikeCapture> captures{
      Press(synthetic::CleanFrame(kCode8)), Press(odd),
      Press(synthetic::CleanFrame({0x11, 0xDA, 0x27, 0xF0, 0x00, 0x00, 0x00, 0x20}))};
  const std::string alone = PrintProtocol(captures[1].decode.result.Protocol);
  ASSERT_NE(alone, "<0>[64]<1>");
  EXPECT_EQ(ReadCapturesAlike(captures, false, true, kTolerance), 0)
      << "a pair beyond the tolerance of the shared timing cannot be read as a bit: " << alone;
  EXPECT_EQ(PrintProtocol(captures[1].decode.result.Protocol), alone);
}

TEST(ReadCapturesAlike, NothingSharedNothingChanged) {
  std::vector<AlikeCapture> captures;
  for (const TSSByteArray& code : {kCode4, kCode6, kCode8}) {
    const TIRIntegerArr ticks = ToTicks(synthetic::CleanFrame(code));
    captures.push_back({ticks, AssistedDecodeCapture(ticks, kCarrier, false, true, kTolerance)});
  }
  EXPECT_EQ(ReadCapturesAlike(captures, false, true, kTolerance), 0);
  for (const AlikeCapture& c : captures) EXPECT_EQ(c.decode.outcome, AssistOutcome::kPlain);
}

// ---- The real corpus ----

struct CorpusCapture {
  std::string id;
  TIRIntegerArr ticks;
};

std::vector<CorpusCapture> Corpus() {
  std::vector<CorpusCapture> out;
  std::ifstream in(KLIMAVO_CORPUS_FILE);
  std::string line;
  while (std::getline(in, line)) {
    const auto j = nlohmann::json::parse(line);
    CorpusCapture c;
    c.id = j.at("source").get<std::string>() + " / " + j.at("name").get<std::string>();
    for (const std::int32_t us : j.at("durations_us")) c.ticks.push_back(us * 10);
    out.push_back(std::move(c));
  }
  return out;
}

bool WholeBytes(const Tcomp_aval& r) {
  for (const TStrProtItem& e : r.Protocol.Elements)
    if (e.IsData() && e.Value % 8 != 0) return false;
  return true;
}

// No capture that the blind reading decodes soundly is read differently, and
// no capture whose blind reading packs into whole bytes gets other bytes.
TEST(AssistedDecodeCorpus, NeverReadsASoundBlindReadingDifferently) {
  const std::vector<CorpusCapture> corpus = Corpus();
  ASSERT_GT(corpus.size(), 600u);
  int improved = 0;
  for (const CorpusCapture& c : corpus) {
    const AssistedDecode d = AssistedDecodeCapture(c.ticks, kCarrier, true, true, kTolerance);
    Tcomp_aval plain;
    const bool plain_ok = DecodeCapture(c.ticks, kCarrier, true, true, kTolerance, plain);
    ASSERT_EQ(d.plain_ok, plain_ok) << c.id;
    if (!plain_ok) continue;
    EXPECT_EQ(d.plain.Bytes, plain.Bytes) << c.id;
    if (DoubtsAbout(plain).empty()) {
      EXPECT_EQ(d.outcome, AssistOutcome::kPlain) << c.id;
      EXPECT_EQ(PrintProtocol(d.result.Protocol), PrintProtocol(plain.Protocol)) << c.id;
      EXPECT_EQ(d.result.Bytes, plain.Bytes) << c.id;
      EXPECT_EQ(d.result.BytesMsb, plain.BytesMsb) << c.id;
      EXPECT_EQ(d.result.Params, plain.Params) << c.id;
    } else if (WholeBytes(plain)) {
      EXPECT_EQ(Hex(d.result.Bytes), Hex(plain.Bytes)) << c.id << " " << ChangesText(d);
    }
    if (d.outcome == AssistOutcome::kImproved) {
      ++improved;
      EXPECT_FALSE(d.changes.empty()) << c.id;
      EXPECT_TRUE(DoubtsAbout(d.result).empty()) << c.id << " " << PrintProtocol(d.result.Protocol);
    }
  }
  // The recovery the assisted reading exists for: it does improve real captures.
  EXPECT_GT(improved, 0);
}

}  // namespace
}  // namespace klimavo::ir
