// Capture routing: the first open consumer in slot order gets the capture,
// none drops it, and a lease empties its slot however its owner ends.
#include "device/capture_router.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace klimavo::device {
namespace {

struct Recorder {
  std::vector<std::string> calls;
  CaptureRouter::Entry Entry(std::string name) {
    return [this, name](const ir::TIRIntegerArr& d, std::int32_t carrier) {
      calls.push_back(name + ":" + std::to_string(d.size()) + "@" + std::to_string(carrier));
    };
  }
};

TEST(CaptureRouterTest, RoutesToTheFirstOccupiedSlotInOrder) {
  struct Case {
    std::vector<CaptureConsumer> open;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {{}, ""},
      {{CaptureConsumer::ChecksumWizard}, "ChecksumWizard:2@38000"},
      {{CaptureConsumer::FormatChooser, CaptureConsumer::RemoteCheck}, "RemoteCheck:2@38000"},
      {{CaptureConsumer::ChecksumWizard, CaptureConsumer::FunctionWizard}, "FunctionWizard:2@38000"},
      {{CaptureConsumer::ChecksumWizard, CaptureConsumer::FormatChooser}, "FormatChooser:2@38000"},
  };
  const char* names[] = {"RemoteCheck", "FunctionWizard", "FormatChooser", "ChecksumWizard"};
  for (const Case& c : cases) {
    CaptureRouter router;
    Recorder recorder;
    std::vector<CaptureRouter::Lease> leases;
    for (CaptureConsumer slot : c.open)
      leases.push_back(router.Occupy(slot, recorder.Entry(names[static_cast<int>(slot)])));
    const bool routed = router.Route({9000, -4500}, 38000);
    EXPECT_EQ(routed, !c.expected.empty());
    EXPECT_EQ(recorder.calls,
              c.expected.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.expected});
  }
}

TEST(CaptureRouterTest, LeaseEmptiesItsSlotOnDestructionMoveAndUnwinding) {
  CaptureRouter router;
  Recorder recorder;
  {
    auto lease = router.Occupy(CaptureConsumer::FormatChooser, recorder.Entry("chooser"));
    EXPECT_TRUE(router.Occupied(CaptureConsumer::FormatChooser));
    CaptureRouter::Lease moved = std::move(lease);
    EXPECT_FALSE(lease.Active());
    EXPECT_TRUE(router.Occupied(CaptureConsumer::FormatChooser));
  }
  EXPECT_FALSE(router.Occupied(CaptureConsumer::FormatChooser));
  try {
    auto lease = router.Occupy(CaptureConsumer::RemoteCheck, recorder.Entry("check"));
    throw std::runtime_error("dialog failed");
  } catch (const std::runtime_error&) {
  }
  EXPECT_FALSE(router.Occupied(CaptureConsumer::RemoteCheck));
  EXPECT_FALSE(router.Route({1, -1}, 0));
}

TEST(CaptureRouterTest, SecondWindowOfAKindIsRefused) {
  CaptureRouter router;
  Recorder recorder;
  auto lease = router.Occupy(CaptureConsumer::FunctionWizard, recorder.Entry("a"));
  EXPECT_THROW((void)router.Occupy(CaptureConsumer::FunctionWizard, recorder.Entry("b")), std::logic_error);
}

TEST(CaptureRouterTest, ConsumerMayCloseItsWindowWhileHandlingACapture) {
  CaptureRouter router;
  CaptureRouter::Lease lease;
  int calls = 0;
  lease = router.Occupy(CaptureConsumer::FormatChooser, [&](const ir::TIRIntegerArr&, std::int32_t) {
    ++calls;
    lease.Reset();
  });
  EXPECT_TRUE(router.Route({1, -1}, 38000));
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(router.Route({1, -1}, 38000));
}

TEST(CaptureRouterTest, DeliverReachesOnlyTheNamedSlot) {
  CaptureRouter router;
  Recorder recorder;
  auto chooser = router.Occupy(CaptureConsumer::FormatChooser, recorder.Entry("chooser"));
  EXPECT_FALSE(router.Deliver(CaptureConsumer::ChecksumWizard, {1, -1}, 38000));
  auto checksum = router.Occupy(CaptureConsumer::ChecksumWizard, recorder.Entry("checksum"));
  EXPECT_TRUE(router.Deliver(CaptureConsumer::ChecksumWizard, {1, -1, 2}, 38000));
  EXPECT_EQ(recorder.calls, std::vector<std::string>{"checksum:3@38000"});
}

}  // namespace
}  // namespace klimavo::device
