#include "store/format_list.h"

namespace klimavo::store {

Tex_gssList BuildFormatList(const TdiskAir& record) {
  Tex_gssList list;
  for (std::size_t j = 0; j < kFormatSlots; ++j) {
    const TdiskFormatSlot& slot = record.Slots[j];
    if (slot.Text.empty()) continue;
    Tex_gsstrut entry;
    entry.Text = slot.Text.str();
    entry.FrameIndex = static_cast<std::int32_t>(j);
    entry.CodeData.assign(slot.Code.begin(), slot.Code.end());
    for (std::size_t k = 0; k < record.UsedKeys(); ++k) {
      if (record.Keys[k].Slot == j) entry.KeyIndexes.push_back(static_cast<std::uint8_t>(k));
    }
    if (record.UsedKeys() > 0 && record.Keys[0].Slot2 == j)
      entry.KeyIndexes.push_back(kPowerSecondFrameMarker);
    list.push_back(std::move(entry));
  }
  return list;
}

}  // namespace klimavo::store
