#include "store/library.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <set>
#include <system_error>

#include "base/atomic_file.h"
#include "base/date_time.h"
#include "base/file_error.h"
#include "base/text.h"
#include "ir/protocol.h"

namespace klimavo::store {
namespace {

constexpr int kMinCodeDigits = 4;

// Where the loader takes its bytes from: a span in memory or an open file. Both
// know how many bytes remain, so no read is ever attempted past the end.
class SpanSource {
 public:
  explicit SpanSource(std::span<const std::uint8_t> data) : data_(data) {}
  std::uint64_t Remaining() const { return data_.size() - pos_; }
  bool Read(std::span<std::uint8_t> out) {
    if (out.size() > Remaining()) return false;
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(pos_), out.size(), out.begin());
    pos_ += out.size();
    return true;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

class FileSource {
 public:
  FileSource(std::ifstream& in, std::uint64_t size) : in_(in), remaining_(size) {}
  std::uint64_t Remaining() const { return remaining_; }
  bool Read(std::span<std::uint8_t> out) {
    if (out.size() > remaining_) return false;
    in_.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (static_cast<std::size_t>(in_.gcount()) != out.size()) {
      remaining_ = 0;
      return false;
    }
    remaining_ -= out.size();
    return true;
  }

 private:
  std::ifstream& in_;
  std::uint64_t remaining_;
};

struct Header {
  double written_at = 0;
  std::uint64_t total_length = 0;
  std::uint32_t record_count = 0;
};

Header ReadHeader(std::span<const std::uint8_t, kLibraryHeaderSize> bytes) {
  base::ByteReader in(bytes);
  Header h;
  in.u8();
  h.written_at = in.f64();
  h.total_length = in.u64();
  h.record_count = in.u32();
  return h;
}

// A stored line: count bytes, then 129 code bytes and 64 elements. Counts
// beyond the fixed areas are bounded to them.
TGrdDataLine ReadLine(std::span<const std::uint8_t, kStoredLineSize> bytes) {
  constexpr std::size_t kCodeOffset = 4;
  constexpr std::size_t kElementsOffset = kCodeOffset + kMaxLineCodeBytes;
  std::size_t data_count = std::min<std::size_t>(bytes[0], kMaxLineCodeBytes);
  std::size_t element_count = std::min<std::size_t>(bytes[3], kMaxLineElements);
  TGrdDataLine line;
  line.Marker = bytes[1];
  line.Repeat = bytes[2];
  line.Data.assign(bytes.begin() + kCodeOffset, bytes.begin() + static_cast<std::ptrdiff_t>(kCodeOffset + data_count));
  line.Elements.resize(element_count);
  const std::uint8_t* p = bytes.data() + kElementsOffset;
  for (auto& e : line.Elements) {
    e.Kind = p[0];
    e.Reserved = p[1];
    e.Value = base::ReadU16Le(p + 2);
    p += ir::TStrProtItem::kSize;
  }
  return line;
}

void WriteLine(const TGrdDataLine& line, base::ByteWriter& out) {
  out.u8(static_cast<std::uint8_t>(line.Data.size()));
  out.u8(static_cast<std::uint8_t>(line.Marker & 0xFF));
  out.u8(static_cast<std::uint8_t>(line.Repeat & 0xFF));
  out.u8(static_cast<std::uint8_t>(line.Elements.size()));
  out.bytes(line.Data);
  out.zeros(kMaxLineCodeBytes - line.Data.size());
  for (const auto& e : line.Elements) {
    out.u8(e.Kind);
    out.u8(e.Reserved);
    out.u16(e.Value);
  }
  out.zeros((kMaxLineElements - line.Elements.size()) * ir::TStrProtItem::kSize);
}

// Reads the count table and the lines of one record; false when the file ends first.
template <class Source>
bool ReadLineBlock(Source& src, LibraryRecord& entry) {
  std::array<std::uint8_t, kLineCountTableSize> table{};
  if (!src.Read(table)) return false;
  std::size_t lists = LineListCount(entry.Record);
  entry.Lines.assign(lists, {});
  std::array<std::uint8_t, kStoredLineSize> buffer{};
  for (std::size_t k = 0; k < lists; ++k) {
    std::size_t count = base::ReadU16Le(table.data() + 2 * k);
    if (count * kStoredLineSize > src.Remaining()) return false;
    entry.Lines[k].reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      if (!src.Read(buffer)) return false;
      entry.Lines[k].push_back(ReadLine(buffer));
    }
  }
  return true;
}

// Reads one whole record (image and line block) into `entry`. A record that
// does not fit in what remains is not whole: kFewerRecords when not even its
// image is there, kCutLineBlock when its lines are cut short.
template <class Source>
LibraryFault ReadRecord(Source& src, LibraryRecord& entry) {
  std::array<std::uint8_t, TdiskAir::kSize> image{};
  if (!src.Read(image)) return LibraryFault::kFewerRecords;
  entry.Record.ReadImage(image);
  if (!ReadLineBlock(src, entry)) return LibraryFault::kCutLineBlock;
  return LibraryFault::kNone;
}

// Reads every record that is whole. The counted records come first; bytes left
// after them are damage, but whole records among them are kept too, so that a
// count that went wrong loses nothing. The fault reported is the first one
// found, except that a wrong length field always wins: it is what the header
// says about the whole file.
template <class Source>
LibraryLoadResult ParseLibrary(Source& src, std::uint64_t file_size, TdiskAirList& list) {
  LibraryLoadResult result;
  result.file_size = file_size;
  list.clear();
  std::array<std::uint8_t, kLibraryHeaderSize> header_bytes{};
  if (!src.Read(header_bytes)) {
    result.fault = LibraryFault::kShorterThanHeader;
    return result;
  }
  Header header = ReadHeader(header_bytes);
  result.length_field = header.total_length;
  result.header_count = header.record_count;
  LibraryFault first = LibraryFault::kNone;
  for (std::uint64_t i = 0; src.Remaining() > 0 || i < header.record_count; ++i) {
    if (i == header.record_count && first == LibraryFault::kNone) first = LibraryFault::kBytesAfterRecords;
    LibraryRecord entry;
    LibraryFault fault = ReadRecord(src, entry);
    if (fault != LibraryFault::kNone) {
      // Past the count, a part record is already covered by kBytesAfterRecords.
      if (first == LibraryFault::kNone) first = fault;
      break;
    }
    list.push_back(std::move(entry));
  }
  result.records_read = list.size();
  result.fault = header.total_length != file_size ? LibraryFault::kLengthField : first;
  return result;
}
void CheckLine(const TGrdDataLine& line, std::size_t key, std::size_t index) {
  if (line.Data.size() > kMaxLineCodeBytes || line.Elements.size() > kMaxLineElements) {
    throw RecordRejected("code line " + std::to_string(index) + " of key " + std::to_string(key) + " has " +
                         std::to_string(line.Data.size()) + " code bytes and " +
                         std::to_string(line.Elements.size()) + " elements; a stored line holds at most " +
                         std::to_string(kMaxLineCodeBytes) + " and " + std::to_string(kMaxLineElements));
  }
}

void CheckRecordRange(const TdiskAir& record) {
  if (record.KeyCount > kMaxKeys)
    throw RecordRejected("key count " + std::to_string(record.KeyCount) + " is above " + std::to_string(kMaxKeys));
  for (std::size_t k = 0; k < record.UsedKeys(); ++k) {
    if (record.Keys[k].StateCount > kMaxStates)
      throw RecordRejected("key " + std::to_string(k) + " has " + std::to_string(record.Keys[k].StateCount) +
                           " states; at most " + std::to_string(kMaxStates) + " are stored");
  }
}

bool LinesMatch(const LibraryRecord& entry) { return entry.Lines.size() == LineListCount(entry.Record); }

// The largest trimmed code number that reads as an integer; 0 when none does.
long long LargestCodeNumber(const TdiskAirList& records) {
  long long largest = 0;
  for (const auto& entry : records) {
    long long value = 0;
    if (base::ParseInteger(base::Trim(entry.Record.CodeNo.str()), value)) largest = std::max(largest, value);
  }
  return largest;
}

// A code number in decimal with at least four digits.
std::string CodeNumberText(long long value) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*lld", kMinCodeDigits, value);
  return text;
}

}  // namespace

