#pragma once
// The structure layer of a protocol: the text form ‘<0>[32]<1>’ and
// ‘(<0>[48]<1>)*2’, operations on element lists, and the packing of data bits
// into code bytes along the data groups.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "ir/ir_types.h"

namespace klimavo::ir {

inline constexpr std::size_t kMaxProtocolElements = 512;
inline constexpr std::size_t kMaxUnpackedBits = 2048;

/// Parses a protocol text; "[8*4+3]" is one group of 35 bits. An empty text
/// leaves `Repeat` of `into` as it was (so pass the structure to fill).
void ParseProtocol(std::string_view text, TStrProt_Stru& into);
TStrProt_Stru ParseProtocol(std::string_view text);
/// As ParseProtocol, but "a*b" gives b groups of a bits.
void ParseProtocolExpanded(std::string_view text, TStrProt_Stru& into);
TStrProt_Stru ParseProtocolExpanded(std::string_view text);

/// Elements as they are, no repeat wrapper: "[8][8]<0>".
std::string PrintElements(const TStrProt_Listbase& elements);
/// Merged elements, wrapped as "(...)*r" when Repeat > 1.
std::string PrintProtocol(const TStrProt_Stru& protocol);

bool SameElement(const TStrProtItem& a, const TStrProtItem& b);
bool SameProtocol(const TStrProt_Stru& a, const TStrProt_Stru& b);
TStrProt_Listbase MergeElements(const TStrProt_Listbase& elements);

std::int64_t TotalBits(const TStrProt_Listbase& elements);
std::int64_t TotalBytes(const TStrProt_Listbase& elements);
int DataRunCount(const TStrProt_Listbase& elements);
void DropSplitElements(TStrProt_Listbase& elements);
std::int64_t BitOffsetOfRun(const TStrProt_Listbase& elements, int run, std::int64_t extra_bits);
std::int64_t ByteOffsetOfRun(const TStrProt_Listbase& elements, int run, std::int64_t bit_offset);
std::int64_t BitsInRun(const TStrProt_Listbase& elements, int run);

/// Packs bits (one 0/1 per byte, signal order) into code bytes along the data
/// groups. Fails, leaving `bytes` untouched, when bits or elements are empty.
bool BitsToBytes(const TStrProt_Listbase& elements, std::span<const std::uint8_t> bits, bool lsb_first,
                 TSSByteArray& bytes);
/// The inverse; fails when the bytes run out before the groups do.
bool BytesToBits(const TStrProt_Listbase& elements, std::span<const std::uint8_t> bytes, bool lsb_first,
                 TSSByteArray& bits);
/// BytesToBits reading a fixed code array, failing beyond `highest_index`.
bool BytesToBitsFixed(const TStrProt_Listbase& elements, std::span<const std::uint8_t> code,
                      int highest_index, bool lsb_first, TSSByteArray& bits);

}  // namespace klimavo::ir
