#include "firmware/table_image.h"

#include <ctime>

#include "base/text.h"
#include "firmware/crc_tables.h"
#include "firmware/record_preparation.h"
#include "firmware/table_file.h"

namespace klimavo::firmware {
namespace {

constexpr int kPointerTables = 5;
constexpr std::uint8_t kDownloadSumSeed = 0xCC;
constexpr int kYearBias = 48;  // the year byte holds (year + 48) and $FF

constexpr PrepareErrorCodes kPrepareErrors{kImageErrKeyCount, kImageErrTooManyKeys, kImageErrFormatWithoutKey,
                                           kImageErrTooManyFormats, kImageErrNoFormat};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// One comma-separated item of a DB line: a "$" hex number or binary digits
// before a "B"; false when it gives no byte.
bool ItemByte(const std::string& item, std::uint8_t& byte) {
  if (std::size_t dollar = item.find('$'); dollar != std::string::npos) {
    if (dollar != 0 || item.size() < 2) return false;
    std::uint64_t v = 0;
    for (std::size_t i = 1; i < item.size(); ++i) {
      int d = HexDigit(item[i]);
      if (d < 0) return false;
      v = v * 16 + static_cast<std::uint64_t>(d);
    }
    byte = static_cast<std::uint8_t>(v & 0xFF);
    return true;
  }
  std::size_t b = item.find('B');
  if (b == std::string::npos) return false;
  unsigned v = 0;
  for (std::size_t i = 0; i < b; ++i) v = (v << 1) | (item[i] == '1' ? 1u : 0u);
  byte = static_cast<std::uint8_t>(v & 0xFF);
  return true;
}

void AppendWord(base::Bytes& out, std::uint16_t word) {
  out.push_back(static_cast<std::uint8_t>(word & 0xFF));
  out.push_back(static_cast<std::uint8_t>(word >> 8));
}

// Header words, pointer tables and data blocks; every pointer is $30 + offset.
base::Bytes LayOutImage(const std::vector<std::vector<base::Bytes>>& tables) {
  std::size_t entries = 0;
  for (const auto& t : tables) entries += t.size();
  base::Bytes image;
  std::size_t table_offset = kImageHeaderSize;
  for (const auto& t : tables) {
    AppendWord(image, static_cast<std::uint16_t>(kImageAddressBase + table_offset));
    table_offset += 2 * t.size();
  }
  AppendWord(image, 0);
  // Data blocks come in production order: frame tables (table 1) first.
  const std::array<int, kPointerTables> order = {1, 0, 2, 3, 4};
  std::array<std::vector<std::size_t>, kPointerTables> offsets;
  std::size_t data_offset = kImageHeaderSize + 2 * entries;
  for (int t : order)
    for (const auto& block : tables[static_cast<std::size_t>(t)]) {
      offsets[static_cast<std::size_t>(t)].push_back(data_offset);
      data_offset += block.size();
    }
  for (const auto& table : offsets)
    for (std::size_t offset : table)
      AppendWord(image, static_cast<std::uint16_t>(kImageAddressBase + offset));
  for (int t : order)
    for (const auto& block : tables[static_cast<std::size_t>(t)])
      image.insert(image.end(), block.begin(), block.end());
  return image;
}

base::Bytes DownloadHeader(const store::TdiskAir& record, std::size_t image_size, std::size_t name_size,
                           const ImageClock& clock) {
  base::Bytes h(kDownloadHeaderSize, 0);
  long long code = 0;
  if (!base::ParseInteger(base::Trim(record.CodeNo.str()), code)) code = 0;
  auto name_offset = static_cast<std::uint16_t>(kDownloadHeaderSize + image_size);
  base::WriteU16Le(&h[0], static_cast<std::uint16_t>(code & 0xFFFF));
  for (std::size_t i = 2; i < 8; ++i) h[i] = 0xFF;
  base::WriteU16Le(&h[12], name_offset);
  h[14] = static_cast<std::uint8_t>(name_size & 0xFF);
  h[19] = 1;
  h[20] = static_cast<std::uint8_t>((clock.year + kYearBias) & 0xFF);
  h[21] = static_cast<std::uint8_t>(clock.month);
  h[22] = static_cast<std::uint8_t>(clock.day);
  h[23] = static_cast<std::uint8_t>(clock.hour);
  unsigned sum = kDownloadSumSeed;
  for (std::size_t i = 0; i < 28; ++i) sum += h[i];
  h[28] = static_cast<std::uint8_t>(sum & 0xFF);
  base::WriteU16Le(&h[30], name_offset);
  return h;
}

}  // namespace

ImageClock ImageClock::Now() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return ImageClock{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour};
}

