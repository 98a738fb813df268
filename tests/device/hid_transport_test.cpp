// The hidraw transport without hardware: report descriptors, messages, the
// product string conversion, and the transport contract run against every
// transport implementation.
#include "device/hid_transport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>

#include "device/clock.h"
#include "device/simulated_device.h"

namespace klimavo::device {
namespace {

using base::Bytes;

struct DescriptorCase {
  const char* name;
  Bytes descriptor;
  std::optional<ReportLengths> expected;
};

// Descriptors as devices report them: a vendor-defined 64-byte learner interface,
// the boot keyboard of the HID class definition, a composite with report IDs.
const Bytes kVendor64{0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x09, 0x01, 0x15, 0x00, 0x26,
                      0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x81, 0x02, 0x09, 0x01, 0x15, 0x00,
                      0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x91, 0x02, 0xC0};
const Bytes kBootKeyboard{0x05, 0x01, 0x09, 0x06, 0xA1, 0x01, 0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7, 0x15,
                          0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02, 0x95, 0x01, 0x75, 0x08,
                          0x81, 0x01, 0x95, 0x05, 0x75, 0x01, 0x05, 0x08, 0x19, 0x01, 0x29, 0x05, 0x91,
                          0x02, 0x95, 0x01, 0x75, 0x03, 0x91, 0x01, 0x95, 0x06, 0x75, 0x08, 0x15, 0x00,
                          0x25, 0x65, 0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00, 0xC0};
const Bytes kNumbered{0x05, 0x01, 0x09, 0x02, 0xA1, 0x01, 0x85, 0x01, 0x09, 0x01, 0xA1, 0x00, 0x05,
                      0x09, 0x19, 0x01, 0x29, 0x03, 0x15, 0x00, 0x25, 0x01, 0x95, 0x03, 0x75, 0x01,
                      0x81, 0x02, 0x95, 0x01, 0x75, 0x05, 0x81, 0x03, 0x05, 0x01, 0x09, 0x30, 0x09,
                      0x31, 0x15, 0x81, 0x25, 0x7F, 0x75, 0x08, 0x95, 0x02, 0x81, 0x06, 0xC0, 0xC0,
                      0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x85, 0x02, 0x75, 0x08, 0x95, 0x10,
                      0x81, 0x02, 0x85, 0x03, 0x95, 0x20, 0x91, 0x02, 0xC0};

TEST(ParseReportDescriptor, LengthsIncludeTheReportIdByte) {
  const DescriptorCase cases[] = {
      {"vendor 64-byte reports", kVendor64, ReportLengths{65, 65, false}},
      {"boot keyboard", kBootKeyboard, ReportLengths{9, 2, false}},
      {"report IDs: the largest report of each kind", kNumbered, ReportLengths{17, 33, true}},
      {"push and pop restore the globals",
       {0x75, 0x08, 0x95, 0x04, 0xA4, 0x95, 0x10, 0x81, 0x02, 0xB4, 0x81, 0x02},
       ReportLengths{21, 0, false}},
      {"long item skipped",
       {0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x75, 0x08, 0x95, 0x02, 0x91, 0x02},
       ReportLengths{0, 3, false}},
      {"empty", {}, ReportLengths{0, 0, false}},
      {"item cut off", {0x75, 0x08, 0x26, 0xFF}, std::nullopt},
      {"long item cut off", {0xFE, 0x05, 0x10, 0x00}, std::nullopt},
      {"pop without push", {0xB4}, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto got = ParseReportDescriptor(c.descriptor);
    ASSERT_EQ(got.has_value(), c.expected.has_value()) << c.name;
    if (!got) continue;
    EXPECT_EQ(got->input, c.expected->input) << c.name;
    EXPECT_EQ(got->output, c.expected->output) << c.name;
    EXPECT_EQ(got->numbered, c.expected->numbered) << c.name;
  }
}

TEST(OpenFailureMessage, PermissionProblemPointsAtTheUdevRules) {
  const std::string denied = OpenFailureMessage("/dev/hidraw3", "KLV-L07", EACCES);
  EXPECT_NE(denied.find("/dev/hidraw3"), std::string::npos);
  EXPECT_NE(denied.find("KLV-L07"), std::string::npos);
  EXPECT_NE(denied.find("70-klimavo-learner.rules"), std::string::npos);
  const std::string busy = OpenFailureMessage("/dev/hidraw3", "KLV-L07", EBUSY);
  EXPECT_EQ(busy.find("udev"), std::string::npos);
}

TEST(WideToUtf8, ProductStrings) {
  EXPECT_EQ(WideToUtf8(L"KLV-L07"), "KLV-L07");
  EXPECT_EQ(WideToUtf8(L"\u5b66\u4e60\u5668"), "\xE5\xAD\xA6\xE4\xB9\xA0\xE5\x99\xA8");
  EXPECT_EQ(WideToUtf8(nullptr), "");
}

// A node that exists but cannot be opened for reading and writing (here a
// folder, which fails for root as well) still counts as found, with a reason.
TEST(HidrawTransport, PresentButUnopenableNodeIsAQueryOnlyHandle) {
  HidrawTransport transport;
  const std::string path = std::filesystem::temp_directory_path().string();
  std::string error;
  auto handle = transport.Open(DeviceInfo{path, "KLV-L07", path, 0, 0}, &error);
  ASSERT_NE(handle, nullptr);
  EXPECT_FALSE(handle->CanReadWrite());
  EXPECT_NE(error.find(path), std::string::npos);
  EXPECT_NE(error.find("KLV-L07"), std::string::npos);
  Bytes report;
  EXPECT_FALSE(handle->Read(report, 5));
  EXPECT_FALSE(handle->Write(Bytes(65, 0), 5));
}

// --- The contract every transport keeps. ---

struct HidrawFactory {
  HidrawTransport transport;
  DeviceInfo Missing() { return DeviceInfo{"/dev/klimavo-no-such-hidraw", "KLV-L07", "none", 0, 0}; }
  /// Device changes the test can cause: none (they come from udev).
  int CauseChanges() { return 0; }
};

struct SimulatedFactory {
  ManualClock clock;
  SimulatedDevice transport{clock, SimulatedOptions{}};
  DeviceInfo Missing() { return DeviceInfo{"sim:99", "KLV-L07", "sim:99", 0, 0}; }
  /// Unplugs the device and plugs it in again: two changes.
  int CauseChanges() {
    transport.Unplug();
    transport.Plug();
    return 2;
  }
};

template <typename Factory>
class TransportContract : public ::testing::Test {
 protected:
  Factory factory_;
  Transport& transport() { return factory_.transport; }
};

using Transports = ::testing::Types<HidrawFactory, SimulatedFactory>;
TYPED_TEST_SUITE(TransportContract, Transports);

TYPED_TEST(TransportContract, EnumeratedDevicesHavePathAndInstance) {
  for (const DeviceInfo& d : this->transport().Enumerate()) {
    EXPECT_FALSE(d.path.empty());
    EXPECT_FALSE(d.instance.empty());
  }
  EXPECT_FALSE(this->transport().Name().empty());
}

TYPED_TEST(TransportContract, AMissingDeviceDoesNotOpen) {
  std::string error;
  EXPECT_EQ(this->transport().Open(this->factory_.Missing(), &error), nullptr);
}

TYPED_TEST(TransportContract, OpenHandlesKeepTheirReportLengthsAndTimeOuts) {
  for (const DeviceInfo& d : this->transport().Enumerate()) {
    std::string error;
    auto handle = this->transport().Open(d, &error);
    if (!handle || !handle->CanReadWrite()) continue;
    EXPECT_GT(handle->InputReportLength(), 1u);
    EXPECT_GT(handle->OutputReportLength(), 1u);
    Bytes report;
    handle->Cancel();
    const auto start = std::chrono::steady_clock::now();
    handle->Read(report, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  }
}

// The handler hears every change while installed, nothing on being installed
// and nothing once removed.
TYPED_TEST(TransportContract, ChangeHandlerCanBeInstalledAndRemoved) {
  std::atomic<int> calls{0};
  this->transport().SetChangeHandler([&] { ++calls; });
  EXPECT_EQ(calls.load(), 0);
  const int changes = this->factory_.CauseChanges();
  EXPECT_EQ(calls.load(), changes);
  this->transport().SetChangeHandler(nullptr);
  this->factory_.CauseChanges();
  EXPECT_EQ(calls.load(), changes);
}

}  // namespace
}  // namespace klimavo::device
