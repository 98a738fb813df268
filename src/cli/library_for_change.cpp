#include "cli/library_for_change.h"

#include "base/atomic_file.h"
#include "cli/commands.h"
#include "store/fault_words.h"

namespace klimavo::cli {

void LoadForChange(store::ProtocolLibrary& library) {
  base::RemoveStaleTemporaryFiles(library.File());
  const store::LibraryLoadResult loaded = library.LoadChecked();
  if (loaded.Damaged())
    throw CommandError{kExitUsage, "library " + library.File().string() + " is damaged: " +
                                       store::LibraryFaultWords(loaded).details + "; it was not changed"};
}

}  // namespace klimavo::cli
