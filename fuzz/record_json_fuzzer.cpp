// Feeds arbitrary text to the JSON record reader. Text that reads as a record
// must survive a round trip: record -> JSON -> record gives the same image and lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "store/library.h"
#include "store/record_json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace klimavo::store;
  LibraryRecord first;
  try {
    first = LibraryRecordFromJsonText(std::string_view(reinterpret_cast<const char*>(data), size));
  } catch (const RecordJsonError&) {
    return 0;
  }
  LibraryRecord second = LibraryRecordFromJsonText(LibraryRecordToJsonText(first));
  if (second.Record.ToImage() != first.Record.ToImage() || !(second.Lines == first.Lines)) std::abort();
  return 0;
}
