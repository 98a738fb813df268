// The whole device link driven through the simulated learner: device search,
// status, listening, packets into captures, re-arming, stop commands, unplug and
// replug, the recheck debounce. Time is a manual clock, so nothing waits for
// real milliseconds and timing assertions are exact windows.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "base/dispatcher.h"
#include "device/learner_manager.h"
#include "device/packet_encoder.h"
#include "device/simulated_device.h"

namespace klimavo::device {
namespace {

using base::Bytes;

const ir::Capture kNec{{90000, -45000, 5600, -16900, 5600, -5600, 5600, -16900, 5600, -5600, 5600}, 38000};

/// Longest a loop iteration of the listening thread takes in clock time.
constexpr std::uint32_t kLoopSlack = kListenReadTimeoutMs + kListenIdleSleepMs;

class LinkTest : public ::testing::Test {
 protected:
  void Make(int model, SimulatedOptions options = {}) {
    options.model = model;
    sim_ = std::make_unique<SimulatedDevice>(clock_, options);
    link_ = std::make_unique<TMyHIDUSBMange>(*sim_, loop_, clock_);
    link_->SetOnStatus([this](bool connected) { statuses_.push_back(connected); });
    link_->SetOnCapture([this](const ir::TIRIntegerArr& d, std::int32_t carrier) {
      captures_.push_back({d, carrier});
    });
  }
  bool Serve(const std::function<bool()>& done) { return loop_.RunUntil(done, std::chrono::seconds(20)); }
  bool ServeCaptures(std::size_t n) {
    return Serve([&] { return captures_.size() >= n; });
  }
  bool ServeLearnCommands(std::size_t n) {
    return Serve([&] { return sim_->LearnCommands().size() >= n; });
  }
  /// Lets the listening thread run until `ms` more clock time has passed.
  void ServeClock(std::uint32_t ms) {
    const std::uint32_t until = clock_.NowMs() + ms;
    ASSERT_TRUE(Serve([&] { return static_cast<std::int32_t>(clock_.NowMs() - until) >= 0; }));
  }
  Bytes Padded(Bytes command) {
    command.resize(sim_->Options().output_report_length, 0);
    return command;
  }

