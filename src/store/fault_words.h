#pragma once
// The words for what is wrong with the library, the picture store or a
// picture file, shared by the workbench's window and the command line: the
// language text that names the fault (the window shows it in the user's
// language) and the details with the numbers (the command line prints them,
// and the window adds them in brackets).

#include <filesystem>
#include <string>

#include "store/library.h"
#include "store/picture_store.h"

namespace klimavo::store {

struct FaultWords {
  int text = 0;         ///< language text naming the fault; 0 when the language has none
  std::string details;  ///< the fault with its numbers, in English
};

/// A library that does not load whole (its fault is not kNone).
FaultWords LibraryFaultWords(const LibraryLoadResult& result);
/// A damaged picture store.
FaultWords PictureStoreFaultWords(const PictureFileIntegrity& check);
/// A picture file that ReadPictureFile refused (`check` is not kOk).
FaultWords PictureFileFaultWords(PictureFileCheck check, const std::filesystem::path& file);

}  // namespace klimavo::store
