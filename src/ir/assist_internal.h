#pragma once
// Building blocks of the assisted decode shared by its readings.

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

#include "ir/assisted_decode.h"
#include "ir/ir_types.h"

namespace klimavo::ir::assist {

/// What the caller asked for, passed to every reading.
struct Request {
  std::int32_t carrier = 0;
  bool both_orders = false;
  bool lsb_first = true;
  double tolerance = 0.21;
};

/// One candidate reading.
struct Reading {
  bool ok = false;
  Tcomp_aval result;
  int sections = 1;
  int bits_per_symbol = 1;
  /// How far the reading stretched the configured tolerance, in percent points.
  int strain = 0;
  std::vector<AssistChange> changes;
};

/// How sound a reading looks; smaller is better, compared field by field. A
/// reading without doubts beats any doubtful one; among equals the one nearer
/// the configured tolerance wins.
struct Score {
  int doubtful = 0;        ///< 1 when DoubtsAbout names anything
  int partial_groups = 0;  ///< data groups that are not a whole number of bytes
  int lone_classes = 0;    ///< split codes seen once, between two data groups, shaped like data
  int groups = 0;          ///< data groups
  int strain = 0;          ///< Reading::strain
  auto operator<=>(const Score&) const = default;
};
Score ScoreOf(const Tcomp_aval& result, int strain = 0);
inline Score ScoreOf(const Reading& reading) { return ScoreOf(reading.result, reading.strain); }

/// The blind decoder at a given tolerance.
bool Blind(const TIRIntegerArr& ticks, const Request& request, double tolerance, Tcomp_aval& out);

/// A decode result from a structure, the data bits of every repetition and a
/// timing: repetitions found, bytes packed, bits cut to one repetition, as the
/// blind decoder fills its result. For two-bit symbols pass the bits of both
/// orders (`bits_msb` used only for the MSB-first bytes).
Tcomp_aval BuildResult(const TStrProt_Listbase& elements, const TSSByteArray& bits,
                       const TSSByteArray& bits_msb, const TIRGsPara& params, const Request& request);

/// A split code for (mark, space) in `params`: an existing one within 8 % (or
/// 50 µs), else a new one; -1 when the table is full.
int FindOrAddSplit(TIRGsPara& params, std::int64_t mark, std::int64_t space, bool mark_only);

/// The tolerance readings of one capture (wider first, then narrower), the
/// stray-pulse reading of a result, and the best single-section reading.
/// `tried`, when given, gets every tolerance decoded.
Reading ReadWithOtherTolerance(const TIRIntegerArr& ticks, const Request& request, const Tcomp_aval* plain,
                               std::vector<double>* tried = nullptr);
Reading ReadStrayPulses(const Tcomp_aval& base, const Request& request);
Reading ReadSingleSection(const TIRIntegerArr& ticks, const Request& request);

/// Sections split at long gaps, each read with its own timing.
Reading ReadSections(const TIRIntegerArr& ticks, const Request& request);
/// One mark and four space lengths: two bits a symbol.
Reading ReadTwoBitSymbols(const TIRIntegerArr& ticks, const Request& request);

/// "(a,b)" of a pair; "37 %" of a tolerance.
std::string PairText(std::int64_t mark, std::int64_t space);
std::string PercentText(double tolerance);
/// "two", "three", ... for small counts.
std::string CountWord(std::size_t n);

}  // namespace klimavo::ir::assist
