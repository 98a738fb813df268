// The firmware verbs of klimavo-cli: `tables` (the main table file), `image`
// (one record's table image), `check-images` (the chip-image check of all
// records) and `bundle` (the mobile bundle).
#include <iostream>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "base/gbk.h"
#include "base/home.h"
#include "cli/commands.h"
#include "cli/output_file.h"
#include "config/config.h"
#include "firmware/chip_image_check.h"
#include "firmware/frame_tables.h"
#include "firmware/mobile_bundle.h"
#include "firmware/table_file.h"
#include "firmware/table_image.h"
#include "store/library.h"

namespace klimavo::cli {
namespace {

constexpr const char* kTableFile = "acwn.txt";

store::ProtocolLibrary LoadLibrary(Context& ctx) {
  store::ProtocolLibrary library(base::DataDir(ctx.Home()) / store::kLibraryFileName);
  if (!library.Load())
    throw CommandError{kExitUsage, "cannot read the protocol library " + library.File().string()};
  return library;
}

config::TimingAdjustments Timing(Context& ctx) {
  return config::Derive(config::ReadConfig(base::ConfigPath(ctx.Home()))).Timing;
}

std::string Utf8(const std::string& gbk) { return base::GbkToUtf8(gbk); }

struct TablesArgs {
  std::string out;
  std::vector<int> indices;
};

const CommandRegistration kTables(400, [](CLI::App& app, Context& ctx) {
  auto args = std::make_shared<TablesArgs>();
  auto* cmd =
      app.add_subcommand("tables", "Write the main table file (assembler, GBK, CR LF) for library records");
  cmd->add_option("--out", args->out, "Output file (default <home>/acwn.txt)");
  cmd->add_option("indices", args->indices, "Library indices")->required();
  cmd->callback([args, &ctx] {
    store::ProtocolLibrary library = LoadLibrary(ctx);
    std::filesystem::path out =
        args->out.empty() ? ctx.Home() / kTableFile : std::filesystem::path(args->out);
    RefuseHomeFileAsOutput(ctx, out);
    // An index that names no record fails the verb before the table file is
    // touched: tables without the asked record would replace a good file.
    for (int index : args->indices)
      if (index < 0 || index >= library.Size())
        throw CommandError{kExitUsage, "index " + std::to_string(index) +
                                           " is not in the library (it holds " +
                                           std::to_string(library.Size()) + " records); " + out.string() +
                                           " was not written"};
    firmware::WriteTableFile(out, library, args->indices, Timing(ctx),
                             [](const std::string& message) { std::cerr << Utf8(message) << "\n"; });
    ctx.exit_code = kExitOk;
  });
});

struct ImageArgs {
  int index = -1;
  bool header = false;
  bool c_array = false;
  bool hex = false;
  std::string out;
};

std::string HexText(const base::Bytes& image) {
  std::string text;
  text.reserve(image.size() * 2);
  for (std::uint8_t b : image) text += firmware::HexByte(b);
  return text;
}

const CommandRegistration kImage(410, [](CLI::App& app, Context& ctx) {
  auto args = std::make_shared<ImageArgs>();
  auto* cmd = app.add_subcommand("image", "Build the table image of one library record");
  cmd->add_option("index", args->index, "Library index")->required();
  cmd->add_flag("--header", args->header,
                "Put the 32-byte download header and the name text around the image");
  auto* c_array = cmd->add_flag("--c-array", args->c_array, "Print the \"Create c++\" line");
  auto* hex = cmd->add_flag("--hex", args->hex, "Print the image in upper-case hexadecimal (the default)");
  auto* out = cmd->add_option("--out", args->out, "Write the image bytes to FILE");
  c_array->excludes(hex)->excludes(out);
  hex->excludes(out);
  cmd->callback([args, &ctx] {
    if (!args->out.empty()) RefuseHomeFileAsOutput(ctx, args->out);
    store::ProtocolLibrary library = LoadLibrary(ctx);
    store::TdiskAir record;
    store::TBtnLines bit_lines;
    if (!library.FetchRecord(args->index, record, bit_lines))
      throw CommandError{kExitUsage, "index " + std::to_string(args->index) + " is not in the library"};
    base::Bytes image;
    int code = firmware::BuildTableImage(record, bit_lines, args->header, Timing(ctx), image);
    if (code != 0) {
      std::cout << code << "\n";
      ctx.exit_code = kExitFailed;
      return;
    }
    if (args->c_array)
      std::cout << firmware::CArrayText(image) << "\n";
    else if (!args->out.empty())
      base::WriteFileAtomically(args->out, image);
    else
      std::cout << HexText(image) << "\n";
    ctx.exit_code = kExitOk;
  });
});

const CommandRegistration kCheckImages(420, [](CLI::App& app, Context& ctx) {
  auto* cmd = app.add_subcommand("check-images", "Run every record's table image in the chip image emulator");
  cmd->callback([&ctx] {
    store::ProtocolLibrary library = LoadLibrary(ctx);
    firmware::ChipImageCheckResult result = firmware::CheckAllChipImages(library, Timing(ctx));
    for (const auto& code : result.listed) std::cout << Utf8(code) << "\n";
    ctx.exit_code = result.listed.empty() ? kExitOk : kExitFailed;
  });
});

const CommandRegistration kBundle(430, [](CLI::App& app, Context& ctx) {
  auto out = std::make_shared<std::string>();
  auto* cmd = app.add_subcommand("bundle", "Write the mobile bundle of all records' table images");
  cmd->add_option("--out", *out, "Output file")->required();
  cmd->callback([out, &ctx] {
    RefuseHomeFileAsOutput(ctx, *out);
    store::ProtocolLibrary library = LoadLibrary(ctx);
    firmware::MobileBundle bundle = firmware::WriteMobileBundle(*out, library, Timing(ctx));
    for (const auto& code : bundle.skipped) std::cerr << Utf8(code) << "\n";
    std::cout << bundle.smallest_image << "\n";
    ctx.exit_code = kExitOk;
  });
});

}  // namespace
}  // namespace klimavo::cli
