#pragma once
// What every checksum combination makes of a run of code bits, computed in one
// pass for all kinds and both operand widths. A search extends a zone bit by
// bit and reads the sums after each bit; folding the sums of consecutive
// segments gives the sums of a zone that spans frames, or of two zones. The
// values are those the checksum engine computes for the same bits (the tests
// hold the two against each other).

#include <array>
#include <cstdint>
#include <vector>

#include "ir/crc_item.h"
#include "ir/ir_types.h"

namespace klimavo::analysis {

/// The two operand widths, by index: 0 for 8-bit operands, 1 for 4-bit ones.
inline constexpr std::array<int, 2> kOperandWidths{8, 4};

/// The operands of a nibble sum: their count, the first four (which give their
/// low nibble) and the total of every operand's high part.
struct NibbleOperands {
  std::uint16_t count = 0;
  std::array<std::uint8_t, 4> first{};
  std::uint32_t high_total = 0;

  /// The nibble sum of these operands when `prior` operands came before them.
  std::uint32_t Value(int prior) const;
  /// These operands followed by `next`.
  void Append(const NibbleOperands& next);
};

/// The combinations of a run of bits, per operand width index.
struct OperandSums {
  std::array<std::uint32_t, 2> sum{};      ///< kinds 0, 1, 7
  std::array<std::uint32_t, 2> shifted{};  ///< kind 8: one leading 0 bit per segment
  std::array<std::uint32_t, 2> xr{};       ///< kinds 6, 10
  std::array<NibbleOperands, 2> nibble{};  ///< kind 9
  std::uint32_t ones = 0;                  ///< kinds 2, 3
  std::uint32_t zeros = 0;                 ///< kinds 4, 5

  /// These sums followed by those of the next segment or zone.
  void Append(const OperandSums& next);
};

/// Builds the sums of one frame segment bit by bit: after each Push, Sums()
/// holds what the checksum engine computes for the segment read so far.
class SegmentBuilder {
 public:
  explicit SegmentBuilder(bool lsb_first);
  void Push(std::uint8_t bit);
  OperandSums Sums() const;
  int Length() const { return length_; }

 private:
  // Pieces of one operand width cut from the start of a text.
  struct Cutter {
    int width = 8;
    std::uint32_t complete_sum = 0;
    std::uint32_t complete_xor = 0;
    std::uint32_t partial = 0;
    int partial_length = 0;
    NibbleOperands complete_nibbles;
    void Push(std::uint8_t bit, bool lsb_first);
  };

  bool lsb_first_;
  int length_ = 0;
  std::uint32_t ones_ = 0;
  std::array<Cutter, 2> plain_;
  std::array<Cutter, 2> shifted_;  // cut from "0" + text
};

/// The raw combination value a kind takes from the sums (before complement,
/// constant operation, nibble exchange and cut); 0 for a kind above 10.
std::uint32_t RawValue(const OperandSums& sums, int kind, int width_index);
/// The finishing steps of a kind on a raw value: complement, constant
/// operation (a constant of 0 applies none), nibble exchange, cut to the target width.
std::uint32_t FinishValue(std::uint32_t raw, int kind, std::uint16_t constant, std::uint8_t const_op,
                          int target_width);
/// Operand width index of a width (4 gives 1, anything else 0).
int WidthIndex(int operand_width);

/// Frame starts and lengths of an element list, in code bits.
struct FrameLayout {
  std::vector<int> offset;
  std::vector<int> length;
  int total = 0;

  explicit FrameLayout(const ir::TStrProt_Listbase& elements);
  int Frames() const { return static_cast<int>(length.size()); }
};

/// The sums of one item's zones over code bits, folded in zone order. Zones
/// must lie within the frames of the layout and end within the code bits.
OperandSums ZoneSums(const ir::TSSByteArray& bits, const FrameLayout& layout, const ir::TCrcItem& item,
                     bool lsb_first);
/// The checksum value of an item whose kind is 0..10 and operand width 4 or 8,
/// with zones inside the layout: the value CrcCalculate gives, computed from
/// the sums.
std::uint32_t EvaluateItem(const ir::TSSByteArray& bits, const FrameLayout& layout, const ir::TCrcItem& item,
                           bool lsb_first);

}  // namespace klimavo::analysis
