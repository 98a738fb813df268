#include "device/hid_transport.h"

#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

namespace klimavo::device {
namespace {

// Report descriptor items (short items: tag and type in the high six bits).
constexpr std::uint8_t kItemMask = 0xFC;
constexpr std::uint8_t kInputItem = 0x80;
constexpr std::uint8_t kOutputItem = 0x90;
constexpr std::uint8_t kReportSizeItem = 0x74;
constexpr std::uint8_t kReportIdItem = 0x84;
constexpr std::uint8_t kReportCountItem = 0x94;
constexpr std::uint8_t kPushItem = 0xA4;
constexpr std::uint8_t kPopItem = 0xB4;
constexpr std::uint8_t kLongItem = 0xFE;
constexpr std::uint64_t kMaxReportBits = 8u * 65536u;

constexpr int kReadSliceMs = 10;  ///< reads wait in slices so writes and cancels get through
constexpr int kMonitorPollMs = 100;
constexpr const char* kHidrawSubsystem = "hidraw";
constexpr const char* kSysHidraw = "/sys/class/hidraw/";

struct Globals {
  std::uint32_t size = 0;
  std::uint32_t count = 0;
};

/// Joins the bits per report ID of one report kind into the largest byte length.
std::size_t LargestReport(const std::map<std::uint32_t, std::uint64_t>& bits) {
  std::uint64_t largest = 0;
  for (const auto& [id, b] : bits) largest = std::max(largest, b);
  return static_cast<std::size_t>((largest + 7) / 8);
}

/// A stable identity of one attachment: the HID device name under sysfs
/// ("0003:VVVV:PPPP.NNNN"), whose last number grows with every attachment.
std::string AttachmentOf(const std::string& path) {
  const std::string node = std::filesystem::path(path).filename().string();
  std::error_code ec;
  const auto device = std::filesystem::canonical(std::string(kSysHidraw) + node + "/device", ec);
  return ec ? path : path + "@" + device.filename().string();
}

class HidrawHandle final : public DeviceHandle {
 public:
  HidrawHandle(hid_device* device, ReportLengths lengths) : device_(device), lengths_(lengths) {}
  ~HidrawHandle() override {
    if (device_) hid_close(device_);
  }
  bool CanReadWrite() const override { return device_ != nullptr; }
  std::size_t InputReportLength() const override { return lengths_.input; }
  std::size_t OutputReportLength() const override { return lengths_.output; }

  bool Write(const base::Bytes& report, int /*timeout_ms*/) override {
    if (!device_ || report.empty()) return false;
    std::lock_guard lock(mutex_);
    const int written = hid_write(device_, report.data(), report.size());
    return written >= 0 && static_cast<std::size_t>(written) == report.size();
  }

  bool Read(base::Bytes& report, int timeout_ms) override {
    if (!device_ || lengths_.input == 0) return false;
    const unsigned epoch = cancel_epoch_.load();
    report.assign(lengths_.input, 0);
    // Unnumbered reports arrive without their ID byte; the link always sees one.
    const std::size_t skip = lengths_.numbered ? 0 : 1;
    int left = std::max(timeout_ms, 0);
    do {
      if (cancel_epoch_.load() != epoch) return false;
      const int slice = std::min(left, kReadSliceMs);
      int got = 0;
      {
        std::lock_guard lock(mutex_);
        got = hid_read_timeout(device_, report.data() + skip, report.size() - skip, slice);
      }
      if (got < 0) return false;
      if (got > 0) return static_cast<std::size_t>(got) + skip == report.size();
      left -= slice;
    } while (left > 0);
    return false;
  }

  void Cancel() override { cancel_epoch_.fetch_add(1); }

