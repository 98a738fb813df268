#pragma once
// The table image: one record's frame, relation, parts and checksum tables as
// bytes behind a small index (header words and five pointer tables, each
// pointer holding $30 + an image offset), ready for the remote's memory; with an
// optional 32-byte download header and the record's name behind the image.

#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_io.h"
#include "config/config.h"
#include "firmware/frame_tables.h"
#include "store/protocol_record.h"

namespace klimavo::firmware {

// Error codes of BuildTableImage (besides r - 500 of a parts generator and the
// kErr… codes of frame_tables.h).
inline constexpr int kImageErrKeyCount = -2;
inline constexpr int kImageErrFormatWithoutKey = -3;
inline constexpr int kImageErrTooManyFormats = -4;
inline constexpr int kImageErrNoFormat = -5;
inline constexpr int kImageErrTables = -6;
inline constexpr int kImageErrTooManyKeys = -7;  ///< more than 6 keys

inline constexpr std::size_t kImageBufferSize = 4132;  ///< the image buffer, download header included
inline constexpr std::size_t kMaxListBytes = 4096;     ///< one converted list
inline constexpr std::size_t kDownloadHeaderSize = 32;
inline constexpr std::uint16_t kImageAddressBase = 0x30;  ///< pointers hold $30 + image offset
inline constexpr std::size_t kImageHeaderSize = 12;

/// The date and time written into the download header.
struct ImageClock {
  int year = 2000;
  int month = 1;
  int day = 1;
  int hour = 0;
  /// The local date and time now.
  static ImageClock Now();
};

/// The generated lists of an image before conversion, in production order.
struct ImageSources {
  std::vector<Lines> frame_tables;  ///< one per format (pointer table 1)
  base::Bytes relation_block;       ///< pointer table 0
  Lines parts_table;                ///< pointer table 2
  Lines relation_table;             ///< pointer table 3
  Lines checksum_table;             ///< pointer table 4 (only with checksums)
  bool has_checksums = false;
};

/// Generates the lists of the image of a record (steps 1 to 6); 0 or the error code.
int BuildImageSources(const store::TdiskAir& record, const store::TBtnLines& bit_lines,
                      const config::TimingAdjustments& timing, ImageSources& sources);

/// `BuildTableImage`: 0 and the image, or the error code (image untouched).
int BuildTableImage(const store::TdiskAir& record, const store::TBtnLines& bit_lines,
                    bool with_download_header, const config::TimingAdjustments& timing, base::Bytes& image);
/// As above with a given clock for the download header.
int BuildTableImage(const store::TdiskAir& record, const store::TBtnLines& bit_lines,
                    bool with_download_header, const config::TimingAdjustments& timing,
                    const ImageClock& clock, base::Bytes& image);

/// The bytes of assembler lines: "DB" items in "$" hex or binary before "B".
base::Bytes ReadAssemblerBytes(const Lines& lines);

/// The "Create c++" line: "static unsigned char testdata[]={0x01,0xAB,}".
std::string CArrayText(const base::Bytes& image);

}  // namespace klimavo::firmware
