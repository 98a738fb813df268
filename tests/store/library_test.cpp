#include "store/library.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/atomic_file.h"
#include "base/byte_io.h"
#include "base/file_error.h"
#include "file_test_support.h"

namespace klimavo::store {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the system's temporary folder, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "klimavo-library-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

base::Bytes ReadAll(const fs::path& p) { return base::ReadWholeFile(p).value_or(base::Bytes{}); }

void WriteRaw(const fs::path& p, const base::Bytes& bytes) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TGrdDataLine PackedLine(std::initializer_list<std::uint8_t> data, ir::TStrProt_Listbase elements,
                        std::uint16_t repeat = 1, std::uint16_t marker = 0) {
  TGrdDataLine line;
  line.Data = data;
  line.Elements = std::move(elements);
  line.Repeat = repeat;
  line.Marker = marker;
  return line;
}

// A record of two keys; key 0 has three code lines, key 1 none.
LibraryRecord TwoKeyRecord(const std::string& code) {
  LibraryRecord e;
  InitRecord(e.Record, 45000.5);
  e.Record.Brand.assign("Gree");
  e.Record.CodeNo.assign(code);
  e.Record.KeyCount = 2;
  e.Record.Keys[0].Name.assign("Power");
  e.Record.Keys[1].Name.assign("Temp");
  ir::TStrProt_Listbase frame{ir::TStrProtItem::Split(0), ir::TStrProtItem::Data(16),
                              ir::TStrProtItem::Split(1)};
  e.Lines = {{PackedLine({0x12, 0x34}, frame), PackedLine({0x56, 0x78}, frame, 2, 7), PackedLine({}, {})},
             {}};
  return e;
}

TEST(LibraryFile, OneRecordWithThreeAndZeroLinesIs11253Bytes) {
  TempDir dir;
  fs::path file = dir.path() / kLibraryFileName;
  SaveLibraryFile({TwoKeyRecord("0149")}, file);
  base::Bytes bytes = ReadAll(file);
  ASSERT_EQ(bytes.size(), 29u + 10025 + 32 + 3 * 389);
  EXPECT_EQ(bytes.size(), 11253u);
  base::ByteReader in(bytes);
  in.skip(9);
  EXPECT_EQ(in.u64(), 11253u);
  EXPECT_EQ(in.u32(), 1u);
  // Line counts: key 0 has 3, key 1 and the unused entries 0.
  EXPECT_EQ(base::ReadU16Le(&bytes[29 + 10025]), 3);
  for (std::size_t k = 1; k < 16; ++k) EXPECT_EQ(base::ReadU16Le(&bytes[29 + 10025 + 2 * k]), 0) << k;
  // The second line: count 2, marker 7, repeat 2, three elements, code 56 78.
  std::size_t line = 29 + 10025 + 32 + 389;
  EXPECT_EQ(bytes[line + 0], 2);
  EXPECT_EQ(bytes[line + 1], 7);
  EXPECT_EQ(bytes[line + 2], 2);
  EXPECT_EQ(bytes[line + 3], 3);
  EXPECT_EQ(bytes[line + 4], 0x56);
  EXPECT_EQ(bytes[line + 5], 0x78);
  EXPECT_EQ(bytes[line + 133 + 4], 1);   // second element: data
  EXPECT_EQ(bytes[line + 133 + 6], 16);  // of 16 bits
}

TEST(LibraryFile, LoadThenSaveGivesTheSameBytes) {
  LibraryRecord odd = TwoKeyRecord("0150");
  base::Bytes image(TdiskAir::kSize);
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 13 + 5);
  odd.Record.ReadImage(image);
  odd.Record.KeyCount = 3;  // three line lists, one with 200 lines
  odd.Lines = {{}, {}, TGrdLines(200, PackedLine({1, 2, 3}, {ir::TStrProtItem::Data(24)}, 255, 255))};
  TdiskAirList list{TwoKeyRecord("0149"), odd};
  base::Bytes bytes = LibraryFileBytes(list, 45123.25);
  TdiskAirList loaded;
  ASSERT_TRUE(ParseLibraryBytes(bytes, loaded));
  ASSERT_EQ(loaded.size(), 2u);
  EXPECT_EQ(loaded[1].Record.ToImage(), odd.Record.ToImage());
  EXPECT_EQ(loaded[0].Lines, list[0].Lines);
  EXPECT_EQ(LibraryFileBytes(loaded, 45123.25), bytes);
}

