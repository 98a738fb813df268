#include "store/library_and_pictures.h"

#include <set>

#include "base/atomic_file.h"
#include "base/date_time.h"
#include "base/text.h"
#include "store/picture_store.h"

namespace klimavo::store {

StoreLock::StoreLock(const std::filesystem::path& library_file, const std::filesystem::path& picture_file)
    : library_(library_file), pictures_(picture_file) {
  base::RemoveStaleTemporaryFiles(library_file);
  base::RemoveStaleTemporaryFiles(picture_file);
}

std::vector<base::FileReplacement> ReplacementOrder(StoreChange change, base::FileReplacement library,
                                                    base::FileReplacement pictures) {
  if (change == StoreChange::kRemovesRecords) return {library, pictures};
  return {pictures, library};
}

void CommitLibraryAndPictures(ProtocolLibrary& library, TdiskAirList records,
                              const std::filesystem::path& picture_file, const base::Bytes& pictures,
                              StoreChange change) {
  for (auto& entry : records) {
    if (entry.Lines.size() != LineListCount(entry.Record))
      entry.Lines.assign(LineListCount(entry.Record), {});
  }
  const base::Bytes library_bytes = LibraryFileBytes(records, base::NowAsDateTime());
  base::WriteFilesAtomically(
      ReplacementOrder(change, {library.File(), library_bytes}, {picture_file, pictures}));
  library.AdoptWritten(std::move(records));
}

void DeleteRecordsWithPictures(ProtocolLibrary& library, const std::vector<int>& indices,
                               const std::filesystem::path& picture_file) {
  std::vector<PictureEdit> edits;
  for (int i : std::set<int>(indices.begin(), indices.end())) {
    if (i < 0 || i >= library.Size()) continue;
    edits.push_back({base::Trim(library.Records()[static_cast<std::size_t>(i)].Record.CodeNo.str()), {}});
  }
  std::vector<PictureChange> changes;
  const base::Bytes pictures =
      PictureFileWithEdits(ReadPictureStoreForChange(picture_file), edits, picture_file, changes);
  TdiskAirList kept = library.Without(indices);
  bool pictures_changed = false;
  for (PictureChange change : changes)
    pictures_changed = pictures_changed || change != PictureChange::kUnchanged;
  if (!pictures_changed) {
    library.DeleteRecords(indices);
    return;
  }
  CommitLibraryAndPictures(library, std::move(kept), picture_file, pictures, StoreChange::kRemovesRecords);
}

}  // namespace klimavo::store
