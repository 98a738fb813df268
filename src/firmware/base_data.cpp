// The base data block of a format (its code bytes, the initialization count and
// the initialization key byte), the steps generators A and B share, and the
// text helpers every parts writer uses.

#include <algorithm>
#include <map>
#include <mutex>

#include "base/gbk.h"
#include "base/text.h"
#include "firmware/parts_model.h"
#include "ir/ir_text.h"
#include "ir/protocol.h"

namespace klimavo::firmware {
namespace {

constexpr std::int64_t kMaxBaseBytes = 64;  // frame bytes the firmware can index (6 bits)
constexpr int kTripleSecondData = 3;        // the fourth data element starts the second frame
constexpr int kInitKeyFlag = 64;            // generator A: the format's host key byte
constexpr int kMaxNibble = 15;              // counts kept in 4 bits of the parts table
constexpr const char* kTitleDashes = "-------------------------";
constexpr int kHostKeyA = 1;  // generator A keeps the initialization data in key 1's table

struct BaseCode {
  std::int64_t count = 0;
  ir::TSSByteArray bytes;
};

std::uint8_t CodeByte(const store::Tex_gsstrut& f, std::int64_t i) {
  return i >= 0 && static_cast<std::size_t>(i) < f.CodeData.size() ? f.CodeData[static_cast<std::size_t>(i)]
                                                                   : 0;
}

// The triple-frame records keep the bytes of the first and of the fourth data
// element: the frames the firmware sends three times each.
bool TripleCode(const store::Tex_gsstrut& f, const ir::TStrProt_Listbase& elements, BaseCode& out) {
  ir::TStrProt_Listbase data = elements;
  ir::DropSplitElements(data);
  if (data.size() <= static_cast<std::size_t>(kTripleSecondData)) return false;
  std::int64_t second_offset = 0;
  for (int i = 0; i < kTripleSecondData; ++i)
    second_offset += (data[static_cast<std::size_t>(i)].Value + 7) / 8;
  const std::int64_t first = data[0].Value >> 3;
  const std::int64_t second = data[kTripleSecondData].Value >> 3;
  out.count = first + second;
  for (std::int64_t i = 0; i < first && i <= kMaxBaseBytes; ++i) out.bytes.push_back(CodeByte(f, i));
  for (std::int64_t i = 0; i < second && i <= kMaxBaseBytes; ++i)
    out.bytes.push_back(CodeByte(f, second_offset + i));
  return true;
}

}  // namespace

const std::string& Gbk(std::string_view utf8) {
  static std::mutex mutex;
  static std::map<std::string, std::string, std::less<>> cache;
  std::lock_guard<std::mutex> lock(mutex);
  auto it = cache.find(utf8);
  if (it == cache.end())
    it = cache.emplace(std::string(utf8), base::Utf8ToGbk(utf8).value_or(std::string(utf8))).first;
  return it->second;
}

std::string Hex2(std::int64_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const auto low = static_cast<unsigned>(value & 0xFF);
  return {kDigits[low >> 4], kDigits[low & 0xF]};
}

std::string Bin8(std::int64_t value) { return ir::IntToBinStr(8, value & 0xFF); }

std::string Dec(std::int64_t value) { return std::to_string(value); }

std::string DbHex(std::int64_t value, std::string_view comment) {
  return "\tDB $" + Hex2(value) + "\t" + std::string(comment);
}

std::string DbBin(std::int64_t value, std::string_view comment) {
  return "\tDB " + Bin8(value) + "B\t" + std::string(comment);
}

std::string ByteCountLine(int count, bool blank_when_short) {
  const std::string tail = ";byte count=" + Dec(count) + "-1";
  if (count < 2) return std::string("\tDB $00") + (blank_when_short ? " " : "") + tail;
  return "\tDB $" + Hex2(count - 1) + tail;
}

std::string KeyTitleLine(const store::TdiskKey& key) {
  return "\t ;====" + base::Trim(key.Name.str()) + kTitleDashes;
}

int WriteFormatBaseData(const store::Tex_gsstrut& format, Lines& relation, bool single_format,
                        bool triple_frames) {
  const ir::TStrProt_Stru protocol = ir::ParseProtocol(format.Text);
  BaseCode code;
  if (!triple_frames || !TripleCode(format, protocol.Elements, code)) {
    code.count = ir::TotalBytes(protocol.Elements);
    if (format.FramesShareData != 0) {
      const int frames = ir::DataRunCount(protocol.Elements);
      if (frames > 0) code.count /= frames;
    }
    for (std::int64_t i = 0; i < code.count && i <= kMaxBaseBytes; ++i)
      code.bytes.push_back(CodeByte(format, i));
  }
  if (code.count == 0) return -1;
  // The firmware indexes frame bytes with 6 bits and the slot stores 64 bytes.
  if (code.count > kMaxBaseBytes) return -kPartsByteIndexTooLarge;
  relation.push_back(DbHex(code.count + 1, Gbk(";码数") + Dec(code.count + 1)));
  for (std::int64_t i = 0; i < code.count; ++i)
    relation.push_back(DbBin(code.bytes[static_cast<std::size_t>(i)], Gbk(";码值") + Dec(i)));
  const int count_line = static_cast<int>(relation.size());
  relation.push_back(DbHex(0, "; init bytes count"));
  const int key_byte = single_format && format.KeyField >= 0 ? ClampKey(format.KeyField) + kInitKeyFlag : 0;
  relation.push_back(DbBin(key_byte, Gbk(";格式初始化按键")));
  return count_line;
}

// ---- Steps shared by A and B ------------------------------------------------

bool PrepareSinglePowerCode(store::TdiskAir& record, const store::TBtnLines& lines,
                            const store::Tex_gssList* formats_of_b) {
  const std::size_t keys = record.UsedKeys();
  if (keys == 0 || lines.empty() || lines[0].size() != 1) return false;
  for (store::TdiskBitColumn& col : record.Keys[0].Columns) {
    if (!col.InUse()) continue;
    const std::uint8_t v0 = col.Values[0];
    const std::uint8_t v1 = col.Values[1];
    if (v0 != v1 && v0 != store::kUnsetValue && v1 != store::kUnsetValue) col.Values[1] = v0;
  }
  for (std::size_t k = 1; k < keys; ++k) {
    if (formats_of_b) {
      const std::uint8_t slot = record.Keys[k].Slot;
      if (slot >= formats_of_b->size()) continue;
      const auto& ids = (*formats_of_b)[slot].KeyIndexes;
      const bool carries_power =
          std::find(ids.begin(), ids.end(), kKeyPower) != ids.end() ||
          std::find(ids.begin(), ids.end(), store::kPowerSecondFrameMarker) != ids.end();
      if (!carries_power) continue;
    }
    record.Keys[k].FixedFlags |= 1;
  }
  return true;
}

PartsWork PreparePartsWork(const PartsInput& in, bool generator_b) {
  PartsWork work{in.record, in.formats, false, {}};  // the generator's own changes stay in this copy
  work.single_power_code =
      PrepareSinglePowerCode(work.record, in.bit_lines, generator_b ? &in.formats : nullptr);
  if (!generator_b)
    for (store::Tex_gsstrut& f : work.formats) f.KeyField = kHostKeyA;
  work.model = BuildPartsTables({work.record, work.formats, in.bit_lines, in.seven_bit_first, generator_b});
  return work;
}

std::vector<int> WriteAllBaseData(const store::Tex_gssList& formats, Lines& relation, bool single_format,
                                  bool triple_frames, int& error) {
  std::vector<int> count_lines;
  for (std::size_t f = 0; f < formats.size(); ++f) {
    relation.push_back(Gbk(";==基础数据") + Dec(static_cast<std::int64_t>(f)));
    const int line = WriteFormatBaseData(formats[f], relation, single_format, triple_frames);
    if (line == -kPartsByteIndexTooLarge) error = kPartsByteIndexTooLarge;
    count_lines.push_back(line);
  }
  return count_lines;
}

bool KeySendsFormat(const store::Tex_gsstrut& format, int key) {
  const auto& ids = format.KeyIndexes;
  if (std::find(ids.begin(), ids.end(), key) != ids.end()) return true;
  return key == kKeyPower && std::find(ids.begin(), ids.end(), store::kPowerSecondFrameMarker) != ids.end();
}

std::uint8_t PartsControlBits(const store::TdiskAir& record, const PartsModel& model,
                              bool single_power_code) {
  std::uint8_t bits = 0;
  const int keys = static_cast<int>(model.tables.size());
  if (!model.fan_mode_dependent && keys > kKeyMode) {
    bool single = true;
    for (const TPartsInfo& p : model.tables[kKeyMode].Parts) {
      ir::TSSByteArray distinct = p.Values;
      std::sort(distinct.begin(), distinct.end());
      single = single && std::unique(distinct.begin(), distinct.end()) - distinct.begin() <= 1;
    }
    if (single) bits |= 0x40;
  }
  if (keys > kKeyVane) {
    const std::size_t states = record.Keys[kKeyVane].StateCount;
    bool found = false;
    for (const TPartsInfo& p : model.tables[kKeyVane].Parts)
      if (p.Type == kPartNormal && p.Values.size() == states) found = true;
    if (found || states == 1) bits |= 0x04;
  }
  if (single_power_code) bits |= 0x80;
  return bits;
}

int WritePartsTable(const store::TdiskAir& record, const PartsModel& model, Lines& table) {
  int error = 0;
  std::string counts = "\tDB ";
  for (std::size_t k = 0; k < model.tables.size(); ++k) {
    const TPartsTable& t = model.tables[k];
    std::int64_t v = 0;
    if (!t.Groups.empty()) {
      // The firmware reads the list length from the low nibble and the number of lists from the high one.
      if (t.FirstGroupLength > kMaxNibble || t.GroupCount > kMaxNibble + 1) error = kPartsReferenceTooLarge;
      v = t.FirstGroupLength + (t.GroupCount - 1) * 16;
    }
    counts += '$';
    counts += Hex2(v);
    if (k + 1 < model.tables.size()) counts += ',';
  }
  table.push_back(counts + " ;per group per count");
  for (std::size_t k = 0; k < model.tables.size(); ++k) {
    const auto& groups = model.tables[k].Groups;
    for (std::size_t j = 0; j < groups.size(); ++j) {
      std::string line = "\tDB ";
      for (std::size_t i = 0; i < groups[j].size(); ++i) line += (i ? ",$" : "$") + Hex2(groups[j][i]);
      table.push_back(line + " ;" + record.Keys[k].Name.str() + Dec(static_cast<std::int64_t>(j)));
    }
  }
  return error;
}

void ClearWritten(PartsModel& model) {
  for (TPartsTable& t : model.tables)
    for (TPartsInfo& p : t.Parts) p.Written = false;
}

}  // namespace klimavo::firmware