TEST(LibraryFile, LineListsThatDoNotMatchTheKeyCountAreWrittenEmpty) {
  LibraryRecord e = TwoKeyRecord("0149");
  e.Lines.push_back({PackedLine({1}, {ir::TStrProtItem::Data(8)})});  // three lists, two keys
  TdiskAirList loaded;
  ASSERT_TRUE(ParseLibraryBytes(LibraryFileBytes({e}, 0), loaded));
  ASSERT_EQ(loaded[0].Lines.size(), 2u);
  EXPECT_TRUE(loaded[0].Lines[0].empty());
  EXPECT_TRUE(loaded[0].Lines[1].empty());
}

TEST(LibraryFile, DamagedFilesSayWhatIsWrongAndKeepTheRecordsReadWhole) {
  TdiskAirList three = {TwoKeyRecord("0149"), TwoKeyRecord("0150"), TwoKeyRecord("0151")};
  const base::Bytes good = LibraryFileBytes(three, 0);
  const std::size_t record = TdiskAir::kSize + 32 + 3 * 389;  // one record with its line block
  auto fixed_length = [](base::Bytes b) {
    base::WriteU32Le(&b[9], static_cast<std::uint32_t>(b.size()));
    return b;
  };
  auto with_length = [&](std::int64_t delta) {
    base::Bytes b = good;
    base::WriteU32Le(&b[9], static_cast<std::uint32_t>(static_cast<std::int64_t>(b.size()) + delta));
    return b;
  };
  auto with_count = [&](std::uint32_t count) {
    base::Bytes b = good;
    base::WriteU32Le(&b[17], count);
    return b;
  };
  auto cut = [&](std::size_t bytes) {
    return base::Bytes(good.begin(), good.end() - static_cast<std::ptrdiff_t>(bytes));
  };
  auto appended = [&](std::size_t bytes) {
    base::Bytes b = good;
    b.insert(b.end(), bytes, 0x5A);
    return b;
  };
  struct Case {
    const char* name;
    base::Bytes bytes;
    LibraryFault fault;
    std::vector<std::string> codes;  // the records read whole
  };
  const std::vector<std::string> all = {"0149", "0150", "0151"};
  const std::vector<std::string> two = {"0149", "0150"};
  const std::vector<Case> cases = {
      {"well formed", good, LibraryFault::kNone, all},
      {"length field one less", with_length(-1), LibraryFault::kLengthField, all},
      {"length field one more", with_length(1), LibraryFault::kLengthField, all},
      {"cut short, length field as written", cut(10), LibraryFault::kLengthField, two},
      {"shorter than a header", base::Bytes(28, 0), LibraryFault::kShorterThanHeader, {}},
      {"empty", {}, LibraryFault::kShorterThanHeader, {}},
      {"header counts four", with_count(4), LibraryFault::kFewerRecords, all},
      {"header counts four billion", with_count(0xFFFFFFFFu), LibraryFault::kFewerRecords, all},
      {"last line cut", fixed_length(cut(389)), LibraryFault::kCutLineBlock, two},
      {"image of the last record cut", fixed_length(cut(record - 100)), LibraryFault::kFewerRecords, two},
      {"header counts two", with_count(2), LibraryFault::kBytesAfterRecords, all},
      {"header counts none", with_count(0), LibraryFault::kBytesAfterRecords, all},
      {"bytes appended", fixed_length(appended(100)), LibraryFault::kBytesAfterRecords, all},
  };
  for (const Case& c : cases) {
    TdiskAirList list(99);
    LibraryLoadResult result = ParseLibraryBytesChecked(c.bytes, list);
    EXPECT_EQ(result.fault, c.fault) << c.name;
    EXPECT_EQ(result.Loaded(), c.fault == LibraryFault::kNone) << c.name;
    EXPECT_EQ(result.Damaged(), c.fault != LibraryFault::kNone) << c.name;
    EXPECT_EQ(result.records_read, c.codes.size()) << c.name;
    std::vector<std::string> codes;
    for (const auto& e : list) codes.push_back(e.Record.CodeNo.str());
    EXPECT_EQ(codes, c.codes) << c.name;
    for (std::size_t i = 0; i < list.size(); ++i)
      EXPECT_EQ(list[i].Lines, three[i].Lines) << c.name << " " << i;
    EXPECT_EQ(ParseLibraryBytes(c.bytes, list), c.fault == LibraryFault::kNone) << c.name;
  }
}

