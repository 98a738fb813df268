// Computes checksum items over arbitrary items, element lists and code bits.
// The engine must never read outside the bits, nor any zone beyond the second
// (an item with a larger zone count computes as one with two zones), and every
// value must fit the target width.
//
// Input: a 25-byte checksum item, a flags byte (bit 0: LSB-first), an element
// count byte and 3 bytes per element (kind, 16-bit value kept small), then the
// code bits, one byte each, taken as they are.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/byte_io.h"
#include "ir/checksum.h"

namespace {

using namespace klimavo;

constexpr std::size_t kMaxElements = 32;
constexpr std::uint16_t kMaxGroupBits = 600;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool FitsWidth(std::int64_t value, int width) {
  if (width >= 31) return true;
  return value >= 0 && value < (std::int64_t{1} << width);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  base::ByteReader in({data, size});
  ir::TCrcItem item;
  item.Read(in);
  const bool lsb_first = (in.u8() & 1) != 0;
  const std::size_t count = in.u8() % kMaxElements;
  ir::TStrProt_Listbase elements;
  for (std::size_t i = 0; i < count; ++i) {
    ir::TStrProtItem element;
    element.Kind = in.u8() & 1;
    element.Value = static_cast<std::uint16_t>(in.u16() % kMaxGroupBits);
    elements.push_back(element);
  }
  if (!in.ok()) return 0;
  // Exactly sized, so that a read past the last bit leaves the allocation.
  const ir::TSSByteArray bits(data + in.position(), data + size);

  const std::int32_t value = ir::CrcCalculate(bits, item, elements, lsb_first);
  if (item.Kind >= ir::kCrcKindCount)
    Check(value == -1);
  else if (value != -1)
    Check(FitsWidth(value, item.TargetWidth));

  if (item.ZoneCount > ir::kMaxCrcZones) {
    ir::TCrcItem two = item;
    two.ZoneCount = ir::kMaxCrcZones;
    Check(ir::CrcCalculate(bits, two, elements, lsb_first) == value);
  }

  const std::int32_t stored = ir::CrcReadTarget(bits, item, elements, lsb_first);
  Check(stored == -1 || FitsWidth(stored, item.TargetWidth));

  for (const ir::TCrcZone& zone : item.Zones) {
    const std::string text =
        ir::GetZoneBitText(bits, elements, zone.StartFrame, zone.StartBit, zone.EndBit, item.OperandWidth);
    for (char c : text) Check(c == '0' || c == '1' || c == ' ');
    Check(text.size() <= bits.size() + item.OperandWidth);
  }

  const std::int64_t field = ir::GetCodeFieldValueOfBytes(bits, elements, item.TargetFrame, item.TargetBit,
                                                          item.TargetWidth, lsb_first);
  Check(field == -1 || item.TargetWidth >= 63 || FitsWidth(field, item.TargetWidth));
  return 0;
}
