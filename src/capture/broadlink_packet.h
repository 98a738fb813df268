#pragma once
// Broadlink IR packets, the form in which Broadlink devices learn and send
// infrared codes:
//
//   26 RR LL LL  d d d ... 00 HH LL ...  0D 05  00 00 ...
//
// byte 0 is 0x26 (infrared), byte 1 how many times the signal is sent again,
// bytes 2-3 the little-endian count of the duration bytes that follow. Each
// duration is one byte, or 0x00 and a big-endian 16-bit value, in units of
// 8192/269 µs (about 30.45 µs); they alternate mark and space, starting with a
// mark. 0x0D 0x05 closes the packet, and zeros pad it to whole 16-byte blocks.
// Packets travel as base64 (the climate-code collections) or as hex.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ir/ir_types.h"

namespace klimavo::capture::broadlink {

/// One duration unit of a packet, in µs.
inline constexpr double kUnitMicros = 8192.0 / 269.0;
inline constexpr std::uint8_t kInfraredType = 0x26;
/// The gap the closing bytes stand for when a packet's last duration is
/// 0x00 0x0D 0x05 (3333 units, about 101.5 ms).
inline constexpr std::uint32_t kClosingUnits = 0x0D05;

/// Bytes of a packet from its text: base64 (standard or URL-safe alphabet,
/// padding optional) or hex (blanks between bytes allowed). A text that starts
/// with the hex of the infrared type ("26") is hex; anything else is base64.
/// nullopt when the text is neither.
std::optional<std::vector<std::uint8_t>> PacketBytes(std::string_view text);

/// Reads a packet into µs durations (marks positive), the signal sent
/// 1 + repeat times with the closing gap between the copies; the gap after
/// the last copy is not kept. Returns the fault, or an empty text. At most
/// `max_durations` are taken.
std::string ReadPacket(std::span<const std::uint8_t> packet, std::size_t max_durations,
                       ir::TIRIntegerArr& out);

/// Builds the packet of an alternating signal in µs (starting with a mark),
/// sent once; the fault (a duration beyond 16 bits of units), or an empty text.
std::string WritePacket(const ir::TIRIntegerArr& signal, std::vector<std::uint8_t>& out);

std::string Base64(std::span<const std::uint8_t> bytes);
/// Lower-case hex, two digits a byte, no separator.
std::string Hex(std::span<const std::uint8_t> bytes);

}  // namespace klimavo::capture::broadlink
