#pragma once
// The protocol library: all records of data/acprotocl.dat in file order, with
// the operations that store, fetch, delete, export and append records. Every
// change rewrites the whole library file atomically.
//
// Library file: a 29-byte header (0, written-at date-time, total length u64,
// record count u32, 8 zero bytes), then per record its 10025-byte image, a
// table of 16 line counts (u16) and the lines of its keys, 389 bytes each.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_stamp.h"
#include "store/protocol_record.h"

namespace klimavo::store {

inline constexpr std::size_t kLibraryHeaderSize = 29;
inline constexpr std::size_t kLineCountEntries = 16;  ///< entries of a record's line-count table
inline constexpr std::size_t kLineCountTableSize = kLineCountEntries * 2;
inline constexpr std::size_t kStoredLineSize = 389;
inline constexpr std::size_t kMaxLineCodeBytes = 129;
inline constexpr std::size_t kMaxLineElements = 64;
inline constexpr const char* kLibraryFileName = "acprotocl.dat";
inline constexpr const char* kTemplateFileName = "templet.apf";

/// A record that the library will not store: a key count above 8, a state
/// count above 16, or a code line longer than a stored line holds (129 code
/// bytes, 64 elements). Raised before anything in memory or on disk changes.
class RecordRejected : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

/// Number of per-key line lists a record has in a library file: its key count,
/// bounded by the 16 entries of the line-count table.
std::size_t LineListCount(const TdiskAir& record);
/// The bit order the line conversions use: any non-zero byte is LSB first.
inline bool IsLsbFirst(const TdiskAir& record) { return record.LsbFirst != 0; }

/// What is wrong with a library file, when anything is.
enum class LibraryFault {
  kNone,
  kMissing,            ///< there is no such file: an empty library, not damage
  kUnreadable,         ///< the file exists but cannot be read
  kShorterThanHeader,  ///< not even the 29-byte header is there
  kLengthField,        ///< the header's length field differs from the file's size
  kFewerRecords,       ///< the file ends before all the records its header counts
  kCutLineBlock,       ///< the code lines of a record are cut short
  kBytesAfterRecords,  ///< bytes are left after the records the header counts
};

/// The outcome of reading a library file. Every fault but kMissing is damage:
/// such a file must not be overwritten, since the records it holds beyond what
/// could be read would be lost.
struct LibraryLoadResult {
  LibraryFault fault = LibraryFault::kNone;
  std::uint64_t file_size = 0;
  std::uint64_t length_field = 0;  ///< total length the header states
  std::uint32_t header_count = 0;  ///< record count the header states
  std::size_t records_read = 0;    ///< records read whole (the list holds exactly these)
  std::string reason;              ///< the system's message for kUnreadable

  bool Loaded() const { return fault == LibraryFault::kNone; }
  bool Damaged() const { return fault != LibraryFault::kNone && fault != LibraryFault::kMissing; }
};
/// What is wrong, in words with the numbers: "its length field reads 11253
/// bytes but the file has 11243; 1 of 2 counted records read whole".
std::string DescribeLibraryFault(const LibraryLoadResult& result);

/// Reads a library file into `list`. A file that loads cleanly fills it with
/// its records. A damaged file fills it with the records that were read whole,
/// in file order (the one that is cut short is dropped, never zero-filled;
/// whole records beyond the header's count are kept too). A missing file leaves
/// the list untouched. A file that exists but cannot be read gives kUnreadable.
LibraryLoadResult LoadLibraryFileChecked(const std::filesystem::path& path, TdiskAirList& list);
/// LoadLibraryFileChecked over bytes already in memory.
LibraryLoadResult ParseLibraryBytesChecked(std::span<const std::uint8_t> data, TdiskAirList& list);
/// LoadLibraryFileChecked(...).Loaded(), except that a file that exists but
/// cannot be read throws base::FileError.
bool LoadLibraryFile(const std::filesystem::path& path, TdiskAirList& list);
/// ParseLibraryBytesChecked(...).Loaded().
bool ParseLibraryBytes(std::span<const std::uint8_t> data, TdiskAirList& list);
/// Writes a library file atomically (throws base::FileError, or RecordRejected
/// for an over-long line, before anything is written). Records whose line-list
/// count differs from LineListCount are written with empty lists.
void SaveLibraryFile(const TdiskAirList& list, const std::filesystem::path& path);
/// The bytes SaveLibraryFile writes, stamped with `written_at`.
base::Bytes LibraryFileBytes(const TdiskAirList& list, double written_at);

struct AppendResult {
  int count = 0;
  std::vector<std::string> old_codes;
  std::vector<std::string> new_codes;
};

/// `ProtocolLibrary` of the workbench: the records and the file they live in.
class ProtocolLibrary {
 public:
  explicit ProtocolLibrary(std::filesystem::path file) : file_(std::move(file)) {}

