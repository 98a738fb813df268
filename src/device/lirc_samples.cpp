#include "device/lirc_samples.h"

#include <linux/lirc.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>

namespace klimavo::device {
namespace {

constexpr std::int64_t kTicksPerUs = 10;
constexpr std::int64_t kMaxTicks = std::numeric_limits<std::int32_t>::max();
constexpr int kPollSliceMs = 50;  ///< a read waits in slices so a stop request gets through
constexpr std::size_t kReadBytes = 4096;

}  // namespace

Mode2Sample DecodeMode2Sample(std::uint32_t raw) {
  Mode2Sample sample;
  sample.value = LIRC_VALUE(raw);
  switch (LIRC_MODE2(raw)) {
    case LIRC_MODE2_SPACE:
      sample.kind = Mode2Kind::kSpace;
      break;
    case LIRC_MODE2_PULSE:
      sample.kind = Mode2Kind::kPulse;
      break;
    case LIRC_MODE2_FREQUENCY:
      sample.kind = Mode2Kind::kFrequency;
      break;
    case LIRC_MODE2_TIMEOUT:
      sample.kind = Mode2Kind::kTimeout;
      break;
    case LIRC_MODE2_OVERFLOW:
      sample.kind = Mode2Kind::kOverflow;
      break;
    default:
      sample.kind = Mode2Kind::kUnknown;
      break;
  }
  return sample;
}

std::uint32_t EncodeMode2Sample(Mode2Kind kind, std::uint32_t value) {
  const std::uint32_t v = std::min<std::uint32_t>(value, LIRC_VALUE_MASK);
  switch (kind) {
    case Mode2Kind::kSpace:
      return LIRC_SPACE(v);
    case Mode2Kind::kPulse:
      return LIRC_PULSE(v);
    case Mode2Kind::kFrequency:
      return LIRC_FREQUENCY(v);
    case Mode2Kind::kTimeout:
      return LIRC_TIMEOUT(v);
    case Mode2Kind::kOverflow:
      return LIRC_OVERFLOW(v);
    case Mode2Kind::kUnknown:
      break;
  }
  return LIRC_MODE2_MASK | v;
}

Mode2CaptureAssembler::Mode2CaptureAssembler(Sink sink, std::uint32_t gap_us, std::size_t max_durations)
    : sink_(std::move(sink)), gap_us_(gap_us), max_durations_(std::max<std::size_t>(max_durations, 1)) {}

void Mode2CaptureAssembler::Feed(std::uint32_t raw) {
  const Mode2Sample sample = DecodeMode2Sample(raw);
  switch (sample.kind) {
    case Mode2Kind::kPulse:
      Pulse(sample.value);
      break;
    case Mode2Kind::kSpace:
      Space(sample.value);
      break;
    case Mode2Kind::kFrequency:
      Frequency(static_cast<std::int32_t>(sample.value));
      break;
    case Mode2Kind::kTimeout:
      skipping_ = false;
      if (open_) Deliver(true);
      pending_space_us_ = 0;
      break;
    case Mode2Kind::kOverflow:
      // The receiver lost samples: what is in progress is not the signal that was sent.
      Release();
      if (open_) Drop();
      skipping_ = true;
      pending_space_us_ = 0;
      break;
    case Mode2Kind::kUnknown:
      ++counts_.unknown_samples;
      break;
  }
}

void Mode2CaptureAssembler::FeedBytes(std::span<const std::uint8_t> bytes) {
  std::size_t at = 0;
  while (at < bytes.size()) {
    const std::size_t take = std::min(kMode2SampleBytes - partial_length_, bytes.size() - at);
    std::memcpy(partial_ + partial_length_, bytes.data() + at, take);
    partial_length_ += take;
    at += take;
    if (partial_length_ == kMode2SampleBytes) {
      std::uint32_t raw = 0;
      std::memcpy(&raw, partial_, sizeof raw);  // the kernel writes samples in the host's byte order
      partial_length_ = 0;
      Feed(raw);
    }
  }
}

void Mode2CaptureAssembler::Silence() {
  skipping_ = false;
  if (open_) Deliver(true);
  pending_space_us_ = 0;
  Release();
}

void Mode2CaptureAssembler::Frequency(std::int32_t hz) {
  // Drivers measure the carrier from the signal, so many report it after the
  // signal's end: it belongs to the capture just ended when that has none.
  if (open_)
    carrier_ = hz;
  else if (held_ && held_capture_.Carrier == 0)
    held_capture_.Carrier = hz;
  else
    next_carrier_ = hz;
}

void Mode2CaptureAssembler::Release() {
  if (!held_) return;
  held_ = false;
  ++counts_.captures;
  const ir::Capture capture = std::move(held_capture_);
  held_capture_ = {};
  if (sink_) sink_(capture);
}

std::size_t Mode2CaptureAssembler::Finish() {
  const std::size_t stray = partial_length_;
  partial_length_ = 0;
  Silence();
  return stray;
}

void Mode2CaptureAssembler::Pulse(std::uint32_t us) {
  if (us == 0) return;
  if (skipping_) {
    pending_space_us_ = 0;
    return;
  }
  if (!open_) {
    Release();  // a new signal: the one before is complete
    open_ = true;
    durations_.clear();
    carrier_ = next_carrier_;
    next_carrier_ = 0;
  } else if (pending_space_us_ > 0) {
    Append(-pending_space_us_ * kTicksPerUs);
  }
  pending_space_us_ = 0;
  if (open_) Append(static_cast<std::int64_t>(us) * kTicksPerUs);
}

void Mode2CaptureAssembler::Space(std::uint32_t us) {
  if (!open_ && !skipping_) return;  // silence before a signal
  pending_space_us_ += us;
  if (pending_space_us_ <= gap_us_) return;
  if (skipping_) {
    skipping_ = false;
    pending_space_us_ = 0;
  } else {
    Deliver(false);
  }
}

void Mode2CaptureAssembler::Append(std::int64_t ticks) {
  // Two samples of one kind in a row are one interval.
  if (!durations_.empty() && (durations_.back() > 0) == (ticks > 0)) {
    const std::int64_t joined = std::clamp<std::int64_t>(durations_.back() + ticks, -kMaxTicks, kMaxTicks);
    durations_.back() = static_cast<std::int32_t>(joined);
    return;
  }
  if (durations_.size() >= max_durations_) {
    Drop();
    skipping_ = true;
    return;
  }
  durations_.push_back(static_cast<std::int32_t>(std::clamp<std::int64_t>(ticks, -kMaxTicks, kMaxTicks)));
}

void Mode2CaptureAssembler::Deliver(bool keep_trailing_space) {
  if (keep_trailing_space && pending_space_us_ > 0 && pending_space_us_ <= gap_us_)
    Append(-pending_space_us_ * kTicksPerUs);
  pending_space_us_ = 0;
  if (!open_) {
    skipping_ = false;  // the trailing space overran the size limit; the capture ends here all the same
    return;
  }
  open_ = false;
  Release();
  held_capture_.Durations = std::move(durations_);
  held_capture_.Carrier = carrier_;
  held_ = true;
  durations_.clear();
  carrier_ = 0;
}

void Mode2CaptureAssembler::Drop() {
  open_ = false;
  durations_.clear();
  pending_space_us_ = 0;
  carrier_ = 0;
  ++counts_.dropped;
}

std::string ReadMode2Stream(int fd, Mode2CaptureAssembler& assembler, const std::function<bool()>& stop) {
  using Clock = std::chrono::steady_clock;
  std::uint8_t buffer[kReadBytes];
  auto last_data = Clock::now();
  std::string error;
  if (fd < 0) error = "no stream to read (the source is not open)";
  while (error.empty() && !(stop && stop())) {
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, kPollSliceMs);
    if (ready < 0) {
      if (errno == EINTR) continue;
      error = std::string("waiting for samples failed: ") + std::strerror(errno);
      break;
    }
    if (ready == 0) {
      // A receiver without timeout reports reports the last space only when the
      // next signal starts: silence longer than the gap ends the capture.
      const auto silent = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - last_data);
      if (assembler.Waiting() && silent.count() > static_cast<std::int64_t>(kLircCaptureGapUs))
        assembler.Silence();
      continue;
    }
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      error = std::string("read failed: ") + std::strerror(errno);
      break;
    }
    if (got == 0) break;
    last_data = Clock::now();
    assembler.FeedBytes(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(got)));
  }
  const std::size_t stray = assembler.Finish();
  if (error.empty() && stray > 0)
    error = "the stream ends inside a sample (" + std::to_string(stray) + " of 4 bytes)";
  return error;
}

}  // namespace klimavo::device
