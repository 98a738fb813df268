#include "capture/signal_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "store/record_json.h"

namespace klimavo::capture {
namespace {

// The Gree sample record: keys power (关/开), temperature 16℃..30℃, mode
// (自动 制冷 除湿 送风 制热), fan (自动 低速 中速 高速), swing (不摆 摆动), vane (6 states).
store::EditableRecord GreeRecord() {
  std::ifstream in(std::filesystem::path(KLIMAVO_SOURCE_DIR) / "data/library/01-gree.json");
  std::stringstream text;
  text << in.rdbuf();
  return store::RecordFromJsonText(text.str());
}

TEST(SignalExport, StateNamesBecomeLabelValues) {
  const struct {
    const char* function;
    const char* name;  // GBK
    const char* value;
  } cases[] = {
      {"temp", "16\xA1\xE6", "16"},  // 16℃
      {"temp", "24'", "24"},
      {"temp", "22.5C", "22.5"},
      {"temp", "Auto", "auto"},
      {"mode", "\xB3\xFD\xCA\xAA", "dry"},       // 除湿
      {"mode", "\xCB\xCD\xB7\xE7", "fan_only"},  // 送风
      {"mode", "COOL", "cool"},
      {"fan", "\xD6\xD0\xCB\xD9", "mid"},  // 中速
      {"fan", " High ", "high"},
      {"swing", "\xB2\xBB\xB0\xDA", "off"},  // 不摆
      {"swing", "\xB0\xDA\xB6\xAF", "on"},   // 摆动
      {"power", "\xBF\xAA", "on"},           // 开
      {"vane",
       "\xBD\xC7\xB6\xC8"
       "1",
       "angle1"},                            // 角度1
      {"vane", "\xC9\xCF", "\xE4\xB8\x8A"},  // 上, a name the tables do not know, as UTF-8
      {"mode", "", "state3"},
  };
  for (const auto& c : cases) EXPECT_EQ(StateLabelValue(c.function, c.name, 3), c.value) << c.name;
}

TEST(SignalExport, KeyNamesSayTheFunctionElseThePlaceDoes) {
  const struct {
    const char* name;  // GBK
    int index;
    const char* function;
  } cases[] = {
      {"\xB7\xE7\xC1\xBF", 2, "fan"},  // 风量 where the mode key would be
      {"Temp.", 1, "temp"},           {"MODE/FAN", 3, "mode"}, {"Key", 4, "swing"}, {"", 0, "power"},
  };
  for (const auto& c : cases) {
    store::TdiskKey key;
    key.Name.assign(c.name);
    EXPECT_EQ(KeyFunction(key, c.index), c.function) << c.name;
  }
}

TEST(SignalExport, EachKeyRunsThroughItsStatesFromThePowerOnState) {
  const store::EditableRecord gree = GreeRecord();
  const SignalExporter exporter(gree.record, gree.bit_lines, {});
  ASSERT_EQ(exporter.Keys().size(), 6u);
  EXPECT_EQ(exporter.PowerOnState(), (KeyStates{1, 0, 0, 0, 0, 0}));
  const SignalExport all = exporter.ExportKeys({});
  ASSERT_FALSE(all.error) << *all.error;
  ASSERT_EQ(all.captures.size(), 2u + 15 + 5 + 4 + 2 + 6);
  EXPECT_EQ(all.captures[0].name, "power/off");
  EXPECT_EQ(all.captures[0].label, (CaptureLabel{{"power", "off"},
                                                 {"mode", "auto"},
                                                 {"fan", "auto"},
                                                 {"temp", "16"},
                                                 {"swing", "off"},
                                                 {"vane", "auto"}}));
  EXPECT_EQ(all.captures[2 + 8].name, "temp/24");
  EXPECT_EQ(all.captures[2 + 8].label[3], (LabelEntry{"temp", "24"}));
  std::set<ir::TIRIntegerArr> temperatures;
  for (std::size_t i = 2; i < 17; ++i) temperatures.insert(all.captures[i].durations);
  EXPECT_EQ(temperatures.size(), 15u) << "every temperature sends its own code";

  // One state, two keys pressed in it.
  KeyExportRequest request;
  request.keys = std::vector<int>{2, 3};
  request.states = KeyStates{1, 8, 1, 2, 1, 0};
  const SignalExport two = exporter.ExportKeys(request);
  ASSERT_FALSE(two.error) << *two.error;
  ASSERT_EQ(two.captures.size(), 2u);
  EXPECT_EQ(two.captures[0].name, "mode/cool");
  EXPECT_EQ(two.captures[1].name, "fan/mid");
  EXPECT_EQ(two.captures[1].label, (CaptureLabel{{"power", "on"},
                                                 {"mode", "cool"},
                                                 {"fan", "mid"},
                                                 {"temp", "24"},
                                                 {"swing", "on"},
                                                 {"vane", "auto"}}));
}

TEST(SignalExport, AllStatesAreOffOnceThenEveryCombination) {
  const store::EditableRecord gree = GreeRecord();
  const SignalExport all = SignalExporter(gree.record, gree.bit_lines, {}).ExportAllStates();
  ASSERT_FALSE(all.error) << *all.error;
  ASSERT_EQ(all.captures.size(), 1u + 5 * 4 * 2 * 15);
  EXPECT_EQ(all.captures[0].name, "off");
  EXPECT_EQ(all.captures[0].label, (CaptureLabel{{"power", "off"}}));
  EXPECT_EQ(all.captures[1].name, "auto/auto/off/16");
  EXPECT_EQ(all.captures[16].name, "auto/auto/on/16");
  EXPECT_EQ(all.captures[600].name, "heat/high/on/30");
  EXPECT_EQ(all.captures[600].label,
            (CaptureLabel{{"mode", "heat"}, {"fan", "high"}, {"temp", "30"}, {"swing", "on"}}));
}

// A state that no value column sets (one the learner never saw) is left out.
TEST(SignalExport, UnsetStatesAreNotExported) {
  store::EditableRecord gree = GreeRecord();
  for (auto& column : gree.record.Keys[2].Columns)
    if (column.InUse()) column.Values[3] = store::kUnsetValue;  // mode "fan" (送风)
  const SignalExporter exporter(gree.record, gree.bit_lines, {});
  const SignalExport keys = exporter.ExportKeys({});
  ASSERT_FALSE(keys.error) << *keys.error;
  EXPECT_EQ(keys.captures.size(), 2u + 15 + 4 + 4 + 2 + 6);
  const SignalExport all = exporter.ExportAllStates();
  ASSERT_FALSE(all.error) << *all.error;
  EXPECT_EQ(all.captures.size(), 1u + 4 * 4 * 2 * 15);
  for (const CaptureRead& c : all.captures) EXPECT_EQ(c.name->find("fan_only"), std::string::npos) << *c.name;
}

TEST(SignalExport, RequestsOutsideTheRecordAreRefused) {
  const store::EditableRecord gree = GreeRecord();
  const SignalExporter exporter(gree.record, gree.bit_lines, {});
  KeyExportRequest beyond_keys;
  beyond_keys.keys = std::vector<int>{6};
  KeyExportRequest beyond_states;
  beyond_states.states = KeyStates{1, 15, 0, 0, 0, 0};
  const struct {
    const char* label;
    SignalExport result;
    const char* error;
  } cases[] = {
      {"key 6", exporter.ExportKeys(beyond_keys), "key 6 is not a function key"},
      {"temperature state 15", exporter.ExportKeys(beyond_states),
       "state 15 of key 1 is not in the record (15 states)"},
      {"press key 7", exporter.ExportAllStates(7), "key 7 is not a function key"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(c.result.error) << c.label;
    EXPECT_NE(c.result.error->find(c.error), std::string::npos) << *c.result.error;
    EXPECT_TRUE(c.result.captures.empty());
    EXPECT_TRUE(c.result.bad_request);
  }
  store::EditableRecord broken = gree;
  broken.record.Slots[0].Text.assign("");
  const SignalExport none = SignalExporter(broken.record, broken.bit_lines, {}).ExportKeys({});
  ASSERT_TRUE(none.error);
  EXPECT_NE(none.error->find("the table image cannot be built"), std::string::npos) << *none.error;
  EXPECT_FALSE(none.bad_request);
}

}  // namespace
}  // namespace klimavo::capture
