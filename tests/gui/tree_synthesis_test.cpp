#include "ui/waveview/tree_synthesis.h"

#include <QTest>

#include "ir/protocol.h"
#include "pulse_distance_timing.h"
#include "ui/waveview/wave_renderer.h"

namespace klimavo::ui {
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

}  // namespace

class TreeSynthesisTest : public QObject {
  Q_OBJECT

 private slots:
  void buildsLevelsAndFieldsOfTheStandardForm() {
    ir::FormatTreeControl control = Control("<0>[8]<1>", false);
    SetNodeValues(control, {0xA5}, false);
    WaveState state;
    state.TreeMode = true;
    SynthesiseFromTree(control, state);
    QCOMPARE(state.Durations.size(), std::size_t{2 + 16 + 2});
    QCOMPARE(state.Durations[0], 90000);
    QCOMPARE(state.Durations[3], -16900);  // A5 MSB first: 1,0,1,0,...
    QCOMPARE(state.SymbolRadix, 2);
    QCOMPARE(state.Carrier, 38000);
    QCOMPARE(BitNames(state), (std::vector<std::string>{"D7", "D6", "D5", "D4", "D3", "D2", "D1", "D0"}));
    QCOMPARE(WaveRenderer::CodeValueText(state), QString("A5 "));
  }
  void leastSignificantSymbolFirstNumbersUpwards() {
    ir::FormatTreeControl control = Control("<0>[8]<1>", true);
    SetNodeValues(control, {0xA5}, false);
    WaveState state;
    SynthesiseFromTree(control, state);
    QCOMPARE(BitNames(state).front(), std::string("D0"));
    QCOMPARE(state.Durations[3], -16900);  // A5 LSB first: 1,0,1,0,0,1,0,1
    QCOMPARE(state.Durations[5], -5600);
  }
  void repeatedFramesAreDrawnRepeatCountTimes() {
    ir::FormatTreeControl control = Control("(<0>[8]<1>)*2", false);
    SetNodeValues(control, {0x3C}, false);
    WaveState state;
    state.RepeatCount = 2;
    SynthesiseFromTree(control, state);
    QCOMPARE(state.Durations.size(), std::size_t{2 * 20});
    QCOMPARE(WaveRenderer::CodeValueText(state), QString("3C "));
  }
  void fieldValuesRoundTripAndFewerBytesKeepTheRest() {
    ir::FormatTreeControl control = Control("<0>[32]<1>", false);
    SetNodeValues(control, {1, 2, 3, 4}, false);
    SetNodeValues(control, {9}, false);
    QCOMPARE(GetNodeValues(control, false), (std::vector<std::uint8_t>{9, 2, 3, 4}));
  }
  void aTreeOfTwoNodesLeavesTheViewEmpty() {
    ir::FormatTreeControl control = Control("<0>[8]<1>", false);
    control.Items.resize(2);
    WaveState state;
    state.Durations = {5, -5};
    SynthesiseFromTree(control, state);
    QVERIFY(state.Durations.empty());
  }
};

}  // namespace klimavo::ui

QTEST_MAIN(klimavo::ui::TreeSynthesisTest)
#include "tree_synthesis_test.moc"
