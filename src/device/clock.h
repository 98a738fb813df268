#pragma once
// Time for the device link: a millisecond tick count and a sleep. The link takes
// a clock so that its timings (read time-outs, packet gaps, re-arming, retries)
// can run on a manual clock in tests, deterministic and fast.

#include <atomic>
#include <cstdint>

namespace klimavo::device {

class Clock {
 public:
  virtual ~Clock() = default;
  /// Milliseconds since an arbitrary start; differences are taken as unsigned
  /// 32-bit values so the wrap does no harm.
  virtual std::uint32_t NowMs() = 0;
  /// Lets `ms` milliseconds pass.
  virtual void SleepMs(std::uint32_t ms) = 0;
};

/// Wall time: the steady clock and a real sleep.
class SteadyClock final : public Clock {
 public:
  std::uint32_t NowMs() override;
  void SleepMs(std::uint32_t ms) override;
  /// The process-wide instance.
  static SteadyClock& Instance();
};

/// Virtual time: a sleep advances the tick count at once. Safe to share between
/// threads; whoever sleeps moves time forward for everyone.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(std::uint32_t start = 0) : now_(start) {}
  std::uint32_t NowMs() override { return now_.load(); }
  void SleepMs(std::uint32_t ms) override { now_.fetch_add(ms); }
  /// Moves time forward to `t` unless it is already later.
  void AdvanceTo(std::uint32_t t);

 private:
  std::atomic<std::uint32_t> now_;
};

/// Milliseconds from `earlier` to `later` on a wrapping 32-bit tick count.
inline std::uint32_t TicksSince(std::uint32_t later, std::uint32_t earlier) { return later - earlier; }

}  // namespace klimavo::device
