#pragma once
// Hand-overs from worker threads into the thread that owns an object (the
// user-interface thread in the GUI, the main thread of the CLI and the tests).
// Workers either run a task there and wait for it, or post it for later. The
// owner can wait for a condition while it keeps serving hand-overs, which is how
// a thread is stopped while it may be waiting for the owner.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace klimavo::base {

/// The owner's side of the hand-overs. Implementations: the plain event loop
/// below (CLI, tests) and the GUI's queued connections.
class Dispatcher {
 public:
  virtual ~Dispatcher() = default;

  /// Runs `task` on the owner's thread and waits until it has run. Called on the
  /// owner's thread it runs at once. False when the dispatcher was shut down and
  /// the task did not run.
  virtual bool RunAndWait(std::function<void()> task) = 0;
  /// Queues `task` to run later on the owner's thread; never waits.
  virtual void Post(std::function<void()> task) = 0;
  /// On the owner's thread: waits until `done()` is true, running every hand-over
  /// and posted task that arrives meanwhile. `done` is re-tested after each task
  /// and at least every few milliseconds.
  virtual void WaitServing(const std::function<bool()>& done) = 0;
  /// Wakes a WaitServing so it re-tests its condition at once.
  virtual void Wake() = 0;
};

/// Joins `thread` on the owner's thread while serving hand-overs, so a thread
/// that is waiting for the owner can finish. `finished` is set by the thread as
/// its last act (followed by `Wake`).
void JoinServing(Dispatcher& dispatcher, std::thread& thread, const std::function<bool()>& finished);

/// A plain event loop: the thread that creates it is the owner.
class EventLoopDispatcher final : public Dispatcher {
 public:
  EventLoopDispatcher();
  ~EventLoopDispatcher() override;

  bool RunAndWait(std::function<void()> task) override;
  void Post(std::function<void()> task) override;
  void WaitServing(const std::function<bool()>& done) override;
  void Wake() override;

  /// Runs every task queued now; returns how many ran.
  int ProcessPending();
  /// Serves tasks until `done()` or until `timeout` has passed; true when done.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  /// Refuses all later hand-overs and releases every waiting worker unrun.
  void Shutdown();
  /// True on the owner's thread.
  bool IsOwnerThread() const { return std::this_thread::get_id() == owner_; }
  /// Called (on the queuing thread, without the lock) each time another thread
  /// queues a task, so an owner that runs an event loop of its own (the GUI)
  /// can schedule ProcessPending. Set it before any worker starts.
  void SetTaskQueuedHook(std::function<void()> hook) { queued_hook_ = std::move(hook); }

 private:
  struct Task {
    std::function<void()> run;
    bool* done = nullptr;  ///< set under the lock when a waited-for task has run (or was dropped)
    bool* ran = nullptr;
  };
  bool RunOne(std::unique_lock<std::mutex>& lock);

  std::thread::id owner_;
  std::mutex mutex_;
  std::condition_variable queue_changed_;  ///< the owner waits on it for tasks or a wake
  std::condition_variable task_done_;      ///< workers wait on it for their task
  std::deque<Task> queue_;
  bool shut_down_ = false;
  unsigned wakes_ = 0;
  std::function<void()> queued_hook_;
};

}  // namespace klimavo::base
