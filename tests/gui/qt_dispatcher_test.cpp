// The GUI's dispatcher: hand-overs from a worker run on the Qt thread through
// its event loop, and joining a worker that waits for a hand-over serves it.
#include "ui/qt_dispatcher.h"

#include <QTest>
#include <atomic>
#include <thread>

namespace klimavo::ui {

class QtDispatcherTest : public QObject {
  Q_OBJECT

 private slots:
  void handOversRunOnTheQtThreadFromItsEventLoop() {
    QtDispatcher dispatcher;
    const std::thread::id gui = std::this_thread::get_id();
    std::atomic<bool> returned{false};
    bool ran = false;
    std::thread::id waited_on, posted_on;
    std::thread worker([&] {
      ran = dispatcher.RunAndWait([&] { waited_on = std::this_thread::get_id(); });
      dispatcher.Post([&] { posted_on = std::this_thread::get_id(); });
      returned = true;
    });
    QVERIFY(QTest::qWaitFor([&] { return returned.load() && posted_on == gui; }, 5000));
    worker.join();
    QVERIFY(ran);
    QVERIFY(waited_on == gui);
  }

  void joiningAWorkerThatWaitsForAHandOverServesIt() {
    QtDispatcher dispatcher;
    std::atomic<bool> waiting{false};
    std::atomic<bool> finished{false};
    int handed_over = 0;
    std::thread worker([&] {
      waiting = true;
      for (int i = 0; i < 3; ++i) dispatcher.RunAndWait([&] { ++handed_over; });
      finished = true;
      dispatcher.Wake();
    });
    while (!waiting) std::this_thread::yield();
    // No event loop runs here: only the join serves the worker.
    base::JoinServing(dispatcher, worker, [&] { return finished.load(); });
    QCOMPARE(handed_over, 3);
  }
};

}  // namespace klimavo::ui

QTEST_MAIN(klimavo::ui::QtDispatcherTest)
#include "qt_dispatcher_test.moc"
