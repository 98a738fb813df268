// Feeds arbitrary bytes to the check an update makes of each downloaded data
// file. The first byte picks the file's name; the check never fails on its
// own, and a library or picture store it accepts loads cleanly.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "store/library.h"
#include "store/picture_store.h"
#include "update/data_file_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace klimavo;
  constexpr std::string_view kNames[] = {"acprotocl.dat", "picmem.dat",   "templet.apf",
                                         "Language.ini",  "Language.sil", "other.dat"};
  if (size == 0) return 0;
  const std::string_view name = kNames[data[0] % std::size(kNames)];
  const std::span<const std::uint8_t> bytes(data + 1, size - 1);
  const bool accepted = !update::DataFileProblem(name, bytes).has_value();
  if (accepted && name == store::kLibraryFileName) {
    store::TdiskAirList records;
    if (!store::ParseLibraryBytes(bytes, records)) std::abort();
  }
  if (accepted && name == store::kPictureStoreFileName && !bytes.empty() &&
      !store::CheckPictureFile(bytes).ok())
    std::abort();
  return 0;
}
