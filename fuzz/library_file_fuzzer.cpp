// Feeds arbitrary bytes to the library file loader. A file that loads must
// write back into bytes that load again and write back identically.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "store/library.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace klimavo::store;
  TdiskAirList list;
  ParseLibraryBytes(std::span(data, size), list);
  for (const auto& entry : list) UnpackLines(entry.Lines, IsLsbFirst(entry.Record));
  klimavo::base::Bytes written = LibraryFileBytes(list, 0.0);
  TdiskAirList again;
  if (!ParseLibraryBytes(written, again)) std::abort();
  if (LibraryFileBytes(again, 0.0) != written) std::abort();
  return 0;
}
