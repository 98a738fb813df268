// The update server's address, the proxy settings and the addresses of the
// published files.
#include "update/update_server.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "update_home.h"

namespace klimavo::update {
namespace {

TEST(UpdateServer, AddressesAreCheckedAndLoseTheirTrailingSlash) {
  const struct {
    const char* url;
    AddressProblem problem;
    const char* base;
  } cases[] = {
      {"", AddressProblem::kMissing, ""},
      {"   ", AddressProblem::kMissing, ""},
      {"http://updates.example.com", AddressProblem::kNone, "http://updates.example.com"},
      {"http://updates.example.com/", AddressProblem::kNone, "http://updates.example.com"},
      {" https://example.com/klimavo// ", AddressProblem::kNone, "https://example.com/klimavo"},
      {"HTTPS://Example.com:8443/x/", AddressProblem::kNone, "HTTPS://Example.com:8443/x"},
      {"file:///srv/share/site/", AddressProblem::kNone, "file:///srv/share/site"},
      {"file:///", AddressProblem::kNone, "file://"},
      {"http://", AddressProblem::kUnsupportedScheme, "http://"},
      {"https:///", AddressProblem::kUnsupportedScheme, "https://"},
      {"ftp://example.com/", AddressProblem::kUnsupportedScheme, "ftp://example.com/"},
      {"example.com", AddressProblem::kUnsupportedScheme, "example.com"},
      {"/srv/share/site", AddressProblem::kUnsupportedScheme, "/srv/share/site"},
  };
  for (const auto& c : cases) {
    const ServerAddress address = CheckServerAddress(c.url);
    EXPECT_EQ(address.problem, c.problem) << c.url;
    EXPECT_EQ(address.base_url, c.base) << c.url;
  }
}

TEST(UpdateServer, PublishedFilesLieUnderTheServerFolder) {
  EXPECT_EQ(PublishedFileUrl("http://h", "up.txt"), "http://h/upld/ac/v2/up.txt");
  EXPECT_EQ(PublishedFileUrl(CheckServerAddress("http://h/site/").base_url, "acprotocl.dat"),
            "http://h/site/upld/ac/v2/acprotocl.dat");
  EXPECT_EQ(PublishedFileUrl(CheckServerAddress("file:///").base_url, "up.txt"), "file:///upld/ac/v2/up.txt");
  // Anything but letters, digits and -._~ is percent-encoded, GBK bytes too.
  EXPECT_EQ(PublishedFileUrl("http://h", "a b#?%.dat"), "http://h/upld/ac/v2/a%20b%23%3F%25.dat");
  EXPECT_EQ(PublishedFileUrl("http://h", "\xCE\xC4.dat"), "http://h/upld/ac/v2/%CE%C4.dat");
}

TEST(UpdateServer, TheCommandLineAddressOverridesTheConfiguredOne) {
  const std::filesystem::path dir = testing::TempFolder("update-server-test");
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::filesystem::path config = dir / "config.ini";
  EXPECT_EQ(ResolveServerAddress(config, std::nullopt).problem, AddressProblem::kMissing);
  std::ofstream(config)
      << "[Config]\nUpdateUrl=http://configured.example/\nproxySvr=proxy.example\nproxtPort=3128\n";
  EXPECT_EQ(ResolveServerAddress(config, std::nullopt).base_url, "http://configured.example");
  EXPECT_EQ(ResolveServerAddress(config, std::string("file:///srv/site")).base_url, "file:///srv/site");
  EXPECT_EQ(ResolveServerAddress(config, std::string("")).problem, AddressProblem::kMissing);

  // The dialog uses the proxy of section Config; the automatic check never does.
  const ServerSettings download = DownloadSettings(config, "http://h");
  EXPECT_EQ(download.proxy_host, "proxy.example");
  EXPECT_EQ(download.proxy_port, 3128);
  EXPECT_EQ(download.read_timeout, std::chrono::milliseconds(8000));
  const ServerSettings check = CheckSettings("http://h");
  EXPECT_EQ(check.proxy_host, "");
  EXPECT_EQ(check.read_timeout, std::chrono::milliseconds(8000));
  std::ofstream(config) << "[Config]\nproxySvr=proxy.example\n";
  EXPECT_EQ(DownloadSettings(config, "http://h").proxy_port, 8000);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace klimavo::update
