#include "update/http_fetch.h"

#include <curl/curl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <optional>

namespace klimavo::update {
namespace {

using SteadyClock = std::chrono::steady_clock;

constexpr long kMaxRedirects = 5;
constexpr const char* kUserAgent = "klimavo/" KLIMAVO_VERSION;

void InitialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};

struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

struct PartDeleter {
  void operator()(char* part) const { curl_free(part); }
};

// A file:// address must name a regular file itself, not a link. A shared
// folder may hold anything under a published name: libcurl would wait without
// end for a writer of a FIFO (neither the time-out nor Cancel reaches it there),
// read a device or a folder as if it were the file, and copy whatever file a
// link names (another user's secrets) into the data folder. The reason, or nullopt for
// any other address and for a file that is missing (libcurl then says so).
std::optional<std::string> IrregularLocalFile(const std::string& url) {
  std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return std::nullopt;
  char* scheme_part = nullptr;
  if (curl_url_get(parsed.get(), CURLUPART_SCHEME, &scheme_part, 0) != CURLUE_OK) return std::nullopt;
  const std::unique_ptr<char, PartDeleter> scheme(scheme_part);
  if (std::string_view(scheme.get()) != "file") return std::nullopt;
  char* path_part = nullptr;
  if (curl_url_get(parsed.get(), CURLUPART_PATH, &path_part, CURLU_URLDECODE) != CURLUE_OK)
    return std::nullopt;
  const std::unique_ptr<char, PartDeleter> path(path_part);
  struct stat status {};
  if (::lstat(path.get(), &status) != 0 || S_ISREG(status.st_mode)) return std::nullopt;
  if (S_ISLNK(status.st_mode)) return std::string(path.get()) + " is a symbolic link, not a regular file";
  return std::string(path.get()) + " is not a regular file";
}

}  // namespace

// The state of one Run, reached from libcurl's C callbacks.
struct FetchCallbacks {
  HttpFetch& owner;
  const FetchRequest& request;
  const HttpFetch::Progress& progress;
  std::string body;
  bool too_large = false;
  bool timed_out = false;
  bool deadline_passed = false;
  const SteadyClock::time_point started = SteadyClock::now();
  SteadyClock::time_point last_activity = started;
  std::int64_t reported_total = -1;
  std::int64_t reported_received = -1;

  static std::size_t Write(char* data, std::size_t size, std::size_t count, void* user) {
    auto& self = *static_cast<FetchCallbacks*>(user);
    const std::size_t bytes = size * count;
    if (self.owner.cancelled_.load()) return 0;
    if (self.body.size() + bytes > self.request.max_bytes) {
      self.too_large = true;
      return 0;
    }
    self.body.append(data, bytes);
    self.last_activity = SteadyClock::now();
    return bytes;
  }

  static std::size_t Header(char*, std::size_t size, std::size_t count, void* user) {
    auto& self = *static_cast<FetchCallbacks*>(user);
    if (self.owner.cancelled_.load()) return 0;
    self.last_activity = SteadyClock::now();
    return size * count;
  }

  static int XferInfo(void* user, curl_off_t total, curl_off_t received, curl_off_t, curl_off_t) {
    auto& self = *static_cast<FetchCallbacks*>(user);
    if (self.owner.cancelled_.load()) return 1;
    const SteadyClock::time_point now = SteadyClock::now();
    if (self.request.deadline.count() > 0 && now - self.started > self.request.deadline) {
      self.deadline_passed = true;
      return 1;
    }
    if (now - self.last_activity > self.request.read_timeout) {
      self.timed_out = true;
      return 1;
    }
    if (self.progress && (total != self.reported_total || received != self.reported_received)) {
      self.reported_total = total;
      self.reported_received = received;
      self.progress(total, received);
    }
    return 0;
  }

