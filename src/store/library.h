#pragma once
// The protocol library: all records of data/acprotocl.dat in file order, with
// the operations that store, fetch, delete, export and append records. Every
// change rewrites the whole library file atomically.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "store/protocol_record.h"

namespace klimavo::store {

/// Reads a library file into `list`. False when the file is missing or its
/// length field disagrees with its size (list untouched), or when it holds
/// fewer records than its header says (complete records kept, rest zeroed).
bool LoadLibraryFile(const std::filesystem::path& path, TdiskAirList& list);
/// Writes a library file atomically (throws base::FileError). Records whose
/// line-list count differs from their key count are written with empty lists.
void SaveLibraryFile(const TdiskAirList& list, const std::filesystem::path& path);
/// The bytes SaveLibraryFile writes.
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
  /// index < 0 or past the end. Rewrites the file. Returns the index.
  int StoreRecord(const TdiskAir& record, const TBtnLines& bit_lines, int index);
  /// Copies record and lines (unpacked to one byte per bit); false outside the library.
  bool FetchRecord(int index, TdiskAir& record, TBtnLines& bit_lines) const;
  bool CodeNumberInUse(std::string_view code, int except_index) const;
  std::string NextCodeNumber() const;
  void DeleteRecords(const std::vector<int>& indices);
  void SaveRecordsToFile(const std::vector<int>& indices, const std::filesystem::path& path) const;
  AppendResult AppendRecordsFromFile(const std::filesystem::path& path);

 private:
  std::filesystem::path file_;
  TdiskAirList records_;
};

/// New-record defaults; keys, key names and state counts survive.
void InitRecord(TdiskAir& record, double now);
/// data/templet.apf: exactly one record image.
bool LoadTemplate(const std::filesystem::path& data_dir, TdiskAir& record);
void SaveTemplate(const std::filesystem::path& data_dir, const TdiskAir& record);
int CountAssignedKeys(const TdiskAir& record);
bool KeyUnassigned(const TdiskKey& key);

/// Packs lines held one byte per bit into code bytes (and back) with the
/// record's bit order; a line that does not convert keeps no code bytes.
TBtnLines PackLines(const TBtnLines& bit_lines, bool lsb_first);
TBtnLines UnpackLines(const TBtnLines& packed_lines, bool lsb_first);

}  // namespace klimavo::store
