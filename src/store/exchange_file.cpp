#include "store/exchange_file.h"

#include <stdexcept>

#include "base/atomic_file.h"
#include "base/byte_io.h"
#include "base/date_time.h"
#include "base/file_error.h"
#include "base/text.h"
#include "store/library_and_pictures.h"
#include "store/picture_store.h"

namespace klimavo::store {
namespace fs = std::filesystem;
namespace {

/// Language text that starts the import message.
constexpr int kTextImported = 10;

}  // namespace

bool SplitExchangeFile(std::span<const std::uint8_t> file, ExchangeParts& parts) {
  if (file.size() < kExchangeHeaderSize) return false;
  base::ByteReader in(file);
  std::uint64_t l1 = in.u64();
  std::uint64_t l2 = in.u64();
  std::uint64_t body = file.size() - kExchangeHeaderSize;
  // Compared without adding, so lengths near 2^64 cannot wrap around.
  if (l1 > body || l2 != body - l1) return false;
  parts.records = file.subspan(kExchangeHeaderSize, static_cast<std::size_t>(l1));
  parts.pictures = file.subspan(kExchangeHeaderSize + static_cast<std::size_t>(l1));
  return true;
}

ExportResult ExportRecords(const ProtocolLibrary& library, const std::vector<int>& indices,
                           const fs::path& data_dir, const fs::path& target) {
  ExportResult result;
  if (indices.empty()) return result;
  std::vector<std::string> codes;
  TdiskAirList chosen;
  for (int i : indices) {
    if (i < 0 || i >= library.Size())
      throw std::out_of_range("library index " + std::to_string(i) + " is outside the library of " +
                              std::to_string(library.Size()) + " records");
    chosen.push_back(library.Records()[static_cast<std::size_t>(i)]);
    codes.push_back(base::Trim(chosen.back().Record.CodeNo.str()));
  }
  const base::Bytes records = LibraryFileBytes(chosen, base::NowAsDateTime());
  const base::Bytes pictures =
      ExportedPictureBytes(codes, data_dir / kPictureStoreFileName, result.pictures_left_out);
  base::ByteWriter out;
  out.u64(records.size());
  out.u64(pictures.size());
  out.bytes(records);
  out.bytes(pictures);
  base::WriteFileAtomically(target, out.data());
  result.count = static_cast<int>(chosen.size());
  return result;
}

ImportResult ImportRecords(ProtocolLibrary& library, const fs::path& data_dir, const fs::path& source) {
  ImportResult result;
  auto file = base::ReadWholeFile(source);
  if (!file) return result;
  ExchangeParts parts;
  if (!SplitExchangeFile(*file, parts)) return result;
  result.valid_file = true;
  TdiskAirList loaded;
  result.record_part = ParseLibraryBytesChecked(parts.records, loaded);
  if (!result.record_part.Loaded() || loaded.empty()) return result;

  AppendResult appended;
  TdiskAirList records = library.WithAppended(std::move(loaded), appended);
  std::vector<PictureEdit> edits;
  for (std::size_t i = 0; i < appended.old_codes.size(); ++i) {
    TMemPic_Info info;
    switch (SalvagePictureEntry(parts.pictures, appended.old_codes[i], info)) {
      case SalvagedEntry::kFound:
        edits.push_back({appended.new_codes[i], std::move(info)});
        break;
      case SalvagedEntry::kDamaged:
        result.damaged_pictures.push_back({appended.old_codes[i], appended.new_codes[i]});
        break;
      case SalvagedEntry::kNotFound:
        break;
    }
  }
  if (edits.empty()) {
    library.ReplaceRecords(std::move(records));
  } else {
    // All pictures go into the store in one rewrite, together with the records.
    const fs::path store = data_dir / kPictureStoreFileName;
    std::vector<PictureChange> changes;
    const base::Bytes pictures =
        PictureFileWithEdits(ReadPictureStoreForChange(store), edits, store, changes);
    CommitLibraryAndPictures(library, std::move(records), store, pictures, StoreChange::kAddsRecords);
  }
  result.count = appended.count;
  result.first_new_code = appended.new_codes.front();
  return result;
}

std::string ImportResultText(const ImportResult& result, const lang::Language& language) {
  std::string text = language.Text(kTextImported) + std::to_string(result.count);
  if (result.count > 0) text += ",Code No Start:" + result.first_new_code;
  return text;
}

}  // namespace klimavo::store
