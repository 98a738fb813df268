#pragma once
// The protocol record: one air-conditioner protocol as captured and analysed.
// Its record image (10025 bytes) is the unit of the library file and the
// template file; every field below maps one-to-one to bytes of the image, and
// reserved bytes and the bytes beyond a text's length are kept as read, so
// FromImage(ToImage()) and ToImage(FromImage()) are identities.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "base/byte_io.h"
#include "base/short_string.h"
#include "ir/crc_item.h"
#include "ir/ir_types.h"

namespace klimavo::store {

inline constexpr std::size_t kMaxKeys = 8;
inline constexpr std::size_t kMaxStates = 16;
inline constexpr std::size_t kColumnsPerKey = 32;
inline constexpr std::size_t kFormatSlots = 9;
inline constexpr std::size_t kSlotCodeBytes = 64;
inline constexpr std::uint8_t kUnusedFrame = 255;
inline constexpr std::uint8_t kNoSlot = 255;
inline constexpr std::uint8_t kUnsetValue = 255;

/// One bit field of a key's code and its value per state (21 bytes).
struct TdiskBitColumn {
  static constexpr std::size_t kSize = 21;
  std::uint8_t Frame = kUnusedFrame;  ///< 255 = column not in use
  std::uint16_t BitPos = 1;
  std::uint8_t Width = 1;
  std::uint8_t Kind = 0;  ///< 0 public, 1 private, 208+k value of key k, 241 relative
  std::array<std::uint8_t, kMaxStates> Values{};

  bool InUse() const { return Frame != kUnusedFrame; }
  void Read(base::ByteReader& in);
  void Write(base::ByteWriter& out) const;
  friend bool operator==(const TdiskBitColumn&, const TdiskBitColumn&) = default;
};

/// One key of the remote (841 bytes). Keys have fixed roles by index:
/// 0 power, 1 temperature, 2 mode, 3 fan, 4 swing, 5 vane.
struct TdiskKey {
  static constexpr std::size_t kSize = 841;
  base::ShortString<15> Name;
  std::array<TdiskBitColumn, kColumnsPerKey> Columns{};
  std::uint8_t StateCount = 0;
  std::array<base::ShortString<8>, kMaxStates> StateNames{};
  std::uint8_t FixedFlags = 0;          ///< bit i: the key's code also fixes the fields of key i
  std::uint8_t Slot = kNoSlot;          ///< format slot of the key's code
  std::uint8_t Slot2 = kNoSlot;         ///< format slot of the key's second code (power key)
  std::array<std::uint8_t, 5> Extra{};  ///< bytes 836..840; key 2 keeps two state masks here

  void Read(base::ByteReader& in);
  void Write(base::ByteWriter& out) const;
  friend bool operator==(const TdiskKey&, const TdiskKey&) = default;
};

/// One frame format of the record (296 bytes).
struct TdiskFormatSlot {
  static constexpr std::size_t kSize = 296;
  base::ShortString<128> Text;  ///< protocol text; empty = slot not in use
  std::array<std::uint8_t, kSlotCodeBytes> Code{};
  std::uint8_t CodeStored = 0;
  ir::TCrcBlock Crc;

  void Read(base::ByteReader& in);
  void Write(base::ByteWriter& out) const;
  friend bool operator==(const TdiskFormatSlot&, const TdiskFormatSlot&) = default;
};

/// The record image (10025 bytes).
struct TdiskAir {
  static constexpr std::size_t kSize = 10025;
  // Offsets of the image, checked by a test against the field sizes.
  static constexpr std::size_t kOffsetBrand = 11;
  static constexpr std::size_t kOffsetKeys = 52;
  static constexpr std::size_t kOffsetParams = 6780;
  static constexpr std::size_t kOffsetSlots = 6976;
  static constexpr std::size_t kOffsetChecksumFlag = 9640;
  static constexpr std::size_t kOffsetMemoCn = 9641;
  static constexpr std::size_t kOffsetMemoEn = 9833;

  std::uint8_t Reserved0 = 0;
  std::uint8_t LsbFirst = 1;    ///< 1 = least significant bit first
  std::uint8_t RemoteType = 0;  ///< 0 with display, 1 without display
  double ChangeTime = 0.0;      ///< days since 1899-12-30, local time
  base::ShortString<32> Brand;
  base::ShortString<6> CodeNo;
  std::uint8_t KeyCount = 0;
  std::array<TdiskKey, kMaxKeys> Keys{};
  ir::TIRGsPara Params;
  std::array<TdiskFormatSlot, kFormatSlots> Slots{};
  std::uint8_t HasChecksum = 0;  ///< record-wide checksum flag
  base::ShortString<191> MemoCn;
  base::ShortString<191> MemoEn;

  /// Keys actually in use (KeyCount clamped to 8).
  std::size_t UsedKeys() const { return KeyCount < kMaxKeys ? KeyCount : kMaxKeys; }

  base::Bytes ToImage() const;
  void WriteImage(base::ByteWriter& out) const;
  /// Reads an image; false when fewer than kSize bytes are given.
  bool ReadImage(std::span<const std::uint8_t> image);
  static TdiskAir FromImage(std::span<const std::uint8_t> image);
  friend bool operator==(const TdiskAir&, const TdiskAir&) = default;
};

/// One code line of a key: its code data, the protocol element list of the code,
/// a repeat count and a marker word of the code comparison grid. Library entries
/// hold the code data as packed bytes; the current record as one byte per bit.
struct TGrdDataLine {
  ir::TSSByteArray Data;
  ir::TStrProt_Listbase Elements;
  std::uint16_t Repeat = 0;
  std::uint16_t Marker = 0;
  friend bool operator==(const TGrdDataLine& a, const TGrdDataLine& b) {
    if (a.Data != b.Data || a.Repeat != b.Repeat || a.Marker != b.Marker) return false;
    if (a.Elements.size() != b.Elements.size()) return false;
    for (std::size_t i = 0; i < a.Elements.size(); ++i)
      if (a.Elements[i].Kind != b.Elements[i].Kind || a.Elements[i].Value != b.Elements[i].Value ||
          a.Elements[i].Reserved != b.Elements[i].Reserved)
        return false;
    return true;
  }
};
using TGrdLines = std::vector<TGrdDataLine>;
using TBtnLines = std::vector<TGrdLines>;

/// One entry of the protocol library: the record and its code lines (packed).
struct LibraryRecord {
  TdiskAir Record;
  TBtnLines Lines;
};
using TdiskAirList = std::vector<LibraryRecord>;

}  // namespace klimavo::store