std::size_t LineListCount(const TdiskAir& record) {
  return std::min<std::size_t>(record.KeyCount, kLineCountEntries);
}

LibraryLoadResult ParseLibraryBytesChecked(std::span<const std::uint8_t> data, TdiskAirList& list) {
  SpanSource src(data);
  return ParseLibrary(src, data.size(), list);
}

bool ParseLibraryBytes(std::span<const std::uint8_t> data, TdiskAirList& list) {
  return ParseLibraryBytesChecked(data, list).Loaded();
}

LibraryLoadResult LoadLibraryFileChecked(const std::filesystem::path& path, TdiskAirList& list) {
  LibraryLoadResult result;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) {
    result.fault = LibraryFault::kMissing;
    return result;
  }
  auto unreadable = [&](const std::string& reason) {
    list.clear();
    result.fault = LibraryFault::kUnreadable;
    result.reason = reason;
    return result;
  };
  if (!std::filesystem::is_regular_file(path, ec)) return unreadable("it is not a regular file");
  std::uint64_t size = std::filesystem::file_size(path, ec);
  if (ec) return unreadable(ec.message());
  std::ifstream in(path, std::ios::binary);
  if (!in) return unreadable("it cannot be opened for reading");
  FileSource src(in, size);
  result = ParseLibrary(src, size, list);
  if (in.bad()) return unreadable("reading it failed");
  return result;
}

