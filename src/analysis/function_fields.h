#pragma once
// The bit fields of a record's keys as the function analysis works with them:
// which fields of which keys share a key's code (the grid's key zones), and
// auto extraction, which turns the runs of the comparison grid into a key's
// bit-field columns with one value per state.

#include <array>
#include <cstdint>

#include "analysis/compare_grid.h"
#include "ir/ir_types.h"
#include "store/protocol_record.h"

namespace klimavo::analysis {

/// Kind bytes of a bit-field column.
inline constexpr std::uint8_t kKindPublic = 0;
inline constexpr std::uint8_t kKindPrivate = 1;
inline constexpr std::uint8_t kKindOfKeyBase = 208;  ///< 208 + k: the value of key k
inline constexpr std::uint8_t kKindRelative = 241;   ///< TEMP+- (key 1) or MODE/FAN (key 3)
/// A state value of 241: "set side" or "corresponding" (power, swing).
inline constexpr std::uint8_t kValueSpecial = 241;

/// The format slots a key's code uses: its own, and for the power key a second
/// one when both are set and differ.
std::array<std::uint8_t, 2> KeySlots(const store::TdiskAir& record, int key);

/// The fields the grid marks while `key` is shown: the used columns of every
/// key that shares a format slot with it (and of the key itself), one list per
/// key of the record. A column that takes its value from key k counts as a
/// field of k, and only when it belongs to `key`.
ir::TBtnBitsInfo KeyZonesOf(const store::TdiskAir& record, int key);

/// A column as auto extraction leaves it unused.
store::TdiskBitColumn UnusedColumn();

/// Auto extraction: run i of the grid (at most 32) becomes column i, public,
/// with value s from grid row s for the first `state_count` rows (255 where the
/// row has missing bits or the value does not fit a byte); every other column
/// is unused. Returns the number of runs taken.
int ExtractColumns(const CompareGridModel& grid, int state_count,
                   std::array<store::TdiskBitColumn, store::kColumnsPerKey>& columns);

/// How the bits of every code are read anew.
struct BitReading {
  bool invert = false;         ///< 0 and 1 exchange their logic codes
  bool reverse_order = false;  ///< the record's bit order flips
};

/// Re-reads the state values of every used column of the record's keys so that
/// each state still sends the bits it sent: a w-bit value is complemented when
/// the bits are inverted and read the other way round when the bit order flips.
/// Values that are not bit values (241 "special", 255 unset) are kept.
void RereadFieldValues(store::TdiskAir& record, BitReading reading);

/// Whether a format slot in use carries a checksum. Its operands and target
/// are the code's bytes, so a checksum is defined for one reading of the bits.
bool HasChecksumInUse(const store::TdiskAir& record);

}  // namespace klimavo::analysis
