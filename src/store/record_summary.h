#pragma once
// The record summary of the main window: the timing of the format, the frame
// texts with their code bytes and the checksum items, as numbered language
// texts followed by the record's values.

#include <string>

#include "lang/language.h"
#include "store/protocol_record.h"

namespace klimavo::store {

/// The summary text (GBK, lines ended by CR LF): carrier and bit order, logic
/// codes, split codes, the slots block, and the checksum items when the record
/// has checksums.
std::string RecordSummaryText(const TdiskAir& record, const lang::Language& language);

}  // namespace klimavo::store
