#include "cli/output_file.h"

#include "base/home.h"

namespace klimavo::cli {

void RefuseHomeFileAsOutput(Context& ctx, const std::filesystem::path& output) {
  if (const auto file = base::HomeFileAt(ctx.Home(), output))
    throw CommandError{kExitUsage, "output " + output.string() + " is the workbench's own file " +
                                       file->string() + "; it was not written"};
}

}  // namespace klimavo::cli
