#include "store/picture_store.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "base/atomic_file.h"
#include "base/file_error.h"
#include "base/gbk.h"
#include "base/text.h"

namespace klimavo::store {
namespace fs = std::filesystem;
namespace {

constexpr std::size_t kMaxNames = std::numeric_limits<std::uint16_t>::max();

struct DirEntry {
  std::array<std::uint8_t, kPictureCodeSize> code{};
  std::uint16_t name_count = 0;
  std::uint64_t offset = 0;
  std::uint32_t picture_length = 0;
};

// The entry count of a file whose length field agrees with its size; nullopt otherwise.
std::optional<std::uint32_t> CheckedCount(std::span<const std::uint8_t> file) {
  base::ByteReader in(file);
  std::uint64_t total = in.u64();
  std::uint32_t count = in.u32();
  if (!in.ok() || file.size() < kPictureHeaderSize || total != file.size()) return std::nullopt;
  return count;
}

bool ReadDirEntry(std::span<const std::uint8_t> file, std::size_t index, DirEntry& entry) {
  std::size_t position = kPictureHeaderSize + kPictureDirEntrySize * index;
  if (index > file.size() || position > file.size() || file.size() - position < kPictureDirEntrySize)
    return false;
  base::ByteReader in(file.subspan(position, kPictureDirEntrySize));
  in.bytes(entry.code);
  entry.name_count = in.u16();
  entry.offset = in.u64();
  entry.picture_length = in.u32();
  return in.ok();
}

std::string CodeBytes(std::string_view code) { return std::string(code.substr(0, kPictureCodeSize)); }

bool CodeStartsWith(const DirEntry& entry, std::string_view code) {
  return std::equal(code.begin(), code.end(), entry.code.begin(),
                    [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
}

bool CodeIsExactly(const DirEntry& entry, std::string_view code) {
  if (!CodeStartsWith(entry, code)) return false;
  for (std::size_t i = code.size(); i < kPictureCodeSize; ++i)
    if (entry.code[i] != 0) return false;
  return true;
}

std::string SlotText(const NameSlot& slot) {
  auto end = std::find(slot.begin(), slot.end(), std::uint8_t{0});
  return base::Trim(std::string(slot.begin(), end));
}

// Reads the names and picture of a directory entry; false when a name slot is
// incomplete or the offset lies past the end of the file.
bool ReadEntryData(std::span<const std::uint8_t> file, const DirEntry& dir, TMemPic_Details& slots,
                   base::Bytes& picture) {
  if (dir.offset > file.size()) return false;
  base::ByteReader in(file);
  in.seek(static_cast<std::size_t>(dir.offset));
  slots.clear();
  for (std::size_t n = 0; n < dir.name_count; ++n) {
    if (in.remaining() < kPictureNameSize) return false;
    NameSlot slot;
    in.bytes(slot);
    slots.push_back(slot);
  }
  picture.clear();
  if (in.remaining() >= dir.picture_length) picture = in.bytes(dir.picture_length);
  return true;
}

// Index of the entry `code` names: the first exact match, else the first entry
// that starts with it; -1 when the directory ends early or nothing matches.
int MatchEntry(std::span<const std::uint8_t> file, std::uint32_t count, std::string_view code,
               bool exact_only, DirEntry& found) {
  int first_prefix = -1;
  DirEntry prefix_entry;
  for (std::uint32_t i = 0; i < count; ++i) {
    DirEntry entry;
    if (!ReadDirEntry(file, i, entry)) break;
    if (CodeIsExactly(entry, code)) {
      found = entry;
      return static_cast<int>(i);
    }
    if (!exact_only && first_prefix < 0 && CodeStartsWith(entry, code)) {
      first_prefix = static_cast<int>(i);
      prefix_entry = entry;
    }
  }
  if (first_prefix >= 0) found = prefix_entry;
  return first_prefix;
}

int FindEntry(std::span<const std::uint8_t> file, std::string_view code, TMemPic_Info& info,
              bool exact_only) {
  info = TMemPic_Info{};
  auto count = CheckedCount(file);
  if (!count) return -1;
  std::string key = CodeBytes(code);
  DirEntry entry;
  int index = MatchEntry(file, *count, key, exact_only, entry);
  if (index < 0) return -1;
  TMemPic_Details slots;
  base::Bytes picture;
  if (!ReadEntryData(file, entry, slots, picture)) return -1;
  for (const auto& slot : slots) info.Names.push_back(SlotText(slot));
  info.Picture = std::move(picture);
  return index;
}

std::optional<base::Bytes> ReadIfPresent(const fs::path& path) { return base::ReadWholeFile(path); }

// Deletes the work file when the store operation ends, however it ends.
class WorkFile {
 public:
  explicit WorkFile(fs::path path) : path_(std::move(path)) {}
  ~WorkFile() {
    std::error_code ec;
    fs::remove(path_, ec);
  }
  WorkFile(const WorkFile&) = delete;
  WorkFile& operator=(const WorkFile&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The old entries of the work file to keep, in order; an entry that cannot
// be read becomes an empty entry. Only directory entries that lie inside the
// file count, so a corrupt count cannot make the rewrite grow without bound.
std::vector<RawPictureEntry> KeptEntries(std::span<const std::uint8_t> work, int replaced) {
  std::vector<RawPictureEntry> kept;
  auto count = CheckedCount(work);
  if (!count || work.size() <= kPictureHeaderSize) return kept;
  std::size_t n = std::min<std::size_t>(*count, (work.size() - kPictureHeaderSize) / kPictureDirEntrySize);
  for (std::size_t j = 0; j < n; ++j) {
    if (static_cast<int>(j) == replaced) continue;
    RawPictureEntry entry;
    if (!ReadPictureEntry(work, j, entry)) entry = RawPictureEntry{};
    kept.push_back(std::move(entry));
  }
  return kept;
}

}  // namespace

int FindPictureEntry(std::span<const std::uint8_t> file, std::string_view code, TMemPic_Info& info) {
  return FindEntry(file, code, info, false);
}

bool ReadPictureEntry(std::span<const std::uint8_t> file, std::size_t index, RawPictureEntry& entry) {
  if (!CheckedCount(file)) return false;
  DirEntry dir;
  if (!ReadDirEntry(file, index, dir)) return false;
  entry.Code = dir.code;
  return ReadEntryData(file, dir, entry.Slots, entry.Picture);
}

bool LoadPicture(std::string_view code, TMemPic_Info& info, const fs::path& path) {
  info = TMemPic_Info{};
  if (code.empty()) return false;
  auto file = ReadIfPresent(path);
  if (!file) return false;
  return FindPictureEntry(*file, code, info) >= 0;
}

RawPictureEntry MakeRawEntry(std::string_view code, const TMemPic_Info& info) {
  RawPictureEntry entry;
  std::string key = CodeBytes(code);
  std::copy(key.begin(), key.end(), entry.Code.begin());
  for (std::size_t i = 0; i < info.Names.size() && i < kMaxNames; ++i) {
    std::string name = base::GbkCut(info.Names[i], kPictureNameSize);
    NameSlot slot{};
    std::copy(name.begin(), name.end(), slot.begin());
    entry.Slots.push_back(slot);
  }
  entry.Picture = info.Picture;
  return entry;
}

base::Bytes PictureFileBytes(const std::vector<RawPictureEntry>& entries) {
  base::ByteWriter out;
  out.zeros(kPictureHeaderSize + kPictureDirEntrySize * entries.size());
  base::Bytes directory;
  base::ByteWriter dir(directory);
  for (const auto& entry : entries) {
    if (entry.Picture.size() > std::numeric_limits<std::uint32_t>::max())
      throw base::FileError("picture", "a picture is larger than 4 GiB");
    std::size_t slots = std::min(entry.Slots.size(), kMaxNames);
    dir.bytes(entry.Code);
    dir.u16(static_cast<std::uint16_t>(slots));
    dir.u64(out.size());
    dir.u32(static_cast<std::uint32_t>(entry.Picture.size()));
    dir.u32(0);
    for (std::size_t i = 0; i < slots; ++i) out.bytes(entry.Slots[i]);
    out.bytes(entry.Picture);
  }
  base::Bytes file = out.take();
  std::copy(directory.begin(), directory.end(), file.begin() + kPictureHeaderSize);
  base::Bytes header;
  base::ByteWriter head(header);
  head.u64(file.size());
  head.u32(static_cast<std::uint32_t>(entries.size()));
  head.u32(kPictureMagic);
  std::copy(header.begin(), header.end(), file.begin());
  return file;
}

void StorePicture(std::string_view code, const TMemPic_Info& info, const fs::path& path) {
  // An empty code would match every entry as a prefix; nothing is stored under it.
  if (code.empty()) return;
  WorkFile work(path.parent_path() / kPictureWorkFileName);
  base::Bytes old = ReadIfPresent(path).value_or(base::Bytes{});
  base::WriteFileAtomically(work.path(), old);
  base::Bytes copy = base::ReadWholeFile(work.path()).value_or(base::Bytes{});
  TMemPic_Info existing;
  // Only an entry stored under exactly this code is replaced: "1000" must not
  // overwrite the entry of "10000".
  int replaced = FindEntry(copy, code, existing, true);
  if (replaced < 0 && info.Empty()) return;
  std::vector<RawPictureEntry> entries;
  if (!info.Empty()) entries.push_back(MakeRawEntry(code, info));
  for (auto& entry : KeptEntries(copy, replaced)) entries.push_back(std::move(entry));
  base::WriteFileAtomically(path, PictureFileBytes(entries));
}

PictureFileCheck ReadPictureFile(const fs::path& file, base::Bytes& bytes) {
  bytes.clear();
  std::string ext = base::UpperAscii(file.extension().string());
  if (ext != ".JPG" && ext != ".JPEG") return PictureFileCheck::kNotJpeg;
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return PictureFileCheck::kMissing;
  if (fs::file_size(file, ec) > kMaxPictureFileBytes) return PictureFileCheck::kTooLarge;
  auto data = base::ReadWholeFile(file);
  if (!data) return PictureFileCheck::kMissing;
  if (data->size() > kMaxPictureFileBytes) return PictureFileCheck::kTooLarge;
  bytes = std::move(*data);
  return PictureFileCheck::kOk;
}

int ExportPictures(const std::vector<std::string>& codes, const fs::path& store, const fs::path& target) {
  std::vector<RawPictureEntry> entries;
  auto file = ReadIfPresent(store);
  for (const auto& code : codes) {
    TMemPic_Info info;
    if (file && !code.empty()) FindPictureEntry(*file, code, info);
    entries.push_back(MakeRawEntry(code, info));
  }
  base::WriteFileAtomically(target, PictureFileBytes(entries));
  return static_cast<int>(entries.size());
}

}  // namespace klimavo::store
