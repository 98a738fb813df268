#pragma once
// Fixtures of the function analysis tests: the six-key NEC record of the
// firmware tests (slot 0 ‘<0>[32]<1>’, key k with a 4-bit field at bit 4k whose
// state s holds (s + k) & 15), captures made from code bytes with its timing,
// and the language files of the source tree.

#include <cstdint>
#include <string>
#include <vector>

#include "firmware/six_key_record.h"
#include "ir/protocol.h"
#include "lang/language.h"

namespace klimavo::analysis::fixtures {

inline constexpr std::int32_t kTicksPerMicro = 10;

inline store::TdiskAir NecRecord() { return firmware::fixtures::SixKeyRecord("Test", "0123"); }

/// The bits of code bytes along a protocol text.
inline ir::TSSByteArray BitsOf(const std::string& protocol, const std::vector<std::uint8_t>& bytes,
                               bool lsb_first = true) {
  ir::TSSByteArray bits;
  ir::BytesToBits(ir::ParseProtocol(protocol).Elements, bytes, lsb_first, bits);
  return bits;
}

/// A capture (0.1 µs) of frames of the NEC record: leader, the bits, end
/// pulse, and between frames the end gap.
inline ir::TIRIntegerArr NecCapture(const std::vector<ir::TSSByteArray>& frames) {
  ir::TIRIntegerArr d;
  for (const ir::TSSByteArray& bits : frames) {
    d.insert(d.end(), {9000, -4500});
    for (std::uint8_t b : bits) d.insert(d.end(), {560, b ? -1690 : -560});
    d.insert(d.end(), {560, -20000});
  }
  for (std::int32_t& x : d) x *= kTicksPerMicro;
  return d;
}

inline ir::TIRIntegerArr NecCapture(const ir::TSSByteArray& bits) {
  return NecCapture(std::vector<ir::TSSByteArray>{bits});
}

/// The NEC code of the record with key `key`'s 4-bit field holding `value`.
inline ir::TSSByteArray CodeWithField(int key, int value) {
  std::vector<std::uint8_t> bytes{0x12, 0x34, 0x56, 0x78};
  const int bit = 4 * key;
  std::uint8_t& b = bytes[static_cast<std::size_t>(bit / 8)];
  const int shift = bit % 8;  // LSB first: bit 4k of the code is bit (4k mod 8) of its byte
  b = static_cast<std::uint8_t>((b & ~(0x0F << shift)) | ((value & 0x0F) << shift));
  return BitsOf("<0>[32]<1>", bytes);
}

/// The language of the source tree's home (texts of data/home/data/Language.ini).
inline lang::Language SourceLanguage(int language_no = 1) {
  return lang::Language(std::string(KLIMAVO_SOURCE_DIR) + "/data/home", language_no);
}

}  // namespace klimavo::analysis::fixtures
