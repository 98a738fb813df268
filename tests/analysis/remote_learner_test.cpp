#include "analysis/remote_learner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "analysis/learn_session.h"
#include "capture/signal_export.h"
#include "firmware/chip_emulator.h"
#include "firmware/table_image.h"
#include "ir/protocol.h"
#include "signal_support.h"

namespace klimavo::analysis {
namespace {

using Label = std::map<std::string, std::string>;

// A remote of known fields, built bit by bit: power in bit 8, mode in bits
// 9-11, fan in bits 12-13, the temperature as a binary number with an offset
// in the third byte, swing in the fourth, and a byte sum over the first five
// bytes in the last.
struct ModelRemote {
  bool lsb = true;
  int temp_offset = 0;
  bool checksum = true;
  bool dry_fixes_fan = false;    // dry sends fan "auto" whatever the fan is
  bool auto_fixes_temp = false;  // auto sends 25 degrees whatever the temperature is
  bool gray_temp = false;        // the temperature field is Gray-coded
  bool fan_swing_last = false;   // fan and swing in the byte before the sum, whose top bit never changes
  int heat_temp_shift = 0;       // heat sends the temperature field this much higher (a field per mode)
  bool nibble_sum = false;       // the last byte's low nibble is the sum of the nibbles before it
  std::vector<std::string> modes{"cool", "auto", "dry", "fan", "heat"};
  std::vector<std::string> fans{"low", "auto", "mid", "high"};

  static int IndexOf(const std::vector<std::string>& list, const std::string& v) {
    for (std::size_t i = 0; i < list.size(); ++i)
      if (list[i] == v) return static_cast<int>(i);
    return 0;
  }

  std::vector<int> Bytes(const Label& label) const {
    const auto get = [&](const std::string& f, const std::string& d) {
      const auto it = label.find(f);
      return it == label.end() ? d : it->second;
    };
    const int power = get("power", "on") == "on" ? 1 : 0;
    const std::string mode = get("mode", "cool");
    int fan = IndexOf(fans, get("fan", "low"));
    int temp = std::stoi(get("temp", "16"));
    if (dry_fixes_fan && mode == "dry") fan = IndexOf(fans, "auto");
    if (auto_fixes_temp && mode == "auto") temp = 25;
    int temp_value = temp - 16 + temp_offset + (mode == "heat" ? heat_temp_shift : 0);
    if (gray_temp) temp_value ^= temp_value >> 1;
    const int swing = get("swing", "off") == "on" ? 1 : 0;
    std::vector<int> bytes = {
        0xC3, power | IndexOf(modes, mode) << 1 | fan << 4, temp_value, swing | 0x40, 0x5A, 0};
    if (fan_swing_last)
      bytes = {0x23, 0xCB, power << 5 | IndexOf(modes, mode), temp_value, fan << 3 | swing << 6, 0};
    int sum = 0;
    for (int i = 0; i < 5; ++i) sum += bytes[static_cast<std::size_t>(i)];
    bytes[5] = checksum ? sum & 0xFF : 0x11;
    if (nibble_sum) {
      int nibbles = 0;
      for (int i = 0; i < 5; ++i)
        nibbles += (bytes[static_cast<std::size_t>(i)] >> 4) + (bytes[static_cast<std::size_t>(i)] & 15);
      bytes[5] = 0x50 | (nibbles & 15);
    }
    return bytes;
  }

  ir::TSSByteArray Bits(const Label& label) const {
    ir::TSSByteArray bits;
    for (int byte : Bytes(label))
      for (int i = 0; i < 8; ++i) bits.push_back(static_cast<std::uint8_t>((byte >> (lsb ? i : 7 - i)) & 1));
    return bits;
  }

