#pragma once
// The main table file: one assembler source that holds, for a list of library
// records, every record's checksum, relation and parts tables, the index
// sections that refer to them, and the shared frame tables. A TableGenerator
// keeps the working lists of one run; a caller creates one per file or image.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "config/config.h"
#include "firmware/frame_tables.h"
#include "firmware/record_preparation.h"
#include "store/format_list.h"
#include "store/library.h"
#include "store/protocol_record.h"

namespace klimavo::firmware {

// Error codes of WriteRecordTables (besides r - 500 of a parts generator and
// the kErr… codes of frame_tables.h).
inline constexpr int kFileErrKeyCount = -1;
inline constexpr int kFileErrFormatWithoutKey = -2;
inline constexpr int kFileErrTooManyFormats = -3;
inline constexpr int kFileErrNoFormat = -4;
inline constexpr int kFileErrTables = -6;       ///< checksum table or a refused format
inline constexpr int kFileErrTooManyKeys = -7;  ///< more than 6 keys
inline constexpr int kPartsErrorBase = 500;     ///< a parts generator's result r gives r - 500

/// The references that the index sections of the file collect per record.
struct LabelLists {
  Lines FrameIndexRefs;
  Lines CrcTableRefs;
  Lines DataTableRefs;
  Lines RelationRefs;
  std::vector<Lines> RelationIniBlocks;
  void Clear();
};

/// Receives "label:code" for every record whose tables failed.
using RecordErrorSink = std::function<void(const std::string& message)>;

/// The working state of one table generation run.
class TableGenerator {
 public:
  explicit TableGenerator(const config::TimingAdjustments& timing = {});

  GeneratorSettings& Settings() { return settings_; }
  const GeneratorSettings& Settings() const { return settings_; }
  FrameFormatList& FrameFormats() { return frames_; }
  const LabelLists& Labels() const { return labels_; }
  /// Empties the label lists and the frame format list.
  void Clear();

  /// Prepares the working copy and appends its record sections to `output`;
  /// 0 or an error code. The special code numbers must have been applied.
  int WriteRecordTables(Lines& output, store::TdiskAir& copy, const store::TBtnLines& bit_lines,
                        const std::string& label);
  /// Steps a to c of one record: special codes, header line, tables or error line.
  int AddRecord(Lines& output, const store::TdiskAir& record, const store::TBtnLines& bit_lines,
                const RecordErrorSink& on_error);
  /// The index sections, the record sections and the frame tables.
  Lines AssembleFile(const Lines& record_sections) const;

 private:
  GeneratorSettings settings_;
  FrameFormatList frames_;
  LabelLists labels_;
};

/// Control byte bits of the record itself (formats - 1, checksums, bit order).
std::uint8_t BaseControlByte(const store::TdiskAir& record, std::size_t format_count);
/// The parts generator of the record (key table for remote type 1, A for one
/// format, B for 2 to 4) into the relation and table lists; its result.
int RunPartsGenerator(const store::TdiskAir& copy, const store::Tex_gssList& formats,
                      const store::TBtnLines& bit_lines, bool seven_bit_first, bool triple_frames,
                      Lines& relation, std::uint8_t& control_byte, Lines& table);
/// A record's tables from its parts generator, before the table file or the
/// table image lays them out.
struct RecordTables {
  bool seven_bit_first = false;
  store::Tex_gssList formats;
  std::uint8_t control = 0;  ///< BaseControlByte with the generator's bits
  Lines relation;
  Lines table;
};
/// The preparation both the table file and the table image make of a working
/// copy (after ApplySpecialCodeNumbers): PrepareRecordForTables, the base
/// control byte and the parts generator. Returns 0, the caller's code for a
/// failed check (`errors`), or the generator's result - kPartsErrorBase.
int GenerateRecordTables(store::TdiskAir& copy, const store::TBtnLines& bit_lines, bool triple_frames,
                         const PrepareErrorCodes& errors, RecordTables& out);
/// The key format word: 2 bits per key with the first format (from 1 up) that it sends.
std::uint16_t KeyFormatWord(const store::TdiskAir& record, const store::Tex_gssList& formats);

/// The lines of the table file for the records at `indices` (skipping those
/// that cannot be fetched).
Lines TableFileLines(const store::ProtocolLibrary& library, const std::vector<int>& indices,
                     const config::TimingAdjustments& timing, const RecordErrorSink& on_error);
/// Lines joined with CR LF after every line.
std::string JoinCrLf(const Lines& lines);
/// `WriteTableFile`: builds the file and replaces `path` atomically (throws
/// base::FileError). Returns 0.
int WriteTableFile(const std::filesystem::path& path, const store::ProtocolLibrary& library,
                   const std::vector<int>& indices, const config::TimingAdjustments& timing,
                   const RecordErrorSink& on_error);

}  // namespace klimavo::firmware
