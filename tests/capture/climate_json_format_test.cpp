#include <gtest/gtest.h>

#include "capture/climate_json.h"
#include "capture/formats.h"
#include "reader_case.h"

namespace klimavo::capture {
namespace {

// Packets of one mark: "2600010014" = 20 units = 609 µs, 15 = 640, 16 = 670, 17 = 701, 18 = 731.
const std::string kFile = R"({
  "manufacturer": "Acme",
  "supportedModels": ["A-1"],
  "supportedController": "Broadlink",
  "commandsEncoding": "Base64",
  "minTemperature": 16.0,
  "maxTemperature": 17.0,
  "precision": 1.0,
  "operationModes": ["cool", "heat"],
  "fanModes": ["low", "auto"],
  "swingModes": ["off", "on"],
  "commands": {
    "off": "2600010014",
    "cool": {
      "low": {
        "16": "2600010015",
        "17.5": "JgABABYAAAAAAAAAAAAAAA=="
      }
    },
    "heat": {
      "auto": {
        "on": {"16": [9000, 4500, 560]},
        "off": {"16": "0000 006D 0001 0000 0015 0040"}
      }
    },
    "light": "2600010018"
  }
}
)";

struct Expected {
  const char* name;
  CaptureLabel label;
  ir::TIRIntegerArr durations;
  int line;
};

TEST(ClimateJsonFormat, CodesBecomeLabelledCaptures) {
  EXPECT_EQ(DetectCaptureFormat(kFile).id, "climate-json");
  const ReadResult r = ReadCaptureText(kFile, ReadOptions{"acme.json"});
  ASSERT_TRUE(r.ok()) << r.error->What();
  const Expected expected[] = {
      {"off", {{"power", "off"}}, {609}, 13},
      {"cool/low/16", {{"mode", "cool"}, {"fan", "low"}, {"temp", "16"}}, {640}, 16},
      {"cool/low/17.5", {{"mode", "cool"}, {"fan", "low"}, {"temp", "17.5"}}, {670}, 17},
      {"heat/auto/on/16",
       {{"mode", "heat"}, {"fan", "auto"}, {"temp", "16"}, {"swing", "on"}},
       {9000, -4500, 560},
       22},
      {"heat/auto/off/16",
       {{"mode", "heat"}, {"fan", "auto"}, {"temp", "16"}, {"swing", "off"}},
       {552, -1683},
       23},
      {"light", {}, {731}, 26},
  };
  ASSERT_EQ(r.captures.size(), std::size(expected));
  for (std::size_t i = 0; i < r.captures.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(r.captures[i].name, expected[i].name);
    EXPECT_EQ(r.captures[i].label, expected[i].label);
    EXPECT_EQ(r.captures[i].durations, expected[i].durations);
    EXPECT_EQ(r.captures[i].line, expected[i].line);
  }
  EXPECT_EQ(r.captures[4].carrier, 38029);  // the Pronto code's own carrier
}

// Without the lists, the level after the mode is the fan, a number last is the
// temperature and another word is the swing; a one-line file reads alike.
TEST(ClimateJsonFormat, LevelsWithoutListsAreFanSwingAndTemperature) {
  const std::string text =
      R"({"commands": {"on": "2600010014", "dry": {"high": {"vertical": {"24": "9000,-4500"}}, "23": "[9000, 4500]"}}})";
  EXPECT_EQ(DetectCaptureFormat(text).id, "climate-json");
  const ReadResult r = ReadCaptureText(text, ReadOptions{});
  ASSERT_TRUE(r.ok()) << r.error->What();
  ASSERT_EQ(r.captures.size(), 3u);
  EXPECT_EQ(r.captures[0].label, (CaptureLabel{{"power", "on"}}));
  EXPECT_EQ(r.captures[1].label,
            (CaptureLabel{{"mode", "dry"}, {"fan", "high"}, {"temp", "24"}, {"swing", "vertical"}}));
  EXPECT_EQ(r.captures[2].label, (CaptureLabel{{"mode", "dry"}, {"temp", "23"}}));
  // Durations written as a string, signed or unsigned, with or without brackets.
  EXPECT_EQ(r.captures[1].durations, (ir::TIRIntegerArr{9000, -4500}));
  EXPECT_EQ(r.captures[2].durations, (ir::TIRIntegerArr{9000, -4500}));
}