  ManualClock clock_{1000};
  base::EventLoopDispatcher loop_;
  std::unique_ptr<SimulatedDevice> sim_;
  std::unique_ptr<TMyHIDUSBMange> link_;
  std::vector<bool> statuses_;
  std::vector<ir::Capture> captures_;
};

TEST_F(LinkTest, ModelSetDecidesWhichLearnerIsFound) {
  const struct {
    int model;
    std::uint8_t set;
    bool found;
  } cases[] = {{7, 0, true}, {3, 0, false}, {3, 1, true}, {0, 2, false}, {0, 9, true}, {12, 2, true}};
  for (const auto& c : cases) {
    statuses_.clear();
    Make(c.model);
    link_->SelectModelSet(c.set);
    EXPECT_EQ(link_->Connected(), c.found) << c.model << " in set " << int{c.set};
    EXPECT_EQ(statuses_, c.found ? std::vector<bool>{true} : std::vector<bool>{});
    if (c.found) {
      EXPECT_EQ(link_->ModelIndex(), c.model);
    }
    link_.reset();
  }
}

TEST_F(LinkTest, NothingIsSentOrFoundBeforeAModelSetIsChosen) {
  Make(7);
  link_->Recheck();
  EXPECT_FALSE(link_->Connected());
  EXPECT_TRUE(sim_->Received().empty());
}

// Every packet format arrives as the capture the packet holds, also when it
// spans many reports.
TEST_F(LinkTest, CapturesArriveInEveryPacketFormat) {
  for (int model : {0, 9, 11, 12}) {
    for (std::size_t report_length : {65u, 9u}) {
      captures_.clear();
      Make(model, SimulatedOptions{.input_report_length = report_length});
      link_->SelectModelSet(3);
      link_->SetListening(true);
      ASSERT_TRUE(ServeLearnCommands(1)) << model;
      EXPECT_EQ(sim_->LearnCommands()[0].bytes, Padded(LearnCommand(model, 1, kDefaultTrimTime))) << model;
      sim_->QueueCapture(kNec);
      ASSERT_TRUE(ServeCaptures(1)) << model;
      const auto expected = DecodePacket(model, EncodePacket(model, kNec));
      EXPECT_EQ(captures_[0].Durations, expected.capture->Durations) << model << " / " << report_length;
      EXPECT_EQ(captures_[0].Carrier, expected.capture->Carrier) << model;
      EXPECT_EQ(link_->CaptureDurations(), captures_[0].Durations);
      link_->SetListening(false);
      link_.reset();
    }
  }
}

// A learner that plays its presses exactly hands over the queued capture,
// uncut and with its own carrier, in every packet format; without it a press
// longer than the packet arrives cut and the carrier is re-measured.
TEST_F(LinkTest, ExactCapturesArriveAsQueued) {
  ir::Capture long_press{{90000, -45000}, 38000};
  for (int bit = 0; bit < 300; ++bit) long_press.Durations.insert(long_press.Durations.end(), {5600, -16900});
  long_press.Durations.push_back(5600);
  for (int model : {0, 7, 11, 12}) {
    for (const ir::Capture& press : {kNec, long_press}) {
      for (bool exact : {true, false}) {
        SCOPED_TRACE(std::to_string(model) + (exact ? " exact" : " packet") + " / " +
                     std::to_string(press.Durations.size()));
        captures_.clear();
        Make(model, SimulatedOptions{.exact_captures = exact});
        link_->SelectModelSet(3);
        link_->SetListening(true);
        sim_->QueueCapture(press);
        ASSERT_TRUE(ServeCaptures(1));
        const auto packet = DecodePacket(model, EncodePacket(model, press));
        ASSERT_TRUE(packet.capture);
        const ir::Capture& expected = exact ? press : *packet.capture;
        EXPECT_EQ(captures_[0].Durations, expected.Durations);
        EXPECT_EQ(captures_[0].Carrier, expected.Carrier);
        link_->SetListening(false);
        link_.reset();
      }
    }
  }
}

TEST_F(LinkTest, CorpusCaptureThroughTheTableLearner) {
  const std::string corpus = KLIMAVO_CORPUS_FILE;
  std::ifstream in(corpus);
  std::string line;
  ASSERT_TRUE(std::getline(in, line));
  const auto json = nlohmann::json::parse(line);
  ir::Capture capture;
  for (int us : json["durations_us"]) capture.Durations.push_back(us * 10);
  capture.Carrier = json["carrier_hz"].get<int>();
  SCOPED_TRACE(json["source"].get<std::string>() + " / " + json["name"].get<std::string>());

  Make(7);
  link_->SelectModelSet(0);
  link_->SetListening(true);
  sim_->QueueCapture(capture);
  ASSERT_TRUE(ServeCaptures(1));
  // The capture arrives as the learner's packet holds it: odd length, ending with a mark.
  const auto expected = DecodePacket(7, EncodePacket(7, capture));
  ASSERT_TRUE(expected.capture);
  EXPECT_EQ(captures_[0].Durations, expected.capture->Durations);
  EXPECT_EQ(captures_[0].Durations.size(), capture.Durations.size() | 1);
  EXPECT_NEAR(captures_[0].Durations[0], capture.Durations[0], 100);
  EXPECT_NEAR(captures_[0].Carrier, capture.Carrier, 500);
}

TEST_F(LinkTest, CompletePacketReArmsAtOnceOnlyForNonContinuousLearners) {
  for (int model : {0, 9}) {
    captures_.clear();
    Make(model);
    link_->SelectModelSet(3);
    link_->SetListening(true);
    sim_->QueueCapture(kNec);
    ASSERT_TRUE(ServeCaptures(1));
    if (model == 0) {
      ASSERT_TRUE(ServeLearnCommands(2));
      const auto gap = sim_->LearnCommands()[1].time_ms - sim_->LastReportSentMs();
      EXPECT_GT(gap, kPacketGapMs) << model;
      EXPECT_LE(gap, kPacketGapMs + 2 * kLoopSlack) << model;
    } else {
      ServeClock(5000);
      EXPECT_EQ(sim_->LearnCommands().size(), 1u) << model;
    }
    link_->SetListening(false);
    link_.reset();
  }
}

TEST_F(LinkTest, UndecodedPacketReArmsAfter1000Ms) {
  Bytes no_mark = EncodeTablePacket(kNec);
  no_mark[0] = 0x00;
  Bytes two_pairs = EncodeTablePacket(ir::Capture{{5600, -5600, 5600, -5600, 5600}, 38000});
  const struct {
    const char* name;
    Bytes packet;
    std::uint32_t min_gap, max_gap;
  } cases[] = {
      {"first byte not AA or 66", no_mark, kPacketGapMs + kRearmAfterMs,
       kPacketGapMs + kRearmAfterMs + 3 * kLoopSlack},
      {"complete but only two pairs", two_pairs, kPacketGapMs, kPacketGapMs + 2 * kLoopSlack},
  };
  for (const auto& c : cases) {
    captures_.clear();
    Make(0);
    link_->SelectModelSet(0);
    link_->SetListening(true);
    sim_->QueuePacket(c.packet);
    ASSERT_TRUE(ServeLearnCommands(2)) << c.name;
    const auto gap = sim_->LearnCommands()[1].time_ms - sim_->LastReportSentMs();
    EXPECT_GT(gap, c.min_gap) << c.name;
    EXPECT_LE(gap, c.max_gap) << c.name;
    EXPECT_TRUE(captures_.empty()) << c.name;
    link_->SetListening(false);
    link_.reset();
  }
}

TEST_F(LinkTest, StopCommandWhenListeningEndsOnlyWhereTheModelNeedsIt) {
  const struct {
    int model;
    std::optional<Bytes> stop;
  } cases[] = {
      {2, std::nullopt},
      {4, StopCommand(4, 1, kDefaultTrimTime)},
      {11, StopCommand(11, 1, kDefaultTrimTime)},
      {12, StopCommand(12, 1, kDefaultTrimTime)},
  };
  for (const auto& c : cases) {
    Make(c.model);
    link_->SelectModelSet(3);
    link_->SetListening(true);
    ASSERT_TRUE(ServeLearnCommands(1));
    link_->SetListening(false);
    const Bytes last = sim_->Received().back().bytes;
    if (c.stop) {
      EXPECT_EQ(last, Padded(*c.stop)) << c.model;
    } else {
      EXPECT_EQ(last, Padded(LearnCommand(c.model, 1, kDefaultTrimTime))) << c.model;
    }
    EXPECT_FALSE(sim_->Learning() && c.stop) << c.model;
    link_.reset();
  }
}

TEST_F(LinkTest, ContinuousModelsGetTheLearnCommandOnceMoreWhenOpened) {
  Make(12);
  link_->SelectModelSet(0);
  link_->SetListening(true);
  ASSERT_TRUE(ServeLearnCommands(1));
  sim_->Unplug();
  link_->Recheck();
  const std::size_t before = sim_->Received().size();
  sim_->Plug();
  link_->Recheck();
  // One learn command from the reopening itself, one from the new listening thread.
  ASSERT_TRUE(Serve([&] { return sim_->Received().size() >= before + 2; }));
  EXPECT_EQ(sim_->Received()[before].bytes, Padded(LearnCommand(12, 1, kDefaultTrimTime)));
}

TEST_F(LinkTest, Model8AcknowledgementIsDroppedAndTheLearnerArmedAgain) {
  Make(8, SimulatedOptions{.acknowledge_learn = true});
  link_->SelectModelSet(1);
  link_->SetListening(true);
  sim_->QueueCapture(kNec);
  ASSERT_TRUE(ServeCaptures(1));
  const auto learn = sim_->LearnCommands();
  ASSERT_GE(learn.size(), 2u);
  // The acknowledgement arrives 1 ms after the first learn command and is answered at once.
  EXPECT_LE(learn[1].time_ms - learn[0].time_ms, 1 + kLoopSlack);
  EXPECT_EQ(captures_.size(), 1u);
  EXPECT_EQ(captures_[0].Durations.size(), kNec.Durations.size());
}

TEST_F(LinkTest, UnplugAndReplugWhileListening) {
  Make(7);
  link_->SelectModelSet(0);
  link_->SetListening(true);
  ASSERT_TRUE(ServeLearnCommands(1));
  sim_->Unplug();
  link_->Recheck();
  EXPECT_FALSE(link_->Connected());
  EXPECT_EQ(statuses_, (std::vector<bool>{true, false}));
  EXPECT_TRUE(link_->ListenerRunning());
  link_->Recheck();  // nothing changed: no second status
  EXPECT_EQ(statuses_.size(), 2u);

  sim_->Plug();
  link_->Recheck();
  EXPECT_EQ(statuses_, (std::vector<bool>{true, false, true}));
  EXPECT_TRUE(link_->Connected());
  ASSERT_TRUE(ServeLearnCommands(1));  // listening resumed by itself (the new attachment's first command)
  sim_->QueueCapture(kNec);
  EXPECT_TRUE(ServeCaptures(1));
}

TEST_F(LinkTest, ReplacedDeviceIsReopened) {
  Make(7);
  link_->SelectModelSet(0);
  sim_->Unplug();
  sim_->Plug(/*new_instance=*/true);
  link_->Recheck();
  EXPECT_EQ(statuses_, (std::vector<bool>{true, true}));
  link_->Recheck();
  EXPECT_EQ(statuses_.size(), 2u);
}

TEST_F(LinkTest, ListeningWantedWithoutDeviceStartsOnlyWithTheNextChange) {
  Make(7);
  sim_->Unplug();
  link_->SelectModelSet(0);
  link_->SetListening(true);
  EXPECT_TRUE(link_->Listening());
  EXPECT_FALSE(link_->ListenerRunning());
  sim_->Plug();
  link_->Recheck();
  EXPECT_TRUE(link_->Connected());
  clock_.SleepMs(500);
  loop_.ProcessPending();
  EXPECT_FALSE(link_->ListenerRunning());
  EXPECT_TRUE(sim_->LearnCommands().empty());
  link_->SetListening(false);
  link_->SetListening(true);
  EXPECT_TRUE(ServeLearnCommands(1));
}

TEST_F(LinkTest, ThrowingCaptureReceiverDoesNotStopLaterCaptures) {
  Make(9);
  int calls = 0;
  link_->SetOnCapture([&](const ir::TIRIntegerArr&, std::int32_t) {
    if (++calls == 1) throw std::runtime_error("receiver failed");
  });
  link_->SelectModelSet(0);
  link_->SetListening(true);
  sim_->QueueCapture(kNec);
  sim_->QueueCapture(kNec);
  EXPECT_TRUE(Serve([&] { return calls >= 2; }));
}

TEST_F(LinkTest, LearnModeGoesOutAtOnceOnlyToModel11) {
  for (int model : {11, 7}) {
    Make(model);
    link_->SelectModelSet(0);
    const std::size_t before = sim_->Received().size();
    link_->SetLearnMode(1);  // the current value: nothing
    EXPECT_EQ(sim_->Received().size(), before);
    link_->SetLearnMode(2);
    if (model == 11) {
      ASSERT_EQ(sim_->Received().size(), before + 1);
      EXPECT_EQ(sim_->Received().back().bytes, Padded(PulseModelCommand(true, 2, kDefaultTrimTime)));
      link_->SetLearnMode(0);
      EXPECT_EQ(sim_->Received().back().bytes, Padded(PulseModelCommand(false, 0, kDefaultTrimTime)));
    } else {
      EXPECT_EQ(sim_->Received().size(), before);
    }
    EXPECT_EQ(link_->SupportsLongRange(), true);
    link_.reset();
  }
}

TEST_F(LinkTest, TrimTimeGoesOutWithTheNextLearnCommand) {
  Make(11);
  link_->SelectModelSet(0);
  link_->SetListening(true);
  ASSERT_TRUE(ServeLearnCommands(1));
  const std::size_t before = sim_->Received().size();
  link_->SetTrimTime(300);
  ServeClock(200);
  EXPECT_EQ(sim_->Received().size(), before);
  link_->SetListening(false);
  link_->SetListening(true);
  ASSERT_TRUE(ServeLearnCommands(2));
  EXPECT_EQ(sim_->LearnCommands()[1].bytes, Padded(LearnCommand(11, 1, 300)));
}

TEST_F(LinkTest, QueryOnlyDeviceCountsAsFoundButCannotTalk) {
  Make(7);
  sim_->DenyAccess(true);
  link_->SelectModelSet(0);
  EXPECT_TRUE(link_->Connected());
  EXPECT_NE(link_->OpenProblem().find("permission"), std::string::npos);
  EXPECT_FALSE(link_->WriteReport(LearnCommand(7, 1, 180)));
  Bytes reply;
  EXPECT_FALSE(link_->ReadReply(reply));
}

TEST_F(LinkTest, StoppingWhileAHandOverIsPendingDoesNotDeadlock) {
  Make(9);
  link_->SelectModelSet(0);
  link_->SetListening(true);
  sim_->QueueCapture(kNec);
  // Do not serve: the listening thread ends up waiting in its hand-over.
  while (sim_->PendingPackets() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  link_->SetListening(false);
  EXPECT_FALSE(link_->ListenerRunning());
  EXPECT_EQ(captures_.size(), 1u);
}

TEST_F(LinkTest, OperationsWithoutDeviceFailHarmlessly) {
  Make(7);
  Bytes data{0, 1, 2};
  EXPECT_FALSE(link_->WriteReport(data));
  EXPECT_FALSE(link_->ReadReport(data, 10));
  EXPECT_FALSE(link_->SendBlock(data));
  link_->CancelPending();
  EXPECT_FALSE(link_->AuxWrite(data));
}

TEST_F(LinkTest, SendBlockSplitsIntoFilledReports) {
  Make(11, SimulatedOptions{.output_report_length = 9});
  link_->SelectModelSet(0);
  const std::size_t before = sim_->Received().size();
  link_->SendBlock(Bytes{1, 2, 3, 4, 5});
  const auto received = sim_->Received();
  ASSERT_EQ(received.size(), before + 2);  // 8-byte prefix + 5 bytes over 8-byte chunks
  EXPECT_EQ(received[before].bytes, (Bytes{0, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF}));
  EXPECT_EQ(received[before + 1].bytes, (Bytes{0, 1, 2, 3, 4, 5, 0xFF, 0xFF, 0xFF}));
}

// --- The recheck debounce. ---

TEST(RecheckDebounce, OneRecheck300To400MsAfterTheLastNotification) {
  const std::vector<std::vector<int>> bursts{{0}, {0, 100, 200}, {0, 30, 60, 90}, {0, 250, 500, 750}};
  for (const auto& burst : bursts) {
    for (int phase = 1; phase < kRecheckTimerMs; phase += 7) {
      RecheckDebounce debounce;
      std::vector<int> fired;
      for (int t = 0; t < 3000; ++t) {
        for (int n : burst) {
          if (n == t) debounce.Notify();
        }
        if (debounce.TimerEnabled() && t % kRecheckTimerMs == phase && debounce.Tick()) fired.push_back(t);
      }
      ASSERT_EQ(fired.size(), 1u) << "phase " << phase;
      const int delay = fired[0] - burst.back();
      EXPECT_GE(delay, 300) << "phase " << phase;
      EXPECT_LE(delay, 400) << "phase " << phase;
    }
  }
}

TEST_F(LinkTest, NotificationLeadsToARecheckOnTheFourthTick) {
  Make(7);
  link_->SelectModelSet(0);
  sim_->Unplug();  // its notification is posted to the loop
  loop_.ProcessPending();
  for (int tick = 1; tick <= 3; ++tick) {
    link_->TimerTick();
    EXPECT_TRUE(link_->Connected()) << tick;
  }
  link_->TimerTick();
  EXPECT_FALSE(link_->Connected());
  EXPECT_EQ(statuses_, (std::vector<bool>{true, false}));
}

}  // namespace
}  // namespace klimavo::device
