#include "analysis/checksum_discovery/checksum_operands.h"

#include <algorithm>

#include "ir/checksum.h"
#include "ir/protocol.h"

namespace klimavo::analysis {
namespace {

constexpr int kNibbleLowOperands = 4;
constexpr std::uint32_t kLowNibble = 0x0F;
constexpr int kNibbleBits = 4;
constexpr int kWordBits = 32;

void AppendOperand(NibbleOperands& n, std::uint32_t operand) {
  if (n.count < kNibbleLowOperands) n.first[n.count] = static_cast<std::uint8_t>(operand);
  ++n.count;
  n.high_total += operand >> kNibbleBits;
}

std::uint32_t CutToWidth(std::uint32_t value, int width) {
  if (width <= 0) return 0;
  if (width >= kWordBits) return value;
  return value & ((std::uint32_t{1} << width) - 1);
}

}  // namespace

std::uint32_t NibbleOperands::Value(int prior) const {
  const int low_count = std::clamp(kNibbleLowOperands - prior, 0, std::min<int>(count, kNibbleLowOperands));
  std::uint32_t low = 0;
  std::uint32_t high_of_low = 0;
  for (int i = 0; i < low_count; ++i) {
    low += first[static_cast<std::size_t>(i)] & kLowNibble;
    high_of_low += static_cast<std::uint32_t>(first[static_cast<std::size_t>(i)] >> kNibbleBits);
  }
  return low + high_total - high_of_low;
}

void NibbleOperands::Append(const NibbleOperands& next) {
  for (int i = 0; i < next.count && count + i < kNibbleLowOperands; ++i)
    first[static_cast<std::size_t>(count + i)] = next.first[static_cast<std::size_t>(i)];
  count = static_cast<std::uint16_t>(count + next.count);
  high_total += next.high_total;
}

void OperandSums::Append(const OperandSums& next) {
  for (std::size_t w = 0; w < kOperandWidths.size(); ++w) {
    sum[w] += next.sum[w];
    shifted[w] += next.shifted[w];
    xr[w] ^= next.xr[w];
    nibble[w].Append(next.nibble[w]);
  }
  ones += next.ones;
  zeros += next.zeros;
}

void SegmentBuilder::Cutter::Push(std::uint8_t bit, bool lsb_first) {
  const std::uint32_t b = bit == 1 ? 1u : 0u;
  partial = lsb_first ? partial | (b << partial_length) : (partial << 1) | b;
  if (++partial_length < width) return;
  complete_sum += partial;
  complete_xor ^= partial;
  AppendOperand(complete_nibbles, partial);
  partial = 0;
  partial_length = 0;
}

SegmentBuilder::SegmentBuilder(bool lsb_first) : lsb_first_(lsb_first) {
  for (std::size_t w = 0; w < kOperandWidths.size(); ++w) {
    plain_[w].width = kOperandWidths[w];
    shifted_[w].width = kOperandWidths[w];
    shifted_[w].Push(0, lsb_first_);  // the leading 0 bit of the shifted kind
  }
}

void SegmentBuilder::Push(std::uint8_t bit) {
  ++length_;
  if (bit == 1) ++ones_;
  for (std::size_t w = 0; w < kOperandWidths.size(); ++w) {
    plain_[w].Push(bit, lsb_first_);
    shifted_[w].Push(bit, lsb_first_);
  }
}

OperandSums SegmentBuilder::Sums() const {
  OperandSums s;
  for (std::size_t w = 0; w < kOperandWidths.size(); ++w) {
    const Cutter& p = plain_[w];
    s.sum[w] = p.complete_sum + p.partial;  // a short last piece reads as a shorter number
    s.xr[w] = p.complete_xor ^ p.partial;
    s.nibble[w] = p.complete_nibbles;
    if (p.partial_length > 0) AppendOperand(s.nibble[w], p.partial);
    // The shifted text is one bit longer than the padded text; its last
    // character falls out of the last whole piece. When the segment fills its
    // pieces exactly, that character is the segment's last bit.
    const Cutter& h = shifted_[w];
    s.shifted[w] = h.complete_sum + (length_ % h.width == 0 ? 0 : h.partial);
  }
  s.ones = ones_;
  s.zeros = static_cast<std::uint32_t>(length_) - ones_;
  return s;
}

std::uint32_t RawValue(const OperandSums& sums, int kind, int width_index) {
  const auto w = static_cast<std::size_t>(width_index);
  switch (static_cast<ir::CrcKind>(kind)) {
    case ir::CrcKind::Sum:
    case ir::CrcKind::SumInverted:
    case ir::CrcKind::SumNibbleSwap:
      return sums.sum[w];
    case ir::CrcKind::SumShifted:
      return sums.shifted[w];
    case ir::CrcKind::NibbleSum:
      return sums.nibble[w].Value(0);
    case ir::CrcKind::Xor:
    case ir::CrcKind::XorInverted:
      return sums.xr[w];
    case ir::CrcKind::CountOnes:
    case ir::CrcKind::CountOnesInverted:
      return sums.ones;
    case ir::CrcKind::CountZeros:
    case ir::CrcKind::CountZerosInverted:
      return sums.zeros;
  }
  return 0;
}

std::uint32_t FinishValue(std::uint32_t raw, int kind, std::uint16_t constant, std::uint8_t const_op,
                          int target_width) {
  const ir::CrcKindInfo* info = ir::FindCrcKind(kind);
  if (info == nullptr) return 0;
  std::uint32_t value = info->complement ? ~raw : raw;
  if (constant != 0) value = ir::ApplyConstOp(value, const_op, constant);
  if (info->nibble_swap) value = (value >> kNibbleBits) + ((value & kLowNibble) << kNibbleBits);
  return CutToWidth(value, target_width);
}

int WidthIndex(int operand_width) { return operand_width == 4 ? 1 : 0; }

FrameLayout::FrameLayout(const ir::TStrProt_Listbase& elements) {
  const int frames = ir::DataRunCount(elements);
  for (int f = 0; f < frames; ++f) {
    offset.push_back(static_cast<int>(ir::BitOffsetOfRun(elements, f, 0)));
    length.push_back(static_cast<int>(ir::BitsInRun(elements, f)));
  }
  total = static_cast<int>(ir::TotalBits(elements));
}

OperandSums ZoneSums(const ir::TSSByteArray& bits, const FrameLayout& layout, const ir::TCrcItem& item,
                     bool lsb_first) {
  OperandSums total;
  const int zones = std::min<int>(item.ZoneCount, ir::kMaxCrcZones);
  for (int z = 0; z < zones; ++z) {
    const ir::TCrcZone& zone = item.Zones[static_cast<std::size_t>(z)];
    for (int frame = zone.StartFrame; frame <= zone.EndFrame && frame < layout.Frames(); ++frame) {
      const auto f = static_cast<std::size_t>(frame);
      const int start = frame == zone.StartFrame ? zone.StartBit : 0;
      const int end = frame == zone.EndFrame ? zone.EndBit : layout.length[f] - 1;
      SegmentBuilder segment(lsb_first);
      for (int b = start; b <= end; ++b) {
        const auto pos = static_cast<std::size_t>(layout.offset[f] + b);
        if (pos >= bits.size()) break;
        segment.Push(bits[pos]);
      }
      total.Append(segment.Sums());
    }
  }
  return total;
}

std::uint32_t EvaluateItem(const ir::TSSByteArray& bits, const FrameLayout& layout, const ir::TCrcItem& item,
                           bool lsb_first) {
  const OperandSums sums = ZoneSums(bits, layout, item, lsb_first);
  const std::uint32_t raw = RawValue(sums, item.Kind, WidthIndex(item.OperandWidth));
  return FinishValue(raw, item.Kind, item.Const, item.ConstOp, item.TargetWidth);
}

}  // namespace klimavo::analysis
