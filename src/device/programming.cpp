#include "device/programming.h"

#include <algorithm>
#include <ctime>

#include "device/learner_packets.h"

namespace klimavo::device {
namespace {

// Offsets in the stamped header.
constexpr std::size_t kYearAt = 20;
constexpr std::size_t kMonthAt = 21;
constexpr std::size_t kDayAt = 22;
constexpr std::size_t kHourAt = 23;
constexpr std::size_t kZeroAt = 25;
constexpr std::size_t kHeaderCheckAt = 28;
constexpr unsigned kHeaderCheckSeed = 204;
constexpr int kYearBase = 2000;

constexpr std::uint8_t kHeaderBlockMark = 0xAA;
constexpr std::uint8_t kDataBlockMark = 0xA0;
constexpr std::size_t kSequenceLength = 8;
constexpr std::uint8_t kFinishBytes[] = {0xBE, 0xFF, 0xFF, 0xAA, 0xAA, 0xAA, 0xAA};
/// A block is acknowledged without halving the budget while fewer than this many are ahead.
constexpr int kFastAdvance = 3;
constexpr std::size_t kErrorCodeBytes = 3;

void SealBlock(TransferBlock& block) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < 7; ++i) sum += block[i];
  block[7] = static_cast<std::uint8_t>(sum & 0xFF);
}

}  // namespace

ImageSizeCheck CheckProgramImageSize(std::uint64_t size) {
  if (size < kProgramHeaderBytes) return ImageSizeCheck::kTooSmall;
  if (size > kMaxProgramImageBytes) return ImageSizeCheck::kTooLarge;
  return ImageSizeCheck::kOk;
}

std::string ProgramImageSizeProblem(std::uint64_t size) {
  switch (CheckProgramImageSize(size)) {
    case ImageSizeCheck::kTooSmall:
      return "the image has " + std::to_string(size) + " bytes, fewer than its " +
             std::to_string(kProgramHeaderBytes) + "-byte download header";
    case ImageSizeCheck::kTooLarge:
      return "the image has " + std::to_string(size) + " bytes, more than the remote's buffer of " +
             std::to_string(kMaxProgramImageBytes) + " bytes (download header included)";
    case ImageSizeCheck::kOk:
      break;
  }
  return {};
}

base::Bytes StampImage(const base::Bytes& image, const StampTime& time) {
  if (image.size() < kProgramHeaderBytes) return {};
  base::Bytes out = image;
  out[kYearAt] = static_cast<std::uint8_t>((time.year - kYearBase) & 0xFF);
  out[kMonthAt] = static_cast<std::uint8_t>(time.month);
  out[kDayAt] = static_cast<std::uint8_t>(time.day);
  out[kHourAt] = static_cast<std::uint8_t>(time.hour);
  out[kZeroAt] = 0;
  out[kZeroAt + 1] = 0;
  unsigned check = kHeaderCheckSeed;
  for (std::size_t i = 0; i < kHeaderCheckAt; ++i) check += out[i];
  out[kHeaderCheckAt] = static_cast<std::uint8_t>(check & 0xFF);
  std::uint16_t sum = 0;
  for (std::uint8_t b : out) sum = static_cast<std::uint16_t>(sum + b);
  const auto inverted = static_cast<std::uint16_t>(~sum);
  out.push_back(static_cast<std::uint8_t>(sum & 0xFF));
  out.push_back(static_cast<std::uint8_t>(sum >> 8));
  out.push_back(static_cast<std::uint8_t>(inverted & 0xFF));
  out.push_back(static_cast<std::uint8_t>(inverted >> 8));
  return out;
}

std::vector<TransferBlock> BuildTransferBlocks(const base::Bytes& stamped) {
  const std::size_t count = (stamped.size() + kBlockPayload - 1) / kBlockPayload;
  if (count < 2) return {};
  std::vector<TransferBlock> blocks;
  TransferBlock header{};
  header[0] = kHeaderBlockMark;
  header[3] = static_cast<std::uint8_t>(count & 0xFF);
  header[4] = static_cast<std::uint8_t>((count >> 8) & 0xFF);
  header[5] = static_cast<std::uint8_t>(stamped.size() - (count - 1) * kBlockPayload);
  SealBlock(header);
  blocks.push_back(header);
  for (std::size_t k = 0; k < count; ++k) {
    TransferBlock block{};
    block[0] = static_cast<std::uint8_t>(kDataBlockMark + k % kSequenceLength);
    const std::size_t at = k * kBlockPayload;
    const std::size_t take = std::min(kBlockPayload, stamped.size() - at);
    std::copy_n(stamped.begin() + static_cast<std::ptrdiff_t>(at), take, block.begin() + 1);
    SealBlock(block);
    blocks.push_back(block);
  }
  return blocks;
}

