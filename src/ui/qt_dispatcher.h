#pragma once
// The dispatcher of the GUI: hand-overs from worker threads run on the Qt
// thread that created it, between the events of its event loop. A worker that
// waits for a hand-over while that thread joins it is served by the join
// (base::JoinServing), so stopping a thread from a window never deadlocks.
//
// Destroy it only after every thread that uses it has ended.

#include <QObject>

#include "base/dispatcher.h"

namespace klimavo::ui {

class QtDispatcher final : public QObject, public base::Dispatcher {
  Q_OBJECT

 public:
  explicit QtDispatcher(QObject* parent = nullptr);

  bool RunAndWait(std::function<void()> task) override { return loop_.RunAndWait(std::move(task)); }
  void Post(std::function<void()> task) override { loop_.Post(std::move(task)); }
  void WaitServing(const std::function<bool()>& done) override { loop_.WaitServing(done); }
  void Wake() override { loop_.Wake(); }

 private:
  base::EventLoopDispatcher loop_;  // its owner is the thread that creates this object
};

}  // namespace klimavo::ui
