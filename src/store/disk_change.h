#pragma once
// What the workbench does when the library file changed on disk while it was
// open (another program, such as klimavo-cli or an update, wrote it).
//
// The workbench keeps the library in memory and remembers the file's stamp
// (ProtocolLibrary::ChangedOnDisk). Before any write, a changed file makes it
// ask: Reload the file, Overwrite it with the library in memory, or Cancel the
// command. Nothing is written without that answer, so a record another
// program added is never lost by surprise.

#include "store/library.h"

namespace klimavo::store {

/// The answers to the question, in the order the question offers them.
enum class DiskChangeAnswer { kReload, kOverwrite, kCancel };

/// The answer a button index stands for; any other index (the question closed
/// without an answer) cancels.
DiskChangeAnswer DiskChangeAnswerFromIndex(int index);

/// Where the record shown stands after a reload.
struct CurrentAfterReload {
  int index = -1;         ///< its library index in the reloaded library; -1 = not stored
  bool modified = false;  ///< it has changes not yet saved
};
/// A record with unsaved changes is kept, as a new record that is modified:
/// the reloaded library may no longer hold it where it was, and its changes
/// must not be lost. An unchanged record is found again by its code number
/// (-1 when the reloaded library does not hold it).
CurrentAfterReload PlaceCurrentAfterReload(const ProtocolLibrary& reloaded, const TdiskAir& current,
                                           bool record_modified);

}  // namespace klimavo::store
