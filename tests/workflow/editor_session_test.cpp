// The editing session's rules without a window: the save question, the index
// after a delete, the picture files it accepts, the list's sort and filter,
// and the locked write that settles a change by another program first.
#include "workflow/editor_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "store/library.h"

namespace klimavo::workflow {
namespace {

namespace fs = std::filesystem;

class ScratchDir {
 public:
  ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() / (std::string("klimavo_editor_session_") + info->name());
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~ScratchDir() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void WriteFile(const fs::path& path, std::size_t bytes, std::uint8_t fill) {
  std::ofstream out(path, std::ios::binary);
  out << std::string(bytes, static_cast<char>(fill));
}

// A record of two keys with a format; key 0 has an assigned bit field when `assigned`.
store::TdiskAir TwoKeyRecord(const std::string& code, bool has_format, bool assigned) {
  store::TdiskAir record;
  store::InitRecord(record, 45000.5);
  record.Brand.assign("Gree");
  record.CodeNo.assign(code);
  record.KeyCount = 2;
  record.Keys[0].Name.assign("Power");
  record.Keys[1].Name.assign("Temp");
  if (has_format) record.Slots[0].Text.assign("9000,4500 560,560 560,1690");
  if (assigned) {
    record.Keys[0].Columns[0].Frame = 0;
    record.Keys[0].Columns[0].BitPos = 3;
    record.Keys[0].Columns[0].Width = 1;
  }
  return record;
}

TEST(EditorSession, AsksToSaveOnlyARecordWorthKeeping) {
  struct Case {
    const char* name;
    bool read_only, record_modified, picture_modified, has_format, assigned, stored;
    bool asks;
  };
  const Case cases[] = {
      {"stored, assigned key, record changed", false, true, false, true, true, true, true},
      {"stored, assigned key, only the picture changed", false, false, true, true, true, true, true},
      {"nothing changed", false, false, false, true, true, true, false},
      {"read only", true, true, true, true, true, true, false},
      {"no format", false, true, false, false, true, true, false},
      {"stored without an assigned key", false, true, false, true, false, true, false},
      // A record made by New and never stored is lost when dropped.
      {"never stored, no assigned key", false, true, false, true, false, false, true},
      {"never stored, no format", false, true, false, false, false, false, false},
  };
  for (const Case& c : cases) {
    EditorSession session;
    session.Open(c.stored ? 4 : -1, TwoKeyRecord("0149", c.has_format, c.assigned), {{}, {}}, {});
    session.SetRecordModified(c.record_modified);
    session.SetPictureModified(c.picture_modified);
    EXPECT_EQ(session.WorthSaveQuestion(c.read_only), c.asks) << c.name;
  }
}

TEST(EditorSession, KeepsNamingTheShownRecordAfterADelete) {
  struct Case {
    int index;
    std::vector<int> deleted;
    int after;
  };
  const Case cases[] = {
      {5, {1, 3}, 3},        // two records before it went
      {5, {6, 9}, 5},        // only records after it went
      {5, {9, 5, 0}, -1},    // it went itself, in any order
      {0, {0}, -1},          // the first record
      {5, {}, 5},            // nothing deleted
      {-1, {0, 1}, -1},      // a record never stored stays unstored
      {7, {6, 0, 2, 8}, 4},  // selection order, not library order
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EditorSession::IndexAfterDelete(c.index, c.deleted), c.after) << c.index;
    EditorSession session;
    session.SetIndex(c.index);
    session.RecordsDeleted(c.deleted);
    EXPECT_EQ(session.Index(), c.after) << c.index;
  }
}

TEST(EditorSession, TakesOnlyJpegPicturesOfTheAcceptedSize) {
  ScratchDir dir;
  struct Case {
    const char* name;
    std::size_t bytes;
    store::PictureFileCheck check;
  };
  const Case cases[] = {
      {"remote.jpg", 10, store::PictureFileCheck::kOk},
      {"remote.JPEG", store::kMaxPictureFileBytes, store::PictureFileCheck::kOk},
      {"remote.jpg", store::kMaxPictureFileBytes + 1, store::PictureFileCheck::kTooLarge},
      {"remote.png", 10, store::PictureFileCheck::kNotJpeg},
      {"missing.jpg", 0, store::PictureFileCheck::kMissing},
  };
  const base::Bytes old_picture(20, 0x11);
  for (const Case& c : cases) {
    const fs::path file = dir.path() / c.name;
    fs::remove(file);
    if (c.check != store::PictureFileCheck::kMissing) WriteFile(file, c.bytes, 0xD8);
    EditorSession session;
    session.Open(2, TwoKeyRecord("0149", true, true), {{}, {}}, {{"KFR-35GW"}, old_picture});
    EXPECT_EQ(session.LoadPictureFile(file), c.check) << c.name << " " << c.bytes;
    const bool taken = c.check == store::PictureFileCheck::kOk;
    // A refused file leaves the picture, and the record's state, as they were.
    EXPECT_EQ(session.Picture().Picture, taken ? base::Bytes(c.bytes, 0xD8) : old_picture) << c.name;
    EXPECT_EQ(session.Picture().Names, std::vector<std::string>{"KFR-35GW"}) << c.name;
    EXPECT_EQ(session.PictureModified(), taken) << c.name;
    EXPECT_FALSE(session.RecordModified()) << c.name;
  }
}

TEST(EditorSession, ClearsAPictureOnlyWhenThereIsOne) {
  EditorSession session;
  session.Open(0, TwoKeyRecord("0149", true, true), {{}, {}}, {{"KFR-35GW"}, base::Bytes(5, 1)});
  EXPECT_TRUE(session.ClearPicture());
  EXPECT_TRUE(session.Picture().Picture.empty());
  EXPECT_EQ(session.Picture().Names.size(), 1u);
  EXPECT_TRUE(session.PictureModified());
  session.SetPictureModified(false);
  EXPECT_FALSE(session.ClearPicture());
  EXPECT_FALSE(session.PictureModified());
}

TEST(EditorSession, ANewRecordIsUnstoredAndUnsavedUntilOpenedFromTheLibrary) {
  EditorSession session;
  session.Open(3, TwoKeyRecord("0149", true, true), {{}, {}}, {{"A"}, base::Bytes(3, 1)});
  session.SetPictureModified(true);
  session.StartNew(TwoKeyRecord("0200", true, false));
  EXPECT_EQ(session.Index(), -1);
  EXPECT_TRUE(session.RecordModified());
  EXPECT_FALSE(session.PictureModified());
  EXPECT_TRUE(session.Picture().Empty());
  EXPECT_EQ(session.Lines().size(), 2u);  // one empty line set per key
  EXPECT_EQ(session.Record().CodeNo.str(), "0200");
  session.Open(1, TwoKeyRecord("0149", true, true), {{}, {}}, {});
  EXPECT_EQ(session.Index(), 1);
  EXPECT_FALSE(session.Modified());
}

TEST(EditorSession, EachClickOnAHeadingReversesTheOrderAndTheQueryCarriesTheFilter) {
  EditorSession session;
  const struct {
    int column;
    bool descending;
  } clicks[] = {{2, true}, {2, false}, {0, true}, {3, false}};
  for (const auto& click : clicks) {
    session.SortBy(click.column);
    EXPECT_EQ(session.SortColumn(), click.column);
    EXPECT_EQ(session.SortDescending(), click.descending) << click.column;
  }
  session.SetLearnFilter({4, 9});
  store::LibraryListQuery query = session.ListQuery("GREE", 2);
  EXPECT_EQ(query.keyword, "GREE");
  EXPECT_EQ(query.language_no, 2);
  EXPECT_TRUE(query.learn_filter_on);
  EXPECT_EQ(query.learn_filter_hits, (std::vector<int>{4, 9}));
  EXPECT_EQ(query.sort_column, 3);
  EXPECT_FALSE(query.descending);
  session.ResetLearnFilter();
  EXPECT_FALSE(session.ListQuery("", 1).learn_filter_on);
}

TEST(EditorSession, ListsTheLibraryAndFindsTheShownRecordsRow) {
  store::TdiskAirList library;
  for (const char* code : {"0300", "0100", "0200"})
    library.push_back({TwoKeyRecord(code, true, true), {{}, {}}});
  EditorSession session;
  session.ListLibrary(library, 1);
  session.SortBy(1);  // by code number, descending after the first click
  EXPECT_EQ(session.FilterList(""), (std::vector<int>{0, 2, 1}));
  EXPECT_EQ(session.RowOfIndex(2), 2);
  EXPECT_EQ(session.FilterList("01"), (std::vector<int>{1}));
  EXPECT_EQ(session.ListRows(), (std::vector<int>{1}));
  EXPECT_EQ(session.RowOfIndex(1), 1);
  EXPECT_EQ(session.RowOfIndex(0), 0);   // filtered out
  EXPECT_EQ(session.RowOfIndex(-1), 0);  // a record never stored
  // After a change of the library the list is prepared again.
  library.push_back({TwoKeyRecord("0150", true, true), {{}, {}}});
  session.ListLibrary(library, 1);
  EXPECT_EQ(session.FilterList("01"), (std::vector<int>{3, 1}));
}

class LockedWrite : public ::testing::Test {
 protected:
  void SetUp() override {
    store::SaveLibraryFile({{TwoKeyRecord("0149", true, true), {{}, {}}}}, library_file_);
    ASSERT_TRUE(library_.Load());
  }
  // Another program stores a record in the library file.
  void AnotherProgramWrites() {
    store::ProtocolLibrary other(library_file_);
    ASSERT_TRUE(other.Load());
    other.StoreRecord(TwoKeyRecord("0150", true, true), {{}, {}}, -1);
  }

