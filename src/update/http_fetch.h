#pragma once
// One GET of an update file into memory over libcurl (http, https with the
// certificate checked, file), with a read time-out, a size cap, progress
// reports and cancellation from another thread.
//
// Cancel() sets the stop flag and shuts the transfer's connection down, so a
// transfer that waits for the server ends at once rather than at its next
// progress report.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace klimavo::update {

/// What one GET asks for.
struct FetchRequest {
  std::string url;
  std::string proxy_host;  ///< empty: no proxy (the environment's proxy is not used either)
  int proxy_port = 0;
  /// The transfer fails when no byte arrives for this long (also while connecting).
  std::chrono::milliseconds read_timeout{8000};
  /// The transfer is stopped as soon as the body would exceed this many bytes.
  std::size_t max_bytes = 0;
  /// The transfer fails when it has not ended this long after it started,
  /// however steadily bytes trickle in (0: no limit).
  std::chrono::milliseconds deadline{0};
};

/// How a GET ended.
enum class FetchStatus {
  kOk,
  kCancelled,  ///< Cancel() was called
  kTimedOut,   ///< no byte for the read time-out
  kDeadline,   ///< the transfer had not ended by its deadline
  kTooLarge,   ///< the body is (or was announced) larger than max_bytes
  kHttpError,  ///< the server answered with an HTTP error status
  kFailed,     ///< any other transfer error (connection refused or closed early, TLS, file missing, ...)
};

struct FetchResult {
  FetchStatus status = FetchStatus::kFailed;
  std::string body;
  long http_status = 0;
  /// libcurl's description of a failure (English), empty on success.
  std::string detail;
  bool ok() const { return status == FetchStatus::kOk; }
};

/// A GET that another thread can cancel. One Run at a time.
class HttpFetch {
 public:
  /// Progress report on the fetching thread: announced size (0 when unknown)
  /// and bytes received so far.
  using Progress = std::function<void(std::int64_t total, std::int64_t received)>;

  HttpFetch() = default;
  HttpFetch(const HttpFetch&) = delete;
  HttpFetch& operator=(const HttpFetch&) = delete;

  /// Runs the GET to its end. A fetch that was cancelled before returns at once.
  FetchResult Run(const FetchRequest& request, const Progress& progress);
  /// Any thread: stops a running Run (and any later one) as soon as possible.
  void Cancel();
  bool Cancelled() const { return cancelled_.load(); }

 private:
  friend struct FetchCallbacks;

  std::atomic<bool> cancelled_{false};
  std::mutex sockets_mutex_;
  std::vector<int> open_sockets_;  ///< the transfer's sockets, to shut down on Cancel
};

}  // namespace klimavo::update
