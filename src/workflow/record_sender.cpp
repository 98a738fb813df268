#include "workflow/record_sender.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/gbk.h"
#include "device/lirc_device_list.h"
#include "firmware/table_image.h"

namespace klimavo::workflow {

RecordSender::RecordSender(store::TdiskAir record, store::TBtnLines lines, config::TimingAdjustments timing)
    : record_(std::move(record)), lines_(std::move(lines)), timing_(timing) {}

std::vector<std::string> RecordSender::KeyNames() const {
  std::vector<std::string> names;
  const std::size_t keys = std::min<std::size_t>(record_.UsedKeys(), firmware::kFunctionKeys);
  for (std::size_t k = 0; k < keys; ++k) names.push_back(base::GbkToUtf8(record_.Keys[k].Name.str()));
  return names;
}

std::vector<std::string> RecordSender::StateNames(int key) const {
  std::vector<std::string> names;
  if (key < 0 ||
      static_cast<std::size_t>(key) >= std::min<std::size_t>(record_.UsedKeys(), firmware::kFunctionKeys))
    return names;
  const store::TdiskKey& k = record_.Keys[static_cast<std::size_t>(key)];
  const std::size_t count = std::min<std::size_t>(k.StateCount, k.StateNames.size());
  for (std::size_t s = 0; s < count; ++s) names.push_back(base::GbkToUtf8(k.StateNames[s].str()));
  return names;
}

std::optional<RecordSignal> RecordSender::Signal(int key, const KeyStates& states, std::string& error) const {
  if (key < 0 || key >= firmware::kFunctionKeys) {
    error = "the key must be 0 to 5, not " + std::to_string(key);
    return std::nullopt;
  }
  base::Bytes image;
  const int built = firmware::BuildTableImage(record_, lines_, false, timing_, image);
  if (built != 0) {
    error = "the table image cannot be built (error " + std::to_string(built) + ")";
    return std::nullopt;
  }
  firmware::StateBlock block{};
  for (std::size_t k = 0; k < states.size(); ++k) block[k] = states[k];
  block[firmware::kFunctionKeys] = key;
  firmware::TACRusher rusher(timing_);
  rusher.Load(record_.LsbFirst != 0, image, block);
  RecordSignal signal;
  const bool ran = rusher.Run(signal.micros);
  // A run with a lookup error produces a signal the record does not describe: it is not sent.
  if (!ran || rusher.ErrorCode() != 0 || signal.micros.empty()) {
    error =
        "the image does not run for these states (emulator error " + std::to_string(rusher.ErrorCode()) + ")";
    return std::nullopt;
  }
  signal.carrier_hz = record_.Params.Carrier;
  return signal;
}

SendOutcome RecordSender::Send(const std::string& path, int key, const KeyStates& states,
                               std::uint32_t duty_cycle_percent) const {
  SendOutcome outcome;
  const auto signal = Signal(key, states, outcome.error);
  if (!signal) return outcome;
  // No O_CREAT: a mistyped device path is an error, not a new file that "received" the signal.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    outcome.error = device::LircOpenFailureMessage(path, errno);
    return outcome;
  }
  const device::LircSendSettings settings{signal->carrier_hz, duty_cycle_percent};
  std::string error = device::SendLircSignal(fd, signal->micros, settings, &outcome.notes);
  if (::close(fd) != 0 && error.empty())
    error = std::string("closing after the write failed: ") + std::strerror(errno);
  if (!error.empty()) {
    outcome.error = path + ": " + error;
    return outcome;
  }
  outcome.durations = device::PulseModeDurations(signal->micros).size();
  return outcome;
}

std::vector<std::string> LircTransmitters(std::vector<std::string>* problems) {
  std::vector<std::string> paths;
  for (const auto& d : device::EnumerateLircDevices()) {
    if (d.features && d.features->CanSendPulses())
      paths.push_back(d.path);
    else if (problems && !d.problem.empty())
      problems->push_back(d.problem);
  }
  return paths;
}

}  // namespace klimavo::workflow
