#pragma once
// The pieces of a generated record: reproducible choices from a seed, what the
// table image is expected to say about the record, and the plan of a format's
// bits (which are taken by key fields and checksum targets).

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "ir/ir_types.h"
#include "ir/protocol.h"
#include "store/record_json.h"

namespace klimavo::testing {

/// Reproducible choices from a seed (the engine's output is fixed by the
/// standard; the standard distributions are not, so they are not used).
class Dice {
 public:
  explicit Dice(std::uint32_t seed) : engine_(seed) {}
  int Between(int lo, int hi) {
    return lo + static_cast<int>(engine_() % static_cast<std::uint32_t>(hi - lo + 1));
  }
  bool Chance(int percent) { return Between(0, 99) < percent; }
  template <class T>
  T Pick(const std::vector<T>& choices) {
    return choices[static_cast<std::size_t>(Between(0, static_cast<int>(choices.size()) - 1))];
  }

 private:
  std::mt19937 engine_;
};

enum class Timing { kPulseDistance, kPulseWidth };

/// Why the table image is expected to refuse a record (kNone: it builds it).
enum class Refusal {
  kNone,
  kTwoKeysWithParts,  ///< one format and at most two keys with fields
  kZeroCount,         ///< a checksum that counts zeros: the firmware cannot count them
  kFourLogicCodes,    ///< a frame table holds 1, 2, 3 or 5 logic codes
  kFiveFormats,       ///< a record sends at most four formats
};

inline const char* RefusalName(Refusal r) {
  switch (r) {
    case Refusal::kNone:
      return "none";
    case Refusal::kTwoKeysWithParts:
      return "two keys with parts";
    case Refusal::kZeroCount:
      return "zero count";
    case Refusal::kFourLogicCodes:
      return "four logic codes";
    case Refusal::kFiveFormats:
      return "five formats";
  }
  return "";
}

struct GeneratedRecord {
  std::uint32_t seed = 0;
  store::EditableRecord editable;
  Timing timing = Timing::kPulseDistance;
  Refusal refusal = Refusal::kNone;
  std::string summary;  ///< what the record is made of, for failure messages

  const store::TdiskAir& Record() const { return editable.record; }
  bool HasDisplay() const { return editable.record.RemoteType == 0; }
};

inline constexpr int kGeneratedKeys = 6;

/// The bits of one format while it is planned: which are taken by key fields
/// and checksum targets.
struct FormatPlan {
  std::string text;
  ir::TStrProt_Stru protocol;
  std::vector<int> frame_bits;
  std::vector<std::vector<bool>> taken;  ///< per frame, per bit: a field or a checksum target

  explicit FormatPlan(const std::string& format_text)
      : text(format_text), protocol(ir::ParseProtocol(format_text)) {
    const int frames = ir::DataRunCount(protocol.Elements);
    for (int f = 0; f < frames; ++f) {
      const auto n = static_cast<std::size_t>(ir::BitsInRun(protocol.Elements, f));
      frame_bits.push_back(static_cast<int>(n));
      taken.emplace_back(n, false);
    }
  }
  int Frames() const { return static_cast<int>(frame_bits.size()); }
  int Bits(int frame) const { return frame_bits[static_cast<std::size_t>(frame)]; }
  bool Free(int frame, int bit, int width) const {
    if (bit < 0 || bit + width > Bits(frame)) return false;
    for (int i = bit; i < bit + width; ++i)
      if (taken[static_cast<std::size_t>(frame)][static_cast<std::size_t>(i)]) return false;
    return true;
  }
  void Take(int frame, int bit, int width) {
    for (int i = bit; i < bit + width; ++i)
      taken[static_cast<std::size_t>(frame)][static_cast<std::size_t>(i)] = true;
  }
};

}  // namespace klimavo::testing
