#pragma once
// The model behind the parts generators: per key the bit fields that the key's
// code touches ("parts") and the distinct value groups those fields take, built
// from a record's keys, columns and code lines. The generators A and B and the
// entry writers they share work on one PartsModel per run; nothing is global.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/parts_tables.h"
#include "ir/ir_types.h"
#include "store/format_list.h"
#include "store/protocol_record.h"

namespace klimavo::firmware {

/// Kinds of parts (the entry type of TPartsInfo).
enum PartType : std::uint8_t {
  kPartNormal = 0,        ///< per state a value, or a reference to a value group
  kPartFixed = 1,         ///< a field of another key that this key's code fixes
  kPartStep = 2,          ///< temperature "+" and "-" values
  kPartReference = 3,     ///< value of state 0 here, the other state from another key's group
  kPartPowerSpecial = 4,  ///< power off sets both neighbouring bits
  kPartModeMap = 5,       ///< mode key: per mode state a fixed value or the global value
  kPartModeTable = 6,     ///< mode key: per mode state a value group of the fan key
  kPartMoving = 7,        ///< generator B: a field taken from a normal part of another key
};

inline constexpr std::uint8_t kRelativeValue = 241;  ///< the state value "take it from elsewhere"
inline constexpr std::uint8_t kKeyModeBase = 208;    ///< column kind 208 + k: value of key k
inline constexpr std::uint8_t kKindPrivate = 1;      ///< column kind: the key's own, always written

// Key roles by position.
inline constexpr int kKeyPower = 0;
inline constexpr int kKeyTemp = 1;
inline constexpr int kKeyMode = 2;
inline constexpr int kKeyFan = 3;
inline constexpr int kKeySwing = 4;
inline constexpr int kKeyVane = 5;
inline constexpr int kFixedStepFlag = 6;  ///< fixed-value flag bit of the temperature step

// Results of the generators besides 0 and 1 (the caller reports r - 500).
inline constexpr int kPartsByteIndexTooLarge = kPartsResultByteIndex;
inline constexpr int kPartsReferenceTooLarge = kPartsResultReference;

/// One bit field touched by a key.
struct TPartsInfo {
  std::uint8_t Type = kPartNormal;
  std::uint8_t StepFlag = 0;  ///< fixed part taken from the temperature step fields
  std::int32_t ByteIndex = 0;
  std::int32_t StartBit = 0;
  std::int32_t Width = 0;
  std::int32_t RefKey = -1;
  std::int32_t Group = 0;
  ir::TSSByteArray Values;
  std::int32_t Position = 0;  ///< entry index others refer to; second group of A's power special part
  std::uint8_t ModeDependent = 0;
  std::int32_t RefPart = -1;  ///< index of the referenced part among the referenced key's parts
  std::vector<ir::TSSByteArray> ModeValues;  ///< mode value table: per mode state, per fan state
  ir::TSSByteArray ModeBytes;                ///< mode value table: per mode state a fan group
  std::int32_t Format = -1;                  ///< generator B: format position, -1 = every format
  std::int32_t Column = -1;                  ///< source column, -1 for derived parts
  bool Resolved = false;
  bool Included = false;
  bool Written = false;
  bool DefaultInclude = false;
};

/// The parts and value groups of one key.
struct TPartsTable {
  std::int32_t GroupCount = 0;
  std::int32_t FirstGroupLength = 0;
  std::vector<TPartsInfo> Parts;
  std::vector<ir::TSSByteArray> Groups;
};
using TPartsTables = std::vector<TPartsTable>;

/// What BuildPartsTables reads. `record` is the working copy after the
/// generator's own preparation (the single power code step).
struct PartsSource {
  const store::TdiskAir& record;
  const store::Tex_gssList& formats;
  const store::TBtnLines& lines;
  bool seven_bit_first = false;
  bool generator_b = false;
};

/// The built parts of one record.
struct PartsModel {
  TPartsTables tables;  ///< one per key below the key count
  bool fan_mode_dependent = false;
  // Generator B: the power key's formats (positions in the format list).
  int power_format1 = -1;
  int power_format2 = -1;
  bool two_power_formats = false;
};

/// Key code of a reference byte: keys 0 and 1 stay, others move up by one.
int ClampKey(int key);
/// Number of the key's first value group equal to `values`; appended when new.
int GroupOf(TPartsTable& table, const ir::TSSByteArray& values);
/// The `width` bits from bit `bit` of unit `unit` of a code line (one byte per
/// bit), cut into 8-bit units along its elements and repetitions; 0 when the
/// line has no such unit.
std::int64_t ReadLineField(const store::TGrdDataLine& line, int unit, int bit, int width, bool lsb_first,
                           bool seven_bit_first);
/// True when both parts cover the same byte index, start bit and width.
bool SameBits(const TPartsInfo& a, const TPartsInfo& b);
/// True when the bit ranges of both parts intersect.
bool BitsOverlap(const TPartsInfo& a, const TPartsInfo& b);
/// Fills the parts and groups of every key (all passes).
PartsModel BuildPartsTables(const PartsSource& source);
/// The power key's formats F1 and F2 (positions; -1 when none sends key 0).
void FindPowerFormats(const store::Tex_gssList& formats, PartsModel& model);

/// Writes the base data block of a format; returns the index of its
/// initialization count line, -1 when nothing was written, or
/// -kPartsByteIndexTooLarge when the code does not fit the stored 64 bytes.
int WriteFormatBaseData(const store::Tex_gsstrut& format, Lines& relation, bool single_format,
                        bool triple_frames);

// ---- Steps shared by generators A and B ---------------------------------------

/// When key 0 has exactly one code line: its columns send state 0's value in
/// both states, and the other keys (B: those whose format carries key 0) fix
/// the power field. Returns true when the record has a single power code.
bool PrepareSinglePowerCode(store::TdiskAir& record, const store::TBtnLines& lines,
                            const store::Tex_gssList* formats_of_b);
/// A generator's own working copy: the record after the single power code
/// step, its formats (generator A keeps every format's initialization data in
/// key 1's table) and the parts built from them.
struct PartsWork {
  store::TdiskAir record;
  store::Tex_gssList formats;
  bool single_power_code = false;
  PartsModel model;
};
/// The preparation generators A and B share: copies the record and formats,
/// applies the single power code step and builds the parts tables.
PartsWork PreparePartsWork(const PartsInput& in, bool generator_b);
/// Writes each format's base data block under its title into `relation`;
/// returns each block's initialization count line (see WriteFormatBaseData)
/// and sets `error` to kPartsByteIndexTooLarge when a code does not fit.
std::vector<int> WriteAllBaseData(const store::Tex_gssList& formats, Lines& relation, bool single_format,
                                  bool triple_frames, int& error);
/// True when key `key` sends format `format` (key 0 also by its second frame).
bool KeySendsFormat(const store::Tex_gsstrut& format, int key);
/// The control bits of the parts generators (2, 6 and 7).
std::uint8_t PartsControlBits(const store::TdiskAir& record, const PartsModel& model, bool single_power_code);
/// Writes the parts table (group counts and value groups); returns 0 or
/// kPartsReferenceTooLarge when a count does not fit its nibble.
int WritePartsTable(const store::TdiskAir& record, const PartsModel& model, Lines& table);
/// Marks every part unwritten (after the counting pass).
void ClearWritten(PartsModel& model);

// ---- Text helpers shared by the writers -------------------------------------

/// The GBK bytes of a UTF-8 literal (converted once and cached).
const std::string& Gbk(std::string_view utf8);
/// Two upper-case hex digits of the low byte.
std::string Hex2(std::int64_t value);
/// Eight binary digits of the low byte.
std::string Bin8(std::int64_t value);
/// Decimal digits.
std::string Dec(std::int64_t value);
/// "\tDB $" + hex + "\t" + comment.
std::string DbHex(std::int64_t value, std::string_view comment);
/// "\tDB " + binary + "B\t" + comment.
std::string DbBin(std::int64_t value, std::string_view comment);
/// The "\tDB $xx;byte count=c-1" line of a key; `blank` puts a blank before ";" for c < 2.
std::string ByteCountLine(int count, bool blank_when_short);
/// "\t ;====" + trimmed key name + dashes.
std::string KeyTitleLine(const store::TdiskKey& key);

// ---- Entry writers ----------------------------------------------------------

/// Writes the entries of parts as assembler lines, counting the bytes and the
/// entry index inside the current key's table, and checking that every byte
/// index and reference fits the bits the firmware reads.
class EntryWriter {
 public:
  EntryWriter(const store::TdiskAir& record, PartsModel& model, bool generator_b, bool single_power_code);