// The file is read in blocks of 1 MiB: a library of some 1.7 MB, whole and
// damaged in several places (one of them at the first block's end), must load
// from its file exactly as from its bytes.
TEST(LibraryFile, AFileLargerThanOneReadBlockLoadsAsItsBytesParse) {
  TdiskAirList records;
  for (int i = 0; i < 150; ++i) records.push_back(TwoKeyRecord(std::to_string(1000 + i)));
  const base::Bytes good = LibraryFileBytes(records, 0);
  ASSERT_GT(good.size(), std::size_t{3} << 19);
  auto cut_to = [&](std::size_t size) {
    base::Bytes b(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
    base::WriteU32Le(&b[9], static_cast<std::uint32_t>(b.size()));
    return b;
  };
  base::Bytes more_counted = good;
  base::WriteU32Le(&more_counted[17], 151);
  base::Bytes appended = good;
  appended.insert(appended.end(), 20000, 0x5A);
  base::WriteU32Le(&appended[9], static_cast<std::uint32_t>(appended.size()));
  const struct {
    const char* name;
    base::Bytes bytes;
  } cases[] = {
      {"whole", good},
      {"cut at the first block's end", cut_to(std::size_t{1} << 20)},
      {"cut one byte after it", cut_to((std::size_t{1} << 20) + 1)},
      {"last line cut", cut_to(good.size() - 389)},
      {"one more record counted", more_counted},
      {"bytes appended", appended},
  };
  TempDir dir;
  const fs::path file = dir.path() / kLibraryFileName;
  for (const auto& c : cases) {
    WriteRaw(file, c.bytes);
    TdiskAirList from_file;
    TdiskAirList from_bytes;
    const LibraryLoadResult loaded = LoadLibraryFileChecked(file, from_file);
    const LibraryLoadResult parsed = ParseLibraryBytesChecked(c.bytes, from_bytes);
    EXPECT_EQ(loaded.fault, parsed.fault) << c.name;
    EXPECT_EQ(loaded.records_read, parsed.records_read) << c.name;
    ASSERT_EQ(from_file.size(), from_bytes.size()) << c.name;
    for (std::size_t i = 0; i < from_file.size(); ++i) {
      EXPECT_EQ(from_file[i].Record, from_bytes[i].Record) << c.name << " " << i;
      EXPECT_EQ(from_file[i].Lines, from_bytes[i].Lines) << c.name << " " << i;
    }
  }
  TdiskAirList whole;
  WriteRaw(file, good);
  ASSERT_TRUE(LoadLibraryFile(file, whole));
  EXPECT_EQ(LibraryFileBytes(whole, 0), good);
}

TEST(LibraryFile, TheFaultIsDescribedWithItsNumbers) {
  const base::Bytes good = LibraryFileBytes({TwoKeyRecord("0149"), TwoKeyRecord("0150")}, 0);
  base::Bytes cut(good.begin(), good.end() - 10);
  base::Bytes low_count = good;
  base::WriteU32Le(&low_count[17], 1);
  const std::string size = std::to_string(good.size());
  const std::string cut_size = std::to_string(cut.size());
  struct Case {
    base::Bytes bytes;
    std::string text;
  };
  const Case cases[] = {
      {cut, "its length field reads " + size + " bytes but the file has " + cut_size +
                "; 1 of 2 counted records read whole"},
      {low_count,
       "bytes are left after the records its header counts; 1 of 1 counted records read whole, and 1 "
       "whole records after them"},
      {base::Bytes(5, 0), "it has 5 bytes, fewer than its 29-byte header"},
  };
  for (const Case& c : cases) {
    TdiskAirList list;
    EXPECT_EQ(DescribeLibraryFault(ParseLibraryBytesChecked(c.bytes, list)), c.text);
  }
}

TEST(LibraryFile, RecordsNotReadWholeAreDroppedNotZeroFilled) {
  base::Bytes bytes = LibraryFileBytes({TwoKeyRecord("0149")}, 0);
  base::WriteU32Le(&bytes[17], 2);
  TdiskAirList list;
  EXPECT_FALSE(ParseLibraryBytes(bytes, list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].Record.CodeNo.str(), "0149");
}

TEST(LibraryFile, OverlongCountsInAStoredLineAreBoundedToItsAreas) {
  base::Bytes bytes = LibraryFileBytes({TwoKeyRecord("0149")}, 0);
  std::size_t line = 29 + 10025 + 32;
  bytes[line + 0] = 200;  // more code bytes than the line holds
  bytes[line + 3] = 90;   // more elements than the line holds
  TdiskAirList list;
  ASSERT_TRUE(ParseLibraryBytes(bytes, list));
  EXPECT_EQ(list[0].Lines[0][0].Data.size(), kMaxLineCodeBytes);
  EXPECT_EQ(list[0].Lines[0][0].Elements.size(), kMaxLineElements);
}

TEST(LibraryFile, MissingFileLeavesTheListUntouched) {
  TempDir dir;
  TdiskAirList list(2);
  EXPECT_FALSE(LoadLibraryFile(dir.path() / "absent.dat", list));
  EXPECT_EQ(list.size(), 2u);
}

TEST(LibraryFile, LengthFieldOffByOneIsDamageThatKeepsTheRecordsReadWhole) {
  TempDir dir;
  fs::path file = dir.path() / kLibraryFileName;
  base::Bytes bytes = LibraryFileBytes({TwoKeyRecord("0149")}, 0);
  base::WriteU32Le(&bytes[9], static_cast<std::uint32_t>(bytes.size() - 1));
  WriteRaw(file, bytes);
  ProtocolLibrary library(file);
  EXPECT_FALSE(library.Load());
  EXPECT_EQ(library.Size(), 1);
  EXPECT_EQ(library.LoadChecked().fault, LibraryFault::kLengthField);
}

TEST(LibraryFile, AFileThatCannotBeReadIsReportedNotTakenForEmpty) {
  TempDir dir;
  fs::create_directories(dir.path() / kLibraryFileName);  // a folder where the file should be
  TdiskAirList list;
  LibraryLoadResult result = LoadLibraryFileChecked(dir.path() / kLibraryFileName, list);
  EXPECT_EQ(result.fault, LibraryFault::kUnreadable);
  EXPECT_TRUE(result.Damaged());
  EXPECT_THROW(LoadLibraryFile(dir.path() / kLibraryFileName, list), base::FileError);
  EXPECT_EQ(LoadLibraryFileChecked(dir.path() / "absent.dat", list).fault, LibraryFault::kMissing);
}

// A save that cannot finish must leave the old library as it was.
class InterruptedSave : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = dir_.path() / kLibraryFileName;
    SaveLibraryFile({TwoKeyRecord("0149")}, file_);
    old_ = ReadAll(file_);
    for (int i = 0; i < 20; ++i) big_.push_back(TwoKeyRecord(std::to_string(1000 + i)));
  }
  // Runs a save of the big library in a child whose files may not grow past
  // `limit` bytes; returns the child's wait status.
  int SaveInChild(bool ignore_signal) {
    rlim_t limit = 30000;
    pid_t pid = ::fork();
    if (pid == 0) {
      ::signal(SIGXFSZ, ignore_signal ? SIG_IGN : SIG_DFL);
      rlimit rl{limit, limit};
      ::setrlimit(RLIMIT_FSIZE, &rl);
      try {
        SaveLibraryFile(big_, file_);
      } catch (const base::FileError&) {
        ::_exit(3);
      }
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
  }
  std::vector<fs::path> Entries() const {
    std::vector<fs::path> names;
    for (const auto& e : fs::directory_iterator(dir_.path())) names.push_back(e.path().filename());
    return names;
  }

  TempDir dir_;
  fs::path file_;
  base::Bytes old_;
  TdiskAirList big_;
};

