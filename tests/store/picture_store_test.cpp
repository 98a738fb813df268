#include "store/picture_store.h"

#include <gtest/gtest.h>

#include "base/file_error.h"
#include "file_test_support.h"

namespace klimavo::store {
namespace {

using testing::FileNames;
using testing::ReadBytes;
using testing::WriteBytes;

TMemPic_Info Info(std::vector<std::string> names, std::size_t picture_size, std::uint8_t fill = 0xD8) {
  TMemPic_Info info;
  info.Names = std::move(names);
  info.Picture.assign(picture_size, fill);
  return info;
}

std::string CodeOf(const base::Bytes& file, std::size_t index) {
  RawPictureEntry entry;
  EXPECT_TRUE(ReadPictureEntry(file, index, entry));
  std::string code(entry.Code.begin(), entry.Code.end());
  return code.substr(0, code.find('\0'));
}

std::uint32_t CountOf(const base::Bytes& file) { return base::ReadU32Le(&file[8]); }

class PictureStore : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::ScratchDir("pictures");
    store_ = dir_ / "picmem.dat";
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
  std::filesystem::path store_;
};

TEST_F(PictureStore, FirstEntryMakesThe1088ByteFile) {
  StorePicture("0149", Info({"KFR-35GW"}, 1000), store_);
  base::Bytes file = ReadBytes(store_);
  ASSERT_EQ(file.size(), 1088u);
  base::ByteReader in(file);
  EXPECT_EQ(in.u64(), 1088u);
  EXPECT_EQ(in.u32(), 1u);
  EXPECT_EQ(in.u32(), kPictureMagic);
  // Directory entry 0: code, name count, data offset, picture length.
  EXPECT_EQ(std::string(file.begin() + 32, file.begin() + 38), std::string("0149\0\0", 6));
  EXPECT_EQ(base::ReadU16Le(&file[38]), 1u);
  EXPECT_EQ(base::ReadU32Le(&file[40]), 56u);
  EXPECT_EQ(base::ReadU32Le(&file[48]), 1000u);
  EXPECT_EQ(std::string(file.begin() + 56, file.begin() + 64), "KFR-35GW");
  EXPECT_EQ(file[64], 0);
  EXPECT_EQ(file[88], 0xD8);
  EXPECT_EQ(FileNames(dir_), std::vector<std::string>{"picmem.dat"});  // no work file left

  TMemPic_Info back;
  ASSERT_TRUE(LoadPicture("0149", back, store_));
  EXPECT_EQ(back, Info({"KFR-35GW"}, 1000));
}

TEST_F(PictureStore, AStoredEntryMovesToTheFrontAndTheOthersKeepTheirOrder) {
  StorePicture("0149", Info({"A"}, 10), store_);
  StorePicture("0150", Info({"B"}, 20), store_);
  StorePicture("0151", Info({}, 30), store_);
  base::Bytes file = ReadBytes(store_);
  EXPECT_EQ(CodeOf(file, 0), "0151");
  EXPECT_EQ(CodeOf(file, 1), "0150");
  EXPECT_EQ(CodeOf(file, 2), "0149");
  StorePicture("0149", Info({"A", "A2"}, 5), store_);
  file = ReadBytes(store_);
  ASSERT_EQ(CountOf(file), 3u);
  EXPECT_EQ(CodeOf(file, 0), "0149");
  EXPECT_EQ(CodeOf(file, 1), "0151");
  EXPECT_EQ(CodeOf(file, 2), "0150");
  TMemPic_Info b;
  ASSERT_TRUE(LoadPicture("0150", b, store_));
  EXPECT_EQ(b, Info({"B"}, 20));
}

TEST_F(PictureStore, RemovingACodeWithoutAnEntryLeavesTheFileByteForByte) {
  StorePicture("0149", Info({"A"}, 10), store_);
  base::Bytes before = ReadBytes(store_);
  StorePicture("0150", TMemPic_Info{}, store_);
  EXPECT_EQ(ReadBytes(store_), before);
  EXPECT_EQ(FileNames(dir_), std::vector<std::string>{"picmem.dat"});

  std::filesystem::remove(store_);
  StorePicture("0150", TMemPic_Info{}, store_);
  EXPECT_FALSE(std::filesystem::exists(store_));
}

TEST_F(PictureStore, RemovingTheOnlyCodeLeavesAnEmpty32ByteFile) {
  StorePicture("0149", Info({"A"}, 10), store_);
  StorePicture("0149", TMemPic_Info{}, store_);
  base::Bytes file = ReadBytes(store_);
  ASSERT_EQ(file.size(), 32u);
  EXPECT_EQ(base::ReadU32Le(&file[0]), 32u);
  EXPECT_EQ(CountOf(file), 0u);
  EXPECT_EQ(base::ReadU32Le(&file[12]), kPictureMagic);
}

TEST_F(PictureStore, NamesAreCutTo32BytesWithoutSplittingACharacter) {
  const std::string forty(40, 'M');
  const std::string gbk_end = std::string(31, 'x') + "\xD6\xC6";  // 31 bytes + one two-byte character
  StorePicture("0149", Info({forty, gbk_end, "  padded  "}, 0), store_);
  TMemPic_Info back;
  ASSERT_TRUE(LoadPicture("0149", back, store_));
  EXPECT_EQ(back.Names, (std::vector<std::string>{std::string(32, 'M'), std::string(31, 'x'), "padded"}));
  EXPECT_EQ(ReadBytes(store_).size(), 32u + 24 + 3 * 32);
}

TEST_F(PictureStore, LookupComparesTheLengthOfTheAskedCodeAndPrefersAnExactEntry) {
  StorePicture("1000", Info({"exact"}, 1), store_);
  StorePicture("10000", Info({"longer"}, 2), store_);  // now first in the file
  StorePicture("0149", Info({"0149"}, 3), store_);
  struct Case {
    const char* code;
    bool found;
    const char* name;
  };
  const Case cases[] = {
      {"0149", true, "0149"},  {"014", true, "0149"}, {"1000", true, "exact"}, {"10000", true, "longer"},
      {"100", true, "longer"}, {"0148", false, ""},   {"", false, ""},
  };
  for (const auto& c : cases) {
    TMemPic_Info info;
    EXPECT_EQ(LoadPicture(c.code, info, store_), c.found) << c.code;
    if (c.found) {
      EXPECT_EQ(info.Names, std::vector<std::string>{c.name}) << c.code;
    }
  }
  // Storing under "1000" replaces its own entry, never the one of "10000".
  StorePicture("1000", Info({"new"}, 4), store_);
  TMemPic_Info longer;
  ASSERT_TRUE(LoadPicture("10000", longer, store_));
  EXPECT_EQ(longer.Names, std::vector<std::string>{"longer"});
  EXPECT_EQ(CountOf(ReadBytes(store_)), 3u);
}

TEST_F(PictureStore, EmptyCodeStoresNothing) {
  StorePicture("0149", Info({"A"}, 10), store_);
  base::Bytes before = ReadBytes(store_);
  StorePicture("", TMemPic_Info{}, store_);
  StorePicture("", Info({"B"}, 1), store_);
  EXPECT_EQ(ReadBytes(store_), before);
}

// Malformed files: lookups fail (or drop only the picture) and never read out of bounds.
TEST(FindPictureEntry, MalformedFiles) {
  const base::Bytes good = PictureFileBytes({MakeRawEntry("0149", Info({"A", "B"}, 8))});
  ASSERT_EQ(good.size(), 32u + 24 + 64 + 8);
  struct Case {
    const char* what;
    base::Bytes file;
    int expected;
    std::size_t picture;
  };
  auto patched = [&](std::size_t at, std::uint32_t value, std::size_t cut = 0) {
    base::Bytes f = good;
    base::WriteU32Le(&f[at], value);
    f.resize(f.size() - cut);
    base::WriteU32Le(&f[0], static_cast<std::uint32_t>(f.size()));
    return f;
  };
  auto names_patched = [&](std::uint16_t count) {
    base::Bytes f = good;
    base::WriteU16Le(&f[38], count);
    return f;
  };
  base::Bytes wrong_length = good;
  wrong_length[0] += 1;
  const Case cases[] = {
      {"good", good, 0, 8},
      {"length field wrong", wrong_length, -1, 0},
      {"shorter than the header", base::Bytes(good.begin(), good.begin() + 20), -1, 0},
      {"count beyond the directory", patched(8, 5000), 0, 8},
      {"directory cut short", patched(8, 2, good.size() - 40), -1, 0},
      {"offset past the end", patched(40, 100000), -1, 0},
      {"names past the end", names_patched(7), -1, 0},
      {"picture past the end", patched(48, 9), 0, 0},
      {"empty file", base::Bytes{}, -1, 0},
  };
  for (const auto& c : cases) {
    TMemPic_Info info;
    EXPECT_EQ(FindPictureEntry(c.file, "0149", info), c.expected) << c.what;
    EXPECT_EQ(info.Picture.size(), c.picture) << c.what;
  }
}

TEST(CheckPictureFile, LengthFieldAndEntriesMustAddUp) {
  const base::Bytes good =
      PictureFileBytes({MakeRawEntry("0149", Info({"A", "B"}, 8)), MakeRawEntry("0150", Info({"C"}, 20))});
  auto with_length = [](base::Bytes f) {
    base::WriteU32Le(&f[0], static_cast<std::uint32_t>(f.size()));
    return f;
  };
  auto patched = [&](std::size_t at, std::uint32_t value) {
    base::Bytes f = good;
    base::WriteU32Le(&f[at], value);
    return f;
  };
  base::Bytes ten_missing(good.begin(), good.end() - 10);
  const std::size_t second = 32 + 24;  // the directory entry of 0150
  struct Case {
    const char* what;
    base::Bytes file;
    PictureFault fault;
  };
  const Case cases[] = {
      {"good", good, PictureFault::kNone},
      {"empty file", {}, PictureFault::kNone},
      {"ten bytes missing", ten_missing, PictureFault::kLengthField},
      {"length field one more", patched(0, static_cast<std::uint32_t>(good.size() + 1)),
       PictureFault::kLengthField},
      {"shorter than the header", base::Bytes(good.begin(), good.begin() + 20),
       PictureFault::kShorterThanHeader},
      {"count beyond the directory", patched(8, 5000), PictureFault::kDirectoryPastEnd},
      {"offset past the end", patched(second + 8, 100000), PictureFault::kEntryPastEnd},
      {"picture past the end", patched(second + 16, 21), PictureFault::kEntryPastEnd},
      {"ten bytes missing, length field as written", with_length(ten_missing), PictureFault::kEntryPastEnd},
  };
  for (const auto& c : cases) {
    PictureFileIntegrity check = CheckPictureFile(c.file);
    EXPECT_EQ(check.fault, c.fault) << c.what;
    if (c.fault == PictureFault::kEntryPastEnd) {
      EXPECT_EQ(check.entry, 1u) << c.what;
    }
  }
  EXPECT_EQ(DescribePictureFault(CheckPictureFile(ten_missing)),
            "its length field reads " + std::to_string(good.size()) + " bytes but the file has " +
                std::to_string(ten_missing.size()));
}

TEST_F(PictureStore, ADamagedStoreIsNeverRewritten) {
  const base::Bytes good =
      PictureFileBytes({MakeRawEntry("0149", Info({"A"}, 8)), MakeRawEntry("0151", Info({"C"}, 8))});
  base::Bytes count_beyond = good;
  base::WriteU32Le(&count_beyond[8], 100000000);
  base::Bytes offset_beyond = good;
  base::WriteU32Le(&offset_beyond[32 + 24 + 8], 0x7FFFFFFF);
  const base::Bytes damaged[] = {base::Bytes(good.begin(), good.end() - 10), count_beyond, offset_beyond};
  for (const base::Bytes& file : damaged) {
    WriteBytes(store_, file);
    // Storing, replacing and removing: each refuses and names the file and the fault.
    for (const auto& [code, info] : {std::pair{"0150", Info({"B"}, 2)}, std::pair{"0149", Info({"B"}, 2)},
                                     std::pair{"0151", TMemPic_Info{}}, std::pair{"0999", TMemPic_Info{}}}) {
      try {
        StorePicture(code, info, store_);
        ADD_FAILURE() << "a damaged store was changed for " << code;
      } catch (const base::FileError& e) {
        EXPECT_NE(std::string(e.what()).find(store_.string()), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("damaged"), std::string::npos) << e.what();
      }
    }
    EXPECT_EQ(ReadBytes(store_), file);
    EXPECT_EQ(FileNames(dir_), std::vector<std::string>{"picmem.dat"});
  }
}

TEST_F(PictureStore, StoringSaysWhatItDidAndRemovesOnlyAnEntryOfExactlyThatCode) {
  StorePicture("0149", Info({"A"}, 10), store_);
  const base::Bytes before = ReadBytes(store_);
  struct Case {
    const char* code;
    TMemPic_Info info;
    PictureChange change;
  };
  const Case cases[] = {
      {"01", {}, PictureChange::kUnchanged},  // "01" finds 0149 on lookup, but stores nothing under 01
      {"", Info({"X"}, 1), PictureChange::kUnchanged},
      {"0150", {}, PictureChange::kUnchanged},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StorePicture(c.code, c.info, store_), c.change) << c.code;
    EXPECT_EQ(ReadBytes(store_), before) << c.code;
  }
  EXPECT_EQ(StorePicture("0150", Info({"B"}, 2), store_), PictureChange::kStored);
  EXPECT_EQ(StorePicture("0150", Info({"B2"}, 2), store_), PictureChange::kStored);
  EXPECT_EQ(StorePicture("0149", {}, store_), PictureChange::kRemoved);
  EXPECT_EQ(StorePicture("0149", {}, store_), PictureChange::kUnchanged);
  EXPECT_EQ(CountOf(ReadBytes(store_)), 1u);
}

