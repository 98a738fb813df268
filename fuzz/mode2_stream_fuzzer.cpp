// The kernel mode2 sample-stream reader: any bytes, split into reads at a place
// the input chooses, must give captures that start with a mark, alternate, hold
// no zero duration and stay within the capture limit.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "device/lirc_samples.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace klimavo::device;
  if (size == 0) return 0;
  // The first byte picks a small capture limit and where the stream is split.
  const std::size_t max_durations = 1 + (data[0] & 0x3F);
  const std::span<const std::uint8_t> stream(data + 1, size - 1);
  const std::size_t split = stream.empty() ? 0 : (data[0] * 7u) % stream.size();
  Mode2CaptureAssembler assembler(
      [&](const klimavo::ir::Capture& capture) {
        const auto& d = capture.Durations;
        if (d.empty() || d.front() <= 0 || d.size() > max_durations) std::abort();
        for (std::size_t i = 0; i < d.size(); ++i) {
          if (d[i] == 0 || (i > 0 && (d[i] > 0) == (d[i - 1] > 0))) std::abort();
        }
        if (capture.Carrier < 0) std::abort();
      },
      kLircCaptureGapUs, max_durations);
  assembler.FeedBytes(stream.first(split));
  if ((data[0] & 0x40) != 0) assembler.Silence();
  assembler.FeedBytes(stream.subspan(split));
  if (assembler.Finish() != stream.size() % kMode2SampleBytes) std::abort();
  return 0;
}