TEST_F(InterruptedSave, FailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile) {
  int status = SaveInChild(true);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3) << "the save should have reported a file error";
  EXPECT_EQ(ReadAll(file_), old_);
  EXPECT_EQ(Entries(), std::vector<fs::path>{kLibraryFileName});
}

TEST_F(InterruptedSave, ProcessKilledPartWayKeepsTheOldFile) {
  int status = SaveInChild(false);
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGXFSZ);
  EXPECT_EQ(ReadAll(file_), old_);
  ProtocolLibrary library(file_);
  EXPECT_TRUE(library.Load());
  EXPECT_EQ(library.Size(), 1);
}

class LibraryOperations : public ::testing::Test {
 protected:
  void SetUp() override { file_ = dir_.path() / kLibraryFileName; }
  ProtocolLibrary WithCodes(std::initializer_list<const char*> codes) {
    TdiskAirList list;
    for (const char* c : codes) list.push_back(TwoKeyRecord(c));
    SaveLibraryFile(list, file_);
    ProtocolLibrary library(file_);
    library.Load();
    return library;
  }
  std::vector<std::string> Codes(const ProtocolLibrary& library) const {
    std::vector<std::string> codes;
    for (const auto& e : library.Records()) codes.push_back(e.Record.CodeNo.str());
    return codes;
  }
  TempDir dir_;
  fs::path file_;
};

