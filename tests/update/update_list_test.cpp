// The update list "up.txt", its comparison with the recorded dates, the verdict
// of the automatic check and the check of listed file names.
#include "update/update_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "base/ini_file.h"
#include "update_home.h"

namespace klimavo::update {
namespace {

RecordedDates Recorded(std::initializer_list<std::pair<const char*, const char*>> dates) {
  RecordedDates recorded;
  for (const auto& [name, date] : dates) recorded.Set(name, date);
  return recorded;
}

TEST(UpdateList, ReadsTheKeysOfTheList) {
  const UpdateList list = ParseUpdateList(
      "softid=2\r\nmsg= New protocols \r\nFileCount=2\r\nfilename0= acprotocl.dat\r\nfiledate0=2024-05-01\r\n"
      "filename1=picmem.dat\nFILEDATE1=2024-05-02 10:00\nfiledate0=ignored, the first one counts\n");
  EXPECT_TRUE(list.has_softid);
  EXPECT_EQ(list.softid, 2);
  EXPECT_EQ(list.msg, "New protocols");
  EXPECT_TRUE(list.count_readable);
  const std::vector<ListedFile> expected = {{"acprotocl.dat", "2024-05-01"},
                                            {"picmem.dat", "2024-05-02 10:00"}};
  EXPECT_EQ(list.files, expected);
}

TEST(UpdateList, MissingAndMalformedValues) {
  const struct {
    const char* text;
    bool has_softid;
    long long softid;
    bool count_readable;
    std::size_t files;
  } cases[] = {
      {"", false, 0, false, 0},
      {"softid=\nfilecount=1", false, 0, true, 1},
      {"softid=abc\nfilecount=x", true, 0, false, 0},
      {"softid=3\nfilecount=0", true, 3, true, 0},
      {"softid=1\nfilecount=-5", true, 1, true, 0},
      // A listed file without its keys reads as empty name and date.
      {"softid=1\nfilecount=3\nfilename1=a", true, 1, true, 3},
      {"softid=1\nfilecount=4096", true, 1, true, 4096},
      // More files than any list may hold: unreadable, and no huge loop.
      {"softid=1\nfilecount=4097", true, 1, false, 0},
      {"softid=1\nfilecount=9223372036854775807", true, 1, false, 0},
      {"softid=1\nfilecount=99999999999999999999", true, 1, false, 0},
      {"no equals sign\n=value without key\nsoftid=7", true, 7, false, 0},
  };
  for (const auto& c : cases) {
    const UpdateList list = ParseUpdateList(c.text);
    EXPECT_EQ(list.has_softid, c.has_softid) << c.text;
    EXPECT_EQ(list.softid, c.softid) << c.text;
    EXPECT_EQ(list.count_readable, c.count_readable) << c.text;
    EXPECT_EQ(list.files.size(), c.files) << c.text;
  }
}

TEST(UpdateList, ReadsOnlyTheFirstPartOfAnOverlongText) {
  std::string text = "softid=1\nfilecount=1\nfilename0=a.dat\n";
  text += std::string(kMaxListBytes, '#');
  text += "\nfiledate0=too late\nmsg=too late";
  const UpdateList list = ParseUpdateList(text);
  ASSERT_EQ(list.files.size(), 1u);
  EXPECT_EQ(list.files[0].name, "a.dat");
  EXPECT_EQ(list.files[0].date, "");
  EXPECT_EQ(list.msg, "");
}

TEST(UpdateList, ChangedFilesAreThoseWhoseDateDiffersInAnyCharacter) {
  const UpdateList list = ParseUpdateList(
      "softid=1\nfilecount=4\nfilename0=a.dat\nfiledate0=2024-01-01\nfilename1=b.dat\nfiledate1=2024-01-01\n"
      "filename2=c.dat\nfiledate2=2024-01-01\nfilename3=\nfiledate3=\n");
  // Names compare without regard to letter case, as config.ini keys do; dates
  // exactly, letter case included. The unnamed fourth file has no date either.
  const RecordedDates recorded =
      Recorded({{"A.DAT", "2024-01-01"}, {"b.dat", "2024-01-01"}, {"c.dat", "2024-01-0l"}});
  const UpdateList list_b = ParseUpdateList(
      "filecount=3\nfilename0=a.dat\nfiledate0=2024-01-01\nfilename1=b.dat\nfiledate1=2024-01-01T\n"
      "filename2=c.dat\nfiledate2=2024-01-01\n");
  EXPECT_EQ(ChangedFiles(list, recorded), (std::vector<ListedFile>{{"c.dat", "2024-01-01"}}));
  const RecordedDates recorded_b =
      Recorded({{"a.dat", "2024-01-01"}, {"b.dat", "2024-01-01t"}, {"c.dat", "2024-01-01"}});
  EXPECT_EQ(ChangedFiles(list_b, recorded_b), (std::vector<ListedFile>{{"b.dat", "2024-01-01T"}}));
}

TEST(UpdateList, VerdictOfTheAutomaticCheck) {
  const RecordedDates recorded = Recorded({{"a.dat", "1"}, {"b.dat", "2"}});
  const struct {
    const char* text;
    bool update;
  } cases[] = {
      {"softid=1\nfilecount=2\nfilename0=a.dat\nfiledate0=1\nfilename1=b.dat\nfiledate1=2", false},
      {"softid=1\nfilecount=2\nfilename0=a.dat\nfiledate0=1\nfilename1=b.dat\nfiledate1=3", true},
      // softid 3 or more announces an update even when every date agrees.
      {"softid=3\nfilecount=2\nfilename0=a.dat\nfiledate0=1\nfilename1=b.dat\nfiledate1=2", true},
      {"softid=12\nfilecount=x", true},
      // Without softid (or with an empty one) there is no update, whatever the files say.
      {"filecount=1\nfilename0=a.dat\nfiledate0=new", false},
      {"softid=\nfilecount=1\nfilename0=a.dat\nfiledate0=new", false},
      // A softid that is not a number counts as 0.
      {"softid=abc\nfilecount=1\nfilename0=a.dat\nfiledate0=new", true},
      {"softid=1\nfilecount=x\nfilename0=a.dat\nfiledate0=new", false},
      {"softid=1\nfilecount=0\nfilename0=a.dat\nfiledate0=new", false},
      // A file never installed has an empty recorded date.
      {"softid=1\nfilecount=1\nfilename0=new.dat\nfiledate0=1", true},
      {"softid=1\nfilecount=1\nfilename0=\nfiledate0=", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AutoCheckFindsUpdate(ParseUpdateList(c.text), recorded), c.update) << c.text;
}

TEST(UpdateList, PlainFileNames) {
  const char* accepted[] = {"acprotocl.dat",
                            "picmem.dat",
                            "Language.ini",
                            "a",
                            "templet.apf",
                            "x y.dat",
                            "name-with_under.score+plus",
                            "\xCE\xC4\xBC\xFE.dat" /* GBK "文件" */};
  for (const char* name : accepted) EXPECT_TRUE(IsPlainFileName(name)) << name;
  const std::string refused[] = {
      "",
      ".",
      "..",
      "../config.ini",
      "../../etc/passwd",
      "/etc/passwd",
      "sub/file.dat",
      "sub\\file.dat",
      "..\\config.ini",
      "C:\\Windows\\win.ini",
      "C:file.dat",
      "data.dat:stream",
      ".hidden",
      "line\nbreak",
      std::string("nul\0byte", 8),
      "tab\tname",
      "bell\x07",
      "del\x7F",
      "key=value",
      "[section]",
      ";comment",
      "wild*card",
      "what?",
      "quote\"d",
      "<less",
      "more>",
      "pi|pe",
      "acprotocl.dat.lock",
      "picmem.dat.LOCK",
      " leading.dat",
      "trailing.dat ",
      std::string(kMaxFileNameBytes + 1, 'a'),
      "\xCE",         // a GBK lead byte without its second byte
      "bad\xFFname",  // not GBK
  };
  for (const std::string& name : refused) EXPECT_FALSE(IsPlainFileName(name)) << name;
  EXPECT_TRUE(IsPlainFileName(std::string(kMaxFileNameBytes, 'a')));
}

TEST(UpdateList, GbkSecondBytesThatLookLikeSeparatorsAreNotSeparators) {
  // GBK 0x955C: its second byte is '\' in ASCII, but the character is one letter.
  EXPECT_TRUE(IsPlainFileName("\x95\x5C.dat"));
  EXPECT_FALSE(IsPlainFileName("a\\.dat"));
}

TEST(UpdateList, RecordedDatesAreWrittenAndReadBack) {
  const std::filesystem::path dir = testing::TempFolder("update-list-test");
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::filesystem::path config = dir / "config.ini";
  std::ofstream(config) << "[Config]\nlang=2\n[updateinfo]\nacprotocl.dat=old\n";
  RecordDates(config, {{"acprotocl.dat", "2024-05-01"}, {"picmem.dat", "2024-05-02"}});
  const RecordedDates recorded = RecordedDates::Load(config);
  EXPECT_EQ(recorded.DateOf("acprotocl.dat"), "2024-05-01");
  EXPECT_EQ(recorded.DateOf("PICMEM.DAT"), "2024-05-02");
  EXPECT_EQ(recorded.DateOf("other.dat"), "");
  EXPECT_EQ(recorded.DateOf(""), "");
  EXPECT_EQ(base::IniFile::Load(config).ReadInteger("Config", "lang", 0), 2);
  EXPECT_EQ(RecordedDates::Load(dir / "missing.ini").DateOf("acprotocl.dat"), "");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace klimavo::update
