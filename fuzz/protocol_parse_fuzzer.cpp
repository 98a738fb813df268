// Protocol texts of any shape: parsing never faults, printing a parsed list and
// parsing it again gives the same list, and bit packing round-trips.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "ir/protocol.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckRoundTrips(const klimavo::ir::TStrProt_Stru& parsed) {
  using namespace klimavo::ir;
  Check(parsed.Elements.size() <= kMaxProtocolElements);
  const std::string printed = PrintElements(parsed.Elements);
  const TStrProt_Stru again = ParseProtocol(printed);
  // Zero-bit groups (only ParseProtocolExpanded makes them) empty the list when read again.
  bool has_empty_group = false;
  for (const TStrProtItem& e : parsed.Elements) has_empty_group |= e.IsData() && e.Value == 0;
  if (!has_empty_group) Check(PrintElements(again.Elements) == printed);

  const TStrProt_Stru merged{MergeElements(parsed.Elements), parsed.Repeat};
  Check(TotalBits(merged.Elements) == TotalBits(parsed.Elements));
  if (!has_empty_group) {
    const TStrProt_Stru reread = ParseProtocol(PrintProtocol(parsed));
    if (parsed.Repeat >= 1 && !parsed.Elements.empty()) Check(SameProtocol(reread, merged));
  }

  const std::int64_t bits_total = TotalBits(parsed.Elements);
  if (bits_total == 0 || bits_total > 4096) return;
  TSSByteArray bits(static_cast<std::size_t>(bits_total));
  for (std::size_t i = 0; i < bits.size(); ++i)
    bits[i] = static_cast<std::uint8_t>((i * 2654435761u >> 7) & 1);
  for (bool lsb : {true, false}) {
    TSSByteArray bytes;
    Check(BitsToBytes(parsed.Elements, bits, lsb, bytes));
    Check(static_cast<std::int64_t>(bytes.size()) >= TotalBytes(parsed.Elements));
    TSSByteArray back;
    Check(BytesToBits(parsed.Elements, bytes, lsb, back));
    const std::size_t compared = std::min(back.size(), bits.size());
    for (std::size_t i = 0; i < compared; ++i) Check(back[i] == bits[i]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckRoundTrips(klimavo::ir::ParseProtocol(text));
  CheckRoundTrips(klimavo::ir::ParseProtocolExpanded(text));
  return 0;
}
