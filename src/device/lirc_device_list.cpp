#include "device/lirc_device_list.h"

#include <fcntl.h>
#include <libudev.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace klimavo::device {
namespace {

constexpr const char* kLircSubsystem = "lirc";
constexpr const char* kRcSubsystem = "rc";
constexpr int kMonitorPollMs = 100;

std::string Text(const char* value) { return value ? value : ""; }

/// Orders /dev/lirc2 before /dev/lirc10.
bool NodeOrder(const LircDeviceInfo& a, const LircDeviceInfo& b) {
  if (a.path.size() != b.path.size()) return a.path.size() < b.path.size();
  return a.path < b.path;
}

LircDeviceInfo Describe(udev_device* device) {
  LircDeviceInfo info;
  info.path = Text(udev_device_get_devnode(device));
  // The rc device above the node names the receiver and its driver.
  if (udev_device* rc = udev_device_get_parent_with_subsystem_devtype(device, kRcSubsystem, nullptr)) {
    info.name = Text(udev_device_get_sysattr_value(rc, "name"));
    if (info.name.empty()) info.name = Text(udev_device_get_property_value(rc, "DEV_NAME"));
    info.driver = Text(udev_device_get_property_value(rc, "DRV_NAME"));
  }
  if (!info.path.empty()) info.features = ProbeLircDevice(info.path, info.problem);
  return info;
}

}  // namespace

std::string LircOpenFailureMessage(const std::string& path, int error_number) {
  std::string message = "the IR device " + path + " cannot be opened: " + std::strerror(error_number);
  if (error_number == EACCES || error_number == EPERM) {
    message +=
        ". Install packaging/udev/70-klimavo-lirc.rules into /etc/udev/rules.d/, run "
        "'udevadm control --reload && udevadm trigger --subsystem-match=lirc', then log in again";
  }
  return message;
}

std::optional<LircFeatures> ProbeLircDevice(const std::string& path, std::string& problem) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    problem = LircOpenFailureMessage(path, errno);
    return std::nullopt;
  }
  std::string error;
  auto features = QueryLircFeatures(fd, &error);
  ::close(fd);
  if (!features) problem = path + ": " + error;
  return features;
}

std::vector<LircDeviceInfo> EnumerateLircDevices() {
  std::vector<LircDeviceInfo> devices;
  udev* context = udev_new();
  if (!context) return devices;
  udev_enumerate* enumerate = udev_enumerate_new(context);
  if (enumerate && udev_enumerate_add_match_subsystem(enumerate, kLircSubsystem) >= 0 &&
      udev_enumerate_scan_devices(enumerate) >= 0) {
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
      udev_device* device = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
      if (!device) continue;
      LircDeviceInfo info = Describe(device);
      if (!info.path.empty()) devices.push_back(std::move(info));
      udev_device_unref(device);
    }
  }
  if (enumerate) udev_enumerate_unref(enumerate);
  udev_unref(context);
  std::sort(devices.begin(), devices.end(), NodeOrder);
  return devices;
}

LircDeviceMonitor::LircDeviceMonitor(std::function<void()> handler) : handler_(std::move(handler)) {
  thread_ = std::thread([this] { Run(); });
}

LircDeviceMonitor::~LircDeviceMonitor() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
}

void LircDeviceMonitor::Run() {
  udev* context = udev_new();
  if (!context) return;
  udev_monitor* monitor = udev_monitor_new_from_netlink(context, "udev");
  if (monitor && udev_monitor_filter_add_match_subsystem_devtype(monitor, kLircSubsystem, nullptr) >= 0 &&
      udev_monitor_enable_receiving(monitor) >= 0) {
    pollfd fd{udev_monitor_get_fd(monitor), POLLIN, 0};
    while (!stop_.load()) {
      if (::poll(&fd, 1, kMonitorPollMs) <= 0) continue;
      udev_device* event = udev_monitor_receive_device(monitor);
      if (!event) continue;
      udev_device_unref(event);
      if (handler_) handler_();
    }
  }
  if (monitor) udev_monitor_unref(monitor);
  udev_unref(context);
}

}  // namespace klimavo::device
