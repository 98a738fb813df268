#pragma once
// The space that checksum discovery searches, laid out for fast matching:
// the rows (distinct codes of one format) and a few random probe codes of the
// same format, every zone the record can express (start at a multiple of 4 bits
// of its frame, end at any bit) with the operand sums of every row and probe,
// and every target (4 or 8 bits starting at any bit of a frame) whose bits
// change between the rows, with its value in each row.
//
// A column is the value of something in each row, one byte per row (values cut
// to the target width), so that matching a hypothesis against all targets is
// one hash look-up.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "analysis/checksum_discovery/checksum_operands.h"
#include "ir/ir_types.h"

namespace klimavo::analysis::discovery {

/// At most this many distinct rows take part; more add little a search can use.
inline constexpr int kMaxRows = 32;
/// Codes on which candidates are compared: first uniformly random codes (what
/// a definition computes for any code), then codes whose every bit is taken
/// from a random row (what it computes for codes like the rows: bits constant
/// in the rows stay constant, and how the values spread there).
inline constexpr int kUniformProbes = 32;
inline constexpr int kRowLikeProbes = 32;
inline constexpr int kProbeCount = kUniformProbes + kRowLikeProbes;
/// Bits beyond this take part in no zone or target.
inline constexpr int kMaxSearchBits = 512;

/// The raw combinations a zone has, one table column each.
enum RawType : int { kSum8, kSum4, kShift8, kShift4, kXor8, kXor4, kNibble8, kNibble4, kOnes, kZeros };
inline constexpr int kRawTypes = 10;

/// A kind with an operand width, as the search tries it.
struct Hypothesis {
  std::uint8_t kind;
  std::uint8_t width_index;  ///< index into kOperandWidths
  RawType raw;
  bool complement;
  bool swap;  ///< the nibble exchange
  bool xor_combined;
};
/// Every kind with the operand widths it can use (the count kinds only 8, as
/// the width does not change what they compute), by kind, 8 before 4.
std::span<const Hypothesis> Hypotheses();

/// Values of the rows, one byte each; unused entries are 0.
using Column = std::array<std::uint8_t, kMaxRows>;
std::uint64_t HashColumn(const Column& column);

struct ZoneInfo {
  std::uint8_t start_frame = 0;
  std::uint16_t start_bit = 0;
  std::uint8_t end_frame = 0;
  std::uint16_t end_bit = 0;
  int first = 0;  ///< absolute code bits covered, inclusive
  int last = 0;
  bool changes = false;  ///< covers a bit that differs between the rows
};

struct TargetInfo {
  std::uint8_t frame = 0;
  std::uint16_t bit = 0;
  std::uint8_t width = 8;
  int first = 0;  ///< absolute position of its first bit
  Column value{};
  std::array<std::uint64_t, 8> bit_rows{};  ///< per value bit: the rows where it is 1

  bool Overlaps(const ZoneInfo& zone) const { return zone.first < first + width && first <= zone.last; }
};

/// Index of columns by hash: the ids whose column has a given hash.
class ColumnIndex {
 public:
  void Add(std::uint64_t hash, int id) { entries_.push_back({hash, id}); }
  void Build();
  /// Ids stored under exactly this hash (callers compare the columns).
  std::span<const int> Find(std::uint64_t hash) const {
    if (((filter_[(hash >> 6) & kFilterMask] >> (hash & 63)) & 1u) == 0) return {};
    return Lookup(hash);
  }
  bool Empty() const { return entries_.empty(); }

 private:
  struct Entry {
    std::uint64_t hash;
    int id;
  };
  std::vector<Entry> entries_;
  std::vector<int> ids_;
  std::vector<std::uint64_t> hashes_;
  std::vector<std::uint32_t> bucket_start_;
  int shift_ = 64;
  // One bit per value of the low 16 bits of the stored hashes: most look-ups
  // miss, and this answers them from one word.
  static constexpr std::size_t kFilterWords = 1024;
  static constexpr std::size_t kFilterMask = kFilterWords - 1;
  std::array<std::uint64_t, kFilterWords> filter_{};

  std::span<const int> Lookup(std::uint64_t hash) const;
};

class SearchSpace {
 public:
  /// `rows` must be distinct codes of `layout.total` bits (at least 2, at most kMaxRows).
  SearchSpace(const FrameLayout& layout, std::span<const ir::TSSByteArray> rows, bool lsb_first);

  int Rows() const { return rows_; }
  /// Rows followed by the probe codes.
  int Slots() const { return rows_ + kProbeCount; }
  const ir::TSSByteArray& SlotBits(int slot) const { return bits_[static_cast<std::size_t>(slot)]; }
  bool LsbFirst() const { return lsb_first_; }
  const FrameLayout& Layout() const { return layout_; }
  bool Changes(int position) const { return changes_[static_cast<std::size_t>(position)]; }

  const std::vector<ZoneInfo>& Zones() const { return zones_; }
  /// Targets of width 8 (index 0) or 4 (index 1).
  const std::vector<TargetInfo>& Targets(int width_index) const {
    return targets_[static_cast<std::size_t>(width_index)];
  }

  /// The raw value of a zone in a slot.
  std::uint32_t Raw(int zone, RawType type, int slot) const {
    return raw_[(static_cast<std::size_t>(zone) * kRawTypes + static_cast<std::size_t>(type)) *
                    static_cast<std::size_t>(Slots()) +
                static_cast<std::size_t>(slot)];
  }
  const NibbleOperands& Nibbles(int zone, int width_index, int slot) const {
    return nibbles_[(static_cast<std::size_t>(zone) * 2 + static_cast<std::size_t>(width_index)) *
                        static_cast<std::size_t>(Slots()) +
                    static_cast<std::size_t>(slot)];
  }
  /// The combined raw value of one or two zones (zone2 < 0: one) in a slot.
  std::uint32_t CombinedRaw(const Hypothesis& h, int zone1, int zone2, int slot) const;

 private:
  void FindChangingBits();
  void EnumerateZones();
  void FillZoneSums(int slot);
  void Store(int zone, int slot, const OperandSums& sums);
  void EnumerateTargets();

  FrameLayout layout_;
  bool lsb_first_;
  int rows_;
  std::vector<ir::TSSByteArray> bits_;
  std::vector<bool> changes_;
  std::vector<ZoneInfo> zones_;
  std::array<std::vector<TargetInfo>, 2> targets_;
  std::vector<std::uint16_t> raw_;
  std::vector<NibbleOperands> nibbles_;
};

/// The frames of an element list cut to the bits a search covers.
FrameLayout SearchLayout(const ir::TStrProt_Listbase& elements);

}  // namespace klimavo::analysis::discovery
