// Checks arbitrary captures against arbitrary records, as the remote check
// window and filter by learning do with a library file from anywhere: the
// check, its label texts, its grid and the protocol comparison must stay
// inside the record's tables and the capture's bits whatever the counts,
// slots, columns and checksum items of the record say.
//
// Input: a record image (10025 bytes; a shorter input is padded with zeros),
// then 3 bytes per duration: a selector and 16 bits that either are the
// duration in units of 4 µs or jitter a duration of the record's timing block
// (so that the readers get past the first pair).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "analysis/check_grid.h"
#include "analysis/protocol_comparison.h"
#include "analysis/remote_check.h"
#include "ir/decode.h"
#include "lang/language.h"
#include "store/protocol_record.h"

namespace {

using namespace klimavo;

constexpr double kTolerance = 0.25;
constexpr std::size_t kMaxDurations = 4096;

void Check(bool condition) {
  if (!condition) std::abort();
}

std::int32_t Duration(const ir::TIRGsPara& params, std::uint8_t selector, std::uint16_t word) {
  const auto small = static_cast<std::int16_t>(word);
  const int jitter = small % 64;
  switch (selector % 3) {
    case 0:
      return static_cast<std::int32_t>(small) * 4;
    case 1:
      return static_cast<std::int32_t>(
          static_cast<std::int64_t>(params.Logic[(selector >> 2) & 7][(selector >> 5) & 1]) % 1000000 +
          jitter);
    default:
      return static_cast<std::int32_t>(
          static_cast<std::int64_t>(params.Split[(selector >> 2) & 7][(selector >> 5) & 1]) % 1000000 +
          jitter);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> image(data, data + std::min(size, store::TdiskAir::kSize));
  image.resize(store::TdiskAir::kSize, 0);
  const store::TdiskAir record = store::TdiskAir::FromImage(image);

  ir::TIRIntegerArr durations;
  for (std::size_t at = store::TdiskAir::kSize; at + 3 <= size && durations.size() < kMaxDurations; at += 3) {
    const auto word = static_cast<std::uint16_t>(data[at + 1] | (data[at + 2] << 8));
    durations.push_back(Duration(record.Params, data[at], word) * 10);
  }

  const analysis::RemoteCheck check(record, kTolerance);
  const analysis::RemoteCheckResult result = check.Check(durations, 38000);
  Check(result.line.Errors.size() == result.line.Bits.size() || !result.HasLine());
  Check(result.states.size() <= analysis::kLabelledKeys);
  static const lang::Language language("/nonexistent", 1);
  (void)analysis::DescribeResult(check, result, language);
  if (result.HasLine()) {
    analysis::CheckGridModel grid;
    grid.Prepare(check);
    grid.AddLine(result.line);
    for (int c = 0; c < grid.CellColumns(); ++c) {
      (void)grid.BinaryColours(0, c);
      (void)grid.HexText(0, c);
      (void)grid.HeadingLetters(c);
    }
  }

  ir::Tcomp_aval decoded;
  if (ir::DecodeCapture(durations, 38000, true, true, kTolerance, decoded)) {
    // Every key has one code line: the stored code of slot 0, as packed bytes.
    store::TBtnLines lines(record.UsedKeys());
    for (auto& key_lines : lines)
      key_lines.push_back(
          {ir::TSSByteArray(record.Slots[0].Code.begin(), record.Slots[0].Code.end()), {}, 0, 0});
    const store::TdiskAirList library{{record, lines}};
    for (bool skip : {false, true}) {
      analysis::TTheAcComp comparison(library, {kTolerance, skip});
      const std::vector<int> hits = comparison.CompareWithLibrary(decoded);
      Check(hits.size() + comparison.Rejections().size() == 1);
    }
  }
  return 0;
}
