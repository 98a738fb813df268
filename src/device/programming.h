#pragma once
// Programming a table image into a universal remote over the device link: the
// image is stamped with the programming time and a header check, followed by its
// 16-bit sum and the sum's complement, cut into 8-byte blocks behind a header
// block, and sent block by block on a worker thread. Each block must come back
// as an echo; the progress position is also the retry budget.

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "base/byte_io.h"
#include "base/dispatcher.h"
#include "device/clock.h"
#include "device/link_base.h"

namespace klimavo::device {

inline constexpr std::size_t kProgramHeaderBytes = 32;
/// The remote's image buffer, download header included: no image may be larger.
inline constexpr std::size_t kMaxProgramImageBytes = 4132;
inline constexpr std::size_t kBlockPayload = 6;
inline constexpr std::uint32_t kWaitForDeviceMs = 500;
inline constexpr std::uint32_t kUnpluggedRetryMs = 300;
inline constexpr std::uint32_t kWrongReplyPauseMs = 200;
inline constexpr std::uint32_t kFinishRepeatMs = 200;
/// First parameter of the transfer-over message.
inline constexpr int kTransferOverCode = 655;
/// Language texts the programming dialog shows.
inline constexpr int kTextProgramming = 5;

using TransferBlock = std::array<std::uint8_t, 8>;

/// Local date and hour stamped into the image.
struct StampTime {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
};

/// Whether an image of `size` bytes can be programmed.
enum class ImageSizeCheck {
  kOk,
  kTooSmall,  ///< shorter than its download header
  kTooLarge,  ///< larger than the remote's buffer
};
ImageSizeCheck CheckProgramImageSize(std::uint64_t size);
/// What is wrong with an image of `size` bytes, naming its size and the limit
/// it breaks; empty when it can be programmed.
std::string ProgramImageSizeProblem(std::uint64_t size);

/// Stamps a copy of `image` (bytes 20-23 time, 25-26 zero, 28 header check) and
/// appends its 16-bit sum and the sum's complement. Empty when the image is
/// shorter than its 32-byte header.
base::Bytes StampImage(const base::Bytes& image, const StampTime& time);
/// The header block and the data blocks of a stamped image (empty below 2 data blocks).
std::vector<TransferBlock> BuildTransferBlocks(const base::Bytes& stamped);
/// The finish command report (report ID first).
base::Bytes FinishCommand();
/// The current local time as a stamp.
StampTime LocalStampTime();

/// What the programming thread tells its dialog.
struct ProgramMessage {
  enum class Kind {
    kTransferOver,   ///< value: kTransferOverCode
    kNothingToSend,  ///< value: 0 nothing to send, 1 cancelled while building
    kStatusText,     ///< value: language text number
    kAcknowledged,   ///< a block was echoed; value: blocks acknowledged in sequence (header included)
    kErrorCode,      ///< code: bytes 1-3 of an unexpected reply
    kProgressMax,    ///< value: number of blocks
    kProgress,       ///< value: position
  };
  Kind kind;
  int value = 0;
  base::Bytes code;
};

/// The programming thread: one transfer per Start.
class ProgrammingJob {
 public:
  using MessageSink = std::function<void(const ProgramMessage&)>;
  /// Messages go to `sink` on `dispatcher`'s owner thread; the job waits for each.
  ProgrammingJob(TIRTongxun& link, base::Dispatcher& dispatcher, Clock& clock, MessageSink sink);
  ~ProgrammingJob();
  ProgrammingJob(const ProgrammingJob&) = delete;
  ProgrammingJob& operator=(const ProgrammingJob&) = delete;

  /// Replaces the source of the stamp time (tests fix it).
  void SetTimeSource(std::function<StampTime()> source) { time_source_ = std::move(source); }
  /// Stops a running transfer and starts one with `image`.
  void Start(base::Bytes image);
  /// Asks the thread to end and waits for it, serving its messages meanwhile.
  void Stop();
  /// True once the thread has sent its last message.
  bool Finished() const { return finished_.load(); }
  /// True when the last transfer got every block acknowledged (also when a
  /// stop was asked after the last echo).
  bool Completed() const { return completed_.load(); }

 private:
  void Run(base::Bytes image);
  void Send(ProgramMessage message);
  void SendBlocks(const std::vector<TransferBlock>& blocks);

  TIRTongxun& link_;
  base::Dispatcher& dispatcher_;
  Clock& clock_;
  MessageSink sink_;
  std::function<StampTime()> time_source_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> completed_{false};
};

}  // namespace klimavo::device
