#pragma once
// Exchange files (.acpf): chosen library records with their code lines, and
// their pictures and model names, to carry records between workbenches.
//
// Layout (little-endian): u64 L1, u64 L2, then L1 bytes of a library file
// holding the records, then L2 bytes of a picture file holding one entry per
// record in the same order, keyed by the record's trimmed code number. A valid
// file is exactly 16 + L1 + L2 bytes long.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "lang/language.h"
#include "store/library.h"

namespace klimavo::store {

inline constexpr std::size_t kExchangeHeaderSize = 16;

/// What an export wrote.
struct ExportResult {
  int count = 0;  ///< records written
  /// Code numbers (GBK, trimmed) whose picture entry could not be read from a
  /// damaged picture store: their records went out without picture and names.
  std::vector<std::string> pictures_left_out;
};

/// Writes the records at `indices` (in that order) and their picture entries
/// from data_dir/picmem.dat to `target`, replacing it atomically. The file is
/// built in memory, so exports that run at once never share a work file.
/// Nothing is written for an empty list; an index outside the library throws
/// std::out_of_range before anything is written; file errors throw base::FileError.
ExportResult ExportRecords(const ProtocolLibrary& library, const std::vector<int>& indices,
                           const std::filesystem::path& data_dir, const std::filesystem::path& target);

/// An imported record whose picture entry in the exchange file is damaged: it
/// was imported without its picture and model names.
struct DamagedPicture {
  std::string old_code;  ///< its code number in the exchange file
  std::string new_code;  ///< its code number in the library
};

struct ImportResult {
  bool valid_file = false;  ///< false: missing file or wrong length ("error file"); nothing changed
  int count = 0;            ///< records appended (0 when the record part is rejected)
  std::string first_new_code;
  LibraryLoadResult record_part;                 ///< how the record part loaded
  std::vector<DamagedPicture> damaged_pictures;  ///< records imported without their damaged picture
};

/// Appends the records of an exchange file to the library with new code numbers
/// following the current maximum, and stores their pictures under the new codes
/// in data_dir/picmem.dat. The length is checked before anything is touched,
/// and a record part that does not load cleanly imports nothing. The records
/// and all their pictures are written in one change of the library and the
/// picture store: on a failure (a full disk, an unwritable or damaged picture
/// store) both files and the library in memory are as they were. Throws
/// base::FileError. The caller holds the StoreLock of the home.
ImportResult ImportRecords(ProtocolLibrary& library, const std::filesystem::path& data_dir,
                           const std::filesystem::path& source);

/// The message shown after an import: text 10 and the count, and for a count
/// above 0 ",Code No Start:" and the first new code (GBK).
std::string ImportResultText(const ImportResult& result, const lang::Language& language);

/// The two parts of an exchange file, when its length agrees with its header.
struct ExchangeParts {
  std::span<const std::uint8_t> records;
  std::span<const std::uint8_t> pictures;
};
/// Splits the bytes of an exchange file; false when they are not 16 + L1 + L2 long.
bool SplitExchangeFile(std::span<const std::uint8_t> file, ExchangeParts& parts);

}  // namespace klimavo::store
