#pragma once
// Initialisation files (config.ini, the language files): sections in square
// brackets, one key=value per line. Section and key names compare without
// regard to ASCII letter case; values are kept as the bytes they are (GBK in the
// language files). A missing file reads as an empty one. Saving rewrites the
// whole file atomically and keeps the order of sections, keys and comments.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace klimavo::base {

class IniFile {
 public:
  IniFile() = default;
  /// Parses text (lines end in LF or CR LF).
  static IniFile FromText(std::string_view text);
  /// Reads a file; a missing file gives an empty IniFile. Throws FileError when
  /// it exists but cannot be read.
  static IniFile Load(const std::filesystem::path& path);

  bool HasSection(std::string_view section) const;
  /// The trimmed value, or nullopt when the key is absent.
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  /// The value as a whole decimal integer; a missing key or a value that is not
  /// an integer gives the fallback.
  long long ReadInteger(std::string_view section, std::string_view key, long long fallback) const;
  /// Any non-zero integer reads true.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;
  /// Every key=value of a section, in file order (names as written).
  std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;
  std::vector<std::string> SectionNames() const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, long long value);
  void WriteBool(std::string_view section, std::string_view key, bool value);

  std::string ToText() const;
  /// Atomic whole-file rewrite; throws FileError.
  void Save(const std::filesystem::path& path) const;

 private:
  struct Line {
    std::string text;   // the line as written (comments, blanks, entries)
    std::string key;    // for entries: the key as written
    std::string value;  // for entries: the trimmed value
    bool is_entry = false;
  };
  struct Section {
    std::string name;  // empty for lines before the first section header
    std::string header;
    std::vector<Line> lines;
  };
  Section* FindSection(std::string_view name);
  const Section* FindSection(std::string_view name) const;
  std::vector<Section> sections_;
};

/// Reads one key, opening the file for this call only (missing file: fallback).
long long ReadIniInteger(const std::filesystem::path& path, std::string_view section, std::string_view key,
                         long long fallback);
/// Writes one key: loads the file (or starts empty), sets the key, saves atomically.
void WriteIniString(const std::filesystem::path& path, std::string_view section, std::string_view key,
                    std::string_view value);

}  // namespace klimavo::base
