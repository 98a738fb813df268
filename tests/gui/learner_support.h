#pragma once
// Captures for the GUI tests of the analysis wizards: the captures of one
// remote of the corpus, and the simulated learner that sends captures through
// its packets into the workbench's capture routing.

#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "base/dispatcher.h"
#include "device/capture_router.h"
#include "device/clock.h"
#include "device/learner_manager.h"
#include "device/simulated_device.h"
#include "ir/ir_types.h"

namespace klimavo::testing {

/// The captures of one source of data/corpus/ac-raw-captures.jsonl, by
/// name, in file order (durations in 0.1 µs).
inline std::vector<std::pair<std::string, ir::Capture>> CorpusCaptures(const std::string& source) {
  std::vector<std::pair<std::string, ir::Capture>> captures;
  std::ifstream in(KLIMAVO_CORPUS_FILE);
  std::string line;
  while (std::getline(in, line)) {
    const auto json = nlohmann::json::parse(line);
    if (json["source"] != source) continue;
    ir::Capture capture;
    for (int us : json["durations_us"]) capture.Durations.push_back(us * 10);
    capture.Carrier = json["carrier_hz"].get<int>();
    captures.emplace_back(json["name"].get<std::string>(), capture);
  }
  return captures;
}

/// The learner, simulated, sending its captures into the workbench's routing.
struct SimulatedLearner {
  explicit SimulatedLearner(device::CaptureRouter& router)
      : device(clock, device::SimulatedOptions{}), link(device, loop, clock) {
    link.SetOnCapture([&router, this](const ir::TIRIntegerArr& d, std::int32_t carrier) {
      router.Route(d, carrier);
      ++captures;
    });
    link.SelectModelSet(0);
    link.SetListening(true);
  }
  ~SimulatedLearner() { link.SetListening(false); }
  /// Presses the remote's key: the capture goes through the learner and its packets.
  bool Press(const ir::Capture& capture) {
    const int before = captures;
    device.QueueCapture(capture);
    return loop.RunUntil([&] { return captures > before; }, std::chrono::seconds(20));
  }

  device::ManualClock clock{1000};
  base::EventLoopDispatcher loop;
  device::SimulatedDevice device;
  device::TMyHIDUSBMange link;
  int captures = 0;
};

}  // namespace klimavo::testing