TEST_F(PictureStore, ManyEditsInOneRewriteGiveWhatOneByOneGives) {
  StorePicture("0001", Info({"one"}, 5), store_);
  StorePicture("0002", Info({"two"}, 6), store_);
  StorePicture("0003", Info({}, 7), store_);
  const base::Bytes start = ReadBytes(store_);
  const std::vector<PictureEdit> edits = {
      {"0004", Info({"four"}, 8)}, {"0002", {}},
      {"0001", Info({"uno"}, 9)},  {"0009", {}},
      {"0005", Info({}, 3)},       {"0004", Info({"4"}, 1)},
      {"", Info({"none"}, 1)},
  };
  std::vector<PictureChange> changes;
  const base::Bytes batch = PictureFileWithEdits(start, edits, store_, changes);
  std::vector<PictureChange> one_by_one;
  for (const PictureEdit& edit : edits) one_by_one.push_back(StorePicture(edit.code, edit.info, store_));
  EXPECT_EQ(batch, ReadBytes(store_));
  EXPECT_EQ(changes, one_by_one);
  EXPECT_EQ(changes, (std::vector<PictureChange>{PictureChange::kStored, PictureChange::kRemoved,
                                                 PictureChange::kStored, PictureChange::kUnchanged,
                                                 PictureChange::kStored, PictureChange::kStored,
                                                 PictureChange::kUnchanged}));
}

