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
// know how many bytes remain, so no read is ever attempted past the end. Take
// hands out the next n bytes (valid until the next call), or nullptr when
// fewer remain.
class SpanSource {
 public:
  explicit SpanSource(std::span<const std::uint8_t> data) : data_(data) {}
  std::uint64_t Remaining() const { return data_.size() - pos_; }
  const std::uint8_t* Take(std::size_t n) {
    if (n > Remaining()) return nullptr;
    const std::uint8_t* piece = data_.data() + pos_;
    pos_ += n;
    return piece;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
};

// Reads the file in blocks of 1 MiB and hands out pieces of the block: a
// library of many records is read in few system calls and copied once.
class FileSource {
 public:
  static constexpr std::size_t kBlockSize = std::size_t{1} << 20;  // above any single piece

  FileSource(std::ifstream& in, std::uint64_t size) : in_(in), remaining_(size), block_(kBlockSize) {}
  std::uint64_t Remaining() const { return remaining_; }
  const std::uint8_t* Take(std::size_t n) {
    if (n > remaining_) return nullptr;
    if (end_ - begin_ < n && !Refill(n)) {
      remaining_ = 0;
      return nullptr;
    }
    const std::uint8_t* piece = block_.data() + begin_;
    begin_ += n;
    remaining_ -= n;
    return piece;
  }

 private:
  // Moves what is left of the block to its start and reads after it; false
  // when the file ends (it was cut while being read) before n bytes are there.
  bool Refill(std::size_t n) {
    std::copy(block_.begin() + static_cast<std::ptrdiff_t>(begin_),
              block_.begin() + static_cast<std::ptrdiff_t>(end_), block_.begin());
    end_ -= begin_;
    begin_ = 0;
    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(block_.size() - end_, remaining_ - end_));
    in_.read(reinterpret_cast<char*>(block_.data() + end_), static_cast<std::streamsize>(wanted));
    end_ += static_cast<std::size_t>(in_.gcount());
    return end_ >= n;
  }

  std::ifstream& in_;
  std::uint64_t remaining_;  ///< file bytes not yet handed out, buffered ones included
  std::vector<std::uint8_t> block_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
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
  line.Data.assign(bytes.begin() + kCodeOffset,
                   bytes.begin() + static_cast<std::ptrdiff_t>(kCodeOffset + data_count));
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
  const std::uint8_t* table = src.Take(kLineCountTableSize);
  if (table == nullptr) return false;
  std::array<std::size_t, kLineCountEntries> counts{};
  for (std::size_t k = 0; k < kLineCountEntries; ++k) counts[k] = base::ReadU16Le(table + 2 * k);
  std::size_t lists = LineListCount(entry.Record);
  entry.Lines.assign(lists, {});
  for (std::size_t k = 0; k < lists; ++k) {
    const std::size_t count = counts[k];
    if (count * kStoredLineSize > src.Remaining()) return false;
    entry.Lines[k].reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint8_t* line = src.Take(kStoredLineSize);
      if (line == nullptr) return false;
      entry.Lines[k].push_back(
          ReadLine(std::span<const std::uint8_t, kStoredLineSize>(line, kStoredLineSize)));
    }
  }
  return true;
}

