#include "lang/language.h"

#include <cstdio>

#include "base/home.h"
#include "base/ini_file.h"
#include "base/text.h"
#include "lang/name_tables.h"

namespace klimavo::lang {
namespace {

constexpr std::string_view kNamesSection = "Language names";
constexpr std::string_view kNameKeyPrefix = "Language_";
constexpr std::string_view kFallbackTextSection = "1";

bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// Position of the first occurrence of `needle` in `haystack` that starts on a
// character boundary of the GBK text, or npos. Matching byte by byte alone
// would find a name that begins with the trail byte of a two-byte character.
std::size_t FindAtCharBoundary(std::string_view haystack, std::string_view needle) {
  if (needle.empty()) return std::string_view::npos;
  std::size_t i = 0;
  while (i + needle.size() <= haystack.size()) {
    if (haystack.compare(i, needle.size(), needle) == 0) return i;
    bool two_byte = IsGbkLead(static_cast<unsigned char>(haystack[i])) && i + 1 < haystack.size();
    i += two_byte ? 2 : 1;
  }
  return std::string_view::npos;
}

std::vector<std::string> NamesOfSection(const base::IniFile& names, std::string_view section) {
  std::vector<std::string> out;
  for (int i = 1;; ++i) {
    std::string value = names.ReadString(section, std::string(kNameKeyPrefix) + std::to_string(i), "");
    if (value.empty()) break;
    out.push_back(std::move(value));
  }
  return out;
}

std::shared_ptr<const base::IniFile> LoadIfPresent(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return nullptr;
  return std::make_shared<const base::IniFile>(base::IniFile::Load(path));
}

}  // namespace

extern const unsigned char kBuiltInTextsFile[];
extern const std::size_t kBuiltInTextsFile_size;

namespace {

const base::IniFile& BuiltInTexts() {
  static const base::IniFile texts = base::IniFile::FromText(
      std::string_view(reinterpret_cast<const char*>(kBuiltInTextsFile), kBuiltInTextsFile_size));
  return texts;
}

}  // namespace

Language::Language(std::filesystem::path home, int language_no)
    : home_(std::move(home)), language_no_(language_no) {}

std::filesystem::path Language::TextsPath() const { return base::DataDir(home_) / kTextsFileName; }
std::filesystem::path Language::NamesPath() const { return base::DataDir(home_) / kNamesFileName; }

std::string Language::Text(int number) const {
  if (!texts_) texts_ = LoadIfPresent(TextsPath());
  if (!texts_) return TextOf(BuiltInTexts(), 1, number);
  return TextOf(*texts_, language_no_, number);
}

bool Language::TextsMissing() const {
  std::error_code ec;
  return !std::filesystem::is_regular_file(TextsPath(), ec);
}

int Language::LanguageCount() const {
  auto names = LoadIfPresent(NamesPath());
  return names ? LanguageCountOf(*names) : 0;
}

std::vector<std::string> Language::LanguageNames() const {
  auto names = LoadIfPresent(NamesPath());
  return names ? LanguageNamesOf(*names, language_no_) : std::vector<std::string>{};
}

std::vector<std::pair<std::string, std::string>> Language::FormEntries(std::string_view form_name) const {
  auto names = LoadIfPresent(NamesPath());
  if (!names) return {};
  return FormEntriesOf(*names, language_no_, form_name);
}

std::string TextKey(int number) {
  char key[32];
  std::snprintf(key, sizeof key, "con_str%03d", number);
  return key;
}

std::string TextOf(const base::IniFile& texts, int language_no, int number) {
  std::string key = TextKey(number);
  std::string value = texts.ReadString(std::to_string(language_no), key, "");
  if (base::Trim(value).empty() && language_no != 1) value = texts.ReadString(kFallbackTextSection, key, "");
  return value;
}

int LanguageCountOf(const base::IniFile& names) {
  return static_cast<int>(NamesOfSection(names, kNamesSection).size());
}

std::vector<std::string> LanguageNamesOf(const base::IniFile& names, int language_no) {
  int k = language_no - 1;
  std::vector<std::string> out;
  if (k != 0) out = NamesOfSection(names, std::string(kNamesSection) + "_" + std::to_string(k));
  if (out.empty()) out = NamesOfSection(names, kNamesSection);
  return out;
}

std::vector<std::pair<std::string, std::string>> FormEntriesOf(const base::IniFile& names, int language_no,
                                                               std::string_view form_name) {
  int k = language_no > 0 ? language_no - 1 : 0;
  auto section = [&](int index) { return std::to_string(index) + "_" + std::string(form_name); };
  auto entries = names.Entries(section(k));
  if (entries.empty() && k != 0) entries = names.Entries(section(0));
  std::vector<std::pair<std::string, std::string>> out;
  for (auto& [path, value] : entries)
    if (!path.empty() && !value.empty()) out.emplace_back(std::move(path), std::move(value));
  return out;
}

std::string TranslateKeyName(std::string_view text, int language_no) {
  const bool chinese = language_no == kChineseLanguageNo;
  const auto& from = chinese ? AcFunctionNamesEn : AcFunctionNamesCn;
  const auto& to = chinese ? AcFunctionNamesCn : AcFunctionNamesEn;
  std::string result(text);
  for (std::size_t i = 0; i < kAcFunctionCount; ++i) {
    std::size_t pos = FindAtCharBoundary(result, from[i]);
    if (pos != std::string::npos) result.replace(pos, from[i].size(), to[i]);
  }
  return result;
}

namespace {

// Temperatures read "16℃" in every language; records made with an English
// workbench may hold "16'" (a mark after the digits), which is read as ℃.
void WriteDegreeSigns(std::string& text) {
  constexpr std::string_view kDegree = "\xA1\xE6";  // ℃ in GBK
  for (std::size_t pos = text.find('\''); pos != std::string::npos; pos = text.find('\'', pos + 1)) {
    if (pos == 0 || text[pos - 1] < '0' || text[pos - 1] > '9') continue;
    text.replace(pos, 1, kDegree);
  }
}

}  // namespace

std::string TranslateStateName(std::string_view text, int language_no) {
  std::string result(text);
  WriteDegreeSigns(result);
  if (language_no == kChineseLanguageNo) {
    // English names match without regard to the case of a-z.
    for (std::size_t i = 0; i < kAcValueCount; ++i) {
      std::string upper = base::UpperAscii(result);
      std::size_t pos = FindAtCharBoundary(upper, base::UpperAscii(AcValueNamesEn[i]));
      if (pos != std::string::npos) result.replace(pos, AcValueNamesEn[i].size(), AcValueNamesCn[i]);
    }
    return result;
  }
  for (std::size_t i = 0; i < kAcValueCount; ++i) {
    std::size_t pos = FindAtCharBoundary(result, AcValueNamesCn[i]);
    if (pos != std::string::npos) result.replace(pos, AcValueNamesCn[i].size(), AcValueNamesEn[i]);
  }
  return result;
}

std::string CrcKindName(int kind, int language_no) {
  if (kind < 0 || kind >= static_cast<int>(kCrcKindCount)) return {};
  return std::string(language_no == kChineseLanguageNo ? CrcKindNamesCn[kind] : CrcKindNamesEn[kind]);
}

std::string CrcOpName(int op) {
  if (op < 0 || op >= static_cast<int>(kCrcOpCount)) return {};
  return std::string(CrcOpNames[op]);
}

}  // namespace klimavo::lang