TEST_F(LibraryOperations, NextCodeNumber) {
  struct Case {
    std::initializer_list<const char*> codes;
    const char* next;
  };
  const Case cases[] = {
      {{}, "0001"},     {{"0149", "0150", "ABC"}, "0151"}, {{" 12 ", "x7"}, "0013"}, {{"99999"}, "100000"},
      {{"-5"}, "0001"},
  };
  for (const Case& c : cases) EXPECT_EQ(WithCodes(c.codes).NextCodeNumber(), c.next) << *c.codes.begin();
}

TEST_F(LibraryOperations, CodeNumberInUseIgnoresBlanksCaseAndTheGivenIndex) {
  ProtocolLibrary library = WithCodes({"0149", "ab12 "});
  EXPECT_TRUE(library.CodeNumberInUse(" 0149", -1));
  EXPECT_TRUE(library.CodeNumberInUse("AB12", -1));
  EXPECT_FALSE(library.CodeNumberInUse("AB12", 1));
  EXPECT_FALSE(library.CodeNumberInUse("0150", -1));
  EXPECT_EQ(library.IndexOfCode("ab12"), 1);
  EXPECT_EQ(library.IndexOfCode("9999"), -1);
}

TEST_F(LibraryOperations, StoreAppendsOrReplacesAndRewritesTheFile) {
  ProtocolLibrary library = WithCodes({"0149"});
  TdiskAir record = TwoKeyRecord("0200").Record;
  ir::TStrProt_Listbase frame{ir::TStrProtItem::Data(10)};
  TGrdDataLine bits = PackedLine({1, 0, 0, 0, 0, 0, 0, 0, 1, 1}, frame);
  EXPECT_EQ(library.StoreRecord(record, {{bits}, {}}, -1), 1);
  EXPECT_EQ(library.StoreRecord(record, {{bits}, {}}, 7), 2);
  record.CodeNo.assign("0300");
  EXPECT_EQ(library.StoreRecord(record, {{bits}, {}}, 0), 0);
  EXPECT_EQ(Codes(library), (std::vector<std::string>{"0300", "0200", "0200"}));
  EXPECT_EQ(library.Records()[0].Lines[0][0].Data, (ir::TSSByteArray{0x01, 0x03}));

  ProtocolLibrary reloaded(file_);
  ASSERT_TRUE(reloaded.Load());
  EXPECT_EQ(Codes(reloaded), Codes(library));
  TdiskAir fetched;
  TBtnLines fetched_lines;
  ASSERT_TRUE(reloaded.FetchRecord(0, fetched, fetched_lines));
  EXPECT_EQ(fetched.ToImage(), record.ToImage());
  EXPECT_EQ(fetched_lines, (TBtnLines{{bits}, {}}));
  EXPECT_FALSE(reloaded.FetchRecord(3, fetched, fetched_lines));
  EXPECT_FALSE(reloaded.FetchRecord(-1, fetched, fetched_lines));
}

