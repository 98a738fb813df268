#include "store/exchange_file.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "base/file_error.h"
#include "file_test_support.h"
#include "store/picture_store.h"

namespace klimavo::store {
namespace {

using testing::FileNames;
using testing::ReadBytes;
using testing::WriteBytes;

constexpr std::size_t kLibraryHeader = 29;
constexpr std::size_t kLineCountTable = 32;
constexpr std::size_t kStoredLine = 389;

LibraryRecord MakeRecord(const std::string& brand, const std::string& code, std::size_t lines) {
  LibraryRecord entry;
  entry.Record.Brand.assign(brand);
  entry.Record.CodeNo.assign(code);
  entry.Record.KeyCount = 1;
  entry.Record.Keys[0].Name.assign("Power");
  TGrdDataLine line;
  line.Data = {0xA5, 0x5A};
  line.Repeat = 1;
  entry.Lines.assign(1, TGrdLines(lines, line));
  return entry;
}

// Two workbench homes: the one that exports and the one that imports.
class ExchangeFile : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testing::ScratchDir("exchange");
    from_ = root_ / "from";
    to_ = root_ / "to";
    std::filesystem::create_directories(from_);
    std::filesystem::create_directories(to_);
  }
  void TearDown() override { std::filesystem::remove_all(root_); }
  std::filesystem::path root_, from_, to_;
};

TEST_F(ExchangeFile, OneRecordWithoutPictureGivesBothPartsAndNoWorkFiles) {
  ProtocolLibrary library(from_ / "acprotocl.dat");
  library.MutableRecords().push_back(MakeRecord("Gree", "0149", 2));
  auto target = root_ / "one.acpf";
  ExportRecords(library, {0}, from_, target);
  base::Bytes file = ReadBytes(target);
  const std::uint64_t l1 = kLibraryHeader + TdiskAir::kSize + kLineCountTable + 2 * kStoredLine;
  const std::uint64_t l2 = kPictureHeaderSize + kPictureDirEntrySize;
  ASSERT_EQ(file.size(), 16 + l1 + l2);
  base::ByteReader in(file);
  EXPECT_EQ(in.u64(), l1);
  EXPECT_EQ(in.u64(), l2);
  ExchangeParts parts;
  ASSERT_TRUE(SplitExchangeFile(file, parts));
  TMemPic_Info info;
  EXPECT_EQ(FindPictureEntry(parts.pictures, "0149", info), 0);
  EXPECT_TRUE(info.Empty());
  EXPECT_TRUE(FileNames(from_).empty());  // tmp1.tmp and tmp2.tmp are gone
}

TEST_F(ExchangeFile, ImportAppendsWithNewCodesAndCarriesThePictures) {
  ProtocolLibrary source(from_ / "acprotocl.dat");
  source.MutableRecords().push_back(MakeRecord("Gree", "0149", 1));
  source.MutableRecords().push_back(MakeRecord("Midea", "0007", 3));
  TMemPic_Info picture;
  picture.Names = {"KFR-26GW"};
  picture.Picture = {0xFF, 0xD8, 0xFF, 0xE0};
  StorePicture("0007", picture, from_ / "picmem.dat");
  auto target = root_ / "two.acpf";
  ExportRecords(source, {1, 0}, from_, target);

  ProtocolLibrary library(to_ / "acprotocl.dat");
  library.MutableRecords().push_back(MakeRecord("Haier", "0150", 0));
  ImportResult first = ImportRecords(library, to_, target);
  EXPECT_TRUE(first.valid_file);
  EXPECT_EQ(first.count, 2);
  EXPECT_EQ(first.first_new_code, "0151");
  ASSERT_EQ(library.Size(), 3);
  EXPECT_EQ(library.Records()[1].Record.Brand.str(), "Midea");
  EXPECT_EQ(library.Records()[1].Record.CodeNo.str(), "0151");
  EXPECT_EQ(library.Records()[1].Lines, source.Records()[1].Lines);
  EXPECT_EQ(library.Records()[2].Record.CodeNo.str(), "0152");
  TMemPic_Info back;
  ASSERT_TRUE(LoadPicture("0151", back, to_ / "picmem.dat"));
  EXPECT_EQ(back, picture);
  EXPECT_FALSE(LoadPicture("0152", back, to_ / "picmem.dat"));

  // The same file again: the records come twice, with codes after the maximum.
  ImportResult second = ImportRecords(library, to_, target);
  EXPECT_EQ(second.count, 2);
  EXPECT_EQ(second.first_new_code, "0153");
  EXPECT_EQ(library.Records()[4].Record.CodeNo.str(), "0154");
  ASSERT_TRUE(LoadPicture("0153", back, to_ / "picmem.dat"));

  // The library file on disk agrees with memory.
  TdiskAirList on_disk;
  ASSERT_TRUE(LoadLibraryFile(to_ / "acprotocl.dat", on_disk));
  EXPECT_EQ(on_disk.size(), 5u);
  EXPECT_EQ(FileNames(to_), (std::vector<std::string>{"acprotocl.dat", "picmem.dat"}));
}

