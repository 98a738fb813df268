#pragma once
// The format slots of a record as the function analysis wizard keeps them: a
// key's code rows decide which slot (protocol text and stored code bytes) the
// key uses, slots are found or taken by their structure, and unused slots are
// squeezed out when the wizard closes.

#include <cstdint>
#include <span>
#include <string>

#include "ir/ir_types.h"
#include "store/protocol_record.h"

namespace klimavo::analysis {

/// Longest protocol text a slot holds.
inline constexpr std::size_t kSlotTextCapacity = 128;

/// What saving a key's rows did.
struct SlotSaveResult {
  bool too_many_formats = false;  ///< every slot is in use: the key kept its old slots
  bool formats_changed = false;   ///< a slot was taken or the key's slot changed
};

/// The slot whose text parses to the same structure as `text`, or the first
/// empty slot, which then takes the text (its code-stored flag cleared).
/// -1 when all nine slots are in use by other structures.
int FindOrAddFormatSlot(store::TdiskAir& record, const std::string& text, bool& formats_changed);

/// Saves a key's rows: they become the key's code lines, and the first row's
/// structure (for the power key also the second row's) decides the key's
/// format slot(s). A slot without a stored code gets the row's bits, packed
/// in the record's bit order, when they make fewer than 64 bytes.
SlotSaveResult SaveKeyRows(store::TdiskAir& record, store::TBtnLines& lines, int key,
                           const store::TGrdLines& rows);

/// Moves the slots that a key uses down to the lowest numbers, in order, with
/// their text, code bytes, code-stored flag and checksum block, renumbers every
/// reference, and empties the slots after them. The second slot of every key
/// but the power key is cleared on the way.
void CompactFormatSlots(store::TdiskAir& record);

/// Stores code bytes as a slot's code; false (nothing stored) for a slot past
/// 8 or a code longer than the slot's 64 bytes.
bool StoreSlotCode(store::TdiskAir& record, int slot, std::span<const std::uint8_t> bytes);

/// Rewrites the stored code of every slot with a text bit by bit: `change`
/// receives the code's bits (read with `from_lsb_first`) and the result is
/// packed with `to_lsb_first`. Used when the wizard flips the bit order or
/// exchanges logic codes 0 and 1, so stored codes keep meaning what they sent.
void RewriteSlotCodes(store::TdiskAir& record, bool from_lsb_first, bool to_lsb_first, bool invert_bits);

}  // namespace klimavo::analysis
