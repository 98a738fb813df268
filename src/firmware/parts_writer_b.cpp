// Generator B (two to four formats): every format gets an initialization list
// of its own, written after the key tables, and a key may take a field's value
// from a normal part of another key (a moving area).

#include <algorithm>

#include "base/gbk.h"
#include "firmware/parts_model.h"
#include "firmware/parts_tables.h"

namespace klimavo::firmware {
namespace {

constexpr int kRefBoth = 192;
constexpr int kInitListFlags = 192;  // format flags: relation after the tables, list number in bits 3-4
constexpr int kInitListStep = 8;
constexpr const char* kInitDashes = "--------------------------------";
// Byte limits of the moving-area name line, cumulative over its pieces.
constexpr std::size_t kNameCutKey = 18;
constexpr std::size_t kNameCutMoving = 28;
constexpr std::size_t kNameCutRef = 43;
constexpr std::size_t kNameCutLine = 49;

}  // namespace

// ---- Entry writers of generator B -------------------------------------------

namespace {

std::string MovingNameLine(const std::string& key_name, const std::string& ref_name) {
  std::string s = base::GbkCut("\t ;" + key_name, kNameCutKey);
  s = base::GbkCut(s + Gbk("有移动区域"), kNameCutMoving);
  s = base::GbkCut(s + ref_name, kNameCutRef);
  return base::GbkCut(s + Gbk("的变化"), kNameCutLine);
}

}  // namespace

void EntryWriter::WriteMoving(int key, int part) {
  const TPartsInfo& p = Part(key, part);
  ++entries_;
  if (key == kKeyMode || key == kKeyFan) Db(DbBin(255, Gbk(";从全局中取,=0从下面中取")));
  Note(MovingNameLine(Name(key), Name(p.RefKey)));
  Header(p, kRefBoth);
  for (int i = 0; i < StatusCount(key); ++i) Db(DbBin(RefByte(p.RefKey, p.Group), ""));
}

void EntryWriter::WriteMovingInit(int key, int part) {
  const TPartsInfo& p = Part(key, part);
  Note(MovingNameLine(Name(key), Name(p.RefKey)));
  Header(p, kRefBoth);
  const std::int64_t r = RefByte(p.RefKey, p.Group);
  Db(DbBin(r, ""));
  Db(DbBin(r, ""));
}

void EntryWriter::WritePowerInit(int key, int part) {
  const TPartsInfo& p = Part(key, part);
  Note("\t ;" + Name(key) + Dec(part) + Gbk("初始化"));
  Header(p, 0);
  Db(DbHex(p.Values.size() > 0 ? p.Values[0] : 0, ";status=0"));
  Db(DbHex(p.Values.size() > 1 ? p.Values[1] : 0, ";status=1"));
}

// ---- Generator B ------------------------------------------------------------

namespace {

struct InitList {
  Lines lines;
  int bytes = 0;
};

// The initialization list of format `f`: for every key that sends it, its
// moving areas, its initialization entries and its "转到" references.
InitList WriteInitList(const store::TdiskAir& record, PartsModel& model, const store::Tex_gssList& formats,
                       int f, bool single_power_code, int& error) {
  InitList list;
  EntryWriter w(record, model, true, single_power_code);
  w.Begin(list.lines);
  const int keys = static_cast<int>(model.tables.size());
  for (int k = 0; k < keys; ++k) {
    if (!KeySendsFormat(formats[static_cast<std::size_t>(f)], k)) continue;
    auto& parts = model.tables[static_cast<std::size_t>(k)].Parts;
    const bool power_split = k == kKeyPower && model.two_power_formats;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      TPartsInfo& p = parts[i];
      if (p.Type != kPartMoving || p.Written || (k != kKeyPower && p.Included)) continue;
      if (power_split && p.RefKey >= 0 && p.RefKey < keys &&
          record.Keys[static_cast<std::size_t>(p.RefKey)].Slot == f)
        continue;
      w.WriteMovingInit(k, static_cast<int>(i));
      p.Written = true;
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
      TPartsInfo& p = parts[i];
      if (p.Type != kPartNormal || p.Included) continue;
      if (power_split) {
        // A power part goes into the list of every format it belongs to.
        if (p.Format != -1 && p.Format != f) continue;
        w.WritePowerInit(k, static_cast<int>(i));
      } else {
        if (p.Written) continue;
        w.WriteInit(k, static_cast<int>(i));
      }
      p.Written = true;
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
      const TPartsInfo& p = parts[i];
      if (p.Type != kPartReference || p.Resolved) continue;
      if (power_split && p.Format != -1 && p.Format != f) continue;
      w.WriteGoto(k, static_cast<int>(i));
    }
  }
  list.bytes = w.Bytes();
  if (error == 0) error = w.Error();
  return list;
}

int WriteKeySectionsB(const store::TdiskAir& record, PartsModel& model, bool single_power_code, Lines& out) {
  EntryWriter w(record, model, true, single_power_code);
  for (int k = 0; k < static_cast<int>(model.tables.size()); ++k) {
    w.Begin(out);
    const std::size_t title = w.LineCount();
    w.Note(KeyTitleLine(record.Keys[static_cast<std::size_t>(k)]));
    w.Note("\t ;" + w.TrimmedName(k) + Gbk("的变化区域"));
    w.WriteKeyEntries(k);
    w.Insert(title + 1, ByteCountLine(w.Bytes(), true));
  }
  return w.Error();
}

std::vector<InitList> WriteInitLists(const store::TdiskAir& record, PartsModel& model,
                                     const store::Tex_gssList& formats, bool single_power_code, int& error) {
  std::vector<InitList> lists;
  for (std::size_t f = 0; f < formats.size(); ++f)
    lists.push_back(WriteInitList(record, model, formats, static_cast<int>(f), single_power_code, error));
  return lists;
}

}  // namespace

