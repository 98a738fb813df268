#include "update/update_list.h"

#include <algorithm>
#include <unordered_map>

#include "base/gbk.h"
#include "base/ini_file.h"
#include "base/text.h"
#include "config/config.h"

namespace klimavo::update {
namespace {

constexpr std::string_view kKeySoftId = "softid";
constexpr std::string_view kKeyMsg = "msg";
constexpr std::string_view kKeyFileCount = "filecount";
constexpr std::string_view kKeyFileName = "filename";
constexpr std::string_view kKeyFileDate = "filedate";
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";
/// Lock files of the data folder (upper-cased); an update never replaces one.
constexpr std::string_view kLockSuffix = ".LOCK";

// The name=value lines of the list, keys upper-cased; the first occurrence wins.
using ListValues = std::unordered_map<std::string, std::string>;

ListValues ReadLines(std::string_view text) {
  ListValues values;
  text = text.substr(0, std::min(text.size(), kMaxListBytes));
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = std::min(text.find('\n', pos), text.size());
    const std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string key = base::UpperAscii(base::Trim(line.substr(0, eq)));
    if (key.empty()) continue;
    values.try_emplace(std::move(key), base::Trim(line.substr(eq + 1)));
  }
  return values;
}

std::string ValueOf(const ListValues& values, std::string_view key) {
  const auto it = values.find(base::UpperAscii(key));
  return it == values.end() ? std::string() : it->second;
}

bool HasForbiddenCharacter(std::string_view utf8) {
  constexpr std::string_view kForbidden = "/\\:*?\"<>|=";
  for (const unsigned char c : utf8) {
    if (c < 0x20 || c == 0x7F) return true;
    if (kForbidden.find(static_cast<char>(c)) != std::string_view::npos) return true;
  }
  return false;
}

}  // namespace

UpdateList ParseUpdateList(std::string_view text) {
  const ListValues values = ReadLines(text);
  UpdateList list;
  const std::string softid = ValueOf(values, kKeySoftId);
  list.has_softid = !softid.empty();
  if (!base::ParseInteger(softid, list.softid)) list.softid = 0;
  list.msg = ValueOf(values, kKeyMsg);
  long long count = 0;
  if (!base::ParseInteger(ValueOf(values, kKeyFileCount), count) || count > kMaxListedFiles) return list;
  list.count_readable = true;
  for (long long i = 0; i < count; ++i) {
    const std::string index = std::to_string(i);
    list.files.push_back(ListedFile{ValueOf(values, std::string(kKeyFileName) + index),
                                    ValueOf(values, std::string(kKeyFileDate) + index)});
  }
  return list;
}

RecordedDates RecordedDates::Load(const std::filesystem::path& config_ini) {
  RecordedDates recorded;
  const base::IniFile ini = base::IniFile::Load(config_ini);
  for (const auto& [name, date] : ini.Entries(config::kSectionUpdateInfo))
    recorded.dates_.try_emplace(base::UpperAscii(name), date);
  return recorded;
}

void RecordedDates::Set(std::string_view name, std::string_view date) {
  dates_[base::UpperAscii(name)] = std::string(date);
}

std::string RecordedDates::DateOf(std::string_view name) const {
  if (name.empty()) return {};
  const auto it = dates_.find(base::UpperAscii(name));
  return it == dates_.end() ? std::string() : it->second;
}

std::vector<ListedFile> ChangedFiles(const UpdateList& list, const RecordedDates& recorded) {
  std::vector<ListedFile> changed;
  if (!list.count_readable) return changed;
  for (const ListedFile& file : list.files)
    if (file.date != recorded.DateOf(file.name)) changed.push_back(file);
  return changed;
}

bool AutoCheckFindsUpdate(const UpdateList& list, const RecordedDates& recorded) {
  if (!list.has_softid) return false;
  if (list.softid >= kSoftIdForcesUpdate) return true;
  if (!list.count_readable || list.files.empty()) return false;
  return !ChangedFiles(list, recorded).empty();
}

bool IsPlainFileName(std::string_view name) {
  if (name.empty() || name.size() > kMaxFileNameBytes) return false;
  if (base::Trim(name).size() != name.size()) return false;
  const char first = name.front();
  if (first == '.' || first == '[' || first == ';') return false;
  if (base::UpperAscii(name).ends_with(kLockSuffix)) return false;
  // Checked on the UTF-8 form: there an ASCII byte is always an ASCII
  // character, while in GBK a second byte may look like '\' or '|'.
  const std::string utf8 = base::GbkToUtf8(name);
  if (utf8.find(kReplacementCharacter) != std::string::npos) return false;
  return !HasForbiddenCharacter(utf8);
}

void RecordDates(const std::filesystem::path& config_ini, const std::vector<ListedFile>& files) {
  base::IniFile ini = base::IniFile::Load(config_ini);
  for (const ListedFile& file : files) ini.WriteString(config::kSectionUpdateInfo, file.name, file.date);
  ini.Save(config_ini);
}

}  // namespace klimavo::update
