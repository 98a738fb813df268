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

/// Reads a library file into `list`. False when the file is missing, shorter
/// than its header, or its length field disagrees with its size (list
/// untouched), or when it holds fewer records than its header says (complete
/// records kept, the rest zero-filled). Throws base::FileError when the file
/// exists but cannot be read.
bool LoadLibraryFile(const std::filesystem::path& path, TdiskAirList& list);
/// LoadLibraryFile over bytes already in memory.
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

  /// LoadLibraryFile into this library (a failed load leaves it as the loader says).
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

 private:
  void Save();
  std::filesystem::path file_;
  TdiskAirList records_;
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
