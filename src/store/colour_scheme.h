#pragma once
// Colour schemes of the waveform views, kept in Binn/ColorItems.clr: a 72-byte
// header naming the scheme in use, then Count schemes of 100 bytes, each a
// name and the 19 drawing colours (0x00BBGGRR) of a view. A missing file is
// created with the single scheme "Default".

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string_view>
#include <vector>

#include "base/byte_io.h"
#include "base/short_string.h"

namespace klimavo::store {

inline constexpr std::size_t kColourRoles = 19;
inline constexpr std::size_t kColourHeaderSize = 72;
inline constexpr std::size_t kColourItemSize = 100;
inline constexpr std::string_view kColourFileName = "ColorItems.clr";
inline constexpr std::string_view kColourAuthor = "Klimavo workbench";
inline constexpr std::string_view kColourOwner = "system";
inline constexpr std::string_view kDefaultSchemeName = "Default";

/// The drawing roles of a view, in the order of a scheme's colours.
enum class ColourRole : std::size_t {
  kBackground,
  kGrid,
  kGridText,
  kLevels,
  kDurationLabels,
  kCursors,
  kTitle,
  kProtocolText,
  kCodeValue,
  kCarrierText,
  kCursorText,
  kFocusedLevel,
  kFocusedLabel,
  kScopeRect,
  kFocusBorder,
  kSegmentText,
  kFrameBoxes,
  kFieldBoxes,
  kBitBoxes,
};

/// The colours of the "Default" scheme.
inline constexpr std::array<std::uint32_t, kColourRoles> kDefaultColours = {
    0x808080, 0xC0C0C0, 0xFFFFFF, 0x00FFFF, 0x00FFFF, 0xFF00FF, 0x008000, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF,
    0xFF00FF, 0x0000FF, 0x0000FF, 0x000000, 0x000000, 0xFFFFFF, 0x808000, 0xFF00FF, 0x800000,
};

/// One scheme, `TIR_ColorItem` (100 bytes).
struct TIR_ColorItem {
  base::ShortString<19> Name;
  std::array<std::uint32_t, kColourRoles> Colours = kDefaultColours;
  std::int32_t Reserved = 0;

  std::uint32_t Colour(ColourRole role) const { return Colours[static_cast<std::size_t>(role)]; }
  void Read(base::ByteReader& in);
  void Write(base::ByteWriter& out) const;
  friend bool operator==(const TIR_ColorItem&, const TIR_ColorItem&) = default;
};

/// The 72-byte header of the file.
struct ColourSchemeHeader {
  std::int32_t Reserved0 = 0;
  base::ShortString<35> Author;
  double Created = 0.0;  ///< date-time double
  base::ShortString<17> Owner;
  std::uint16_t Count = 0;
  std::uint16_t Selected = 0;
  std::uint16_t Reserved70 = 0;

  void Read(base::ByteReader& in);
  void Write(base::ByteWriter& out) const;
  friend bool operator==(const ColourSchemeHeader&, const ColourSchemeHeader&) = default;
};

/// How LoadColourScheme came by its schemes.
enum class ColourFileState {
  kRead,     ///< read from the file
  kCreated,  ///< the file was missing and has been written with the default scheme
  kShort,    ///< the file holds fewer items than its Count: the complete ones were kept
  kDamaged,  ///< the file is shorter than its header: defaults used, the file left as it is
};

struct ColourScheme {
  ColourSchemeHeader Header;
  std::vector<TIR_ColorItem> Items;
  ColourFileState State = ColourFileState::kRead;
};

/// The header and single "Default" item of a new file, created at `now`.
ColourScheme DefaultColourScheme(double now);
/// Parses the bytes of a colour file; Items holds the complete items only.
ColourScheme ParseColourScheme(std::span<const std::uint8_t> file);
/// The bytes SaveColourScheme writes (Count set to the number of items).
base::Bytes ColourSchemeBytes(const ColourSchemeHeader& header, const std::vector<TIR_ColorItem>& items);
/// Reads binn_dir/ColorItems.clr, creating binn_dir and the default file when
/// missing. Throws base::FileError when a file cannot be read or written.
ColourScheme LoadColourScheme(const std::filesystem::path& binn_dir);
/// The item with index Selected. A Selected beyond the last item gives the
/// first item, and a file without items gives the default colours.
TIR_ColorItem CurrentColours(const ColourScheme& scheme);
/// Writes binn_dir/ColorItems.clr atomically. Throws base::FileError.
void SaveColourScheme(const std::filesystem::path& binn_dir, const ColourSchemeHeader& header,
                      const std::vector<TIR_ColorItem>& items);

}  // namespace klimavo::store
