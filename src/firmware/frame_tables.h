#pragma once
// Frame tables: the carrier, the pulse patterns of the logic codes, the frame
// structure and the split codes of one transmission format, written as
// assembler lines that the remote's firmware is assembled with (or that the
// table image converts to bytes). One table serves every record and format that
// transmit alike, so formats are first collected in a frame format list that
// merges near-equal entries, and the per-record tables refer to an entry by index.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/config.h"
#include "store/protocol_record.h"

namespace klimavo::firmware {

using Lines = std::vector<std::string>;  ///< GBK text lines without line ends

/// Error codes of the generators for formats and tables that do not fit the
/// firmware's fields. They are negative and lie apart from every code of the
/// table file (-1 … -6, r - 500) and of the table image (-2 … -6, r - 500).
/// structure > 64 bytes, a unit index > 63, a split number > 31, an image repeat
/// > 15, or bytes that the firmware's repeat expansion would misread
inline constexpr int kErrStructureOverflow = -601;
inline constexpr int kErrTripleTooShort = -602;   ///< triple-frame format with fewer than 12 elements
inline constexpr int kErrDescriptorIndex = -603;  ///< checksum range byte index above 63
inline constexpr int kErrImageTooLarge = -604;    ///< image above the 4132-byte buffer
inline constexpr int kErrListTooLarge = -605;     ///< a converted list above 4096 bytes
inline constexpr int kErrDataWidth = -606;        ///< image: a third odd data width ("errorframe!")

/// Result of AddFrameFormat for a refused logic-code count.
inline constexpr int kRefusedLogicCount = -1;

/// The settings that a caller sets before it adds formats or writes tables.
struct GeneratorSettings {
  bool TableImageMode = false;  ///< binary table image (clear: the assembler file)
  bool SevenBitFirst = false;   ///< the current record's first data unit carries 7 bits
  bool TripleFrames = false;    ///< the fixed two-frame structure of codes 0147 to 0150
  config::TimingAdjustments Timing;
};

/// One transmission format (an entry of the frame format list).
struct TACTmpGs {
  std::uint8_t SevenBitFirst = 0;
  std::uint16_t Carrier = 0;
  std::vector<std::vector<std::int32_t>> LogicCodes;
  std::vector<std::array<std::int32_t, 2>> SplitCodes;
  std::string FormatText;
  std::uint8_t FramesShareData = 0;
  std::uint8_t TripleFrames = 0;
};

/// Two entries transmit alike (texts, carriers within 2000 Hz, flags, durations near).
bool SameFrameFormat(const TACTmpGs& a, const TACTmpGs& b);

/// The bytes of one encoded duration (2 or 3 of them).
struct EncodedDuration {
  std::array<std::uint8_t, 3> bytes{};
  int count = 0;
};
/// Encodes a duration with the logic-code or split-code adjustment into the
/// two-byte form (15 bits, bit 0 of the high byte = mark) or the three-byte form.
EncodedDuration EncodeDurationBytes(std::int32_t duration, bool split_code, bool three_bytes,
                                    const config::TimingAdjustments& timing);
/// The text of EncodeDurationBytes: " $LL, $HH," (or three bytes).
std::string EncodeDuration(std::int32_t duration, bool split_code, bool three_bytes,
                           const config::TimingAdjustments& timing);

/// The 2-bit width codes of one table: 1 for 8 bits, 2 and 3 for the first two
/// distinct other widths; a third distinct width has no code.
class DataWidthCode {
 public:
  /// The code of a unit of `width` bits, or 0 when it has none.
  int CodeOf(int width);
  /// The width byte of the table: (w1 - 1) + 8 × (w2 - 1), terms present only when used.
  std::uint8_t WidthByte() const;
  const std::vector<int>& OddWidths() const { return odd_; }

 private:
  std::vector<int> odd_;
};

/// The structure bytes of an entry in the mode of the settings.
struct FrameStructure {
  std::vector<std::uint8_t> bytes;  ///< as far as they were produced
  std::uint8_t width_byte = 0;
  bool width_error = false;       ///< a unit width without code ("errorframe!")
  bool overflow = false;          ///< a byte that does not fit its field
  bool triple_too_short = false;  ///< triple frames over fewer than 12 elements
};
FrameStructure BuildFrameStructure(const TACTmpGs& entry, bool table_image_mode);

/// 0 when the entry's table fits the firmware's fields, else a kErr… code.
int CheckFrameFormat(const TACTmpGs& entry, bool table_image_mode);

/// Appends the frame table of `entry` with label index `index`; true when it
/// was written to its end ("logicBigger" stops it after the carrier line).
bool WriteFrameTable(Lines& lines, const TACTmpGs& entry, int index, const GeneratorSettings& settings);

/// `TACTmpGss`, the frame format list of one generation run.
class FrameFormatList {
 public:
  /// `ClearFrameFormats`.
  void Clear() { entries_.clear(); }
  /// `FrameFormatCount`.
  int Count() const { return static_cast<int>(entries_.size()); }
  const TACTmpGs& At(int index) const { return entries_[static_cast<std::size_t>(index)]; }
  /// Index of the matching or appended entry; kRefusedLogicCount for a refused
  /// logic-code count; a kErr… code for a table that would not fit its fields.
  int AddFrameFormat(const store::TdiskAir& record, std::string_view text, std::int32_t frames_share_data,
                     const GeneratorSettings& settings);
  /// Appends the tables of all entries, index 0 upwards.
  void WriteFrameTables(Lines& lines, const GeneratorSettings& settings) const;

 private:
  std::vector<TACTmpGs> entries_;
};

/// Builds an entry from a record without looking it up (step 1 of AddFrameFormat);
/// false for a refused logic-code count.
bool MakeFrameFormat(const store::TdiskAir& record, std::string_view text, std::int32_t frames_share_data,
                     const GeneratorSettings& settings, TACTmpGs& entry);

// Text forms shared by the table writers.
/// Two upper-case hexadecimal digits of the low byte.
std::string HexByte(std::int64_t value);
/// Four upper-case hexadecimal digits of the low 16 bits.
std::string HexWord(std::int64_t value);
/// Eight binary digits of the low byte.
std::string BinByte(std::int64_t value);
/// Sixteen binary digits of the low 16 bits.
std::string BinWord(std::int64_t value);
/// GBK bytes of a UTF-8 text (for the generators' fixed comments; call once).
std::string ToGbk(std::string_view utf8);

}  // namespace klimavo::firmware
