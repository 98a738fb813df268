// `klimavo-cli library new --from-capture` through the real executable: the
// record it stores carries exactly the timing, frame text and code bytes that
// `decode` reports for the same capture, its JSON is what `library show --json`
// prints, and every refusal exits 2 with the library untouched.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>

#include "analysis/function_wizard.h"
#include "base/file_lock.h"
#include "base/gbk.h"
#include "store/file_test_support.h"
#include "store/library.h"
#include "workflow_test_support.h"

namespace klimavo::workflow {
namespace {

namespace fs = std::filesystem;
using store::testing::ReadBytes;
using store::testing::ScratchDir;

struct CliRun {
  int status = -1;
  std::string out;
};

std::string ShellQuoted(const std::string& arg) {
  std::string out = "'";
  for (char c : arg) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

CliRun Cli(const fs::path& home, const std::vector<std::string>& args) {
  std::string command = std::string(std::getenv("KLIMAVO_CLI")) + " --home " + ShellQuoted(home.string());
  for (const std::string& a : args) command += " " + ShellQuoted(a);
  command += " 2>/dev/null";
  CliRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  std::array<char, 4096> buffer{};
  std::size_t n = 0;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.out.append(buffer.data(), n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// The captures checked, from the corpus (source, name).
const std::pair<const char*, const char*> kCorpusCaptures[] = {
    {"ACs/Admiral/Admiral_AC.ir", "Fan_2"},
    {"ACs/Ariston/Ariston_AC_A-MW09-IGX.ir", "POWER"},
    {"ACs/Carrier/Carrier_orlen_ac.ir", "Mod"},
    {"ACs/Daikin/Daikin_ARC480A41.ir", "TEMP-"},
    {"ACs/Electrolux/Electrol_ESV09CRO_B2I.ir", "POWER_ON"},
    {"ACs/GREE/Gree_airco.ir", "Vent"},
    {"ACs/Hisense/Hisense_DG11J1-99_fahrenheit.ir", "81f"},
    {"ACs/Lamborghini/Unknown_Model_1.ir", "Fan"},
    {"ACs/Pioneer/PioneerMiniSplit.ir", "Mode: Dry"},
    {"ACs/TCL/Tcl.ir", "Sleep"},
    {"ACs/Tosot/Tosot_T24H-ILF.ir", "Heat_27"},
    {"ACs/Xiaomi/Xiaomi_AC.ir", "Fan_Speed"},
};

// Writes the chosen corpus captures as a JSON Lines capture file.
fs::path CorpusFile(const fs::path& dir) {
  const fs::path file = dir / "captures.jsonl";
  std::ofstream out(file);
  std::ifstream in(KLIMAVO_CORPUS_FILE);
  std::map<std::pair<std::string, std::string>, std::string> lines;
  for (std::string line; std::getline(in, line);) {
    const auto json = nlohmann::json::parse(line);
    lines[{json["source"], json["name"]}] = line;
  }
  for (const auto& [source, name] : kCorpusCaptures) {
    const auto it = lines.find({source, name});
    EXPECT_NE(it, lines.end()) << source << " " << name;
    if (it != lines.end()) out << it->second << "\n";
  }
  return file;
}

std::string WithoutTrailingZeroBytes(std::string hex) {
  while (hex.size() >= 2 && hex.compare(hex.size() - 2, 2, "00") == 0) hex.resize(hex.size() - 2);
  return hex;
}

class LibraryNewCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(std::getenv("KLIMAVO_CLI"), nullptr) << "KLIMAVO_CLI names the klimavo-cli to test";
    dir_ = ScratchDir("library_new");
    home_ = dir_ / "home";
  }
  fs::path LibraryFile() const { return home_ / "data" / store::kLibraryFileName; }
  fs::path dir_;
  fs::path home_;
};

TEST_F(LibraryNewCommand, TheRecordCarriesWhatDecodeReports) {
  const fs::path file = CorpusFile(dir_);
  constexpr int kSampleRecords = 6;
  int made_count = 0;
  for (const bool msb : {false, true}) {
    std::vector<std::string> decode_args = {"decode", "--json", file.string()};
    if (msb) decode_args.insert(decode_args.begin() + 1, "--msb");
    const CliRun decoded = Cli(home_, decode_args);
    ASSERT_EQ(decoded.status, 0) << decoded.out;
    std::istringstream lines(decoded.out);
    int i = 0;
    for (std::string line; std::getline(lines, line); ++i) {
      const auto report = nlohmann::json::parse(line);
      std::vector<std::string> args = {
          "library", "new", "--from-capture", file.string(), "--capture", std::to_string(i), "--json"};
      if (msb) args.push_back("--msb");
      const CliRun made = Cli(home_, args);
      const std::string what = std::string(kCorpusCaptures[i].first) + " " + kCorpusCaptures[i].second;
      ASSERT_EQ(made.status, 0) << what;
      const auto record = nlohmann::json::parse(made.out);
      EXPECT_EQ(record["params"]["carrier"], report["carrier"]) << what;
      EXPECT_EQ(record["params"]["logic"], report["logic"]) << what;
      EXPECT_EQ(record["params"]["split"], report["split"]) << what;
      EXPECT_EQ(record["lsb_first"], !msb) << what;
      const auto& slot = record["slots"][0];
      EXPECT_EQ(slot["index"], 0) << what;
      EXPECT_EQ(slot["text"], report["protocol"]) << what;
      EXPECT_EQ(slot["code"].get<std::string>(),
                WithoutTrailingZeroBytes(report["bytes"].get<std::string>().substr(0, 128)))
          << what;
      EXPECT_EQ(slot["code_stored"], true) << what;
      EXPECT_EQ(record["brand"], "New File") << what;
      // The JSON is exactly what `library show --json` prints for the new index
      // (appended after the six sample records and those made before).
      EXPECT_EQ(Cli(home_, {"library", "show", std::to_string(kSampleRecords + made_count++), "--json"}).out,
                made.out)
          << what;
    }
  }
}

TEST_F(LibraryNewCommand, RefusalsChangeNothing) {
  const std::string sample = std::string(KLIMAVO_SOURCE_DIR) + "/data/samples/ac_captures.txt";
  ASSERT_EQ(Cli(home_, {"library", "new", "--from-capture", sample, "--code", "999999"}).out, "6\n");
  // A template whose second key has one state.
  store::TdiskAir one_state = testing::RecordWithKeys({{"Power", {"Off", "On"}}, {"Swing", {"On"}}});
  struct Case {
    const char* what;
    std::vector<std::string> args;
    bool bad_template;
  } cases[] = {
      {"the next code number has 7 digits", {}, false},
      {"a brand without a GBK form", {"--code", "1", "--brand", "Cool \xF0\x9F\x98\x80"}, false},
      {"a code without a GBK form", {"--code", "\xF0\x9F\x98\x80"}, false},
      {"a code of 7 bytes", {"--code", "1234567"}, false},
      {"an empty code", {"--code", ""}, false},
      {"a code in use", {"--code", "999999"}, false},
      {"a capture out of range", {"--code", "1", "--capture", "3"}, false},
      {"a negative capture", {"--code", "1", "--capture", "-1"}, false},
      {"a template key with one state", {"--code", "1"}, true},
  };
  for (const Case& c : cases) {
    if (c.bad_template) store::SaveTemplate(home_ / "data", one_state);
    const auto library_before = ReadBytes(LibraryFile());
    std::vector<std::string> args = {"library", "new", "--from-capture", sample};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliRun run = Cli(home_, args);
    EXPECT_EQ(run.status, 2) << c.what;
    EXPECT_EQ(run.out, "") << c.what;
    EXPECT_EQ(ReadBytes(LibraryFile()), library_before) << c.what;
  }
}

// The function wizard drops, when it closes, every format no key uses: the
// record made here must point its power key at its format, as New's does, or
// opening and closing the wizard would leave it without one.
TEST_F(LibraryNewCommand, TheRecordKeepsItsFormatThroughTheFunctionWizardsClose) {
  const std::string sample = std::string(KLIMAVO_SOURCE_DIR) + "/data/samples/ac_captures.txt";
  ASSERT_EQ(Cli(home_, {"library", "new", "--from-capture", sample}).out, "6\n");
  store::ProtocolLibrary library(LibraryFile());
  ASSERT_FALSE(library.LoadChecked().Damaged());
  store::TdiskAir record;
  store::TBtnLines lines;
  ASSERT_TRUE(library.FetchRecord(6, record, lines));
  const std::string format = record.Slots[0].Text.str();
  ASSERT_FALSE(format.empty());
  ASSERT_GT(record.UsedKeys(), 0u);
  EXPECT_EQ(record.Keys[0].Slot, 0);

  const lang::Language language = testing::HomeLanguage(1);
  analysis::FunctionWizard wizard(record, lines, language, 0.21, {});
  wizard.Show();
  EXPECT_FALSE(wizard.Close()) << "closing on a new record changes nothing";
  EXPECT_EQ(record.Slots[0].Text.str(), format);
  EXPECT_EQ(record.Slots[0].CodeStored, 1);
  EXPECT_EQ(record.Keys[0].Slot, 0);
}

TEST_F(LibraryNewCommand, WaitsForTheLibrarysLock) {
  const std::string sample = std::string(KLIMAVO_SOURCE_DIR) + "/data/samples/ac_captures.txt";
  ASSERT_EQ(Cli(home_, {"library", "list"}).status, 0);  // seeds the home
  const auto before = ReadBytes(LibraryFile());
  CliRun made;
  std::optional<base::FileLock> lock(std::in_place, LibraryFile());
  std::thread cli([&] { made = Cli(home_, {"library", "new", "--from-capture", sample}); });
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  EXPECT_EQ(ReadBytes(LibraryFile()), before) << "written while another program held the lock";
  lock.reset();
  cli.join();
  EXPECT_EQ(made.status, 0);
  EXPECT_EQ(made.out, "6\n");
}

TEST_F(LibraryNewCommand, ADamagedLibraryIsNotOverwritten) {
  const std::string sample = std::string(KLIMAVO_SOURCE_DIR) + "/data/samples/ac_captures.txt";
  ASSERT_EQ(Cli(home_, {"library", "list"}).status, 0);  // seeds the home
  auto bytes = ReadBytes(LibraryFile());
  bytes.resize(bytes.size() - 100);
  store::testing::WriteBytes(LibraryFile(), bytes);
  EXPECT_EQ(Cli(home_, {"library", "new", "--from-capture", sample}).status, 2);
  EXPECT_EQ(ReadBytes(LibraryFile()), bytes);
  EXPECT_FALSE(fs::exists(home_ / "data" / store::kTemplateFileName));
}

}  // namespace
}  // namespace klimavo::workflow
