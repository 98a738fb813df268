#include "update/update_server.h"

#include <array>

#include "base/ini_file.h"
#include "base/text.h"
#include "config/config.h"

namespace klimavo::update {
namespace {

constexpr std::array<std::string_view, 3> kSchemes = {"http://", "https://", "file://"};

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

}  // namespace

ServerAddress CheckServerAddress(std::string_view url) {
  ServerAddress address;
  std::string trimmed = base::Trim(url);
  if (trimmed.empty()) return address;
  address.problem = AddressProblem::kUnsupportedScheme;
  address.base_url = trimmed;
  const std::string upper = base::UpperAscii(trimmed);
  for (std::string_view scheme : kSchemes) {
    if (upper.rfind(base::UpperAscii(scheme), 0) != 0) continue;
    // Trailing '/' characters go, but never into the scheme: "file:///" is the
    // root folder, and a web address needs a host.
    std::string rest = trimmed.substr(scheme.size());
    while (!rest.empty() && rest.back() == '/') rest.pop_back();
    address.base_url = trimmed.substr(0, scheme.size()) + rest;
    if (!rest.empty() || scheme == "file://") address.problem = AddressProblem::kNone;
    return address;
  }
  return address;
}

ServerAddress ResolveServerAddress(const std::filesystem::path& config_ini,
                                   const std::optional<std::string>& override_url) {
  if (override_url) return CheckServerAddress(*override_url);
  const base::IniFile ini = base::IniFile::Load(config_ini);
  return CheckServerAddress(ini.ReadString(config::kSectionConfig, kKeyUpdateUrl, ""));
}

ServerSettings DownloadSettings(const std::filesystem::path& config_ini, const std::string& base_url) {
  const config::ConfigValues values = config::ReadConfig(config_ini);
  ServerSettings settings;
  settings.base_url = base_url;
  settings.proxy_host = values.proxy_server;
  settings.proxy_port = values.proxy_port;
  return settings;
}

ServerSettings CheckSettings(const std::string& base_url) {
  ServerSettings settings;
  settings.base_url = base_url;
  return settings;
}

std::string PublishedFileUrl(std::string_view base_url, std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url(base_url);
  url += kServerFolder;
  for (const unsigned char c : name) {
    if (IsUnreserved(c)) {
      url += static_cast<char>(c);
    } else {
      url += '%';
      url += kHex[c >> 4];
      url += kHex[c & 0x0F];
    }
  }
  return url;
}

}  // namespace klimavo::update
