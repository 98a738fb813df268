#include "firmware/table_file.h"

#include <algorithm>

#include "base/atomic_file.h"
#include "base/text.h"
#include "firmware/crc_tables.h"
#include "firmware/parts_tables.h"
#include "firmware/record_preparation.h"

namespace klimavo::firmware {
namespace {

constexpr std::uint8_t kControlChecksums = 0x10;
constexpr std::uint8_t kControlMsbFirst = 0x20;
constexpr int kRemoteWithoutDisplayRaise = 192;

struct Texts {
  std::string header_start = ToGbk(";*******空调:");
  std::string header_code = ToGbk(" 编号");
  std::string header_end = "*****************************start";
  std::string control = ToGbk(";控制字节");
  std::string key_formats = ToGbk("; 每个按键对应格式");
  std::string ini_start = ";================================table ini start ";
  std::string ini_stop = ";================================table ini stop ";
};

const Texts& T() {
  static const Texts texts;
  return texts;
}

constexpr PrepareErrorCodes kPrepareErrors{kFileErrKeyCount, kFileErrTooManyKeys, kFileErrFormatWithoutKey,
                                           kFileErrTooManyFormats, kFileErrNoFormat};

// A list inserted as one text: its lines and the empty line of its final line end.
void AppendBlock(Lines& output, const Lines& block) {
  output.insert(output.end(), block.begin(), block.end());
  output.emplace_back();
}

bool Sends(const store::Tex_gsstrut& format, std::size_t key) {
  return std::find(format.KeyIndexes.begin(), format.KeyIndexes.end(), key) != format.KeyIndexes.end();
}

}  // namespace

void LabelLists::Clear() {
  FrameIndexRefs.clear();
  CrcTableRefs.clear();
  DataTableRefs.clear();
  RelationRefs.clear();
  RelationIniBlocks.clear();
}

TableGenerator::TableGenerator(const config::TimingAdjustments& timing) { settings_.Timing = timing; }

void TableGenerator::Clear() {
  labels_.Clear();
  frames_.Clear();
}

std::uint8_t BaseControlByte(const store::TdiskAir& record, std::size_t format_count) {
  unsigned control = static_cast<unsigned>(format_count - 1) & 3u;
  if (record.HasChecksum) control |= kControlChecksums;
  if (record.LsbFirst == 0) control |= kControlMsbFirst;
  return static_cast<std::uint8_t>(control);
}

std::uint16_t KeyFormatWord(const store::TdiskAir& record, const store::Tex_gssList& formats) {
  auto field = [&](std::size_t key) -> unsigned {
    for (std::size_t f = 1; f < formats.size(); ++f)
      if (Sends(formats[f], key)) return static_cast<unsigned>(f) & 3u;
    return 0;
  };
  std::uint32_t word = 0;
  int shift = 0;
  for (std::size_t k = 0; k < record.UsedKeys(); ++k) {
    word |= field(k) << shift;
    shift += 2;
    if (k == 0) {
      word |= field(store::kPowerSecondFrameMarker) << shift;
      shift += 2;
    }
  }
  return static_cast<std::uint16_t>(word & 0xFFFF);
}

int RunPartsGenerator(const store::TdiskAir& copy, const store::Tex_gssList& formats,
                      const store::TBtnLines& bit_lines, bool seven_bit_first, bool triple_frames,
                      Lines& relation, std::uint8_t& control_byte, Lines& table) {
  PartsInput in{copy, formats, bit_lines, seven_bit_first, triple_frames};
  if (copy.RemoteType == 1) return WriteKeyTable(in, relation);
  if (formats.size() == 1) return WritePartsTablesA(in, relation, control_byte, table);
  return WritePartsTablesB(in, relation, control_byte, table);
}

int GenerateRecordTables(store::TdiskAir& copy, const store::TBtnLines& bit_lines, bool triple_frames,
                         const PrepareErrorCodes& errors, RecordTables& out) {
  PreparedFormats prepared = PrepareRecordForTables(copy);
  if (prepared.status != PrepareStatus::kOk) return PrepareErrorCode(prepared.status, errors);
  out.seven_bit_first = prepared.seven_bit_first;
  out.formats = std::move(prepared.formats);
  out.control = BaseControlByte(copy, out.formats.size());
  const int r = RunPartsGenerator(copy, out.formats, bit_lines, out.seven_bit_first, triple_frames,
                                  out.relation, out.control, out.table);
  return r != 0 ? r - kPartsErrorBase : 0;
}

int TableGenerator::WriteRecordTables(Lines& output, store::TdiskAir& copy, const store::TBtnLines& bit_lines,
                                      const std::string& label) {
  const Texts& t = T();
  RecordTables tables;
  if (int r = GenerateRecordTables(copy, bit_lines, settings_.TripleFrames, kPrepareErrors, tables); r != 0)
    return r;
  settings_.SevenBitFirst = tables.seven_bit_first;
  const store::Tex_gssList& formats = tables.formats;
  std::uint8_t control = tables.control;
  const Lines& relation = tables.relation;
  const Lines& table = tables.table;
  if (copy.RemoteType == 1)
    control = static_cast<std::uint8_t>((control + kRemoteWithoutDisplayRaise) & 0xFF);

  Lines block;
  block.push_back(label + "_RELATION_INI:");
  labels_.FrameIndexRefs.push_back("\tDW " + label + "_RELATION_INI");
  block.push_back("\tDB " + BinByte(control) + "B\t" + t.control);
  Lines crc;
  if (copy.HasChecksum) {
    if (int code = WriteCrcTable(copy, crc, formats); code != 0) return code;
    block.push_back("\tDW $" + HexWord(static_cast<std::int64_t>(labels_.CrcTableRefs.size())) +
                    "\t;crc index");
    labels_.CrcTableRefs.push_back("\tDW " + label + "_CRC");
  }
  block.push_back("\tDW $" + HexWord(static_cast<std::int64_t>(labels_.DataTableRefs.size())) + "\t; table");
  if (!table.empty()) labels_.DataTableRefs.push_back("\tDW " + label + "_TABLE");
  block.push_back("\tDW $" + HexWord(static_cast<std::int64_t>(labels_.RelationRefs.size())) +
                  "\t; _RELATION");
  labels_.RelationRefs.push_back("\tDW " + label + "_RELATION");
  if (formats.size() >= 2)
    block.push_back("\tDW " + BinWord(KeyFormatWord(copy, formats)) + "B\t" + t.key_formats);
  for (const auto& format : formats) {
    int i = frames_.AddFrameFormat(copy, format.Text, format.FramesShareData, settings_);
    if (i == kRefusedLogicCount) return kFileErrTables;
    if (i < 0) return i;
    block.push_back("\tDW $" + HexWord(i) + "\t; pub_frame_table" + std::to_string(i));
  }

  if (!crc.empty()) {
    output.push_back(label + "_CRC:");
    AppendBlock(output, crc);
  }
  output.push_back(label + "_RELATION:");
  AppendBlock(output, relation);
  if (!table.empty()) {
    output.push_back(label + "_TABLE:");
    AppendBlock(output, table);
  }
  labels_.RelationIniBlocks.push_back(std::move(block));
  return 0;
}

int TableGenerator::AddRecord(Lines& output, const store::TdiskAir& record, const store::TBtnLines& bit_lines,
                              const RecordErrorSink& on_error) {
  const Texts& t = T();
  store::TdiskAir copy = record;
  settings_.TripleFrames = ApplySpecialCodeNumbers(copy);
  output.push_back(t.header_start + base::Trim(copy.Brand.str()) + t.header_code +
                   base::Trim(copy.CodeNo.str()) + t.header_end);
  const std::string label = RecordLabel(copy);
  int r = WriteRecordTables(output, copy, bit_lines, label);
  if (r != 0) {
    output.push_back("\t" + label + " err:" + std::to_string(r));
    if (on_error) on_error(label + ":" + std::to_string(r));
  }
  return r;
}

Lines TableGenerator::AssembleFile(const Lines& record_sections) const {
  const Texts& t = T();
  Lines out;
  out.push_back("SEND_FRAME_INDEX:");
  AppendBlock(out, labels_.FrameIndexRefs);
  out.push_back("SEND_FRAME_CRC_TABLE:");
  AppendBlock(out, labels_.CrcTableRefs);
  out.push_back("SEND_DATA_TABLE:");
  AppendBlock(out, labels_.DataTableRefs);
  out.push_back("SEND_DATA_FRAME_RELATION:");
  AppendBlock(out, labels_.RelationRefs);
  out.push_back("SEND_FRAME_TABLE:");
  for (int i = 0; i < frames_.Count(); ++i) out.push_back("\tDW pub_frame_table" + std::to_string(i));
  out.push_back(t.ini_start);
  // Every relation block is one text with its own line end, and the list of
  // them is inserted as one text again.
  Lines blocks;
  for (const auto& block : labels_.RelationIniBlocks) AppendBlock(blocks, block);
  AppendBlock(out, blocks);
  out.push_back(t.ini_stop);
  out.insert(out.end(), record_sections.begin(), record_sections.end());
  out.push_back("; frame table");
  frames_.WriteFrameTables(out, settings_);
  return out;
}

Lines TableFileLines(const store::ProtocolLibrary& library, const std::vector<int>& indices,
                     const config::TimingAdjustments& timing, const RecordErrorSink& on_error) {
  TableGenerator generator(timing);
  generator.Settings().TableImageMode = false;
  generator.Clear();
  Lines sections;
  store::TdiskAir record;
  store::TBtnLines bit_lines;
  for (int index : indices) {
    if (!library.FetchRecord(index, record, bit_lines)) continue;
    generator.AddRecord(sections, record, bit_lines, on_error);
  }
  return generator.AssembleFile(sections);
}

std::string JoinCrLf(const Lines& lines) {
  std::size_t size = 0;
  for (const auto& line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

int WriteTableFile(const std::filesystem::path& path, const store::ProtocolLibrary& library,
                   const std::vector<int>& indices, const config::TimingAdjustments& timing,
                   const RecordErrorSink& on_error) {
  base::WriteFileAtomically(path, JoinCrLf(TableFileLines(library, indices, timing, on_error)));
  return 0;
}

}  // namespace klimavo::firmware
