#include "base/ini_file.h"

#include "base/atomic_file.h"
#include "base/text.h"

namespace klimavo::base {

IniFile IniFile::FromText(std::string_view text) {
  IniFile ini;
  ini.sections_.push_back(Section{});
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    std::string_view raw =
        text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    pos = end == std::string_view::npos ? text.size() : end + 1;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    std::string trimmed = Trim(raw);
    if (trimmed.size() >= 2 && trimmed.front() == '[') {
      std::size_t close = trimmed.find(']');
      if (close != std::string::npos) {
        Section s;
        s.name = Trim(std::string_view(trimmed).substr(1, close - 1));
        s.header = std::string(raw);
        ini.sections_.push_back(std::move(s));
        continue;
      }
    }
    Line line;
    line.text = std::string(raw);
    std::size_t eq = trimmed.find('=');
    if (eq != std::string::npos && !trimmed.empty() && trimmed.front() != ';' && trimmed.front() != '#') {
      line.is_entry = true;
      line.key = Trim(std::string_view(trimmed).substr(0, eq));
      line.value = Trim(std::string_view(trimmed).substr(eq + 1));
    }
    ini.sections_.back().lines.push_back(std::move(line));
  }
  return ini;
}

IniFile IniFile::Load(const std::filesystem::path& path) {
  auto data = ReadWholeFile(path);
  if (!data) return IniFile{};
  return FromText(std::string_view(reinterpret_cast<const char*>(data->data()), data->size()));
}

IniFile::Section* IniFile::FindSection(std::string_view name) {
  for (auto& s : sections_)
    if (!s.header.empty() && EqualsIgnoreCaseAscii(s.name, name)) return &s;
  return nullptr;
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
  for (const auto& s : sections_)
    if (!s.header.empty() && EqualsIgnoreCaseAscii(s.name, name)) return &s;
  return nullptr;
}

bool IniFile::HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

std::optional<std::string> IniFile::Value(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (!s) return std::nullopt;
  for (const auto& line : s->lines)
    if (line.is_entry && EqualsIgnoreCaseAscii(line.key, key)) return line.value;
  return std::nullopt;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  auto v = Value(section, key);
  return v ? *v : std::string(fallback);
}

long long IniFile::ReadInteger(std::string_view section, std::string_view key, long long fallback) const {
  auto v = Value(section, key);
  long long n = 0;
  if (!v || !ParseInteger(*v, n)) return fallback;
  return n;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

std::vector<std::pair<std::string, std::string>> IniFile::Entries(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> out;
  const Section* s = FindSection(section);
  if (!s) return out;
  for (const auto& line : s->lines)
    if (line.is_entry) out.emplace_back(line.key, line.value);
  return out;
}

std::vector<std::string> IniFile::SectionNames() const {
  std::vector<std::string> out;
  for (const auto& s : sections_)
    if (!s.header.empty()) out.push_back(s.name);
  return out;
}

void IniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  Section* s = FindSection(section);
  if (!s) {
    if (sections_.empty()) sections_.push_back(Section{});
    Section fresh;
    fresh.name = std::string(section);
    fresh.header = Concat({"[", section, "]"});
    sections_.push_back(std::move(fresh));
    s = &sections_.back();
  }
  for (auto& line : s->lines) {
    if (line.is_entry && EqualsIgnoreCaseAscii(line.key, key)) {
      line.value = std::string(value);
      line.text = line.key + "=" + line.value;
      return;
    }
  }
  Line line;
  line.is_entry = true;
  line.key = std::string(key);
  line.value = std::string(value);
  line.text = line.key + "=" + line.value;
  // Keep the new key before trailing blank lines of the section.
  auto it = s->lines.end();
  while (it != s->lines.begin() && Trim((it - 1)->text).empty()) --it;
  s->lines.insert(it, std::move(line));
}

void IniFile::WriteInteger(std::string_view section, std::string_view key, long long value) {
  WriteString(section, key, std::to_string(value));
}

void IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteInteger(section, key, value ? 1 : 0);
}

std::string IniFile::ToText() const {
  std::string out;
  for (const auto& s : sections_) {
    if (!s.header.empty()) out += s.header + "\r\n";
    for (const auto& line : s.lines) out += line.text + "\r\n";
  }
  return out;
}

void IniFile::Save(const std::filesystem::path& path) const { WriteFileAtomically(path, ToText()); }

long long ReadIniInteger(const std::filesystem::path& path, std::string_view section, std::string_view key,
                         long long fallback) {
  return IniFile::Load(path).ReadInteger(section, key, fallback);
}

void WriteIniString(const std::filesystem::path& path, std::string_view section, std::string_view key,
                    std::string_view value) {
  IniFile ini = IniFile::Load(path);
  ini.WriteString(section, key, value);
  ini.Save(path);
}

}  // namespace klimavo::base
