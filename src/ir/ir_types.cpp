#include "ir/ir_types.h"

namespace klimavo::ir {

void TIRGsPara::Reset() {
  Carrier = 38000;
  LogicCount = 0;
  SplitCount = 0;
  for (auto& row : Logic) row.fill(kUnusedDuration);
  for (auto& row : Split) row.fill(kUnusedDuration);
}

TIRIntegerArr TIRGsPara::LogicDurations(int k) const {
  TIRIntegerArr out;
  if (k < 0 || k >= kMaxLogic) return out;
  for (std::int32_t d : Logic[static_cast<std::size_t>(k)]) {
    if (d == kUnusedDuration) break;
    out.push_back(d);
  }
  return out;
}

void TIRGsPara::Read(base::ByteReader& in) {
  Carrier = in.u16();
  LogicCount = in.u8();
  SplitCount = in.u8();
  for (auto& row : Logic)
    for (auto& d : row) d = in.i32();
  for (auto& row : Split)
    for (auto& d : row) d = in.i32();
}

void TIRGsPara::Write(base::ByteWriter& out) const {
  out.u16(Carrier);
  out.u8(LogicCount);
  out.u8(SplitCount);
  for (const auto& row : Logic)
    for (auto d : row) out.i32(d);
  for (const auto& row : Split)
    for (auto d : row) out.i32(d);
}

}  // namespace klimavo::ir
