#include "firmware/parts_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace klimavo::firmware {
namespace {

using Bytes = ir::TSSByteArray;

store::TGrdDataLine Line(const std::vector<int>& data_elements, const std::string& bits, int repeat = 1) {
  store::TGrdDataLine l;
  for (int n : data_elements) {
    l.Elements.push_back(ir::TStrProtItem::Split(0));
    l.Elements.push_back(ir::TStrProtItem::Data(static_cast<std::uint16_t>(n)));
  }
  for (char c : bits) l.Data.push_back(c == '1' ? 1 : 0);
  l.Repeat = static_cast<std::uint16_t>(repeat);
  return l;
}

// A six-key record of one format "<0>[32]<1>"; keys get columns in the tests.
struct Fixture {
  store::TdiskAir rec;
  store::Tex_gssList formats;
  store::TBtnLines lines = store::TBtnLines(6);

  Fixture() {
    rec.KeyCount = 6;
    const char* names[] = {"Power", "Temp", "Mode", "Fan", "Swing", "Vane"};
    for (int k = 0; k < 6; ++k) {
      rec.Keys[k].Name.assign(names[k]);
      rec.Keys[k].StateCount = 2;
      rec.Keys[k].Slot = 0;
    }
    rec.Slots[0].Text.assign("<0>[32]<1>");
    store::Tex_gsstrut f;
    f.Text = "<0>[32]<1>";
    f.KeyIndexes = {0, 1, 2, 3, 4, 5, store::kPowerSecondFrameMarker};
    f.CodeData.assign(64, 0);
    formats.push_back(f);
  }
  store::TdiskBitColumn& Column(int key, int bit, int width, std::vector<int> values, int kind = 0) {
    for (auto& c : rec.Keys[key].Columns) {
      if (c.InUse()) continue;
      c.Frame = 0;
      c.BitPos = static_cast<std::uint16_t>(bit);
      c.Width = static_cast<std::uint8_t>(width);
      c.Kind = static_cast<std::uint8_t>(kind);
      c.Values.fill(255);
      for (std::size_t i = 0; i < values.size(); ++i) c.Values[i] = static_cast<std::uint8_t>(values[i]);
      return c;
    }
    throw std::runtime_error("no free column");
  }
  PartsModel Build(bool b = false) { return BuildPartsTables({rec, formats, lines, false, b}); }
};

TEST(PartsModel, ClampKeySkipsKeyCodeTwo) {
  const int expected[] = {0, 1, 3, 4, 5, 6, 7, 8};
  for (int k = 0; k < 8; ++k) EXPECT_EQ(ClampKey(k), expected[k]) << k;
}

TEST(PartsModel, GroupOfFindsOrAppends) {
  TPartsTable t;
  EXPECT_EQ(GroupOf(t, {1, 2}), 0);
  EXPECT_EQ(GroupOf(t, {2, 1}), 1);
  EXPECT_EQ(GroupOf(t, {1, 2}), 0);
  EXPECT_EQ(GroupOf(t, {1}), 2);
  EXPECT_EQ(t.Groups.size(), 3u);
}

TEST(PartsModel, ReadLineField) {
  // One 12-bit element: units of 8 and 4 bits.
  const std::string bits =
      "10110000"
      "1101";
  struct Case {
    const char* name;
    int unit, bit, width;
    bool lsb, seven;
    int repeat;
    std::int64_t expected;
  } cases[] = {
      {"lsb first: first bit is the lowest", 0, 0, 4, true, false, 1, 0b1101},
      {"msb first: first bit is the highest", 0, 0, 4, false, false, 1, 0b1011},
      {"short last unit", 1, 0, 4, true, false, 1, 0b1011},
      {"start bit inside the unit", 0, 2, 2, false, false, 1, 0b11},
      {"no such unit", 2, 0, 4, true, false, 1, 0},
      {"second repetition restarts the bits", 2, 0, 4, true, false, 2, 0b1101},
      {"beyond the repetitions", 4, 0, 4, true, false, 2, 0},
      {"seven-bit-first puts a 0 bit in front", 0, 0, 4, true, true, 1, 0b1010},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReadLineField(Line({12}, bits, c.repeat), c.unit, c.bit, c.width, c.lsb, c.seven), c.expected)
        << c.name;
}

TEST(PartsModel, ColumnsBecomePartsByKind) {
  struct Case {
    const char* name;
    int key, states, kind;
    std::vector<int> values;
    bool generator_b;
    int type;
    Bytes part_values;
    int ref_key;
  } cases[] = {
      {"temperature relative column is a step part", 1, 15, 241, {20, 21}, false, kPartStep, {21, 20}, 1},
      {"off state 241 is the power special part", 0, 2, 0, {241, 1}, false, kPartPowerSpecial, {241, 1}, -1},
      {"on state 241 is a reference part", 4, 2, 0, {3, 241}, false, kPartReference, {3}, -1},
      {"plain column", 3, 4, 0, {1, 2, 3, 4}, false, kPartNormal, {1, 2, 3, 4}, -1},
      {"mode values stop at 255 and pad",
       2,
       5,
       0,
       {1, 2, 255, 4, 5},
       false,
       kPartNormal,
       {1, 2, 1, 1, 1},
       -1},
      {"vane of equal values keeps one", 5, 3, 0, {4, 4, 4}, false, kPartNormal, {4}, -1},
      {"vane pads to the state count", 5, 5, 0, {1, 2, 255}, false, kPartNormal, {1, 2, 1, 1, 1}, -1},
      {"vane of six values stays", 5, 7, 0, {1, 2, 3, 4, 5, 6}, false, kPartNormal, {1, 2, 3, 4, 5, 6}, -1},
      {"B: kind 208 + r is a moving area", 4, 2, 210, {1, 0}, true, kPartMoving, {1}, 2},
      {"A: kind 208 + r is a plain column", 4, 2, 210, {1, 0}, false, kPartNormal, {1, 0}, -1},
  };
  for (const Case& c : cases) {
    Fixture fx;
    fx.rec.Keys[c.key].StateCount = static_cast<std::uint8_t>(c.states);
    fx.Column(c.key, 13, 3, c.values, c.kind);
    const PartsModel m = fx.Build(c.generator_b);
    ASSERT_FALSE(m.tables[c.key].Parts.empty()) << c.name;
    const TPartsInfo& p = m.tables[c.key].Parts[0];
    EXPECT_EQ(p.Type, c.type) << c.name;
    EXPECT_EQ(p.Values, c.part_values) << c.name;
    EXPECT_EQ(p.RefKey, c.ref_key) << c.name;
    EXPECT_EQ(p.ByteIndex, 1) << c.name;
    EXPECT_EQ(p.StartBit, 5) << c.name;
    EXPECT_EQ(p.Width, 3) << c.name;
  }
}

TEST(PartsModel, ByteIndexFollowsTheFrameOfTheColumn) {
  Fixture fx;
  fx.rec.Slots[0].Text.assign("<0>[12]<1>[16]<2>");
  auto& c = fx.Column(3, 9, 2, {1, 2});
  c.Frame = 1;
  const PartsModel m = fx.Build();
  EXPECT_EQ(m.tables[3].Parts[0].ByteIndex, 3);  // 2 bytes of frame 0, then byte 1 of frame 1
  EXPECT_EQ(m.tables[3].Parts[0].StartBit, 1);
}

TEST(PartsModel, FixedValuesAreReadFromTheFirstCodeLine) {
  Fixture fx;
  fx.Column(0, 0, 1, {0, 1});         // power
  fx.Column(2, 4, 3, {1, 2});         // mode
  fx.rec.Keys[3].FixedFlags = 0b101;  // the fan code fixes power and mode
  fx.lines[3].push_back(Line({32},
                             "10001100"
                             "00000000"
                             "00000000"
                             "00000000"));
  const PartsModel m = fx.Build();
  // The power field reads 1, its on value: no fixed part. The mode field reads 0b011 (LSB first).
  ASSERT_EQ(m.tables[3].Parts.size(), 1u);
  const TPartsInfo& f = m.tables[3].Parts[0];
  EXPECT_EQ(f.Type, kPartFixed);
  EXPECT_EQ(f.RefKey, 2);
  EXPECT_EQ(f.Values, Bytes{0b011});
  EXPECT_TRUE(f.Included);

  fx.lines[3][0].Data[0] = 0;  // now the power field reads 0: fixed
  const PartsModel m2 = fx.Build();
  ASSERT_EQ(m2.tables[3].Parts.size(), 2u);
  EXPECT_EQ(m2.tables[3].Parts[0].RefKey, 0);
  EXPECT_EQ(m2.tables[3].Parts[0].Values, Bytes{0});
}

TEST(PartsModel, ModeStatesThatFixTheTemperatureGiveAModeMap) {
  Fixture fx;
  fx.rec.Keys[2].StateCount = 3;
  fx.Column(1, 8, 4, {5, 6});
  fx.Column(2, 0, 2, {0, 1, 2});
  fx.rec.Keys[2].Extra[0] = 0b010;  // mode state 1 fixes the temperature
  fx.lines[0].push_back(Line({32}, std::string(32, '0')));
  fx.lines[1].push_back(Line({32}, std::string(32, '0')));
  for (int s = 0; s < 3; ++s)
    fx.lines[2].push_back(Line({32},
                               "00000000"
                               "1001" +
                                   std::string(20, '0')));
  const PartsModel m = fx.Build();
  EXPECT_EQ(m.tables[1].Parts[0].ModeDependent, 1);
  const TPartsInfo& map = m.tables[2].Parts.back();
  EXPECT_EQ(map.Type, kPartModeMap);
  EXPECT_EQ(map.RefKey, 1);
  EXPECT_EQ(map.RefPart, 0);
  EXPECT_EQ(map.Values, (Bytes{241, 9, 241}));
}

TEST(PartsModel, TemperatureGroupsOfAFullStepRangeKeepTheirEnds) {
  Fixture fx;
  fx.rec.Keys[1].StateCount = 15;
  std::vector<int> up, down;
  for (int i = 0; i < 15; ++i) {
    up.push_back(16 + i);
    down.push_back(30 - i);
  }
  fx.Column(1, 0, 5, up);
  fx.Column(1, 8, 5, down);
  PartsModel m = fx.Build();
  EXPECT_EQ(m.tables[1].Groups, (std::vector<Bytes>{{16, 30}, {30, 16}}));
  EXPECT_EQ(m.tables[1].FirstGroupLength, 2);

  up[7] = 40;  // no longer a run by steps of one: the groups stay whole
  Fixture fx2;
  fx2.rec.Keys[1].StateCount = 15;
  fx2.Column(1, 0, 5, up);
  EXPECT_EQ(fx2.Build().tables[1].Groups[0].size(), 15u);
}

TEST(PartsModel, VaneGroupsArePaddedAndSixValueGroupsRotated) {
  Fixture fx;
  fx.rec.Keys[5].StateCount = 7;
  fx.Column(5, 0, 3, {1, 2, 3, 4, 5, 6});
  fx.Column(5, 8, 3, {7, 7, 7});
  const PartsModel m = fx.Build();
  EXPECT_EQ(m.tables[5].Groups, (std::vector<Bytes>{{6, 1, 2, 3, 4, 5}, {7, 7, 7, 7, 7, 7}}));
  EXPECT_EQ(m.tables[5].GroupCount, 2);
}

TEST(PartsModel, ReferencePartTakesTheGroupOfAnotherKeysPart) {
  Fixture fx;
  fx.Column(4, 4, 2, {0, 241});  // swing: state 1 takes the fan's value
  fx.Column(3, 4, 2, {1, 2});
  const PartsModel m = fx.Build();
  const TPartsInfo& ref = m.tables[4].Parts[0];
  EXPECT_TRUE(ref.Resolved);
  EXPECT_EQ(ref.RefKey, 3);
  EXPECT_EQ(ref.Group, 0);
  EXPECT_TRUE(m.tables[3].Parts[0].Included);
  EXPECT_EQ(m.tables[3].Groups, (std::vector<Bytes>{{1, 2}}));
}

TEST(PartsModel, PowerSpecialPartTakesModeGroupsInBitOrder) {
  for (bool lsb : {true, false}) {
    Fixture fx;
    fx.rec.LsbFirst = lsb ? 1 : 0;
    fx.rec.Keys[2].StateCount = 3;
    fx.Column(0, 16, 1, {241, 0});
    fx.Column(2, 16, 1, {1, 4, 5});
    const PartsModel m = fx.Build();
    const TPartsInfo& p = m.tables[0].Parts[0];
    EXPECT_EQ(p.RefKey, 2);
    // Group 0 = the mode values, group 1 = their bit 2 (0, 1, 1).
    EXPECT_EQ(m.tables[2].Groups, (std::vector<Bytes>{{1, 4, 5}, {0, 1, 1}}));
    EXPECT_EQ(p.Group, lsb ? 0 : 1) << lsb;
    EXPECT_EQ(p.Position, lsb ? 1 : 0) << lsb;
  }
}

TEST(PartsModel, OverlappingPartsAreIncluded) {
  Fixture fx;
  fx.Column(3, 4, 2, {1, 2});
  fx.Column(4, 5, 2, {0, 3});  // overlaps the fan field in bit 5
  fx.Column(5, 8, 2, {1, 2});  // alone
  const PartsModel m = fx.Build();
  EXPECT_TRUE(m.tables[3].Parts[0].Included);
  EXPECT_TRUE(m.tables[4].Parts[0].Included);
  EXPECT_FALSE(m.tables[5].Parts[0].Included);
  // Included parts of keys other than 1 and 5 keep no group unless a reference needs one.
  EXPECT_TRUE(m.tables[3].Groups.empty());
  EXPECT_EQ(m.tables[5].Groups.size(), 1u);
}

}  // namespace
}  // namespace klimavo::firmware
