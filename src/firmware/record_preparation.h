#pragma once
// Preparation of a record's working copy before its tables are generated: the
// special code numbers, the most-significant-bit-first byte alignment, the
// one-bit shift of seven-bit-first records, the format list and the folding of
// frames that repeat the same bytes. Also the record label of the table file.

#include <string>

#include "store/format_list.h"
#include "store/protocol_record.h"

namespace klimavo::firmware {

/// Which check of PrepareRecordForTables failed.
enum class PrepareStatus {
  kOk,
  kKeyCount,          ///< fewer than 6 keys
  kTooManyKeys,       ///< more than 6 keys: the key-format word has fields for six
  kFormatWithoutKey,  ///< a format that no key sends
  kTooManyFormats,    ///< more than 4 formats
  kNoFormat,          ///< no format
};

/// The error code a caller reports for each failed check.
struct PrepareErrorCodes {
  int key_count = 0;
  int too_many_keys = 0;
  int format_without_key = 0;
  int too_many_formats = 0;
  int no_format = 0;
};
/// The caller's code for `status`; 0 for kOk.
int PrepareErrorCode(PrepareStatus status, const PrepareErrorCodes& codes);

struct PreparedFormats {
  PrepareStatus status = PrepareStatus::kOk;
  store::Tex_gssList formats;
  bool seven_bit_first = false;  ///< the record's first checksum is of kind 8
};

/// True for the trimmed code numbers "0147" to "0150" (the triple-frame records).
bool IsTripleFrameCode(const store::TdiskAir& record);
/// For the triple-frame codes: drops every key column outside frame 0 and sets
/// the item count of checksummed slots to 1. Returns whether it applied.
bool ApplySpecialCodeNumbers(store::TdiskAir& copy);

/// Steps 1 to 6 of the preparation on a working copy.
PreparedFormats PrepareRecordForTables(store::TdiskAir& copy);

/// Shifts every slot's code by one bit and every bit position by one.
void ShiftCodeOneBit(store::TdiskAir& copy);
/// Folds formats whose frames repeat the same bytes (sets FramesShareData).
void FoldRepeatedFrames(store::TdiskAir& copy, store::Tex_gssList& formats);

/// Brand + "_" + code number, trimmed, blanks and "-" replaced by "_".
std::string RecordLabel(const store::TdiskAir& record);

}  // namespace klimavo::firmware
