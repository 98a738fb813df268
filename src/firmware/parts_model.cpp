#include "firmware/parts_model.h"

#include <algorithm>
#include <cstdlib>

#include "ir/protocol.h"

namespace klimavo::firmware {
namespace {

using ir::TSSByteArray;

constexpr int kBitsPerUnit = 8;
constexpr int kMaxFieldBits = 32;
constexpr std::size_t kRotatedVaneGroup = 6;   // vane groups of six values start with the last one
constexpr std::size_t kSteppedTempGroup = 15;  // a full temperature range kept as its two ends

// The working state of one build: the source, the model and the flags of the passes.
class Builder {
 public:
  explicit Builder(const PartsSource& src) : src_(src), rec_(src.record) {
    keys_ = static_cast<int>(rec_.UsedKeys());
    model_.tables.resize(static_cast<std::size_t>(keys_));
    if (src_.generator_b) FindPowerFormats(src_.formats, model_);
  }

  PartsModel Run() {
    BaseParts();
    FixedParts();
    ModeParts();
    GroupsAndReferences();
    for (TPartsTable& t : model_.tables) {
      t.GroupCount = static_cast<std::int32_t>(t.Groups.size());
      t.FirstGroupLength = t.Groups.empty() ? 0 : static_cast<std::int32_t>(t.Groups.front().size());
    }
    return std::move(model_);
  }

 private:
  std::vector<TPartsInfo>& Parts(int k) { return model_.tables[static_cast<std::size_t>(k)].Parts; }
  const store::TdiskKey& Key(int k) const { return rec_.Keys[static_cast<std::size_t>(k)]; }
  bool HasLines(int k) const {
    return k >= 0 && static_cast<std::size_t>(k) < src_.lines.size() &&
           !src_.lines[static_cast<std::size_t>(k)].empty();
  }
  std::int64_t Read(const store::TGrdDataLine& line, const TPartsInfo& p) const {
    return ReadLineField(line, p.ByteIndex, p.StartBit, p.Width, rec_.LsbFirst != 0, src_.seven_bit_first);
  }
  int InitialGroup(std::uint8_t type) const { return src_.generator_b && type == kPartNormal ? -1 : 0; }

  // The element list of the key's own format slot.
  ir::TStrProt_Listbase KeyElements(const store::TdiskKey& key) const {
    std::uint8_t slot = key.Slot;
    if (slot >= store::kFormatSlots || rec_.Slots[slot].Text.empty()) slot = key.Slot2;
    if (slot >= store::kFormatSlots) return {};
    return ir::ParseProtocol(rec_.Slots[slot].Text.str()).Elements;
  }

  // Two keys share a format when their frame indexes agree (generator B); the
  // power key with two formats also shares its second one.
  bool ShareFormat(int a, int b) const {
    if (Key(a).Slot == Key(b).Slot) return true;
    if (!model_.two_power_formats) return false;
    if (a == kKeyPower) return Key(b).Slot == Key(a).Slot2;
    if (b == kKeyPower) return Key(a).Slot == Key(b).Slot2;
    return false;
  }

  TPartsInfo ColumnPart(int k, int c, const store::TdiskBitColumn& col,
                        const ir::TStrProt_Listbase& elements) {
    TPartsInfo p;
    p.ByteIndex = static_cast<std::int32_t>(ir::ByteOffsetOfRun(elements, col.Frame, col.BitPos));
    p.StartBit = col.BitPos % kBitsPerUnit;
    p.Width = col.Width;
    p.DefaultInclude = true;
    p.Column = c;
    const store::TdiskKey& key = Key(k);
    const auto& v = col.Values;
    if (k == kKeyTemp && col.Kind == kRelativeValue) {
      p.Type = kPartStep;
      p.RefKey = kKeyTemp;
      p.Values = {v[1], v[0]};
    } else if (key.StateCount == 2 && v[0] == kRelativeValue) {
      p.Type = kPartPowerSpecial;
      p.Values = {v[0], v[1]};
      p.Included = true;
    } else if (src_.generator_b && col.Kind >= kKeyModeBase && col.Kind - kKeyModeBase < keys_) {
      p.Type = kPartMoving;
      p.RefKey = col.Kind - kKeyModeBase;
      p.Values = {v[0]};
    } else if (key.StateCount == 2 && v[1] == kRelativeValue) {
      p.Type = kPartReference;
      p.Values = {v[0]};
    } else {
      NormalValues(k, col, p);
    }
    p.Group = InitialGroup(p.Type);
    if (model_.two_power_formats && k == kKeyPower) PowerFormat(p, col);
    return p;
  }

