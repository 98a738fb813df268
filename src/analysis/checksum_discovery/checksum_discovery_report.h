#pragma once
// The text forms of a checksum discovery: the JSON object of
// `klimavo-cli analyse checksum --json` and the one-item-per-line text forms
// of the candidates and of their rivals.
// Each candidate is written as the protocol record's JSON writes a checksum
// item (docs/record-json.md), its index being its place in the list, so that
// it can be pasted into a record.

#include <string>
#include <string_view>

#include "analysis/checksum_discovery/checksum_discovery.h"
#include "lang/language.h"

namespace klimavo::analysis {

/// One candidate as a record's checksum item, on one line: ", " and ": " as separators.
std::string CandidateJson(std::size_t index, const ir::TCrcItem& item);
/// {"rows": N, "format": TEXT, "candidates": [...], "note": NOTE, "rivals": [...]}
/// on one line; each rival is written as an item whose index is that of the
/// candidate it rivals (the place it would take instead).
std::string DiscoveryJson(const ChecksumDiscovery& result, std::string_view format);
/// One candidate per line, best first; empty without candidates.
std::string DiscoveryText(const ChecksumDiscovery& result);
/// One rival per line, as an item whose index is that of the candidate it
/// rivals; empty without rivals.
std::string RivalsText(const ChecksumDiscovery& result);
/// A candidate as the checksum wizard lists it, in the language's kind names
/// (GBK): "[target frame, bit, width] = kind(operand width)", each zone as
/// "  start frame:bit - end frame:bit", and a constant as "  operation HH".
std::string CandidateSummary(const ir::TCrcItem& item, const lang::Language& language);

}  // namespace klimavo::analysis
