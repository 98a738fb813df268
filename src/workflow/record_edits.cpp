#include "workflow/record_edits.h"

#include <algorithm>
#include <array>

#include "base/text.h"
#include "workflow/key_editor_model.h"

namespace klimavo::workflow {

void CopyBackKeys(store::TdiskAir& record, const store::TdiskAir& edited) {
  const std::size_t old_count = record.UsedKeys();
  const std::size_t count = edited.UsedKeys();
  record.KeyCount = static_cast<std::uint8_t>(count);
  for (std::size_t k = 0; k < count; ++k) {
    store::TdiskKey& key = record.Keys[k];
    const store::TdiskKey& from = edited.Keys[k];
    if (k >= old_count) key = NewKey({});
    key.Name = from.Name;
    key.StateCount = from.StateCount;
    const std::size_t states = std::min<std::size_t>(from.StateCount, store::kMaxStates);
    std::copy_n(from.StateNames.begin(), states, key.StateNames.begin());
  }
}

void ApplyEditedFormat(store::TdiskAir& record, const ir::TIRGsPara& params,
                       const std::vector<ProtocolRow>& rows) {
  record.Params = params;
  std::array<std::string, store::kFormatSlots> texts{};
  std::array<bool, store::kFormatSlots> named{};
  for (const ProtocolRow& row : rows) {
    if (row.slot < 0 || row.slot >= static_cast<int>(store::kFormatSlots)) continue;
    texts[static_cast<std::size_t>(row.slot)] = base::Trim(row.text);
    named[static_cast<std::size_t>(row.slot)] = true;
  }
  for (const ProtocolRow& row : rows) {
    const std::string text = base::Trim(row.text);
    if (row.slot >= 0 || text.empty()) continue;
    for (std::size_t s = 0; s < store::kFormatSlots; ++s) {
      if (!named[s] && texts[s].empty()) {
        texts[s] = text;
        named[s] = true;
        break;
      }
    }
  }
  for (std::size_t s = 0; s < store::kFormatSlots; ++s) record.Slots[s].Text.assign(texts[s]);
}

}  // namespace klimavo::workflow
