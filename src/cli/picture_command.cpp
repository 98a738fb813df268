// `klimavo-cli picture`: the picture of a remote and the air-conditioner model
// names kept per code number in data/picmem.dat.
//
//   klimavo-cli [--home DIR] picture set CODE --jpeg FILE [--model NAME]...
//   klimavo-cli [--home DIR] picture show CODE
//   klimavo-cli [--home DIR] picture clear CODE
//
// `set` stores the JPEG file (.jpg or .jpeg, at most 102400 bytes, as the main
// window accepts) with the given model names; without --model the entry keeps
// the names it has. Texts are UTF-8 on the command line and GBK in the file.
// `clear` removes only an entry stored under exactly CODE.
// Exit status: 0 on success, 1 when `clear` found nothing to remove, 2 for
// unusable arguments, a missing entry, a damaged picture store (never
// rewritten) or a file error. `set` and `clear` hold the store's lock from
// before they read it until the new file is in place.
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/atomic_file.h"
#include "base/file_lock.h"
#include "base/gbk.h"
#include "base/home.h"
#include "base/text.h"
#include "cli/commands.h"
#include "store/fault_words.h"
#include "store/picture_store.h"

namespace klimavo::cli {
namespace {

/// A code number field holds at most six characters.
constexpr std::size_t kMaxCodeBytes = 6;

struct PictureOptions {
  std::string code;
  std::string jpeg;
  std::vector<std::string> models;
};

std::filesystem::path StorePath(Context& ctx) {
  return base::DataDir(ctx.Home()) / store::kPictureStoreFileName;
}

// The store's lock, held until the new file is in place; temporary files a
// killed save of the store left behind are removed under it.
base::FileLock LockStore(Context& ctx) {
  base::FileLock lock(StorePath(ctx));
  base::RemoveStaleTemporaryFiles(StorePath(ctx));
  return lock;
}

std::string CheckedCode(const std::string& raw) {
  std::string code = base::Trim(raw);
  if (code.empty()) throw CommandError{kExitUsage, "code number '" + raw + "' is empty"};
  auto gbk = base::Utf8ToGbk(code);
  if (!gbk) throw CommandError{kExitUsage, "code number '" + raw + "' is not GBK text"};
  if (gbk->size() > kMaxCodeBytes)
    throw CommandError{kExitUsage, "code number '" + raw + "' is longer than 6 characters"};
  return *gbk;
}

base::Bytes ReadJpeg(const std::string& name) {
  base::Bytes bytes;
  const store::PictureFileCheck check = store::ReadPictureFile(name, bytes);
  if (check != store::PictureFileCheck::kOk)
    throw CommandError{kExitUsage, store::PictureFileFaultWords(check, name).details};
  return bytes;
}

std::vector<std::string> GbkModels(const std::vector<std::string>& models) {
  std::vector<std::string> out;
  for (const auto& model : models) {
    auto gbk = base::Utf8ToGbk(model);
    if (!gbk) throw CommandError{kExitUsage, "model name '" + model + "' is not GBK text"};
    out.push_back(*gbk);
  }
  return out;
}

void RunSet(const PictureOptions& o, Context& ctx) {
  std::string code = CheckedCode(o.code);
  const base::FileLock lock = LockStore(ctx);
  store::TMemPic_Info info;
  store::LoadPicture(code, info, StorePath(ctx));
  info.Picture = ReadJpeg(o.jpeg);
  if (!o.models.empty()) info.Names = GbkModels(o.models);
  store::StorePicture(code, info, StorePath(ctx));
  std::cout << base::GbkToUtf8(code) << ": picture of " << info.Picture.size() << " bytes, "
            << info.Names.size() << " model name(s) stored\n";
}

void RunShow(const PictureOptions& o, Context& ctx) {
  std::string code = CheckedCode(o.code);
  store::TMemPic_Info info;
  const std::optional<base::Bytes> file = base::ReadWholeFile(StorePath(ctx));
  const store::SalvagedEntry found =
      file ? store::SalvagePictureEntry(*file, code, info) : store::SalvagedEntry::kNotFound;
  if (found == store::SalvagedEntry::kDamaged)
    throw CommandError{kExitUsage, "the picture store " + StorePath(ctx).string() + " is damaged (" +
                                       store::PictureStoreFaultWords(store::CheckPictureFile(*file)).details +
                                       "): the entry of code number '" + o.code + "' cannot be read"};
  if (found == store::SalvagedEntry::kNotFound || info.Empty())
    throw CommandError{kExitUsage, "code number '" + o.code + "' has no picture and no model names"};
  if (!store::CheckPictureFile(*file).ok())
    std::cerr << "klimavo-cli: warning: the picture store " << StorePath(ctx).string() << " is damaged ("
              << store::PictureStoreFaultWords(store::CheckPictureFile(*file)).details << ")\n";
  std::cout << "code: " << base::GbkToUtf8(code) << "\n";
  std::cout << "picture: " << info.Picture.size() << " bytes\n";
  std::cout << "models: " << info.Names.size() << "\n";
  for (const auto& name : info.Names) std::cout << "  " << base::GbkToUtf8(name) << "\n";
}

void RunClear(const PictureOptions& o, Context& ctx) {
  std::string code = CheckedCode(o.code);
  const base::FileLock lock = LockStore(ctx);
  if (store::StorePicture(code, store::TMemPic_Info{}, StorePath(ctx)) == store::PictureChange::kRemoved) {
    std::cout << base::GbkToUtf8(code) << ": picture and model names removed\n";
    return;
  }
  std::cout << base::GbkToUtf8(code) << ": nothing stored under exactly this code; nothing removed\n";
  ctx.exit_code = kExitFailed;
}

const CommandRegistration kPicture(310, [](CLI::App& app, Context& ctx) {
  auto options = std::make_shared<PictureOptions>();
  auto* picture = app.add_subcommand("picture", "Pictures and model names per code number (data/picmem.dat)");
  picture->require_subcommand(1);

  auto* set = picture->add_subcommand("set", "Store a JPEG picture (at most 102400 bytes) and model names");
  set->add_option("CODE", options->code, "Code number")->required();
  set->add_option("--jpeg", options->jpeg, "JPEG file (.jpg or .jpeg)")->required();
  set->add_option("--model", options->models, "Model name (repeat for several; none keeps the stored names)");
  set->callback([options, &ctx] { RunSet(*options, ctx); });

  auto* show = picture->add_subcommand("show", "Show the picture size and model names of a code number");
  show->add_option("CODE", options->code, "Code number")->required();
  show->callback([options, &ctx] { RunShow(*options, ctx); });

  auto* clear = picture->add_subcommand("clear", "Remove the picture and model names of a code number");
  clear->add_option("CODE", options->code, "Code number")->required();
  clear->callback([options, &ctx] { RunClear(*options, ctx); });
});

}  // namespace
}  // namespace klimavo::cli