base::Bytes FinishCommand() {
  base::Bytes report{kReportId};
  unsigned sum = 0;
  for (std::uint8_t b : kFinishBytes) {
    report.push_back(b);
    sum += b;
  }
  report.push_back(static_cast<std::uint8_t>(sum & 0xFF));
  return report;
}

StampTime LocalStampTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return StampTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour};
}

ProgrammingJob::ProgrammingJob(TIRTongxun& link, base::Dispatcher& dispatcher, Clock& clock, MessageSink sink)
    : link_(link),
      dispatcher_(dispatcher),
      clock_(clock),
      sink_(std::move(sink)),
      time_source_(LocalStampTime) {}

ProgrammingJob::~ProgrammingJob() { Stop(); }

void ProgrammingJob::Start(base::Bytes image) {
  Stop();
  stop_.store(false);
  finished_.store(false);
  completed_.store(false);
  thread_ = std::thread([this, image = std::move(image)]() mutable {
    Run(std::move(image));
    finished_.store(true);
    dispatcher_.Wake();
  });
}

void ProgrammingJob::Stop() {
  stop_.store(true);
  base::JoinServing(dispatcher_, thread_, [this] { return finished_.load(); });
}

void ProgrammingJob::Send(ProgramMessage message) {
  dispatcher_.RunAndWait([this, &message] {
    if (sink_) sink_(message);
  });
}

void ProgrammingJob::Run(base::Bytes image) {
  while (!link_.Connected() && !stop_.load()) clock_.SleepMs(kWaitForDeviceMs);
  Send({ProgramMessage::Kind::kStatusText, kTextProgramming, {}});
  link_.CancelPending();
  const base::Bytes stamped = StampImage(image, time_source_());
  const std::vector<TransferBlock> blocks = BuildTransferBlocks(stamped);
  if (blocks.empty()) {
    Send({ProgramMessage::Kind::kNothingToSend, 0, {}});
  } else if (stop_.load()) {
    Send({ProgramMessage::Kind::kNothingToSend, 1, {}});
  } else {
    SendBlocks(blocks);
  }
  if (link_.Connected()) {
    link_.WriteReport(FinishCommand());
    clock_.SleepMs(kFinishRepeatMs);
    link_.WriteReport(FinishCommand());
  }
  Send({ProgramMessage::Kind::kTransferOver, kTransferOverCode, {}});
}

void ProgrammingJob::SendBlocks(const std::vector<TransferBlock>& blocks) {
  const int total = static_cast<int>(blocks.size());
  Send({ProgramMessage::Kind::kProgressMax, total, {}});
  Send({ProgramMessage::Kind::kProgress, 0, {}});
  int i = 0;
  int p = 0;
  auto step_back = [&] {
    if (--p < 1) {
      p = 0;
      i = 0;
    }
  };
  while (i < total && !stop_.load()) {
    base::Bytes report(1 + blocks[0].size(), 0);
    std::copy(blocks[static_cast<std::size_t>(i)].begin(), blocks[static_cast<std::size_t>(i)].end(),
              report.begin() + 1);
    if (!link_.Connected()) {
      p = 0;
      i = 0;
      Send({ProgramMessage::Kind::kProgress, p, {}});
      clock_.SleepMs(kUnpluggedRetryMs);
      continue;
    }
    if (!link_.WriteReport(report) || !link_.Connected()) continue;
    base::Bytes reply;
    if (!link_.ReadReply(reply)) {
      step_back();
    } else if (reply.size() >= report.size() &&
               std::equal(report.begin() + 1, report.end(), reply.begin() + 1)) {
      ++i;
      Send({ProgramMessage::Kind::kAcknowledged, i, {}});
      p = (i - p < kFastAdvance) ? i : p + (i - p) / 2;
    } else {
      base::Bytes code(kErrorCodeBytes, 0);
      for (std::size_t k = 0; k < kErrorCodeBytes && k + 1 < reply.size(); ++k) code[k] = reply[k + 1];
      Send({ProgramMessage::Kind::kErrorCode, 0, std::move(code)});
      clock_.SleepMs(kWrongReplyPauseMs);
      step_back();
    }
    Send({ProgramMessage::Kind::kProgress, p, {}});
  }
  completed_.store(i == total);
}

}  // namespace klimavo::device
