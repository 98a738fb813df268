#include "analysis/remote_check.h"

#include <algorithm>
#include <cstddef>
#include <set>

#include "ir/checksum.h"
#include "ir/decode.h"
#include "ir/known_format.h"
#include "ir/protocol.h"
#include "ir/tolerance.h"

namespace klimavo::analysis {
namespace {

constexpr std::int32_t kTicksPerMicro = 10;
constexpr std::size_t kMaxCrcItems = 4;
constexpr const char* kRepeatErrorText = "Error Founded:repeat checking";
constexpr const char* kNoFormatText = "error!";

std::size_t StateCount(const store::TdiskKey& key) {
  return std::min<std::size_t>(key.StateCount, kCheckedStateValues);
}

std::size_t CrcItemCount(const ir::TCrcBlock& crc) { return std::min<std::size_t>(crc.Count, kMaxCrcItems); }

// Step 3: a capture that ends with a mark gets its second duration again, as
// the closing space; then whole µs.
ir::TIRIntegerArr ToMicros(const ir::TIRIntegerArr& ticks) {
  ir::TIRIntegerArr micros;
  micros.reserve(ticks.size() + 1);
  for (std::int32_t d : ticks) micros.push_back(d / kTicksPerMicro);
  if (ticks.size() >= 2 && ticks.back() > 0) micros.push_back(ticks[1] / kTicksPerMicro);
  return micros;
}

bool ValuesDistinct(const CheckField& field, std::size_t count) {
  std::set<std::uint8_t> seen(field.values.begin(),
                              field.values.begin() + static_cast<std::ptrdiff_t>(count));
  return seen.size() == count;
}

// Sets the flags of `width` bits from `first`, as far as the flags reach.
void FlagBits(ir::TSSByteArray& flags, std::int64_t first, int width) {
  for (std::int64_t i = std::max<std::int64_t>(first, 0); i < first + width; ++i) {
    if (i >= static_cast<std::int64_t>(flags.size())) break;
    flags[static_cast<std::size_t>(i)] = 1;
  }
}

}  // namespace

std::vector<int> RemoteCheckResult::ErrorBits() const {
  std::vector<int> bits;
  if (!HasLine()) return bits;
  for (std::size_t i = 0; i < line.Errors.size(); ++i)
    if (line.Errors[i] != 0) bits.push_back(static_cast<int>(i));
  return bits;
}

bool RemoteCheckResult::Ok() const {
  return outcome == CheckOutcome::kChecked &&
         std::none_of(line.Errors.begin(), line.Errors.end(), [](std::uint8_t f) { return f != 0; });
}

RemoteCheck::RemoteCheck(const store::TdiskAir& record, double decode_tolerance)
    : record_(record), tolerance_(decode_tolerance), formats_(store::BuildFormatList(record)) {
  for (const store::Tex_gsstrut& f : formats_) parsed_formats_.push_back(ir::ParseProtocol(f.Text));
  for (std::size_t k = 0; k < record_.UsedKeys(); ++k) {
    CheckFieldList list;
    for (const store::TdiskBitColumn& column : record_.Keys[k].Columns) {
      if (!column.InUse()) continue;
      CheckField field{column.Frame, column.BitPos, column.Width, {}};
      std::copy_n(column.Values.begin(), kCheckedStateValues, field.values.begin());
      list.push_back(field);
    }
    field_lists_.push_back(std::move(list));
  }
  if (record_.HasChecksum != 0) {
    CheckFieldList targets;
    for (const store::Tex_gsstrut& f : formats_) {
      const ir::TCrcBlock& crc = record_.Slots[static_cast<std::size_t>(f.FrameIndex)].Crc;
      if (crc.HasChecksum == 0) continue;
      for (std::size_t i = 0; i < CrcItemCount(crc); ++i) {
        const ir::TCrcItem& item = crc.Items[i];
        targets.push_back(CheckField{item.TargetFrame, item.TargetBit, item.TargetWidth, {}});
      }
    }
    field_lists_.push_back(std::move(targets));
    has_checksum_list_ = true;
  }
}

RemoteCheckResult RemoteCheck::Check(const ir::TIRIntegerArr& durations, std::int32_t carrier) const {
  RemoteCheckResult result;
  result.carrier = carrier;
  // A learner that does not measure the carrier reports 0; only a measured
  // carrier is compared.
  result.carrier_differs =
      carrier > 0 && !ir::IsNear(carrier, record_.Params.Carrier, kCarrierTolerance, kCarrierTolerance);
  result.states.assign(std::min(record_.UsedKeys(), kLabelledKeys), -1);

  const ir::TIRIntegerArr micros = ToMicros(durations);
  ir::TSSByteArray bits;
  ir::TStrProt_Listbase elements;
  if (ir::MatchCapture(micros, ir::KnownFormat{record_.Params, tolerance_}, bits, elements) <= 0)
    return result;

  ir::TStrProt_Stru protocol;
  protocol.Repeat = 1;
  protocol.Elements = ir::MergeElements(elements);
  ir::TIRGsPara params = record_.Params;
  if (ir::FixTail(params, bits, protocol.Elements, tolerance_) < 0 && !bits.empty()) bits.pop_back();
  ir::DetectRepeat(bits, protocol);
  if (protocol.Repeat > 1) {
    const auto repeat = static_cast<std::size_t>(protocol.Repeat);
    if (bits.size() % repeat != 0) {
      result.outcome = CheckOutcome::kRepeatError;
      return result;
    }
    bits.resize(bits.size() / repeat);
  }

  result.line.Bits = bits;
  result.line.Errors.assign(bits.size(), 0);
  result.line.Protocol = protocol;
  for (std::size_t f = 0; f < parsed_formats_.size() && result.format < 0; ++f)
    if (ir::SameProtocol(parsed_formats_[f], protocol)) result.format = static_cast<int>(f);
  if (result.format < 0) {
    result.outcome = CheckOutcome::kNoFormat;
    std::fill(result.line.Errors.begin(), result.line.Errors.end(), 1);
    return result;
  }
  if (HasDisplay())
    CheckWithDisplay(result);
  else
    CheckWithoutDisplay(result);
  return result;
}

void RemoteCheck::CheckWithoutDisplay(RemoteCheckResult& result) const {
  ir::TSSByteArray bytes;
  if (!ir::BitsToBytes(result.line.Protocol.Elements, result.line.Bits, LsbFirst(), bytes)) {
    result.outcome = CheckOutcome::kUnread;
    return;
  }
  result.outcome = CheckOutcome::kChecked;
  if (bytes.size() > store::kSlotCodeBytes) return;
  const std::size_t last_slot = std::min(record_.UsedKeys(), store::kFormatSlots - 1);
  for (std::size_t q = 0; q <= last_slot; ++q) {
    const auto& code = record_.Slots[q].Code;
    if (!std::equal(bytes.begin(), bytes.end(), code.begin())) continue;
    result.key = q == record_.UsedKeys() ? KeyHit{1, true} : KeyHit{static_cast<int>(q), false};
    return;
  }
}

void RemoteCheck::CheckWithDisplay(RemoteCheckResult& result) const {
  result.outcome = CheckOutcome::kChecked;
  const std::vector<int> states = IdentifyStates(result.line.Bits, result.line.Protocol.Elements);
  std::copy_n(states.begin(), result.states.size(), result.states.begin());
  // Checksums are those the firmware computes: of a checksummed record, for
  // the first four formats.
  if (record_.HasChecksum == 0 || result.format > kLastCheckedFormat) return;
  const store::Tex_gsstrut& format = formats_[static_cast<std::size_t>(result.format)];
  const ir::TCrcBlock& crc = record_.Slots[static_cast<std::size_t>(format.FrameIndex)].Crc;
  if (crc.HasChecksum == 0) return;
  const ir::TStrProt_Listbase& elements = result.line.Protocol.Elements;
  for (std::size_t i = 0; i < CrcItemCount(crc); ++i) {
    const ir::TCrcItem& item = crc.Items[i];
    const bool computes = ir::CrcCalculate(result.line.Bits, item, elements, LsbFirst()) ==
                          ir::CrcReadTarget(result.line.Bits, item, elements, LsbFirst());
    result.checksums.push_back(computes);
    if (!computes)
      FlagBits(result.line.Errors, ir::BitOffsetOfRun(elements, item.TargetFrame, item.TargetBit),
               item.TargetWidth);
  }
}

std::vector<int> RemoteCheck::IdentifyStates(const ir::TSSByteArray& bits,
                                             const ir::TStrProt_Listbase& elements) const {
  std::vector<int> states(record_.UsedKeys(), -1);
  for (std::size_t k = 0; k < record_.UsedKeys(); ++k) {
    const std::size_t count = StateCount(record_.Keys[k]);
    const CheckFieldList& fields = field_lists_[k];
    const auto field = std::find_if(fields.begin(), fields.end(),
                                    [&](const CheckField& f) { return ValuesDistinct(f, count); });
    if (field == fields.end()) continue;
    const std::int64_t value =
        ir::GetCodeFieldValue(bits, elements, field->frame, field->bit, field->width, LsbFirst());
    if (value < 0) continue;
    for (std::size_t s = 0; s < count; ++s)
      if (field->values[s] == value) states[k] = static_cast<int>(s);
  }
  return states;
}

RemoteCheckTexts DescribeResult(const RemoteCheck& check, const RemoteCheckResult& result,
                                const lang::Language& language) {
  RemoteCheckTexts texts;
  const store::TdiskAir& record = check.Record();
  if (result.carrier_differs)
    texts.information = language.Text(kTextCarrierDiffers) + ":" + std::to_string(result.carrier);
  switch (result.outcome) {
    case CheckOutcome::kUnread:
      return texts;
    case CheckOutcome::kRepeatError:
      texts.information += kRepeatErrorText;
      return texts;
    case CheckOutcome::kNoFormat:
      texts.information += ir::PrintProtocol(result.line.Protocol) + kNoFormatText;
      return texts;
    case CheckOutcome::kChecked:
      break;
  }
  texts.information += check.Formats()[static_cast<std::size_t>(result.format)].Text;
  if (result.key) {
    const auto& key = record.Keys[static_cast<std::size_t>(result.key->key)];
    texts.key =
        lang::TranslateKeyName(key.Name.str(), language.LanguageNo()) + (result.key->minus ? "-" : "");
  }
  for (std::size_t k = 0; k < result.states.size(); ++k) {
    const int s = result.states[k];
    if (s < 0) continue;
    texts.values[k] = lang::TranslateStateName(record.Keys[k].StateNames[static_cast<std::size_t>(s)].str(),
                                               language.LanguageNo());
  }
  return texts;
}

}  // namespace klimavo::analysis
