// The include graph of src/ against the layer table kept beside the code
// (src/layers.txt): no include reaches up or sideways, and Qt only where the
// table allows it. A failure names the file, the line and the include.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace klimavo::base {
namespace {

namespace fs = std::filesystem;

struct Layer {
  int rank = 0;
  bool qt = false;
};

using LayerTable = std::map<std::string, Layer>;

// The table's folders by name; "#" starts a comment.
LayerTable ReadLayerTable(const fs::path& file) {
  LayerTable table;
  std::ifstream in(file);
  int rank = 0;
  for (std::string line; std::getline(in, line);) {
    line = line.substr(0, line.find('#'));
    std::istringstream words(line);
    bool any = false;
    for (std::string word; words >> word; any = true) {
      Layer layer{rank, false};
      if (const auto colon = word.find(':'); colon != std::string::npos) {
        layer.qt = word.substr(colon + 1) == "qt";
        word.resize(colon);
      }
      table[word] = layer;
    }
    if (any) ++rank;
  }
  return table;
}

// What one include breaks; empty when it keeps to the table.
std::string Fault(const LayerTable& table, const std::string& from, const std::string& include, bool angle) {
  const Layer& own = table.at(from);
  if (angle) {
    if (!own.qt && include.size() > 1 && include[0] == 'Q' &&
        std::isupper(static_cast<unsigned char>(include[1])))
      return "Qt in a folder without Qt";
    return {};
  }
  const auto slash = include.find('/');
  if (slash == std::string::npos) return {};  // a header beside the file
  const std::string to = include.substr(0, slash);
  const auto it = table.find(to);
  if (it == table.end()) return {};  // not a folder of src/ (a generated or test header)
  if (to == from) return {};
  if (it->second.rank > own.rank) return "includes a higher layer (" + to + ")";
  if (it->second.rank == own.rank) return "includes a folder of its own layer (" + to + ")";
  return {};
}

// Every include of every source file under `src`, checked against `table`.
std::vector<std::string> Violations(const fs::path& src, const LayerTable& table) {
  static const std::regex kInclude(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
  std::vector<std::string> faults;
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    const fs::path& path = entry.path();
    if (!entry.is_regular_file() || (path.extension() != ".h" && path.extension() != ".cpp")) continue;
    const std::string from = fs::relative(path, src).begin()->string();
    if (!table.contains(from)) {
      faults.push_back(fs::relative(path, src).string() + ": folder " + from + " is missing from layers.txt");
      continue;
    }
    std::ifstream in(path);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
      ++number;
      if (line.find("include") == std::string::npos) continue;
      std::smatch m;
      if (!std::regex_search(line, m, kInclude)) continue;
      const std::string fault = Fault(table, from, m[2].str(), m[1].str() == "<");
      if (!fault.empty())
        faults.push_back("src/" + fs::relative(path, src).string() + ":" + std::to_string(number) + ": " +
                         line + ": " + fault);
    }
  }
  return faults;
}

const fs::path kSrc = fs::path(KLIMAVO_SOURCE_DIR) / "src";

TEST(Layers, EveryIncludeOfTheSourcesKeepsToTheLayerTable) {
  const LayerTable table = ReadLayerTable(kSrc / "layers.txt");
  ASSERT_FALSE(table.empty()) << "src/layers.txt is missing or empty";
  std::string report;
  for (const std::string& fault : Violations(kSrc, table)) report += fault + "\n";
  EXPECT_TRUE(report.empty()) << report;
}

TEST(Layers, EveryFolderOfTheTableIsAFolderOfTheSources) {
  for (const auto& [folder, layer] : ReadLayerTable(kSrc / "layers.txt"))
    EXPECT_TRUE(fs::is_directory(kSrc / folder)) << "layers.txt names " << folder << ", which src/ lacks";
}

// The check itself: upward, sideways and Qt includes are caught, downward and
// own-folder ones pass.
TEST(Layers, TheCheckCatchesEveryKindOfFault) {
  const LayerTable table{{"base", {0, false}},
                         {"ir", {1, false}},
                         {"lang", {1, false}},
                         {"store", {2, false}},
                         {"ui", {3, true}}};
  const struct {
    const char* from;
    const char* include;
    bool angle;
    bool fault;
  } cases[] = {
      {"store", "base/gbk.h", false, false},    {"store", "store/library.h", false, false},
      {"base", "store/library.h", false, true}, {"ir", "lang/language.h", false, true},
      {"store", "QString", true, true},         {"ui", "QString", true, false},
      {"store", "string", true, false},         {"store", "gtest/gtest.h", false, false},
      {"ui", "store/library.h", false, false},  {"store", "ui/ui_text.h", false, true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(!Fault(table, c.from, c.include, c.angle).empty(), c.fault) << c.from << " -> " << c.include;
}

}  // namespace
}  // namespace klimavo::base
