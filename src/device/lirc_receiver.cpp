#include "device/lirc_receiver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "device/lirc_device_list.h"

namespace klimavo::device {

LircReceiver::LircReceiver(base::Dispatcher& dispatcher) : dispatcher_(dispatcher) {}

LircReceiver::~LircReceiver() { Stop(); }

std::string LircReceiver::Start(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return LircOpenFailureMessage(path, errno);
  return StartDescriptor(fd, path);
}

std::string LircReceiver::StartDescriptor(int fd, const std::string& name) {
  Stop();
  std::string error;
  const auto features = QueryLircFeatures(fd, &error);
  if (features) error = PrepareLircReceiver(fd, *features);
  if (!features || !error.empty()) {
    ::close(fd);
    return name + ": " + error;
  }
  fd_ = fd;
  name_ = name;
  features_ = *features;
  counts_ = {};
  end_reason_.clear();
  stop_.store(false);
  finished_.store(false);
  thread_ = std::thread([this] { Read(); });
  return "";
}

void LircReceiver::Stop() {
  if (thread_.joinable()) {
    stop_.store(true);
    base::JoinServing(dispatcher_, thread_, [this] { return finished_.load(); });
  }
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

void LircReceiver::Read() {
  Mode2CaptureAssembler assembler([this](const ir::Capture& capture) {
    dispatcher_.RunAndWait([this, &capture] {
      if (!on_capture_) return;
      try {
        on_capture_(capture.Durations, capture.Carrier);
      } catch (...) {
        // A receiver's failure loses this capture only.
      }
    });
  });
  std::string reason = ReadMode2Stream(fd_, assembler, [this] { return stop_.load(); });
  const Mode2Counts counts = assembler.Counts();
  dispatcher_.RunAndWait([this, &reason, counts] {
    end_reason_ = std::move(reason);
    counts_ = counts;
  });
  finished_.store(true);
  dispatcher_.Wake();
}

}  // namespace klimavo::device
