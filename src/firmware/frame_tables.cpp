#include "firmware/frame_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "base/gbk.h"
#include "ir/protocol.h"
#include "ir/tolerance.h"

namespace klimavo::firmware {
namespace {

constexpr int kMaxCarrierGap = 2000;         // Hz between carriers of one entry
constexpr double kLogicFactor = 0.1;         // relative tolerance of logic durations
constexpr double kSplitFactor = 0.2;         // relative tolerance of split durations
constexpr int kMaxStructureBytes = 64;       // 6 bits of the logic header byte
constexpr int kMaxUnitIndex = 63;            // 6 bits of a data unit byte
constexpr int kMaxSplitNumber = 31;          // above it bit 5 marks a repeat group
constexpr int kMaxImageRepeat = 15;          // the low nibble of the repeat opener
constexpr std::uint8_t kRepeatMark = 0x20;   // opens (with a count) and closes a repeat group
constexpr std::int64_t kHalfLimit = 32767;   // a halved split duration stays in 15 bits
constexpr std::size_t kTripleElements = 12;  // triple frames read elements 0-2 and 9-11

struct Texts {
  std::string byte_count_first = "; byte count";
  std::string width7 = ToGbk(";第1个数据的位数=7-1,最后一个数据位数BIT3-BIT5=8-1");
  std::string width8 = ToGbk(";第1个数据的位数=8-1,非8位数") + "1";
  std::string carrier = ToGbk(";载波");
  std::string logic_header_first = ToGbk(";高2逻辑减1,低6结构减1");
  std::string structure = ToGbk(";发码结构");
  std::string logic_count = ToGbk(";高2位逻辑数");
  std::string structure_count = ToGbk("-1,低6位结构数");
  std::string wave_data = ToGbk("\t ;===波形数据");
  std::string byte_length = ToGbk("; 字节长度");
};

const Texts& T() {
  static const Texts texts;
  return texts;
}

bool LogicCountRefused(std::int64_t count) {
  std::int64_t c = count - 1;
  return c > 4 || c == 3;
}

std::uint8_t CarrierByte(std::uint16_t carrier) {
  if (carrier == 0) return 0;
  double v = std::nearbyint(4000.0 / (carrier / 1000.0) - 1.0);  // halves to even
  return static_cast<std::uint8_t>(static_cast<std::int64_t>(v) & 0xFF);
}

// The structure writer of one table: bytes, width codes and the limits.
class StructureWriter {
 public:
  StructureWriter(const TACTmpGs& entry, FrameStructure& out) : entry_(entry), out_(out) {}

  bool Split(std::uint16_t number) {
    if (number > kMaxSplitNumber) out_.overflow = true;
    return Push(static_cast<std::uint8_t>(number & 0xFF));
  }
  // Writes the units of a data element; false when a width has no code.
  bool Data(int bits, int& k, bool all_eight) {
    int units = (bits + 7) / 8;
    for (int u = 0; u < units; ++u) {
      int width = 8;
      if (!all_eight) {
        if (entry_.SevenBitFirst)
          width = u == 0 ? 7 : 8;
        else if (u == units - 1 && bits % 8 != 0)
          width = bits % 8;
      }
      int code = all_eight ? 1 : widths_.CodeOf(width);
      if (code == 0) {
        out_.width_error = true;
        return false;
      }
      if (k > kMaxUnitIndex) out_.overflow = true;
      Push(static_cast<std::uint8_t>((code * 64 + k) & 0xFF));
      ++k;
    }
    return true;
  }
  bool Push(std::uint8_t byte) {
    out_.bytes.push_back(byte);
    return true;
  }
  std::uint8_t WidthByte() const { return widths_.WidthByte(); }

