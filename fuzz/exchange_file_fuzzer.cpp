// Fuzzes the exchange file reader: the length check, the record part through
// the library loader, and the picture part through the picture lookup.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>

#include "store/exchange_file.h"
#include "store/picture_store.h"

namespace {

// The record part goes through a scratch file of this process, removed again
// after each input.
std::filesystem::path RecordPartFile() {
  return std::filesystem::temp_directory_path() /
         ("klimavo_exchange_fuzz_" + std::to_string(::getpid()) + ".dat");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace klimavo::store;
  ExchangeParts parts;
  if (!SplitExchangeFile(std::span<const std::uint8_t>(data, size), parts)) return 0;
  if (parts.records.size() + parts.pictures.size() + kExchangeHeaderSize != size) __builtin_trap();
  const std::filesystem::path scratch = RecordPartFile();
  {
    std::ofstream out(scratch, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(parts.records.data()),
              static_cast<std::streamsize>(parts.records.size()));
  }
  TdiskAirList list;
  const bool loaded = LoadLibraryFile(scratch, list);
  std::error_code ec;
  std::filesystem::remove(scratch, ec);
  if (loaded) {
    for (const auto& entry : list) {
      TMemPic_Info info;
      FindPictureEntry(parts.pictures, entry.Record.CodeNo.str(), info);
    }
  }
  TMemPic_Info info;
  FindPictureEntry(parts.pictures, "0001", info);
  return 0;
}
