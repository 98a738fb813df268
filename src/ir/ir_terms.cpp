#include "ir/ir_terms.h"

namespace klimavo::ir {

// GBK bytes; the UTF-8 text of each term is in the comment beside it.
const std::array<std::string_view, kIrTermCount> IrTermNamesCn = {
    "\xD2\xFD\xB5\xBC\xC2\xEB",  // 引导码
    "\xD3\xC3\xBB\xA7\xC2\xEB",  // 用户码
    "\xCA\xFD\xBE\xDD\xC2\xEB",  // 数据码
    "\xBF\xD8\xD6\xC6\xC2\xEB",  // 控制码
    "\xB7\xAD\xD7\xAA\xC2\xEB",  // 翻转码
    "\xD0\xA3\xD1\xE9\xC2\xEB",  // 校验码
    "\xB7\xD6\xB8\xEE\xC2\xEB",  // 分割码
    "\xBD\xE1\xCA\xF8\xC2\xEB",  // 结束码
    "\xB9\xCC\xB6\xA8\xC2\xEB",  // 固定码
    "\xB7\xB4\xC2\xEB",          // 反码
    "\xCD\xAC\xC2\xEB",          // 同码
    "\xCE\xC2\xB6\xC8",          // 温度
    "\xBF\xAA\xB9\xD8",          // 开关
    "\xC4\xA3\xCA\xBD",          // 模式
    "\xB7\xE7\xCF\xF2",          // 风向
    "\xB7\xE7\xC1\xBF",          // 风量
    "\xD2\xFD\xB5\xBC\xD6\xA1",  // 引导帧
    "\xD3\xC3\xBB\xA7\xD6\xA1",  // 用户帧
    "\xCA\xFD\xBE\xDD\xD6\xA1",  // 数据帧
    "\xD6\xD8\xB8\xB4\xD6\xA1",  // 重复帧
    "\xBD\xE1\xCA\xF8\xD6\xA1",  // 结束帧
};

const std::array<std::string_view, kIrTermCount> IrTermNamesEn = {
    "Leader code",    "User code", "Data code",    "Control code", "Turn code",  "Verify code",  "Cut code",
    "Stop code",      "Fix code",  "R.",           "S.",           "Temp.",      "Power",        "Mode",
    "Wind-direction", "Air-Flow",  "Leader Frame", "User Frame",   "Data Frame", "Repeat Frame", "End Frame",
};

namespace {

bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// The first occurrence of `term` that starts on a character boundary of the
// GBK text: a match that would begin on the second byte of a two-byte
// character is not a match, so no character is cut in half.
std::size_t FindOnCharacterBoundary(std::string_view text, std::string_view term) {
  std::size_t i = 0;
  while (i + term.size() <= text.size()) {
    if (text.compare(i, term.size(), term) == 0) return i;
    i += IsGbkLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
  }
  return std::string_view::npos;
}

}  // namespace

std::string TranslateIrTerms(std::string_view gbk_text, int locale_id) {
  std::string text(gbk_text);
  if (locale_id == kChineseLocaleId) return text;
  for (std::size_t index = 0; index < kIrTermCount; ++index) {
    const std::size_t at = FindOnCharacterBoundary(text, IrTermNamesCn[index]);
    if (at != std::string_view::npos) text.replace(at, IrTermNamesCn[index].size(), IrTermNamesEn[index]);
  }
  return text;
}

}  // namespace klimavo::ir
