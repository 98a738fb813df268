// Fuzzes the reader of the update server's list "up.txt" with arbitrary text:
// the list stays within its bounds, the comparison with recorded dates and the
// automatic check's verdict work on whatever was read, and no name that the
// file-name check accepts could leave the data folder.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "update/update_list.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace klimavo::update;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const UpdateList list = ParseUpdateList(text);
  Require(list.files.size() <= static_cast<std::size_t>(kMaxListedFiles));
  Require(list.count_readable || list.files.empty());
  Require(list.has_softid || list.softid == 0);

  RecordedDates recorded;
  for (std::size_t i = 0; i < list.files.size() && i < 8; i += 2)
    recorded.Set(list.files[i].name, list.files[i].date);
  const auto changed = ChangedFiles(list, recorded);
  Require(changed.size() <= list.files.size());
  (void)AutoCheckFindsUpdate(list, recorded);

  for (const ListedFile& file : list.files) {
    if (!IsPlainFileName(file.name)) continue;
    const std::string_view name = file.name;
    Require(!name.empty() && name.size() <= kMaxFileNameBytes);
    Require(name.front() != '.');
    Require(name.find('/') == std::string_view::npos);
    Require(name.find('\0') == std::string_view::npos);
  }
  Require(!IsPlainFileName(text.substr(0, 3) == "../" ? text : "../x"));
  return 0;
}
