#include "lang/form_entry.h"

#include "base/text.h"

namespace klimavo::lang {
namespace {

constexpr std::size_t kMaxParts = 3;

std::vector<std::string> SplitAt(std::string_view text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (true) {
    std::size_t end = text.find(separator, start);
    if (end == std::string_view::npos) {
      parts.emplace_back(text.substr(start));
      return parts;
    }
    parts.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
}

// The integer between "[" and "]" of a part such as "Col[3]".
std::optional<int> BracketNumber(std::string_view part) {
  std::size_t open = part.find('[');
  if (open == std::string_view::npos) return std::nullopt;
  std::size_t close = part.find(']', open + 1);
  if (close == std::string_view::npos) return std::nullopt;
  long long n = 0;
  if (!base::ParseInteger(part.substr(open + 1, close - open - 1), n)) return std::nullopt;
  if (n < 0 || n > 0x7FFFFFFF) return std::nullopt;
  return static_cast<int>(n);
}

FormEntryPath FontEntry(const std::string& second) {
  FormEntryPath entry;
  entry.property = second;
  if (base::EqualsIgnoreCaseAscii(second, "NAME"))
    entry.target = EntryTarget::kFontName;
  else if (base::EqualsIgnoreCaseAscii(second, "SIZE"))
    entry.target = EntryTarget::kFontSize;
  return entry;
}

}  // namespace

FormEntryPath ParseFormEntryPath(std::string_view path) {
  FormEntryPath entry;
  std::string trimmed = base::Trim(path);
  if (trimmed.empty()) return entry;
  std::vector<std::string> parts = SplitAt(trimmed, '.');
  if (parts.size() > kMaxParts) return entry;
  for (const auto& part : parts)
    if (part.empty()) return entry;
  if (parts.size() == 1) {
    entry.target = EntryTarget::kWindowProperty;
    entry.property = parts[0];
    return entry;
  }
  if (parts.size() == 2) {
    if (base::EqualsIgnoreCaseAscii(parts[0], "FONT")) return FontEntry(parts[1]);
    entry.target = EntryTarget::kComponentProperty;
    entry.component = parts[0];
    entry.property = parts[1];
    return entry;
  }
  entry.target = EntryTarget::kSubProperty;
  entry.component = parts[0];
  entry.sub = parts[1];
  entry.property = parts[2];
  if (base::UpperAscii(parts[1]).find("COL") != std::string::npos) entry.column = BracketNumber(parts[1]);
  return entry;
}

std::vector<std::string> SplitListValue(std::string_view value) { return SplitAt(value, ','); }

std::optional<long long> EntryIntegerValue(std::string_view value) {
  long long n = 0;
  if (!base::ParseInteger(value, n)) return std::nullopt;
  return n;
}

}  // namespace klimavo::lang