  void NormalValues(int k, const store::TdiskBitColumn& col, TPartsInfo& p) {
    const int states = std::min<int>(Key(k).StateCount, store::kMaxStates);
    p.Type = kPartNormal;
    for (int s = 0; s < states; ++s) {
      std::uint8_t value = col.Values[static_cast<std::size_t>(s)];
      if ((k == kKeyMode || k == kKeyVane) && value == store::kUnsetValue) break;
      p.Values.push_back(value);
    }
    if (col.Kind == kKindPrivate) {
      p.Included = true;
      p.DefaultInclude = false;
    }
    if (k == kKeyFan && col.Kind == kRelativeValue) model_.fan_mode_dependent = true;
    auto pad = [&] {
      while (!p.Values.empty() && p.Values.size() < static_cast<std::size_t>(states))
        p.Values.push_back(p.Values[0]);
    };
    if (k == kKeyVane && p.Values.size() > 1) {
      bool all_equal =
          std::all_of(p.Values.begin(), p.Values.end(), [&](auto x) { return x == p.Values[0]; });
      if (all_equal)
        p.Values.resize(1);
      else if (p.Values.size() != kRotatedVaneGroup)
        pad();
    } else if (k == kKeyMode) {
      pad();
    }
  }

  // Generator B: a power part that belongs to one of the power key's two formats.
  void PowerFormat(TPartsInfo& p, const store::TdiskBitColumn& col) const {
    if (p.Type == kPartNormal) {
      if (col.Values[1] == store::kUnsetValue)
        p.Format = model_.power_format1;
      else if (col.Values[0] == store::kUnsetValue)
        p.Format = model_.power_format2;
      else
        return;
      if (!p.Included) p.Resolved = true;
    } else if (p.Type == kPartReference && p.Values[0] == store::kUnsetValue) {
      p.Format = model_.power_format2;
    }
  }

  void BaseParts() {
    for (int k = 0; k < keys_; ++k) {
      const ir::TStrProt_Listbase elements = KeyElements(Key(k));
      for (std::size_t c = 0; c < store::kColumnsPerKey; ++c) {
        const store::TdiskBitColumn& col = Key(k).Columns[c];
        if (col.InUse()) Parts(k).push_back(ColumnPart(k, static_cast<int>(c), col, elements));
      }
    }
  }

  // A key's code that also fixes the fields of another key gives a fixed part.
  void FixedParts() {
    for (int p = 0; p < keys_; ++p) {
      if (!HasLines(p)) continue;
      const store::TGrdDataLine& line = src_.lines[static_cast<std::size_t>(p)].front();
      for (int d = 0; d <= kFixedStepFlag; ++d) {
        if (!(Key(p).FixedFlags & (1u << d))) continue;
        const int dk = d == kFixedStepFlag ? kKeyTemp : d;
        if (dk == p || dk >= keys_) continue;
        const std::vector<TPartsInfo> sources = Parts(dk);
        for (const TPartsInfo& s : sources) {
          bool wanted =
              d == kFixedStepFlag ? s.Type == kPartStep : (s.Type == kPartNormal || s.Type == kPartReference);
          if (!wanted) continue;
          if (model_.two_power_formats && dk == kKeyPower && s.Format >= 0 && Key(p).Slot != s.Format)
            continue;
          const auto v = static_cast<std::uint8_t>(Read(line, s));
          if (dk == kKeyPower && s.Column >= 0 &&
              v == Key(kKeyPower).Columns[static_cast<std::size_t>(s.Column)].Values[1])
            continue;
          TPartsInfo f;
          f.Type = kPartFixed;
          f.RefKey = dk;
          f.ByteIndex = s.ByteIndex;
          f.StartBit = s.StartBit;
          f.Width = s.Width;
          f.StepFlag = d == kFixedStepFlag ? 1 : 0;
          f.Values = {v};
          f.Included = true;
          f.Group = InitialGroup(kPartFixed);
          Parts(p).push_back(f);
        }
      }
    }
  }

