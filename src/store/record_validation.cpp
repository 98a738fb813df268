#include "store/record_validation.h"

#include "base/text.h"

namespace klimavo::store {

namespace {
constexpr int kMinStates = 2;
}  // namespace

RecordValidation ValidateRecord(const TdiskAir& record, const ProtocolLibrary& library, int index) {
  std::string code = base::Trim(record.CodeNo.str());
  if (code.empty()) return {kTextCodeMissing, -1, -1};
  if (library.CodeNumberInUse(code, index)) return {kTextCodeInUse, -1, -1};
  for (std::size_t k = 0; k < record.UsedKeys(); ++k) {
    const TdiskKey& key = record.Keys[k];
    // More than 16 states do not fit the record; they fail like too few.
    if (key.StateCount < kMinStates || key.StateCount > kMaxStates)
      return {kTextTooFewStates, static_cast<int>(k), -1};
    for (std::size_t s = 0; s < key.StateCount; ++s) {
      if (base::Trim(key.StateNames[s].str()).empty())
        return {kTextStateNameEmpty, static_cast<int>(k), static_cast<int>(s)};
    }
  }
  return {};
}

}  // namespace klimavo::store