// Only a member "commands" makes a climate-code file: a JSON Lines file that
// names a capture "commands" stays JSON Lines.
TEST(ClimateJsonFormat, TheProbeWantsACommandsMember) {
  const struct {
    const char* text;
    const char* format;
  } cases[] = {
      {"{\"commands\" : {}}\n", "climate-json"},
      {"{\n  \"commandsEncoding\": \"Base64\",\n  \"commands\": {}\n}\n", "climate-json"},
      {"{\"name\": \"commands\", \"durations_us\": [1]}\n", "jsonl"},
      {"{\"source\": \"x\"}\n{\"name\": \"commands\", \"durations_us\": [1]}\n", "jsonl"},
      {"{\"durations_us\": [1], \"commands\": 1}\n", "jsonl"},
  };
  for (const auto& c : cases) EXPECT_EQ(DetectCaptureFormat(c.text).id, c.format) << c.text;
}

TEST(ClimateJsonFormat, FaultsNameTheLineAndTheCode) {
  const testing::ReaderCase cases[] = {
      {"syntax error", "{\"commands\": {\n\"off\": \"2600010014\",\n}}\n", {}, 3, "", "not a JSON file"},
      {"cut short", "{\"commands\": {\"off\": \"2600010014\"", {}, 1, "", "not a JSON file"},
      {"a code that is no packet",
       "{\"commands\": {\"cool\": {\"low\": {\"16\": \"hello\"}}}}",
       {},
       1,
       "cool/low/16",
       "not a Broadlink packet"},
      {"a packet fault",
       "{\"commands\": {\n\"off\": \"26000900141214\"}}",
       {},
       2,
       "off",
       "before its 9 duration bytes"},
      {"another encoding",
       "{\"commandsEncoding\": \"Xiaomi\",\n\"commands\": {\"off\": \"Z6UHAG0E\"}}",
       {},
       2,
       "off",
       "'Xiaomi' are not read"},
      {"a list of codes",
       "{\"commands\": {\"off\": [\"2600010014\"]}}",
       {},
       1,
       "off",
       "durations must be numbers"},
      {"a number as code", "{\"commands\": {\"off\": 5}}", {}, 1, "off", "not a code"},
      {"a fraction in durations", "{\"commands\": {\"off\": [9000, 4500.5]}}", {}, 1, "off", "whole µs"},
      {"a top-level list", "[{\"commands\": {}}]", {}, 1, "", "one JSON object"},
      {"no commands", "{\"manufacturer\": \"Acme\"}", {}, 0, "commands", "no \"commands\" object"},
      {"lists in lists",
       "{\"commands\": " + std::string(40, '[') + std::string(40, ']') + "}",
       {},
       1,
       "",
       "list of codes"},
      {"too deep in objects",
       "{\"commands\": " +
           [] {
             std::string s;
             for (int i = 0; i < 40; ++i) s += "{\"a\": ";
             return s + "1" + std::string(40, '}');
           }() +
           "}",
       {},
       1,
       "a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/a/...",
       "deeper than 32"},
  };
  for (const auto& c : cases) {
    if (c.error_line == 0) {
      SCOPED_TRACE(c.label);
      const ReadResult r = ReadWithFormat(ClimateJsonFormat(), c.text, ReadOptions{});
      ASSERT_FALSE(r.ok());
      EXPECT_EQ(r.error->token, c.error_token);
      EXPECT_NE(r.error->message.find(c.error_words), std::string::npos) << r.error->What();
      continue;
    }
    testing::CheckReaderCase(ClimateJsonFormat(), c);
  }
}