  TPartsInfo ModeMapPart(int ref_key, int ref_part, std::uint8_t mask) {
    const TPartsInfo& src = Parts(ref_key)[static_cast<std::size_t>(ref_part)];
    TPartsInfo m;
    m.Type = kPartModeMap;
    m.RefKey = ref_key;
    m.RefPart = ref_part;
    m.ByteIndex = src.ByteIndex;
    m.StartBit = src.StartBit;
    m.Width = src.Width;
    m.DefaultInclude = true;
    const auto& lines = src_.lines[kKeyMode];
    for (int s = 0; s < Key(kKeyMode).StateCount; ++s) {
      bool fixed = s < 8 && (mask & (1u << s));
      m.Values.push_back(fixed ? static_cast<std::uint8_t>(Read(lines[static_cast<std::size_t>(s)], src))
                               : kRelativeValue);
    }
    return m;
  }

  // Mode states that fix the temperature or the fan.
  void ModeParts() {
    if (keys_ <= kKeyFan) return;
    if (!HasLines(0) || !HasLines(1) || !HasLines(2)) return;
    if (src_.lines[kKeyMode].size() < Key(kKeyMode).StateCount) return;
    const std::uint8_t temp_mask = Key(kKeyMode).Extra[0];
    const std::uint8_t fan_mask = Key(kKeyMode).Extra[1];
    if (temp_mask != 0) {
      for (std::size_t i = 0; i < Parts(kKeyTemp).size(); ++i) {
        if (Parts(kKeyTemp)[i].Type != kPartNormal) continue;
        TPartsInfo m = ModeMapPart(kKeyTemp, static_cast<int>(i), temp_mask);
        Parts(kKeyMode).push_back(m);
        Parts(kKeyTemp)[i].ModeDependent = 1;
      }
    }
    if (model_.fan_mode_dependent) {
      FanModeTables(fan_mask);
    } else if (fan_mask != 0) {
      for (std::size_t i = 0; i < Parts(kKeyFan).size(); ++i) {
        if (Parts(kKeyFan)[i].Type != kPartNormal) continue;
        TPartsInfo m = ModeMapPart(kKeyFan, static_cast<int>(i), fan_mask);
        Parts(kKeyMode).push_back(m);
        Parts(kKeyFan)[i].ModeDependent = 1;
      }
    }
  }

  // Per mode state and fan state the value the fan field takes (fan mode-dependent).
  void FanModeTables(std::uint8_t fan_mask) {
    const int modes = Key(kKeyMode).StateCount;
    const int fans = Key(kKeyFan).StateCount;
    std::vector<TSSByteArray> previous;  // the lists made for the previous fan part
    for (std::size_t i = 0; i < Parts(kKeyFan).size(); ++i) {
      TPartsInfo& fan = Parts(kKeyFan)[i];
      if (fan.Type != kPartNormal) continue;
      const TPartsInfo* mode = nullptr;
      for (const TPartsInfo& q : Parts(kKeyMode))
        if (q.Type == kPartNormal && SameBits(q, fan)) {
          mode = &q;
          break;
        }
      TPartsInfo t;
      t.Type = kPartModeTable;
      t.RefKey = kKeyFan;
      t.RefPart = static_cast<int>(i);
      t.ByteIndex = fan.ByteIndex;
      t.StartBit = fan.StartBit;
      t.Width = fan.Width;
      t.DefaultInclude = true;
      for (int s = 0; s < modes; ++s) {
        TSSByteArray list(static_cast<std::size_t>(std::max(fans, 0)), 0);
        for (int j = 0; mode && j < fans; ++j) {
          const int x = static_cast<std::size_t>(s) < mode->Values.size()
                            ? mode->Values[static_cast<std::size_t>(s)]
                            : 0;
          const int fv =
              static_cast<std::size_t>(j) < fan.Values.size() ? fan.Values[static_cast<std::size_t>(j)] : 255;
          int entry;
          if (s < 8 && (fan_mask & (1u << s)))
            entry = x;
          else if (fv == store::kUnsetValue)
            entry = ~(static_cast<std::size_t>(s) < previous.size() &&
                              static_cast<std::size_t>(j) < previous[static_cast<std::size_t>(s)].size()
                          ? previous[static_cast<std::size_t>(s)][static_cast<std::size_t>(j)]
                          : 0);
          else
            entry = x - fv + 16;
          list[static_cast<std::size_t>(j)] = static_cast<std::uint8_t>(entry & 0xFF);
        }
        t.ModeValues.push_back(std::move(list));
      }
      fan.ModeDependent = 1;
      fan.Values.clear();
      previous = t.ModeValues;
      Parts(kKeyMode).push_back(std::move(t));
    }
  }