bool LoadLibraryFile(const std::filesystem::path& path, TdiskAirList& list) {
  LibraryLoadResult result = LoadLibraryFileChecked(path, list);
  if (result.fault == LibraryFault::kUnreadable) throw base::FileError(path, "cannot read: " + result.reason);
  return result.Loaded();
}

std::string DescribeLibraryFault(const LibraryLoadResult& r) {
  std::string text;
  switch (r.fault) {
    case LibraryFault::kNone:
      return "it loads cleanly";
    case LibraryFault::kMissing:
      return "there is no such file";
    case LibraryFault::kUnreadable:
      return "it cannot be read (" + r.reason + ")";
    case LibraryFault::kShorterThanHeader:
      return "it has " + std::to_string(r.file_size) + " bytes, fewer than its " +
             std::to_string(kLibraryHeaderSize) + "-byte header";
    case LibraryFault::kLengthField:
      text = "its length field reads " + std::to_string(r.length_field) + " bytes but the file has " +
             std::to_string(r.file_size);
      break;
    case LibraryFault::kFewerRecords:
      text = "it ends before all the records its header counts";
      break;
    case LibraryFault::kCutLineBlock:
      text = "the code lines of record " + std::to_string(r.records_read) + " are cut short";
      break;
    case LibraryFault::kBytesAfterRecords:
      text = "bytes are left after the records its header counts";
      break;
  }
  text += "; " + std::to_string(std::min<std::size_t>(r.records_read, r.header_count)) + " of " +
          std::to_string(r.header_count) + " counted records read whole";
  if (r.records_read > r.header_count)
    text += ", and " + std::to_string(r.records_read - r.header_count) + " whole records after them";
  return text;
}

base::Bytes LibraryFileBytes(const TdiskAirList& list, double written_at) {
  std::size_t total = kLibraryHeaderSize;
  for (const auto& entry : list) {
    total += TdiskAir::kSize + kLineCountTableSize;
    if (!LinesMatch(entry)) continue;
    for (std::size_t k = 0; k < entry.Lines.size(); ++k) {
      for (std::size_t i = 0; i < entry.Lines[k].size(); ++i) CheckLine(entry.Lines[k][i], k, i);
      total += entry.Lines[k].size() * kStoredLineSize;
    }
  }
  base::Bytes bytes;
  bytes.reserve(total);
  base::ByteWriter out(bytes);
  out.u8(0);
  out.f64(written_at);
  out.u64(0);  // total length, patched below
  out.u32(static_cast<std::uint32_t>(list.size()));
  out.zeros(8);
  for (const auto& entry : list) {
    entry.Record.WriteImage(out);
    bool keep = LinesMatch(entry);
    for (std::size_t k = 0; k < kLineCountEntries; ++k) {
      std::size_t n = keep && k < entry.Lines.size() ? entry.Lines[k].size() : 0;
      out.u16(static_cast<std::uint16_t>(n));
    }
    if (!keep) continue;
    for (const auto& lines : entry.Lines)
      for (const auto& line : lines) WriteLine(line, out);
  }
  out.patch_u64(9, out.size());
  return bytes;
}

void SaveLibraryFile(const TdiskAirList& list, const std::filesystem::path& path) {
  base::Bytes bytes = LibraryFileBytes(list, base::NowAsDateTime());
  base::WriteFileAtomically(path, bytes);
}

