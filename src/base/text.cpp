#include "base/text.h"

#include <charconv>

namespace klimavo::base {

std::string Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

std::string TrimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && static_cast<unsigned char>(s[i]) <= ' ') ++i;
  return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= ' ') --n;
  return std::string(s.substr(0, n));
}

std::string UpperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

bool EqualsIgnoreCaseAscii(std::string_view a, std::string_view b) { return UpperAscii(a) == UpperAscii(b); }

bool ParseInteger(std::string_view s, long long& value) {
  std::string t = Trim(s);
  std::string_view v = t;
  if (!v.empty() && v.front() == '+') v.remove_prefix(1);
  if (v.empty()) return false;
  auto [ptr, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
  return ec == std::errc() && ptr == v.data() + v.size();
}

std::string Concat(std::initializer_list<std::string_view> parts) {
  std::size_t size = 0;
  for (std::string_view part : parts) size += part.size();
  std::string text;
  text.reserve(size);
  for (std::string_view part : parts) text.append(part);
  return text;
}

}  // namespace klimavo::base
