#include "base/dispatcher.h"

#include <utility>

namespace klimavo::base {

namespace {
/// Longest sleep of a waiting owner before it re-tests its condition.
constexpr std::chrono::milliseconds kServeSlice{5};
}  // namespace

void JoinServing(Dispatcher& dispatcher, std::thread& thread, const std::function<bool()>& finished) {
  if (!thread.joinable()) return;
  if (thread.get_id() != std::this_thread::get_id()) dispatcher.WaitServing(finished);
  thread.join();
}

EventLoopDispatcher::EventLoopDispatcher() : owner_(std::this_thread::get_id()) {}

EventLoopDispatcher::~EventLoopDispatcher() { Shutdown(); }

bool EventLoopDispatcher::RunAndWait(std::function<void()> task) {
  if (IsOwnerThread()) {
    task();
    return true;
  }
  bool done = false;
  bool ran = false;
  std::unique_lock lock(mutex_);
  if (shut_down_) return false;
  queue_.push_back(Task{std::move(task), &done, &ran});
  queue_changed_.notify_all();
  if (queued_hook_) {
    lock.unlock();
    queued_hook_();
    lock.lock();
  }
  task_done_.wait(lock, [&] { return done; });
  return ran;
}

void EventLoopDispatcher::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    if (shut_down_) return;
    queue_.push_back(Task{std::move(task), nullptr, nullptr});
    queue_changed_.notify_all();
  }
  if (queued_hook_) queued_hook_();
}

void EventLoopDispatcher::Wake() {
  std::lock_guard lock(mutex_);
  ++wakes_;
  queue_changed_.notify_all();
}

// Runs the first queued task with the lock released; false when the queue is empty.
bool EventLoopDispatcher::RunOne(std::unique_lock<std::mutex>& lock) {
  if (queue_.empty()) return false;
  Task task = std::move(queue_.front());
  queue_.pop_front();
  lock.unlock();
  bool ok = true;
  try {
    task.run();
  } catch (...) {
    ok = false;
  }
  lock.lock();
  if (task.done) {
    *task.ran = ok;
    *task.done = true;
    task_done_.notify_all();
  }
  return true;
}

int EventLoopDispatcher::ProcessPending() {
  std::unique_lock lock(mutex_);
  std::size_t budget = queue_.size();
  int count = 0;
  while (budget-- > 0 && RunOne(lock)) ++count;
  return count;
}

void EventLoopDispatcher::WaitServing(const std::function<bool()>& done) {
  RunUntil(done, std::chrono::milliseconds::max());
}

bool EventLoopDispatcher::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto start = std::chrono::steady_clock::now();
  const bool forever = timeout == std::chrono::milliseconds::max();
  std::unique_lock lock(mutex_);
  for (;;) {
    while (RunOne(lock)) {
    }
    lock.unlock();
    const bool finished = done();
    lock.lock();
    if (finished) return true;
    if (!forever && std::chrono::steady_clock::now() - start >= timeout) return false;
    const unsigned wakes = wakes_;
    queue_changed_.wait_for(lock, kServeSlice, [&] { return !queue_.empty() || wakes_ != wakes; });
  }
}

void EventLoopDispatcher::Shutdown() {
  std::lock_guard lock(mutex_);
  shut_down_ = true;
  for (Task& task : queue_) {
    if (task.done) {
      *task.ran = false;
      *task.done = true;
    }
  }
  queue_.clear();
  task_done_.notify_all();
}

}  // namespace klimavo::base
