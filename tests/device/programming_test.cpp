// Programming a table image: stamping, the transfer blocks, and the transfer
// with echoes, wrong answers, missing answers and restarts against the
// simulated programmer.
#include "device/programming.h"

#include <gtest/gtest.h>

#include <numeric>

#include "device/learner_manager.h"
#include "device/simulated_device.h"
#include "firmware/table_image.h"

namespace klimavo::device {
namespace {

using base::Bytes;
using Kind = ProgramMessage::Kind;

const StampTime kTime{2026, 12, 10, 14};

Bytes Image(std::size_t size) {
  Bytes image(size);
  std::iota(image.begin(), image.end(), std::uint8_t{1});
  return image;
}

TEST(StampImage, TimeHeaderCheckSumAndComplement) {
  const Bytes stamped = StampImage(Image(40), kTime);
  ASSERT_EQ(stamped.size(), 44u);
  EXPECT_EQ(stamped[20], 26);
  EXPECT_EQ(stamped[21], 12);
  EXPECT_EQ(stamped[22], 10);
  EXPECT_EQ(stamped[23], 14);
  EXPECT_EQ(stamped[24], 25);  // as built
  EXPECT_EQ(stamped[25], 0);
  EXPECT_EQ(stamped[26], 0);
  EXPECT_EQ(stamped[27], 28);  // as built
  unsigned check = 204;
  for (int i = 0; i < 28; ++i) check += stamped[static_cast<std::size_t>(i)];
  EXPECT_EQ(stamped[28], check & 0xFF);
  unsigned sum = 0;
  for (int i = 0; i < 40; ++i) sum += stamped[static_cast<std::size_t>(i)];
  EXPECT_EQ(stamped[40] | (stamped[41] << 8), sum & 0xFFFF);
  EXPECT_EQ(stamped[42] | (stamped[43] << 8), ~sum & 0xFFFF);
}

TEST(StampImage, ImageShorterThanItsHeaderIsNotSent) {
  EXPECT_TRUE(StampImage(Image(31), kTime).empty());
  EXPECT_TRUE(BuildTransferBlocks(StampImage(Image(31), kTime)).empty());
  EXPECT_EQ(StampImage(Image(32), kTime).size(), 36u);
}

TEST(ProgramImageSize, FromItsHeaderUpToTheRemotesBuffer) {
  static_assert(kMaxProgramImageBytes == firmware::kImageBufferSize,
                "the buffer the table image is built in");
  const struct {
    std::uint64_t size;
    ImageSizeCheck check;
  } cases[] = {
      {0, ImageSizeCheck::kTooSmall},
      {31, ImageSizeCheck::kTooSmall},
      {32, ImageSizeCheck::kOk},
      {4132, ImageSizeCheck::kOk},
      {4133, ImageSizeCheck::kTooLarge},
      {8192, ImageSizeCheck::kTooLarge},
      {20'000'000, ImageSizeCheck::kTooLarge},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CheckProgramImageSize(c.size), c.check) << c.size;
    const std::string problem = ProgramImageSizeProblem(c.size);
    EXPECT_EQ(problem.empty(), c.check == ImageSizeCheck::kOk) << c.size;
    if (problem.empty()) continue;
    // Both sizes are named: the image's and the limit it breaks.
    EXPECT_NE(problem.find(std::to_string(c.size) + " bytes"), std::string::npos) << problem;
    EXPECT_NE(problem.find(c.check == ImageSizeCheck::kTooLarge ? "4132" : "32-byte"), std::string::npos)
        << problem;
  }
}

TEST(TransferBlocks, FortyByteImage) {
  const Bytes stamped = StampImage(Image(40), kTime);
  const auto blocks = BuildTransferBlocks(stamped);
  ASSERT_EQ(blocks.size(), 9u);
  EXPECT_EQ(blocks[0], (TransferBlock{0xAA, 0x00, 0x00, 0x08, 0x00, 0x02, 0x00, 0xB4}));
  for (std::size_t k = 1; k <= 8; ++k) {
    EXPECT_EQ(blocks[k][0], 0xA0 + (k - 1) % 8);
    unsigned sum = 0;
    for (int i = 0; i < 7; ++i) sum += blocks[k][static_cast<std::size_t>(i)];
    EXPECT_EQ(blocks[k][7], sum & 0xFF) << k;
  }
  EXPECT_EQ(blocks[1][1], stamped[0]);
  // The last block holds the last two image bytes and four zeros.
  EXPECT_EQ(blocks[8][1], stamped[42]);
  EXPECT_EQ(blocks[8][2], stamped[43]);
  for (int i = 3; i <= 6; ++i) EXPECT_EQ(blocks[8][static_cast<std::size_t>(i)], 0) << i;
}

TEST(TransferBlocks, SequenceByteWrapsAfterA7) {
  const auto blocks = BuildTransferBlocks(StampImage(Image(60), kTime));  // 64 bytes: 11 blocks
  ASSERT_EQ(blocks.size(), 12u);
  EXPECT_EQ(blocks[8][0], 0xA7);
  EXPECT_EQ(blocks[9][0], 0xA0);
  EXPECT_EQ(blocks[11][0], 0xA2);
  EXPECT_EQ(blocks[0][5], 4);  // 64 = 10 × 6 + 4
}

TEST(FinishCommand, Bytes) {
  EXPECT_EQ(FinishCommand(), (Bytes{0x00, 0xBE, 0xFF, 0xFF, 0xAA, 0xAA, 0xAA, 0xAA, 0x64}));
}

class ProgrammingTest : public ::testing::Test {
 protected:
  ProgrammingTest() {
    link_.SelectModelSet(0);
    job_.SetTimeSource([] { return kTime; });
  }
  /// Runs one transfer of `image` to its end.
  void Transfer(const Bytes& image) {
    job_.Start(image);
    ASSERT_TRUE(loop_.RunUntil([&] { return job_.Finished(); }, std::chrono::seconds(20)));
    job_.Stop();
  }
  /// The blocks the programmer received, by their first byte.
  std::vector<std::uint8_t> BlockMarks() const {
    std::vector<std::uint8_t> marks;
    for (const auto& r : sim_.Received()) {
      if (r.bytes[1] == 0xAA || (r.bytes[1] & 0xF8) == 0xA0) marks.push_back(r.bytes[1]);
    }
    return marks;
  }
  std::size_t Count(Kind kind) const {
    return static_cast<std::size_t>(std::count_if(messages_.begin(), messages_.end(),
                                                  [&](const ProgramMessage& m) { return m.kind == kind; }));
  }