  /// Starts the bytes and entry count of a new block (key table or init list).
  void Begin(Lines& out);
  /// Appends a comment line (no byte).
  void Note(std::string line);
  /// Inserts a line at `index` of the output (no byte counted).
  void Insert(std::size_t index, std::string line);
  /// The number of lines of the output.
  std::size_t LineCount() const { return out_ ? out_->size() : 0; }
  /// Trimmed key name.
  std::string TrimmedName(int key) const;
  int Bytes() const { return bytes_; }
  /// 0, or kPartsByteIndexTooLarge / kPartsReferenceTooLarge after a field that did not fit.
  int Error() const { return error_; }

  /// The number of state values a key's status entries write.
  int StatusCount(int key) const;

  void WriteInit(int key, int part);          ///< "初始化" entry (type 0, not included)
  void WriteGoto(int key, int part);          ///< "转到" reference (type 3, in init data)
  void WriteTakeHere(int key, int part);      ///< "取这里值" reference (type 3)
  void WritePowerSpecial(int key, int part);  ///< type 4
  void WriteStatus(int key, int part);        ///< included type 0
  void WriteStep(int key, int part);          ///< type 2
  void WriteFixed(int key, int part);         ///< type 1, keys 1 to 5
  void WritePower(int key, int part);         ///< type 1, key 0
  void WriteModeMap(int key, int part);       ///< type 5
  void WriteModeTable(int key, int part);     ///< type 6
  void WriteMoving(int key, int part);        ///< B: type 7 in a key section
  void WriteMovingInit(int key, int part);    ///< B: type 7 in an init list
  void WritePowerInit(int key, int part);     ///< B: power type 0 in an init list

  /// The section entries of one key, in the firmware's order.
  void WriteKeyEntries(int key);

 private:
  void Db(std::string line);
  void Header(const TPartsInfo& p, int offset);
  void BarLine(int key, const TPartsInfo& p);
  void GroupLine(int ref_key, int group);
  std::int64_t RefByte(int key, int index);
  std::int64_t ByteIndex(int index);
  const std::string& Name(int key) const;
  bool KeyExists(int key) const;
  TPartsInfo& Part(int key, int part) { return model_.tables[key].Parts[part]; }

  const store::TdiskAir& record_;
  PartsModel& model_;
  bool generator_b_;
  bool single_power_code_;
  std::vector<std::string> names_;
  Lines* out_ = nullptr;
  int bytes_ = 0;
  int entries_ = 0;
  int error_ = 0;
};

}  // namespace klimavo::firmware
