#pragma once
// Changes the record workflows make to a record after a dialog closed with OK:
// the keys edited in the key editor, and the format edited in the format
// chooser.

#include <vector>

#include "ir/ir_types.h"
#include "store/protocol_record.h"
#include "workflow/format_chooser_model.h"

namespace klimavo::workflow {

/// Edit keys: takes the key count and, for each key below it, the name, the
/// state count and the first state-count state names. Bit fields, format
/// slots and the rest of a key stay as they were; a key beyond the old key
/// count starts as a new key, so no bit field of a key removed earlier comes back.
void CopyBackKeys(store::TdiskAir& record, const store::TdiskAir& edited);

/// Modify format: the timing from the chooser and the frame texts of its
/// protocol rows. A row taken from a slot writes that slot (an emptied row
/// empties it); a row the user added goes into the first slot not in use.
/// Slots that no row names are emptied. Texts are trimmed and cut to 128
/// bytes; code bytes, checksums and the bit order stay as they were.
void ApplyEditedFormat(store::TdiskAir& record, const ir::TIRGsPara& params,
                       const std::vector<ProtocolRow>& rows);

}  // namespace klimavo::workflow
