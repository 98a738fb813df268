#pragma once
// Changes that touch both the library file and the picture store of a home:
// the lock that guards the two, and the writes that must leave both files as
// they were or both as they should be.
//
// Whoever changes either file holds its lock from before reading it until the
// new file is in place (base::FileLock). Both are taken in one order, library
// first, so two programs never wait for each other.

#include <filesystem>
#include <vector>

#include "base/atomic_file.h"
#include "base/file_lock.h"
#include "store/library.h"

namespace klimavo::store {

/// Holds the locks of a library file and of a picture store, taken in that
/// order, and removes the temporary files that a killed save of either left
/// beside it (no other save can be running while the locks are held).
class StoreLock {
 public:
  StoreLock(const std::filesystem::path& library_file, const std::filesystem::path& picture_file);

 private:
  base::FileLock library_;
  base::FileLock pictures_;
};

/// What a change of both files does; it decides which file goes in first.
enum class StoreChange {
  kAddsRecords,    ///< an import: new pictures, new records that show them
  kRemovesRecords  ///< a delete: records gone, their pictures gone
};

/// The order in which the two files of a change are renamed into place. A
/// process killed between the two renames must leave at worst pictures that
/// no record shows, never records whose pictures are gone: records that are
/// added go in after their pictures, records that are removed go out before
/// their pictures.
std::vector<base::FileReplacement> ReplacementOrder(StoreChange change, base::FileReplacement library,
                                                    base::FileReplacement pictures);

/// Writes the new picture store and the new library together
/// (base::WriteFilesAtomically, in ReplacementOrder) and, when both are in
/// place, makes `records` the library in memory. On failure both files and the
/// library in memory are as they were. Throws base::FileError.
void CommitLibraryAndPictures(ProtocolLibrary& library, TdiskAirList records,
                              const std::filesystem::path& picture_file, const base::Bytes& pictures,
                              StoreChange change);

/// Deletes the records at `indices` and the picture entries of their code
/// numbers in one change of both files. A damaged picture store throws
/// base::FileError before anything changes.
void DeleteRecordsWithPictures(ProtocolLibrary& library, const std::vector<int>& indices,
                               const std::filesystem::path& picture_file);

}  // namespace klimavo::store
