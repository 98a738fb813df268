#include "device/clock.h"

#include <chrono>
#include <thread>

namespace klimavo::device {

std::uint32_t SteadyClock::NowMs() {
  const auto since = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

void SteadyClock::SleepMs(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

SteadyClock& SteadyClock::Instance() {
  static SteadyClock clock;
  return clock;
}

void ManualClock::AdvanceTo(std::uint32_t t) {
  std::uint32_t now = now_.load();
  while (static_cast<std::int32_t>(t - now) > 0 && !now_.compare_exchange_weak(now, t)) {
  }
}

}  // namespace klimavo::device
