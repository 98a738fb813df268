#include "workflow/new_record.h"

#include <algorithm>

#include "base/text.h"
#include "ir/decode.h"
#include "ir/protocol.h"
#include "workflow/key_editor_model.h"

namespace klimavo::workflow {
namespace {

constexpr std::size_t kMinLogicCodes = 2;

NewRecordRefusal RefusalOf(KeyFault fault) {
  switch (fault) {
    case KeyFault::None:
      return NewRecordRefusal::None;
    case KeyFault::NameEmpty:
      return NewRecordRefusal::KeyNameEmpty;
    case KeyFault::TooFewStates:
    case KeyFault::TooManyStates:
      return NewRecordRefusal::TooFewStates;
    case KeyFault::StateNameEmpty:
      return NewRecordRefusal::StateNameEmpty;
  }
  return NewRecordRefusal::None;
}

}  // namespace

store::TdiskAir LoadNewRecordTemplate(const store::ProtocolLibrary& library,
                                      const std::filesystem::path& data_dir, bool write_template) {
  store::TdiskAir record;
  if (store::LoadTemplate(data_dir, record)) return record;
  store::TBtnLines lines;
  if (library.Size() > 0 && library.FetchRecord(0, record, lines)) {
    if (write_template) store::SaveTemplate(data_dir, record);
    return record;
  }
  return store::TdiskAir{};
}

store::TdiskAir PrepareNewRecord(const store::TdiskAir& edited_template, double now) {
  store::TdiskAir record = edited_template;
  store::InitRecord(record, now);
  return record;
}

void ApplyDecodedFormat(store::TdiskAir& record, const ir::Tcomp_aval& result, bool lsb_first) {
  record.Params = result.Params;
  store::TdiskFormatSlot& slot = record.Slots[0];
  slot.Text.assign(ir::PrintProtocol(result.Protocol));
  record.LsbFirst = lsb_first ? 1 : 0;
  slot.Code.fill(0);
  std::copy_n(result.Bytes.begin(), std::min(result.Bytes.size(), store::kSlotCodeBytes), slot.Code.begin());
  slot.CodeStored = 1;
}

void NameNewRecord(store::TdiskAir& record, const store::ProtocolLibrary& library) {
  record.Brand.assign(kNewRecordBrand);
  record.CodeNo.assign(library.NextCodeNumber());
}

bool FinishNewRecord(store::TdiskAir& record, const ir::Tcomp_aval& decode, bool lsb_first,
                     const store::ProtocolLibrary& library) {
  record.KeyCount = static_cast<std::uint8_t>(record.UsedKeys());
  ApplyDecodedFormat(record, decode, lsb_first);
  if (record.Slots[0].Text.empty()) return false;
  if (record.UsedKeys() > 0 && record.Keys[0].Slot == store::kNoSlot) record.Keys[0].Slot = 0;
  NameNewRecord(record, library);
  return true;
}

NewRecordResult NewRecordFromCapture(const store::ProtocolLibrary& library,
                                     const std::filesystem::path& data_dir, const NewRecordRequest& request) {
  NewRecordResult out;
  auto refuse = [&out](NewRecordRefusal why) -> NewRecordResult& {
    out.refusal = why;
    return out;
  };
  if (!ir::DecodeCapture(request.capture.Durations, request.capture.Carrier, false, request.lsb_first,
                         request.decode_tolerance, out.decode))
    return refuse(NewRecordRefusal::NoDecoding);
  if (out.decode.LogicCodes.size() < kMinLogicCodes) return refuse(NewRecordRefusal::TooFewLogicCodes);

  if (request.brand && request.brand->size() > kBrandBytes) return refuse(NewRecordRefusal::BrandTooLong);
  out.code = request.code ? base::Trim(*request.code) : library.NextCodeNumber();
  if (request.code) {
    if (out.code.empty()) return refuse(NewRecordRefusal::CodeEmpty);
    if (out.code.size() > kCodeNumberBytes) return refuse(NewRecordRefusal::CodeTooLong);
    if (library.CodeNumberInUse(out.code, -1)) return refuse(NewRecordRefusal::CodeInUse);
  } else if (out.code.size() > kCodeNumberBytes) {
    return refuse(NewRecordRefusal::NextCodeTooLong);
  }

  const store::TdiskAir start = LoadNewRecordTemplate(library, data_dir, false);
  const KeyCheck keys = CheckKeys(start);
  if (keys.fault != KeyFault::None) {
    out.record = start;
    out.key = keys.key;
    out.state = keys.state;
    return refuse(RefusalOf(keys.fault));
  }
  out.record = PrepareNewRecord(start, request.now);
  if (!FinishNewRecord(out.record, out.decode, request.lsb_first, library))
    return refuse(NewRecordRefusal::NoDecoding);
  if (request.brand) out.record.Brand.assign(*request.brand);
  out.record.CodeNo.assign(out.code);
  out.record.ChangeTime = request.now;
  return out;
}

}  // namespace klimavo::workflow
