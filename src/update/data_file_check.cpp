#include "update/data_file_check.h"

#include "base/ini_file.h"
#include "base/text.h"
#include "lang/language.h"
#include "store/library.h"
#include "store/picture_store.h"
#include "store/protocol_record.h"

namespace klimavo::update {
namespace {

std::string_view AsText(std::span<const std::uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool SameName(std::string_view a, std::string_view b) { return base::UpperAscii(a) == base::UpperAscii(b); }

}  // namespace

std::optional<std::string> DataFileProblem(std::string_view name, std::span<const std::uint8_t> bytes) {
  if (SameName(name, store::kLibraryFileName)) {
    store::TdiskAirList records;
    const store::LibraryLoadResult result = store::ParseLibraryBytesChecked(bytes, records);
    if (!result.Loaded()) return "not a protocol library: " + store::DescribeLibraryFault(result);
    return std::nullopt;
  }
  if (SameName(name, store::kPictureStoreFileName)) {
    if (bytes.empty()) return std::nullopt;
    const store::PictureFileIntegrity check = store::CheckPictureFile(bytes);
    if (!check.ok()) return "not a picture store: " + store::DescribePictureFault(check);
    return std::nullopt;
  }
  if (SameName(name, store::kTemplateFileName)) {
    store::TdiskAir record;
    if (bytes.size() != store::TdiskAir::kSize || !record.ReadImage(bytes))
      return "not a record template: it has " + std::to_string(bytes.size()) + " bytes, a template " +
             std::to_string(store::TdiskAir::kSize);
    return std::nullopt;
  }
  if (SameName(name, lang::kTextsFileName)) {
    if (base::IniFile::FromText(AsText(bytes)).Entries("1").empty())
      return "not a language text file: it has no texts in section [1]";
    return std::nullopt;
  }
  if (SameName(name, lang::kNamesFileName)) {
    if (lang::LanguageCountOf(base::IniFile::FromText(AsText(bytes))) == 0)
      return "not a language names file: it names no language";
    return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace klimavo::update