 private:
  const TACTmpGs& entry_;
  FrameStructure& out_;
  DataWidthCode widths_;
};

int UnitsOf(const ir::TStrProtItem& e) { return e.IsData() ? (e.Value + 7) / 8 : 0; }

// Elements [first, last] once, every unit of 8 bits.
bool WriteTripleRange(StructureWriter& w, const ir::TStrProt_Listbase& list, std::size_t first,
                      std::size_t last, int& k) {
  for (std::size_t i = first; i <= last; ++i) {
    const auto& e = list[i];
    bool ok = e.IsData() ? w.Data(e.Value, k, true) : w.Split(e.Value);
    if (!ok) return false;
  }
  return true;
}

void BuildTriple(StructureWriter& w, const ir::TStrProt_Listbase& list, bool image, FrameStructure& out) {
  if (list.size() < kTripleElements) {
    out.triple_too_short = true;
    return;
  }
  int k0 = 0;
  for (std::size_t i = 0; i <= 2; ++i) k0 += UnitsOf(list[i]);
  if (image) {
    int k = 0;
    w.Push(kRepeatMark + 3);
    WriteTripleRange(w, list, 0, 2, k);
    w.Push(kRepeatMark);
    w.Push(kRepeatMark + 3);
    WriteTripleRange(w, list, 9, 11, k);
    w.Push(kRepeatMark);
    return;
  }
  for (int t = 0; t < 3; ++t) {
    int k = 0;
    WriteTripleRange(w, list, 0, 2, k);
  }
  for (int t = 0; t < 3; ++t) {
    int k = k0;
    WriteTripleRange(w, list, 9, 11, k);
  }
}

// The element list once; false when a unit width has no code.
bool WriteElementsOnce(StructureWriter& w, const TACTmpGs& entry, const ir::TStrProt_Listbase& list) {
  int k = 0;
  for (const auto& e : list) {
    if (!e.IsData()) {
      w.Split(e.Value);
      continue;
    }
    if (entry.FramesShareData) k = 0;
    if (!w.Data(e.Value, k, false)) return false;
  }
  return true;
}

std::string DropFinalComma(std::string text) {
  if (!text.empty() && text.back() == ',') text.pop_back();
  return text;
}

// A split code whose first or second half is 0 is sent as two halves.
std::array<std::int64_t, 2> HalvedSplit(std::array<std::int32_t, 2> split) {
  std::int64_t first = split[0];
  std::int64_t second = split[1];
  auto half = [](std::int64_t v) { return std::clamp<std::int64_t>(v / 2, -kHalfLimit, kHalfLimit); };
  if (first == 0) {
    first = half(second);
    second -= first;
  } else if (second == 0) {
    second = first;
    first = half(second);
    second -= first;
  }
  return {first, second};
}

// The structure bytes as the firmware expands them: a byte with bit 5 set and a
// count in its low nibble repeats the bytes up to the next byte with bit 5 set.
std::vector<std::uint8_t> ExpandLikeFirmware(const std::vector<std::uint8_t>& bytes) {
  std::vector<std::uint8_t> out;
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::uint8_t x = bytes[i];
    if ((x & kRepeatMark) && (x & 0x0F) > 0) {
      std::size_t end = i + 1;
      while (end < bytes.size() && !(bytes[end] & kRepeatMark)) ++end;
      if (end < bytes.size() && end > i + 1) {
        for (int r = 0; r < (x & 0x0F); ++r)
          out.insert(out.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i + 1),
                     bytes.begin() + static_cast<std::ptrdiff_t>(end));
        i = end + 1;
        continue;
      }
    }
    out.push_back(x);
    ++i;
  }
  return out;
}

}  // namespace

std::string ToGbk(std::string_view utf8) { return base::Utf8ToGbk(utf8).value_or(std::string(utf8)); }

std::string HexByte(std::int64_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  auto v = static_cast<std::uint64_t>(value) & 0xFF;
  return std::string{kDigits[v >> 4], kDigits[v & 15]};
}

std::string HexWord(std::int64_t value) {
  auto v = static_cast<std::uint64_t>(value) & 0xFFFF;
  return HexByte(static_cast<std::int64_t>(v >> 8)) + HexByte(static_cast<std::int64_t>(v & 0xFF));
}

std::string BinByte(std::int64_t value) {
  std::string s(8, '0');
  auto v = static_cast<std::uint64_t>(value);
  for (int i = 0; i < 8; ++i)
    if ((v >> (7 - i)) & 1) s[static_cast<std::size_t>(i)] = '1';
  return s;
}

std::string BinWord(std::int64_t value) {
  auto v = static_cast<std::uint64_t>(value);
  return BinByte(static_cast<std::int64_t>(v >> 8)) + BinByte(static_cast<std::int64_t>(v));
}

bool SameFrameFormat(const TACTmpGs& a, const TACTmpGs& b) {
  if (a.FormatText != b.FormatText) return false;
  if (std::abs(static_cast<int>(a.Carrier) - static_cast<int>(b.Carrier)) > kMaxCarrierGap) return false;
  if (a.LogicCodes.size() != b.LogicCodes.size() || a.SplitCodes.size() != b.SplitCodes.size()) return false;
  if (a.SevenBitFirst != b.SevenBitFirst || a.FramesShareData != b.FramesShareData ||
      a.TripleFrames != b.TripleFrames)
    return false;
  for (std::size_t i = 0; i < a.LogicCodes.size(); ++i) {
    const auto& x = a.LogicCodes[i];
    const auto& y = b.LogicCodes[i];
    if (x.size() != y.size()) return false;
    for (std::size_t j = 0; j < x.size(); ++j)
      if (!ir::IsNearAbs50(x[j], y[j], kLogicFactor)) return false;
  }
  for (std::size_t i = 0; i < a.SplitCodes.size(); ++i)
    for (std::size_t j = 0; j < 2; ++j)
      if (!ir::IsNearAbs50(a.SplitCodes[i][j], b.SplitCodes[i][j], kSplitFactor)) return false;
  return true;
}

