#pragma once
// Checksum tables: the firmware recomputes every checksum of a code from a
// table of calculation blocks (byte range, internal operation, external
// operation with a constant). This translates the checksum items of a prepared
// record into that table as assembler lines.

#include <cstdint>
#include <optional>
#include <vector>

#include "firmware/frame_tables.h"
#include "ir/crc_item.h"
#include "ir/ir_types.h"
#include "store/format_list.h"
#include "store/protocol_record.h"

namespace klimavo::firmware {

/// Result of WriteCrcTable when an item cannot be translated (the table and
/// image generators report it as their checksum error -6).
inline constexpr int kCrcUntranslatable = -6;

/// One calculation range: frames and bits inclusive, operand width 8 or 4.
struct TexCrcZone {
  std::int32_t StartFrame = 0;
  std::int32_t StartBit = 0;
  std::int32_t EndFrame = 0;
  std::int32_t EndBit = 0;
  std::int32_t Width = 8;
  friend bool operator==(const TexCrcZone&, const TexCrcZone&) = default;
};
using TexCrc_zones = std::vector<TexCrcZone>;

/// The ranges of an item of any kind but 9; nullopt for an operand width other
/// than 4 or 8, or a zone start or end the width does not allow.
std::optional<TexCrc_zones> CrcRangesOfItem(const ir::TCrcItem& item);
/// The 4-bit ranges of a kind-9 (GREE) item over the format's element list.
TexCrc_zones GreeRangesOfItem(const ir::TCrcItem& item, const ir::TStrProt_Listbase& elements);

/// One five-byte calculation block.
struct CrcBlock {
  std::uint8_t start = 0;  ///< start descriptor
  std::uint8_t end = 0;    ///< end descriptor (bit 6 clear: external-only block)
  std::uint8_t inner = 0;
  std::uint8_t outer = 0;
  std::uint8_t external = 0;
  std::uint8_t constant = 0;
};
/// Appends the five lines of a block.
void WriteCrcBlock(Lines& lines, const CrcBlock& block);

/// Writes the checksum table of a prepared record into `lines` (emptied first).
/// 0 on success; kCrcUntranslatable for an item the firmware cannot evaluate
/// or a fifth format; kErrDescriptorIndex for a range byte index above 63.
/// The lines written before a failure stay.
int WriteCrcTable(const store::TdiskAir& record, Lines& lines, const store::Tex_gssList& formats);

}  // namespace klimavo::firmware
