#include "analysis/remote_learner.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

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
  bool dry_fixes_fan = false;   // dry sends fan "auto" whatever the fan is
  bool auto_fixes_temp = false; // auto sends 25 degrees whatever the temperature is
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
    std::vector<int> bytes = {0xC3, power | IndexOf(modes, mode) << 1 | fan << 4, temp - 16 + temp_offset,
                              (get("swing", "off") == "on" ? 1 : 0) | 0x40, 0x5A, 0};
    int sum = 0;
    for (int i = 0; i < 5; ++i) sum += bytes[static_cast<std::size_t>(i)];
    bytes[5] = checksum ? sum & 0xFF : 0x11;
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
  for (std::size_t m = 1; m < remote.modes.size(); ++m) presses.push_back(Running(remote.modes[m], "low", 24));
  for (std::size_t f = 1; f < remote.fans.size(); ++f) presses.push_back(Running("cool", remote.fans[f], 24));
  presses.push_back(Running("cool", "low", 24, "on"));
  presses.push_back({{"power", "off"}});
  return presses;
}

RemoteLearner LearnerOf(const ModelRemote& remote, const std::vector<Label>& presses) {
  RemoteLearner learner;
  for (std::size_t i = 0; i < presses.size(); ++i) learner.Add(remote.Press(presses[i], "press " + std::to_string(i)));
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
std::vector<std::string> WrongCodes(const ModelRemote& remote, const LearnResult& result) {
  const store::TdiskAir& r = result.record.record;
  base::Bytes image;
  if (firmware::BuildTableImage(r, result.record.bit_lines, false, {}, image) != 0) return {"no image"};
  std::vector<std::string> wrong;
  const ir::TStrProt_Listbase elements = ir::ParseProtocol(result.format).Elements;
  for (const std::string& mode : remote.modes)
    for (const std::string& fan : remote.fans)
      for (int t = 16; t <= 30; ++t)
        for (const std::string& swing : {"off", "on"}) {
          const Label label = Running(mode, fan, t, swing);
          firmware::StateBlock block{};
          block[0] = StateIndex(r.Keys[0], "on");
          block[1] = StateIndex(r.Keys[1], std::to_string(t));
          block[2] = StateIndex(r.Keys[2], mode);
          block[3] = StateIndex(r.Keys[3], fan);
          block[4] = StateIndex(r.Keys[4], swing);
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
  ModelRemote forced;
  forced.dry_fixes_fan = true;
  forced.auto_fixes_temp = true;
  const std::vector<Label> mode_checks = {
      Running("auto", "low", 16), Running("dry", "low", 16), Running("fan", "low", 16), Running("heat", "low", 16),
      Running("auto", "auto", 16), Running("dry", "auto", 16), Running("fan", "auto", 16), Running("heat", "auto", 16)};
  const std::vector<RemoteCase> cases = {
      {"plain", plain, mode_checks},
      {"msb with offset", msb_offset, mode_checks},
      {"dry fixes the fan, auto the temperature", forced, mode_checks},
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
    EXPECT_EQ(WrongCodes(c.remote, second), std::vector<std::string>{});
  }
}

}  // namespace
}  // namespace klimavo::analysis