TEST_F(LibraryOperations, StoreWithLineListsThatDoNotMatchTheKeysKeepsEmptyLists) {
  ProtocolLibrary library = WithCodes({});
  TdiskAir record = TwoKeyRecord("0200").Record;
  TGrdDataLine bits = PackedLine({1, 1}, {ir::TStrProtItem::Data(2)});
  library.StoreRecord(record, {{bits}}, -1);  // one list for two keys
  EXPECT_EQ(library.Records()[0].Lines, (TBtnLines{{}, {}}));
}

TEST_F(LibraryOperations, StoreRefusesWhatAStoredRecordCannotHold) {
  ProtocolLibrary library = WithCodes({"0149"});
  base::Bytes before = ReadAll(file_);
  TdiskAir record = TwoKeyRecord("0200").Record;
  TGrdDataLine long_code;
  long_code.Elements = {ir::TStrProtItem::Data(130 * 8)};
  long_code.Data.assign(130 * 8, 1);
  TGrdDataLine many_elements;
  for (int i = 0; i < 65; ++i) many_elements.Elements.push_back(ir::TStrProtItem::Data(1));
  many_elements.Data.assign(65, 1);
  TdiskAir nine_keys = record;
  nine_keys.KeyCount = 9;
  TdiskAir many_states = record;
  many_states.Keys[1].StateCount = 17;
  EXPECT_THROW(library.StoreRecord(record, {{long_code}, {}}, -1), RecordRejected);
  EXPECT_THROW(library.StoreRecord(record, {{}, {many_elements}}, 0), RecordRejected);
  EXPECT_THROW(library.StoreRecord(nine_keys, {}, -1), RecordRejected);
  EXPECT_THROW(library.StoreRecord(many_states, {{}, {}}, -1), RecordRejected);
  EXPECT_EQ(Codes(library), std::vector<std::string>{"0149"});
  EXPECT_EQ(ReadAll(file_), before);
}

TEST_F(LibraryOperations, LinesThatDoNotConvertKeepNoCodeBytes) {
  TBtnLines bits{{PackedLine({1, 0}, {}), PackedLine({}, {ir::TStrProtItem::Data(8)})}};
  TBtnLines packed = PackLines(bits, true);
  EXPECT_TRUE(packed[0][0].Data.empty());
  EXPECT_TRUE(packed[0][1].Data.empty());
  // Two bytes do not fill a 24-bit group: the bits are not to be used.
  TBtnLines short_bytes{{PackedLine({1, 2}, {ir::TStrProtItem::Data(24)})}};
  EXPECT_TRUE(UnpackLines(short_bytes, true)[0][0].Data.empty());
}

TEST_F(LibraryOperations, DeleteKeepsTheOthersInOrder) {
  ProtocolLibrary library = WithCodes({"0001", "0002", "0003", "0004"});
  library.DeleteRecords({2, 0, 2, 17});
  EXPECT_EQ(Codes(library), (std::vector<std::string>{"0002", "0004"}));
  ProtocolLibrary reloaded(file_);
  ASSERT_TRUE(reloaded.Load());
  EXPECT_EQ(Codes(reloaded), Codes(library));
}

TEST_F(LibraryOperations, SaveRecordsToFileWritesThemInTheOrderGiven) {
  ProtocolLibrary library = WithCodes({"0001", "0002", "0003"});
  fs::path other = dir_.path() / "export.dat";
  library.SaveRecordsToFile({2, 0}, other);
  TdiskAirList list;
  ASSERT_TRUE(LoadLibraryFile(other, list));
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].Record.CodeNo.str(), "0003");
  EXPECT_EQ(list[1].Record.CodeNo.str(), "0001");
  EXPECT_EQ(list[1].Lines, library.Records()[0].Lines);
}

