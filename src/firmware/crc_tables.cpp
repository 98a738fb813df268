#include "firmware/crc_tables.h"

#include <algorithm>

#include "ir/checksum.h"
#include "ir/protocol.h"

namespace klimavo::firmware {
namespace {

constexpr std::size_t kMaxFormats = 4;
constexpr std::size_t kMaxItems = 4;
constexpr int kMaxZones = 2;
constexpr std::int64_t kMaxDescriptorIndex = 63;  // 6 index bits of a range descriptor
constexpr std::uint8_t kBit6 = 0x40;
constexpr std::uint8_t kBit7 = 0x80;
constexpr int kGreeLowPieces = 4;  // GREE: low nibbles of the first four operands

// Internal and external operation codes of the firmware.
constexpr std::uint8_t kInnerAdd = 0;
constexpr std::uint8_t kInnerXor = 3;
constexpr std::uint8_t kInnerCountOnes = 4;
constexpr std::uint8_t kOuterAdd = 0;
constexpr std::uint8_t kOuterXor = 5;
constexpr std::uint8_t kOuterExchange = 7;
constexpr std::uint8_t kComplementConst = 255;

struct Texts {
  std::string item_title = ToGbk("\t;    ###########################校验");
  std::string byte_length = ToGbk("; 字节长度");
  std::string key_mask = ToGbk(";指明哪个按键有校验");
  std::string target_byte = ToGbk(";校验目标字节号");
  std::string target_bits = ToGbk(";校验目标起始位D0-D2=");
  std::string target_width = ToGbk(",宽D3-D5=");
  std::string start_byte = ToGbk(" ;起始字节=");
  std::string start4 = ToGbk(",4位开始");
  std::string start0 = ToGbk(",0位开始");
  std::string op8 = ToGbk(",操作8位");
  std::string op4 = ToGbk(",操作4位");
  std::string unused = ToGbk(";无效数据");
  std::string end_byte = ToGbk(" ;结束字节=");
  std::string end8 = ToGbk(",8位结束");
  std::string end4 = ToGbk(",4位结束");
  std::string internal = ToGbk(",内部运算");
  std::string external = ToGbk(",外部运算");
  std::string constant = ToGbk(";常数");
  std::string checksum = ToGbk(";校验");
  std::string count_suffix = ToGbk("-1个");
};

const Texts& T() {
  static const Texts texts;
  return texts;
}

bool Contains(const ir::TSSByteArray& list, std::size_t value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

std::uint8_t KeyMask(const store::Tex_gsstrut& format, bool first_format, std::size_t key_count) {
  unsigned mask = 0;
  if (Contains(format.KeyIndexes, 0)) mask |= 1;
  if (first_format) mask |= 2;
  for (std::size_t k = 1; k < key_count; ++k)
    if (Contains(format.KeyIndexes, k)) mask |= 1u << (k + 1);
  return static_cast<std::uint8_t>(mask & 0xFF);
}

// Writes the item's blocks; the kinds that the firmware cannot evaluate fail.
class ItemWriter {
 public:
  ItemWriter(Lines& lines, const ir::TStrProt_Listbase& elements) : lines_(lines), elements_(elements) {}

  int Write(const ir::TCrcItem& item, const TexCrc_zones& ranges) {
    const bool one_range = ranges.size() == 1;
    const std::uint32_t c = one_range ? item.Const : 0;
    const std::uint8_t o = (one_range && item.Const != 0) ? ir::MapConstOpToOuter(item.ConstOp) : 0;
    std::uint8_t last_end = 0;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
      if (i == 0 && (item.Kind == 4 || item.Kind == 5 || item.Kind > 10)) return kCrcUntranslatable;
      lines_.push_back("\t;caculte " + std::to_string(i));
      const TexCrcZone& r = ranges[i];
      std::int64_t s_index = ir::ByteOffsetOfRun(elements_, r.StartFrame, r.StartBit);
      std::int64_t e_index = ir::ByteOffsetOfRun(elements_, r.EndFrame, r.EndBit);
      if (s_index < 0 || e_index < 0 || s_index > kMaxDescriptorIndex || e_index > kMaxDescriptorIndex)
        return kErrDescriptorIndex;
      CrcBlock b;
      b.start =
          static_cast<std::uint8_t>(s_index | (r.Width == 8 ? kBit6 : 0) | (r.StartBit % 8 != 0 ? kBit7 : 0));
      b.end = static_cast<std::uint8_t>(e_index | kBit6 | ((r.EndBit + 1) % 8 == 0 ? kBit7 : 0));
      last_end = b.end;
      bool last = i + 1 == ranges.size();
      if (!KindBlock(item.Kind, last, c, o, b)) return kCrcUntranslatable;
      blocks_++;
      WriteCrcBlock(lines_, b);
      if (c != 0 && HasAfterBlock(item.Kind)) ExternalOnly(b.end, o, c);
    }
    if (ranges.size() > 1 && item.Const != 0) {
      lines_.push_back("\t;caculte " + std::to_string(ranges.size()));
      ExternalOnly(last_end, ir::MapConstOpToOuter(item.ConstOp), item.Const);
    }
    return 0;
  }
  int Blocks() const { return blocks_; }

 private:
  static bool HasAfterBlock(int kind) { return kind == 1 || kind == 3 || kind == 7 || kind == 10; }

  static bool KindBlock(int kind, bool last, std::uint32_t c, std::uint8_t o, CrcBlock& b) {
    auto complement_last = [&](std::uint8_t inner, std::uint8_t outer_last, std::uint8_t const_last) {
      b.inner = inner;
      b.outer = last ? outer_last : kOuterAdd;
      b.constant = last ? const_last : 0;
    };
    switch (kind) {
      case 0:
      case 8:
      case 9:
        b.inner = kInnerAdd;
        b.outer = o;
        b.constant = static_cast<std::uint8_t>(c & 0xFF);
        if (kind == 9 && (b.end & kBit7)) b.start |= kBit7;
        return true;
      case 1:
        complement_last(kInnerAdd, kOuterXor, kComplementConst);
        return true;
      case 2:
        b.inner = kInnerCountOnes;
        b.outer = o;
        b.constant = static_cast<std::uint8_t>(c & 0xFF);
        return true;
      case 3:
        complement_last(kInnerCountOnes, kOuterXor, kComplementConst);
        return true;
      case 6:
        b.inner = kInnerXor;
        b.outer = o;
        b.constant = static_cast<std::uint8_t>(c & 0xFF);
        return true;
      case 7:
        complement_last(kInnerAdd, kOuterExchange, 0);
        return true;
      case 10:
        complement_last(kInnerXor, kOuterXor, kComplementConst);
        return true;
      default:
        return false;
    }
  }

  void ExternalOnly(std::uint8_t end, std::uint8_t op, std::uint32_t constant) {
    CrcBlock b;
    b.end = static_cast<std::uint8_t>(end & ~kBit6);
    b.start = b.end;
    b.external = op;
    b.constant = static_cast<std::uint8_t>(constant & 0xFF);
    blocks_++;
    WriteCrcBlock(lines_, b);
  }

  Lines& lines_;
  const ir::TStrProt_Listbase& elements_;
  int blocks_ = 0;
};

}  // namespace

std::optional<TexCrc_zones> CrcRangesOfItem(const ir::TCrcItem& item) {
  const int w = item.OperandWidth;
  if (w != 4 && w != 8) return std::nullopt;
  TexCrc_zones out;
  const int zones = std::min<int>(item.ZoneCount, kMaxZones);
  for (int z = 0; z < zones; ++z) {
    const ir::TCrcZone& zone = item.Zones[static_cast<std::size_t>(z)];
    TexCrcZone r{zone.StartFrame, zone.StartBit, zone.EndFrame, zone.EndBit, w};
    if (w == 4) {
      if (zone.StartBit % 4 != 0) return std::nullopt;
      out.push_back(r);
      continue;
    }
    if (zone.StartBit % 8 != 0) return std::nullopt;
    if (zone.EndBit % 8 == 7) {
      out.push_back(r);
    } else if (zone.EndBit % 8 == 3) {
      // Whole bytes up to the last one, then its first nibble. A zone of that
      // nibble alone has no whole byte: it gets no byte range, which would end
      // before it starts and sum bytes the zone does not hold.
      const bool whole_bytes = zone.StartFrame != zone.EndFrame || zone.EndBit - 4 >= zone.StartBit;
      if (whole_bytes) out.push_back({zone.StartFrame, zone.StartBit, zone.EndFrame, zone.EndBit - 4, 8});
      out.push_back({zone.EndFrame, zone.EndBit - 3, zone.EndFrame, zone.EndBit, 4});
    } else {
      return std::nullopt;
    }
  }
  return out;
}

TexCrc_zones GreeRangesOfItem(const ir::TCrcItem& item, const ir::TStrProt_Listbase& elements) {
  TexCrc_zones out;
  const std::int64_t w = item.OperandWidth;
  if (w <= 0) return out;
  const std::int64_t total = ir::TotalBits(elements);
  int k = 0;
  const int zones = std::min<int>(item.ZoneCount, kMaxZones);
  for (int z = 0; z < zones; ++z) {
    const ir::TCrcZone& zone = item.Zones[static_cast<std::size_t>(z)];
    for (int f = zone.StartFrame; f <= zone.EndFrame; ++f) {
      std::int64_t start_bit = f == zone.StartFrame ? zone.StartBit : 0;
      std::int64_t end_bit = f == zone.EndFrame ? zone.EndBit : ir::BitsInRun(elements, f) - 1;
      std::int64_t count = end_bit - start_bit + 1;
      if (count < 1) continue;
      std::int64_t start = ir::BitOffsetOfRun(elements, f, start_bit);
      std::int64_t real = std::clamp<std::int64_t>(total - start, 0, count);  // bits before the end
      if (real == 0) continue;
      std::int64_t padded = (real + w - 1) / w * w;
      for (std::int64_t p = 0; p + w <= padded; p += w, ++k) {
        if (p + w > real) continue;  // the piece holds padding: counts, yields nothing
        std::int64_t first = k < kGreeLowPieces ? p : p + 4;
        out.push_back({f, static_cast<std::int32_t>(first), f, static_cast<std::int32_t>(first + 3), 4});
      }
    }
  }
  return out;
}

void WriteCrcBlock(Lines& lines, const CrcBlock& b) {
  const Texts& t = T();
  const bool internal = (b.end & kBit6) != 0;
  if (internal)
    lines.push_back("\tDB " + BinByte(b.start) + "B\t" + t.start_byte + std::to_string(b.start & 63) +
                    ((b.start & kBit7) ? t.start4 : t.start0) + ((b.start & kBit6) ? t.op8 : t.op4));
  else
    lines.push_back("\tDB " + BinByte(b.end) + "B \t" + t.unused);
  lines.push_back("\tDB " + BinByte(b.end) + "B\t" + t.end_byte + std::to_string(b.end & 63) +
                  ((b.end & kBit7) ? t.end8 : t.end4) + (internal ? t.internal : t.external));
  std::string names;
  if (internal) {
    names = ir::CrcInnerOpName(b.inner);
    if (b.constant != 0) names += ir::CrcOuterOpName(b.outer);
  }
  lines.push_back("\tDB $" + HexByte(b.outer * 16 + b.inner) + "\t;" + names);
  lines.push_back("\tDB $" + HexByte(b.external) + "\t;" +
                  (internal ? std::string() : ir::CrcOuterOpName(b.external)));
  lines.push_back("\tDB $" + HexByte(b.constant) + "\t" + t.constant);
}

int WriteCrcTable(const store::TdiskAir& record, Lines& lines, const store::Tex_gssList& formats) {
  const Texts& t = T();
  lines.clear();
  int n = 0;
  for (std::size_t fi = 0; fi < formats.size(); ++fi) {
    if (fi >= kMaxFormats) return kCrcUntranslatable;
    const store::Tex_gsstrut& format = formats[fi];
    if (format.FrameIndex < 0 || format.FrameIndex >= static_cast<int>(store::kFormatSlots)) continue;
    const ir::TCrcBlock& block = record.Slots[static_cast<std::size_t>(format.FrameIndex)].Crc;
    if (!block.HasChecksum) continue;
    const ir::TStrProt_Listbase elements = ir::ParseProtocol(format.Text).Elements;
    const std::size_t items = std::min<std::size_t>(block.Count, kMaxItems);
    for (std::size_t j = 0; j < items; ++j) {
      ir::TCrcItem item = block.Items[j];
      lines.push_back(t.item_title + std::to_string(n));
      std::size_t count_line = lines.size();
      lines.push_back(std::string());
      lines.push_back("\tDB " + BinByte(KeyMask(format, fi == 0, record.UsedKeys())) + "B\t" + t.key_mask);
      std::int64_t target = ir::ByteOffsetOfRun(elements, item.TargetFrame, item.TargetBit);
      lines.push_back("\tDB $" + HexByte(target) + "\t" + t.target_byte + std::to_string(target));
      const int start_mod = item.TargetBit % 8;
      lines.push_back("\tDB " + BinByte(((item.TargetWidth - 1) * 8 + start_mod) & 0xFF) + "B\t" +
                      t.target_bits + std::to_string(start_mod) + t.target_width +
                      std::to_string(item.TargetWidth) + "-1");
      if (item.Kind >= 2 && item.Kind <= 5 && item.OperandWidth == 8 && start_mod != 0) item.OperandWidth = 4;
      TexCrc_zones ranges;
      if (item.Kind == 9) {
        ranges = GreeRangesOfItem(item, elements);
      } else {
        auto r = CrcRangesOfItem(item);
        if (!r) return kCrcUntranslatable;
        ranges = std::move(*r);
      }
      ItemWriter writer(lines, elements);
      if (int code = writer.Write(item, ranges); code != 0) return code;
      lines[count_line] = "\tDB $" + HexByte(3 + 5 * writer.Blocks() - 1) + "\t" + t.byte_length;
      ++n;
    }
  }
  lines.insert(lines.begin(),
               "\tDB $" + HexByte(n - 1) + "\t" + t.checksum + std::to_string(n) + t.count_suffix);
  return 0;
}

}  // namespace klimavo::firmware