TEST_F(PictureStore, AnExportTakesWhatADamagedStoreStillHolds) {
  const base::Bytes good =
      PictureFileBytes({MakeRawEntry("0149", Info({"A"}, 10)), MakeRawEntry("0150", Info({"B"}, 10))});
  WriteBytes(store_, base::Bytes(good.begin(), good.end() - 4));  // the last picture is cut
  auto target = dir_ / "out.dat";
  ExportPictures({"0149", "0150"}, store_, target);
  TMemPic_Info info;
  EXPECT_EQ(FindPictureEntry(ReadBytes(target), "0149", info), 0);
  EXPECT_EQ(info, Info({"A"}, 10));
  EXPECT_EQ(FindPictureEntry(ReadBytes(target), "0150", info), 1);
  EXPECT_TRUE(info.Empty());
  struct Case {
    const char* code;
    SalvagedEntry result;
  };
  const base::Bytes cut(good.begin(), good.end() - 4);
  for (const Case& c : {Case{"0149", SalvagedEntry::kFound}, Case{"0150", SalvagedEntry::kDamaged},
                        Case{"0151", SalvagedEntry::kDamaged}}) {
    EXPECT_EQ(SalvagePictureEntry(cut, c.code, info), c.result) << c.code;
  }
  EXPECT_EQ(SalvagePictureEntry(good, "0151", info), SalvagedEntry::kNotFound);
}