 private:
  hid_device* device_;
  ReportLengths lengths_;
  std::mutex mutex_;  ///< hidapi keeps per-device error state: one call at a time
  std::atomic<unsigned> cancel_epoch_{0};
};

/// The report descriptor of a hidraw node, read with the HIDIOCGRDESC ioctl.
std::optional<ReportLengths> ReadReportLengths(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  int size = 0;
  hidraw_report_descriptor descriptor{};
  std::optional<ReportLengths> lengths;
  if (::ioctl(fd, HIDIOCGRDESCSIZE, &size) >= 0 && size > 0 && size <= HID_MAX_DESCRIPTOR_SIZE) {
    descriptor.size = static_cast<std::uint32_t>(size);
    if (::ioctl(fd, HIDIOCGRDESC, &descriptor) >= 0) {
      lengths = ParseReportDescriptor(std::span<const std::uint8_t>(descriptor.value, descriptor.size));
    }
  }
  ::close(fd);
  return lengths;
}

}  // namespace

std::optional<ReportLengths> ParseReportDescriptor(std::span<const std::uint8_t> d) {
  Globals globals;
  std::vector<Globals> stack;
  std::uint32_t report_id = 0;
  bool numbered = false;
  std::map<std::uint32_t, std::uint64_t> input_bits;
  std::map<std::uint32_t, std::uint64_t> output_bits;
  std::size_t pos = 0;
  while (pos < d.size()) {
    const std::uint8_t prefix = d[pos];
    if (prefix == kLongItem) {
      if (pos + 1 >= d.size()) return std::nullopt;
      pos += 3 + d[pos + 1];
      if (pos > d.size()) return std::nullopt;
      continue;
    }
    const std::size_t size = (prefix & 0x03) == 3 ? 4 : (prefix & 0x03);
    if (pos + 1 + size > d.size()) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value |= static_cast<std::uint32_t>(d[pos + 1 + i]) << (8 * i);
    pos += 1 + size;
    const std::uint64_t bits = std::uint64_t{globals.size} * globals.count;
    switch (prefix & kItemMask) {
      case kReportSizeItem:
        globals.size = value;
        break;
      case kReportCountItem:
        globals.count = value;
        break;
      case kReportIdItem:
        report_id = value;
        numbered = true;
        break;
      case kPushItem:
        stack.push_back(globals);
        break;
      case kPopItem:
        if (stack.empty()) return std::nullopt;
        globals = stack.back();
        stack.pop_back();
        break;
      case kInputItem:
        input_bits[report_id] = std::min(kMaxReportBits, input_bits[report_id] + bits);
        break;
      case kOutputItem:
        output_bits[report_id] = std::min(kMaxReportBits, output_bits[report_id] + bits);
        break;
      default:
        break;
    }
  }
  ReportLengths lengths;
  lengths.numbered = numbered;
  const std::size_t input = LargestReport(input_bits);
  const std::size_t output = LargestReport(output_bits);
  lengths.input = input > 0 ? input + 1 : 0;
  lengths.output = output > 0 ? output + 1 : 0;
  return lengths;
}

std::string OpenFailureMessage(const std::string& path, const std::string& product, int error_number) {
  std::string message = "learner \"" + product + "\" is present at " + path + " but cannot be opened: ";
  message += std::strerror(error_number);
  if (error_number == EACCES || error_number == EPERM) {
    message +=
        ". Install packaging/udev/70-klimavo-learner.rules into /etc/udev/rules.d/, run "
        "'udevadm control --reload && udevadm trigger', then unplug and plug the learner in again";
  }
  return message;
}

std::string WideToUtf8(const wchar_t* text) {
  std::string out;
  if (!text) return out;
  for (; *text; ++text) {
    auto c = static_cast<std::uint32_t>(*text);
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

HidrawTransport::HidrawTransport() { hid_init(); }

HidrawTransport::~HidrawTransport() { StopMonitor(); }

std::vector<DeviceInfo> HidrawTransport::Enumerate() {
  std::vector<DeviceInfo> devices;
  hid_device_info* list = hid_enumerate(0, 0);
  for (hid_device_info* d = list; d != nullptr; d = d->next) {
    if (!d->path) continue;
    DeviceInfo info;
    info.path = d->path;
    info.product = WideToUtf8(d->product_string);
    info.instance = AttachmentOf(info.path);
    info.vendor_id = d->vendor_id;
    info.product_id = d->product_id;
    devices.push_back(std::move(info));
  }
  hid_free_enumeration(list);
  return devices;
}

std::unique_ptr<DeviceHandle> HidrawTransport::Open(const DeviceInfo& device, std::string* error) {
  if (::access(device.path.c_str(), F_OK) != 0) return nullptr;
  const int probe = ::open(device.path.c_str(), O_RDWR | O_CLOEXEC);
  const int open_errno = errno;
  if (probe >= 0) ::close(probe);
  hid_device* opened = probe >= 0 ? hid_open_path(device.path.c_str()) : nullptr;
  if (!opened) {
    // Found but not usable: it still counts as found, and reads and writes fail.
    if (error) *error = OpenFailureMessage(device.path, device.product, probe >= 0 ? EIO : open_errno);
    return std::make_unique<HidrawHandle>(nullptr, ReportLengths{});
  }
  const ReportLengths lengths = ReadReportLengths(device.path).value_or(ReportLengths{});
  return std::make_unique<HidrawHandle>(opened, lengths);
}

void HidrawTransport::SetChangeHandler(std::function<void()> handler) {
  const bool start = handler != nullptr && !monitor_.joinable();
  {
    std::lock_guard lock(handler_mutex_);
    handler_ = std::move(handler);
  }
  if (start) {
    monitor_stop_.store(false);
    monitor_ = std::thread([this] { MonitorLoop(); });
  }
}

void HidrawTransport::StopMonitor() {
  monitor_stop_.store(true);
  if (monitor_.joinable()) monitor_.join();
}

void HidrawTransport::MonitorLoop() {
  udev* context = udev_new();
  if (!context) return;
  udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
  if (monitor && udev_monitor_filter_add_match_subsystem_devtype(monitor, kHidrawSubsystem, nullptr) >= 0 &&
      udev_monitor_enable_receiving(monitor) >= 0) {
    pollfd fd{udev_monitor_get_fd(monitor), POLLIN, 0};
    while (!monitor_stop_.load()) {
      if (::poll(&fd, 1, kMonitorPollMs) <= 0) continue;
      udev_device* event = udev_monitor_receive_device(monitor);
      if (!event) continue;
      udev_device_unref(event);
      std::lock_guard lock(handler_mutex_);
      if (handler_) handler_();
    }
  }
  if (monitor) udev_monitor_unref(monitor);
  udev_unref(context);
}

}  // namespace klimavo::device
