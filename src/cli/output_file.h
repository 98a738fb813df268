#pragma once
// Output files of the verbs (--out): never one of the home's own files.

#include <filesystem>

#include "cli/commands.h"

namespace klimavo::cli {

/// Throws CommandError (exit status 2) when writing `output` would replace a
/// file of the home (the library, the picture store, config.ini, ...), however
/// it is named; the verb then writes nothing.
void RefuseHomeFileAsOutput(Context& ctx, const std::filesystem::path& output);

}  // namespace klimavo::cli