base::Bytes ReadAssemblerBytes(const Lines& lines) {
  base::Bytes out;
  for (const auto& raw : lines) {
    std::string line = base::Trim(raw);
    if (std::size_t semi = line.find(';'); semi != std::string::npos) line = base::Trim(line.substr(0, semi));
    if (line.empty()) continue;
    if (std::size_t db = line.find("DB"); db != std::string::npos) line = base::Trim(line.substr(db + 2));
    std::size_t start = 0;
    while (start <= line.size()) {
      std::size_t comma = line.find(',', start);
      std::size_t stop = comma == std::string::npos ? line.size() : comma;
      std::uint8_t byte = 0;
      if (ItemByte(base::Trim(line.substr(start, stop - start)), byte)) out.push_back(byte);
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  }
  return out;
}

int BuildImageSources(const store::TdiskAir& record, const store::TBtnLines& bit_lines,
                      const config::TimingAdjustments& timing, ImageSources& sources) {
  sources = ImageSources{};
  GeneratorSettings settings;
  settings.TableImageMode = true;
  settings.Timing = timing;
  store::TdiskAir copy = record;
  settings.TripleFrames = ApplySpecialCodeNumbers(copy);
  RecordTables tables;
  if (int r = GenerateRecordTables(copy, bit_lines, settings.TripleFrames, kPrepareErrors, tables); r != 0)
    return r;
  settings.SevenBitFirst = tables.seven_bit_first;
  const store::Tex_gssList& formats = tables.formats;
  const std::uint8_t control = tables.control;
  sources.parts_table = std::move(tables.table);
  sources.relation_table = std::move(tables.relation);

  base::Bytes& block = sources.relation_block;
  block.push_back(control);
  if (copy.HasChecksum) {
    if (int code = WriteCrcTable(copy, sources.checksum_table, formats); code != 0) return code;
    sources.has_checksums = true;
    AppendWord(block, 0);
  }
  AppendWord(block, 0);  // parts table index
  AppendWord(block, 0);  // relation table index
  if (formats.size() >= 2) AppendWord(block, KeyFormatWord(copy, formats));
  FrameFormatList frames;
  for (const auto& format : formats) {
    frames.Clear();
    int i = frames.AddFrameFormat(copy, format.Text, format.FramesShareData, settings);
    if (i == kRefusedLogicCount) return kImageErrTables;
    if (i < 0) return i;
    Lines lines;
    frames.WriteFrameTables(lines, settings);
    if (ReadAssemblerBytes(lines).empty()) continue;
    AppendWord(block, static_cast<std::uint16_t>(sources.frame_tables.size()));
    sources.frame_tables.push_back(std::move(lines));
  }
  return 0;
}

int BuildTableImage(const store::TdiskAir& record, const store::TBtnLines& bit_lines,
                    bool with_download_header, const config::TimingAdjustments& timing, base::Bytes& image) {
  return BuildTableImage(record, bit_lines, with_download_header, timing, ImageClock::Now(), image);
}

int BuildTableImage(const store::TdiskAir& record, const store::TBtnLines& bit_lines,
                    bool with_download_header, const config::TimingAdjustments& timing,
                    const ImageClock& clock, base::Bytes& image) {
  ImageSources s;
  if (int code = BuildImageSources(record, bit_lines, timing, s); code != 0) return code;
  std::vector<std::vector<base::Bytes>> tables(kPointerTables);
  auto convert = [](const Lines& lines, base::Bytes& bytes) {
    bytes = ReadAssemblerBytes(lines);
    return bytes.size() <= kMaxListBytes;
  };
  for (const auto& lines : s.frame_tables) {
    base::Bytes bytes;
    if (!convert(lines, bytes)) return kErrListTooLarge;
    tables[1].push_back(std::move(bytes));
  }
  tables[0].push_back(s.relation_block);
  std::array<std::pair<const Lines*, std::size_t>, 3> lists = {std::pair{&s.parts_table, std::size_t{2}},
                                                               std::pair{&s.relation_table, std::size_t{3}},
                                                               std::pair{&s.checksum_table, std::size_t{4}}};
  for (const auto& [lines, t] : lists) {
    base::Bytes bytes;
    if (!convert(*lines, bytes)) return kErrListTooLarge;
    if (!bytes.empty()) tables[t].push_back(std::move(bytes));
  }
  base::Bytes built = LayOutImage(tables);
  if (with_download_header) {
    std::string name = base::Trim(record.Brand.str()) + "\r" + base::Trim(record.CodeNo.str()) + "\r";
    base::Bytes header = DownloadHeader(record, built.size(), name.size(), clock);
    built.insert(built.begin(), header.begin(), header.end());
    built.insert(built.end(), name.begin(), name.end());
  }
  if (built.size() > kImageBufferSize) return kErrImageTooLarge;
  image = std::move(built);
  return 0;
}

std::string CArrayText(const base::Bytes& image) {
  std::string text = "static unsigned char testdata[]={";
  text.reserve(text.size() + image.size() * 5 + 1);
  for (std::uint8_t b : image) text += "0x" + HexByte(b) + ",";
  text += "}";
  return text;
}

}  // namespace klimavo::firmware
