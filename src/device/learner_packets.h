#pragma once
// The learner's wire format: the commands the workbench sends (learn, stop) and
// the three packet formats in which a learner returns a captured signal. Pure
// functions over bytes; the link (learner_manager.h) decides when to call them.

#include <cstdint>
#include <optional>
#include <span>

#include "base/byte_io.h"
#include "device/learner_models.h"
#include "ir/ir_types.h"

namespace klimavo::device {

/// Report ID of every report the link writes.
inline constexpr std::uint8_t kReportId = 0x00;
/// First byte of a capture packet.
inline constexpr std::uint8_t kPacketMarkA = 0xAA;
inline constexpr std::uint8_t kPacketMarkB = 0x66;
/// Learn modes: close range and long range.
inline constexpr int kCloseRange = 1;
inline constexpr int kLongRange = 2;
/// Default truncation time of the learner in milliseconds.
inline constexpr int kDefaultTrimTime = 180;

/// Carrier of a pulse-format packet of kind 2.
inline constexpr int kPulseKindFixedCarrier = 2;
inline constexpr std::int32_t kPulseFixedCarrier = 38000;
/// Ticks per µs of the pulse format, also the `k` of the mark assembly.
inline constexpr int kPulseTicksPerUs = 12;

/// One decoded packet: whether it was complete (all bytes its header announces
/// arrived) and the capture it raises, if any (durations in 0.1 µs).
struct DecodedPacket {
  bool complete = false;
  std::optional<ir::Capture> capture;
};

/// The learn command of `model` as a report starting with the report ID.
base::Bytes LearnCommand(int model, int learn_mode, int trim_time);
/// The stop command of `model` as a report starting with the report ID.
base::Bytes StopCommand(int model, int learn_mode, int trim_time);
/// The on/off command of model 11 (byte 13: the learn mode when on, 0 when off).
base::Bytes PulseModelCommand(bool on, int learn_mode, int trim_time);
/// The on/off command of model 12, with its checksum in byte 8.
base::Bytes BigEndianModelCommand(bool on, int trim_time);
/// True when a stop command's reply must be read (the table-format models).
bool StopCommandHasReply(int model);

/// Table format (models 0-10): 8-byte blocks, 1/3 µs ticks.
DecodedPacket DecodeTablePacket(std::span<const std::uint8_t> packet);
/// Pulse format (model 11): every carrier pulse as a variable-length number, 1/12 µs ticks.
DecodedPacket DecodePulsePacket(std::span<const std::uint8_t> packet);
/// Big-endian table format (model 12): 1/2 µs ticks.
DecodedPacket DecodeBigEndianTablePacket(std::span<const std::uint8_t> packet);
/// The decoder of `model`'s packet format (no check of the first byte).
DecodedPacket DecodePacket(int model, std::span<const std::uint8_t> packet);
/// True when the packet starts with AA or 66.
bool HasPacketMark(std::span<const std::uint8_t> packet);

/// a / b rounded to the nearest integer, halves to even (b > 0).
std::int64_t RoundDiv(std::int64_t a, std::int64_t b);

}  // namespace klimavo::device