TEST_F(ExchangeFile, MalformedFilesAreRefusedBeforeAnythingIsTouched) {
  ProtocolLibrary library(to_ / "acprotocl.dat");
  library.MutableRecords().push_back(MakeRecord("Haier", "0150", 0));
  auto header = [](std::uint64_t l1, std::uint64_t l2, std::size_t body) {
    base::ByteWriter out;
    out.u64(l1);
    out.u64(l2);
    out.zeros(body);
    return out.take();
  };
  struct Case {
    const char* what;
    base::Bytes file;
  };
  const Case cases[] = {
      {"15 bytes", base::Bytes(15, 0)},
      {"7 bytes", base::Bytes(7, 0)},
      {"L2 one too small", header(10, 5, 16)},
      {"L2 one too large", header(10, 7, 16)},
      {"L1 beyond the file", header(100, 0, 16)},
      {"lengths that wrap around", header(0xFFFFFFFFFFFFFFF0ull, 0x20, 16)},
  };
  for (const auto& c : cases) {
    auto path = root_ / "bad.acpf";
    WriteBytes(path, c.file);
    ImportResult result = ImportRecords(library, to_, path);
    EXPECT_FALSE(result.valid_file) << c.what;
    EXPECT_EQ(result.count, 0) << c.what;
    EXPECT_EQ(library.Size(), 1) << c.what;
    EXPECT_TRUE(FileNames(to_).empty()) << c.what;
  }
  EXPECT_FALSE(ImportRecords(library, to_, root_ / "missing.acpf").valid_file);
}

TEST_F(ExchangeFile, ARecordPartTheLoaderRejectsImportsNothing) {
  ProtocolLibrary library(to_ / "acprotocl.dat");
  library.MutableRecords().push_back(MakeRecord("Haier", "0150", 0));
  base::ByteWriter out;
  out.u64(40);
  out.u64(0);
  out.zeros(40);  // a library part whose length field reads 0
  auto path = root_ / "empty-records.acpf";
  WriteBytes(path, out.take());
  ImportResult result = ImportRecords(library, to_, path);
  EXPECT_TRUE(result.valid_file);
  EXPECT_EQ(result.count, 0);
  EXPECT_EQ(result.first_new_code, "");
  EXPECT_EQ(library.Size(), 1);
  EXPECT_FALSE(std::filesystem::exists(to_ / "tmp1.tmp"));
  EXPECT_FALSE(std::filesystem::exists(to_ / "tmp2.tmp"));
}

TEST_F(ExchangeFile, ExportRefusesIndexesOutsideTheLibraryAndWritesNothingForNone) {
  ProtocolLibrary library(from_ / "acprotocl.dat");
  library.MutableRecords().push_back(MakeRecord("Gree", "0149", 0));
  auto target = root_ / "x.acpf";
  EXPECT_THROW(ExportRecords(library, {0, 1}, from_, target), std::out_of_range);
  EXPECT_THROW(ExportRecords(library, {-1}, from_, target), std::out_of_range);
  ExportRecords(library, {}, from_, target);
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_TRUE(FileNames(from_).empty());
}

