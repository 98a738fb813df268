#pragma once
// The checksum engine: computes a checksum item over the bits of a code, reads
// the value a code carries at the item's target, and reads any bit field of a
// code. Also the names and codes of the firmware's checksum operations.

#include <cstdint>
#include <string>
#include <string_view>

#include "ir/crc_item.h"
#include "ir/ir_types.h"

namespace klimavo::ir {

inline constexpr int kCrcKindCount = 11;
inline constexpr std::uint8_t kNoFirmwareOp = 255;

/// The value of `item` over `bits` (one 0/1 per byte), or -1 for a kind above
/// 10 (and for an operand width of 0, which cannot be cut into operands).
std::int32_t CrcCalculate(const TSSByteArray& bits, const TCrcItem& item, const TStrProt_Listbase& elements,
                          bool lsb_first);
/// The value the code carries at the item's target, or -1 past the end.
std::int32_t CrcReadTarget(const TSSByteArray& bits, const TCrcItem& item, const TStrProt_Listbase& elements,
                           bool lsb_first);
/// `count` bits from (frame, bit) read by the bit order; -1 past the end; 0 for count 0.
std::int64_t GetCodeFieldValue(const TSSByteArray& bits, const TStrProt_Listbase& elements, int frame,
                               int bit, int count, bool lsb_first);
/// As GetCodeFieldValue over code bytes (missing bits read as 0, up to 2048 bits).
std::int64_t GetCodeFieldValueOfBytes(const TSSByteArray& bytes, const TStrProt_Listbase& elements, int frame,
                                      int bit, int count, bool lsb_first);
/// The "0"/"1" text of one frame segment, padded with blanks to a multiple of
/// the operand width (end_bit < 0: to the end of the frame).
std::string GetZoneBitText(const TSSByteArray& bits, const TStrProt_Listbase& elements, int frame,
                           int start_bit, int end_bit, int operand_width);
/// Reads a text of "0"/"1" as a number by the bit order (blanks are ignored).
std::int64_t BitTextValue(std::string_view text, bool lsb_first);

/// Applies a constant operation (0..6: + - xor * / and or) to a value.
std::uint32_t ApplyConstOp(std::uint32_t value, std::uint8_t op, std::uint32_t constant);
/// The firmware's external operation code of a constant operation, or 255.
std::uint8_t MapConstOpToOuter(std::uint8_t op);
/// Firmware operation names (GBK text); empty outside the tables.
std::string CrcInnerOpName(int code);
std::string CrcOuterOpName(int code);

}  // namespace klimavo::ir