  ManualClock clock_{5000};
  base::EventLoopDispatcher loop_;
  SimulatedDevice sim_{clock_, SimulatedOptions{.model = 7}};
  TMyHIDUSBMange link_{sim_, loop_, clock_};
  std::vector<ProgramMessage> messages_;
  ProgrammingJob job_{link_, loop_, clock_, [this](const ProgramMessage& m) { messages_.push_back(m); }};
};

TEST_F(ProgrammingTest, CleanTransferSendsEveryBlockOnceAndFinishesTwice) {
  Transfer(Image(40));
  EXPECT_EQ(BlockMarks(), (std::vector<std::uint8_t>{0xAA, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7}));
  const auto received = sim_.Received();
  ASSERT_GE(received.size(), 2u);
  Bytes finish = FinishCommand();
  finish.resize(65, 0);
  EXPECT_EQ(received[received.size() - 1].bytes, finish);
  EXPECT_EQ(received[received.size() - 2].bytes, finish);
  EXPECT_EQ(received.back().time_ms - received[received.size() - 2].time_ms, kFinishRepeatMs);
  ASSERT_FALSE(messages_.empty());
  EXPECT_EQ(messages_.front().kind, Kind::kStatusText);
  EXPECT_EQ(messages_.front().value, kTextProgramming);
  EXPECT_EQ(messages_.back().kind, Kind::kTransferOver);
  EXPECT_EQ(messages_.back().value, kTransferOverCode);
  EXPECT_EQ(Count(Kind::kAcknowledged), 9u);
  EXPECT_EQ(Count(Kind::kErrorCode), 0u);
  EXPECT_TRUE(job_.Completed());
  const auto last_ack = std::find_if(messages_.rbegin(), messages_.rend(),
                                     [](auto& m) { return m.kind == Kind::kAcknowledged; });
  EXPECT_EQ(last_ack->value, 9);
}

TEST_F(ProgrammingTest, StopHalfWayLeavesTheTransferIncomplete) {
  bool stopped = false;
  job_.Stop();
  ProgrammingJob job(link_, loop_, clock_, [&](const ProgramMessage& m) {
    messages_.push_back(m);
    if (m.kind == Kind::kAcknowledged && m.value == 4) stopped = true;
  });
  job.SetTimeSource([] { return kTime; });
  job.Start(Image(40));
  ASSERT_TRUE(loop_.RunUntil([&] { return stopped; }, std::chrono::seconds(20)));
  job.Stop();
  EXPECT_TRUE(job.Finished());
  EXPECT_FALSE(job.Completed());
  EXPECT_EQ(messages_.back().kind, Kind::kTransferOver);
  EXPECT_LT(BlockMarks().size(), 9u);
}

TEST_F(ProgrammingTest, WrongEchoShowsErrorCodeAndRepeatsTheBlock) {
  sim_.CorruptReplies(1);
  Transfer(Image(40));
  // The header's echo was wrong with the progress at 0: the transfer starts again from the header.
  EXPECT_EQ(BlockMarks(),
            (std::vector<std::uint8_t>{0xAA, 0xAA, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7}));
  ASSERT_EQ(Count(Kind::kErrorCode), 1u);
  const auto error =
      std::find_if(messages_.begin(), messages_.end(), [](auto& m) { return m.kind == Kind::kErrorCode; });
  EXPECT_EQ(error->code, (Bytes{0xAA, 0x5A, 0x00}));
}

struct RetryCase {
  const char* name;
  int good_blocks;  ///< blocks echoed before the fault
  bool drop;        ///< the fault: no answer (else a wrong one)
  std::vector<std::uint8_t> marks;
};

TEST_F(ProgrammingTest, FaultsCostOneProgressStepAndRestartAtZero) {
  const RetryCase cases[] = {
      // Progress 1 after the header: one wrong answer restarts from the header.
      {"wrong answer at progress 1",
       1,
       false,
       {0xAA, 0xA0, 0xAA, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7}},
      {"no answer at progress 1",
       1,
       true,
       {0xAA, 0xA0, 0xAA, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7}},
      // Progress 2 after two blocks: the fault costs one step and the block is repeated.
      {"wrong answer at progress 2", 2, false, {0xAA, 0xA0, 0xA1, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7}},
      {"no answer at progress 4", 4, true, {0xAA, 0xA0, 0xA1, 0xA2, 0xA3, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7}},
  };
  for (const auto& c : cases) {
    SimulatedDevice sim(clock_, SimulatedOptions{.model = 7});
    TMyHIDUSBMange link(sim, loop_, clock_);
    link.SelectModelSet(0);
    messages_.clear();
    bool armed = false;
    ProgrammingJob job(link, loop_, clock_, [&](const ProgramMessage& m) {
      messages_.push_back(m);
      if (m.kind == Kind::kAcknowledged && !armed &&
          Count(Kind::kAcknowledged) == static_cast<std::size_t>(c.good_blocks)) {
        armed = true;
        if (c.drop) {
          sim.DropReplies(1);
        } else {
          sim.CorruptReplies(1);
        }
      }
    });
    job.SetTimeSource([] { return kTime; });
    job.Start(Image(40));
    ASSERT_TRUE(loop_.RunUntil([&] { return job.Finished(); }, std::chrono::seconds(20))) << c.name;
    std::vector<std::uint8_t> marks;
    for (const auto& r : sim.Received()) {
      if (r.bytes[1] == 0xAA || (r.bytes[1] & 0xF8) == 0xA0) marks.push_back(r.bytes[1]);
    }
    EXPECT_EQ(marks, c.marks) << c.name;
    EXPECT_TRUE(job.Completed()) << c.name;
  }
}

TEST_F(ProgrammingTest, UnpluggedDeviceSendsTheTransferBackToTheHeader) {
  bool unplugged = false;
  bool replugged = false;
  job_.Stop();
  ProgrammingJob job(link_, loop_, clock_, [&](const ProgramMessage& m) {
    messages_.push_back(m);
    if (m.kind == Kind::kAcknowledged && Count(Kind::kAcknowledged) == 3 && !unplugged) {
      unplugged = true;
      sim_.Unplug();
      link_.Recheck();
    } else if (m.kind == Kind::kProgress && m.value == 0 && unplugged && !replugged) {
      // The thread noticed the lost device; bring it back.
      replugged = true;
      sim_.Plug();
      link_.Recheck();
    }
  });
  job.SetTimeSource([] { return kTime; });
  job.Start(Image(40));
  ASSERT_TRUE(loop_.RunUntil([&] { return job.Finished(); }, std::chrono::seconds(20)));
  const auto marks = BlockMarks();
  ASSERT_GE(marks.size(), 12u);
  EXPECT_EQ(marks[3], 0xAA);  // after three blocks the header again
  EXPECT_EQ(marks.back(), 0xA7);
  EXPECT_EQ(messages_.back().kind, Kind::kTransferOver);
}

TEST_F(ProgrammingTest, CancelWhileWaitingForTheDeviceStillEndsWithTransferOver) {
  sim_.Unplug();
  link_.Recheck();
  job_.Start(Image(40));
  job_.Stop();
  EXPECT_TRUE(job_.Finished());
  ASSERT_FALSE(messages_.empty());
  EXPECT_EQ(messages_.back().kind, Kind::kTransferOver);
  EXPECT_EQ(Count(Kind::kNothingToSend), 1u);
  EXPECT_EQ(messages_[messages_.size() - 2].value, 1);  // cancelled while building
  EXPECT_FALSE(job_.Completed());
}

TEST_F(ProgrammingTest, ShortImageIsNothingToSend) {
  Transfer(Image(20));
  EXPECT_TRUE(BlockMarks().empty());
  ASSERT_EQ(Count(Kind::kNothingToSend), 1u);
  EXPECT_EQ(messages_.back().kind, Kind::kTransferOver);
  EXPECT_FALSE(job_.Completed());
}

}  // namespace
}  // namespace klimavo::device
