#pragma once
// The kernel's IR receive stream in mode2: a sequence of native-endian 32-bit
// samples, each a kind in the high byte (space, pulse, carrier frequency,
// timeout, overflow) and a value in µs (Hz for a frequency) in the low 24 bits.
// Mode2CaptureAssembler turns those samples into captures as the learner
// delivers them: durations in 0.1 µs, marks positive, spaces negative, and the
// carrier in Hz (0 when the receiver reported none).
//
// A capture starts at a pulse and ends at a timeout sample, at a space longer
// than the learner's truncation time (kLircCaptureGapUs), or at the end of the
// stream. Spaces before the first pulse are dropped; the space that ends a
// capture is not part of it, a shorter space before a timeout or the end is.
// A carrier report inside a capture is its carrier; one between captures goes
// to the capture just ended when that has none, else to the next.
// The reader takes a file descriptor, so a recorded stream in a regular file or
// a pipe reads exactly as a live receiver does.

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "device/learner_packets.h"
#include "ir/ir_types.h"

namespace klimavo::device {

/// The longest space inside one capture, in µs: the learner's truncation time.
inline constexpr std::uint32_t kLircCaptureGapUs = static_cast<std::uint32_t>(kDefaultTrimTime) * 1000u;
/// A capture with more durations is dropped (a receiver that never falls silent).
inline constexpr std::size_t kLircMaxCaptureDurations = 1'000'000;
/// Bytes of one mode2 sample.
inline constexpr std::size_t kMode2SampleBytes = 4;

enum class Mode2Kind { kSpace, kPulse, kFrequency, kTimeout, kOverflow, kUnknown };

struct Mode2Sample {
  Mode2Kind kind = Mode2Kind::kUnknown;
  std::uint32_t value = 0;  ///< µs, or Hz for a frequency
};

Mode2Sample DecodeMode2Sample(std::uint32_t raw);
/// The raw sample of `kind` (not kUnknown); values above 24 bits are held at the largest.
std::uint32_t EncodeMode2Sample(Mode2Kind kind, std::uint32_t value);

/// What an assembler has seen so far.
struct Mode2Counts {
  std::size_t captures = 0;         ///< delivered
  std::size_t dropped = 0;          ///< lost to an overflow or to the size limit
  std::size_t unknown_samples = 0;  ///< samples of a kind the kernel does not define
};

class Mode2CaptureAssembler {
 public:
  /// Receives each finished capture (durations in 0.1 µs, carrier in Hz or 0).
  using Sink = std::function<void(const ir::Capture& capture)>;

  explicit Mode2CaptureAssembler(Sink sink, std::uint32_t gap_us = kLircCaptureGapUs,
                                 std::size_t max_durations = kLircMaxCaptureDurations);

  /// One raw sample.
  void Feed(std::uint32_t raw);
  /// Bytes as read from the stream; a sample split between two reads is joined.
  void FeedBytes(std::span<const std::uint8_t> bytes);
  /// The receiver has been silent for longer than the gap: delivers the capture
  /// in progress. A live receiver without timeout reports calls this.
  void Silence();
  /// The stream ended: delivers the capture in progress. Returns the number of
  /// stray bytes of an incomplete last sample (0 for a whole stream).
  std::size_t Finish();

  /// A capture is in progress or ended and not yet delivered.
  bool Waiting() const { return open_ || held_; }
  const Mode2Counts& Counts() const { return counts_; }

 private:
  void Pulse(std::uint32_t us);
  void Space(std::uint32_t us);
  void Append(std::int64_t ticks);
  /// Ends the capture in progress; it is held until the next signal starts, the
  /// receiver falls silent or the stream ends, so a carrier report that follows
  /// the signal still reaches it.
  void Deliver(bool keep_trailing_space);
  void Release();
  void Frequency(std::int32_t hz);
  void Drop();

  Sink sink_;
  std::uint32_t gap_us_;
  std::size_t max_durations_;
  ir::TIRIntegerArr durations_;
  ir::Capture held_capture_;
  bool held_ = false;
  std::int64_t pending_space_us_ = 0;  ///< space after the last pulse, not yet appended
  std::int32_t carrier_ = 0;           ///< of the capture in progress
  std::int32_t next_carrier_ = 0;      ///< reported before a capture started
  bool open_ = false;
  bool skipping_ = false;  ///< after an overflow, until the capture's end
  std::uint8_t partial_[kMode2SampleBytes] = {};
  std::size_t partial_length_ = 0;
  Mode2Counts counts_;
};

/// Reads the stream of `fd` to its end (or until `stop()` answers true between
/// reads) into `assembler`, then finishes it. Returns "" on success, else why
/// the read failed or that the stream ended inside a sample.
std::string ReadMode2Stream(int fd, Mode2CaptureAssembler& assembler, const std::function<bool()>& stop = {});

}  // namespace klimavo::device
