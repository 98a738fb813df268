#include "lang/name_tables.h"

#include "lang/language.h"

namespace klimavo::lang {

// The Chinese texts are written as GBK byte escapes; the UTF-8 form of each
// is given in the comment beside it.

const std::array<std::string_view, kKeyKindCount> KeyKindNames = {"", "TEMP+-", "", "MODE/FAN",
                                                                  "", "",       "", ""};

const std::array<std::string_view, kCrcKindCount> CrcKindNamesCn = {
    "\xC7\xF3\xBA\xCD",                                          // 求和
    "\xC7\xF3\xBA\xCD\xC8\xA1\xB7\xB4",                          // 求和取反
    "1\xB5\xC4\xB8\xF6\xCA\xFD",                                 // 1的个数
    "1\xB5\xC4\xB8\xF6\xCA\xFD\xC8\xA1\xB7\xB4",                 // 1的个数取反
    "0\xB5\xC4\xB8\xF6\xCA\xFD",                                 // 0的个数
    "0\xB5\xC4\xB8\xF6\xCA\xFD\xC8\xA1\xB7\xB4",                 // 0的个数取反
    "\xD2\xEC\xBB\xF2",                                          // 异或
    "\xC7\xF3\xBA\xCD\xBA\xF3\xB8\xDF\xB5\xCD\xBD\xBB\xBB\xBB",  // 求和后高低交换
    "\xCA\xD7\xBC\xD3\xD2\xBB\xCE\xBB\xC7\xF3\xBA\xCD",          // 首加一位求和
    "GREE\xD0\xA3\xD1\xE9",                                      // GREE校验
    "\xD2\xEC\xBB\xF2\xC8\xA1\xB7\xB4",                          // 异或取反
};

const std::array<std::string_view, kCrcKindCount> CrcKindNamesEn = {
    "CheckSum",
    "Flips of CheckSum",
    "Count of one",
    "Flips of Count of one",
    "Count of zero",
    "Flips of Count of zero",
    "xor",
    "Exchange of CheckSum",
    "Append one bit,CheckSum",
    "GREE's Kinds",
    "Flips of xor",
};

const std::array<std::string_view, kCrcOpCount> CrcOpNames = {"+", "-", "xor", "*", "/", "and", "or"};

const std::array<std::string_view, kAcFunctionCount> AcFunctionNamesCn = {
    "\xBF\xAA\xB9\xD8",  // 开关
    "\xCE\xC2\xB6\xC8",  // 温度
    "\xC4\xA3\xCA\xBD",  // 模式
    "\xB7\xE7\xC1\xBF",  // 风量
    "\xB7\xE7\xCF\xF2",  // 风向
    "\xD2\xB6\xC6\xAC",  // 叶片
};

const std::array<std::string_view, kAcFunctionCount> AcFunctionNamesEn = {"Power", "Temp.", "Mode",
                                                                          "Fan",   "Swing", "Vane"};

const std::array<std::string_view, kAcValueCount> AcValueNamesCn = {
    "\xBF\xAA",                          // 开
    "\xB9\xD8",                          // 关
    "\xA1\xE6",                          // ℃
    "\xD7\xD4\xB6\xAF",                  // 自动
    "\xD6\xC6\xC0\xE4",                  // 制冷
    "\xB3\xFD\xCA\xAA",                  // 除湿
    "\xCB\xCD\xB7\xE7",                  // 送风
    "\xD6\xC6\xC8\xC8",                  // 制热
    "\xBD\xC7\xB6\xC8",                  // 角度
    "\xB8\xDF\xCB\xD9",                  // 高速
    "\xD6\xD0\xCB\xD9",                  // 中速
    "\xB5\xCD\xCB\xD9",                  // 低速
    "\xB2\xBB\xB0\xDA",                  // 不摆
    "\xB0\xDA\xB6\xAF",                  // 摆动
    "\xC9\xCF\xCF\xC2\xB0\xDA\xB7\xE7",  // 上下摆风
};

const std::array<std::string_view, kAcValueCount> AcValueNamesEn = {
    "On",    "Off",  "\xA1\xE6", "Auto", "Cool", "Dehum", "Fan",   "Heat",
    "Angle", "High", "Mid",      "Low",  "Stop", "Swing", "Swing",
};

namespace {

constexpr std::string_view kCorrespondingCn = "\xCF\xE0\xD3\xA6\xD6\xB5";  // 相应值
constexpr std::string_view kSetSideCn =
    "\xC1\xBD\xB1\xDF\xD6\xC3"
    "1";  // 两边置1

bool Chinese(int language_no) { return language_no == kChineseLanguageNo; }

}  // namespace

std::string_view CorrespondingText(int language_no) {
  return Chinese(language_no) ? kCorrespondingCn : std::string_view("Corresponding");
}

std::string_view SetSideText(int language_no) {
  return Chinese(language_no) ? kSetSideCn : std::string_view("Set Side");
}

std::string_view AcFunctionName(int index, int language_no) {
  if (index < 0 || index >= static_cast<int>(kAcFunctionCount)) return {};
  return Chinese(language_no) ? AcFunctionNamesCn[index] : AcFunctionNamesEn[index];
}

std::string_view AcValueName(int index, int language_no) {
  if (index < 0 || index >= static_cast<int>(kAcValueCount)) return {};
  return Chinese(language_no) ? AcValueNamesCn[index] : AcValueNamesEn[index];
}

}  // namespace klimavo::lang
