// The format list names, per frame format, the keys that send it; the power
// key's second frame is named by a marker that is no key index.
#include "store/format_list.h"

#include <gtest/gtest.h>

#include <vector>

namespace klimavo::store {
namespace {

constexpr std::uint8_t kMarker = kPowerSecondFrameMarker;

TEST(FormatList, KeysAndThePowerKeysSecondFramePerFormat) {
  struct Case {
    const char* name;
    std::uint8_t key_count;
    std::uint8_t power_second_slot;
    std::uint8_t last_key_slot;  // slot of the last key
    std::vector<std::vector<std::uint8_t>> key_indexes;
  };
  const std::vector<Case> cases{
      {"six keys, slot 1 unused", 6, kNoSlot, 0, {{0, 1, 2, 3, 4, 5}, {}}},
      {"six keys, second power frame in slot 1", 6, 1, 0, {{0, 1, 2, 3, 4, 5}, {kMarker}}},
      {"second power frame in the first slot", 6, 0, 0, {{0, 1, 2, 3, 4, 5, kMarker}, {}}},
      {"seven keys: key 6 is no second power frame", 7, kNoSlot, 1, {{0, 1, 2, 3, 4, 5}, {6}}},
      {"seven keys with a second power frame", 7, 1, 1, {{0, 1, 2, 3, 4, 5}, {6, kMarker}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TdiskAir record;
    record.KeyCount = c.key_count;
    record.Slots[0].Text.assign("<0>[32]<1>");
    record.Slots[1].Text.assign("<0>[16]<1>");
    for (std::size_t k = 0; k < c.key_count; ++k) record.Keys[k].Slot = 0;
    record.Keys[c.key_count - 1].Slot = c.last_key_slot;
    record.Keys[0].Slot2 = c.power_second_slot;
    std::vector<std::vector<std::uint8_t>> got;
    for (const Tex_gsstrut& f : BuildFormatList(record)) got.push_back(f.KeyIndexes);
    EXPECT_EQ(got, c.key_indexes);
  }
}

}  // namespace
}  // namespace klimavo::store
