#pragma once
// The debounce between device-change notifications and the device recheck: a
// notification sets a countdown of four ticks of the 100 ms timer, so a burst of
// notifications leads to one recheck, 300 to 400 ms after the last one.

namespace klimavo::device {

inline constexpr int kRecheckTimerMs = 100;
inline constexpr int kRecheckCountdownTicks = 4;

class RecheckDebounce {
 public:
  /// A device was plugged or unplugged: (re)start the countdown and the timer.
  void Notify() {
    countdown_ = kRecheckCountdownTicks;
    timer_enabled_ = true;
  }
  /// One timer tick; true when the recheck is due now (the timer then stops).
  bool Tick() {
    if (!timer_enabled_) return false;
    if (--countdown_ > 0) return false;
    timer_enabled_ = false;
    return true;
  }
  bool TimerEnabled() const { return timer_enabled_; }

 private:
  int countdown_ = 0;
  bool timer_enabled_ = false;
};

}  // namespace klimavo::device
