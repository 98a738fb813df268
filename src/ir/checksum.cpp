#include "ir/checksum.h"

#include <algorithm>
#include <optional>

#include "ir/protocol.h"

namespace klimavo::ir {
namespace {

// Bits per byte of the code bytes, and the widths of the nibble sum of kind 9.
constexpr int kBitsPerByte = 8;
constexpr int kNibbleSumLowOperands = 4;
constexpr std::uint32_t kLowNibble = 0x0F;
constexpr int kNibbleBits = 4;
constexpr int kWordBits = 32;

// The absolute position of (frame, bit) in the code bits; nothing for a
// negative frame, which no element list has.
std::optional<std::int64_t> BitAddress(const TStrProt_Listbase& elements, int frame, std::int64_t bit) {
  if (frame < 0) return std::nullopt;
  return BitOffsetOfRun(elements, frame, bit);
}

bool InBits(const TSSByteArray& bits, std::int64_t pos) {
  return pos >= 0 && pos < static_cast<std::int64_t>(bits.size());
}

char BitChar(std::uint8_t bit) { return bit == 1 ? '1' : '0'; }

std::uint32_t CutToWidth(std::uint32_t value, int width) {
  if (width <= 0) return 0;
  if (width >= kWordBits) return value;
  return value & ((std::uint32_t{1} << width) - 1);
}

std::uint32_t SwapLowNibble(std::uint32_t value) {
  return (value >> kNibbleBits) + ((value & kLowNibble) << kNibbleBits);
}

// Cuts a segment text into whole pieces of `width` characters and feeds them
// as operands; kind 8 first shifts the text by one leading 0 bit, so its last
// character falls out of the last whole piece. A piece of padding only is skipped.
void AddPieces(CrcAccumulator& acc, const std::string& text, int operand_width, bool lsb_first) {
  const std::string cut = acc.Info().shifted ? "0" + text : text;
  const std::size_t width = static_cast<std::size_t>(operand_width);
  const std::size_t pieces = cut.size() / width;
  for (std::size_t i = 0; i < pieces; ++i) {
    std::string piece = cut.substr(i * width, width);
    piece.erase(std::remove(piece.begin(), piece.end(), ' '), piece.end());
    if (piece.empty()) continue;
    acc.AddOperand(static_cast<std::uint32_t>(BitTextValue(piece, lsb_first)));
  }
}

}  // namespace

void CrcAccumulator::AddOperand(std::uint32_t operand) {
  switch (info_->combination) {
    case CrcCombination::Xor:
      value_ ^= operand;
      break;
    case CrcCombination::NibbleSum:
      value_ += operand_index_ < kNibbleSumLowOperands ? (operand & kLowNibble) : (operand >> kNibbleBits);
      ++operand_index_;
      break;
    default:
      value_ += operand;
      break;
  }
}

void CrcAccumulator::SkipOperand() {
  if (info_->combination == CrcCombination::NibbleSum) ++operand_index_;
}

void CrcAccumulator::AddCount(std::string_view text) {
  const char counted = info_->combination == CrcCombination::CountZeros ? '0' : '1';
  value_ += static_cast<std::uint32_t>(std::count(text.begin(), text.end(), counted));
}

std::int32_t CrcAccumulator::Finish(const TCrcItem& item) const {
  std::uint32_t value = value_;
  if (info_->complement) value = ~value;
  if (item.Const != 0) value = ApplyConstOp(value, item.ConstOp, item.Const);
  if (info_->nibble_swap) value = SwapLowNibble(value);
  return static_cast<std::int32_t>(CutToWidth(value, item.TargetWidth));
}

std::int64_t BitTextValue(std::string_view text, bool lsb_first) {
  std::uint64_t value = 0;
  int shift = 0;
  if (lsb_first) {
    for (char c : text) {
      if (c == ' ') continue;
      if (c == '1' && shift < 64) value |= std::uint64_t{1} << shift;
      ++shift;
    }
  } else {
    for (char c : text) {
      if (c == ' ') continue;
      value = (value << 1) | (c == '1' ? 1u : 0u);
    }
  }
  return static_cast<std::int64_t>(value);
}

std::string GetZoneBitText(const TSSByteArray& bits, const TStrProt_Listbase& elements, int frame,
                           int start_bit, int end_bit, int operand_width) {
  std::string text;
  const auto start = BitAddress(elements, frame, start_bit);
  if (!start) return text;
  std::int64_t last = end_bit;
  if (end_bit < 0) last = BitsInRun(elements, frame) - 1;
  const std::int64_t count = last - start_bit + 1;
  if (count < 1) return text;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t pos = *start + i;
    if (!InBits(bits, pos)) return text;  // past the end: keep what was read, no padding
    text.push_back(BitChar(bits[static_cast<std::size_t>(pos)]));
  }
  if (operand_width > 0 && !text.empty()) {
    const std::size_t width = static_cast<std::size_t>(operand_width);
    const std::size_t rest = text.size() % width;
    if (rest != 0) text.append(width - rest, ' ');
  }
  return text;
}

