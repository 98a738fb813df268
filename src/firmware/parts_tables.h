#pragma once
// The parts generators: a record's keys, states and bit fields become the
// relation list (base data of each format and each key's change area) and the
// parts table (the distinct value groups of each key), as assembler lines.

#include <cstdint>
#include <string>
#include <vector>

#include "store/format_list.h"
#include "store/protocol_record.h"

namespace klimavo::firmware {

using Lines = std::vector<std::string>;  ///< GBK text lines without line ends

/// What the generators need to know of the record beyond its image.
struct PartsInput {
  const store::TdiskAir& record;      ///< the prepared working copy
  const store::Tex_gssList& formats;  ///< BuildFormatList of the working copy
  const store::TBtnLines& bit_lines;  ///< code lines, one byte per bit
  bool seven_bit_first = false;       ///< the record's seven-bit-first setting
  bool triple_frames = false;         ///< the triple-frame setting (code numbers 0147..0150)
};

// Results besides 0 and 1 (the caller reports r - 500): a table whose byte
// index (6 bits) or reference (group or entry index in 4 bits, key code in 3)
// does not fit is refused instead of written, so the firmware never misreads it.
inline constexpr int kPartsResultByteIndex = 2;  ///< byte index or code count beyond 64 bytes
inline constexpr int kPartsResultReference = 3;  ///< group, entry index, group count or key code too large

/// Generator A (one format, remote with display): 0, 1 when at most two keys
/// have parts, or kPartsResultByteIndex / kPartsResultReference (lists left as given).
int WritePartsTablesA(const PartsInput& in, Lines& relation, std::uint8_t& control_byte, Lines& table);
/// Generator B (2 to 4 formats): 0, or kPartsResultByteIndex / kPartsResultReference.
int WritePartsTablesB(const PartsInput& in, Lines& relation, std::uint8_t& control_byte, Lines& table);
/// Key table (remote without display): 0; 1 without a slot-0 format or without
/// keys; kPartsResultByteIndex when slot 0's code is longer than 64 bytes.
int WriteKeyTable(const PartsInput& in, Lines& relation);

}  // namespace klimavo::firmware
