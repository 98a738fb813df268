#include "device/capture_router.h"

#include <stdexcept>
#include <utility>

namespace klimavo::device {
namespace {

std::size_t Index(CaptureConsumer slot) { return static_cast<std::size_t>(slot); }

}  // namespace

CaptureRouter::Lease::Lease(Lease&& other) noexcept
    : router_(std::exchange(other.router_, nullptr)), slot_(other.slot_) {}

CaptureRouter::Lease& CaptureRouter::Lease::operator=(Lease&& other) noexcept {
  if (this != &other) {
    Reset();
    router_ = std::exchange(other.router_, nullptr);
    slot_ = other.slot_;
  }
  return *this;
}

void CaptureRouter::Lease::Reset() {
  if (router_ == nullptr) return;
  router_->entries_[Index(slot_)] = nullptr;
  router_ = nullptr;
}

CaptureRouter::Lease CaptureRouter::Occupy(CaptureConsumer slot, Entry entry) {
  if (!entry) throw std::logic_error("a capture consumer needs an entry");
  if (Occupied(slot)) throw std::logic_error("the capture consumer slot is already occupied");
  entries_[Index(slot)] = std::move(entry);
  return Lease(this, slot);
}

bool CaptureRouter::Occupied(CaptureConsumer slot) const { return static_cast<bool>(entries_[Index(slot)]); }

bool CaptureRouter::Route(const ir::TIRIntegerArr& durations, std::int32_t carrier) const {
  for (const Entry& entry : entries_) {
    if (entry) {
      // Copy the entry: the consumer may close its window (and drop its
      // lease) while it handles the capture.
      Entry call = entry;
      call(durations, carrier);
      return true;
    }
  }
  return false;
}

bool CaptureRouter::Deliver(CaptureConsumer slot, const ir::TIRIntegerArr& durations,
                            std::int32_t carrier) const {
  if (!Occupied(slot)) return false;
  Entry call = entries_[Index(slot)];
  call(durations, carrier);
  return true;
}

}  // namespace klimavo::device