CaptureRead Labelled(CaptureLabel label, ir::TIRIntegerArr durations) {
  CaptureRead c;
  c.label = std::move(label);
  c.durations = std::move(durations);
  return c;
}

// The writer nests the codes by their labels; reading the file gives the
// labels and, within a packet unit, the durations back.
TEST(ClimateJsonFormat, WrittenFilesReadBackWithTheirLabels) {
  const std::vector<CaptureRead> captures{
      Labelled({{"power", "off"}}, {3000, -1000, 500}),
      Labelled({{"mode", "cool"}, {"fan", "low"}, {"temp", "16"}}, {9000, -4500, 560}),
      Labelled({{"mode", "cool"}, {"fan", "low"}, {"temp", "17"}}, {9000, -4500, 620}),
      Labelled({{"mode", "heat"}, {"fan", "high"}, {"temp", "30"}, {"swing", "on"}}, {9000, -4500, 700}),
      Labelled({{"mode", "dry"}, {"temp", "09.50"}}, {9000, -4500, 800}),
  };
  std::string text;
  ASSERT_FALSE(WriteClimateJson(captures, ClimateFileInfo{"Acme", {"A-1"}}, text));
  EXPECT_NE(text.find("\"minTemperature\": 9.5,\n  \"maxTemperature\": 30,"), std::string::npos) << text;
  EXPECT_NE(text.find("\"operationModes\": [\"cool\", \"heat\", \"dry\"]"), std::string::npos) << text;
  EXPECT_NE(text.find("\"fanModes\": [\"low\", \"high\", \"auto\"]"), std::string::npos) << text;
  EXPECT_NE(text.find("\"swingModes\": [\"on\"]"), std::string::npos) << text;
  EXPECT_NE(text.find("\"manufacturer\": \"Acme\""), std::string::npos) << text;
  const ReadResult r = ReadCaptureText(text, ReadOptions{});
  ASSERT_TRUE(r.ok()) << r.error->What();
  EXPECT_EQ(r.format, "climate-json");
  ASSERT_EQ(r.captures.size(), captures.size());
  const char* names[] = {"off", "cool/low/16", "cool/low/17", "heat/high/on/30", "dry/auto/09.50"};
  for (std::size_t i = 0; i < captures.size(); ++i) {
    SCOPED_TRACE(names[i]);
    EXPECT_EQ(r.captures[i].name, names[i]);
    CaptureLabel label = captures[i].label;
    if (i == 4) label.insert(label.begin() + 1, LabelEntry{"fan", "auto"});
    EXPECT_EQ(r.captures[i].label, label);
    ASSERT_EQ(r.captures[i].durations.size(), captures[i].durations.size());
    for (std::size_t k = 0; k < captures[i].durations.size(); ++k)
      EXPECT_NEAR(r.captures[i].durations[k], captures[i].durations[k], 16);
  }
}

TEST(ClimateJsonFormat, CapturesWithoutAPlaceAreRefused) {
  const struct {
    std::vector<CaptureRead> captures;
    const char* message;
  } cases[] = {
      {{Labelled({{"mode", "cool"}}, {500})},
       "capture 1: a climate-code file needs a label with mode and temp"},
      {{Labelled({}, {500})}, "capture 1: a climate-code file needs a label"},
      {{Labelled({{"mode", "cool"}, {"temp", "hot"}}, {500})}, "capture 1: temp 'hot' is not a number"},
      {{Labelled({{"power", "off"}}, {500}), Labelled({{"power", "off"}}, {600})},
       "capture 2: a second code for off"},
      {{Labelled({{"power", "off"}}, {-500})}, "capture 1: holds no mark"},
  };
  for (const auto& c : cases) {
    std::string text = "kept";
    const auto fault = WriteClimateJson(c.captures, ClimateFileInfo{}, text);
    ASSERT_TRUE(fault);
    EXPECT_NE(fault->message.find(c.message), std::string::npos) << fault->message;
    EXPECT_EQ(text, "kept");
  }
}

}  // namespace
}  // namespace klimavo::capture