TEST_F(LibraryOperations, AppendGivesConsecutiveCodesAfterTheLargest) {
  ProtocolLibrary library = WithCodes({"0149", "0150"});
  fs::path other = dir_.path() / "import.dat";
  SaveLibraryFile({TwoKeyRecord("0001"), TwoKeyRecord("0150"), TwoKeyRecord(" x ")}, other);
  AppendResult result = library.AppendRecordsFromFile(other);
  EXPECT_EQ(result.count, 3);
  EXPECT_EQ(result.old_codes, (std::vector<std::string>{"0001", "0150", "x"}));
  EXPECT_EQ(result.new_codes, (std::vector<std::string>{"0151", "0152", "0153"}));
  EXPECT_EQ(Codes(library), (std::vector<std::string>{"0149", "0150", "0151", "0152", "0153"}));
  EXPECT_EQ(library.Records()[4].Lines, TwoKeyRecord("x").Lines);
  EXPECT_EQ(library.NextCodeNumber(), "0154");
  ProtocolLibrary reloaded(file_);
  ASSERT_TRUE(reloaded.Load());
  EXPECT_EQ(reloaded.Size(), 5);
}

TEST_F(LibraryOperations, AppendFromAFileThatDoesNotLoadChangesNothing) {
  ProtocolLibrary library = WithCodes({"0149"});
  fs::path other = dir_.path() / "bad.dat";
  WriteRaw(other, base::Bytes(100, 7));
  EXPECT_EQ(library.AppendRecordsFromFile(other).count, 0);
  EXPECT_EQ(library.AppendRecordsFromFile(dir_.path() / "absent.dat").count, 0);
  EXPECT_EQ(library.Size(), 1);
}

TEST_F(LibraryOperations, AChangeThatCannotBeWrittenLeavesMemoryAsItWas) {
  ProtocolLibrary library = WithCodes({"0149", "0150"});
  const base::Bytes before = ReadAll(file_);
  const TdiskAir record = TwoKeyRecord("0200").Record;
  fs::path other = dir_.path() / "import.dat";
  SaveLibraryFile({TwoKeyRecord("0001")}, other);
  {
    testing::FileSizeLimit limit(1000);  // every rewrite of the library fails part-way
    EXPECT_THROW(library.StoreRecord(record, {{}, {}}, -1), base::FileError);
    EXPECT_THROW(library.StoreRecord(record, {{}, {}}, 0), base::FileError);
    EXPECT_THROW(library.DeleteRecords({0}), base::FileError);
    EXPECT_THROW(library.AppendRecordsFromFile(other), base::FileError);
  }
  EXPECT_EQ(Codes(library), (std::vector<std::string>{"0149", "0150"}));
  EXPECT_EQ(ReadAll(file_), before);
  // A retry adds the record once.
  EXPECT_EQ(library.StoreRecord(record, {{}, {}}, -1), 2);
  EXPECT_EQ(Codes(library), (std::vector<std::string>{"0149", "0150", "0200"}));
}

TEST_F(LibraryOperations, AChangeByAnotherProgramIsSeenUntilItIsAccepted) {
  ProtocolLibrary library = WithCodes({"0149"});
  EXPECT_FALSE(library.ChangedOnDisk());
  // Another program replaces the record by one of the same size: the inode tells.
  ProtocolLibrary other(file_);
  ASSERT_TRUE(other.Load());
  other.StoreRecord(TwoKeyRecord("0150").Record, {{}, {}}, 0);
  EXPECT_TRUE(library.ChangedOnDisk());
  library.AcceptDiskState();
  EXPECT_FALSE(library.ChangedOnDisk());
  // The library's own changes are not changes by another program.
  library.StoreRecord(TwoKeyRecord("0151").Record, {{}, {}}, -1);
  EXPECT_FALSE(library.ChangedOnDisk());
  fs::remove(file_);
  EXPECT_TRUE(library.ChangedOnDisk());
  // Loading takes the file as it is.
  library.Load();
  EXPECT_FALSE(library.ChangedOnDisk());
  EXPECT_EQ(library.Size(), 0);
}

