#include "base/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace klimavo::base {
namespace {

bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

// One iconv conversion. `lossy` replaces unconvertible input by `replacement`
// and goes on; otherwise the first error fails the conversion.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in, bool lossy,
                                   std::string_view replacement, std::size_t skip_step) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
  std::string out;
  std::vector<char> buffer(in.size() * 4 + 16);
  char* src = const_cast<char*>(in.data());
  std::size_t src_left = in.size();
  while (src_left > 0) {
    char* dst = buffer.data();
    std::size_t dst_left = buffer.size();
    std::size_t rc = iconv(cd, &src, &src_left, &dst, &dst_left);
    out.append(buffer.data(), static_cast<std::size_t>(dst - buffer.data()));
    if (rc != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    if (!lossy) {
      iconv_close(cd);
      return std::nullopt;
    }
    out.append(replacement);
    std::size_t step = std::min(src_left, skip_step);
    src += step;
    src_left -= step;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  iconv_close(cd);
  return out;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
  bool ascii = true;
  for (unsigned char c : gbk) ascii = ascii && c < 0x80;
  if (ascii) return std::string(gbk);
  return Convert("UTF-8", "GBK", gbk, true, "\xEF\xBF\xBD", 1).value_or(std::string());
}

std::optional<std::string> Utf8ToGbk(std::string_view utf8) {
  bool ascii = true;
  for (unsigned char c : utf8) ascii = ascii && c < 0x80;
  if (ascii) return std::string(utf8);
  return Convert("GBK", "UTF-8", utf8, false, "", 1);
}

std::size_t GbkCutLength(std::string_view gbk, std::size_t max_bytes) {
  std::size_t i = 0;
  while (i < gbk.size()) {
    std::size_t width = (IsGbkLead(static_cast<unsigned char>(gbk[i])) && i + 1 < gbk.size()) ? 2 : 1;
    if (i + width > max_bytes) break;
    i += width;
  }
  return i;
}

std::string GbkCut(std::string_view gbk, std::size_t max_bytes) {
  return std::string(gbk.substr(0, GbkCutLength(gbk, max_bytes)));
}

}  // namespace klimavo::base
