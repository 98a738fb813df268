#include "store/record_summary.h"

#include <algorithm>
#include <cstdio>

#include "ir/protocol.h"
#include "lang/text_numbers.h"

namespace klimavo::store {
namespace {

constexpr const char* kLineEnd = "\r\n";
// Numbers of the language texts the summary is built from.
constexpr int kTextFormat = 56;
constexpr int kTextCode = 57;
constexpr int kTextChecksum = 58;
constexpr int kTextBit = 48;
constexpr int kTextWidthOpen = 49;
constexpr int kTextWidthClose = 50;

std::string Hex(unsigned value, int min_digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", min_digits, value);
  return text;
}

// "(a,b,c)" of the durations in use; nothing when none is.
template <std::size_t N>
std::string DurationGroup(const std::array<std::int32_t, N>& durations) {
  std::string text;
  for (std::int32_t d : durations) {
    if (d == ir::kUnusedDuration) continue;
    text += text.empty() ? "(" : ",";
    text += std::to_string(d);
  }
  return text.empty() ? text : text + ")";
}

std::string SlotsBlock(const TdiskAir& record, const lang::Language& language) {
  std::string text;
  for (std::size_t i = 0; i < kFormatSlots; ++i) {
    const TdiskFormatSlot& slot = record.Slots[i];
    if (slot.Text.empty()) continue;
    text += language.Text(kTextFormat) + std::to_string(i) + ": " + slot.Text.str() + kLineEnd;
    if (record.RemoteType != 0) continue;
    ir::TStrProt_Stru protocol = ir::ParseProtocol(slot.Text.str());
    // A text may describe more bytes than the slot stores; show what is stored.
    std::int64_t n = std::clamp<std::int64_t>(ir::TotalBytes(protocol.Elements), 0, kSlotCodeBytes);
    text += language.Text(kTextCode);
    for (std::int64_t b = 0; b < n; ++b) text += Hex(slot.Code[static_cast<std::size_t>(b)], 2) + " ";
    text += kLineEnd;
  }
  return text;
}

std::string BitAddress(const lang::Language& language, int frame, int bit) {
  return std::to_string(frame) + language.Text(kTextBit) + std::to_string(bit) +
         language.Text(kTextWidthOpen);
}

std::string ChecksumItem(std::size_t slot, const ir::TCrcItem& item, const lang::Language& language) {
  std::string text = language.Text(kTextChecksum) + std::to_string(slot) + std::to_string(item.TargetFrame) +
                     language.Text(kTextBit) + std::to_string(item.TargetBit) +
                     language.Text(kTextWidthOpen) + std::to_string(item.TargetWidth) +
                     language.Text(kTextWidthClose) + "=";
  std::size_t zones = std::min<std::size_t>(item.ZoneCount, item.Zones.size());
  for (std::size_t z = 0; z < zones; ++z) {
    const ir::TCrcZone& zone = item.Zones[z];
    text += "From" + BitAddress(language, zone.StartFrame, zone.StartBit) + "To" +
            BitAddress(language, zone.EndFrame, zone.EndBit) + ";";
  }
  if (item.AuxConst != 0) text += lang::CrcOpName(item.AuxOp) + Hex(item.AuxConst, 2);
  text += lang::CrcKindName(item.Kind, language.LanguageNo()) + "(" + std::to_string(item.OperandWidth) + ")";
  if (item.Const != 0) text += lang::CrcOpName(item.ConstOp) + Hex(item.Const, 2);
  return text + kLineEnd;
}

}  // namespace

std::string RecordSummaryText(const TdiskAir& record, const lang::Language& language) {
  const ir::TIRGsPara& p = record.Params;
  std::string text = language.Text(lang::kTextCarrier) + ":" + std::to_string(p.Carrier) +
                     (record.LsbFirst == 1 ? " LSB" : "MSB") + kLineEnd;
  text += language.Text(lang::kTextLogicCodes);
  for (std::size_t k = 0; k < std::min<std::size_t>(p.LogicCount, p.Logic.size()); ++k)
    text += DurationGroup(p.Logic[k]);
  text += kLineEnd;
  text += language.Text(lang::kTextSplitCodes);
  for (std::size_t k = 0; k < std::min<std::size_t>(p.SplitCount, p.Split.size()); ++k)
    text += DurationGroup(p.Split[k]);
  text += kLineEnd;
  text += SlotsBlock(record, language) + kLineEnd;
  if (record.HasChecksum == 0) return text;
  for (std::size_t i = 0; i < kFormatSlots; ++i) {
    const TdiskFormatSlot& slot = record.Slots[i];
    if (slot.Text.empty() || slot.Crc.HasChecksum == 0) continue;
    std::size_t items = std::min<std::size_t>(slot.Crc.Count, slot.Crc.Items.size());
    for (std::size_t n = 0; n < items; ++n) text += ChecksumItem(i, slot.Crc.Items[n], language);
  }
  return text;
}

}  // namespace klimavo::store