EncodedDuration EncodeDurationBytes(std::int32_t duration, bool split_code, bool three_bytes,
                                    const config::TimingAdjustments& timing) {
  bool mark = duration > 0;
  std::int64_t adjust = split_code ? (mark ? timing.WaveHighComp : timing.WaveLowComp)
                                   : (mark ? timing.LogicHighComp : timing.LogicLowComp);
  std::int64_t m = std::llabs(static_cast<std::int64_t>(duration)) + adjust;
  std::int64_t low_byte = m & 0xFF;
  // A low byte below 9 is avoided: the firmware counts it down to $FF instead.
  if (low_byte < 9) m = m - low_byte - 1;
  if (m < 0) m = 1;
  EncodedDuration out;
  std::uint8_t low = static_cast<std::uint8_t>(m & 0xFF);
  if (low < 0x10) low = 0x10;
  std::uint8_t mark_bit = mark ? 1 : 0;
  out.bytes[0] = low;
  if (three_bytes) {
    out.bytes[1] = static_cast<std::uint8_t>((m >> 8) & 0xFF);
    out.bytes[2] = static_cast<std::uint8_t>((((m >> 16) * 2) & 0xFF) + mark_bit);
    out.count = 3;
  } else {
    out.bytes[1] = static_cast<std::uint8_t>((((m >> 8) * 2) & 0xFF) + mark_bit);
    out.count = 2;
  }
  return out;
}

std::string EncodeDuration(std::int32_t duration, bool split_code, bool three_bytes,
                           const config::TimingAdjustments& timing) {
  EncodedDuration e = EncodeDurationBytes(duration, split_code, three_bytes, timing);
  std::string text;
  for (int i = 0; i < e.count; ++i) text += " $" + HexByte(e.bytes[static_cast<std::size_t>(i)]) + ",";
  return text;
}

int DataWidthCode::CodeOf(int width) {
  if (width == 8) return 1;
  for (std::size_t i = 0; i < odd_.size(); ++i)
    if (odd_[i] == width) return 2 + static_cast<int>(i);
  if (odd_.size() >= 2) return 0;
  odd_.push_back(width);
  return 1 + static_cast<int>(odd_.size());
}

std::uint8_t DataWidthCode::WidthByte() const {
  int w = 0;
  if (!odd_.empty()) w += odd_[0] - 1;
  if (odd_.size() > 1) w += 8 * (odd_[1] - 1);
  return static_cast<std::uint8_t>(w & 0xFF);
}

FrameStructure BuildFrameStructure(const TACTmpGs& entry, bool table_image_mode) {
  FrameStructure out;
  ir::TStrProt_Stru prot = ir::ParseProtocol(entry.FormatText);
  StructureWriter w(entry, out);
  if (entry.TripleFrames) {
    BuildTriple(w, prot.Elements, table_image_mode, out);
  } else if (table_image_mode) {
    if (prot.Repeat > 1) {
      if (prot.Repeat > kMaxImageRepeat) out.overflow = true;
      w.Push(static_cast<std::uint8_t>((kRepeatMark + prot.Repeat) & 0xFF));
    }
    if (WriteElementsOnce(w, entry, prot.Elements) && prot.Repeat >= 2) w.Push(kRepeatMark);
  } else {
    for (std::int32_t r = 0; r < prot.Repeat; ++r)
      if (!WriteElementsOnce(w, entry, prot.Elements)) break;
  }
  out.width_byte = w.WidthByte();
  if (out.bytes.size() > static_cast<std::size_t>(kMaxStructureBytes)) out.overflow = true;
  return out;
}

int CheckFrameFormat(const TACTmpGs& entry, bool table_image_mode) {
  FrameStructure s = BuildFrameStructure(entry, table_image_mode);
  if (s.triple_too_short) return kErrTripleTooShort;
  if (s.overflow) return kErrStructureOverflow;
  // The assembler file keeps its visible "errorframe!" line; an image would
  // silently send a cut frame, so it is refused.
  if (s.width_error && table_image_mode) return kErrDataWidth;
  // Data unit indexes from 32 up carry bit 5, the firmware's repeat marker: the
  // bytes must still expand to the intended sequence.
  if (ExpandLikeFirmware(s.bytes) != (table_image_mode ? BuildFrameStructure(entry, false).bytes : s.bytes))
    return kErrStructureOverflow;
  return 0;
}