std::int32_t CrcCalculate(const TSSByteArray& bits, const TCrcItem& item, const TStrProt_Listbase& elements,
                          bool lsb_first) {
  const CrcKindInfo* info = FindCrcKind(item.Kind);
  if (info == nullptr) return -1;
  if (info->cuts_operands && item.OperandWidth == 0) return -1;  // no operand can be cut

  CrcAccumulator acc(*info);
  const int zones = std::min<int>(item.ZoneCount, kMaxCrcZones);
  for (int z = 0; z < zones; ++z) {
    const TCrcZone& zone = item.Zones[static_cast<std::size_t>(z)];
    for (int frame = zone.StartFrame; frame <= zone.EndFrame; ++frame) {
      const int start_bit = frame == zone.StartFrame ? zone.StartBit : 0;
      const int end_bit = frame == zone.EndFrame ? zone.EndBit : -1;
      const std::string text = GetZoneBitText(bits, elements, frame, start_bit, end_bit, item.OperandWidth);
      if (text.empty()) continue;
      if (acc.Counts())
        acc.AddCount(text);
      else
        AddPieces(acc, text, item.OperandWidth, lsb_first);
    }
  }
  return acc.Finish(item);
}

std::int32_t CrcReadTarget(const TSSByteArray& bits, const TCrcItem& item, const TStrProt_Listbase& elements,
                           bool lsb_first) {
  const std::int64_t value =
      GetCodeFieldValue(bits, elements, item.TargetFrame, item.TargetBit, item.TargetWidth, lsb_first);
  return static_cast<std::int32_t>(value);
}

std::int64_t GetCodeFieldValue(const TSSByteArray& bits, const TStrProt_Listbase& elements, int frame,
                               int bit, int count, bool lsb_first) {
  if (count < 1) return 0;
  const auto start = BitAddress(elements, frame, bit);
  if (!start) return -1;
  std::string text;
  text.reserve(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t pos = *start + i;
    if (!InBits(bits, pos)) return -1;
    text.push_back(BitChar(bits[static_cast<std::size_t>(pos)]));
  }
  return BitTextValue(text, lsb_first);
}

bool ExpandCodeBytes(std::span<const std::uint8_t> bytes, const TStrProt_Listbase& elements, bool lsb_first,
                     TSSByteArray& bits) {
  bits.clear();
  std::size_t cursor = 0;
  auto expand = [&](int width) {
    if (cursor >= bytes.size()) return false;
    const std::uint8_t byte = bytes[cursor++];
    for (int j = 0; j < width && bits.size() < kMaxCodeBits; ++j) {
      const int shift = lsb_first ? j : width - 1 - j;
      bits.push_back(static_cast<std::uint8_t>((byte >> shift) & 1));
    }
    return true;
  };
  bool complete = true;
  for (const TStrProtItem& element : elements) {
    if (!element.IsData()) continue;
    const int whole = element.Value / kBitsPerByte;
    const int rest = element.Value % kBitsPerByte;
    for (int i = 0; i < whole && complete; ++i) complete = expand(kBitsPerByte);
    if (complete && rest > 0) complete = expand(rest);
    if (!complete) break;
  }
  if (!complete) bits.resize(kMaxCodeBits, 0);  // the bits not produced read as 0
  return complete;
}

std::int64_t GetCodeFieldValueOfBytes(const TSSByteArray& bytes, const TStrProt_Listbase& elements, int frame,
                                      int bit, int count, bool lsb_first) {
  TSSByteArray bits;
  ExpandCodeBytes(bytes, elements, lsb_first, bits);  // a short code reads its missing bits as 0
  return GetCodeFieldValue(bits, elements, frame, bit, count, lsb_first);
}

}  // namespace klimavo::ir