  ScratchDir dir_;
  fs::path library_file_ = dir_.path() / store::kLibraryFileName;
  fs::path picture_file_ = dir_.path() / store::kPictureStoreFileName;
  store::ProtocolLibrary library_{library_file_};
};

TEST_F(LockedWrite, AnUnchangedLibraryIsLockedAtOnce) {
  int questions = 0;
  auto lock = LockForWrite(library_, picture_file_, [&] { return ++questions, true; });
  EXPECT_TRUE(lock.has_value());
  EXPECT_EQ(questions, 1);
}

TEST_F(LockedWrite, AStopAtTheQuestionTakesNoLock) {
  AnotherProgramWrites();
  int questions = 0;
  auto lock = LockForWrite(library_, picture_file_, [&] { return ++questions, false; });
  EXPECT_FALSE(lock.has_value());
  EXPECT_EQ(questions, 1);
  EXPECT_TRUE(library_.ChangedOnDisk());
}

TEST_F(LockedWrite, AWriteBetweenTheQuestionAndTheLockIsAskedAboutAgain) {
  std::vector<bool> changed_when_asked;
  auto lock = LockForWrite(library_, picture_file_, [&] {
    changed_when_asked.push_back(library_.ChangedOnDisk());
    // The first answer comes while the file is unchanged; another program
    // writes before the lock is taken. The second time the user overwrites.
    if (changed_when_asked.size() == 1)
      AnotherProgramWrites();
    else
      library_.AcceptDiskState();
    return true;
  });
  ASSERT_TRUE(lock.has_value());
  EXPECT_EQ(changed_when_asked, (std::vector<bool>{false, true}));
  EXPECT_FALSE(library_.ChangedOnDisk());
}

}  // namespace
}  // namespace klimavo::workflow