TBtnLines PackLines(const TBtnLines& bit_lines, bool lsb_first) {
  TBtnLines packed = bit_lines;
  for (auto& lines : packed) {
    for (auto& line : lines) {
      ir::TSSByteArray bytes;
      if (!ir::BitsToBytes(line.Elements, line.Data, lsb_first, bytes)) bytes.clear();
      line.Data = std::move(bytes);
    }
  }
  return packed;
}

TBtnLines UnpackLines(const TBtnLines& packed_lines, bool lsb_first) {
  TBtnLines unpacked = packed_lines;
  for (auto& lines : unpacked) {
    for (auto& line : lines) {
      ir::TSSByteArray bits;
      if (!ir::BytesToBits(line.Elements, line.Data, lsb_first, bits)) bits.clear();
      line.Data = std::move(bits);
    }
  }
  return unpacked;
}

LibraryLoadResult ProtocolLibrary::LoadChecked() {
  stamp_ = base::FileStamp::Of(file_);
  TdiskAirList loaded;
  LibraryLoadResult result = LoadLibraryFileChecked(file_, loaded);
  records_ = std::move(loaded);
  return result;
}

bool ProtocolLibrary::Load() {
  LibraryLoadResult result = LoadChecked();
  if (result.fault == LibraryFault::kUnreadable)
    throw base::FileError(file_, "cannot read: " + result.reason);
  return result.Loaded();
}

bool ProtocolLibrary::ChangedOnDisk() const { return base::FileStamp::Of(file_) != stamp_; }

void ProtocolLibrary::AcceptDiskState() { stamp_ = base::FileStamp::Of(file_); }

void ProtocolLibrary::AdoptWritten(TdiskAirList records) {
  records_ = std::move(records);
  stamp_ = base::FileStamp::Of(file_);
}

void ProtocolLibrary::ReplaceRecords(TdiskAirList records) {
  for (auto& entry : records) {
    if (!LinesMatch(entry)) entry.Lines.assign(LineListCount(entry.Record), {});
  }
  SaveLibraryFile(records, file_);
  AdoptWritten(std::move(records));
}

int ProtocolLibrary::StoreRecord(const TdiskAir& record, const TBtnLines& bit_lines, int index) {
  CheckRecordRange(record);
  LibraryRecord entry{record, {}};
  if (bit_lines.size() == LineListCount(record))
    entry.Lines = PackLines(bit_lines, IsLsbFirst(record));
  else
    entry.Lines.assign(LineListCount(record), {});
  for (std::size_t k = 0; k < entry.Lines.size(); ++k)
    for (std::size_t i = 0; i < entry.Lines[k].size(); ++i) CheckLine(entry.Lines[k][i], k, i);
  TdiskAirList records = records_;
  if (index < 0 || index >= Size()) {
    records.push_back(std::move(entry));
    index = static_cast<int>(records.size()) - 1;
  } else {
    records[static_cast<std::size_t>(index)] = std::move(entry);
  }
  ReplaceRecords(std::move(records));
  return index;
}

bool ProtocolLibrary::FetchRecord(int index, TdiskAir& record, TBtnLines& bit_lines) const {
  if (index < 0 || index >= Size()) return false;
  const LibraryRecord& entry = records_[static_cast<std::size_t>(index)];
  record = entry.Record;
  bit_lines = UnpackLines(entry.Lines, IsLsbFirst(entry.Record));
  return true;
}

bool ProtocolLibrary::CodeNumberInUse(std::string_view code, int except_index) const {
  std::string wanted = base::Trim(code);
  for (int i = 0; i < Size(); ++i) {
    if (i == except_index) continue;
    if (base::EqualsIgnoreCaseAscii(base::Trim(records_[static_cast<std::size_t>(i)].Record.CodeNo.str()), wanted))
      return true;
  }
  return false;
}

int ProtocolLibrary::IndexOfCode(std::string_view code) const {
  std::string wanted = base::Trim(code);
  for (int i = 0; i < Size(); ++i) {
    if (base::EqualsIgnoreCaseAscii(base::Trim(records_[static_cast<std::size_t>(i)].Record.CodeNo.str()), wanted))
      return i;
  }
  return -1;
}

std::string ProtocolLibrary::NextCodeNumber() const {
  return CodeNumberText(LargestCodeNumber(records_) + 1);
}

