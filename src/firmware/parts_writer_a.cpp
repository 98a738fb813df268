// Generator A (one format) and the entry writers that generators A and B share.
// Every entry is two header lines (byte index, bit layout) and its values; the
// byte count of a key's table is inserted after its title once it is known.

#include <algorithm>

#include "base/gbk.h"
#include "base/text.h"
#include "firmware/parts_model.h"
#include "firmware/parts_tables.h"

namespace klimavo::firmware {
namespace {

constexpr int kMaxByteIndex = 63;  // frame bytes are indexed with 6 bits
constexpr int kMaxRefIndex = 15;   // a reference byte keeps its group or entry in 4 bits
constexpr int kMaxKeyCode = 7;     // ... and its key code in 3 bits
constexpr int kRefBoth = 192;      // bit layout: both values are references
constexpr int kRefSecond = 64;     // bit layout: the second value is a reference
constexpr int kRunEntry = 128;     // reference byte: run an entry of the key's table
constexpr int kModeEntry = 176;    // run an entry of the mode key: 128 + ClampKey(2) * 16
constexpr std::size_t kInitNameBytes = 18;
constexpr int kSpecialSecondBit = 2;

}  // namespace

// ---- Entry writer -----------------------------------------------------------

EntryWriter::EntryWriter(const store::TdiskAir& record, PartsModel& model, bool generator_b,
                         bool single_power_code)
    : record_(record), model_(model), generator_b_(generator_b), single_power_code_(single_power_code) {
  for (std::size_t k = 0; k < record.UsedKeys(); ++k) names_.push_back(record.Keys[k].Name.str());
}

void EntryWriter::Begin(Lines& out) {
  out_ = &out;
  bytes_ = 0;
  entries_ = 0;
}

void EntryWriter::Note(std::string line) { out_->push_back(std::move(line)); }

void EntryWriter::Insert(std::size_t index, std::string line) {
  out_->insert(out_->begin() + static_cast<std::ptrdiff_t>(index), std::move(line));
}

void EntryWriter::Db(std::string line) {
  out_->push_back(std::move(line));
  ++bytes_;
}

const std::string& EntryWriter::Name(int key) const {
  static const std::string kNone;
  return KeyExists(key) ? names_[static_cast<std::size_t>(key)] : kNone;
}

std::string EntryWriter::TrimmedName(int key) const { return base::Trim(Name(key)); }

bool EntryWriter::KeyExists(int key) const { return key >= 0 && key < static_cast<int>(names_.size()); }

int EntryWriter::StatusCount(int key) const {
  if (key == kKeyTemp) return 2;
  if (key == kKeyVane) return 1;
  return KeyExists(key) ? record_.Keys[static_cast<std::size_t>(key)].StateCount : 0;
}

std::int64_t EntryWriter::ByteIndex(int index) {
  if ((index < 0 || index > kMaxByteIndex) && error_ == 0) error_ = kPartsByteIndexTooLarge;
  return index;
}

std::int64_t EntryWriter::RefByte(int key, int index) {
  const int code = ClampKey(key);
  if ((code < 0 || code > kMaxKeyCode || index < 0 || index > kMaxRefIndex) && error_ == 0)
    error_ = kPartsReferenceTooLarge;
  return std::int64_t{code} * 16 + index;
}

void EntryWriter::Header(const TPartsInfo& p, int offset) {
  Db(DbHex(ByteIndex(p.ByteIndex), Gbk(";起始字节") + Dec(p.ByteIndex)));
  Db(DbBin(p.StartBit + (p.Width - 1) * 8 + offset,
           Gbk(";起位:") + Dec(p.StartBit) + Gbk(",位数:") + Dec(p.Width)));
}

void EntryWriter::BarLine(int key, const TPartsInfo& p) {
  if (KeyExists(p.RefKey)) Note("\t;" + Name(key) + "|" + Name(p.RefKey));
}

void EntryWriter::GroupLine(int ref_key, int group) {
  Db(DbBin(RefByte(ref_key, group), Gbk(";取") + Name(ref_key) + Gbk("的") + Dec(group) + Gbk("组值")));
}

void EntryWriter::WriteInit(int key, int part) {
  const TPartsInfo& p = Part(key, part);
  Note(base::GbkCut("\t ;" + Name(key), kInitNameBytes) + Dec(part) + Gbk("初始化"));
  Header(p, kRefBoth);
  std::int64_t r = 0;
  if (p.ModeDependent) {
    RefByte(kKeyMode, p.Position);
    r = kModeEntry + p.Position;
  } else {
    r = RefByte(key, p.Group);
  }
  Db(DbBin(r, ""));
  Db(DbBin(r, ""));
}

void EntryWriter::WriteGoto(int key, int part) {
  const TPartsInfo& p = Part(key, part);
  BarLine(key, p);
  Header(p, kRefBoth);
  const std::int64_t g = RefByte(key, p.Position) + kRunEntry;
  const std::string text = Gbk(";转到") + Name(key) + Gbk("的") + Dec(p.Position) + Gbk("组值");
  Db(DbBin(g, text));
  Db(DbBin(g, text));
}

void EntryWriter::WriteTakeHere(int key, int part) {
  TPartsInfo& p = Part(key, part);
  p.Position = entries_++;
  BarLine(key, p);
  Header(p, kRefSecond);
  Db(DbBin(p.Values.empty() ? 0 : p.Values[0], Gbk(";取这里值")));
  GroupLine(p.RefKey, p.Group);
}

void EntryWriter::WritePowerSpecial(int key, int part) {
  const TPartsInfo& p = Part(key, part);
  entries_ += 2;
  Note(Gbk("\t ;关含有两边置1的特殊情况"));
  BarLine(key, p);
  for (int second = 0; second < 2; ++second) {
    const int b = p.StartBit + (second ? kSpecialSecondBit : 0);
    Db(DbHex(ByteIndex(p.ByteIndex), Gbk(";起始字节") + Dec(p.ByteIndex)));
    Db(DbBin(b + kRefSecond, Gbk(";起位:") + Dec(b) + Gbk(",位数:1")));
    Db(DbBin(1, Gbk(";取这里值")));
    GroupLine(p.RefKey, second && !generator_b_ ? p.Position : p.Group);
  }
}

void EntryWriter::WriteStatus(int key, int part) {
  const TPartsInfo& p = Part(key, part);
  ++entries_;
  if (key == kKeyMode || key == kKeyFan) Db(DbBin(0, Gbk(";从全局中取,=0从下面中取")));
  const bool as_ref = key == kKeyTemp || key == kKeyVane;
  Header(p, as_ref ? kRefBoth : 0);
  for (int i = 0; i < StatusCount(key); ++i) {
    const std::string text = ";status=" + Dec(i);
    if (as_ref)
      Db(DbBin(RefByte(key, p.Group), text));
    else
      Db(DbHex(static_cast<std::size_t>(i) < p.Values.size() ? p.Values[static_cast<std::size_t>(i)] : 0,
               text));
  }
}

void EntryWriter::WriteStep(int key, int part) {
  const TPartsInfo& p = Part(key, part);
  ++entries_;
  Header(p, 0);
  Db(DbBin(p.Values.size() > 0 ? p.Values[0] : 0, ";+"));
  Db(DbBin(p.Values.size() > 1 ? p.Values[1] : 0, ";-"));
}

void EntryWriter::WriteFixed(int key, int part) {
  const TPartsInfo& p = Part(key, part);
  ++entries_;
  if (key == kKeyMode || key == kKeyFan) Db(DbBin(0, Gbk(";从全局中取,=0从下面中取")));
  if (KeyExists(p.RefKey)) Note("\t ;" + Name(key) + Gbk("有") + Name(p.RefKey) + Gbk("固定值"));
  const bool as_ref = key != kKeyTemp;
  Header(p, as_ref ? kRefBoth : 0);
  const std::uint8_t first = p.Values.empty() ? 0 : p.Values[0];
  for (int i = 0; i < StatusCount(key); ++i) {
    if (as_ref)
      GroupLine(p.RefKey, p.Group);
    else
      Db(DbHex(first, ";status=" + Dec(i)));
  }
}

void EntryWriter::WritePower(int key, int part) {
  const TPartsInfo& p = Part(key, part);
  ++entries_;
  if (KeyExists(p.RefKey)) Note("\t ;" + Name(key) + Gbk("有") + Name(p.RefKey) + Gbk("固定值"));
  const std::uint8_t first = p.Values.empty() ? 0 : p.Values[0];
  if (p.StepFlag || single_power_code_ || p.RefKey > kKeyFan) {
    Header(p, 0);
    Db(DbHex(first, ";status=off"));
    Db(DbHex(first, ";status=on"));
    return;
  }
  Header(p, kRefSecond);
  Db(DbHex(first, ";status=0"));
  // A field that the mode key sets per mode is taken from the mode key's entry.
  const TPartsInfo* mode_part = nullptr;
  if ((p.RefKey == kKeyTemp || p.RefKey == kKeyFan) &&
      record_.Keys[static_cast<std::size_t>(p.RefKey)].Slot == record_.Keys[0].Slot2) {
    for (const TPartsInfo& q : model_.tables[static_cast<std::size_t>(p.RefKey)].Parts)
      if (q.ModeDependent && SameBits(q, p)) {
        mode_part = &q;
        break;
      }
  }
  if (mode_part) {
    RefByte(kKeyMode, mode_part->Position);
    Db(DbBin(kModeEntry + mode_part->Position, Gbk("转模式的第") + Dec(mode_part->Position) + Gbk("组值")));
  } else {
    Db(DbBin(RefByte(p.RefKey, p.Group),
             Gbk("取") + Name(p.RefKey) + Gbk("的") + Dec(p.Group) + Gbk("组值")));
  }
}

void EntryWriter::WriteModeMap(int key, int part) {
  const TPartsInfo& p = Part(key, part);
  const int entry = entries_++;
  TPartsInfo* ref = nullptr;
  if (KeyExists(p.RefKey) && p.RefPart >= 0 &&
      static_cast<std::size_t>(p.RefPart) < model_.tables[static_cast<std::size_t>(p.RefKey)].Parts.size())
    ref = &model_.tables[static_cast<std::size_t>(p.RefKey)].Parts[static_cast<std::size_t>(p.RefPart)];
  if (ref) ref->Position = entry;
  BarLine(key, p);
  std::string map = "\tDB ";
  for (std::uint8_t v : p.Values) map += v == kRelativeValue ? '1' : '0';
  Db(map + "000B\t" + Gbk(";从全局中取,=0从下面中取"));
  Header(p, 0);
  for (std::size_t s = 0; s < p.Values.size(); ++s) {
    const std::string text = ";status=" + Dec(static_cast<std::int64_t>(s));
    if (p.Values[s] == kRelativeValue)
      Db(DbBin(RefByte(p.RefKey, ref ? ref->Group : p.Group), text));
    else
      Db(DbHex(p.Values[s], text));
  }
}

void EntryWriter::WriteModeTable(int key, int part) {
  const TPartsInfo& p = Part(key, part);
  const int entry = entries_++;
  if (KeyExists(p.RefKey) && p.RefPart >= 0 &&
      static_cast<std::size_t>(p.RefPart) < model_.tables[static_cast<std::size_t>(p.RefKey)].Parts.size())
    model_.tables[static_cast<std::size_t>(p.RefKey)].Parts[static_cast<std::size_t>(p.RefPart)].Position =
        entry;
  BarLine(key, p);
  Db(DbBin(255, Gbk(";从全局中取,=0从下面中取")));
  Header(p, kRefBoth);
  const store::TdiskKey& mode = record_.Keys[static_cast<std::size_t>(key)];
  for (std::size_t s = 0; s < p.ModeBytes.size(); ++s) {
    const int group = p.ModeBytes[s];
    const std::string name = s < store::kMaxStates ? mode.StateNames[s].str() : std::string();
    Db(DbBin(RefByte(kKeyFan, group), ";" + name + Dec(group) + Gbk("组")));
  }
}

void EntryWriter::WriteKeyEntries(int key) {
  entries_ = 0;
  auto& parts = model_.tables[static_cast<std::size_t>(key)].Parts;
  auto each = [&](auto wanted, auto write) {
    for (std::size_t i = 0; i < parts.size(); ++i) {
      if (parts[i].Written || !wanted(parts[i])) continue;
      (this->*write)(key, static_cast<int>(i));
      parts[i].Written = true;
    }
  };
  using W = void (EntryWriter::*)(int, int);
  each([](const TPartsInfo& p) { return p.Type == kPartPowerSpecial; }, W{&EntryWriter::WritePowerSpecial});
  each([](const TPartsInfo& p) { return p.Type == kPartReference; }, W{&EntryWriter::WriteTakeHere});
  if (key == kKeyMode) {
    each([](const TPartsInfo& p) { return p.Type == kPartModeMap; }, W{&EntryWriter::WriteModeMap});
    each([](const TPartsInfo& p) { return p.Type == kPartModeTable; }, W{&EntryWriter::WriteModeTable});
  }
  each([](const TPartsInfo& p) { return p.Type == kPartNormal && p.Included; }, W{&EntryWriter::WriteStatus});
  if (key == kKeyTemp)
    each([](const TPartsInfo& p) { return p.Type == kPartStep; }, W{&EntryWriter::WriteStep});
  each([](const TPartsInfo& p) { return p.Type == kPartFixed; },
       key == kKeyPower ? W{&EntryWriter::WritePower} : W{&EntryWriter::WriteFixed});
  if (generator_b_ && key != kKeyPower)
    each([](const TPartsInfo& p) { return p.Type == kPartMoving && p.Included; },
         W{&EntryWriter::WriteMoving});
}

// ---- Generator A ------------------------------------------------------------

namespace {

// The key sections of generator A; the host key's section starts with the
// initialization data of the format. `count_lines` is null in the counting pass.
int WriteKeySectionsA(const store::TdiskAir& record, PartsModel& model, const store::Tex_gssList& formats,
                      bool single_power_code, Lines& out, const std::vector<int>* count_lines) {
  EntryWriter w(record, model, false, single_power_code);
  w.Begin(out);
  for (int k = 0; k < static_cast<int>(model.tables.size()); ++k) {
    w.Begin(out);
    const std::size_t title = w.LineCount();
    w.Note(KeyTitleLine(record.Keys[static_cast<std::size_t>(k)]));
    for (std::size_t f = 0; f < formats.size(); ++f) {
      if (formats[f].KeyField != k) continue;
      w.Note(Gbk("\t ;初始化数据"));
      const int before = w.Bytes();
      for (int q = 0; q < static_cast<int>(model.tables.size()); ++q) {
        if (!KeySendsFormat(formats[f], q)) continue;
        auto& parts = model.tables[static_cast<std::size_t>(q)].Parts;
        for (std::size_t i = 0; i < parts.size(); ++i) {
          if (parts[i].Type != kPartNormal || parts[i].Included || parts[i].Written) continue;
          w.WriteInit(q, static_cast<int>(i));
          parts[i].Written = true;
        }
        for (std::size_t i = 0; i < parts.size(); ++i)
          if (parts[i].Type == kPartReference && !parts[i].Resolved) w.WriteGoto(q, static_cast<int>(i));
      }
      const int n = w.Bytes() - before;
      if (count_lines && f < count_lines->size() && (*count_lines)[f] >= 0)
        out[static_cast<std::size_t>((*count_lines)[f])] = DbHex(std::max(n - 1, 0), Gbk("; 初始化字节数"));
    }
    w.Note("\t ;" + w.TrimmedName(k) + Gbk("的变化区域"));
    w.WriteKeyEntries(k);
    w.Insert(title + 1, ByteCountLine(w.Bytes(), false));
  }
  return w.Error();
}

}  // namespace

int WritePartsTablesA(const PartsInput& in, Lines& relation, std::uint8_t& control_byte, Lines& table) {
  PartsWork work = PreparePartsWork(in, false);
  const store::TdiskAir& record = work.record;
  const store::Tex_gssList& formats = work.formats;
  const bool single_power_code = work.single_power_code;
  PartsModel& model = work.model;

  const std::size_t relation_size = relation.size();
  const std::size_t table_size = table.size();
  int error = 0;
  std::vector<int> count_lines = WriteAllBaseData(formats, relation, true, in.triple_frames, error);
  Lines scratch;
  WriteKeySectionsA(record, model, formats, single_power_code, scratch, nullptr);
  ClearWritten(model);
  const int entries_error =
      WriteKeySectionsA(record, model, formats, single_power_code, relation, &count_lines);
  if (error == 0) error = entries_error;

  int keys_with_parts = 0;
  for (const TPartsTable& t : model.tables) keys_with_parts += t.Parts.empty() ? 0 : 1;
  if (keys_with_parts <= 2) return 1;
  const int table_error = WritePartsTable(record, model, table);
  if (error == 0) error = table_error;
  control_byte |= PartsControlBits(record, model, single_power_code);
  if (error != 0) {
    relation.resize(relation_size);
    table.resize(table_size);
  }
  return error;
}

}  // namespace klimavo::firmware
