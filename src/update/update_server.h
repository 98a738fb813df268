#pragma once
// Where the update comes from and how it is fetched: the server address (key
// `UpdateUrl` of section `Config`, or an address given on the command line),
// the proxy of the update dialog (keys `proxySvr` and `proxtPort`), and the
// addresses of "up.txt" and of each data file under "/upld/ac/v2/".

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "update/update_list.h"

namespace klimavo::update {

inline constexpr std::string_view kKeyUpdateUrl = "UpdateUrl";
/// The folder of the published files on the server.
inline constexpr std::string_view kServerFolder = "/upld/ac/v2/";
inline constexpr std::string_view kListFileName = "up.txt";
/// How long a transfer may wait for the next byte before it fails.
inline constexpr std::chrono::milliseconds kReadTimeout{8000};
/// The largest data file an update accepts (bytes); a longer one is stopped.
inline constexpr std::size_t kMaxDataFileBytes = 128u * 1024 * 1024;
/// How long fetching "up.txt" may take in all, however steadily it trickles in.
inline constexpr std::chrono::milliseconds kListDeadline{30'000};
/// How long one data file may take in all.
inline constexpr std::chrono::milliseconds kFileDeadline{10 * 60'000};
/// How long a whole update (the list and every file) may take.
inline constexpr std::chrono::milliseconds kRunDeadline{30 * 60'000};

/// How the update server is reached.
struct ServerSettings {
  /// The server address without trailing '/'; empty when none is set.
  std::string base_url;
  /// Proxy host (empty: no proxy) and port.
  std::string proxy_host;
  int proxy_port = 0;
  std::chrono::milliseconds read_timeout = kReadTimeout;
  std::size_t max_list_bytes = kMaxListBytes;
  std::size_t max_file_bytes = kMaxDataFileBytes;
  std::chrono::milliseconds list_deadline = kListDeadline;
  std::chrono::milliseconds file_deadline = kFileDeadline;
  std::chrono::milliseconds run_deadline = kRunDeadline;
};

/// Why an address cannot be used.
enum class AddressProblem {
  kNone,
  kMissing,            ///< no address is set
  kUnsupportedScheme,  ///< not http://, https:// or file://
};

/// The address as it will be used (trailing '/' dropped) and what is wrong with it.
struct ServerAddress {
  std::string base_url;
  AddressProblem problem = AddressProblem::kMissing;
};

/// Checks an address: http://, https:// or file:// (any letter case) followed
/// by something; trailing '/' characters are dropped.
ServerAddress CheckServerAddress(std::string_view url);
/// The address of the update server: `override_url` when given, else key
/// `UpdateUrl` of section `Config` of config.ini. Throws base::FileError when
/// config.ini exists but cannot be read.
ServerAddress ResolveServerAddress(const std::filesystem::path& config_ini,
                                   const std::optional<std::string>& override_url);
/// The settings of the update dialog and of `update download`: the address
/// and the proxy of section `Config`.
ServerSettings DownloadSettings(const std::filesystem::path& config_ini, const std::string& base_url);
/// The settings of the automatic check: the address, no proxy.
ServerSettings CheckSettings(const std::string& base_url);

/// base_url + "/upld/ac/v2/" + the name, percent-encoded.
std::string PublishedFileUrl(std::string_view base_url, std::string_view name);

}  // namespace klimavo::update
