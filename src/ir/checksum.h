#pragma once
// The checksum engine: computes a checksum item over the bits of a code, reads
// the value a code carries at the item's target, and reads any bit field of a
// code. Also the names and codes of the firmware's checksum operations.
//
// Code bits are one byte per bit (0 or 1; any other byte reads as 0, as when
// packing bits into bytes) in transmission order. A bit address
// (frame f, bit b) is the number of bits of the data runs 0 .. f-1 of the
// element list plus b; b is not checked against the frame length, so a larger
// b reads on into the following frames. All arithmetic is on 32 bits and wraps.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "ir/crc_item.h"
#include "ir/ir_types.h"

namespace klimavo::ir {

inline constexpr int kCrcKindCount = 11;
inline constexpr std::uint8_t kNoFirmwareOp = 255;
/// The engine reads at most this many zones of an item, whatever its zone count says.
inline constexpr int kMaxCrcZones = 2;
/// Capacity of the code bits expanded from code bytes.
inline constexpr std::size_t kMaxCodeBits = 2048;

/// The checksum kinds (stored codes 0..10).
enum class CrcKind : std::uint8_t {
  Sum = 0,
  SumInverted = 1,
  CountOnes = 2,
  CountOnesInverted = 3,
  CountZeros = 4,
  CountZerosInverted = 5,
  Xor = 6,
  SumNibbleSwap = 7,
  SumShifted = 8,
  NibbleSum = 9,
  XorInverted = 10,
};

/// How a kind combines the bits of its zones.
enum class CrcCombination : std::uint8_t { Sum, CountOnes, CountZeros, Xor, NibbleSum };

/// One entry of the checksum kind registry.
struct CrcKindInfo {
  CrcKind kind;
  const char* name_cn;  ///< GBK bytes
  const char* name_en;
  CrcCombination combination;
  bool complement;     ///< the final 32-bit complement
  bool cuts_operands;  ///< the segment texts are cut into operand pieces
  bool shifted;        ///< one leading 0 bit per segment before cutting
  bool nibble_swap;    ///< the nibble exchange after the constant operation
};

/// The eleven kinds, indexed by their code.
std::span<const CrcKindInfo> CrcKinds();
/// The registry entry of a stored kind code, or nullptr above 10.
const CrcKindInfo* FindCrcKind(int code);

/// The running value of one item's calculation, shared by every place that
/// computes checksums from its own view of a code (the code bits here, the
/// cell texts of the comparison grid). Operands are fed piece by piece, or
/// whole segment texts for the counting kinds; Finish applies the complement,
/// the constant operation, the nibble exchange and the cut to the target width.
class CrcAccumulator {
 public:
  explicit CrcAccumulator(const CrcKindInfo& info) : info_(&info) {}

  const CrcKindInfo& Info() const { return *info_; }
  /// True for the kinds that count characters instead of cutting operands.
  bool Counts() const {
    return info_->combination == CrcCombination::CountOnes ||
           info_->combination == CrcCombination::CountZeros;
  }
  /// Combines one operand (sum, exclusive or, or the nibble sum's next position).
  void AddOperand(std::uint32_t operand);
  /// A position of the nibble sum that holds no operand: it still moves the
  /// sum from low to high nibbles. No effect for the other kinds.
  void SkipOperand();
  /// Counting kinds: adds the '1' (or '0') characters of a segment text.
  void AddCount(std::string_view text);
  /// The finished value of `item`, cut to its target width.
  std::int32_t Finish(const TCrcItem& item) const;

 private:
  const CrcKindInfo* info_;
  std::uint32_t value_ = 0;
  int operand_index_ = 0;  // the nibble sum counts its operands over the whole item
};

/// The value of `item` over `bits`, or -1 for a kind above 10. A kind that cuts
/// its zones into operands also gives -1 for an operand width of 0; the count
/// kinds (2..5) do not use the width and compute as usual. At most two zones
/// are read, whatever the zone count.
std::int32_t CrcCalculate(const TSSByteArray& bits, const TCrcItem& item, const TStrProt_Listbase& elements,
                          bool lsb_first);
/// The value the code carries at the item's target, or -1 past the end.
std::int32_t CrcReadTarget(const TSSByteArray& bits, const TCrcItem& item, const TStrProt_Listbase& elements,
                           bool lsb_first);
/// `count` bits from (frame, bit) read by the bit order; -1 past the end (or
/// before the start); 0 for a count below 1.
std::int64_t GetCodeFieldValue(const TSSByteArray& bits, const TStrProt_Listbase& elements, int frame,
                               int bit, int count, bool lsb_first);
/// As GetCodeFieldValue over code bytes (missing bits read as 0, up to 2048 bits).
std::int64_t GetCodeFieldValueOfBytes(const TSSByteArray& bytes, const TStrProt_Listbase& elements, int frame,
                                      int bit, int count, bool lsb_first);
/// The code bits of code bytes along the data elements, as GetCodeFieldValueOfBytes
/// sees them: false when the bytes end early, and then `bits` holds 2048 bits of
/// which those not produced are 0.
bool ExpandCodeBytes(std::span<const std::uint8_t> bytes, const TStrProt_Listbase& elements, bool lsb_first,
                     TSSByteArray& bits);
/// The "0"/"1" text of one frame segment, padded with blanks to a multiple of
/// the operand width (end_bit < 0: to the end of the frame). Stops, unpadded, at
/// the end of the bits.
std::string GetZoneBitText(const TSSByteArray& bits, const TStrProt_Listbase& elements, int frame,
                           int start_bit, int end_bit, int operand_width);
/// Reads a text of "0"/"1" as a number by the bit order (blanks are ignored;
/// bits beyond the 64th wrap away).
std::int64_t BitTextValue(std::string_view text, bool lsb_first);

/// The constant operations (stored codes 0..6).
enum class CrcConstOp : std::uint8_t { Add = 0, Sub = 1, Xor = 2, Mul = 3, Div = 4, And = 5, Or = 6 };
inline constexpr int kCrcConstOpCount = 7;
/// Applies a constant operation (0..6: + - xor * / and or) to a value. Any
/// other code, and "/" by 0, leaves the value unchanged. "/" reads the value as
/// unsigned and rounds to the nearest integer, halves to even.
std::uint32_t ApplyConstOp(std::uint32_t value, std::uint8_t op, std::uint32_t constant);
/// The operator text of a constant operation ("+", "-", "xor", "*", "/", "and",
/// "or"); empty outside 0..6.
std::string ConstOpName(int op);
/// The firmware's external operation code of a constant operation, or 255.
std::uint8_t MapConstOpToOuter(std::uint8_t op);
/// Firmware operation names (GBK text); empty outside the tables.
std::string CrcInnerOpName(int code);
std::string CrcOuterOpName(int code);

}  // namespace klimavo::ir
