// `klimavo-cli export-signals` through the real executable: the file it writes
// reads back as its format, a failed export leaves the file as it was, and
// requests the record cannot answer are refused as bad arguments.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "capture/capture_format.h"
#include "cli_runner.h"

namespace klimavo::cli {
namespace {

namespace fs = std::filesystem;
using testing::RunCli;

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class ExportSignals : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ =
        fs::temp_directory_path() /
        ("klimavo_export_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(root_);
    fs::create_directories(root_);
    home_ = root_ / "home";
    ASSERT_EQ(RunCli(home_, {"home"}).status, 0);
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path root_;
  fs::path home_;
};

TEST_F(ExportSignals, TheFileReadsBackAsItsFormat) {
  const struct {
    const char* format;
    std::size_t signals;
  } cases[] = {{"flipper", 34}, {"broadlink", 34}, {"climate-json", 601}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    const fs::path out = root_ / (std::string("gree.") + c.format);
    std::vector<std::string> args{"export-signals", "--record", "0",         "--format",
                                  c.format,         "--out",    out.string()};
    if (std::string(c.format) == "climate-json") args.push_back("--all-states");
    const auto r = RunCli(home_, args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "klimavo-cli: " + std::to_string(c.signals) + " signals written to " + out.string() +
                         " (" + c.format + ")\n");
    const capture::ReadResult back = capture::ReadCaptureFile(out, capture::ReadOptions{});
    ASSERT_TRUE(back.ok()) << back.error->What();
    EXPECT_EQ(back.format, c.format);
    EXPECT_EQ(back.captures.size(), c.signals);
  }
}

TEST_F(ExportSignals, AFailedExportLeavesTheFileAsItWas) {
  const fs::path out = root_ / "codes.json";
  std::ofstream(out) << "before\n";
  // Record 4 names its temperature states "升温"/"降温": a climate-code file needs degrees.
  const auto r = RunCli(home_, {"export-signals", "--record", "4", "--all-states", "--format", "climate-json",
                                "--out", out.string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("is not a number"), std::string::npos) << r.err;
  EXPECT_EQ(Read(out), "before\n");
  const auto missing =
      RunCli(home_, {"export-signals", "--record", "0", "--out", (root_ / "no/such/dir/x").string()});
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("no/such/dir/x"), std::string::npos) << missing.err;
}

TEST_F(ExportSignals, RequestsTheRecordCannotAnswerAreBadArguments) {
  const struct {
    std::vector<std::string> args;
    const char* message;
  } cases[] = {
      {{"--format", "ir-ctl"}, "--format ir-ctl cannot be written"},
      {{"--format", "climate-json"}, "use it with --all-states"},
      {{"--all-states", "--keys", "temp"}, "leave out --keys and --states"},
      {{"--press", "temp"}, "--press goes with --all-states"},
      {{"--pressed", "codes.jsonl"}, "--pressed goes with --all-states"},
      {{"--states", "1,2"}, "--states needs six values"},
      {{"--states", "1,15,0,0,0,0"}, "state 15 of key 1 is not in the record (15 states)"},
      {{"--keys", "light"}, "--keys: 'light' is neither a key index 0..5 nor a function of the record"},
      {{"--all-states", "--press", "7"}, "--press: '7' is neither a key index"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"export-signals", "--record", "0"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = RunCli(home_, args);
    EXPECT_EQ(r.status, 2) << c.message;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
  const auto absent = RunCli(home_, {"export-signals", "--record", "99"});
  EXPECT_EQ(absent.status, 2);
  EXPECT_EQ(absent.err, "klimavo-cli: index 99 is not in the library\n");
}

// The presses of the learner's golden case with four temperatures of cool/low
// left, the temperature named "temperature" and the mode "Cool", as a user's
// file may write them.
std::string SparsePresses() {
  std::ifstream in(std::string(KLIMAVO_SOURCE_DIR) + "/tests/golden/learn_add/captures.jsonl");
  std::string line;
  std::string out;
  while (std::getline(in, line)) {
    const bool cool_low = line.find(R"("mode":"cool","fan":"low")") != std::string::npos;
    const bool kept_degree =
        line.find(R"("temp":16,)") != std::string::npos || line.find(R"("temp":21,)") != std::string::npos ||
        line.find(R"("temp":24,)") != std::string::npos || line.find(R"("temp":30,)") != std::string::npos;
    if (cool_low && !kept_degree) continue;
    for (auto [from, to] : {std::pair<std::string, std::string>{R"("temp":)", R"("temperature":)"},
                            {R"("mode":"cool")", R"("mode":"Cool")"}})
      if (const auto at = line.find(from); at != std::string::npos) line.replace(at, from.size(), to);
    out += line + "\n";
  }
  return out;
}

TEST_F(ExportSignals, EachStateOfALearnedRecordSaysHowItCameAbout) {
  const fs::path presses = root_ / "presses.jsonl";
  std::ofstream(presses) << SparsePresses();
  const auto learned = RunCli(home_, {"learn", presses.string(), "--add", "--json"});
  ASSERT_NE(learned.status, 1) << learned.err;
  const auto at = learned.out.find("\"index\": ");
  ASSERT_NE(at, std::string::npos) << learned.out;
  const std::string index = std::to_string(std::stoi(learned.out.substr(at + 9)));

  const auto r =
      RunCli(home_, {"export-signals", "--record", index, "--all-states", "--pressed", presses.string()});
  ASSERT_EQ(r.status, 0) << r.err;
  const struct {
    const char* label;
    const char* basis;
  } cases[] = {
      {R"({"power": "off"})", "pressed"},
      {R"({"mode": "Cool", "fan": "low", "temperature": 16, "swing": "off"})", "pressed"},
      {R"({"mode": "Cool", "fan": "low", "temperature": 24, "swing": "on"})", "pressed"},
      {R"({"mode": "heat", "fan": "low", "temperature": 24, "swing": "off"})", "pressed"},
      {R"({"mode": "heat", "fan": "high", "temperature": 24, "swing": "off"})", "combined"},
      {R"({"mode": "heat", "fan": "low", "temperature": 30, "swing": "off"})", "combined"},
      {R"({"mode": "Cool", "fan": "low", "temperature": 17, "swing": "off"})", "interpolated"},
      {R"({"mode": "dry", "fan": "mid", "temperature": 23, "swing": "on"})", "interpolated"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const auto line_at = r.out.find(std::string("\"label\": ") + c.label + ", ");
    ASSERT_NE(line_at, std::string::npos) << r.out.substr(0, 2000);
    const std::string rest = r.out.substr(line_at);
    EXPECT_EQ(rest.substr(0, rest.find('\n')).find(std::string("\"basis\": \"") + c.basis + "\""),
              std::string("\"label\": ").size() + std::string(c.label).size() + 2);
  }
  std::istringstream lines(r.out);
  std::size_t entries = 0;
  for (std::string line; std::getline(lines, line); ++entries)
    EXPECT_NE(line.find("\"basis\": "), std::string::npos) << line;
  EXPECT_EQ(entries, 1u + 5 * 4 * 2 * 15);  // off, then mode × fan × swing × 16..30

  // Without the presses nothing says how a code came about, and the labels are the export's own.
  const auto plain = RunCli(home_, {"export-signals", "--record", index, "--all-states"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out.find("\"basis\""), std::string::npos);
  EXPECT_NE(plain.out.find(R"("label": {"mode": "cool", "fan": "low", "temp": 16, "swing": "off"})"),
            std::string::npos);
  // A climate-code file keeps its own words with the presses given.
  const auto climate = RunCli(home_, {"export-signals", "--record", index, "--all-states", "--format",
                                      "climate-json", "--pressed", presses.string()});
  ASSERT_EQ(climate.status, 0) << climate.err;
  EXPECT_NE(climate.out.find("\"cool\""), std::string::npos);
  // A press the record does not reproduce (here one bit of the heat press
  // changed) leaves out the states it points at: every heat state.
  std::string changed = SparsePresses();
  const auto heat = changed.find(R"("mode":"heat")");
  ASSERT_NE(heat, std::string::npos);
  const auto bit = changed.find("-560,", heat);
  changed.replace(bit, 5, "-1690,");
  const fs::path changed_file = root_ / "changed.jsonl";
  std::ofstream(changed_file) << changed;
  const auto withheld = RunCli(
      home_, {"export-signals", "--record", index, "--all-states", "--pressed", changed_file.string()});
  ASSERT_EQ(withheld.status, 0) << withheld.err;
  EXPECT_NE(withheld.err.find(": 120 states left out: the record does not reproduce"), std::string::npos)
      << withheld.err;
  EXPECT_EQ(withheld.out.find(R"("mode": "heat")"), std::string::npos);
  EXPECT_NE(withheld.out.find(R"("mode": "dry")"), std::string::npos);

  const auto unreadable = RunCli(
      home_, {"export-signals", "--record", index, "--all-states", "--pressed", (root_ / "none").string()});
  EXPECT_EQ(unreadable.status, 2);
  EXPECT_NE(unreadable.err.find("--pressed: "), std::string::npos) << unreadable.err;
}

}  // namespace
}  // namespace klimavo::cli
