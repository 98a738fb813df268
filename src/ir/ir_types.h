#pragma once
// The shared vocabulary of the workbench: the containers in which an infrared
// signal travels from the learner through decoding, display, storage and table
// generation.
//
// Units: captures (from the learner, in the waveform view) count in 0.1 µs
// ticks; decoding, timing blocks and protocol texts count in whole µs (capture
// ÷ 10, truncated toward zero). Positive durations are marks (carrier on),
// negative ones spaces. 2147483647 marks an unused slot of a fixed table.

#include <array>
#include <cstdint>
#include <vector>

#include "base/byte_io.h"

namespace klimavo::ir {

using TIRIntegerArr = std::vector<std::int32_t>;
using TSSByteArray = std::vector<std::uint8_t>;
using TWaveGroupData = std::vector<TIRIntegerArr>;

/// The value of an unused duration slot ("x" in duration-list texts).
inline constexpr std::int32_t kUnusedDuration = 2147483647;
inline constexpr std::int32_t kDefaultCarrier = 38000;

/// Converts a capture in 0.1 µs ticks to whole µs (truncating toward zero).
inline std::int32_t TicksToMicros(std::int32_t ticks) { return ticks / 10; }

/// One pulse-pair class: the average shape of a mark followed by a space (µs).
struct TIRWaveStru {
  std::int64_t First = 0;   ///< mark, positive
  std::int64_t Second = 0;  ///< following space, negative
};
using TIRWaveStruArr = std::vector<TIRWaveStru>;

/// A histogram entry: x = duration magnitude, y = occurrence count.
struct TPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;
};
using TPointArr = std::vector<TPoint>;

/// The format parameter block: the shared timing of one protocol (196 bytes).
struct TIRGsPara {
  static constexpr std::size_t kSize = 196;
  static constexpr int kMaxLogic = 8;
  static constexpr int kMaxSplit = 8;

  std::uint16_t Carrier = 38000;
  std::uint8_t LogicCount = 0;
  std::uint8_t SplitCount = 0;
  std::array<std::array<std::int32_t, 4>, 8> Logic{};
  std::array<std::array<std::int32_t, 2>, 8> Split{};

  TIRGsPara() { Reset(); }
  /// Carrier 38000, no codes, every slot unused.
  void Reset();
  /// Durations of logic code k up to the first unused slot.
  TIRIntegerArr LogicDurations(int k) const;

  void Read(base::ByteReader& in);
  void Write(base::ByteWriter& out) const;
  friend bool operator==(const TIRGsPara&, const TIRGsPara&) = default;
};

/// One element of a protocol structure: a split-code reference (Kind 0, Value =
/// split index) or a group of data bits (Kind non-zero, Value = bit count).
/// Stored as 4 bytes: Kind, reserved, Value (u16).
struct TStrProtItem {
  static constexpr std::size_t kSize = 4;
  std::uint8_t Kind = 0;
  std::uint8_t Reserved = 0;
  std::uint16_t Value = 0;

  bool IsData() const { return Kind != 0; }
  static TStrProtItem Split(std::uint16_t index) { return TStrProtItem{0, 0, index}; }
  static TStrProtItem Data(std::uint16_t bits) { return TStrProtItem{1, 0, bits}; }
};
using TStrProt_Listbase = std::vector<TStrProtItem>;

/// The protocol structure of one signal: its parts and how often they repeat.
struct TStrProt_Stru {
  TStrProt_Listbase Elements;
  std::int32_t Repeat = 1;
};

/// The decode result of one capture.
struct Tcomp_aval {
  std::int32_t Carrier = 0;
  std::vector<TIRIntegerArr> LogicCodes;
  TStrProt_Stru Protocol;
  TSSByteArray Bytes;
  TSSByteArray BytesMsb;
  TSSByteArray Bits;
  TIRGsPara Params;
};

/// A capture as the device link hands it over: durations in 0.1 µs and the
/// carrier in Hz (0 when unknown).
struct Capture {
  TIRIntegerArr Durations;
  std::int32_t Carrier = kDefaultCarrier;
};

// Bit-field records of the analysis tools.
struct TSameInfo {
  std::int32_t Frame = 0;
  std::int32_t Bit = 0;
  std::int32_t Width = 0;
};
using TSameInfos = std::vector<TSameInfo>;
using TBtnBitsInfo = std::vector<TSameInfos>;

struct TZoneBit {
  std::int32_t Frame = 0;
  std::int32_t Bit = 0;
  std::int32_t Width = 0;
  std::int32_t Extra = 0;
  TSSByteArray Values;
};
using TZoneBits = std::vector<TZoneBit>;
using TAirZoneBits = std::vector<TZoneBits>;

}  // namespace klimavo::ir