int WritePartsTablesB(const PartsInput& in, Lines& relation, std::uint8_t& control_byte, Lines& table) {
  PartsWork work = PreparePartsWork(in, true);
  const store::TdiskAir& record = work.record;
  const store::Tex_gssList& formats = work.formats;
  const bool single_power_code = work.single_power_code;
  PartsModel& model = work.model;

  const std::size_t relation_size = relation.size();
  const std::size_t table_size = table.size();
  int error = 0;
  std::vector<int> count_lines = WriteAllBaseData(formats, relation, false, in.triple_frames, error);
  {  // Counting pass: fills the entry positions that references need.
    int ignored = 0;
    Lines scratch;
    WriteInitLists(record, model, formats, single_power_code, ignored);
    WriteKeySectionsB(record, model, single_power_code, scratch);
    ClearWritten(model);
  }
  std::vector<InitList> lists = WriteInitLists(record, model, formats, single_power_code, error);
  for (std::size_t f = 0; f < formats.size(); ++f) {
    if (count_lines[f] < 0) continue;
    relation[static_cast<std::size_t>(count_lines[f])] =
        DbHex(std::max(lists[f].bytes - 1, 0), Gbk("; 初始化字节数"));
  }
  const int sections_error = WriteKeySectionsB(record, model, single_power_code, relation);
  if (error == 0) error = sections_error;
  const int table_error = WritePartsTable(record, model, table);
  if (error == 0) error = table_error;
  control_byte |= PartsControlBits(record, model, single_power_code);

  int n = 0;
  for (std::size_t f = 0; f < formats.size(); ++f) {
    const bool empty = lists[f].bytes == 0;
    if (!empty) {
      const int m = std::max(lists[f].bytes - 1, 0);
      relation.push_back(Gbk("\t ;初始化数据") + Dec(n) + kInitDashes);
      relation.push_back("\tDB $" + Hex2(m) + ";byte count=" + Dec(m) + "-1");
      relation.insert(relation.end(), lists[f].lines.begin(), lists[f].lines.end());
    }
    if (count_lines[f] < 0) {
      if (!empty) ++n;
      continue;
    }
    relation[static_cast<std::size_t>(count_lines[f]) + 1] =
        empty ? DbBin(0, Gbk(";没有初始化"))
              : DbBin(kInitListFlags + n * kInitListStep, Gbk(";初始化") + Dec(n));
    if (!empty) ++n;
  }
  if (error != 0) {
    relation.resize(relation_size);
    table.resize(table_size);
  }
  return error;
}

}  // namespace klimavo::firmware
