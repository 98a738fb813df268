#pragma once
// Languages of the workbench: the numbered texts of data/Language.ini
// (`LangText`), the language names and per-window entries of Data/Language.sil
// (applied to windows by the GUI), and the built-in Chinese and English name
// tables with their translators. All texts are GBK bytes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace klimavo::lang {

inline constexpr int kChineseLanguageNo = 2;

/// The language state of a home: which language is current and where its files are.
class Language {
 public:
  Language(std::filesystem::path home, int language_no);

  int LanguageNo() const { return language_no_; }
  void SetLanguageNo(int language_no) { language_no_ = language_no; }
  bool IsChinese() const { return language_no_ == kChineseLanguageNo; }
  /// 2052 for Chinese, else 2057.
  int LocaleId() const { return IsChinese() ? 2052 : 2057; }

  /// `LangText`(n): "error in language.ini" when the text file is missing.
  std::string Text(int number) const;
  /// `LanguageCount`: names in [Language names] of Language.sil (0 without the file).
  int LanguageCount() const;
  /// `LanguageNames` for the current language.
  std::vector<std::string> LanguageNames() const;
  /// The entries of section k_FormName to apply to a window (with the fallback
  /// to 0_FormName), as (path, value) pairs, empty names and values skipped.
  std::vector<std::pair<std::string, std::string>> FormEntries(std::string_view form_name) const;

 private:
  std::filesystem::path home_;
  int language_no_;
};

/// The built-in translators (language_no 2 = Chinese, anything else English).
std::string TranslateKeyName(std::string_view text, int language_no);
std::string TranslateStateName(std::string_view text, int language_no);
std::string CrcKindName(int kind, int language_no);
std::string CrcOpName(int op);

}  // namespace klimavo::lang