// Reads one whole record (image and line block) into `entry`. A record that
// does not fit in what remains is not whole: kFewerRecords when not even its
// image is there, kCutLineBlock when its lines are cut short.
template <class Source>
LibraryFault ReadRecord(Source& src, LibraryRecord& entry) {
  const std::uint8_t* image = src.Take(TdiskAir::kSize);
  if (image == nullptr) return LibraryFault::kFewerRecords;
  entry.Record.ReadImage(std::span<const std::uint8_t>(image, TdiskAir::kSize));
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
  const std::uint8_t* header_bytes = src.Take(kLibraryHeaderSize);
  if (header_bytes == nullptr) {
    result.fault = LibraryFault::kShorterThanHeader;
    return result;
  }
  Header header =
      ReadHeader(std::span<const std::uint8_t, kLibraryHeaderSize>(header_bytes, kLibraryHeaderSize));
  result.length_field = header.total_length;
  result.header_count = header.record_count;
  // Room for the counted records, but never more than the bytes can hold: a
  // damaged count must not reserve memory for records that are not there.
  constexpr std::uint64_t kSmallestRecord = TdiskAir::kSize + kLineCountTableSize;
  list.reserve(static_cast<std::size_t>(
      std::min<std::uint64_t>(header.record_count, src.Remaining() / kSmallestRecord)));
  LibraryFault first = LibraryFault::kNone;
  for (std::uint64_t i = 0; src.Remaining() > 0 || i < header.record_count; ++i) {
    if (i == header.record_count && first == LibraryFault::kNone) first = LibraryFault::kBytesAfterRecords;
    // Read in place: a record is 10 KB, too much to build aside and copy.
    LibraryFault fault = ReadRecord(src, list.emplace_back());
    if (fault != LibraryFault::kNone) {
      list.pop_back();
      // Past the count, a part record is already covered by kBytesAfterRecords.
      if (first == LibraryFault::kNone) first = fault;
      break;
    }
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
    throw RecordRejected("key count " + std::to_string(record.KeyCount) + " is above " +
                         std::to_string(kMaxKeys));
  for (std::size_t k = 0; k < record.UsedKeys(); ++k) {
    if (record.Keys[k].StateCount > kMaxStates)
      throw RecordRejected("key " + std::to_string(k) + " has " + std::to_string(record.Keys[k].StateCount) +
                           " states; at most " + std::to_string(kMaxStates) + " are stored");
  }
}

bool LinesMatch(const LibraryRecord& entry) { return entry.Lines.size() == LineListCount(entry.Record); }

// The size of the file a list makes; throws RecordRejected for a line that a
// stored line cannot hold.
std::uint64_t CheckedLibraryFileSize(const TdiskAirList& list) {
  std::uint64_t total = kLibraryHeaderSize;
  for (const auto& entry : list) {
    total += TdiskAir::kSize + kLineCountTableSize;
    if (!LinesMatch(entry)) continue;
    for (std::size_t k = 0; k < entry.Lines.size(); ++k) {
      for (std::size_t i = 0; i < entry.Lines[k].size(); ++i) CheckLine(entry.Lines[k][i], k, i);
      total += entry.Lines[k].size() * kStoredLineSize;
    }
  }
  return total;
}

// Hands the bytes of the library file to `sink` in pieces of about 1 MiB. The
// images, count tables and lines have fixed sizes, so each is written straight
// into its place in one reused block. `total` is what CheckedLibraryFileSize gave.
void WriteLibraryPieces(const TdiskAirList& list, double written_at, std::uint64_t total,
                        const base::ByteSink& sink) {
  constexpr std::size_t kPieceSize = std::size_t{1} << 20;
  constexpr std::size_t kRecordHead = TdiskAir::kSize + kLineCountTableSize;
  std::vector<std::uint8_t> block(kPieceSize + kRecordHead);
  std::size_t used = 0;
  // A writer for the next `size` bytes of the block; the block is passed on
  // first when they would not fit.
  auto next = [&](std::size_t size) {
    if (used + size > block.size()) {
      sink(std::span<const std::uint8_t>(block.data(), used));
      used = 0;
    }
    return base::ByteWriter(std::span<std::uint8_t>(block.data() + used, size));
  };
  auto done = [&](const base::ByteWriter& out, std::size_t size) {
    if (out.overflowed() || out.size() != size)
      throw std::logic_error("a library file part is not its fixed size");
    used += size;
  };
  base::ByteWriter header = next(kLibraryHeaderSize);
  header.u8(0);
  header.f64(written_at);
  header.u64(total);
  header.u32(static_cast<std::uint32_t>(list.size()));
  header.zeros(8);
  done(header, kLibraryHeaderSize);
  for (const auto& entry : list) {
    base::ByteWriter out = next(kRecordHead);
    entry.Record.WriteImage(out);
    bool keep = LinesMatch(entry);
    for (std::size_t k = 0; k < kLineCountEntries; ++k) {
      std::size_t n = keep && k < entry.Lines.size() ? entry.Lines[k].size() : 0;
      out.u16(static_cast<std::uint16_t>(n));
    }
    done(out, kRecordHead);
    if (!keep) continue;
    for (const auto& lines : entry.Lines) {
      for (const auto& line : lines) {
        base::ByteWriter line_out = next(kStoredLineSize);
        WriteLine(line, line_out);
        done(line_out, kStoredLineSize);
      }
    }
  }
  if (used > 0) sink(std::span<const std::uint8_t>(block.data(), used));
}

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
  const std::uint64_t total = CheckedLibraryFileSize(list);
  base::Bytes bytes;
  bytes.reserve(static_cast<std::size_t>(total));
  WriteLibraryPieces(list, written_at, total, [&](std::span<const std::uint8_t> piece) {
    bytes.insert(bytes.end(), piece.begin(), piece.end());
  });
  return bytes;
}

void SaveLibraryFile(const TdiskAirList& list, const std::filesystem::path& path) {
  // The lines are checked before the file is touched; the bytes then go to the
  // disk piece by piece, never held whole in memory.
  const std::uint64_t total = CheckedLibraryFileSize(list);
  const double written_at = base::NowAsDateTime();
  base::WriteFileAtomicallyFrom(
      path, [&](const base::ByteSink& sink) { WriteLibraryPieces(list, written_at, total, sink); });
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
    if (base::EqualsIgnoreCaseAscii(base::Trim(records_[static_cast<std::size_t>(i)].Record.CodeNo.str()),
                                    wanted))
      return true;
  }
  return false;
}

int ProtocolLibrary::IndexOfCode(std::string_view code) const {
  std::string wanted = base::Trim(code);
  for (int i = 0; i < Size(); ++i) {
    if (base::EqualsIgnoreCaseAscii(base::Trim(records_[static_cast<std::size_t>(i)].Record.CodeNo.str()),
                                    wanted))
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

void ProtocolLibrary::SaveRecordsToFile(const std::vector<int>& indices,
                                        const std::filesystem::path& path) const {
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
  return std::none_of(key.Columns.begin(), key.Columns.end(),
                      [](const TdiskBitColumn& c) { return c.InUse(); });
}

}  // namespace klimavo::store
