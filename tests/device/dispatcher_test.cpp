// The dispatcher of hand-overs into the owner's thread.
#include "base/dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace klimavo::base {
namespace {

TEST(EventLoopDispatcher, RunAndWaitRunsOnTheOwnerThread) {
  EventLoopDispatcher loop;
  std::thread::id ran_on;
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    EXPECT_TRUE(loop.RunAndWait([&] { ran_on = std::this_thread::get_id(); }));
    returned = true;
  });
  EXPECT_TRUE(loop.RunUntil([&] { return returned.load(); }, std::chrono::seconds(10)));
  worker.join();
  EXPECT_EQ(ran_on, std::this_thread::get_id());
}

TEST(EventLoopDispatcher, OnTheOwnerThreadRunsAtOnce) {
  EventLoopDispatcher loop;
  int runs = 0;
  EXPECT_TRUE(loop.RunAndWait([&] { ++runs; }));
  EXPECT_EQ(runs, 1);
  loop.Post([&] { ++runs; });
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(loop.ProcessPending(), 1);
  EXPECT_EQ(runs, 2);
}

// A worker waiting for a hand-over while the owner joins it: the join serves it.
TEST(EventLoopDispatcher, JoiningAThreadThatWaitsForTheOwnerDoesNotDeadlock) {
  EventLoopDispatcher loop;
  std::atomic<bool> waiting{false};
  std::atomic<bool> finished{false};
  int handed_over = 0;
  std::thread worker([&] {
    waiting = true;
    for (int i = 0; i < 3; ++i) loop.RunAndWait([&] { ++handed_over; });
    finished = true;
    loop.Wake();
  });
  while (!waiting) std::this_thread::yield();
  JoinServing(loop, worker, [&] { return finished.load(); });
  EXPECT_EQ(handed_over, 3);
}

TEST(EventLoopDispatcher, ShutdownReleasesWaitingWorkersUnrun) {
  EventLoopDispatcher loop;
  std::atomic<int> results{0};
  std::atomic<bool> ran{false};
  std::thread worker([&] {
    // Whether queued before the shutdown or refused after it, the task never runs.
    if (!loop.RunAndWait([&] { ran = true; })) ++results;
    if (!loop.RunAndWait([&] { ran = true; })) ++results;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  loop.Shutdown();
  worker.join();
  EXPECT_EQ(results.load(), 2);
  EXPECT_FALSE(ran.load());
}

TEST(EventLoopDispatcher, ExceptionInATaskReleasesTheWorker) {
  EventLoopDispatcher loop;
  std::atomic<bool> finished{false};
  std::atomic<bool> result{true};
  std::thread worker([&] {
    result = loop.RunAndWait([] { throw 1; });
    finished = true;
    loop.Wake();
  });
  JoinServing(loop, worker, [&] { return finished.load(); });
  EXPECT_FALSE(result.load());
}

}  // namespace
}  // namespace klimavo::base
