#pragma once
// Key presses of a record as the programmed remote sends them: the record's
// table image is built once and run in the chip emulator for each press (the
// states of all six function keys and the key pressed).

#include <cstdint>
#include <vector>

#include "config/config.h"
#include "firmware/chip_emulator.h"
#include "firmware/table_image.h"
#include "generated_record.h"
#include "ir/ir_types.h"
#include "store/format_list.h"
#include "store/protocol_record.h"

namespace klimavo::testing {

inline constexpr std::int32_t kTicksPerMicro = 10;
inline constexpr std::size_t kPressedKeySlot = 6;

struct Press {
  int key = 0;
  firmware::StateBlock states{};  ///< states of keys 0..5, then the pressed key
  int State() const { return states[static_cast<std::size_t>(key)]; }
};

/// What one press sent.
struct Sent {
  bool ran = false;
  std::int32_t error = firmware::kEmulatorOk;
  ir::TIRIntegerArr ticks;  ///< 0.1 µs, as a learner hands it over
};

/// The table image of a record, and its presses through the chip emulator.
class RecordEmulator {
 public:
  explicit RecordEmulator(const store::EditableRecord& editable, config::TimingAdjustments timing = {})
      : lsb_first_(editable.record.LsbFirst != 0), timing_(timing) {
    built_ = firmware::BuildTableImage(editable.record, editable.bit_lines, false, timing_, image_);
  }
  /// 0, or the error code of the table image.
  int BuildResult() const { return built_; }

  Sent Play(const Press& press) const {
    Sent sent;
    if (built_ != 0) return sent;
    firmware::TACRusher rusher(timing_);
    rusher.Load(lsb_first_, image_, press.states);
    ir::TIRIntegerArr micros;
    sent.ran = rusher.Run(micros);
    sent.error = rusher.ErrorCode();
    for (std::int32_t d : micros) sent.ticks.push_back(d * kTicksPerMicro);
    return sent;
  }

 private:
  bool lsb_first_;
  config::TimingAdjustments timing_;
  base::Bytes image_;
  int built_ = 0;
};

/// A press of `key` in `state`, every other key in a random state of its own.
inline Press RandomPress(Dice& dice, const store::TdiskAir& record, int key, int state) {
  Press press;
  press.key = key;
  for (std::size_t k = 0; k < static_cast<std::size_t>(kGeneratedKeys); ++k)
    press.states[k] = dice.Between(0, std::max(record.Keys[k].StateCount, std::uint8_t{1}) - 1);
  press.states[static_cast<std::size_t>(key)] = state;
  press.states[kPressedKeySlot] = key;
  return press;
}

/// Every key once, each in a random state.
inline std::vector<Press> PressEveryKey(Dice& dice, const store::TdiskAir& record) {
  std::vector<Press> presses;
  for (int k = 0; k < kGeneratedKeys; ++k) {
    const int states = std::max<int>(record.Keys[static_cast<std::size_t>(k)].StateCount, 1);
    presses.push_back(RandomPress(dice, record, k, dice.Between(0, states - 1)));
  }
  return presses;
}

/// The format slot a press is sent in.
inline int SlotOfPress(const store::TdiskAir& record, const Press& press) {
  return record.Keys[static_cast<std::size_t>(press.key)].Slot;
}

/// The position of a slot in the record's format list, -1 when it has none.
inline int FormatPosition(const store::Tex_gssList& formats, int slot) {
  for (std::size_t i = 0; i < formats.size(); ++i)
    if (formats[i].FrameIndex == slot) return static_cast<int>(i);
  return -1;
}

}  // namespace klimavo::testing