  /// Reads the file into this library (a missing file gives an empty one; a
  /// damaged one the records read whole) and remembers the file's stamp.
  LibraryLoadResult LoadChecked();
  /// LoadChecked(...).Loaded(); throws base::FileError when the file cannot be read.
  bool Load();
  const std::filesystem::path& File() const { return file_; }
  const TdiskAirList& Records() const { return records_; }
  TdiskAirList& MutableRecords() { return records_; }
  int Size() const { return static_cast<int>(records_.size()); }

  /// Stores a record with its code lines held one byte per bit; appends when
  /// index < 0 or past the end. Rewrites the file. Returns the index. Throws
  /// RecordRejected (nothing changed) for an out-of-range record or line.
  int StoreRecord(const TdiskAir& record, const TBtnLines& bit_lines, int index);
  /// Copies record and lines (unpacked to one byte per bit); false outside the library.
  bool FetchRecord(int index, TdiskAir& record, TBtnLines& bit_lines) const;
  /// True when a record other than `except_index` has this code (trimmed, any case).
  bool CodeNumberInUse(std::string_view code, int except_index) const;
  /// Largest integer code number + 1, at least 4 digits ("0001" when none).
  std::string NextCodeNumber() const;
  /// Index of the first record whose trimmed code equals `code` (any case); -1 when none.
  int IndexOfCode(std::string_view code) const;
  /// Removes the records at these indices (others keep their order); rewrites the file.
  void DeleteRecords(const std::vector<int>& indices);
  /// Writes the records at these indices, in the order given, to another library file.
  void SaveRecordsToFile(const std::vector<int>& indices, const std::filesystem::path& path) const;
  /// Appends the records of another library file under new consecutive code
  /// numbers; nothing changes when that file does not load.
  AppendResult AppendRecordsFromFile(const std::filesystem::path& path);

  // Every change above writes the new library to the file first and changes
  // the records in memory only when that succeeded: a failed write (a full
  // disk) leaves memory and file as they were, so a retry does not add twice.

  /// The records with `loaded` appended under new consecutive code numbers
  /// (what AppendRecordsFromFile stores); `result` gets the codes.
  TdiskAirList WithAppended(TdiskAirList loaded, AppendResult& result) const;
  /// The records without those at `indices` (what DeleteRecords stores).
  TdiskAirList Without(const std::vector<int>& indices) const;
  /// Writes `records` as the library file and then takes them as the library.
  void ReplaceRecords(TdiskAirList records);
  /// Takes `records` as the library after the caller has written them to
  /// File() (together with another file), and the file's stamp as it is now.
  void AdoptWritten(TdiskAirList records);

  /// True when the file on disk is no longer the one this library was read
  /// from or last wrote (another program changed it): its size, modification
  /// time or inode differ.
  bool ChangedOnDisk() const;
  /// Takes the file as it is now on disk as the one this library stands for,
  /// so the next change overwrites it.
  void AcceptDiskState();

 private:
  std::filesystem::path file_;
  TdiskAirList records_;
  base::FileStamp stamp_;
};

/// New-record defaults; keys, key names and state counts survive.
void InitRecord(TdiskAir& record, double now);
/// data/templet.apf: true when it exists and is exactly one record image.
bool LoadTemplate(const std::filesystem::path& data_dir, TdiskAir& record);
/// Replaces data/templet.apf atomically by the record's image (throws base::FileError).
void SaveTemplate(const std::filesystem::path& data_dir, const TdiskAir& record);
/// Keys among the first key-count keys whose column 0 is assigned.
int CountAssignedKeys(const TdiskAir& record);
/// True when none of the key's 32 columns is in use.
bool KeyUnassigned(const TdiskKey& key);

/// Packs lines held one byte per bit into code bytes (and back) with the
/// record's bit order; a line that does not convert keeps no code bytes.
TBtnLines PackLines(const TBtnLines& bit_lines, bool lsb_first);
TBtnLines UnpackLines(const TBtnLines& packed_lines, bool lsb_first);

}  // namespace klimavo::store