TEST_F(PictureStore, AWriteThatFailsPartWayLeavesTheOldStoreAndNoWorkFile) {
  StorePicture("0149", Info({"A"}, 100), store_);
  base::Bytes before = ReadBytes(store_);
  {
    testing::FileSizeLimit limit(4096);
    EXPECT_THROW(StorePicture("0150", Info({"B"}, 50000), store_), base::FileError);
  }
  EXPECT_EQ(ReadBytes(store_), before);
  EXPECT_EQ(FileNames(dir_), std::vector<std::string>{"picmem.dat"});
}

TEST_F(PictureStore, ExportWritesOneEntryPerCodeInOrderEmptyWhenThereIsNone) {
  StorePicture("0149", Info({"A"}, 10), store_);
  StorePicture("0150", Info({"B", "C"}, 20), store_);
  auto target = dir_ / "out.dat";
  EXPECT_EQ(ExportPictures({"0149", "0999", "0150"}, store_, target), 3);
  base::Bytes file = ReadBytes(target);
  ASSERT_EQ(file.size(), 32u + 3 * 24 + 32 + 10 + 64 + 20);
  EXPECT_EQ(CountOf(file), 3u);
  EXPECT_EQ(CodeOf(file, 0), "0149");
  EXPECT_EQ(CodeOf(file, 1), "0999");
  EXPECT_EQ(CodeOf(file, 2), "0150");
  TMemPic_Info info;
  EXPECT_EQ(FindPictureEntry(file, "0999", info), 1);
  EXPECT_TRUE(info.Empty());
  EXPECT_EQ(FindPictureEntry(file, "0150", info), 2);
  EXPECT_EQ(info, Info({"B", "C"}, 20));

  EXPECT_EQ(ExportPictures({"0001"}, dir_ / "missing.dat", target), 1);
  EXPECT_EQ(ReadBytes(target).size(), 32u + 24);
}

