// The words for a damaged library, a damaged picture store and a refused
// picture file: the language text the window shows and the details with the
// numbers that the command line prints and the window adds.
#include "store/fault_words.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "file_test_support.h"

namespace klimavo::store {
namespace {

namespace fs = std::filesystem;

TEST(FaultWords, NameEachLibraryFaultAndGiveItsNumbers) {
  struct Case {
    LibraryFault fault;
    int text;
    const char* detail;  ///< part of the details
  };
  const Case cases[] = {
      {LibraryFault::kLengthField, 123, "length field reads 900 bytes but the file has 800"},
      {LibraryFault::kFewerRecords, 124, "ends before all the records"},
      {LibraryFault::kCutLineBlock, 125, "code lines of record 2 are cut short"},
      {LibraryFault::kBytesAfterRecords, 126, "bytes are left after"},
      {LibraryFault::kShorterThanHeader, 127, "it has 800 bytes"},
      {LibraryFault::kUnreadable, 128, "cannot be read (Permission denied)"},
  };
  for (const Case& c : cases) {
    LibraryLoadResult result;
    result.fault = c.fault;
    result.file_size = 800;
    result.length_field = 900;
    result.header_count = 3;
    result.records_read = 2;
    result.reason = "Permission denied";
    const FaultWords words = LibraryFaultWords(result);
    EXPECT_EQ(words.text, c.text) << words.details;
    EXPECT_EQ(words.details, DescribeLibraryFault(result));
    EXPECT_NE(words.details.find(c.detail), std::string::npos) << words.details;
  }
}

TEST(FaultWords, NameEachPictureStoreFault) {
  const std::pair<PictureFault, int> cases[] = {{PictureFault::kLengthField, 123},
                                                {PictureFault::kShorterThanHeader, 127},
                                                {PictureFault::kDirectoryPastEnd, 129},
                                                {PictureFault::kEntryPastEnd, 129}};
  for (const auto& [fault, text] : cases) {
    PictureFileIntegrity check;
    check.fault = fault;
    check.file_size = 40;
    check.length_field = 64;
    check.count = 2;
    const FaultWords words = PictureStoreFaultWords(check);
    EXPECT_EQ(words.text, text) << words.details;
    EXPECT_EQ(words.details, DescribePictureFault(check));
  }
}

TEST(FaultWords, SayWhyAPictureFileIsRefused) {
  const fs::path dir = testing::ScratchDir("fault_words");
  const fs::path big = dir / "big.jpg";
  {
    std::ofstream out(big, std::ios::binary);
    out << std::string(kMaxPictureFileBytes + 5, 'x');
  }
  struct Case {
    PictureFileCheck check;
    fs::path file;
    int text;
    std::string details;
  };
  const Case cases[] = {
      {PictureFileCheck::kNotJpeg, dir / "remote.png", 65,
       "picture '" + (dir / "remote.png").string() + "': only JPEG files (.jpg, .jpeg) are accepted"},
      {PictureFileCheck::kTooLarge, big, 32,
       "picture '" + big.string() + "' has 102405 bytes; at most 102400 are accepted"},
      {PictureFileCheck::kMissing, dir / "gone.jpg", 0,
       "picture '" + (dir / "gone.jpg").string() + "' does not exist"},
  };
  for (const Case& c : cases) {
    const FaultWords words = PictureFileFaultWords(c.check, c.file);
    EXPECT_EQ(words.text, c.text) << c.details;
    EXPECT_EQ(words.details, c.details);
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace klimavo::store
