#include "store/disk_change.h"

#include <gtest/gtest.h>

#include "file_test_support.h"

namespace klimavo::store {
namespace {

TdiskAir Record(const char* code) {
  TdiskAir record;
  InitRecord(record, 45000);
  record.CodeNo.assign(code);
  return record;
}

TEST(DiskChange, AnswersByButton) {
  EXPECT_EQ(DiskChangeAnswerFromIndex(0), DiskChangeAnswer::kReload);
  EXPECT_EQ(DiskChangeAnswerFromIndex(1), DiskChangeAnswer::kOverwrite);
  for (int index : {2, -1, 7})
    EXPECT_EQ(DiskChangeAnswerFromIndex(index), DiskChangeAnswer::kCancel) << index;
}

TEST(DiskChange, AnUnsavedRecordIsKeptAsANewModifiedRecord) {
  const auto dir = testing::ScratchDir("disk_change");
  // Another program inserted a record before the one shown and changed nothing else.
  ProtocolLibrary reloaded(dir / kLibraryFileName);
  reloaded.MutableRecords() = {{Record("0150"), {}}, {Record("0149"), {}}, {Record("0151"), {}}};
  struct Case {
    const char* code;
    bool modified;
    int index;
  };
  const Case cases[] = {
      {"0149", true, -1},                         // changed: kept, not stored, still modified
      {"0149", false, 1},                         // unchanged: found again where the reload put it
      {" 0151 ", false, 2}, {"0999", false, -1},  // unchanged but gone from the file
      {"0999", true, -1},
  };
  for (const Case& c : cases) {
    const CurrentAfterReload place = PlaceCurrentAfterReload(reloaded, Record(c.code), c.modified);
    EXPECT_EQ(place.index, c.index) << c.code << " " << c.modified;
    EXPECT_EQ(place.modified, c.modified) << c.code;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace klimavo::store