TdiskAirList ProtocolLibrary::Without(const std::vector<int>& indices) const {
  std::set<int> doomed(indices.begin(), indices.end());
  TdiskAirList kept;
  kept.reserve(records_.size());
  for (int i = 0; i < Size(); ++i) {
    if (!doomed.contains(i)) kept.push_back(records_[static_cast<std::size_t>(i)]);
  }
  return kept;
}

void ProtocolLibrary::DeleteRecords(const std::vector<int>& indices) { ReplaceRecords(Without(indices)); }

void ProtocolLibrary::SaveRecordsToFile(const std::vector<int>& indices, const std::filesystem::path& path) const {
  TdiskAirList chosen;
  for (int i : indices) {
    if (i >= 0 && i < Size()) chosen.push_back(records_[static_cast<std::size_t>(i)]);
  }
  SaveLibraryFile(chosen, path);
}

TdiskAirList ProtocolLibrary::WithAppended(TdiskAirList loaded, AppendResult& result) const {
  // Code numbers run on from the largest one: each appended code is the new
  // largest, so the next one is simply one more.
  TdiskAirList records = records_;
  records.reserve(records_.size() + loaded.size());
  long long next = LargestCodeNumber(records_) + 1;
  result = AppendResult{};
  for (auto& entry : loaded) {
    result.old_codes.push_back(base::Trim(entry.Record.CodeNo.str()));
    std::string code = CodeNumberText(next++);
    entry.Record.CodeNo.assign(code);
    result.new_codes.push_back(base::Trim(code));
    records.push_back(std::move(entry));
  }
  result.count = static_cast<int>(loaded.size());
  return records;
}

AppendResult ProtocolLibrary::AppendRecordsFromFile(const std::filesystem::path& path) {
  TdiskAirList loaded;
  AppendResult result;
  if (!LoadLibraryFile(path, loaded)) return result;
  ReplaceRecords(WithAppended(std::move(loaded), result));
  return result;
}

void InitRecord(TdiskAir& record, double now) {
  record.Reserved0 = 0;
  record.LsbFirst = 1;
  record.RemoteType = 0;
  record.ChangeTime = now;
  record.Brand.assign("");
  record.CodeNo.assign("");
  record.MemoCn.assign("");
  record.MemoEn.assign("");
  record.HasChecksum = 0;
  record.Params.Reset();
  for (auto& slot : record.Slots) {
    slot.Text.assign("");
    slot.CodeStored = 0;
    slot.Crc = ir::TCrcBlock{};
    slot.Crc.HasChecksum = 0;
    slot.Crc.Count = 1;
    for (auto& item : slot.Crc.Items) item = ir::TCrcItem{};
  }
  for (auto& key : record.Keys) {
    if (key.StateCount <= 15) {
      for (std::size_t s = key.StateCount; s < kMaxStates; ++s) key.StateNames[s].assign("");
    }
    for (auto& column : key.Columns) {
      column = TdiskBitColumn{};
      column.Values.fill(kUnsetValue);
    }
    key.FixedFlags = 0;
    key.Slot = kNoSlot;
    key.Slot2 = kNoSlot;
    key.Extra.fill(0);
  }
}

bool LoadTemplate(const std::filesystem::path& data_dir, TdiskAir& record) {
  std::filesystem::path path = data_dir / kTemplateFileName;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  if (std::filesystem::file_size(path, ec) != TdiskAir::kSize || ec) return false;
  try {
    auto bytes = base::ReadWholeFile(path);
    if (!bytes || bytes->size() != TdiskAir::kSize) return false;
    return record.ReadImage(*bytes);
  } catch (const base::FileError&) {
    return false;
  }
}

void SaveTemplate(const std::filesystem::path& data_dir, const TdiskAir& record) {
  base::WriteFileAtomically(data_dir / kTemplateFileName, record.ToImage());
}

int CountAssignedKeys(const TdiskAir& record) {
  int n = 0;
  for (std::size_t k = 0; k < record.UsedKeys(); ++k) {
    if (record.Keys[k].Columns[0].InUse()) ++n;
  }
  return n;
}

bool KeyUnassigned(const TdiskKey& key) {
  return std::none_of(key.Columns.begin(), key.Columns.end(), [](const TdiskBitColumn& c) { return c.InUse(); });
}

}  // namespace klimavo::store
