#pragma once
// The automatic update check: some seconds after the main window is first
// shown, a thread reads the server's "up.txt" (no proxy) and compares it with
// the recorded dates. When there is an update it waits, asking the window
// every few seconds, until the window is the active one, then hands the
// result to the window's update notice.
//
// Every error (no server, no connection, time-out, a malformed list) is silent
// and means no update. The thread talks to its owner only through the
// dispatcher: the question "is the window inactive?" runs on the owner's
// thread and the thread waits for the answer; the notice is posted and runs
// after the thread has ended. Destroying the checker stops the thread and
// waits for it while serving its questions, so it never deadlocks.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/dispatcher.h"
#include "update/http_fetch.h"
#include "update/update_server.h"

namespace klimavo::update {

/// The timing of the automatic check.
struct AutoCheckTiming {
  /// From Start to the check: 200 steps of 50 ms.
  std::chrono::milliseconds start_delay{10000};
  /// Between two questions whether the window is inactive.
  std::chrono::milliseconds retry_interval{2000};
};

class TIRAutoUpdate {
 public:
  /// On the owner's thread: true while the window is not the active one.
  using InactiveQuery = std::function<bool()>;
  /// On the owner's thread, after the thread has ended (unless the checker is
  /// being destroyed): the result flag and the list's `msg` (GBK).
  using Notice = std::function<void(bool update, const std::string& msg)>;

  TIRAutoUpdate(base::Dispatcher& dispatcher, ServerSettings server, std::filesystem::path config_ini,
                InactiveQuery is_inactive, Notice notice, AutoCheckTiming timing = {});
  /// Stops the thread and waits for its end; the notice is not called any more.
  ~TIRAutoUpdate();
  TIRAutoUpdate(const TIRAutoUpdate&) = delete;
  TIRAutoUpdate& operator=(const TIRAutoUpdate&) = delete;

  /// Starts the thread (once). Without a server address nothing starts.
  void Start();
  /// True once the thread has ended (or was never started).
  bool Finished() const { return finished_.load(); }

 private:
  void Run();
  /// Sleeps up to `duration`; false when asked to stop meanwhile.
  bool SleepUnlessStopped(std::chrono::milliseconds duration);
  bool CheckOnce(std::string& msg);
  bool WindowInactive();

  base::Dispatcher& dispatcher_;
  const ServerSettings server_;
  const std::filesystem::path config_ini_;
  const InactiveQuery is_inactive_;
  const AutoCheckTiming timing_;
  /// Shared with the posted notice, which may run after the checker is gone.
  struct NoticeState {
    Notice notice;
    bool destroying = false;
  };
  std::shared_ptr<NoticeState> notice_state_;

  HttpFetch fetch_;
  std::mutex stop_mutex_;
  std::condition_variable stop_changed_;
  bool stop_ = false;
  std::atomic<bool> finished_{true};
  std::thread thread_;
};

}  // namespace klimavo::update
