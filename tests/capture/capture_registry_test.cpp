#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "capture/capture_format.h"

namespace klimavo::capture {
namespace {

namespace fs = std::filesystem;

// One typical text per format; detection must pick that format and its reader must read it.
const struct {
  const char* id;
  const char* text;
} kTypicalTexts[] = {
    {"text", "# from a scope\n9000, -4500, 560, -560\n"},
    {"text", "carrier: 36000\n9000 -4500 560\n"},
    {"flipper",
     "Filetype: IR signals file\nVersion: 1\n#\nname: Off\ntype: raw\nfrequency: 38000\ndata: 1 2 3\n"},
    {"flipper", "name: Off\ntype: raw\ndata: 1 2 3\n"},
    {"jsonl", "{\"durations_us\": [1, -2, 3], \"carrier_hz\": 38000}\n"},
    {"mode2", "carrier 38000\npulse 9000\nspace 4500\npulse 560\n"},
    {"mode2", "space 100000\npulse 9000\n"},
    {"ir-ctl", "+9000 -4500 +560 # timeout 125000\n"},
    {"ir-ctl", "carrier 38000\n+9000 -4500 +560\n"},
    {"ir-ctl", "+9000 -4500 +560\n# timeout 125000\n"},
    // Without a mark of ir-ctl, signed lines are a plain list: lines join until a blank line.
    {"text", "+9000 -4500 +560\n+9000 -4500\n"},
    {"pronto", "0000 006D 0001 0000 0015 0040\n"},
    {"broadlink", "JgAIABQSFDYUAA0FAAAAAA==\n"},
    {"broadlink", "cool/24: 2600050014121436140d05\n"},
    {"climate-json",
     "{\n  \"manufacturer\": \"Acme\",\n  \"commands\": {\"off\": \"JgAIABQSFDYUAA0FAAAAAA==\"}\n}\n"},
    {"arduino", "// NEC\nuint16_t rawData[3] = {9000, 4500, 560};\n"},
    {"tasmota", "IRsend 0,9000,4500,560\n"},
    {"tasmota", "+9000-4500+560-560C\n"},
};

TEST(CaptureRegistry, EveryFormatIsListedOnceByPriority) {
  const auto formats = CaptureFormats();
  ASSERT_EQ(formats.size(), 10u);
  std::set<std::string_view> ids;
  for (std::size_t i = 0; i < formats.size(); ++i) {
    EXPECT_TRUE(ids.insert(formats[i].id).second) << "duplicate id " << formats[i].id;
    EXPECT_FALSE(formats[i].description.empty());
    ASSERT_NE(formats[i].probe, nullptr);
    ASSERT_NE(formats[i].read, nullptr);
    if (i > 0) {
      EXPECT_LT(formats[i - 1].priority, formats[i].priority) << "priorities must differ";
    }
    EXPECT_EQ(FindCaptureFormat(formats[i].id), &formats[i]);
    // Every probe tolerates empty and binary input.
    EXPECT_GE(formats[i].probe(""), kProbeNo);
    EXPECT_GE(formats[i].probe(std::string_view("\0\xFF\n#", 4)), kProbeNo);
  }
  EXPECT_EQ(FindCaptureFormat("nope"), nullptr);
  for (const auto& t : kTypicalTexts) EXPECT_TRUE(ids.count(t.id)) << t.id;
}

TEST(CaptureRegistry, DetectionPicksTheFormatAndItReads) {
  for (const auto& t : kTypicalTexts) {
    SCOPED_TRACE(t.text);
    EXPECT_EQ(DetectCaptureFormat(t.text).id, t.id);
    const ReadResult r = ReadCaptureText(t.text, ReadOptions{});
    ASSERT_TRUE(r.ok()) << r.error->What();
    EXPECT_EQ(r.format, t.id);
    EXPECT_FALSE(r.captures.empty());
  }
}

// Signed lines without a mark of ir-ctl are detected as one plain list; named
// as ir-ctl they are one capture per line, and a format that does not fit names the fault.
TEST(CaptureRegistry, ANamedFormatIsReadWithoutDetection) {
  const std::string text = "+9000 -4500 +560\n+300 -300 +300\n";
  const struct {
    const char* id;  // nullptr: detect
    std::size_t captures;
    const char* error;
  } cases[] = {{nullptr, 1, nullptr},
               {"ir-ctl", 2, nullptr},
               {"mode2", 0, "s:1: expected pulse, space, timeout or carrier: '+9000'"}};
  for (const auto& c : cases) {
    ReadOptions options{"s"};
    if (c.id) options.format = FindCaptureFormat(c.id);
    const ReadResult r = ReadCaptureText(text, options);
    EXPECT_EQ(r.format, c.id ? c.id : "text");
    if (c.error) {
      ASSERT_FALSE(r.ok());
      EXPECT_EQ(r.error->What(), c.error);
    } else {
      ASSERT_TRUE(r.ok()) << r.error->What();
      EXPECT_EQ(r.captures.size(), c.captures);
    }
  }
}

TEST(CaptureRegistry, UnknownContentIsReadAsPlainTextWhichNamesTheFault) {
  const ReadResult r = ReadCaptureText("\n\nhello world\n", ReadOptions{"in.txt"});
  ASSERT_FALSE(r.ok());
  EXPECT_EQ(r.format, "text");
  EXPECT_EQ(r.error->What(), "in.txt:3: not a duration: 'hello'");
}

TEST(CaptureRegistry, NoCaptureAtAllIsAnError) {
  for (const char* text : {"", "# only a comment\n\n", "name: A\ntype: parsed\n"}) {
    const ReadResult r = ReadCaptureText(text, ReadOptions{"e.txt"});
    ASSERT_FALSE(r.ok()) << text;
    EXPECT_EQ(r.error->What(), "e.txt: no capture found");
  }
}

TEST(CaptureRegistry, FilesThatCannotBeReadAreErrorsOfTheFile) {
  const fs::path dir = fs::temp_directory_path() / "klimavo_capture_registry_test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  EXPECT_NE(ReadCaptureFile(dir / "missing.txt", ReadOptions{"missing.txt"})
                .error->What()
                .find("missing.txt: cannot be opened"),
            std::string::npos);
  EXPECT_EQ(ReadCaptureFile(dir, ReadOptions{"d"}).error->What(), "d: is a folder, not a capture file");
  std::ofstream(dir / "ok.txt") << "1 -2 3\n";
  const ReadResult r = ReadCaptureFile(dir / "ok.txt", ReadOptions{});
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(r.captures.at(0).durations, (ir::TIRIntegerArr{1, -2, 3}));
  fs::remove_all(dir);
}

TEST(ToCapture, MicrosecondsBecomeTicksAndTicksPassThrough) {
  CaptureRead read;
  read.durations = {9000, -4500, static_cast<std::int32_t>(kMaxMicros),
                    -static_cast<std::int32_t>(kMaxMicros)};
  read.carrier = 36000;
  ir::Capture c = ToCapture(read);
  EXPECT_EQ(c.Durations, (ir::TIRIntegerArr{90000, -45000, 2147483640, -2147483640}));
  EXPECT_EQ(c.Carrier, 36000);
  read.unit = DurationUnit::kTenthMicroseconds;
  EXPECT_EQ(ToCapture(read).Durations, read.durations);
}

// The whole corpus reads back exactly, line by line, with names and carriers.
TEST(CaptureRegistry, TheCorpusReadsAsItsJson) {
  const std::string corpus = KLIMAVO_CORPUS_FILE;
  const ReadResult r = ReadCaptureFile(corpus, ReadOptions{corpus});
  ASSERT_TRUE(r.ok()) << r.error->What();
  EXPECT_EQ(r.format, "jsonl");
  std::ifstream in(corpus);
  std::string line;
  std::size_t i = 0;
  while (std::getline(in, line)) {
    const auto j = nlohmann::json::parse(line);
    ASSERT_LT(i, r.captures.size());
    EXPECT_EQ(r.captures[i].durations, j["durations_us"].get<ir::TIRIntegerArr>()) << j["source"];
    EXPECT_EQ(r.captures[i].name, j["name"].get<std::string>());
    EXPECT_EQ(r.captures[i].origin, j["source"].get<std::string>());
    EXPECT_EQ(r.captures[i].carrier, j["carrier_hz"].get<int>());
    ++i;
  }
  EXPECT_EQ(i, r.captures.size());
  EXPECT_EQ(i, 608u);
}

}  // namespace
}  // namespace klimavo::capture
