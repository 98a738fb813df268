#pragma once
// The learner's side of the packet formats: turns a capture into the packet a
// learner of a given model would send. The simulated device uses it, and tests
// and fuzz seeds use it to build packets. Timings are quantised to the format's
// ticks, and the table formats cluster pairs into at most 16 table entries.

#include <cstdint>

#include "base/byte_io.h"
#include "ir/ir_types.h"

namespace klimavo::device {

/// Most table entries a packet can index (pair indexes are nibbles).
inline constexpr std::size_t kMaxTableEntries = 16;

/// Table format (models 0-10); the capture is cut to 255 pairs and a final mark.
base::Bytes EncodeTablePacket(const ir::Capture& capture);
/// Pulse format (model 11): every mark is sent as carrier pulses.
base::Bytes EncodePulsePacket(const ir::Capture& capture);
/// Big-endian table format (model 12).
base::Bytes EncodeBigEndianTablePacket(const ir::Capture& capture);
/// The packet format of `model`.
base::Bytes EncodePacket(int model, const ir::Capture& capture);
/// The most levels (marks and spaces) a packet of `model` carries: a longer
/// capture is cut to this many, and its end is lost.
std::size_t MaxPacketLevels(int model);

}  // namespace klimavo::device