bool WriteFrameTable(Lines& lines, const TACTmpGs& entry, int index, const GeneratorSettings& settings) {
  const Texts& t = T();
  lines.push_back("pub_frame_table" + std::to_string(index) + ":");
  std::size_t count_line = lines.size();
  lines.push_back("\tDB $" + HexByte(0) + "\t" + t.byte_count_first);
  std::size_t width_line = lines.size();
  if (entry.SevenBitFirst)
    lines.push_back("\tDB " + BinByte(62) + "B\t" + t.width7);
  else
    lines.push_back("\tDB " + BinByte(63) + "B\t" + t.width8);
  int count = 1;
  lines.push_back("\tDB $" + HexByte(CarrierByte(entry.Carrier)) + "\t" + t.carrier);
  ++count;
  const auto logic_count = static_cast<std::int64_t>(entry.LogicCodes.size());
  if (LogicCountRefused(logic_count)) {
    lines.push_back("logicBigger");
    return false;
  }
  std::size_t header_line = lines.size();
  lines.push_back("\tDB " + BinByte((logic_count - 1) * 64) + "B\t" + t.logic_header_first);
  ++count;
  for (std::size_t i = 0; i < entry.LogicCodes.size(); ++i) {
    std::string text;
    for (std::int32_t d : entry.LogicCodes[i]) {
      text += EncodeDuration(d, false, false, settings.Timing);
      count += 2;
    }
    lines.push_back("\tDB " + DropFinalComma(text) + "\t;logic" + std::to_string(i));
  }
  FrameStructure s = BuildFrameStructure(entry, settings.TableImageMode);
  if (s.width_error) lines.push_back("errorframe!");
  std::string structure;
  for (std::uint8_t b : s.bytes) {
    structure += '$';
    structure += HexByte(b);
    structure += ',';
  }
  lines.push_back("\tDB " + DropFinalComma(structure) + t.structure);
  const auto S = static_cast<std::int64_t>(s.bytes.size());
  count += static_cast<int>(S);
  lines[header_line] = "\tDB " + BinByte(((logic_count - 1) * 64 + S - 1) & 0xFF) + "B\t" + t.logic_count +
                       std::to_string(logic_count) + t.structure_count + std::to_string(S) + "-1";
  lines.push_back(t.wave_data);
  for (std::size_t i = 0; i < entry.SplitCodes.size(); ++i) {
    auto halves = HalvedSplit(entry.SplitCodes[i]);
    std::string text = EncodeDuration(static_cast<std::int32_t>(halves[0]), true, false, settings.Timing) +
                       EncodeDuration(static_cast<std::int32_t>(halves[1]), true, true, settings.Timing);
    lines.push_back("\tDB " + DropFinalComma(text) + "\t;wav " + std::to_string(i));
    count += 5;
  }
  lines[width_line] = "\tDB " + BinByte(s.width_byte) + "B\t";
  lines[count_line] = "\tDB $" + HexByte(count) + "\t" + t.byte_length;
  return true;
}

bool MakeFrameFormat(const store::TdiskAir& record, std::string_view text, std::int32_t frames_share_data,
                     const GeneratorSettings& settings, TACTmpGs& entry) {
  const ir::TIRGsPara& p = record.Params;
  entry = TACTmpGs{};
  entry.FormatText = ir::PrintProtocol(ir::ParseProtocol(text));
  entry.SevenBitFirst = settings.SevenBitFirst ? 1 : 0;
  entry.TripleFrames = settings.TripleFrames ? 1 : 0;
  entry.Carrier = p.Carrier;
  entry.FramesShareData = static_cast<std::uint8_t>(frames_share_data);
  if (LogicCountRefused(p.LogicCount) || p.LogicCount == 0) return false;
  for (int i = 0; i < p.LogicCount; ++i) entry.LogicCodes.push_back(p.LogicDurations(i));
  int splits = std::min<int>(p.SplitCount, ir::TIRGsPara::kMaxSplit);
  for (int i = 0; i < splits; ++i) entry.SplitCodes.push_back(p.Split[static_cast<std::size_t>(i)]);
  return true;
}

int FrameFormatList::AddFrameFormat(const store::TdiskAir& record, std::string_view text,
                                    std::int32_t frames_share_data, const GeneratorSettings& settings) {
  TACTmpGs entry;
  if (!MakeFrameFormat(record, text, frames_share_data, settings, entry)) return kRefusedLogicCount;
  if (int code = CheckFrameFormat(entry, settings.TableImageMode); code != 0) return code;
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (SameFrameFormat(entries_[i], entry)) return static_cast<int>(i);
  entries_.push_back(std::move(entry));
  return static_cast<int>(entries_.size()) - 1;
}

void FrameFormatList::WriteFrameTables(Lines& lines, const GeneratorSettings& settings) const {
  for (std::size_t i = 0; i < entries_.size(); ++i)
    WriteFrameTable(lines, entries_[i], static_cast<int>(i), settings);
}

}  // namespace klimavo::firmware
