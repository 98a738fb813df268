// Fuzzes the picture store reader: lookups, raw entry reads and the rewrite of
// the entries that were read must stay within the bytes given. A file the
// check passes takes edits into a file the check passes again; a file it
// fails is refused, never rewritten.
#include <cstddef>
#include <cstdint>
#include <span>

#include "base/file_error.h"
#include "store/picture_store.h"

namespace {

constexpr std::size_t kMaxEntriesRead = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace klimavo::store;
  std::span<const std::uint8_t> file(data, size);
  for (const char* code : {"0149", "014", "1", "123456", "1234567"}) {
    TMemPic_Info info;
    FindPictureEntry(file, code, info);
  }
  for (const char* code : {"0149", "014", ""}) {
    TMemPic_Info info;
    SalvagePictureEntry(file, code, info);
  }
  const bool sound = CheckPictureFile(file).ok();
  TMemPic_Info picture;
  picture.Names = {"KFR-35GW"};
  picture.Picture = {0xFF, 0xD8};
  const std::vector<PictureEdit> edits = {{"0149", {}}, {"0150", picture}, {"014", {}}};
  std::vector<PictureChange> changes;
  try {
    const klimavo::base::Bytes edited =
        PictureFileWithEdits(klimavo::base::Bytes(file.begin(), file.end()), edits, "picmem.dat", changes);
    if (!sound || !CheckPictureFile(edited).ok() || changes.size() != edits.size()) __builtin_trap();
  } catch (const klimavo::base::FileError&) {
    if (sound) __builtin_trap();
  }
  std::vector<RawPictureEntry> entries;
  for (std::size_t i = 0; i < kMaxEntriesRead; ++i) {
    RawPictureEntry entry;
    if (ReadPictureEntry(file, i, entry)) entries.push_back(std::move(entry));
  }
  auto rebuilt = PictureFileBytes(entries);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    RawPictureEntry back;
    if (!ReadPictureEntry(rebuilt, i, back) || back.Code != entries[i].Code ||
        back.Slots != entries[i].Slots || back.Picture != entries[i].Picture)
      __builtin_trap();
  }
  return 0;
}
