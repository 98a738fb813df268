#include "store/library_and_pictures.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "base/atomic_file.h"
#include "base/file_error.h"
#include "file_test_support.h"
#include "store/exchange_file.h"
#include "store/picture_store.h"

namespace klimavo::store {
namespace {

using testing::FileNames;
using testing::ReadBytes;
using testing::WriteBytes;
namespace fs = std::filesystem;

LibraryRecord MakeRecord(const std::string& code) {
  LibraryRecord entry;
  InitRecord(entry.Record, 45000);
  entry.Record.Brand.assign("Gree");
  entry.Record.CodeNo.assign(code);
  entry.Record.KeyCount = 1;
  entry.Record.Keys[0].Name.assign("Power");
  TGrdDataLine line;
  line.Data = {0xA5, 0x5A};
  entry.Lines.assign(1, TGrdLines(2, line));
  return entry;
}

TMemPic_Info Picture(const std::string& name, std::size_t size) {
  TMemPic_Info info;
  info.Names = {name};
  info.Picture.assign(size, 0xD8);
  return info;
}

// A home's data folder with three records, two of them with pictures, and an
// exchange file of two records with pictures.
class LibraryAndPictures : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing::ScratchDir("library_pictures");
    data_ = dir_ / "data";
    fs::create_directories(data_);
    library_file_ = data_ / kLibraryFileName;
    pictures_ = data_ / std::string(kPictureStoreFileName);
    SaveLibraryFile({MakeRecord("0001"), MakeRecord("0002"), MakeRecord("0003")}, library_file_);
    StorePicture("0001", Picture("one", 100), pictures_);
    StorePicture("0003", Picture("three", 100), pictures_);

    const fs::path other = dir_ / "other";
    fs::create_directories(other);
    ProtocolLibrary source(other / kLibraryFileName);
    source.MutableRecords() = {MakeRecord("0777"), MakeRecord("0778")};
    StorePicture("0777", Picture("seven", 5000), other / std::string(kPictureStoreFileName));
    StorePicture("0778", Picture("eight", 5000), other / std::string(kPictureStoreFileName));
    exchange_ = dir_ / "two.acpf";
    ExportRecords(source, {0, 1}, other, exchange_);
    fs::remove_all(other);

