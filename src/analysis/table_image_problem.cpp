#include "analysis/table_image_problem.h"

#include <utility>

#include "firmware/crc_tables.h"
#include "firmware/frame_tables.h"
#include "firmware/parts_tables.h"
#include "firmware/table_file.h"
#include "firmware/table_image.h"

namespace klimavo::analysis {
namespace {

constexpr int kTextImageNotBuilt = 162;

// The language text of each error code's reason.
constexpr std::pair<int, int> kReasons[] = {
    {firmware::kImageErrKeyCount, 241},
    {firmware::kImageErrFormatWithoutKey, 242},
    {firmware::kImageErrTooManyFormats, 243},
    {firmware::kImageErrNoFormat, 244},
    {firmware::kImageErrTables, 245},
    {firmware::kImageErrTooManyKeys, 246},
    {1 - firmware::kPartsErrorBase, 247},
    {firmware::kPartsResultByteIndex - firmware::kPartsErrorBase, 248},
    {firmware::kPartsResultReference - firmware::kPartsErrorBase, 249},
    {firmware::kErrStructureOverflow, 250},
    {firmware::kErrTripleTooShort, 251},
    {firmware::kErrDescriptorIndex, 252},
    {firmware::kErrImageTooLarge, 253},
    {firmware::kErrListTooLarge, 253},
    {firmware::kErrDataWidth, 254},
};
static_assert(firmware::kCrcUntranslatable == firmware::kImageErrTables);

}  // namespace

std::string TableImageProblem(int code, const lang::Language& language) {
  std::string text = language.Text(kTextImageNotBuilt) + " " + std::to_string(code);
  for (const auto& [error, reason] : kReasons)
    if (error == code) return text + ": " + language.Text(reason);
  return text;
}

}  // namespace klimavo::analysis
