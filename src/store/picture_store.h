#pragma once
// The picture store data/picmem.dat: per code number, the JPEG picture of the
// air conditioner's remote and the model names that use the code. The same
// file format is the picture part of an exchange file.
//
// Layout (little-endian): a 32-byte header (u64 total length, u32 entry count,
// u32 0x12345678, 16 zero bytes), a directory of 24-byte entries (6 code bytes,
// u16 name count, u64 data offset, u32 picture length, 4 zero bytes), then per
// entry its 32-byte name slots followed by its picture bytes.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/byte_io.h"

namespace klimavo::store {

inline constexpr std::size_t kPictureHeaderSize = 32;
inline constexpr std::size_t kPictureDirEntrySize = 24;
inline constexpr std::size_t kPictureNameSize = 32;
inline constexpr std::size_t kPictureCodeSize = 6;
inline constexpr std::uint32_t kPictureMagic = 0x12345678;
inline constexpr std::string_view kPictureStoreFileName = "picmem.dat";
/// Largest picture file the workbench accepts, in bytes.
inline constexpr std::size_t kMaxPictureFileBytes = 102400;

/// `TMemPic_Info`: the model names and picture (JPEG bytes) of one code.
struct TMemPic_Info {
  std::vector<std::string> Names;  ///< GBK texts
  base::Bytes Picture;             ///< empty = no picture
  bool Empty() const { return Names.empty() && Picture.empty(); }
  friend bool operator==(const TMemPic_Info&, const TMemPic_Info&) = default;
};

using NameSlot = std::array<std::uint8_t, kPictureNameSize>;
/// `TMemPic_Details`: the raw 32-byte name slots of an entry.
using TMemPic_Details = std::vector<NameSlot>;

/// One entry as stored, read back raw for rewriting.
struct RawPictureEntry {
  std::array<std::uint8_t, kPictureCodeSize> Code{};
  TMemPic_Details Slots;
  base::Bytes Picture;
};

/// What is wrong with a picture file, when anything is. An empty (0-byte) file
/// holds no entries and is not damage.
enum class PictureFault {
  kNone,
  kShorterThanHeader,  ///< not even the 32-byte header is there
  kLengthField,        ///< the header's length field differs from the file's size
  kDirectoryPastEnd,   ///< the directory of the counted entries runs past the end
  kEntryPastEnd,       ///< the names or the picture of an entry run past the end
};
struct PictureFileIntegrity {
  PictureFault fault = PictureFault::kNone;
  std::uint64_t file_size = 0;
  std::uint64_t length_field = 0;
  std::uint32_t count = 0;  ///< entries the header counts
  std::size_t entry = 0;    ///< the first entry that runs past the end (kEntryPastEnd)
  bool ok() const { return fault == PictureFault::kNone; }
};
/// Checks that the length field and the entries of a picture file add up. A
/// damaged picture store is never rewritten: the entries it holds beyond what
/// can be read would be lost.
PictureFileIntegrity CheckPictureFile(std::span<const std::uint8_t> file);
/// What is wrong, in words with the numbers.
std::string DescribePictureFault(const PictureFileIntegrity& check);

/// Looks `code` up in the bytes of a picture file and fills `info` (emptied
/// first). A directory code matches when its first L bytes equal the L bytes of
/// `code` (cut to 6), so "014" finds "0149"; an entry stored under exactly
/// `code` is preferred to an earlier one that merely starts with it. Returns
/// the entry index, or -1 (also for a header whose length field is wrong and
/// for an entry whose names run past the end of the file).
int FindPictureEntry(std::span<const std::uint8_t> file, std::string_view code, TMemPic_Info& info);
/// Reads entry i raw. False when the header is wrong, the directory entry or a
/// name slot is incomplete or the data offset lies past the end; a picture
/// that runs past the end is read as none.
bool ReadPictureEntry(std::span<const std::uint8_t> file, std::size_t index, RawPictureEntry& entry);
/// Looks `code` up as FindPictureEntry does, but in a file whose length field
/// may be wrong: the entries are taken from the directory as far as it lies in
/// the file. kDamaged when the entry of `code` is found but runs past the end,
/// or the file is damaged and `code` is not found in what can be read.
enum class SalvagedEntry { kFound, kNotFound, kDamaged };
SalvagedEntry SalvagePictureEntry(std::span<const std::uint8_t> file, std::string_view code,
                                  TMemPic_Info& info);

/// `LoadPicture`: false for an empty code, a missing file or no entry.
bool LoadPicture(std::string_view code, TMemPic_Info& info, const std::filesystem::path& path);

/// The picture store's bytes for a change: nullopt when there is no store yet.
/// Throws base::FileError when something other than a regular file (a folder,
/// a device) stands under its name: a change must not take that for an empty
/// store.
std::optional<base::Bytes> ReadPictureStoreForChange(const std::filesystem::path& path);

/// What a store operation did to the entry of a code.
enum class PictureChange {
  kStored,     ///< the entry was inserted or replaced
  kRemoved,    ///< an entry stored under exactly this code was removed
  kUnchanged,  ///< nothing to remove (or an empty code): the file is untouched
};
/// One entry to store (or, when `info` is empty, to remove).
struct PictureEdit {
  std::string code;
  TMemPic_Info info;
};
/// The picture file `old` (nullopt: no file yet) after the edits, in order, as
/// StorePicture would make them one by one; `changes` gets one result per
/// edit. Throws base::FileError naming `path` when `old` is damaged.
base::Bytes PictureFileWithEdits(const std::optional<base::Bytes>& old, const std::vector<PictureEdit>& edits,
                                 const std::filesystem::path& path, std::vector<PictureChange>& changes);
/// `StorePicture`: inserts or replaces the entry of `code` as the first entry,
/// or removes the entry stored under exactly `code` when `info` is empty. The
/// other entries keep their order. The new file is written atomically, so a
/// failed write leaves the old store as it was. Removing a code that has no
/// entry, or storing under an empty code, leaves the file untouched. A damaged
/// store is not rewritten: base::FileError names the file and the fault. Throws
/// base::FileError. The caller holds the store's lock (base::FileLock).
PictureChange StorePicture(std::string_view code, const TMemPic_Info& info,
                           const std::filesystem::path& path);
/// The bytes of a picture file with one entry per code, in order, taken from
/// the store at `store` (an empty entry when it has none; entries of a damaged
/// store are taken as far as they can be read). `left_out` gets the codes
/// whose entry a damaged store could not give. Throws base::FileError.
base::Bytes ExportedPictureBytes(const std::vector<std::string>& codes, const std::filesystem::path& store,
                                 std::vector<std::string>& left_out);
/// `ExportPictures`: writes ExportedPictureBytes to `target`. Returns the
/// number of entries. Throws base::FileError.
int ExportPictures(const std::vector<std::string>& codes, const std::filesystem::path& store,
                   const std::filesystem::path& target);

/// Outcome of reading a picture file for an entry.
enum class PictureFileCheck {
  kOk,
  kNotJpeg,   ///< the name does not end in .jpg or .jpeg (any letter case)
  kTooLarge,  ///< more than kMaxPictureFileBytes bytes
  kMissing,   ///< no such file
};
/// Reads a picture file as the main window accepts it: JPEG by name, at most
/// 102400 bytes. `bytes` holds the file only when the result is kOk.
/// Throws base::FileError when the file exists but cannot be read.
PictureFileCheck ReadPictureFile(const std::filesystem::path& file, base::Bytes& bytes);

/// The bytes of a picture file holding the given entries in order.
base::Bytes PictureFileBytes(const std::vector<RawPictureEntry>& entries);
/// A raw entry for `code` and `info`: code cut to 6 bytes, each name cut to 32
/// bytes without splitting a two-byte character.
RawPictureEntry MakeRawEntry(std::string_view code, const TMemPic_Info& info);

}  // namespace klimavo::store
