#pragma once
// Where a capture from the learner goes. Four consumers can wait for captures:
// the remote check, the function analysis wizard, the format chooser and the
// checksum analysis wizard. A capture goes to the first one that is open, in
// that order, and is dropped when none is. A consumer holds its slot through a
// lease for exactly as long as its window exists; dropping the lease (also
// while an exception unwinds) empties the slot.

#include <array>
#include <cstdint>
#include <functional>

#include "ir/ir_types.h"

namespace klimavo::device {

/// The consumer slots, in routing order.
enum class CaptureConsumer { RemoteCheck = 0, FunctionWizard = 1, FormatChooser = 2, ChecksumWizard = 3 };
inline constexpr std::size_t kCaptureConsumerCount = 4;

class CaptureRouter {
 public:
  /// A consumer's entry: durations in 0.1 µs (marks positive), carrier in Hz (0 = unknown).
  using Entry = std::function<void(const ir::TIRIntegerArr& durations, std::int32_t carrier)>;

  /// Holds one slot; the slot is emptied when the lease is destroyed or reset.
  class Lease {
   public:
    Lease() = default;
    Lease(Lease&& other) noexcept;
    Lease& operator=(Lease&& other) noexcept;
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ~Lease() { Reset(); }
    /// Empties the slot now.
    void Reset();
    bool Active() const { return router_ != nullptr; }

   private:
    friend class CaptureRouter;
    Lease(CaptureRouter* router, CaptureConsumer slot) : router_(router), slot_(slot) {}
    CaptureRouter* router_ = nullptr;
    CaptureConsumer slot_ = CaptureConsumer::RemoteCheck;
  };

  CaptureRouter() = default;
  CaptureRouter(const CaptureRouter&) = delete;
  CaptureRouter& operator=(const CaptureRouter&) = delete;

  /// Fills `slot` with `entry`. At most one window of each kind exists, so an
  /// occupied slot is a programming error: throws std::logic_error.
  [[nodiscard]] Lease Occupy(CaptureConsumer slot, Entry entry);
  bool Occupied(CaptureConsumer slot) const;
  /// Passes the capture to the first occupied slot; false when it was dropped.
  bool Route(const ir::TIRIntegerArr& durations, std::int32_t carrier) const;
  /// Passes the capture to one slot (the pulse feed reaches both wizards this
  /// way); false when that slot is empty.
  bool Deliver(CaptureConsumer slot, const ir::TIRIntegerArr& durations, std::int32_t carrier) const;

 private:
  std::array<Entry, kCaptureConsumerCount> entries_{};
};

}  // namespace klimavo::device
