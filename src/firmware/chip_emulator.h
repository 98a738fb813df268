#pragma once
// The chip image emulator: runs the binary table image of one record the way
// the universal remote's firmware does. Given the state of each function key and
// the key being pressed, it takes the frame bytes of the key's format, applies
// the key's relation entries and the record's checksum entries, and turns the
// bytes into the infrared signal through the format's frame table.

#include <array>
#include <cstdint>
#include <vector>

#include "base/byte_io.h"
#include "config/config.h"
#include "ir/ir_types.h"

namespace klimavo::firmware {

inline constexpr int kFunctionKeys = 6;

/// Lookups that went wrong while a run still completed.
enum EmulatorError : std::int32_t {
  kEmulatorOk = 0,
  kEmulatorKeyBeyondFive = 1,    ///< a key reference names a key above 5
  kEmulatorListBeyondKey = 2,    ///< a value list index beyond the key's lists
  kEmulatorStateBeyondList = 3,  ///< a state beyond its value list
};

/// The state block handed to Load: states of keys 0..5, the pressed key, and
/// one value that is ignored.
using StateBlock = std::array<std::int32_t, 8>;

class TACRusher {
 public:
  explicit TACRusher(config::TimingAdjustments timing = {}) : timing_(timing) {}

  /// Copies the image and the states; resets the tables and the error code.
  void Load(bool lsb_first, const base::Bytes& image, const StateBlock& states);
  /// Parse, apply relations, apply checksums, build the signal (µs). False at
  /// the first step that fails.
  bool Run(ir::TIRIntegerArr& durations);
  std::int32_t ErrorCode() const { return error_code_; }
  /// The key states after a run (relations may set them).
  const std::array<std::int32_t, kFunctionKeys>& KeyStates() const { return key_states_; }
  /// The frame bytes after a run.
  const base::Bytes& FrameBytes() const { return frame_bytes_; }

 private:
  bool Parse();
  bool ParseRelationBlock();
  bool ParseKeyTableBlock();
  bool ParseValueTables();
  bool ParseFrameTable();
  bool ParseChecksumBlock();
  bool ApplyRelations();
  bool RunEntry(int key, std::size_t offset, int depth);
  bool RunFourOrThreeByteEntry(int key, const std::uint8_t* entry, int depth);
  bool RunStateEntry(int key, const std::uint8_t* entry, int depth);
  bool RunReference(std::uint8_t reference, std::uint8_t target, std::uint8_t bit_layout, int depth);
  std::uint8_t LookUpValue(int key, int list_index);
  void SetStateFromValue(int key, int list_index, std::uint8_t value);
  /// Writes a value into the frame bytes from `target_byte` on. The bit layout
  /// byte of an entry places it: bits 0-2 the start bit, bits 3-5 the width - 1
  /// (bits 6 and 7 mark the entry's values as references).
  void WriteField(std::uint8_t target_byte, std::uint8_t bit_layout, std::uint8_t value);
  bool ApplyChecksums();
  std::uint8_t EvaluateChecksum(const base::Bytes& entry) const;
  bool BuildSignal(ir::TIRIntegerArr& durations) const;

  // Image access: an address word holds an image offset plus 48.
  bool ReadWordAt(std::size_t offset, std::uint16_t& word) const;
  bool AddressAt(std::size_t offset, std::size_t& address) const;

  config::TimingAdjustments timing_;
  base::Bytes image_;
  bool lsb_first_ = true;
  std::array<std::int32_t, kFunctionKeys> key_states_{};
  std::int32_t pressed_key_ = 0;
  std::int32_t pressed_state_ = 0;
  std::array<std::size_t, 5> pointer_tables_{};
  std::array<base::Bytes, kFunctionKeys> key_tables_;
  base::Bytes global_relation_;
  std::array<std::vector<base::Bytes>, kFunctionKeys> value_tables_;
  std::vector<base::Bytes> checksum_entries_;
  base::Bytes frame_table_;
  std::uint8_t control_byte_ = 0;
  std::int32_t format_index_ = 0;
  std::int32_t format_count_ = 1;
  base::Bytes frame_bytes_;
  std::int32_t error_code_ = kEmulatorOk;
};

}  // namespace klimavo::firmware
