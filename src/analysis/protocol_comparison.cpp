#include "analysis/protocol_comparison.h"

#include <algorithm>
#include <cstddef>

#include "base/text.h"
#include "ir/checksum.h"
#include "ir/protocol.h"
#include "ir/tolerance.h"

namespace klimavo::analysis {
namespace {

constexpr std::uint8_t kFromKeyKind = 208;   ///< 208 + m: the value of key m
constexpr std::uint8_t kRelativeKind = 241;  ///< a value relative to the stored code
constexpr std::uint8_t kPublicKind = 0;
constexpr int kFixedFunctions = 7;  ///< fixed-value flag bits 0..6
constexpr int kFixedStepBit = 6;    ///< flag bit 6: the temperature step
constexpr int kTemperatureKey = 1;
constexpr std::size_t kMaxCrcItems = 4;
constexpr int kHighestCodeIndex = 63;

std::size_t UsedStates(const store::TdiskKey& key) {
  return std::min<std::size_t>(key.StateCount, store::kMaxStates);
}

bool IsFromKey(std::uint8_t kind, std::size_t keys) {
  return kind >= kFromKeyKind && static_cast<std::size_t>(kind - kFromKeyKind) < keys;
}

bool ValidSlot(int slot) { return slot >= 0 && slot < static_cast<int>(store::kFormatSlots); }

void AddAllowed(ComparisonZone& zone, std::int64_t value) {
  if (value < 0) return;
  if (std::find(zone.allowed.begin(), zone.allowed.end(), value) == zone.allowed.end())
    zone.allowed.push_back(value);
}

bool SamePlace(const ComparisonZone& a, int frame, int bit, int width) {
  return a.frame == frame && a.bit == bit && a.width == width;
}

ComparisonZone ColumnZone(const store::TdiskBitColumn& column, int kind) {
  return ComparisonZone{column.Frame, column.BitPos, column.Width, kind, {}};
}

// Step 2 of building the zones, for one key: every column that is not taken
// from another key, with its set state values.
void AddKeyZones(const store::TdiskAir& record, std::size_t k, bool two_power_codes,
                 std::vector<std::pair<std::size_t, ComparisonZone>>& zones) {
  const store::TdiskKey& key = record.Keys[k];
  for (const store::TdiskBitColumn& column : key.Columns) {
    if (!column.InUse() || IsFromKey(column.Kind, record.UsedKeys())) continue;
    if (k == 0 && two_power_codes) {
      const std::uint8_t v0 = column.Values[0];
      const std::uint8_t v1 = column.Values[1];
      const int kind = v0 == store::kUnsetValue   ? kZonePowerSecond
                       : v1 == store::kUnsetValue ? kZonePowerFirst
                                                  : kZonePowerBoth;
      ComparisonZone zone = ColumnZone(column, kind);
      for (std::uint8_t v : {v0, v1})
        if (v != store::kUnsetValue) zone.allowed.push_back(v);
      zones.emplace_back(k, std::move(zone));
      continue;
    }
    ComparisonZone zone = ColumnZone(column, kZoneColumn);
    for (std::size_t s = 0; s < UsedStates(key); ++s)
      if (column.Values[s] != store::kUnsetValue) zone.allowed.push_back(column.Values[s]);
    zones.emplace_back(k, std::move(zone));
  }
}

// Step 3: only the zones of keys that send the slot under test.
bool KeepsZone(const store::TdiskAir& record, std::size_t k, const ComparisonZone& zone, int slot,
               bool two_power_codes) {
  const store::TdiskKey& key = record.Keys[k];
  if (k == 0 && two_power_codes) {
    if (zone.kind == kZonePowerFirst) return key.Slot == slot;
    if (zone.kind == kZonePowerSecond) return key.Slot2 == slot;
    return false;
  }
  return key.Slot == slot;
}

// Step 4: a column of the power key that takes its value from column c of key m.
void AddFromKeyZones(const store::TdiskAir& record, ComparisonZones& zones) {
  const std::size_t keys = record.UsedKeys();
  if (keys == 0) return;
  for (const store::TdiskBitColumn& column : record.Keys[0].Columns) {
    if (!column.InUse() || !IsFromKey(column.Kind, keys)) continue;
    const std::size_t m = column.Kind - kFromKeyKind;
    const std::size_t c = column.Values[0];
    if (c >= store::kColumnsPerKey) continue;
    const store::TdiskKey& source_key = record.Keys[m];
    const store::TdiskBitColumn& source = source_key.Columns[c];
    if (!source.InUse()) continue;
    ComparisonZone zone = ColumnZone(source, kZoneFromKey);
    for (std::size_t s = 0; s < UsedStates(source_key); ++s)
      if (source.Values[s] != store::kUnsetValue) zone.allowed.push_back(source.Values[s]);
    zones.push_back(std::move(zone));
  }
}

// Step 5: a key whose code also fixes other functions allows, in their fields,
// the values its first code line carries.
void AddFixedValues(const store::TdiskAir& record, const store::TBtnLines& lines, int slot,
                    const ir::TStrProt_Listbase& elements, bool lsb_first, ComparisonZones& zones) {
  const std::size_t keys = record.UsedKeys();
  for (std::size_t k = 0; k < keys; ++k) {
    const store::TdiskKey& key = record.Keys[k];
    if (key.FixedFlags == 0 || key.Slot != slot || k >= lines.size() || lines[k].empty()) continue;
    const ir::TSSByteArray& code = lines[k].front().Data;
    for (int j = 0; j < kFixedFunctions; ++j) {
      if ((key.FixedFlags & (1u << j)) == 0) continue;
      const std::size_t t = j == kFixedStepBit ? kTemperatureKey : static_cast<std::size_t>(j);
      if (t == k || t >= keys) continue;
      for (const store::TdiskBitColumn& column : record.Keys[t].Columns) {
        if (!column.InUse()) continue;
        const bool wanted = j == kFixedStepBit
                                ? column.Kind == kRelativeKind
                                : column.Kind == kPublicKind || column.Kind == store::kUnsetValue;
        if (!wanted) continue;
        const auto zone = std::find_if(zones.begin(), zones.end(), [&](const ComparisonZone& z) {
          return SamePlace(z, column.Frame, column.BitPos, column.Width);
        });
        if (zone == zones.end()) continue;
        AddAllowed(*zone, ir::GetCodeFieldValueOfBytes(code, elements, column.Frame, column.BitPos,
                                                       column.Width, lsb_first));
      }
    }
  }
}

// Step 6: zones on the same bits become one; the first keeps its place and kind.
ComparisonZones MergeZones(const ComparisonZones& zones) {
  ComparisonZones merged;
  for (const ComparisonZone& z : zones) {
    const auto same = std::find_if(merged.begin(), merged.end(), [&](const ComparisonZone& m) {
      return SamePlace(m, z.frame, z.bit, z.width);
    });
    if (same == merged.end())
      merged.push_back(z);
    else
      for (std::int64_t v : z.allowed) AddAllowed(*same, v);
  }
  return merged;
}

bool InZone(const ComparisonZones& zones, int frame, int position) {
  return std::any_of(zones.begin(), zones.end(), [&](const ComparisonZone& z) {
    return z.frame == frame && position >= z.bit && position < z.bit + z.width;
  });
}

}  // namespace

std::string_view StepName(ComparisonStep step) {
  switch (step) {
    case ComparisonStep::kLogic:
      return "logic";
    case ComparisonStep::kStructure:
      return "structure";
    case ComparisonStep::kStoredCode:
      return "stored_code";
    case ComparisonStep::kChecksum:
      return "checksum";
    case ComparisonStep::kCodeBits:
      return "code_bits";
  }
  return "";
}

bool HasTwoPowerCodes(const store::TdiskAir& record) {
  const store::TdiskKey& power = record.Keys[0];
  return power.Slot != store::kNoSlot && power.Slot2 != store::kNoSlot && power.Slot != power.Slot2;
}

bool SameStructureLoose(const ir::TStrProt_Stru& a, const ir::TStrProt_Stru& b) {
  if (a.Repeat != b.Repeat) return false;
  const ir::TStrProt_Listbase ma = ir::MergeElements(a.Elements);
  const ir::TStrProt_Listbase mb = ir::MergeElements(b.Elements);
  if (ma.size() != mb.size()) return false;
  for (std::size_t i = 0; i < ma.size(); ++i) {
    if (ma[i].IsData() != mb[i].IsData()) return false;
    if (ma[i].IsData() && ma[i].Value != mb[i].Value) return false;
  }
  return true;
}

ComparisonZones BuildFunctionZones(const store::TdiskAir& record, const store::TBtnLines& lines, int slot,
                                   const ir::TStrProt_Listbase& elements, bool lsb_first) {
  const bool two_power_codes = HasTwoPowerCodes(record);
  std::vector<std::pair<std::size_t, ComparisonZone>> key_zones;
  for (std::size_t k = 0; k < record.UsedKeys(); ++k) AddKeyZones(record, k, two_power_codes, key_zones);
  ComparisonZones zones;
  for (auto& [k, zone] : key_zones)
    if (KeepsZone(record, k, zone, slot, two_power_codes)) zones.push_back(std::move(zone));
  AddFromKeyZones(record, zones);
  AddFixedValues(record, lines, slot, elements, lsb_first, zones);
  return MergeZones(zones);
}

TTheAcComp::TTheAcComp(const store::TdiskAirList& library, ComparisonSettings settings)
    : library_(library), settings_(settings) {}

std::vector<int> TTheAcComp::CompareWithLibrary(const ir::Tcomp_aval& capture,
                                                const ComparisonProgress& progress) {
  capture_ = capture;
  diagnostics_.clear();
  rejections_.clear();
  cancelled_ = false;
  std::vector<int> hits;
  const int total = static_cast<int>(library_.size());
  for (int i = 0; i < total; ++i) {
    if (MatchRecord(i)) hits.push_back(i);
    if (progress && !progress(i + 1, total)) {
      cancelled_ = i + 1 < total;
      break;
    }
  }
  return hits;
}

bool TTheAcComp::CompareWithRecord(const ir::Tcomp_aval& capture, int index) {
  capture_ = capture;
  diagnostics_.clear();
  rejections_.clear();
  cancelled_ = false;
  if (index < 0 || index >= static_cast<int>(library_.size())) return false;
  return MatchRecord(index);
}

bool TTheAcComp::MatchRecord(int index) {
  const store::LibraryRecord& entry = library_[static_cast<std::size_t>(index)];
  const store::TdiskAir& record = entry.Record;
  if (!LogicCodesMatch(record)) {
    Reject(index, ComparisonStep::kLogic);
    return false;
  }
  if (!StructureMatches(record)) {
    Reject(index, ComparisonStep::kStructure);
    return false;
  }
  if (!StoredCodeMatches(record)) {
    Reject(index, ComparisonStep::kStoredCode);
    return false;
  }
  if (!ChecksumsCompute(record)) {
    Reject(index, ComparisonStep::kChecksum);
    return false;
  }
  const std::size_t posted = diagnostics_.size();
  const int code = CheckCodeBits(entry, index);
  if (code == 0) return true;
  // One pair per record: a reason the code test already reported stands.
  if (diagnostics_.size() == posted) Post(index, code);
  Reject(index, ComparisonStep::kCodeBits, code);
  return false;
}

bool TTheAcComp::LogicCodesMatch(const store::TdiskAir& record) const {
  if (capture_.LogicCodes.size() != record.Params.LogicCount) return false;
  if (capture_.LogicCodes.size() > static_cast<std::size_t>(ir::TIRGsPara::kMaxLogic)) return false;
  for (std::size_t k = 0; k < capture_.LogicCodes.size(); ++k) {
    const ir::TIRIntegerArr& code = capture_.LogicCodes[k];
    const auto& stored = record.Params.Logic[k];
    for (std::size_t j = 0; j < code.size() && j < stored.size(); ++j) {
      if (stored[j] == ir::kUnusedDuration) break;
      if (!ir::IsNearAbs50(code[j], stored[j], settings_.decode_tolerance)) return false;
    }
  }
  return true;
}

bool TTheAcComp::StructureMatches(const store::TdiskAir& record) {
  for (const std::uint8_t slot : {record.Keys[0].Slot, record.Keys[0].Slot2}) {
    slot_ = slot;
    if (!ValidSlot(slot)) continue;
    const std::string text = base::Trim(record.Slots[slot].Text.str());
    if (text.empty()) continue;
    if (SameStructureLoose(ir::ParseProtocol(text), capture_.Protocol)) return true;
  }
  return false;
}

// A remote without display sends one stored code per key: slot q holds key
// q's code and the slot after the last key the temperature-down code. The
// capture fits when it is one of them, so any key of the remote finds the
// record; that code is then the stored code of the code-bit test.
bool TTheAcComp::StoredCodeMatches(const store::TdiskAir& record) {
  stored_slot_ = slot_;
  if (record.RemoteType != 1) return true;
  const bool lsb_first = record.LsbFirst != 0;
  ir::TSSByteArray bytes = lsb_first ? capture_.Bytes : capture_.BytesMsb;
  // A decode made in one bit order only lacks the other order's bytes.
  if (bytes.empty()) ir::BitsToBytes(capture_.Protocol.Elements, capture_.Bits, lsb_first, bytes);
  if (bytes.size() > store::kSlotCodeBytes) return false;
  const std::size_t last_slot = std::min(record.UsedKeys(), store::kFormatSlots - 1);
  for (std::size_t q = 0; q <= last_slot; ++q) {
    if (!std::equal(bytes.begin(), bytes.end(), record.Slots[q].Code.begin())) continue;
    stored_slot_ = static_cast<int>(q);
    return true;
  }
  return false;
}

bool TTheAcComp::ChecksumsCompute(const store::TdiskAir& record) const {
  if (record.HasChecksum == 0 || !ValidSlot(slot_)) return true;
  const ir::TCrcBlock& crc = record.Slots[static_cast<std::size_t>(slot_)].Crc;
  if (crc.HasChecksum == 0 || crc.Count == 0) return true;
  const bool lsb_first = record.LsbFirst != 0;
  const ir::TStrProt_Listbase& elements = capture_.Protocol.Elements;
  for (std::size_t i = 0; i < std::min<std::size_t>(crc.Count, kMaxCrcItems); ++i) {
    if (ir::CrcCalculate(capture_.Bits, crc.Items[i], elements, lsb_first) !=
        ir::CrcReadTarget(capture_.Bits, crc.Items[i], elements, lsb_first))
      return false;
  }
  return true;
}

int TTheAcComp::CheckCodeBits(const store::LibraryRecord& entry, int index) {
  const store::TdiskAir& record = entry.Record;
  const bool lsb_first = record.LsbFirst != 0;
  const ir::TStrProt_Listbase& elements = capture_.Protocol.Elements;
  ComparisonZones zones = BuildFunctionZones(record, entry.Lines, slot_, elements, lsb_first);
  ComparisonZones checksum_zones;
  const store::TdiskFormatSlot& slot = record.Slots[static_cast<std::size_t>(slot_)];
  if (slot.Crc.HasChecksum != 0) {
    for (std::size_t i = 0; i < std::min<std::size_t>(slot.Crc.Count, kMaxCrcItems); ++i) {
      const ir::TCrcItem& item = slot.Crc.Items[i];
      checksum_zones.push_back({item.TargetFrame, item.TargetBit, item.TargetWidth, kZoneColumn, {}});
    }
  }

  ir::TSSByteArray stored;
  const auto& stored_code = record.Slots[static_cast<std::size_t>(stored_slot_)].Code;
  if (!ir::BytesToBitsFixed(elements, stored_code, kHighestCodeIndex, lsb_first, stored)) {
    Post(index, kReasonStoredCodeUnreadable);
    return kReasonStoredCodeUnreadable;
  }
  if (stored.size() != capture_.Bits.size()) {
    Post(index, kReasonBitCountDiffers);
    return kReasonBitCountDiffers;
  }
  if (!settings_.skip_base_data) {
    ComparisonZones all = zones;
    all.insert(all.end(), checksum_zones.begin(), checksum_zones.end());
    if (const int differs = BaseBitsDiffer(stored, all, index); differs != 0) return differs;
  }
  for (ComparisonZone& zone : zones)
    AddAllowed(zone, ir::GetCodeFieldValue(stored, elements, zone.frame, zone.bit, zone.width, lsb_first));
  for (std::size_t z = 0; z < zones.size(); ++z) {
    const ComparisonZone& zone = zones[z];
    const std::int64_t value =
        ir::GetCodeFieldValue(capture_.Bits, elements, zone.frame, zone.bit, zone.width, lsb_first);
    const int reason = static_cast<int>(z) + 1;
    if (value < 0) {
      Post(index, reason);
      return reason;
    }
    if (std::find(zone.allowed.begin(), zone.allowed.end(), value) == zone.allowed.end()) return reason;
  }
  return 0;
}

// The bits outside every field and checksum target must be the stored ones.
// Returns 0, or the position + 1 of the first differing bit in its frame.
int TTheAcComp::BaseBitsDiffer(const ir::TSSByteArray& stored, const ComparisonZones& zones, int index) {
  const ir::TSSByteArray& bits = capture_.Bits;
  std::size_t offset = 0;
  int frame = -1;
  bool previous_data = false;
  for (const ir::TStrProtItem& e : capture_.Protocol.Elements) {
    const bool starts_run = e.IsData() && !previous_data;
    previous_data = e.IsData();
    if (!starts_run) continue;
    ++frame;
    const std::size_t n = e.Value;
    if (offset + n > bits.size()) {
      Post(index, kReasonCaptureTooShort);
      return 1;
    }
    for (std::size_t p = 0; p < n; ++p) {
      if (InZone(zones, frame, static_cast<int>(p))) continue;
      if (stored[offset + p] != bits[offset + p]) return static_cast<int>(p) + 1;
    }
    offset += n;
  }
  return 0;
}

}  // namespace klimavo::analysis
