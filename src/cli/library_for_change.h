#pragma once
// The home's library read for a change by every verb that changes it.

#include "store/library.h"

namespace klimavo::cli {

/// Loads `library` for a change; the caller holds the library's lock. The
/// temporaries a killed save left are removed first, and a file that does not
/// load cleanly is refused (CommandError, exit status 2), so that the records
/// it still holds are never overwritten.
void LoadForChange(store::ProtocolLibrary& library);

}  // namespace klimavo::cli
