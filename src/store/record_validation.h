#pragma once
// What Save checks before a record goes into the library: a code number that
// is present and not used by another record, and keys with 2..16 named states.

#include "store/library.h"
#include "store/protocol_record.h"

namespace klimavo::store {

inline constexpr int kTextCodeMissing = 64;
inline constexpr int kTextTooFewStates = 66;
inline constexpr int kTextStateNameEmpty = 67;
inline constexpr int kTextCodeInUse = 68;

/// The first failed check: the language text that explains it, the key at
/// fault (-1 when the fault is not in a key) and the state (-1 when none).
struct RecordValidation {
  int text = 0;  ///< 0 = the record passes
  int key = -1;
  int state = -1;
  bool ok() const { return text == 0; }
};

/// Checks a record about to be stored at `index` (-1 = a new record).
RecordValidation ValidateRecord(const TdiskAir& record, const ProtocolLibrary& library, int index);

}  // namespace klimavo::store
