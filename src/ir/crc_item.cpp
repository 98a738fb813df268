#include "ir/crc_item.h"

namespace klimavo::ir {

void TCrcZone::Read(base::ByteReader& in) {
  StartFrame = in.u8();
  StartBit = in.u16();
  EndFrame = in.u8();
  EndBit = in.u16();
}

void TCrcZone::Write(base::ByteWriter& out) const {
  out.u8(StartFrame);
  out.u16(StartBit);
  out.u8(EndFrame);
  out.u16(EndBit);
}

void TCrcItem::Read(base::ByteReader& in) {
  TargetFrame = in.u8();
  TargetBit = in.u16();
  TargetWidth = in.u8();
  ZoneCount = in.u8();
  for (auto& z : Zones) z.Read(in);
  AuxConst = in.u16();
  AuxOp = in.u8();
  Kind = in.u8();
  OperandWidth = in.u8();
  Const = in.u16();
  ConstOp = in.u8();
}

void TCrcItem::Write(base::ByteWriter& out) const {
  out.u8(TargetFrame);
  out.u16(TargetBit);
  out.u8(TargetWidth);
  out.u8(ZoneCount);
  for (const auto& z : Zones) z.Write(out);
  out.u16(AuxConst);
  out.u8(AuxOp);
  out.u8(Kind);
  out.u8(OperandWidth);
  out.u16(Const);
  out.u8(ConstOp);
}

void TCrcBlock::Read(base::ByteReader& in) {
  HasChecksum = in.u8();
  Count = in.u8();
  for (auto& item : Items) item.Read(in);
}

void TCrcBlock::Write(base::ByteWriter& out) const {
  out.u8(HasChecksum);
  out.u8(Count);
  for (const auto& item : Items) item.Write(out);
}

}  // namespace klimavo::ir
