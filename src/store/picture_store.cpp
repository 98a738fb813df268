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
// incomplete or the offset lies past the end of the file. A picture that runs
// past the end is read as none, and `whole` tells it.
bool ReadEntryData(std::span<const std::uint8_t> file, const DirEntry& dir, TMemPic_Details& slots,
                   base::Bytes& picture, bool* whole = nullptr) {
  if (whole != nullptr) *whole = false;
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
  if (in.remaining() >= dir.picture_length) {
    picture = in.bytes(dir.picture_length);
    if (whole != nullptr) *whole = true;
  }
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

bool SameCode(const RawPictureEntry& entry, const std::string& key) {
  for (std::size_t i = 0; i < kPictureCodeSize; ++i) {
    const std::uint8_t wanted = i < key.size() ? static_cast<std::uint8_t>(key[i]) : 0;
    if (entry.Code[i] != wanted) return false;
  }
  return true;
}

// The entries of a picture file that CheckPictureFile passed, in order.
std::vector<RawPictureEntry> AllEntries(std::span<const std::uint8_t> file, std::uint32_t count) {
  std::vector<RawPictureEntry> entries(count);
  for (std::size_t i = 0; i < count; ++i) ReadPictureEntry(file, i, entries[i]);
  return entries;
}

}  // namespace

PictureFileIntegrity CheckPictureFile(std::span<const std::uint8_t> file) {
  PictureFileIntegrity check;
  check.file_size = file.size();
  if (file.empty()) return check;
  if (file.size() < kPictureHeaderSize) {
    check.fault = PictureFault::kShorterThanHeader;
    return check;
  }
  base::ByteReader in(file);
  check.length_field = in.u64();
  check.count = in.u32();
  if (check.length_field != file.size()) {
    check.fault = PictureFault::kLengthField;
    return check;
  }
  if (check.count > (file.size() - kPictureHeaderSize) / kPictureDirEntrySize) {
    check.fault = PictureFault::kDirectoryPastEnd;
    return check;
  }
  for (std::size_t i = 0; i < check.count; ++i) {
    DirEntry dir;
    ReadDirEntry(file, i, dir);
    const std::uint64_t names = std::uint64_t{dir.name_count} * kPictureNameSize;
    if (dir.offset > file.size() || names > file.size() - dir.offset ||
        dir.picture_length > file.size() - dir.offset - names) {
      check.fault = PictureFault::kEntryPastEnd;
      check.entry = i;
      return check;
    }
  }
  return check;
}

std::string DescribePictureFault(const PictureFileIntegrity& c) {
  switch (c.fault) {
    case PictureFault::kNone:
      return "its entries add up";
    case PictureFault::kShorterThanHeader:
      return "it has " + std::to_string(c.file_size) + " bytes, fewer than its " +
             std::to_string(kPictureHeaderSize) + "-byte header";
    case PictureFault::kLengthField:
      return "its length field reads " + std::to_string(c.length_field) + " bytes but the file has " +
             std::to_string(c.file_size);
    case PictureFault::kDirectoryPastEnd:
      return "the directory of its " + std::to_string(c.count) + " entries runs past the end of the file";
    case PictureFault::kEntryPastEnd:
      return "entry " + std::to_string(c.entry) + " of " + std::to_string(c.count) +
             " runs past the end of the file";
  }
  return {};
}

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
  std::copy_n(key.begin(), std::min(key.size(), entry.Code.size()), entry.Code.begin());
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