    library_before_ = ReadBytes(library_file_);
    pictures_before_ = ReadBytes(pictures_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  ProtocolLibrary Loaded() const {
    ProtocolLibrary library(library_file_);
    EXPECT_TRUE(library.Load());
    return library;
  }
  void ExpectUnchanged(const ProtocolLibrary& library) const {
    EXPECT_EQ(ReadBytes(library_file_), library_before_);
    EXPECT_EQ(ReadBytes(pictures_), pictures_before_);
    EXPECT_EQ(library.Size(), 3);
  }
  // Runs `change` in a child whose files may not grow past `limit` bytes;
  // true when it failed with a file error.
  template <class Change>
  bool FailsOnAFullDisk(rlim_t limit, Change change) {
    pid_t pid = ::fork();
    if (pid == 0) {
      testing::FileSizeLimit guard(limit);
      try {
        change();
      } catch (const base::FileError&) {
        ::_exit(3);
      }
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 3;
  }

  fs::path dir_, data_, library_file_, pictures_, exchange_;
  base::Bytes library_before_, pictures_before_;
};

TEST_F(LibraryAndPictures, DeleteRemovesTheRecordsAndTheirPicturesTogether) {
  ProtocolLibrary library = Loaded();
  DeleteRecordsWithPictures(library, {0, 1}, pictures_);
  ASSERT_EQ(library.Size(), 1);
  EXPECT_EQ(Loaded().Records()[0].Record.CodeNo.str(), "0003");
  TMemPic_Info info;
  EXPECT_FALSE(LoadPicture("0001", info, pictures_));
  EXPECT_TRUE(LoadPicture("0003", info, pictures_));
  EXPECT_FALSE(library.ChangedOnDisk());
}

// A process killed between the two renames leaves the first file new and the
// second old. That may leave pictures no record shows, never a record whose
// picture is gone: added records go in last, removed records go out first.
TEST(ReplacementOrder, AKillBetweenTheRenamesNeverLeavesARecordWithoutItsPicture) {
  const base::Bytes bytes{1};
  const base::FileReplacement library{"acprotocl.dat", bytes};
  const base::FileReplacement pictures{"picmem.dat", bytes};
  struct Case {
    StoreChange change;
    const char* first;
  };
  for (const Case& c :
       {Case{StoreChange::kAddsRecords, "picmem.dat"}, Case{StoreChange::kRemovesRecords, "acprotocl.dat"}}) {
    const std::vector<base::FileReplacement> order = ReplacementOrder(c.change, library, pictures);
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order.front().path, c.first);
    EXPECT_NE(order.back().path, c.first);
  }
}

TEST_F(LibraryAndPictures, ADeleteOrImportThatCannotBeWrittenChangesNeitherFile) {
  // Each write fails part-way on a full disk, before any file is replaced.
  const struct {
    const char* what;
    rlim_t limit;
    bool import;
  } cases[] = {
      {"delete, picture store too large", 100, false},
      {"import, pictures too large", 8000, true},  // the new store has about 10.5 KB
      {"import, library too large", 30000, true},  // the new library has 54 KB
  };
  for (const auto& c : cases) {
    ProtocolLibrary library = Loaded();
    EXPECT_TRUE(FailsOnAFullDisk(c.limit, [&] {
      if (c.import)
        ImportRecords(library, data_, exchange_);
      else
        DeleteRecordsWithPictures(library, {0}, pictures_);
    })) << c.what;
    ExpectUnchanged(library);
    EXPECT_EQ(FileNames(data_), (std::vector<std::string>{"acprotocl.dat", "picmem.dat"})) << c.what;
  }
}

TEST_F(LibraryAndPictures, AnImportIntoAnUnwritablePictureStoreChangesNothingAndCanBeRetried) {
  ProtocolLibrary library = Loaded();
  // A folder where the picture store should be: its replacement fails.
  fs::remove(pictures_);
  fs::create_directories(pictures_);
  EXPECT_THROW(ImportRecords(library, data_, exchange_), base::FileError);
  EXPECT_EQ(ReadBytes(library_file_), library_before_);
  EXPECT_EQ(library.Size(), 3);
  EXPECT_EQ(Loaded().Size(), 3);
  // Once the store can be written, the retry imports the records once.
  fs::remove_all(pictures_);
  ImportResult result = ImportRecords(library, data_, exchange_);
  EXPECT_EQ(result.count, 2);
  EXPECT_EQ(Loaded().Size(), 5);
  TMemPic_Info info;
  EXPECT_TRUE(LoadPicture("0004", info, pictures_));
  EXPECT_EQ(info.Names, std::vector<std::string>{"seven"});
  EXPECT_TRUE(LoadPicture("0005", info, pictures_));
}

TEST_F(LibraryAndPictures, ADamagedPictureStoreStopsADeleteOrAnImportWithPictures) {
  base::Bytes damaged = pictures_before_;
  damaged.resize(damaged.size() - 10);
  WriteBytes(pictures_, damaged);
  pictures_before_ = damaged;
  ProtocolLibrary library = Loaded();
  EXPECT_THROW(DeleteRecordsWithPictures(library, {0}, pictures_), base::FileError);
  EXPECT_THROW(ImportRecords(library, data_, exchange_), base::FileError);
  ExpectUnchanged(library);
}

TEST_F(LibraryAndPictures, LinkedFilesAreWrittenThroughTheirLinks) {
  // The library and the picture store live elsewhere; the home holds links.
  const fs::path shared = dir_ / "shared";
  fs::create_directories(shared);
  fs::rename(library_file_, shared / "acprotocl.dat");
  fs::rename(pictures_, shared / "picmem.dat");
  fs::create_symlink("../shared/acprotocl.dat", library_file_);
  fs::create_symlink(shared / "picmem.dat", pictures_);
  ProtocolLibrary library = Loaded();
  {
    StoreLock lock(library_file_, pictures_);
    EXPECT_EQ(ImportRecords(library, data_, exchange_).count, 2);
    DeleteRecordsWithPictures(library, {0}, pictures_);
    library.StoreRecord(MakeRecord("0900").Record, {{}}, -1);
    StorePicture("0900", Picture("nine", 10), pictures_);
  }
  EXPECT_TRUE(fs::is_symlink(library_file_));
  EXPECT_TRUE(fs::is_symlink(pictures_));
  ProtocolLibrary through_link = Loaded();
  EXPECT_EQ(through_link.Size(), 5);
  EXPECT_EQ(through_link.Records().back().Record.CodeNo.str(), "0900");
  TMemPic_Info info;
  EXPECT_TRUE(LoadPicture("0900", info, shared / "picmem.dat"));
  EXPECT_FALSE(LoadPicture("0001", info, shared / "picmem.dat"));
  // The locks and every temporary file sit beside the real files.
  EXPECT_EQ(FileNames(data_), (std::vector<std::string>{"acprotocl.dat", "picmem.dat"}));
  EXPECT_EQ(FileNames(shared), (std::vector<std::string>{"acprotocl.dat", "acprotocl.dat.lock", "picmem.dat",
                                                         "picmem.dat.lock"}));
}

TEST_F(LibraryAndPictures, TheLockRemovesWhatAKilledSaveLeftBehind) {
  // A save killed part-way (SIGXFSZ) leaves its temporary file.
  pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGXFSZ, SIG_DFL);
    rlimit limit{5000, 5000};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    SaveLibraryFile({MakeRecord("0001"), MakeRecord("0002")}, library_file_);
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));
  WriteBytes(data_ / ".picmem.dat.k1ll3d", base::Bytes(10, 1));
  WriteBytes(data_ / ".templet.apf.Ab12Cd", base::Bytes(10, 1));  // another file's: kept
  ASSERT_EQ(FileNames(data_).size(), 5u);
  {
    StoreLock lock(library_file_, pictures_);
    EXPECT_EQ(FileNames(data_),
              (std::vector<std::string>{".templet.apf.Ab12Cd", "acprotocl.dat", "acprotocl.dat.lock",
                                        "picmem.dat", "picmem.dat.lock"}));
  }
  EXPECT_EQ(ReadBytes(library_file_), library_before_);
}

TEST_F(LibraryAndPictures, AnImportWarnsOfEachRecordWhosePictureIsDamaged) {
  // Cut the last picture of the exchange file short, length fields fixed.
  base::Bytes file = ReadBytes(exchange_);
  base::ByteReader in(file);
  const std::uint64_t l1 = in.u64();
  const std::uint64_t l2 = in.u64();
  file.resize(file.size() - 100);
  base::WriteU32Le(&file[8], static_cast<std::uint32_t>(l2 - 100));
  base::WriteU32Le(&file[16 + l1], static_cast<std::uint32_t>(l2 - 100));
  WriteBytes(exchange_, file);
  ProtocolLibrary library = Loaded();
  ImportResult result = ImportRecords(library, data_, exchange_);
  EXPECT_EQ(result.count, 2);
  ASSERT_EQ(result.damaged_pictures.size(), 1u);
  EXPECT_EQ(result.damaged_pictures[0].old_code, "0778");
  EXPECT_EQ(result.damaged_pictures[0].new_code, "0005");
  TMemPic_Info info;
  EXPECT_TRUE(LoadPicture("0004", info, pictures_));
  EXPECT_FALSE(LoadPicture("0005", info, pictures_));
}

}  // namespace
}  // namespace klimavo::store
