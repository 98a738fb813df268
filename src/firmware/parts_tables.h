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
  const store::TdiskAir& record;        ///< the prepared working copy
  const store::Tex_gssList& formats;    ///< BuildFormatList of the working copy
  const store::TBtnLines& bit_lines;    ///< code lines, one byte per bit
  bool seven_bit_first = false;         ///< the record's seven-bit-first setting
};

/// Generator A (one format, remote with display): 0, or 1 when at most two keys have parts.
int WritePartsTablesA(const PartsInput& in, Lines& relation, std::uint8_t& control_byte, Lines& table);
/// Generator B (2 to 4 formats): always 0.
int WritePartsTablesB(const PartsInput& in, Lines& relation, std::uint8_t& control_byte, Lines& table);
/// Key table (remote without display): 0; 1 without a slot-0 format or without keys.
int WriteKeyTable(const PartsInput& in, Lines& relation);

}  // namespace klimavo::firmware
