#pragma once
// The download sequence of the update dialog (and of `klimavo-cli update
// download`): read the server's "up.txt", list the files whose published date
// differs from the recorded one, download each into <home>/Update/, and - only
// when every name was accepted, every download succeeded and reads as a data
// file of its kind, and the sequence was not aborted - install them into the
// data folder and record their dates. A damaged library or picture store that
// the update would replace stops it before anything is downloaded. Each file
// and the whole run have a deadline besides the read time-out.
//
// The downloads run on a worker thread. Its reports (a download starts,
// progress, the end of the downloads) are posted to the owner's thread and
// never make the worker wait, so the owner may abort from inside any report.
// At the end the owner installs the files and reports the outcome. Abort and
// destruction stop a running download at once and wait for the thread; no
// report runs after them.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/dispatcher.h"
#include "update/http_fetch.h"
#include "update/update_list.h"
#include "update/update_outcome.h"
#include "update/update_server.h"

namespace klimavo::update {

class UpdateDownload {
 public:
  /// Reports on the owner's thread.
  struct Events {
    /// A download starts: "up.txt" or a listed file (GBK).
    std::function<void(const std::string& name)> downloading;
    /// Announced size (0 when unknown) and bytes received of the running download.
    std::function<void(std::int64_t total, std::int64_t received)> progress;
    /// The downloaded files are being copied into the data folder.
    std::function<void()> installing;
    /// The sequence has ended (not after Abort).
    std::function<void(const UpdateOutcome&)> finished;
  };

  /// `server.base_url` empty: the sequence ends at once with text 83.
  UpdateDownload(base::Dispatcher& dispatcher, ServerSettings server, std::filesystem::path home,
                 Events events);
  /// Stops a running download and waits for the thread; nothing is installed.
  ~UpdateDownload();
  UpdateDownload(const UpdateDownload&) = delete;
  UpdateDownload& operator=(const UpdateDownload&) = delete;

  /// Starts the sequence (once).
  void Start();
  /// Stops the sequence: a running download is cut off, nothing is copied and
  /// no outcome is reported.
  void Abort();

  /// True once the outcome was reported, or after Abort.
  bool Finished() const { return finished_; }
  bool Aborted() const { return aborted_.load(); }
  const UpdateOutcome& Outcome() const { return outcome_; }

 private:
  /// What the worker leaves for the owner.
  struct Downloads {
    UpdateOutcome outcome;
    std::vector<ListedFile> to_install;
  };

  void Run();
  /// Posts `report` to the owner's thread; it is dropped after Abort or destruction.
  void Report(std::function<void()> report);
  bool FetchInto(FetchRequest request, const std::string& name, FetchResult& result);
  void DownloadFiles(const std::vector<ListedFile>& changed);
  void Complete();
  void Finish(UpdateOutcome outcome);
  void StopThread();

  base::Dispatcher& dispatcher_;
  const ServerSettings server_;
  const std::filesystem::path home_;
  const Events events_;
  RecordedDates recorded_;
  std::chrono::steady_clock::time_point run_started_;
  Downloads downloads_;  ///< written by the worker, read by the owner after the join
  UpdateOutcome outcome_;
  HttpFetch fetch_;
  std::thread thread_;
  std::atomic<bool> thread_done_{true};
  std::atomic<bool> aborted_{false};
  bool started_ = false;
  bool finished_ = false;
  /// Lets a posted report notice that this object is gone: the owner resets
  /// `alive_` on destruction; the worker only copies the token.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  const std::weak_ptr<bool> alive_token_ = alive_;
};

}  // namespace klimavo::update
