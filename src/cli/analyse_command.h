#pragma once
// `klimavo-cli analyse`: the analysis tools without a display. The verb is
// registered once (analyse_command.cpp); each sub-verb adds itself to it from
// its own file through one of these functions.

#include "cli/commands.h"

namespace klimavo::cli {

/// `analyse compare`: the comparison grid of the captures of a file.
void AddAnalyseCompare(CLI::App& analyse, Context& ctx);
/// `analyse checksum`: the checksum items that explain the codes of a file.
void AddAnalyseChecksum(CLI::App& analyse, Context& ctx);

}  // namespace klimavo::cli
