#include "wave/tree_synthesis.h"

#include <gtest/gtest.h>

#include "ir/protocol.h"
#include "wave/pulse_distance_timing.h"

namespace klimavo::wave {
namespace {

using testing::PulseDistanceTiming;

ir::FormatTreeControl Control(std::string_view text, bool lsb_first) {
  ir::FormatTreeControl control;
  ir::ShowFormatTree(ir::BuildFormatTreeFromText(PulseDistanceTiming(), text, lsb_first), control);
  return control;
}

std::vector<std::string> BitNames(const WaveState& state) {
  std::vector<std::string> names;
  for (const auto& s : state.Segments)
    if (s.Kind == WaveSegment::kBitNumber) names.push_back(s.Name);
  return names;
}

TEST(TreeSynthesis, BuildsLevelsAndFieldsOfTheStandardForm) {
  ir::FormatTreeControl control = Control("<0>[8]<1>", false);
  SetNodeValues(control, {0xA5}, false);
  WaveState state;
  state.TreeMode = true;
  SynthesiseFromTree(control, state);
  ASSERT_EQ(state.Durations.size(), std::size_t{2 + 16 + 2});
  EXPECT_EQ(state.Durations[0], 90000);
  EXPECT_EQ(state.Durations[3], -16900);  // A5 MSB first: 1,0,1,0,...
  EXPECT_EQ(state.SymbolRadix, 2);
  EXPECT_EQ(state.Carrier, 38000);
  EXPECT_EQ(BitNames(state), (std::vector<std::string>{"D7", "D6", "D5", "D4", "D3", "D2", "D1", "D0"}));
}

TEST(TreeSynthesis, LeastSignificantSymbolFirstNumbersUpwards) {
  ir::FormatTreeControl control = Control("<0>[8]<1>", true);
  SetNodeValues(control, {0xA5}, false);
  WaveState state;
  SynthesiseFromTree(control, state);
  ASSERT_FALSE(BitNames(state).empty());
  EXPECT_EQ(BitNames(state).front(), std::string("D0"));
  ASSERT_GT(state.Durations.size(), 5u);
  EXPECT_EQ(state.Durations[3], -16900);  // A5 LSB first: 1,0,1,0,0,1,0,1
  EXPECT_EQ(state.Durations[5], -5600);
}

TEST(TreeSynthesis, RepeatedFramesAreDrawnRepeatCountTimes) {
  ir::FormatTreeControl control = Control("(<0>[8]<1>)*2", false);
  SetNodeValues(control, {0x3C}, false);
  WaveState state;
  state.RepeatCount = 2;
  SynthesiseFromTree(control, state);
  EXPECT_EQ(state.Durations.size(), std::size_t{2 * 20});
}

TEST(TreeSynthesis, FieldValuesRoundTripAndFewerBytesKeepTheRest) {
  ir::FormatTreeControl control = Control("<0>[32]<1>", false);
  SetNodeValues(control, {1, 2, 3, 4}, false);
  SetNodeValues(control, {9}, false);
  EXPECT_EQ(GetNodeValues(control, false), (std::vector<std::uint8_t>{9, 2, 3, 4}));
}

TEST(TreeSynthesis, ATreeOfTwoNodesLeavesTheViewEmpty) {
  ir::FormatTreeControl control = Control("<0>[8]<1>", false);
  control.Items.resize(2);
  WaveState state;
  state.Durations = {5, -5};
  SynthesiseFromTree(control, state);
  EXPECT_TRUE(state.Durations.empty());
}

}  // namespace
}  // namespace klimavo::wave
