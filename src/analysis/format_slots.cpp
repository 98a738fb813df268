#include "analysis/format_slots.h"

#include <algorithm>
#include <array>

#include "base/text.h"
#include "ir/protocol.h"

namespace klimavo::analysis {
namespace {

std::string SlotText(const store::TdiskFormatSlot& slot) { return base::Trim(slot.Text.str()); }

std::string RowText(const store::TGrdDataLine& row) {
  return ir::PrintProtocol(ir::TStrProt_Stru{row.Elements, row.Repeat});
}

// Packs a row's bits into the slot's code when the slot holds none yet.
// Returns true when the bytes were stored.
bool StoreRowCodeIfNone(store::TdiskAir& record, int slot, const store::TGrdDataLine& row) {
  store::TdiskFormatSlot& s = record.Slots[static_cast<std::size_t>(slot)];
  if (s.CodeStored != 0) return false;
  ir::TSSByteArray bytes;
  const bool packed = ir::BitsToBytes(row.Elements, row.Data, record.LsbFirst != 0, bytes);
  return packed && bytes.size() < store::kSlotCodeBytes && StoreSlotCode(record, slot, bytes);
}

}  // namespace

int FindOrAddFormatSlot(store::TdiskAir& record, const std::string& text, bool& formats_changed) {
  const ir::TStrProt_Stru wanted = ir::ParseProtocol(text);
  for (std::size_t s = 0; s < record.Slots.size(); ++s) {
    const std::string slot_text = SlotText(record.Slots[s]);
    if (!slot_text.empty() && ir::SameProtocol(ir::ParseProtocol(slot_text), wanted))
      return static_cast<int>(s);
  }
  for (std::size_t s = 0; s < record.Slots.size(); ++s) {
    store::TdiskFormatSlot& slot = record.Slots[s];
    if (!SlotText(slot).empty()) continue;
    slot.Text.assign(text.substr(0, std::min(text.size(), kSlotTextCapacity)));
    slot.CodeStored = 0;
    formats_changed = true;
    return static_cast<int>(s);
  }
  return -1;
}

SlotSaveResult SaveKeyRows(store::TdiskAir& record, store::TBtnLines& lines, int key,
                           const store::TGrdLines& rows) {
  SlotSaveResult result;
  if (lines.size() <= static_cast<std::size_t>(key)) lines.resize(static_cast<std::size_t>(key) + 1);
  lines[static_cast<std::size_t>(key)] = rows;
  store::TdiskKey& k = record.Keys[static_cast<std::size_t>(key)];
  const std::string first = rows.empty() ? std::string() : RowText(rows[0]);
  if (first.empty()) {
    result.formats_changed = k.Slot != store::kNoSlot;
    k.Slot = k.Slot2 = store::kNoSlot;
    return result;
  }
  // Find every slot first, so that running out of slots changes nothing.
  const store::TdiskAir before = record;
  const int slot = FindOrAddFormatSlot(record, first, result.formats_changed);
  int slot2 = store::kNoSlot;
  const bool two_codes = key == 0 && rows.size() >= 2;
  const std::string second = two_codes ? RowText(rows[1]) : std::string();
  if (slot >= 0 && !second.empty()) slot2 = FindOrAddFormatSlot(record, second, result.formats_changed);
  if (slot < 0 || slot2 < 0) {
    record = before;
    return SlotSaveResult{true, false};
  }
  if (k.Slot != slot) result.formats_changed = true;
  k.Slot = static_cast<std::uint8_t>(slot);
  StoreRowCodeIfNone(record, slot, rows[0]);
  record.Slots[static_cast<std::size_t>(slot)].CodeStored = 1;  // whether or not the bytes fit
  if (key == 0) {
    k.Slot2 = store::kNoSlot;
    if (!second.empty()) {
      k.Slot2 = static_cast<std::uint8_t>(slot2);
      if (StoreRowCodeIfNone(record, slot2, rows[1]))
        record.Slots[static_cast<std::size_t>(slot2)].CodeStored = 1;
    }
  }
  return result;
}

void CompactFormatSlots(store::TdiskAir& record) {
  const std::size_t keys = record.UsedKeys();
  for (std::size_t k = 1; k < keys; ++k) record.Keys[k].Slot2 = store::kNoSlot;
  std::array<bool, store::kFormatSlots> used{};
  for (std::size_t k = 0; k < keys; ++k) {
    const store::TdiskKey& key = record.Keys[k];
    if (key.Slot < store::kFormatSlots) used[key.Slot] = true;
    if (k == 0 && key.Slot2 < store::kFormatSlots) used[key.Slot2] = true;
  }
  std::array<std::uint8_t, store::kFormatSlots> new_number{};
  new_number.fill(store::kNoSlot);
  std::array<store::TdiskFormatSlot, store::kFormatSlots> slots{};
  std::size_t next = 0;
  for (std::size_t s = 0; s < store::kFormatSlots; ++s) {
    if (!used[s] || SlotText(record.Slots[s]).empty()) continue;
    new_number[s] = static_cast<std::uint8_t>(next);
    slots[next++] = record.Slots[s];
  }
  for (std::size_t s = next; s < store::kFormatSlots; ++s) {
    slots[s] = record.Slots[s];
    slots[s].Text.assign("");
    slots[s].CodeStored = 0;
    slots[s].Crc = ir::TCrcBlock{};
  }
  record.Slots = slots;
  auto renumber = [&](std::uint8_t& slot) {
    if (slot < store::kFormatSlots) slot = new_number[slot];
  };
  for (std::size_t k = 0; k < keys; ++k) {
    renumber(record.Keys[k].Slot);
    if (k == 0) renumber(record.Keys[k].Slot2);
  }
}

bool StoreSlotCode(store::TdiskAir& record, int slot, std::span<const std::uint8_t> bytes) {
  if (slot < 0 || slot >= static_cast<int>(store::kFormatSlots) || bytes.size() > store::kSlotCodeBytes)
    return false;
  auto& code = record.Slots[static_cast<std::size_t>(slot)].Code;
  code.fill(0);
  std::copy(bytes.begin(), bytes.end(), code.begin());
  return true;
}

void RewriteSlotCodes(store::TdiskAir& record, bool from_lsb_first, bool to_lsb_first, bool invert_bits) {
  for (std::size_t s = 0; s < record.Slots.size(); ++s) {
    store::TdiskFormatSlot& slot = record.Slots[s];
    const std::string text = SlotText(slot);
    if (text.empty()) continue;
    const ir::TStrProt_Listbase elements = ir::ParseProtocol(text).Elements;
    ir::TSSByteArray bits;
    if (!ir::BytesToBitsFixed(elements, slot.Code, static_cast<int>(store::kSlotCodeBytes) - 1,
                              from_lsb_first, bits))
      continue;
    if (invert_bits)
      for (std::uint8_t& b : bits) b = b == 1 ? 0 : 1;
    ir::TSSByteArray bytes;
    if (ir::BitsToBytes(elements, bits, to_lsb_first, bytes))
      StoreSlotCode(record, static_cast<int>(s), bytes);
  }
}

}  // namespace klimavo::analysis