TEST_F(ExchangeFile, AnExportThatFailsPartWayLeavesTheOldTargetAndNoWorkFiles) {
  ProtocolLibrary library(from_ / "acprotocl.dat");
  library.MutableRecords().push_back(MakeRecord("Gree", "0149", 0));
  auto target = root_ / "old.acpf";
  WriteBytes(target, base::Bytes(100, 0x42));
  for (rlim_t limit :
       {rlim_t{50}, rlim_t{10100}}) {  // fails in the record part, then in the target (10158 bytes)
    {
      testing::FileSizeLimit guard(limit);
      EXPECT_THROW(ExportRecords(library, {0}, from_, target), base::FileError) << limit;
    }
    EXPECT_EQ(ReadBytes(target), base::Bytes(100, 0x42)) << limit;
    EXPECT_TRUE(FileNames(from_).empty()) << limit;
  }
}

// Exports once shared the work files data/tmp1.tmp and tmp2.tmp: parallel
// exports wrote each other's records, and a folder under either name stopped
// every export. An export now builds its file in memory.
TEST_F(ExchangeFile, ExportsRunningAtOnceEachWriteTheirOwnRecordsAndUseNoWorkFile) {
  std::filesystem::create_directories(from_ / "tmp1.tmp");
  std::filesystem::create_directories(from_ / "tmp2.tmp");
  ProtocolLibrary library(from_ / "acprotocl.dat");
  for (int i = 0; i < 4; ++i)
    library.MutableRecords().push_back(MakeRecord("Brand", "010" + std::to_string(i), 1));
  std::vector<std::thread> exporters;
  for (int i = 0; i < 4; ++i)
    exporters.emplace_back([&, i] {
      for (int round = 0; round < 10; ++round)
        ExportRecords(library, {i}, from_, root_ / ("out" + std::to_string(i) + ".acpf"));
    });
  for (auto& t : exporters) t.join();
  for (int i = 0; i < 4; ++i) {
    const base::Bytes exported = ReadBytes(root_ / ("out" + std::to_string(i) + ".acpf"));
    ExchangeParts parts;
    ASSERT_TRUE(SplitExchangeFile(exported, parts)) << i;
    TdiskAirList records;
    ASSERT_TRUE(ParseLibraryBytes(parts.records, records)) << i;
    ASSERT_EQ(records.size(), 1u) << i;
    EXPECT_EQ(records[0].Record.CodeNo.str(), "010" + std::to_string(i));
  }
  EXPECT_EQ(FileNames(from_), (std::vector<std::string>{"tmp1.tmp", "tmp2.tmp"}));
}

TEST_F(ExchangeFile, AnExportFromADamagedPictureStoreNamesThePicturesItLeftOut) {
  ProtocolLibrary library(from_ / "acprotocl.dat");
  library.MutableRecords().push_back(MakeRecord("Gree", "0149", 1));
  library.MutableRecords().push_back(MakeRecord("Midea", "0150", 1));
  TMemPic_Info a{{"A"}, base::Bytes(10, 1)};
  TMemPic_Info b{{"B"}, base::Bytes(10, 2)};
  const base::Bytes good = PictureFileBytes({MakeRawEntry("0149", a), MakeRawEntry("0150", b)});
  WriteBytes(from_ / "picmem.dat", base::Bytes(good.begin(), good.end() - 4));  // 0150's picture is cut
  const ExportResult result = ExportRecords(library, {0, 1}, from_, root_ / "two.acpf");
  EXPECT_EQ(result.count, 2);
  EXPECT_EQ(result.pictures_left_out, std::vector<std::string>{"0150"});
  WriteBytes(from_ / "picmem.dat", good);
  EXPECT_TRUE(ExportRecords(library, {0, 1}, from_, root_ / "two.acpf").pictures_left_out.empty());
}

TEST_F(ExchangeFile, TheImportMessageNamesTheCountAndTheFirstNewCode) {
  std::filesystem::create_directories(to_ / "data");
  testing::WriteBytes(to_ / "data" / "Language.ini", base::Bytes{'[', '1', ']', '\n', 'c', 'o', 'n', '_', 's',
                                                                 't', 'r', '0', '1', '0', '=', 'N', ':'});
  lang::Language language(to_, 1);
  ImportResult none;
  none.valid_file = true;
  EXPECT_EQ(ImportResultText(none, language), "N:0");
  ImportResult two;
  two.valid_file = true;
  two.count = 2;
  two.first_new_code = "0151";
  EXPECT_EQ(ImportResultText(two, language), "N:2,Code No Start:0151");
}

}  // namespace
}  // namespace klimavo::store