SalvagedEntry SalvagePictureEntry(std::span<const std::uint8_t> file, std::string_view code,
                                  TMemPic_Info& info) {
  info = TMemPic_Info{};
  const bool damaged = !CheckPictureFile(file).ok();
  if (code.empty()) return SalvagedEntry::kNotFound;
  if (file.size() < kPictureHeaderSize) return damaged ? SalvagedEntry::kDamaged : SalvagedEntry::kNotFound;
  base::ByteReader in(file);
  in.skip(8);
  const std::size_t count =
      std::min<std::size_t>(in.u32(), (file.size() - kPictureHeaderSize) / kPictureDirEntrySize);
  DirEntry entry;
  if (MatchEntry(file, static_cast<std::uint32_t>(count), CodeBytes(code), false, entry) < 0)
    return damaged ? SalvagedEntry::kDamaged : SalvagedEntry::kNotFound;
  TMemPic_Details slots;
  base::Bytes picture;
  bool whole = false;
  if (!ReadEntryData(file, entry, slots, picture, &whole) || !whole) return SalvagedEntry::kDamaged;
  for (const auto& slot : slots) info.Names.push_back(SlotText(slot));
  info.Picture = std::move(picture);
  return SalvagedEntry::kFound;
}

base::Bytes PictureFileWithEdits(const std::optional<base::Bytes>& old, const std::vector<PictureEdit>& edits,
                                 const fs::path& path, std::vector<PictureChange>& changes) {
  std::vector<RawPictureEntry> entries;
  if (old) {
    PictureFileIntegrity check = CheckPictureFile(*old);
    if (!check.ok())
      throw base::FileError(
          path, "the picture store is damaged (" + DescribePictureFault(check) + "); it was not changed");
    entries = AllEntries(*old, check.count);
  }
  changes.clear();
  for (const PictureEdit& edit : edits) {
    // An empty code would match every entry as a prefix; nothing is stored under it.
    if (edit.code.empty()) {
      changes.push_back(PictureChange::kUnchanged);
      continue;
    }
    // Only an entry stored under exactly this code is replaced: "1000" must
    // not overwrite the entry of "10000".
    const std::string key = CodeBytes(edit.code);
    auto found = std::find_if(entries.begin(), entries.end(),
                              [&](const RawPictureEntry& e) { return SameCode(e, key); });
    const bool had = found != entries.end();
    if (had) entries.erase(found);
    if (!edit.info.Empty()) {
      entries.insert(entries.begin(), MakeRawEntry(edit.code, edit.info));
      changes.push_back(PictureChange::kStored);
    } else {
      changes.push_back(had ? PictureChange::kRemoved : PictureChange::kUnchanged);
    }
  }
  return PictureFileBytes(entries);
}

std::optional<base::Bytes> ReadPictureStoreForChange(const fs::path& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return std::nullopt;
  if (ec || status.type() != fs::file_type::regular)
    throw base::FileError(path, "the picture store is not a regular file; it was not changed");
  return base::ReadWholeFile(path);
}

PictureChange StorePicture(std::string_view code, const TMemPic_Info& info, const fs::path& path) {
  if (code.empty()) return PictureChange::kUnchanged;
  std::vector<PictureChange> changes;
  base::Bytes bytes = PictureFileWithEdits(ReadPictureStoreForChange(path),
                                           {PictureEdit{std::string(code), info}}, path, changes);
  if (changes.front() == PictureChange::kUnchanged) return PictureChange::kUnchanged;
  base::WriteFileAtomically(path, bytes);
  return changes.front();
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

base::Bytes ExportedPictureBytes(const std::vector<std::string>& codes, const fs::path& store,
                                 std::vector<std::string>& left_out) {
  std::vector<RawPictureEntry> entries;
  auto file = ReadIfPresent(store);
  for (const auto& code : codes) {
    TMemPic_Info info;
    if (file && SalvagePictureEntry(*file, code, info) == SalvagedEntry::kDamaged) left_out.push_back(code);
    entries.push_back(MakeRawEntry(code, info));
  }
  return PictureFileBytes(entries);
}

int ExportPictures(const std::vector<std::string>& codes, const fs::path& store, const fs::path& target) {
  std::vector<std::string> left_out;
  base::WriteFileAtomically(target, ExportedPictureBytes(codes, store, left_out));
  return static_cast<int>(codes.size());
}

}  // namespace klimavo::store