  void GroupsAndReferences();
  void IncludeAndGroupNormalParts();
  void ResolveReferences(bool second);
  void ResolveMovingAreas();
  void TempAndVaneGroups();
  void PowerReferences();
  bool Overlapped(int k, const TPartsInfo& p) const;
  bool ReferredByResolved(int k, const TPartsInfo& p) const;
  const TPartsInfo* FindNormal(int k, const TPartsInfo& p) const;

  const PartsSource& src_;
  const store::TdiskAir& rec_;
  int keys_ = 0;
  PartsModel model_;
};

const TPartsInfo* Builder::FindNormal(int k, const TPartsInfo& p) const {
  for (const TPartsInfo& q : model_.tables[static_cast<std::size_t>(k)].Parts)
    if (q.Type == kPartNormal && SameBits(q, p)) return &q;
  return nullptr;
}

// Another key has a default-included part on overlapping bits (generator B:
// normal or moving parts of a key that shares a format).
bool Builder::Overlapped(int k, const TPartsInfo& p) const {
  for (int j = 0; j < keys_; ++j) {
    if (j == k || (src_.generator_b && !ShareFormat(j, k))) continue;
    for (const TPartsInfo& q : model_.tables[static_cast<std::size_t>(j)].Parts) {
      bool kind = q.Type == kPartNormal || (src_.generator_b && q.Type == kPartMoving);
      if (kind && q.DefaultInclude && BitsOverlap(q, p)) return true;
    }
  }
  return false;
}

bool Builder::ReferredByResolved(int k, const TPartsInfo& p) const {
  for (int j = 0; j < keys_; ++j) {
    if (j == k) continue;
    for (const TPartsInfo& t : model_.tables[static_cast<std::size_t>(j)].Parts)
      if (t.Type == kPartReference && t.Resolved && t.RefKey == k && BitsOverlap(t, p)) return true;
  }
  return false;
}

// A reference part takes the first normal part of another key on its bits.
void Builder::ResolveReferences(bool second) {
  for (int k = 0; k < keys_; ++k) {
    for (TPartsInfo& t : Parts(k)) {
      if (t.Type != kPartReference) continue;
      const bool downwards = second && src_.generator_b && k == kKeySwing;
      for (int n = 0; n < keys_; ++n) {
        const int j = downwards ? keys_ - 1 - n : n;
        if (j == k) continue;
        auto& parts = Parts(j);
        auto it = std::find_if(parts.begin(), parts.end(),
                               [&](const TPartsInfo& q) { return q.Type == kPartNormal && SameBits(q, t); });
        if (it == parts.end()) continue;
        t.RefKey = j;
        t.Group = it->Group;
        it->Included = true;
        t.Resolved = true;
        break;
      }
    }
  }
}

void Builder::IncludeAndGroupNormalParts() {
  for (int k = 0; k < keys_; ++k) {
    TPartsTable& table = model_.tables[static_cast<std::size_t>(k)];
    for (TPartsInfo& p : table.Parts) {
      if (p.Type == kPartMoving) {
        if (Overlapped(k, p)) p.Included = true;
        continue;
      }
      if (p.Type != kPartNormal) continue;
      const bool overlap = Overlapped(k, p);
      if (model_.fan_mode_dependent) {
        if (k > kKeyFan && overlap) p.Included = true;
      } else if (overlap && !p.ModeDependent) {
        p.Included = true;
      }
      if (src_.generator_b && !model_.fan_mode_dependent && p.Resolved) p.Included = false;
      // A part without values (the fan part whose values moved into the mode
      // key's tables) owns no group: an empty group would shift every value
      // list after it in the firmware's reading of the parts table.
      if (p.Values.empty()) continue;
      if (k == kKeyTemp || !p.Included || k == kKeyVane || ReferredByResolved(k, p))
        p.Group = GroupOf(table, p.Values);
    }
  }
  if (keys_ <= kKeyVane) return;
  TPartsTable& vane = model_.tables[kKeyVane];
  for (TPartsInfo& p : vane.Parts) {
    if (p.Type != kPartFixed || p.Values.empty()) continue;
    const std::uint8_t v = p.Values[0];
    auto it = std::find_if(vane.Groups.begin(), vane.Groups.end(), [&](const TSSByteArray& g) {
      return std::all_of(g.begin(), g.end(), [&](std::uint8_t x) { return x == v; });
    });
    if (it != vane.Groups.end()) {
      p.Group = static_cast<std::int32_t>(it - vane.Groups.begin());
    } else {
      const std::size_t n = vane.Groups.empty() ? Key(kKeyVane).StateCount : vane.Groups.front().size();
      vane.Groups.emplace_back(n, v);
      p.Group = static_cast<std::int32_t>(vane.Groups.size() - 1);
    }
  }
}

void Builder::TempAndVaneGroups() {
  if (keys_ > kKeyTemp) {
    auto& groups = model_.tables[kKeyTemp].Groups;
    auto stepped = [](const TSSByteArray& g) {
      if (g.size() == 2) return true;
      if (g.size() != kSteppedTempGroup) return false;
      const int step = g[1] - g[0];
      if (step != 1 && step != -1) return false;
      for (std::size_t i = 1; i < g.size(); ++i)
        if (g[i] - g[i - 1] != step) return false;
      return true;
    };
    if (std::all_of(groups.begin(), groups.end(), stepped))
      for (TSSByteArray& g : groups) g = {g.front(), g.back()};
  }
  if (keys_ > kKeyVane) {
    auto& groups = model_.tables[kKeyVane].Groups;
    std::size_t longest = 0;
    for (TSSByteArray& g : groups) {
      if (!g.empty() && std::all_of(g.begin(), g.end(), [&](std::uint8_t x) { return x == g[0]; }))
        g.resize(1);
      longest = std::max(longest, g.size());
    }
    for (TSSByteArray& g : groups)
      while (!g.empty() && g.size() < longest) g.push_back(g[0]);
  }
}

// Generator B: a moving area takes the group of the n-th normal part of its key.
void Builder::ResolveMovingAreas() {
  for (int k = 0; k < keys_; ++k) {
    for (TPartsInfo& t : Parts(k)) {
      if (t.Type != kPartMoving || t.RefKey < 0 || t.RefKey >= keys_) continue;
      int ordinal = 0;
      for (const TPartsInfo& q : Parts(t.RefKey)) {
        if (q.Type != kPartNormal) continue;
        if (ordinal++ != t.Values[0]) continue;
        t.Group =
            q.Group >= 0 ? q.Group : GroupOf(model_.tables[static_cast<std::size_t>(t.RefKey)], q.Values);
        break;
      }
      t.Resolved = true;
    }
  }
}

void Builder::PowerReferences() {
  for (TPartsInfo& t : Parts(kKeyPower)) {
    if (t.Type == kPartPowerSpecial) {
      if (!src_.generator_b) {
        if (keys_ <= kKeyMode) continue;
        const TPartsInfo* q = FindNormal(kKeyMode, t);
        if (!q) continue;
        TSSByteArray bit2;
        for (std::uint8_t v : q->Values) bit2.push_back(static_cast<std::uint8_t>((v >> 2) & 1));
        const int second = GroupOf(model_.tables[kKeyMode], bit2);
        t.RefKey = kKeyMode;
        t.Group = rec_.LsbFirst ? q->Group : second;
        t.Position = rec_.LsbFirst ? second : q->Group;
      } else {
        for (int j = 1; j < keys_; ++j)
          if (const TPartsInfo* q = FindNormal(j, t)) {
            t.RefKey = j;
            t.Group = q->Group;
            break;
          }
      }
    } else if (t.Type == kPartFixed) {
      for (int j = 1; j < keys_; ++j)
        if (const TPartsInfo* q = FindNormal(j, t)) {
          t.RefKey = j;
          t.Group = q->Group;
          break;
        }
    }
  }
}

void Builder::GroupsAndReferences() {
  if (keys_ == 0) return;
  if (model_.fan_mode_dependent && keys_ > kKeyFan) {
    auto& mode = Parts(kKeyMode);
    std::erase_if(mode, [](const TPartsInfo& p) { return p.Type == kPartNormal; });
    for (TPartsInfo& p : mode) {
      if (p.Type != kPartModeTable) continue;
      const int mask = p.Width >= 8 ? 0xFF : (1 << std::max(p.Width, 0)) - 1;
      p.ModeBytes.clear();
      for (TSSByteArray& list : p.ModeValues) {
        for (std::uint8_t& v : list) v = static_cast<std::uint8_t>(v & mask);
        p.ModeBytes.push_back(static_cast<std::uint8_t>(GroupOf(model_.tables[kKeyFan], list)));
      }
    }
  }
  if (src_.lines.size() > 0 && src_.lines[0].size() == 1)
    for (TPartsInfo& p : Parts(kKeyPower))
      if (p.Type == kPartNormal && p.Values.size() == 2) p.Values[1] = p.Values[0];
  ResolveReferences(false);
  IncludeAndGroupNormalParts();
  TempAndVaneGroups();
  ResolveReferences(true);
  if (src_.generator_b) ResolveMovingAreas();
  PowerReferences();
  if (keys_ > kKeyVane)
    for (TSSByteArray& g : model_.tables[kKeyVane].Groups)
      if (g.size() == kRotatedVaneGroup) std::rotate(g.begin(), g.end() - 1, g.end());
}

}  // namespace

int ClampKey(int key) { return key == 0 || key == 1 ? key : key + 1; }

int GroupOf(TPartsTable& table, const ir::TSSByteArray& values) {
  for (std::size_t g = 0; g < table.Groups.size(); ++g)
    if (table.Groups[g] == values) return static_cast<int>(g);
  table.Groups.push_back(values);
  return static_cast<int>(table.Groups.size() - 1);
}

std::int64_t ReadLineField(const store::TGrdDataLine& line, int unit, int bit, int width, bool lsb_first,
                           bool seven_bit_first) {
  if (unit < 0 || bit < 0 || width <= 0) return 0;
  width = std::min(width, kMaxFieldBits);
  // Start bit of every unit of one repetition.
  std::vector<std::int64_t> starts;
  std::int64_t cursor = 0;
  for (const ir::TStrProtItem& e : line.Elements) {
    if (!e.IsData()) continue;
    for (int n = e.Value; n > 0; n -= kBitsPerUnit) {
      starts.push_back(cursor);
      cursor += std::min(n, kBitsPerUnit);
    }
  }
  const std::int64_t repeats = std::max<std::int64_t>(1, line.Repeat);
  if (starts.empty() || unit >= static_cast<std::int64_t>(starts.size()) * repeats) return 0;
  const std::int64_t start = starts[static_cast<std::size_t>(unit % static_cast<int>(starts.size()))] + bit;
  const std::int64_t shift = seven_bit_first ? 1 : 0;
  std::int64_t value = 0;
  for (int i = 0; i < width; ++i) {
    const std::int64_t at = start + i - shift;
    const int b = at >= 0 && at < static_cast<std::int64_t>(line.Data.size()) &&
                  line.Data[static_cast<std::size_t>(at)] == 1;
    if (lsb_first)
      value |= static_cast<std::int64_t>(b) << i;
    else
      value = (value << 1) | b;
  }
  return value;
}

bool SameBits(const TPartsInfo& a, const TPartsInfo& b) {
  return a.ByteIndex == b.ByteIndex && a.StartBit == b.StartBit && a.Width == b.Width;
}

bool BitsOverlap(const TPartsInfo& a, const TPartsInfo& b) {
  const std::int64_t a0 = std::int64_t{a.ByteIndex} * kBitsPerUnit + a.StartBit;
  const std::int64_t b0 = std::int64_t{b.ByteIndex} * kBitsPerUnit + b.StartBit;
  return a0 < b0 + b.Width && b0 < a0 + a.Width;
}

void FindPowerFormats(const store::Tex_gssList& formats, PartsModel& model) {
  auto last_with = [&](int key) {
    int found = -1;
    for (std::size_t f = 0; f < formats.size(); ++f)
      if (std::find(formats[f].KeyIndexes.begin(), formats[f].KeyIndexes.end(), key) !=
          formats[f].KeyIndexes.end())
        found = static_cast<int>(f);
    return found;
  };
  model.power_format1 = last_with(kKeyPower);
  model.power_format2 = last_with(store::kPowerSecondFrameMarker);
  if (model.power_format2 < 0) model.power_format2 = model.power_format1;
  model.two_power_formats = model.power_format1 != model.power_format2;
}

PartsModel BuildPartsTables(const PartsSource& source) { return Builder(source).Run(); }

}  // namespace klimavo::firmware