TEST_F(PictureStore, PictureFilesMustBeJpegByNameAndAtMost102400Bytes) {
  struct Case {
    const char* name;
    std::size_t size;
    PictureFileCheck expected;
  };
  const Case cases[] = {
      {"remote.jpg", 10, PictureFileCheck::kOk},
      {"remote.JPG", 102400, PictureFileCheck::kOk},
      {"remote.jpeg", 1, PictureFileCheck::kOk},
      {"remote.JpEg", 0, PictureFileCheck::kOk},
      {"remote.JPEG", 102401, PictureFileCheck::kTooLarge},
      {"remote.png", 10, PictureFileCheck::kNotJpeg},
      {"remote", 10, PictureFileCheck::kNotJpeg},
      {"remote.jpg.bak", 10, PictureFileCheck::kNotJpeg},
  };
  for (const auto& c : cases) {
    auto file = dir_ / c.name;
    WriteBytes(file, base::Bytes(c.size, 0xAB));
    base::Bytes bytes;
    EXPECT_EQ(ReadPictureFile(file, bytes), c.expected) << c.name;
    EXPECT_EQ(bytes.size(), c.expected == PictureFileCheck::kOk ? c.size : 0) << c.name;
    std::filesystem::remove(file);
  }
  base::Bytes bytes;
  EXPECT_EQ(ReadPictureFile(dir_ / "missing.jpg", bytes), PictureFileCheck::kMissing);
}

}  // namespace
}  // namespace klimavo::store
