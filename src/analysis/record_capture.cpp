#include "analysis/record_capture.h"

#include "base/text.h"
#include "ir/decode.h"
#include "ir/known_format.h"
#include "ir/protocol.h"

namespace klimavo::analysis {

RecordCapture ReadRecordCapture(const ir::TIRIntegerArr& durations, ir::TIRGsPara& params,
                                const std::array<store::TdiskFormatSlot, store::kFormatSlots>& slots,
                                double decode_tolerance) {
  RecordCapture out;
  ir::TIRIntegerArr micros;
  micros.reserve(durations.size() + 1);
  for (std::int32_t d : durations) micros.push_back(ir::TicksToMicros(d));
  // A capture cut off after its last mark gets a gap like its first one.
  if (micros.size() >= 2 && micros.back() > 0) micros.push_back(micros[1]);

  const ir::KnownFormat format{params, decode_tolerance};
  for (std::size_t s = 0; s < slots.size(); ++s) {
    const std::string text = base::Trim(slots[s].Text.str());
    if (text.empty()) break;
    const ir::TStrProt_Stru structure = ir::ParseProtocol(text);
    ir::TSSByteArray bits;
    if (ir::MatchCaptureToProtocol(micros, format, structure, bits)) {
      out.decoded = true;
      out.bits = std::move(bits);
      out.structure.Elements = ir::MergeElements(structure.Elements);
      out.structure.Repeat = structure.Repeat;
      out.slot = static_cast<int>(s);
      return out;
    }
  }

  ir::TSSByteArray bits;
  ir::TStrProt_Listbase elements;
  if (ir::MatchCapture(micros, format, bits, elements) < 1) return out;
  out.decoded = true;
  out.structure.Repeat = 1;
  out.structure.Elements = ir::MergeElements(elements);
  const ir::TIRGsPara before = params;
  if (ir::FixTail(params, bits, out.structure.Elements, decode_tolerance) < 0 && !bits.empty())
    bits.pop_back();
  out.params_changed = !(params == before);
  ir::DetectRepeat(bits, out.structure);
  const auto repeat = static_cast<std::size_t>(out.structure.Repeat);
  if (repeat >= 2) {
    if (bits.size() % repeat != 0)
      out.repeat_mismatch = true;
    else
      bits.resize(bits.size() / repeat);
  }
  out.bits = std::move(bits);
  return out;
}

}  // namespace klimavo::analysis
