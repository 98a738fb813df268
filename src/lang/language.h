#pragma once
// Languages of the workbench: the numbered texts of data/Language.ini
// (`LangText`), the language names and per-window entries of Data/Language.sil
// (applied to windows by the GUI), and the built-in Chinese and English name
// tables with their translators. All texts are GBK bytes.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace klimavo::base {
class IniFile;
}

namespace klimavo::lang {

inline constexpr int kChineseLanguageNo = 2;
/// Said once when data/Language.ini is missing and the built-in English texts stand in.
inline constexpr std::string_view kMissingTextsMessage =
    "data/Language.ini is missing; the built-in English texts are used";
inline constexpr std::string_view kTextsFileName = "Language.ini";
inline constexpr std::string_view kNamesFileName = "Language.sil";

/// The language state of a home: which language is current and where its files are.
class Language {
 public:
  Language(std::filesystem::path home, int language_no);

  int LanguageNo() const { return language_no_; }
  void SetLanguageNo(int language_no) { language_no_ = language_no; }
  bool IsChinese() const { return language_no_ == kChineseLanguageNo; }
  /// 2052 for Chinese, else 2057.
  int LocaleId() const { return IsChinese() ? 2052 : 2057; }

  /// `LangText`(n). While the text file is missing, the built-in English
  /// text (the English section of a new home's file). The file is read on the
  /// first call that finds it and kept from then on.
  std::string Text(int number) const;
  /// True when data/Language.ini is missing (the built-in texts stand in).
  bool TextsMissing() const;
  /// `LanguageCount`: names in [Language names] of Language.sil (0 without the file).
  int LanguageCount() const;
  /// `LanguageNames` for the current language.
  std::vector<std::string> LanguageNames() const;
  /// The entries of section k_FormName to apply to a window (with the fallback
  /// to 0_FormName), as (path, value) pairs, empty names and values skipped.
  /// k is LanguageNo - 1 (0 for a LanguageNo below 1). Empty without the file.
  std::vector<std::pair<std::string, std::string>> FormEntries(std::string_view form_name) const;

  std::filesystem::path TextsPath() const;
  std::filesystem::path NamesPath() const;

 private:
  std::filesystem::path home_;
  int language_no_;
  mutable std::shared_ptr<const base::IniFile> texts_;  // Language.ini once found
};

/// The key of text n in Language.ini: "con_str" + n with at least three digits.
std::string TextKey(int number);
/// `LanguageCount` of the text of a Language.sil file.
int LanguageCountOf(const base::IniFile& names);
/// `LanguageNames` of the text of a Language.sil file for a language number.
std::vector<std::string> LanguageNamesOf(const base::IniFile& names, int language_no);
/// `FormEntries` of the text of a Language.sil file.
std::vector<std::pair<std::string, std::string>> FormEntriesOf(const base::IniFile& names, int language_no,
                                                               std::string_view form_name);
/// `LangText` over the text of a Language.ini file.
std::string TextOf(const base::IniFile& texts, int language_no, int number);

/// The built-in translators (language_no 2 = Chinese, anything else English).
/// Names are matched at character boundaries of the GBK text only, so a
/// match never starts inside a two-byte character.
std::string TranslateKeyName(std::string_view text, int language_no);
std::string TranslateStateName(std::string_view text, int language_no);
/// Checksum kind name; empty for a kind outside the table.
std::string CrcKindName(int kind, int language_no);
/// Constant operation name; empty for an operation outside the table.
std::string CrcOpName(int op);

}  // namespace klimavo::lang
