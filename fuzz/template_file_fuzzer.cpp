// Feeds arbitrary bytes to the template loader through a file. Only a file of
// exactly one record image loads, and saving it gives the same bytes back.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/atomic_file.h"
#include "store/library.h"

namespace {

const std::filesystem::path& DataDir() {
  static const std::filesystem::path dir = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "klimavo-template-fuzz-XXXXXX").string();
    return std::filesystem::path(::mkdtemp(pattern.data()));
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace klimavo::store;
  const std::filesystem::path file = DataDir() / kTemplateFileName;
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  TdiskAir record;
  bool loaded = LoadTemplate(DataDir(), record);
  if (loaded != (size == TdiskAir::kSize)) std::abort();
  if (!loaded) return 0;
  SaveTemplate(DataDir(), record);
  auto back = klimavo::base::ReadWholeFile(file);
  if (!back || back->size() != size || !std::equal(back->begin(), back->end(), data)) std::abort();
  return 0;
}
