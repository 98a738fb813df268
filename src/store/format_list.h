#pragma once
// The per-format export record: each frame format of a protocol record with the
// keys that send it, prepared for the table generators and the checksum wizard.

#include <cstdint>
#include <string>
#include <vector>

#include "ir/ir_types.h"
#include "store/protocol_record.h"

namespace klimavo::store {

/// The entry of `KeyIndexes` that names the power key's second frame. It is no
/// key index, so it never stands for a key of a record with seven or eight keys.
inline constexpr std::uint8_t kPowerSecondFrameMarker = 255;

struct Tex_gsstrut {
  std::string Text;                  ///< the frame's protocol text (GBK bytes as stored)
  ir::TSSByteArray KeyIndexes;       ///< keys that send it; kPowerSecondFrameMarker for key 0's second frame
  std::int32_t KeyField = 0;         ///< not set by the builder; the parts generators use it
  ir::TSSByteArray CodeData;         ///< the frame's 64 stored code bytes
  std::int32_t FrameIndex = 0;       ///< slot 0..8
  std::int32_t FramesShareData = 0;  ///< set to 1 by the frame folding of the table file
};
using Tex_gssList = std::vector<Tex_gsstrut>;

/// One entry per slot with a non-empty text, in slot order.
Tex_gssList BuildFormatList(const TdiskAir& record);

}  // namespace klimavo::store