  static curl_socket_t OpenSocket(void* user, curlsocktype, curl_sockaddr* address) {
    auto& owner = *static_cast<HttpFetch*>(user);
    const int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd < 0) return CURL_SOCKET_BAD;
    std::lock_guard lock(owner.sockets_mutex_);
    if (owner.cancelled_.load()) {
      ::close(fd);
      return CURL_SOCKET_BAD;
    }
    owner.open_sockets_.push_back(fd);
    return fd;
  }

  static int CloseSocket(void* user, curl_socket_t fd) {
    auto& owner = *static_cast<HttpFetch*>(user);
    std::lock_guard lock(owner.sockets_mutex_);
    std::erase(owner.open_sockets_, fd);
    return ::close(fd);
  }
};

void HttpFetch::Cancel() {
  cancelled_.store(true);
  std::lock_guard lock(sockets_mutex_);
  for (const int fd : open_sockets_) ::shutdown(fd, SHUT_RDWR);
}

FetchResult HttpFetch::Run(const FetchRequest& request, const Progress& progress) {
  FetchResult result;
  if (cancelled_.load()) {
    result.status = FetchStatus::kCancelled;
    return result;
  }
  InitialiseCurlOnce();
  if (std::optional<std::string> refusal = IrregularLocalFile(request.url)) {
    result.detail = std::move(*refusal);
    return result;
  }
  std::unique_ptr<CURL, EasyDeleter> handle(curl_easy_init());
  if (!handle) {
    result.detail = "cannot start a transfer";
    return result;
  }
  CURL* curl = handle.get();
  FetchCallbacks state{*this, request, progress, {}};
  char error[CURL_ERROR_SIZE] = {};
  const long timeout_ms = static_cast<long>(std::max<std::int64_t>(1, request.read_timeout.count()));

  curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https,file");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, kMaxRedirects);
  curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, timeout_ms);
  // The progress callback enforces the deadline; libcurl's own limit stops a
  // transfer stuck where that callback is not reached.
  if (request.deadline.count() > 0)
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(request.deadline.count()) + 1000L);
  // Refuses a body announced larger than the cap before it comes; Write stops
  // one that grows beyond it.
  if (request.max_bytes > 0)
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.max_bytes));
  // An empty proxy turns proxies off, also those of the environment.
  curl_easy_setopt(curl, CURLOPT_PROXY, request.proxy_host.c_str());
  if (!request.proxy_host.empty())
    curl_easy_setopt(curl, CURLOPT_PROXYPORT, static_cast<long>(request.proxy_port));
  curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, error);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &FetchCallbacks::Write);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &state);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &FetchCallbacks::Header);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &state);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &FetchCallbacks::XferInfo);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &state);
  curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, &FetchCallbacks::OpenSocket);
  curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, this);
  curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, &FetchCallbacks::CloseSocket);
  curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, this);

  const CURLcode code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.http_status);
  if (code == CURLE_OK && !cancelled_.load()) {
    result.status = FetchStatus::kOk;
    result.body = std::move(state.body);
    return result;
  }
  result.detail = error[0] != '\0' ? error : curl_easy_strerror(code);
  if (cancelled_.load()) {
    result.status = FetchStatus::kCancelled;
  } else if (state.deadline_passed ||
             (code == CURLE_OPERATION_TIMEDOUT && request.deadline.count() > 0 && !state.timed_out &&
              SteadyClock::now() - state.started >= request.deadline)) {
    result.status = FetchStatus::kDeadline;
  } else if (state.timed_out || code == CURLE_OPERATION_TIMEDOUT) {
    result.status = FetchStatus::kTimedOut;
  } else if (state.too_large || code == CURLE_FILESIZE_EXCEEDED) {
    result.status = FetchStatus::kTooLarge;
  } else if (code == CURLE_HTTP_RETURNED_ERROR) {
    result.status = FetchStatus::kHttpError;
  } else {
    result.status = FetchStatus::kFailed;
  }
  return result;
}

}  // namespace klimavo::update