  static ir::TIRGsPara Timing() {
    ir::TIRGsPara p;
    p.LogicCount = 2;
    p.SplitCount = 2;
    p.Logic[0] = {560, -560, ir::kUnusedDuration, ir::kUnusedDuration};
    p.Logic[1] = {560, -1690, ir::kUnusedDuration, ir::kUnusedDuration};
    p.Split[0] = {9000, -4500};
    p.Split[1] = {560, -20000};
    return p;
  }

  LearnInput Press(const Label& label, const std::string& source) const {
    LearnInput in;
    in.source = source;
    for (const auto& [f, v] : label) in.label.push_back({f, v});
    in.capture.Durations =
        testing::SynthesiseBits(Timing(), ir::ParseProtocol("<0>[48]<1>").Elements, Bits(label));
    in.capture.Carrier = 38000;
    return in;
  }
};

Label Running(const std::string& mode, const std::string& fan, int temp, const std::string& swing = "off") {
  return {{"power", "on"}, {"mode", mode}, {"fan", fan}, {"temp", std::to_string(temp)}, {"swing", swing}};
}

// What a user presses first: cool and low through every temperature, each
// other mode, fan and swing value once, and off.
std::vector<Label> FirstPresses(const ModelRemote& remote) {
  std::vector<Label> presses;
  for (int t = 16; t <= 30; ++t) presses.push_back(Running("cool", "low", t));
  for (std::size_t m = 1; m < remote.modes.size(); ++m)
    presses.push_back(Running(remote.modes[m], "low", 24));
  for (std::size_t f = 1; f < remote.fans.size(); ++f) presses.push_back(Running("cool", remote.fans[f], 24));
  presses.push_back(Running("cool", "low", 24, "on"));
  presses.push_back({{"power", "off"}});
  return presses;
}

RemoteLearner LearnerOf(const ModelRemote& remote, const std::vector<Label>& presses) {
  RemoteLearner learner;
  for (std::size_t i = 0; i < presses.size(); ++i)
    learner.Add(remote.Press(presses[i], "press " + std::to_string(i)));
  return learner;
}

Label LabelOf(const capture::CaptureLabel& label) {
  Label out;
  for (const capture::LabelEntry& e : label) out[e.function] = e.value;
  return out;
}

int StateIndex(const store::TdiskKey& key, const std::string& name) {
  for (std::size_t s = 0; s < key.StateCount; ++s)
    if (key.StateNames[s].str() == name) return static_cast<int>(s);
  return -1;
}

// Every running state of the model sent by the learned record; the labels whose code differs.
std::vector<std::string> WrongCodes(const ModelRemote& remote, const LearnResult& result,
                                    const std::vector<std::string>& modes,
                                    const std::vector<std::string>& fans) {
  const store::TdiskAir& r = result.record.record;
  base::Bytes image;
  if (firmware::BuildTableImage(r, result.record.bit_lines, false, {}, image) != 0) return {"no image"};
  std::vector<std::string> wrong;
  const ir::TStrProt_Listbase elements = ir::ParseProtocol(result.format).Elements;
  // Swing is sent as the presses showed it: both ways when learned, else as it rests.
  const std::vector<std::string> swings = StateIndex(r.Keys[4], "on") >= 0
                                              ? std::vector<std::string>{"off", "on"}
                                              : std::vector<std::string>{"off"};
  for (const std::string& mode : modes)
    for (const std::string& fan : fans)
      for (int t = 16; t <= 30; ++t)
        for (const std::string& swing : swings) {
          const Label label = Running(mode, fan, t, swing);
          firmware::StateBlock block{};
          block[0] = StateIndex(r.Keys[0], "on");
          block[1] = StateIndex(r.Keys[1], std::to_string(t));
          block[2] = StateIndex(r.Keys[2], mode);
          block[3] = StateIndex(r.Keys[3], fan);
          block[4] = std::max(StateIndex(r.Keys[4], swing), 0);
          block[6] = 1;
          firmware::TACRusher rusher;
          rusher.Load(r.LsbFirst != 0, image, block);
          ir::TIRIntegerArr micros;
          const std::string name = mode + "/" + fan + "/" + std::to_string(t) + "/" + swing;
          if (!rusher.Run(micros)) {
            wrong.push_back(name + " (not sent)");
            continue;
          }
          ir::TSSByteArray bytes;
          ir::BitsToBytes(elements, remote.Bits(label), r.LsbFirst != 0, bytes);
          base::Bytes frame = rusher.FrameBytes();
          frame.resize(bytes.size());
          if (base::Bytes(bytes.begin(), bytes.end()) != frame) wrong.push_back(name);
        }
  return wrong;
}

std::vector<Label> PlanLabels(const LearnResult& result) {
  std::vector<Label> labels;
  for (const PlannedPress& p : result.plan) labels.push_back(LabelOf(p.label));
  return labels;
}

struct RemoteCase {
  const char* name;
  ModelRemote remote;
  std::vector<Label> expected_plan;  // after the first presses
};

// The first presses leave open, for each other mode, whether it lets the
// temperature and the fan change; once those presses are made the record
// sends every state of the remote bit-exact.
TEST(RemoteLearner, RecoversRemotesAndPlansWhatIsOpen) {
  ModelRemote plain;
  ModelRemote msb_offset;
  msb_offset.lsb = false;
  msb_offset.temp_offset = 3;
  ModelRemote fan_swing_last;
  fan_swing_last.fan_swing_last = true;
  ModelRemote forced;
  forced.dry_fixes_fan = true;
  forced.auto_fixes_temp = true;
  const std::vector<Label> mode_checks = {Running("auto", "low", 16),  Running("dry", "low", 16),
                                          Running("fan", "low", 16),   Running("heat", "low", 16),
                                          Running("auto", "auto", 16), Running("dry", "auto", 16),
                                          Running("fan", "auto", 16),  Running("heat", "auto", 16)};
  const std::vector<RemoteCase> cases = {
      {"plain", plain, mode_checks},
      {"msb with offset", msb_offset, mode_checks},
      {"dry fixes the fan, auto the temperature", forced, mode_checks},
      // The sum's zone is found ending at bit 38 (bit 39 is always 0): the chip
      // takes it only when it ends on a nibble boundary.
      {"fields next to the sum", fan_swing_last, mode_checks},
  };
  for (const RemoteCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Label> presses = FirstPresses(c.remote);
    LearnResult first = LearnerOf(c.remote, presses).Learn();
    ASSERT_TRUE(first.made) << first.error;
    EXPECT_TRUE(first.AllReproduced());
    EXPECT_EQ(first.checksum_items, 1);
    EXPECT_EQ(first.record.record.LsbFirst, c.remote.lsb ? 1 : 0);
    EXPECT_EQ(PlanLabels(first), c.expected_plan);
    for (const Label& l : PlanLabels(first)) presses.push_back(l);
    LearnResult second = LearnerOf(c.remote, presses).Learn();
    ASSERT_TRUE(second.made);
    EXPECT_TRUE(second.AllReproduced());
    EXPECT_TRUE(second.plan.empty());
    EXPECT_EQ(WrongCodes(c.remote, second, c.remote.modes, c.remote.fans), std::vector<std::string>{});
  }
}

struct OpenCase {
  const char* name;
  ModelRemote remote;
  std::vector<Label> presses;
  std::vector<Label> expected_plan;
  std::vector<std::string> modes;  // the states the presses show, checked once the plan is pressed
  std::vector<std::string> fans;
};

std::vector<Label> CoolThrough(const std::vector<int>& temps) {
  std::vector<Label> presses;
  for (int t : temps) presses.push_back(Running("cool", "low", t));
  return presses;
}

// Bits that two functions explain alike and temperatures that lie on no line
// are asked for exactly; pressing what the plan asks leaves nothing open.
TEST(RemoteLearner, PlanAsksForWhatThePressesLeaveOpen) {
  ModelRemote plain;
  ModelRemote gray;
  gray.gray_temp = true;
  std::vector<Label> ambiguous = CoolThrough({16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30});
  ambiguous.push_back(Running("dry", "auto", 16));
  ambiguous.push_back({{"power", "off"}});
  std::vector<Label> even = CoolThrough({16, 18, 20, 22, 24, 26, 28, 30});
  even.push_back(Running("heat", "low", 24));
  even.push_back({{"power", "off"}});
  const std::vector<OpenCase> cases = {
      {"dry pressed only with another fan",
       plain,
       ambiguous,
       {Running("cool", "auto", 16), Running("dry", "low", 30), Running("dry", "low", 16)},
       {"cool", "dry"},
       {"low", "auto"}},
      {"gray-coded temperature",
       gray,
       even,
       {Running("cool", "low", 17), Running("cool", "low", 19), Running("cool", "low", 21),
        Running("cool", "low", 23), Running("cool", "low", 25), Running("cool", "low", 27),
        Running("cool", "low", 29), Running("heat", "low", 16)},
       {"cool", "heat"},
       {"low"}},
  };
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<Label> presses = c.presses;
    for (Label& l : presses) l.erase("swing");
    LearnResult first = LearnerOf(c.remote, presses).Learn();
    ASSERT_TRUE(first.made) << first.error;
    EXPECT_TRUE(first.AllReproduced());
    std::vector<Label> expected = c.expected_plan;
    for (Label& l : expected) l.erase("swing");
    EXPECT_EQ(PlanLabels(first), expected);
    for (const Label& l : PlanLabels(first)) presses.push_back(l);
    LearnResult second = LearnerOf(c.remote, presses).Learn();
    ASSERT_TRUE(second.made);
    EXPECT_TRUE(second.AllReproduced());
    EXPECT_TRUE(second.plan.empty());
    for (const LearnedFunction& f : second.functions)
      for (const LearnedState& s : f.states)
        EXPECT_NE(s.certainty, Certainty::kUnset) << f.name << " " << s.name;
  }
}

// Interpolated temperatures are marked so, and the unpressed ones of a linear
// field come out exact: also when the pressed degrees never moved the field's
// lowest bit (even values only), which then looked constant.
TEST(RemoteLearner, InterpolatesLinearTemperatures) {
  const struct {
    const char* name;
    int offset;
    bool lsb;
    std::vector<int> pressed;
  } cases[] = {
      {"odd and even values", 5, true, {16, 20, 23, 30}},
      {"even values only", 0, true, {16, 20, 24, 30}},
      {"even values only, msb first", 2, false, {16, 18, 22, 30}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ModelRemote remote;
    remote.temp_offset = c.offset;
    remote.lsb = c.lsb;
    std::vector<Label> presses = CoolThrough(c.pressed);
    presses.push_back(Running("cool", "mid", 16));
    presses.push_back({{"power", "off"}});
    LearnResult result = LearnerOf(remote, presses).Learn();
    ASSERT_TRUE(result.made);
    const auto temp = std::find_if(result.functions.begin(), result.functions.end(),
                                   [](const LearnedFunction& f) { return f.name == "temp"; });
    ASSERT_NE(temp, result.functions.end());
    ASSERT_EQ(temp->states.size(), 15u);
    for (const LearnedState& s : temp->states) {
      const bool pressed =
          std::find(c.pressed.begin(), c.pressed.end(), std::stoi(s.name)) != c.pressed.end();
      EXPECT_EQ(s.certainty, pressed ? Certainty::kSeen : Certainty::kInterpolated) << s.name;
    }
    EXPECT_EQ(WrongCodes(remote, result, {"cool"}, {"low", "mid"}), std::vector<std::string>{});
  }
}

// Presses that cannot be used are listed with the reason, not used.
TEST(RemoteLearner, ListsPressesItCannotUse) {
  ModelRemote remote;
  RemoteLearner learner = LearnerOf(remote, CoolThrough({16, 17, 18}));
  LearnInput unlabelled = remote.Press(Running("cool", "low", 19), "unlabelled");
  unlabelled.label.clear();
  learner.Add(unlabelled);
  LearnInput other = remote.Press(Running("cool", "low", 20), "other");
  other.capture.Durations.resize(other.capture.Durations.size() - 2 * 16);  // 32 bits: another structure
  learner.Add(other);
  LearnInput noise;
  noise.source = "noise";
  noise.label = {{"mode", "cool"}};
  noise.capture.Durations = {5000, -5000};
  learner.Add(noise);
  const LearnResult result = learner.Learn();
  ASSERT_TRUE(result.made);
  std::map<std::string, std::string> reasons;
  for (const UnusedPress& u : result.unused) reasons[u.source] = u.reason.substr(0, u.reason.find(':'));
  EXPECT_EQ(reasons, (std::map<std::string, std::string>{
                         {"noise", "does not decode"},
                         {"other", "another structure"},
                         {"unlabelled", "no label (used only to find the checksum)"}}));
  EXPECT_EQ(result.checked.size(), 3u);

  EXPECT_FALSE(RemoteLearner().Learn().made);
}

// A file that names the power only for "off" (as collections of climate codes
// do): the other presses are presses of a running unit.
TEST(RemoteLearner, PressesWithoutPowerAreRunning) {
  ModelRemote remote;
  std::vector<Label> presses = FirstPresses(remote);
  for (Label& l : presses)
    if (l.size() > 1) l.erase("power");
  const LearnResult result = LearnerOf(remote, presses).Learn();
  ASSERT_TRUE(result.made);
  EXPECT_TRUE(result.AllReproduced());
  const auto power = std::find_if(result.functions.begin(), result.functions.end(),
                                  [](const LearnedFunction& f) { return f.name == "power"; });
  ASSERT_NE(power, result.functions.end());
  ASSERT_EQ(power->states.size(), 2u);
  EXPECT_EQ(power->states[1].name, "on");
  ASSERT_EQ(power->columns.size(), 1u);
  EXPECT_EQ(power->columns[0].bit, 8);
}

TEST(LearnSession, ReadsTypedLabels) {
  struct Case {
    const char* text;
    std::optional<capture::CaptureLabel> label;
  };
  const std::vector<Case> cases = {
      {"mode=cool temp=24", capture::CaptureLabel{{"mode", "cool"}, {"temp", "24"}}},
      {"  mode=cool\tfan=low  ", capture::CaptureLabel{{"mode", "cool"}, {"fan", "low"}}},
      {"mode=cool mode=dry", capture::CaptureLabel{{"mode", "dry"}}},
      {"", capture::CaptureLabel{}},
      {"mode", std::nullopt},
      {"=cool", std::nullopt},
      {"mode=", std::nullopt},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_EQ(ParseLabelText(c.text, error), c.label) << c.text;
    EXPECT_EQ(error.empty(), c.label.has_value()) << c.text;
  }
}

// The session walks the temperatures while nothing is planned, then asks for
// the plan's first press.
TEST(LearnSession, AsksForTheNextPress) {
  ModelRemote remote;
  LearnSession session;
  const LearnInput first = remote.Press(Running("cool", "low", 16), "typed");
  session.Add(first.capture, first.label, "typed");
  EXPECT_EQ(LabelOf(session.SuggestedLabel()), Running("cool", "low", 17));
  std::vector<LearnInput> presses;
  for (const Label& l : FirstPresses(remote)) presses.push_back(remote.Press(l, "file"));
  const LearnResult& result = session.AddAll(presses);
  ASSERT_TRUE(result.made);
  ASSERT_FALSE(result.plan.empty());
  EXPECT_EQ(session.SuggestedLabel(), result.plan.front().label);
  EXPECT_EQ(session.Presses(), 1 + static_cast<int>(presses.size()));
}

}  // namespace
}  // namespace klimavo::analysis
