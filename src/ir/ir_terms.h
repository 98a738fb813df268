#pragma once
// The names of signal parts, air-conditioner functions and frame kinds that the
// waveform view writes above signal segments, in Chinese (GBK) and English,
// index by index the same term.

#include <array>
#include <string>
#include <string_view>

namespace klimavo::ir {

inline constexpr std::size_t kIrTermCount = 21;
/// The language identifier of Chinese; texts are left as they are for it.
inline constexpr int kChineseLocaleId = 2052;

/// The Chinese terms as GBK bytes.
extern const std::array<std::string_view, kIrTermCount> IrTermNamesCn;
/// The English terms.
extern const std::array<std::string_view, kIrTermCount> IrTermNamesEn;

/// Replaces, term by term in table order, the first occurrence of each Chinese
/// term of a GBK text by its English name; Chinese (2052) keeps the text.
std::string TranslateIrTerms(std::string_view gbk_text, int locale_id);

}  // namespace klimavo::ir