TEST(Record, InitRecordSetsDefaultsAndKeepsKeys) {
  TdiskAir r = TdiskAir::FromImage(base::Bytes(TdiskAir::kSize, 0x5A));
  r.KeyCount = 2;
  r.Keys[0].Name.assign("Power");
  r.Keys[0].StateCount = 2;
  r.Keys[0].StateNames[0].assign("Off");
  r.Keys[0].StateNames[2].assign("Stale");
  r.Keys[7].StateCount = 200;  // out of range: names are left alone
  InitRecord(r, 44000.25);
  EXPECT_EQ(r.Reserved0, 0);
  EXPECT_EQ(r.LsbFirst, 1);
  EXPECT_EQ(r.RemoteType, 0);
  EXPECT_EQ(r.ChangeTime, 44000.25);
  EXPECT_TRUE(r.Brand.empty() && r.CodeNo.empty() && r.MemoCn.empty() && r.MemoEn.empty());
  EXPECT_EQ(r.HasChecksum, 0);
  EXPECT_EQ(r.Params, ir::TIRGsPara{});
  for (const auto& slot : r.Slots) {
    EXPECT_TRUE(slot.Text.empty());
    EXPECT_EQ(slot.CodeStored, 0);
    EXPECT_EQ(slot.Crc.HasChecksum, 0);
    EXPECT_EQ(slot.Crc.Count, 1);
    for (const auto& item : slot.Crc.Items) EXPECT_EQ(item, ir::TCrcItem{});
  }
  EXPECT_EQ(r.KeyCount, 2);
  EXPECT_EQ(r.Keys[0].Name.str(), "Power");
  EXPECT_EQ(r.Keys[0].StateNames[0].str(), "Off");
  EXPECT_TRUE(r.Keys[0].StateNames[2].empty());
  EXPECT_EQ(r.Keys[7].StateCount, 200);
  EXPECT_FALSE(r.Keys[7].StateNames[15].empty());
  for (const auto& key : r.Keys) {
    EXPECT_TRUE(KeyUnassigned(key));
    EXPECT_EQ(key.Columns[31].BitPos, 1);
    EXPECT_EQ(key.Columns[31].Width, 1);
    EXPECT_EQ(key.Columns[31].Kind, 0);
    EXPECT_EQ(key.Columns[31].Values[15], 255);
    EXPECT_EQ(key.FixedFlags, 0);
    EXPECT_EQ(key.Slot, 255);
    EXPECT_EQ(key.Slot2, 255);
    EXPECT_EQ(key.Extra, (std::array<std::uint8_t, 5>{}));
  }
}

TEST(Record, CountAssignedKeysLooksAtColumnZeroOfTheKeysInUse) {
  TdiskAir r;
  InitRecord(r, 0);
  r.KeyCount = 3;
  r.Keys[0].Columns[0].Frame = 0;
  r.Keys[1].Columns[5].Frame = 0;  // assigned, but not in column 0
  r.Keys[4].Columns[0].Frame = 0;  // beyond the key count
  EXPECT_EQ(CountAssignedKeys(r), 1);
  EXPECT_FALSE(KeyUnassigned(r.Keys[1]));
  EXPECT_TRUE(KeyUnassigned(r.Keys[2]));
}

TEST(Template, LoadsOnlyAFileOfExactlyOneImage) {
  TempDir dir;
  TdiskAir r;
  EXPECT_FALSE(LoadTemplate(dir.path(), r));
  for (std::size_t size : {TdiskAir::kSize - 1, TdiskAir::kSize + 1, std::size_t{0}}) {
    WriteRaw(dir.path() / kTemplateFileName, base::Bytes(size, 1));
    EXPECT_FALSE(LoadTemplate(dir.path(), r)) << size;
  }
  TdiskAir saved = TwoKeyRecord("0149").Record;
  SaveTemplate(dir.path(), saved);
  EXPECT_EQ(fs::file_size(dir.path() / kTemplateFileName), TdiskAir::kSize);
  ASSERT_TRUE(LoadTemplate(dir.path(), r));
  EXPECT_EQ(r.ToImage(), saved.ToImage());
}

}  // namespace
}  // namespace klimavo::store
