#include "device/hid_link.h"

#include <algorithm>

namespace klimavo::device {
namespace {

/// A lone acknowledgement report begins AA F0 00.
bool IsAcknowledgement(const base::Bytes& packet, std::size_t length) {
  return length >= 3 && packet[0] == 0xAA && packet[1] == 0xF0 && packet[2] == 0x00;
}

}  // namespace

THIDWRClass::THIDWRClass(Transport& transport, base::Dispatcher& dispatcher, Clock& clock)
    : transport_(transport),
      dispatcher_(dispatcher),
      clock_(clock),
      alive_(std::make_shared<THIDWRClass*>(this)) {
  SetLearnMode(1);
  std::weak_ptr<THIDWRClass*> alive = alive_;
  transport_.SetChangeHandler([alive, &dispatcher] {
    dispatcher.Post([alive] {
      if (auto link = alive.lock()) (*link)->DeviceChangeNotified();
    });
  });
}

THIDWRClass::~THIDWRClass() {
  transport_.SetChangeHandler(nullptr);
  if (timer_thread_.joinable()) {
    timer_stop_.store(true);
    timer_thread_.join();
  }
  StopListener();
  alive_.reset();
  std::lock_guard lock(handle_mutex_);
  handle_.reset();
}

std::shared_ptr<DeviceHandle> THIDWRClass::CurrentHandle() const {
  std::lock_guard lock(handle_mutex_);
  return handle_;
}

std::size_t THIDWRClass::ReadReportLength() const {
  auto handle = CurrentHandle();
  return handle ? handle->InputReportLength() : 0;
}

std::size_t THIDWRClass::WriteReportLength() const {
  auto handle = CurrentHandle();
  return handle ? handle->OutputReportLength() : 0;
}

bool THIDWRClass::FindDevice(std::shared_ptr<DeviceHandle>& handle, std::string& instance) {
  handle.reset();
  open_problem_.clear();
  for (const DeviceInfo& device : transport_.Enumerate()) {
    const auto model = MatchProductName(product_names_, enabled_, device.product);
    if (!model) continue;
    std::string problem;
    std::unique_ptr<DeviceHandle> opened = transport_.Open(device, &problem);
    if (!opened) continue;
    if (!opened->CanReadWrite()) open_problem_ = problem;
    model_index_.store(*model);
    instance = device.instance;
    handle = std::move(opened);
    return true;
  }
  return false;
}

bool THIDWRClass::Open() {
  if (CurrentHandle()) {
    StopListener();
    std::lock_guard lock(handle_mutex_);
    handle_.reset();
  }
  std::shared_ptr<DeviceHandle> found;
  std::string instance;
  FindDevice(found, instance);
  {
    std::lock_guard lock(handle_mutex_);
    handle_ = found;
  }
  device_instance_ = found ? instance : std::string();
  SetConnected(found != nullptr);
  if (Connected() && listener_running_) {
    const int model = ModelIndex();
    if (model == kPulseModel || model == kBigEndianModel) StartLearning();
    StartListener();
  }
  return Connected();
}

void THIDWRClass::Recheck() {
  std::shared_ptr<DeviceHandle> probe;
  std::string instance;
  const bool found = FindDevice(probe, instance);
  const bool changed = found != Connected() || (found && instance != device_instance_);
  probe.reset();
  if (!found) StopListener();
  if (changed) RaiseStatus(Open());
}

void THIDWRClass::DeviceChangeNotified() {
  debounce_.Notify();
  debounce_active_.store(true);
}

void THIDWRClass::TimerTick() {
  const bool due = debounce_.Tick();
  debounce_active_.store(debounce_.TimerEnabled());
  if (due) Recheck();
}

void THIDWRClass::StartRecheckTimer() {
  if (timer_thread_.joinable()) return;
  std::weak_ptr<THIDWRClass*> alive = alive_;
  timer_thread_ = std::thread([this, alive] {
    while (!timer_stop_.load()) {
      clock_.SleepMs(kRecheckTimerMs);
      if (!debounce_active_.load()) continue;
      dispatcher_.Post([alive] {
        if (auto link = alive.lock()) (*link)->TimerTick();
      });
    }
  });
}

void THIDWRClass::StartListener() {
  StopListener();
  listen_stop_.store(false);
  listen_finished_.store(false);
  listen_thread_ = std::thread([this] { RunListenLoop(); });
}

void THIDWRClass::StopListener() {
  if (!listen_thread_.joinable()) return;
  listen_stop_.store(true);
  CancelPending();
  base::JoinServing(dispatcher_, listen_thread_, [this] { return listen_finished_.load(); });
}

void THIDWRClass::SetListener(bool on) {
  if (on == listener_running_) return;
  if (on) {
    StartListener();
  } else {
    StopListener();
  }
  listener_running_ = listen_thread_.joinable();
}

void THIDWRClass::CancelPending() {
  if (auto handle = CurrentHandle()) handle->Cancel();
}

bool THIDWRClass::WriteReport(const base::Bytes& data) {
  auto handle = CurrentHandle();
  if (!handle) return false;
  base::Bytes report(handle->OutputReportLength(), 0);
  std::copy_n(data.begin(), std::min(data.size(), report.size()), report.begin());
  return handle->Write(report, kWriteTimeoutMs);
}

bool THIDWRClass::ReadReport(base::Bytes& data, int timeout_ms) {
  auto handle = CurrentHandle();
  if (!handle) return false;
  data.assign(handle->InputReportLength(), 0);
  return handle->Read(data, timeout_ms) && data.size() == handle->InputReportLength();
}

void THIDWRClass::WriteAndReadReply(base::Bytes& data) {
  if (WriteReport(data)) ReadReport(data, kWriteTimeoutMs);
}

void THIDWRClass::PacketReceived(const std::uint8_t* /*packet*/, std::size_t /*length*/, bool& /*armed*/) {}

void THIDWRClass::RunListenLoop() {
  ListenLoop();
  listen_finished_.store(true);
  dispatcher_.Wake();
}

void THIDWRClass::ListenLoop() {
  std::uint32_t last_report = clock_.NowMs();
  std::uint32_t armed_lost = last_report;
  bool armed = true;
  base::Bytes packet(kPacketInitialBytes);
  std::size_t packet_length = 0;

  StartLearning();
  const std::size_t report_length = ReadReportLength();
  const std::size_t n = report_length > 0 ? report_length - 1 : 0;
  base::Bytes report;

  while (!listen_stop_.load() && Connected()) {
    if (ReadReport(report, kListenReadTimeoutMs) && n > 0) {
      if (packet.size() < packet_length + n) packet.resize(packet_length + n + kPacketGrowBytes);
      std::copy_n(report.begin() + 1, n, packet.begin() + static_cast<std::ptrdiff_t>(packet_length));
      packet_length += n;
      if (ModelIndex() == kReacknowledgeModel && packet_length == n &&
          IsAcknowledgement(packet, packet_length)) {
        StartLearning();
      } else {
        last_report = clock_.NowMs();
      }
      continue;
    }
    if (packet_length > 0 && TicksSince(clock_.NowMs(), last_report) > kPacketGapMs) {
      if (packet_length == n && IsAcknowledgement(packet, packet_length)) {
        packet_length = 0;
        armed = true;
        if (!IsContinuous()) StartLearning();
      } else {
        dispatcher_.RunAndWait([&] { PacketReceived(packet.data(), packet_length, armed); });
        packet_length = 0;
      }
      if (!armed) armed_lost = clock_.NowMs();
    }
    if (!armed && TicksSince(clock_.NowMs(), armed_lost) > kRearmAfterMs && !IsContinuous()) {
      StartLearning();
      armed = true;
    }
    clock_.SleepMs(kListenIdleSleepMs);
  }
  if (NeedsStopCommand()) StopLearning();
}

}  // namespace klimavo::device
