#include "firmware/record_preparation.h"

#include <algorithm>
#include <array>

#include "base/text.h"
#include "ir/protocol.h"

namespace klimavo::firmware {
namespace {

constexpr std::size_t kMinKeys = 6;
// The remote's firmware knows six function keys (power to vane), each with its
// field of the key-format word: a seventh key has no place in the tables.
constexpr std::size_t kMaxKeys = 6;
constexpr std::size_t kMaxFormats = 4;
constexpr std::size_t kMaxItems = 4;
constexpr std::uint8_t kAppendOneBitKind = 8;  // "Append one bit,CheckSum"
constexpr int kValueOfKeyBase = 208;           // column kind 208 + k: a value of key k
constexpr std::array<const char*, 4> kTripleCodes = {"0147", "0148", "0149", "0150"};

bool SlotHasText(const store::TdiskFormatSlot& slot) { return !slot.Text.empty(); }

// Most-significant-bit-first records keep the r bits of a partial byte at its top.
void AlignPartialBytes(store::TdiskAir& copy) {
  for (auto& slot : copy.Slots) {
    if (!SlotHasText(slot)) continue;
    std::size_t cursor = 0;
    for (const auto& e : ir::ParseProtocol(slot.Text.str()).Elements) {
      if (!e.IsData()) continue;
      cursor += e.Value / 8;
      int r = e.Value % 8;
      if (r == 0) continue;
      if (cursor >= store::kSlotCodeBytes) break;
      slot.Code[cursor] = static_cast<std::uint8_t>((slot.Code[cursor] << (8 - r)) & 0xFF);
      ++cursor;
    }
  }
}

bool DecideSevenBitFirst(const store::TdiskAir& copy) {
  for (const auto& slot : copy.Slots)
    if (SlotHasText(slot) && slot.Crc.HasChecksum) return slot.Crc.Items[0].Kind == kAppendOneBitKind;
  return false;
}

// Columns of a key that fold away: frames 1 … runs - 1 below bit b.
bool FoldsAway(const store::TdiskBitColumn& c, int runs, int bits) {
  return c.InUse() && c.Frame >= 1 && c.Frame < runs && c.BitPos < bits;
}

// The frames of a format repeat the bytes of frame 0; its bit count per run or 0.
int RepeatedRunBits(const store::Tex_gsstrut& format, int& runs) {
  ir::TStrProt_Stru prot = ir::ParseProtocol(format.Text);
  if (prot.Repeat > 1) return 0;
  ir::TStrProt_Listbase merged = ir::MergeElements(prot.Elements);
  runs = ir::DataRunCount(merged);
  if (runs < 2) return 0;
  int bits = -1;
  for (const auto& e : merged) {
    if (!e.IsData()) continue;
    if (bits >= 0 && e.Value != bits) return 0;
    bits = e.Value;
  }
  const std::size_t B = (static_cast<std::size_t>(bits) + 7) / 8;
  const auto& code = format.CodeData;
  for (int k = 1; k < runs; ++k)
    for (std::size_t i = 0; i < B; ++i) {
      std::size_t at = static_cast<std::size_t>(k) * B + i;
      if (at >= code.size() || code[at] != code[i]) return 0;
    }
  return bits;
}

bool KeysAllowFolding(const store::TdiskAir& copy, int frame_index, int runs, int bits) {
  for (std::size_t k = 0; k < copy.UsedKeys(); ++k) {
    const store::TdiskKey& key = copy.Keys[k];
    if (key.Slot != frame_index) continue;
    std::vector<const store::TdiskBitColumn*> cols;
    for (const auto& c : key.Columns)
      if (c.InUse() && c.Frame < runs && c.BitPos < bits) cols.push_back(&c);
    if (cols.empty()) return true;  // the check stops at the first key without such columns
    if (cols.size() % static_cast<std::size_t>(runs) != 0) return false;
    const std::size_t s = std::min<std::size_t>(key.StateCount, store::kMaxStates);
    for (int run = 1; run < runs; ++run)
      for (const auto* c0 : cols) {
        if (c0->Frame != 0) continue;
        bool found = std::any_of(cols.begin(), cols.end(), [&](const store::TdiskBitColumn* c) {
          return c->Frame == run && c->BitPos == c0->BitPos && c->Width == c0->Width &&
                 std::equal(c->Values.begin(), c->Values.begin() + static_cast<std::ptrdiff_t>(s),
                            c0->Values.begin());
        });
        if (!found) return false;
      }
  }
  return true;
}

void FoldKeys(store::TdiskAir& copy, int frame_index, int runs, int bits) {
  for (std::size_t k = 0; k < copy.UsedKeys(); ++k) {
    store::TdiskKey& key = copy.Keys[k];
    if (key.Slot != frame_index) continue;
    // Positions among this key's used columns lose the columns that fold away before them.
    std::vector<int> removed_before;
    int removed = 0;
    for (const auto& c : key.Columns) {
      if (!c.InUse()) continue;
      removed_before.push_back(removed);
      if (FoldsAway(c, runs, bits)) ++removed;
    }
    for (std::size_t o = 0; o < copy.UsedKeys(); ++o) {
      if (o == k) continue;
      for (auto& c : copy.Keys[o].Columns) {
        if (!c.InUse() || c.Kind != kValueOfKeyBase + static_cast<int>(k)) continue;
        std::size_t pos = c.Values[0];
        if (pos < removed_before.size()) c.Values[0] = static_cast<std::uint8_t>(pos - removed_before[pos]);
      }
    }
    for (auto& c : key.Columns)
      if (FoldsAway(c, runs, bits)) c.Frame = store::kUnusedFrame;
  }
}

}  // namespace

bool IsTripleFrameCode(const store::TdiskAir& record) {
  std::string code = base::Trim(record.CodeNo.str());
  return std::any_of(kTripleCodes.begin(), kTripleCodes.end(), [&](const char* c) { return code == c; });
}

int PrepareErrorCode(PrepareStatus status, const PrepareErrorCodes& codes) {
  switch (status) {
    case PrepareStatus::kKeyCount:
      return codes.key_count;
    case PrepareStatus::kTooManyKeys:
      return codes.too_many_keys;
    case PrepareStatus::kFormatWithoutKey:
      return codes.format_without_key;
    case PrepareStatus::kTooManyFormats:
      return codes.too_many_formats;
    case PrepareStatus::kNoFormat:
      return codes.no_format;
    case PrepareStatus::kOk:
      break;
  }
  return 0;
}

bool ApplySpecialCodeNumbers(store::TdiskAir& copy) {
  if (!IsTripleFrameCode(copy)) return false;
  for (std::size_t k = 0; k < copy.UsedKeys(); ++k)
    for (auto& c : copy.Keys[k].Columns)
      if (c.Frame != store::kUnusedFrame && c.Frame != 0) c.Frame = store::kUnusedFrame;
  for (auto& slot : copy.Slots)
    if (!base::Trim(slot.Text.str()).empty() && slot.Crc.HasChecksum && copy.HasChecksum) slot.Crc.Count = 1;
  return true;
}

void ShiftCodeOneBit(store::TdiskAir& copy) {
  const bool lsb = copy.LsbFirst != 0;
  for (auto& slot : copy.Slots) {
    if (!SlotHasText(slot)) continue;
    const auto c = slot.Code;
    slot.Code[0] = static_cast<std::uint8_t>(c[0] >> 1);
    for (std::size_t i = 1; i < c.size(); ++i)
      slot.Code[i] = lsb ? static_cast<std::uint8_t>((c[i] * 2 + (c[i - 1] & 1)) & 0xFF)
                         : static_cast<std::uint8_t>((c[i] >> 1) + ((c[i - 1] & 1) * 128));
    const std::size_t items = std::min<std::size_t>(slot.Crc.Count, kMaxItems);
    for (std::size_t j = 0; j < items; ++j) {
      ir::TCrcItem& item = slot.Crc.Items[j];
      item.TargetBit = static_cast<std::uint16_t>(item.TargetBit + 1);
      for (auto& zone : item.Zones) zone.EndBit = static_cast<std::uint16_t>(zone.EndBit + 1);
    }
  }
  for (std::size_t k = 0; k < copy.UsedKeys(); ++k)
    for (auto& c : copy.Keys[k].Columns)
      if (c.InUse()) c.BitPos = static_cast<std::uint16_t>(c.BitPos + 1);
}

void FoldRepeatedFrames(store::TdiskAir& copy, store::Tex_gssList& formats) {
  const store::TdiskKey& power = copy.Keys[0];
  if (power.Slot2 != store::kNoSlot && power.Slot2 != power.Slot) return;
  for (auto& format : formats) {
    int runs = 0;
    int bits = RepeatedRunBits(format, runs);
    if (bits <= 0) continue;
    if (!KeysAllowFolding(copy, format.FrameIndex, runs, bits)) continue;
    FoldKeys(copy, format.FrameIndex, runs, bits);
    format.FramesShareData = 1;
  }
}

PreparedFormats PrepareRecordForTables(store::TdiskAir& copy) {
  PreparedFormats out;
  if (copy.KeyCount < kMinKeys) {
    out.status = PrepareStatus::kKeyCount;
    return out;
  }
  if (copy.KeyCount > kMaxKeys) {
    out.status = PrepareStatus::kTooManyKeys;
    return out;
  }
  out.seven_bit_first = DecideSevenBitFirst(copy);
  if (copy.LsbFirst == 0) AlignPartialBytes(copy);
  if (out.seven_bit_first) ShiftCodeOneBit(copy);
  out.formats = store::BuildFormatList(copy);
  if (std::any_of(out.formats.begin(), out.formats.end(), [](const auto& f) { return f.KeyIndexes.empty(); }))
    out.status = PrepareStatus::kFormatWithoutKey;
  else if (out.formats.size() > kMaxFormats)
    out.status = PrepareStatus::kTooManyFormats;
  else if (out.formats.empty())
    out.status = PrepareStatus::kNoFormat;
  if (out.status != PrepareStatus::kOk) return out;
  if (!out.seven_bit_first && copy.RemoteType == 0) FoldRepeatedFrames(copy, out.formats);
  return out;
}

std::string RecordLabel(const store::TdiskAir& record) {
  std::string label = base::Trim(record.Brand.str()) + "_" + base::Trim(record.CodeNo.str());
  for (char& ch : label)
    if (ch == ' ' || ch == '-') ch = '_';
  return label;
}

}  // namespace klimavo::firmware
