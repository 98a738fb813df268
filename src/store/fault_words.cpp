#include "store/fault_words.h"

#include <system_error>

#include "base/text.h"

namespace klimavo::store {
namespace {

constexpr int kTextPictureTooLarge = 32;
constexpr int kTextNotJpeg = 65;
constexpr int kTextLengthField = 123;
constexpr int kTextFewerRecords = 124;
constexpr int kTextCutLines = 125;
constexpr int kTextBytesAfter = 126;
constexpr int kTextShorterThanHeader = 127;
constexpr int kTextUnreadable = 128;
constexpr int kTextPicturesPastEnd = 129;

int LibraryFaultText(LibraryFault fault) {
  switch (fault) {
    case LibraryFault::kLengthField:
      return kTextLengthField;
    case LibraryFault::kFewerRecords:
      return kTextFewerRecords;
    case LibraryFault::kCutLineBlock:
      return kTextCutLines;
    case LibraryFault::kBytesAfterRecords:
      return kTextBytesAfter;
    case LibraryFault::kShorterThanHeader:
      return kTextShorterThanHeader;
    default:
      return kTextUnreadable;
  }
}

int PictureStoreFaultText(PictureFault fault) {
  switch (fault) {
    case PictureFault::kLengthField:
      return kTextLengthField;
    case PictureFault::kShorterThanHeader:
      return kTextShorterThanHeader;
    default:
      return kTextPicturesPastEnd;
  }
}

}  // namespace

FaultWords LibraryFaultWords(const LibraryLoadResult& result) {
  return {LibraryFaultText(result.fault), DescribeLibraryFault(result)};
}

FaultWords PictureStoreFaultWords(const PictureFileIntegrity& check) {
  return {PictureStoreFaultText(check.fault), DescribePictureFault(check)};
}

FaultWords PictureFileFaultWords(PictureFileCheck check, const std::filesystem::path& file) {
  const std::string name = file.string();
  switch (check) {
    case PictureFileCheck::kOk:
      return {};
    case PictureFileCheck::kNotJpeg:
      return {kTextNotJpeg,
              base::Concat({"picture '", name, "': only JPEG files (.jpg, .jpeg) are accepted"})};
    case PictureFileCheck::kMissing:
      return {0, base::Concat({"picture '", name, "' does not exist"})};
    case PictureFileCheck::kTooLarge:
      break;
  }
  std::error_code ec;
  const auto size = std::filesystem::file_size(file, ec);
  return {kTextPictureTooLarge,
          base::Concat({"picture '", name, "' has ", std::to_string(ec ? 0 : size), " bytes; at most ",
                        std::to_string(kMaxPictureFileBytes), " are accepted"})};
}

}  // namespace klimavo::store
